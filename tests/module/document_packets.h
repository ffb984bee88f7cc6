#pragma once
// Datasets the host hands to the non-fiscal documents, and what the printer
// was given to print.
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tivplatform/cp1252.h"
#include "tivplatform/dataset.h"
#include "tivplatform/variant.h"

namespace docs {

// A dataset with the named fields (those starting "VR" or "QT" are reals,
// the others texts) and the rows given in field order.
inline void fill(tiv::TClientDataSet &ds, const std::vector<std::string> &fields,
                 const std::vector<std::vector<tiv::Variant>> &rows) {
    for (const auto &f : fields) {
        const bool real = f.rfind("VR", 0) == 0 || f.rfind("QT", 0) == 0 || f == "SALDOFAM";
        ds.addFieldDef(f, real ? tiv::FieldType::Float : tiv::FieldType::String, real ? 0 : 60);
    }
    ds.createDataSet();
    for (const auto &row : rows) {
        ds.append();
        for (size_t i = 0; i < fields.size(); ++i)
            ds.fieldByName(fields[i]).setAsVariant(row[i]);
        ds.post();
    }
    ds.first();
}

inline tiv::Variant packet(const std::vector<std::string> &fields,
                           const std::vector<std::vector<tiv::Variant>> &rows) {
    tiv::TClientDataSet ds("packet");
    fill(ds, fields, rows);
    return ds.data();
}

// The texts handed to the report's print entry point, as CP1252 bytes.
inline std::vector<std::string> printedBlocks(const nlohmann::json &journal) {
    std::vector<std::string> out;
    for (const auto &call : journal)
        if (call.at("entry") == "EPSON_NaoFiscal_Imprimir_LinhaEX" ||
            call.at("entry") == "EPSON_ESC_ECF_NaoFiscal_Imprimir_Linha")
            out.push_back(tiv::utf8ToCp1252(call.at("args").at(0).get<std::string>()));
    return out;
}

// Entry points that open, close or fill a document, in order.
inline std::vector<std::string> documentCalls(const nlohmann::json &journal) {
    std::vector<std::string> out;
    for (const auto &call : journal) {
        const std::string entry = call.at("entry");
        if (entry.find("NaoFiscal") != std::string::npos) out.push_back(entry);
    }
    return out;
}

} // namespace docs
