#include <algorithm>

#include "dataset_impl.h"
#include "tivplatform/dataset.h"

namespace tiv {

using detail::Cell;
using detail::Row;
using detail::RowPtr;

namespace detail {

std::string nameKey(std::string_view name) {
    std::string key(name);
    for (char &c : key)
        c = static_cast<char>(foldCp1252(static_cast<unsigned char>(c)));
    return key;
}

const char *fieldTypeName(FieldType t) {
    switch (t) {
    case FieldType::String:
        return "String";
    case FieldType::Integer:
        return "Integer";
    case FieldType::Float:
        return "Float";
    case FieldType::Boolean:
        return "Boolean";
    case FieldType::DateTime:
        return "DateTime";
    }
    return "?";
}

} // namespace detail

namespace {

// Widest text field we accept; beyond it a definition is a mistake.
constexpr int kMaxStringSize = 1 << 20;

std::vector<std::string> splitNames(const std::string &names) {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        const size_t semi = names.find(';', start);
        std::string part = names.substr(start, semi == std::string::npos ? semi : semi - start);
        const size_t a = part.find_first_not_of(' ');
        const size_t b = part.find_last_not_of(' ');
        out.push_back(a == std::string::npos ? std::string() : part.substr(a, b - a + 1));
        if (semi == std::string::npos) return out;
        start = semi + 1;
    }
}

} // namespace

// --- Impl ------------------------------------------------------------------

void TClientDataSet::Impl::fail(const std::string &why) const {
    throw DataError(label() + ": " + why);
}

void TClientDataSet::Impl::checkActive() const {
    if (state == State::Inactive) fail("cannot perform this operation on a closed dataset");
}

void TClientDataSet::Impl::checkBrowseMode() {
    if (state != State::Insert && state != State::Edit) return;
    // Moving away posts a changed row and drops an untouched one.
    if (modified)
        postRow();
    else
        cancelRow();
}

size_t TClientDataSet::Impl::fieldIndex(const std::string &fieldName) const {
    const auto it = byName.find(detail::nameKey(fieldName));
    if (it == byName.end()) fail("field \"" + fieldName + "\" not found");
    return it->second;
}

std::vector<size_t> TClientDataSet::Impl::fieldList(const std::string &names) const {
    std::vector<size_t> out;
    for (const std::string &n : splitNames(names))
        out.push_back(fieldIndex(n));
    return out;
}

bool TClientDataSet::Impl::before(const Row &a, const Row &b) const {
    for (size_t k : keys) {
        const int c = detail::compareCells(a.cells[k], b.cells[k], fields[k].type);
        if (c != 0) return descending ? c > 0 : c < 0;
    }
    return false;
}

void TClientDataSet::Impl::rebuildView(const Row *keep) {
    view.clear();
    view.reserve(rows.size());
    for (const RowPtr &r : rows)
        if (passes(*r)) view.push_back(r.get());
    if (!keys.empty())
        std::stable_sort(view.begin(), view.end(),
                         [this](const Row *a, const Row *b) { return before(*a, *b); });
    cur = 0;
    if (keep) {
        const auto it = std::find(view.begin(), view.end(), keep);
        if (it != view.end()) cur = static_cast<size_t>(it - view.begin());
    }
    bof = true;
    eof = view.empty();
    if (keep && cur > 0) bof = false;
}

const Cell &TClientDataSet::Impl::readCell(size_t field) const {
    static const Cell null;
    checkActive();
    if (state == State::Insert || state == State::Edit) return buffer.cells[field];
    if (view.empty()) return null;
    return view[cur]->cells[field];
}

Cell &TClientDataSet::Impl::writeCell(size_t field) {
    if (state != State::Insert && state != State::Edit)
        fail("not in edit or insert mode (writing field \"" + fields[field].name + "\")");
    modified = true;
    return buffer.cells[field];
}

std::optional<detail::Filter>
TClientDataSet::Impl::makeFilter(const std::vector<FieldDef> &fs) const {
    if (!filtered || fs.empty() || filterText.find_first_not_of(" \t\r\n") == std::string::npos)
        return std::nullopt;
    return detail::Filter(filterText, fs);
}

