#pragma once
// Small builders shared by the dataset tests.
#include <string>
#include <vector>

#include "tivplatform/dataset.h"

namespace tiv::test {

// Appends one row; values go in field order through asVariant, an empty
// variant leaves the field null.
inline void addRow(TClientDataSet &ds, const std::vector<Variant> &values) {
    ds.append();
    for (size_t i = 0; i < values.size(); ++i)
        if (!values[i].isUnassigned())
            ds.fieldByName(ds.fieldDefs()[i].name).setAsVariant(values[i]);
    ds.post();
}

// The texts of one field along the current order, from the first row.
inline std::string walk(TClientDataSet &ds, const std::string &field = "KEY") {
    std::string out;
    for (ds.first(); !ds.eof(); ds.next()) {
        if (!out.empty()) out += ",";
        out += ds.fieldByName(field).asString();
    }
    return out;
}

} // namespace tiv::test
