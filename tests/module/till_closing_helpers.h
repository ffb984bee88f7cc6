#pragma once
// Small fixtures of the till-closing tests: the host's datasets, and the text
// the driver handed to the printer read back from the journal.
#include <sqlite3.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "document_packets.h"
#include "tivhost/host.h"

#include "tivplatform/cp1252.h"
#include "tivplatform/dataset.h"

namespace till {

struct Product {
    std::string code, fiscalCode, name;
    double quantity = 0, total = 0, surcharge = 0, discount = 0;
    std::string taxType;
    double rate = 0;
};

inline void productsInto(tiv::TClientDataSet &ds, const std::vector<Product> &rows) {
    ds.fieldDefs() = {
        {"CDPRODUTO", tiv::FieldType::String, 20}, {"CDPRODIMPFIS", tiv::FieldType::String, 20},
        {"NMPRODUTO", tiv::FieldType::String, 60}, {"QTPRODVEND", tiv::FieldType::Float},
        {"VRTOTAL", tiv::FieldType::Float},        {"VRACRE", tiv::FieldType::Float},
        {"VRDESC", tiv::FieldType::Float},         {"IDTPIMPOSFIS", tiv::FieldType::String, 1},
        {"VRPEALIMPFIS", tiv::FieldType::Float}};
    ds.createDataSet();
    for (const Product &p : rows) {
        ds.append();
        ds.fieldByName("CDPRODUTO").setAsString(p.code);
        ds.fieldByName("CDPRODIMPFIS").setAsString(p.fiscalCode);
        ds.fieldByName("NMPRODUTO").setAsString(p.name);
        ds.fieldByName("QTPRODVEND").setAsFloat(p.quantity);
        ds.fieldByName("VRTOTAL").setAsFloat(p.total);
        ds.fieldByName("VRACRE").setAsFloat(p.surcharge);
        ds.fieldByName("VRDESC").setAsFloat(p.discount);
        ds.fieldByName("IDTPIMPOSFIS").setAsString(p.taxType);
        ds.fieldByName("VRPEALIMPFIS").setAsFloat(p.rate);
        ds.post();
    }
}

using docs::printedBlocks;

// The printed text split at its line feeds (each line without its LF).
inline std::vector<std::string> printedLines(const nlohmann::json &journal) {
    std::string all;
    for (const std::string &block : printedBlocks(journal))
        all += block;
    std::vector<std::string> lines;
    size_t from = 0;
    for (size_t lf = all.find('\n'); lf != std::string::npos; lf = all.find('\n', from)) {
        lines.push_back(all.substr(from, lf - from));
        from = lf + 1;
    }
    if (from < all.size()) lines.push_back(all.substr(from));
    return lines;
}

// The entries of the journal that open or close a management report.
inline std::vector<std::string> reportCalls(const nlohmann::json &journal) {
    std::vector<std::string> out;
    for (const auto &call : journal) {
        const std::string entry = call.at("entry");
        if (entry.find("Relatorio_Gerencial") != std::string::npos ||
            entry.find("Fechar_CCD_RG") != std::string::npos ||
            entry.find("LeituraX") != std::string::npos)
            out.push_back(entry);
    }
    return out;
}

// The documents recorded in the host's database, in order: code and receipt counter.
inline std::vector<std::pair<std::string, std::string>> recordedDocuments() {
    std::vector<std::pair<std::string, std::string>> out;
    const std::string path = tivhost::hostDatabasePath();
    if (!std::filesystem::exists(path)) return out;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(db,
                               "SELECT document_code, receipt_counter FROM doc_nao_fiscais_ecf "
                               "ORDER BY id",
                               -1, &st, nullptr) == SQLITE_OK)
            while (sqlite3_step(st) == SQLITE_ROW)
                out.emplace_back(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)),
                                 reinterpret_cast<const char *>(sqlite3_column_text(st, 1)));
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return out;
}

} // namespace till