std::vector<size_t> TClientDataSet::Impl::indexKeys(const std::string &index,
                                                    const std::vector<FieldDef> &fs,
                                                    bool &desc) const {
    desc = false;
    if (index.empty()) return {};
    const std::string key = detail::nameKey(index);
    for (const Index &ix : indexes) {
        if (detail::nameKey(ix.name) != key) continue;
        std::vector<size_t> out;
        for (const std::string &n : splitNames(ix.fields)) {
            const std::string nk = detail::nameKey(n);
            size_t i = 0;
            while (i < fs.size() && detail::nameKey(fs[i].name) != nk)
                ++i;
            if (i == fs.size()) fail("index \"" + ix.name + "\" names unknown field \"" + n + "\"");
            out.push_back(i);
        }
        desc = ix.descending;
        return out;
    }
    fail("index \"" + index + "\" not found");
}

void TClientDataSet::Impl::adopt(std::vector<FieldDef> newFields, std::vector<RowPtr> newRows) {
    std::unordered_map<std::string, size_t> names;
    for (size_t i = 0; i < newFields.size(); ++i) {
        FieldDef &f = newFields[i];
        if (f.name.empty()) fail("field " + std::to_string(i + 1) + " has no name");
        if (f.type == FieldType::String) {
            if (f.size <= 0 || f.size > kMaxStringSize)
                fail("String field \"" + f.name + "\" has a bad size " + std::to_string(f.size));
        } else {
            f.size = 0;
        }
        if (!names.emplace(detail::nameKey(f.name), i).second)
            fail("field \"" + f.name + "\" is defined twice");
    }
    auto newFilter = makeFilter(newFields);
    bool desc = false;
    auto newKeys = indexKeys(indexName, newFields, desc);

    defs = newFields;
    fields = std::move(newFields);
    byName = std::move(names);
    rows = std::move(newRows);
    filter = std::move(newFilter);
    keys = std::move(newKeys);
    descending = desc;
    state = State::Browse;
    editing = insertBefore = nullptr;
    modified = false;
    rebuildView(nullptr);
}

void TClientDataSet::Impl::postRow() {
    Impl &d = *this;
    if (d.state == State::Insert) {
        auto row = std::make_unique<Row>(std::move(d.buffer));
        Row *r = row.get();
        auto at = d.rows.end();
        if (!d.appending && d.insertBefore)
            at = std::find_if(d.rows.begin(), d.rows.end(),
                              [&](const RowPtr &p) { return p.get() == d.insertBefore; });
        d.rows.insert(at, std::move(row));
        if (d.passes(*r)) {
            size_t pos = d.view.size();
            if (!d.keys.empty())
                pos = static_cast<size_t>(
                    std::upper_bound(d.view.begin(), d.view.end(), r,
                                     [&](const Row *a, const Row *b) { return d.before(*a, *b); }) -
                    d.view.begin());
            else if (!d.appending && d.insertBefore && d.cur < d.view.size() &&
                     d.view[d.cur] == d.insertBefore)
                pos = d.cur;
            d.view.insert(d.view.begin() + static_cast<std::ptrdiff_t>(pos), r);
            d.cur = pos;
        }
    } else if (d.state == State::Edit) {
        Row *r = d.editing;
        bool keysChanged = false;
        for (size_t k : d.keys)
            keysChanged = keysChanged || detail::compareCells(r->cells[k], d.buffer.cells[k],
                                                              d.fields[k].type) != 0;
        r->cells = std::move(d.buffer.cells);
        const bool inView = d.cur < d.view.size() && d.view[d.cur] == r;
        if (inView && (!d.passes(*r) || keysChanged)) {
            d.view.erase(d.view.begin() + static_cast<std::ptrdiff_t>(d.cur));
            if (d.passes(*r)) {
                const auto it =
                    std::upper_bound(d.view.begin(), d.view.end(), r,
                                     [&](const Row *a, const Row *b) { return d.before(*a, *b); });
                d.cur = static_cast<size_t>(it - d.view.begin());
                d.view.insert(it, r);
            }
        }
    } else {
        return;
    }
    if (d.cur >= d.view.size()) d.cur = d.view.empty() ? 0 : d.view.size() - 1;
    d.state = State::Browse;
    d.buffer.cells.clear();
    d.editing = d.insertBefore = nullptr;
    d.modified = false;
    d.eof = d.bof = d.view.empty();
}

