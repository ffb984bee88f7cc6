// Intake of the host's datasets for the till-closing prints.
#include "host_tables.h"

#include "tivplatform/errors.h"

namespace tiv02000 {

const tiv::TClientDataSet &requireFields(const char *procedure, const char *dataset,
                                         const tiv::TClientDataSet *host,
                                         const std::vector<std::string> &fields) {
    const std::string where = std::string(procedure) + ": the host's dataset " + dataset;
    if (host == nullptr) throw tiv::DataError(where + " is missing");
    std::string missing;
    for (const std::string &field : fields)
        if (!host->hasField(field)) missing += (missing.empty() ? "" : ", ") + field;
    if (!missing.empty()) throw tiv::DataError(where + " has no field " + missing);
    return *host;
}

void loadTable(tiv::TClientDataSet &table, const tiv::TClientDataSet &host,
               const std::vector<tiv::FieldDef> &declared) {
    if (declared.empty()) {
        table.copyFrom(host);
        return;
    }
    table.close();
    table.fieldDefs() = declared;
    table.createDataSet();
    table.copyRowsFrom(host);
}

std::string text(tiv::TClientDataSet &table, const char *field) {
    if (table.isEmpty()) return "";
    return table.fieldByName(field).asString();
}

double value(tiv::TClientDataSet &table, const char *field) {
    if (table.isEmpty()) return 0;
    return table.fieldByName(field).asFloat();
}

} // namespace tiv02000
