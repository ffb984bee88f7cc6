// The consumer's balance slip and statement, printed into a management
// report the host has already opened, then closed.
#include <string>
#include <vector>

#include "core/call_guard.h"
#include "core/data_module.h"
#include "documents/documents.h"
#include "documents/printed_amount.h"
#include "management_report.h"
#include "tiv02000/procedures.h"
#include "tivhost/host.h"
#include "tivplatform/errors.h"
#include "tivplatform/numbers.h"

using namespace tiv02000;

namespace {

constexpr int kColumns = 48;
constexpr int kNameColumns = 37;
constexpr int kAmountColumns = 11;

std::string balanceHeader(const std::string &consumerCode, const std::string &consumerName) {
    return tivhost::Centraliza(">>> Consulta Saldo <<<", kColumns) + "\n" +
           std::string(kColumns, '-') + "\n" + consumerCode + " - " + consumerName + "\n\n";
}

// A name and an amount right-aligned in the 11 columns after it.
std::string balanceLine(const std::string &name, const std::string &what, double value,
                        const std::string &colourScheme) {
    return tivhost::TamFixo(name, kNameColumns) +
           tivhost::TamFixoR(
               fitAmount(what, value, tiv::formatFixed(value, 2), kAmountColumns, colourScheme),
               kAmountColumns) +
           "\n";
}

std::string totalLines(double total, const std::string &colourScheme) {
    return tivhost::TamFixo(" ", kNameColumns) + std::string(kAmountColumns, '-') + "\n" +
           balanceLine("Saldo Total", "Saldo total", total, colourScheme);
}

// Blocks of whole lines of at most 620 characters: a family with many
// members keeps every line and its total instead of losing them to the
// printer's block size. Up to ten members it is one block.
std::vector<std::string> blocks(const std::string &text) {
    std::vector<std::string> out;
    size_t from = 0;
    while (from < text.size()) {
        size_t to = from;
        for (;;) {
            const size_t lf = text.find('\n', to);
            const size_t end = lf == std::string::npos ? text.size() : lf + 1;
            if (end - from > kBlockLimit && to > from) break;
            to = end;
            if (to == text.size()) break;
        }
        out.push_back(text.substr(from, std::min(to - from, kBlockLimit)));
        from = to;
    }
    return out;
}

// Header, then the body, then the close; false when any of them failed.
bool printBalance(const std::string &colourScheme, const std::string &consumerCode,
                  const std::string &consumerName, const std::string &body) {
    bool printed = printReportText(
        colourScheme, balanceHeader(consumerCode, consumerName).substr(0, kBlockLimit));
    for (const std::string &block : blocks(body))
        printed = printReportText(colourScheme, block) && printed;
    const bool closed = closeManagementReport(colourScheme, true, false);
    return printed && closed;
}

void requireDataset(tiv::TClientDataSet *ds, const char *procedure) {
    if (!ds || !ds->active()) throw tiv::DataError(std::string(procedure) + ": no dataset");
}

} // namespace

extern "C" TIV_EXPORT bool ImpSaldo(const std::string &colourScheme,
                                    tiv::TClientDataSet *familyBalances,
                                    const std::string &consumerCode,
                                    const std::string &consumerName) {
    const tiv02000::CallGuard guard;
    ensureDataModule();
    requireDataset(familyBalances, "ImpSaldo");
    std::string body;
    try {
        double total = 0;
        // From the row the host left current: the host chooses where the
        // consumer's family starts.
        for (; !familyBalances->eof(); familyBalances->next()) {
            const double balance = familyBalances->fieldByName("SALDOFAM").asFloat();
            body += balanceLine(familyBalances->fieldByName("NMFAMILISALD").asString(),
                                "Saldo da fam\xEDlia", balance, colourScheme);
            total += balance;
        }
        body += totalLines(total, colourScheme);
    } catch (const AmountRefused &) {
        return false;
    }
    return printBalance(colourScheme, consumerCode, consumerName, body);
}

extern "C" TIV_EXPORT bool ImpSaldoDeb(const std::string &colourScheme,
                                       tiv::TClientDataSet *balances,
                                       const std::string &consumerCode,
                                       const std::string &consumerName) {
    const tiv02000::CallGuard guard;
    ensureDataModule();
    requireDataset(balances, "ImpSaldoDeb");
    std::string body;
    try {
        body = totalLines(balances->fieldByName("VRSALDOCONS").asFloat(), colourScheme);
    } catch (const AmountRefused &) {
        return false;
    }
    return printBalance(colourScheme, consumerCode, consumerName, body);
}

extern "C" TIV_EXPORT bool Extrato(const std::string &statement, const std::string &colourScheme) {
    const tiv02000::CallGuard guard;
    ensureDataModule();
    printChunks(colourScheme, statement);
    return closeManagementReport(colourScheme, true, false);
}