void TClientDataSet::Impl::cancelRow() {
    Impl &d = *this;
    if (d.state != State::Insert && d.state != State::Edit) return;
    d.state = State::Browse;
    d.buffer.cells.clear();
    d.editing = d.insertBefore = nullptr;
    d.modified = false;
}

// --- TClientDataSet ----------------------------------------------------------

TClientDataSet::TClientDataSet() : impl_(std::make_unique<Impl>()) {}
TClientDataSet::TClientDataSet(std::string name) : impl_(std::make_unique<Impl>()) {
    impl_->name = std::move(name);
}
TClientDataSet::~TClientDataSet() = default;

const std::string &TClientDataSet::name() const {
    return impl_->name;
}
std::vector<FieldDef> &TClientDataSet::fieldDefs() {
    return impl_->defs;
}
const std::vector<FieldDef> &TClientDataSet::fieldDefs() const {
    return impl_->defs;
}

void TClientDataSet::addFieldDef(const std::string &name, FieldType type, int size) {
    impl_->defs.push_back(FieldDef{name, type, size});
}

void TClientDataSet::createDataSet() {
    Impl &d = *impl_;
    if (d.defs.empty()) d.fail("cannot create a dataset without field definitions");
    d.adopt(d.defs, {});
}

void TClientDataSet::open() {
    Impl &d = *impl_;
    if (d.state != State::Inactive) return;
    if (d.fields.empty()) d.fail("cannot open: no fields (create the dataset or load data first)");
    auto f = d.makeFilter(d.fields);
    d.filter = std::move(f);
    d.state = State::Browse;
    d.rebuildView(nullptr);
}

void TClientDataSet::close() {
    Impl &d = *impl_;
    d.cancelRow();
    d.state = State::Inactive;
    d.cur = 0;
    d.eof = d.bof = true;
}

bool TClientDataSet::active() const {
    return impl_->state != State::Inactive;
}
TClientDataSet::State TClientDataSet::state() const {
    return impl_->state;
}

void TClientDataSet::emptyDataSet() {
    Impl &d = *impl_;
    d.checkActive();
    d.cancelRow();
    d.rows.clear();
    d.rebuildView(nullptr);
}

void TClientDataSet::first() {
    Impl &d = *impl_;
    d.checkActive();
    d.checkBrowseMode();
    d.cur = 0;
    d.bof = true;
    d.eof = d.view.empty();
}

void TClientDataSet::next() {
    Impl &d = *impl_;
    d.checkActive();
    d.checkBrowseMode();
    d.bof = d.view.empty();
    if (d.cur + 1 < d.view.size())
        ++d.cur;
    else
        d.eof = true;
}

void TClientDataSet::prior() {
    Impl &d = *impl_;
    d.checkActive();
    d.checkBrowseMode();
    d.eof = d.view.empty();
    if (d.cur > 0 && !d.view.empty())
        --d.cur;
    else
        d.bof = true;
}

void TClientDataSet::last() {
    Impl &d = *impl_;
    d.checkActive();
    d.checkBrowseMode();
    d.cur = d.view.empty() ? 0 : d.view.size() - 1;
    d.eof = true;
    d.bof = d.view.empty();
}

bool TClientDataSet::eof() const {
    return !active() || impl_->eof;
}
bool TClientDataSet::bof() const {
    return !active() || impl_->bof;
}

bool TClientDataSet::isEmpty() const {
    const Impl &d = *impl_;
    return d.state == State::Inactive || (d.view.empty() && d.state != State::Insert);
}

