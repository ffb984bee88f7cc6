#pragma once
// Shared by the sale and voucher tests: printer states reached by calling
// the virtual printer's entry points directly, and small readers of the
// driver's parameter arrays and of the journal.
#include <sqlite3.h>

#include <deque>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "fixture.h"
#include "vendor_entry_points.h"

#include "tiv02000/tiv02000.h"
#include "tivplatform/params.h"

namespace sale {

// Notices are recorded and need no answer; only questions take one from the
// queue, so a test lists just the operator's answers.
inline void answerOnlyQuestions(std::vector<ShownDialog> &dialogs, std::deque<bool> &answers) {
    tivhost::setDialogHandler([&dialogs, &answers](const tivhost::Dialog &d) {
        dialogs.push_back({d.text, d.askMark, d.kind});
        if (d.askMark != "S" || answers.empty()) return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    });
}

using Calls = std::vector<std::pair<std::string, nlohmann::json>>;

// Entry and arguments of every call but the status reads of the analysis.
inline Calls calls(const nlohmann::json &journal) {
    Calls out;
    for (const auto &call : journal)
        if (call.at("entry") != "EPSON_Obter_Estado_Impressora" &&
            call.at("entry") != "EPSON_Sys_Bloquear_Entradas")
            out.emplace_back(call.at("entry").get<std::string>(), call.at("args"));
    return out;
}

// The second character of the document state ("0" none, "1" receipt, ...).
inline std::string documentState() {
    std::string buf(58, '\0');
    EPSON_Obter_Estado_Cupom(buf.data());
    return buf.substr(1, 1);
}

// A receipt of one 10.00 item paid in full with `method` (slot `code` with
// the ESC/ECF family), closed: a card voucher may follow it.
inline bool closedSalePaidWith(int printerType, const char *method, const char *code) {
    if (printerType == 31)
        return EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2) == 0 &&
               EPSON_Fiscal_Vender_Item("1", "ITEM", "0001000", 3, "UN", "00010000", 3, "Ta", 1) ==
                   0 &&
               EPSON_Fiscal_Pagamento(method, "0000000001000", 2, "", "") == 0 &&
               EPSON_Fiscal_Fechar_Cupom(1, 0) == 0;
    return EPSON_ESC_ECF_Fiscal_Abrir_CupomEX("", "", "") == 0 &&
           EPSON_ESC_ECF_Fiscal_Vender_ItemEX("001", "ITEM", "T1", "UN", "0001000", "3", "00010000",
                                              "3", "T") == 0 &&
           EPSON_ESC_ECF_Fiscal_PagamentoEX(code, "0000000001000", "1", "", "3") == 0 &&
           EPSON_ESC_ECF_Fiscal_Fechar_CupomEX("0", "1", "") == 0;
}

// The printer set up with a card method that takes linked vouchers.
inline nlohmann::json cardPrinter() {
    return {{"payments",
             nlohmann::json::array({"Dinheiro", {{"name", "Cartao Credito"}, {"linked", true}}})},
            {"nonFiscal", nlohmann::json::array({"CONTRA-VALE EMI"})}};
}

inline std::string param(const tiv::Variant &params, const std::string &name) {
    const tiv::Variant *v = tiv::findParam(params, name);
    return v ? v->toString() : "<absent>";
}

// The names of the pairs of a parameter array, in order.
inline std::vector<std::string> paramNames(const tiv::Variant &params) {
    std::vector<std::string> names;
    for (const auto &pair : params.items())
        names.push_back(pair.at(0).toString());
    return names;
}

// The journal's calls of one entry point.
inline std::vector<nlohmann::json> callsOf(const nlohmann::json &journal,
                                           const std::string &entry) {
    std::vector<nlohmann::json> calls;
    for (const auto &call : journal)
        if (call.at("entry") == entry) calls.push_back(call);
    return calls;
}

// Document codes recorded in the host database, in order.
inline std::vector<std::string> recordedCodes() {
    std::vector<std::string> codes;
    const std::string path = tivhost::hostDatabasePath();
    if (!std::filesystem::exists(path)) return codes;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(db, "SELECT document_code FROM doc_nao_fiscais_ecf ORDER BY id", -1,
                               &st, nullptr) == SQLITE_OK)
            while (sqlite3_step(st) == SQLITE_ROW)
                codes.emplace_back(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)));
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return codes;
}

} // namespace sale
