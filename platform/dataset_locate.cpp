// Locate: the first row, in the current order, whose fields hold the values.
#include "dataset_impl.h"

namespace tiv {

using detail::Cell;

namespace {

// One field's wanted value, converted once to the field's type.
struct Wanted {
    size_t field = 0;
    FieldType type = FieldType::String;
    bool null = false;
    std::string text; // String fields
    double number = 0;
    bool boolean = false;
};

bool matches(const Wanted &w, const Cell &c, const LocateOptions &o) {
    if (w.null) return detail::isNull(c);
    if (w.type == FieldType::String) {
        std::string_view have = detail::trimRight(detail::cellText(c));
        if (o.partialKey) {
            if (have.size() < w.text.size()) return false;
            have = have.substr(0, w.text.size());
        }
        return detail::compareText(have, w.text, o.caseInsensitive) == 0;
    }
    if (detail::isNull(c)) return false;
    if (w.type == FieldType::Boolean) return std::get<bool>(c) == w.boolean;
    return detail::cellNumber(c) == w.number;
}

} // namespace

bool TClientDataSet::locate(const std::string &fields, const Variant &values,
                            LocateOptions options) {
    Impl &d = *impl_;
    d.checkActive();
    d.checkBrowseMode();
    const std::vector<size_t> idx = d.fieldList(fields);
    std::vector<Variant> vals;
    if (values.isArray())
        vals = values.items();
    else
        vals.push_back(values);
    if (vals.size() != idx.size())
        d.fail("locate on \"" + fields + "\" needs " + std::to_string(idx.size()) +
               " values, got " + std::to_string(vals.size()));

    std::vector<Wanted> wanted;
    for (size_t i = 0; i < idx.size(); ++i) {
        const FieldDef &f = d.fields[idx[i]];
        Wanted w;
        w.field = idx[i];
        w.type = f.type;
        const Variant &v = vals[i];
        w.null = v.isUnassigned();
        if (!w.null) {
            switch (f.type) {
            case FieldType::String:
                // A blank key finds a blank or null field, as filters do.
                w.text = v.toString();
                if (!options.partialKey) w.text = std::string(detail::trimRight(w.text));
                break;
            case FieldType::Boolean:
                w.boolean = v.toBoolean();
                break;
            case FieldType::DateTime:
                w.number = v.toDateTime();
                break;
            default:
                w.number = v.toReal();
                break;
            }
        }
        wanted.push_back(std::move(w));
    }

    for (size_t r = 0; r < d.view.size(); ++r) {
        const detail::Row &row = *d.view[r];
        bool all = true;
        for (const Wanted &w : wanted)
            if (!matches(w, row.cells[w.field], options)) {
                all = false;
                break;
            }
        if (all) {
            d.cur = r;
            d.eof = d.bof = false;
            return true;
        }
    }
    return false;
}

} // namespace tiv