int TClientDataSet::recordCount() const {
    impl_->checkActive();
    return static_cast<int>(impl_->view.size());
}

int TClientDataSet::recNo() const {
    const Impl &d = *impl_;
    d.checkActive();
    return d.view.empty() ? 0 : static_cast<int>(d.cur + 1);
}

TField TClientDataSet::fieldByName(const std::string &name) {
    return TField(*this, impl_->fieldIndex(name));
}

bool TClientDataSet::hasField(const std::string &name) const {
    return impl_->byName.count(detail::nameKey(name)) != 0;
}

size_t TClientDataSet::fieldCount() const {
    return impl_->fields.size();
}

void TClientDataSet::insert() {
    Impl &d = *impl_;
    d.checkActive();
    d.checkBrowseMode();
    d.buffer.cells.assign(d.fields.size(), Cell{});
    d.insertBefore = d.view.empty() ? nullptr : d.view[d.cur];
    d.appending = false;
    d.modified = false;
    d.state = State::Insert;
}

void TClientDataSet::append() {
    insert();
    impl_->appending = true;
    impl_->insertBefore = nullptr;
}

void TClientDataSet::edit() {
    Impl &d = *impl_;
    d.checkActive();
    if (d.state == State::Insert || d.state == State::Edit) return;
    // As on the host platform, editing an empty dataset starts an insert.
    if (d.view.empty()) {
        insert();
        return;
    }
    d.editing = d.view[d.cur];
    d.buffer.cells = d.editing->cells;
    d.modified = false;
    d.state = State::Edit;
}

void TClientDataSet::post() {
    impl_->checkActive();
    impl_->postRow();
}

void TClientDataSet::cancel() {
    impl_->checkActive();
    impl_->cancelRow();
}

void TClientDataSet::deleteRecord() {
    Impl &d = *impl_;
    d.checkActive();
    if (d.state == State::Insert) {
        d.cancelRow();
        return;
    }
    d.cancelRow();
    if (d.view.empty()) d.fail("cannot delete from an empty dataset");
    Row *r = d.view[d.cur];
    d.view.erase(d.view.begin() + static_cast<std::ptrdiff_t>(d.cur));
    d.rows.erase(
        std::find_if(d.rows.begin(), d.rows.end(), [r](const RowPtr &p) { return p.get() == r; }));
    // The cursor lands on the next row, or on the new last one.
    if (d.cur >= d.view.size() && d.cur > 0) d.cur = d.view.size() - 1;
    d.eof = d.bof = d.view.empty();
}

// --- filters -----------------------------------------------------------------

void TClientDataSet::setFilter(const std::string &expression) {
    Impl &d = *impl_;
    if (d.state != State::Inactive) d.checkBrowseMode();
    const std::string old = d.filterText;
    d.filterText = expression;
    try {
        auto f = d.makeFilter(d.fields);
        d.filter = std::move(f);
    } catch (...) {
        d.filterText = old;
        throw;
    }
    if (d.state != State::Inactive) d.rebuildView(nullptr);
}

const std::string &TClientDataSet::filter() const {
    return impl_->filterText;
}

void TClientDataSet::setFiltered(bool on) {
    Impl &d = *impl_;
    if (d.state != State::Inactive) d.checkBrowseMode();
    d.filtered = on;
    try {
        auto f = d.makeFilter(d.fields);
        d.filter = std::move(f);
    } catch (...) {
        d.filtered = false;
        d.filter.reset();
        throw;
    }
    if (d.state != State::Inactive) d.rebuildView(nullptr);
}

bool TClientDataSet::filtered() const {
    return impl_->filtered;
}

// --- indexes -----------------------------------------------------------------

