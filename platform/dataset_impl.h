#pragma once
// The state behind a TClientDataSet, shared by the files that implement it.
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

#include "dataset_cell.h"
#include "dataset_filter.h"
#include "dataset_packet.h"

namespace tiv {

struct TClientDataSet::Impl {
    struct Index {
        std::string name;
        std::string fields; // "A;B"
        bool descending = false;
    };

    std::string name;
    std::vector<FieldDef> defs;   // what fieldDefs() hands out
    std::vector<FieldDef> fields; // the structure rows follow
    std::unordered_map<std::string, size_t> byName;

    // Every row in insertion order; `view` holds the rows the filter passes,
    // in the active index's order. The cursor is a position in `view`.
    std::vector<detail::RowPtr> rows;
    std::vector<detail::Row *> view;
    size_t cur = 0;
    bool eof = true, bof = true;

    State state = State::Inactive;
    detail::Row buffer;             // the row being inserted or edited
    detail::Row *editing = nullptr; // the row an edit changes
    detail::Row *insertBefore = nullptr;
    bool appending = false;
    bool modified = false;

    std::string filterText;
    bool filtered = false;
    std::optional<detail::Filter> filter;

    std::vector<Index> indexes;
    std::string indexName;
    std::vector<size_t> keys; // fields of the active index
    bool descending = false;

    bool logChanges = true;

    std::string label() const { return name.empty() ? std::string("dataset") : "dataset " + name; }
    [[noreturn]] void fail(const std::string &why) const;
    void checkActive() const;
    void checkBrowseMode();
    void postRow();
    void cancelRow();
    size_t fieldIndex(const std::string &fieldName) const; // raises DataError
    std::vector<size_t> fieldList(const std::string &names) const;

    bool passes(const detail::Row &r) const { return !filter || filter->matches(r); }
    bool before(const detail::Row &a, const detail::Row &b) const; // index order
    void rebuildView(const detail::Row *keep);
    const detail::Cell &readCell(size_t field) const;
    detail::Cell &writeCell(size_t field);

    // Replaces structure and rows; the filter and the active index are
    // checked against the new fields first, so a failure changes nothing.
    void adopt(std::vector<FieldDef> newFields, std::vector<detail::RowPtr> newRows);
    std::optional<detail::Filter> makeFilter(const std::vector<FieldDef> &fs) const;
    std::vector<size_t> indexKeys(const std::string &index, const std::vector<FieldDef> &fs,
                                  bool &desc) const;
};

namespace detail {
// Cell of `def`'s type holding `v` (conversions of the host platform).
Cell cellFromVariant(const FieldDef &def, const Variant &v);
Variant variantFromCell(const FieldDef &def, const Cell &c);
} // namespace detail

} // namespace tiv