void TClientDataSet::addIndex(const std::string &name, const std::string &fields, bool descending) {
    Impl &d = *impl_;
    if (name.empty()) d.fail("an index needs a name");
    for (const Impl::Index &ix : d.indexes)
        if (detail::nameKey(ix.name) == detail::nameKey(name))
            d.fail("index \"" + name + "\" already exists");
    if (fields.find_first_not_of(" ;") == std::string::npos)
        d.fail("index \"" + name + "\" names no field");
    d.indexes.push_back(Impl::Index{name, fields, descending});
    if (!d.fields.empty()) {
        try {
            bool desc = false;
            (void)d.indexKeys(name, d.fields, desc);
        } catch (...) {
            d.indexes.pop_back();
            throw;
        }
    }
}

void TClientDataSet::setIndexName(const std::string &name) {
    Impl &d = *impl_;
    if (d.state != State::Inactive) d.checkBrowseMode();
    bool desc = false;
    auto keys = d.indexKeys(name, d.fields, desc);
    d.indexName = name;
    d.keys = std::move(keys);
    d.descending = desc;
    if (d.state != State::Inactive) {
        // The current row stays current in the new order.
        const Row *keep = d.view.empty() ? nullptr : d.view[d.cur];
        d.rebuildView(keep);
    }
}

const std::string &TClientDataSet::indexName() const {
    return impl_->indexName;
}

// --- copying -----------------------------------------------------------------

void TClientDataSet::copyRowsFrom(const TClientDataSet &source) {
    Impl &d = *impl_;
    const Impl &s = *source.impl_;
    if (d.state != State::Inactive) d.checkBrowseMode();
    if (d.fields.empty()) {
        if (s.fields.empty()) d.fail("cannot copy rows from " + s.label() + ": it has no fields");
        d.adopt(s.fields, {});
    }
    // Fields are matched by name once; each row then copies cell by cell.
    const size_t nf = d.fields.size();
    std::vector<std::ptrdiff_t> from(nf, -1);
    std::vector<bool> same(nf, false);
    for (size_t i = 0; i < nf; ++i) {
        const auto it = s.byName.find(detail::nameKey(d.fields[i].name));
        if (it == s.byName.end()) continue;
        from[i] = static_cast<std::ptrdiff_t>(it->second);
        same[i] = s.fields[it->second].type == d.fields[i].type;
    }
    const size_t count = s.rows.size(); // a dataset copying itself copies its rows once
    std::vector<RowPtr> added;
    added.reserve(count);
    for (size_t r = 0; r < count; ++r) {
        const Row &src = *s.rows[r];
        auto row = std::make_unique<Row>();
        row->cells.resize(nf);
        for (size_t i = 0; i < nf; ++i) {
            if (from[i] < 0) continue;
            const Cell &c = src.cells[static_cast<size_t>(from[i])];
            if (detail::isNull(c)) continue;
            if (same[i]) {
                row->cells[i] = c;
                if (auto *t = std::get_if<std::string>(&row->cells[i]);
                    t && t->size() > static_cast<size_t>(d.fields[i].size))
                    t->resize(static_cast<size_t>(d.fields[i].size));
            } else {
                row->cells[i] = detail::cellFromVariant(
                    d.fields[i],
                    detail::variantFromCell(s.fields[static_cast<size_t>(from[i])], c));
            }
        }
        added.push_back(std::move(row));
    }
    d.rows.reserve(d.rows.size() + added.size());
    for (RowPtr &r : added)
        d.rows.push_back(std::move(r));
    d.state = State::Browse;
    d.rebuildView(nullptr);
}

void TClientDataSet::copyFrom(const TClientDataSet &source) {
    if (&source == this) return;
    Impl &d = *impl_;
    const Impl &s = *source.impl_;
    if (s.fields.empty()) d.fail("cannot copy from " + s.label() + ": it has no fields");
    if (d.state != State::Inactive) d.checkBrowseMode();
    std::vector<RowPtr> rows;
    rows.reserve(s.rows.size());
    for (const RowPtr &r : s.rows)
        rows.push_back(std::make_unique<Row>(*r));
    d.adopt(s.fields, std::move(rows));
}

void TClientDataSet::setLogChanges(bool on) {
    impl_->logChanges = on;
}
bool TClientDataSet::logChanges() const {
    return impl_->logChanges;
}

} // namespace tiv
