#include <string>
#include <vector>

#include "footer.h"

#include "core/call_guard.h"
#include "core/data_module.h"
#include "core/text.h"
#include "tiv02000/procedures.h"
#include "tivhost/host.h"
#include "tivplatform/numbers.h"

using namespace tiv02000;

namespace {

constexpr size_t kColumns = 48;

std::string fixed2(double value) {
    return tiv::formatFixed(value, 2);
}

// Lines a free message takes: its line feeds (at least one), plus one for
// every further 48 characters of a long message.
int freeMessageLines(const std::string &text) {
    int lines = 0;
    for (char c : text)
        if (c == '\n') ++lines;
    if (lines < 1) lines = 1;
    if (text.size() > kColumns - 1) lines += static_cast<int>(text.size() / kColumns);
    return lines;
}

std::vector<std::string> splitLines(const std::string &text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start <= text.size()) {
        const size_t lf = text.find('\n', start);
        if (lf == std::string::npos) {
            lines.push_back(text.substr(start));
            break;
        }
        lines.push_back(text.substr(start, lf - start));
        start = lf + 1;
    }
    return lines;
}

double fieldOrZero(tiv::TClientDataSet *ds, const char *field) {
    return ds->hasField(field) ? ds->fieldByName(field).asFloat() : 0.0;
}

// Balance of one family: its balance row, less what the family-balances
// dataset holds for it, less its debit movement (or its credit movement
// when the family row exists and there is no debit one).
double familyBalance(tiv::TClientDataSet *balances, tiv::TClientDataSet *familyBalances,
                     tiv::TClientDataSet *movements) {
    const std::string family = balances->fieldByName("CDFAMILISALD").asString();
    double balance = balances->fieldByName("VRSALDCONFAM").asFloat();
    bool familyRow = false;
    if (familyBalances && familyBalances->active() && familyBalances->hasField("CDFAMILISALD") &&
        familyBalances->locate("CDFAMILISALD", tiv::Variant(family))) {
        familyRow = true;
        balance -= fieldOrZero(familyBalances, "VRSALDCONFAM");
    }
    if (movements && movements->active() && movements->hasField("CDFAMILISALD") &&
        movements->hasField("IDTPMOVEXT")) {
        const auto key = [&](const char *kind) {
            return tiv::Variant(
                std::vector<tiv::Variant>{tiv::Variant(family), tiv::Variant(kind)});
        };
        if (movements->locate("CDFAMILISALD;IDTPMOVEXT", key("D")))
            balance -= fieldOrZero(movements, "VRMOVEXTCONS");
        else if (familyRow && movements->locate("CDFAMILISALD;IDTPMOVEXT", key("C")))
            balance -= fieldOrZero(movements, "VRMOVEXTCONS");
    }
    return balance;
}

// The footer as it is written: its text and the lines it has used of its budget.
struct FooterText {
    const Footer &f;
    std::string text = f.firstLine;
    int used = 0;

    bool room() const { return used < f.maxLines; }
    void append(const std::string &piece) { text += piece + "\n"; }
    // A line that takes one of the budget.
    void line(const std::string &piece) {
        append(piece);
        ++used;
    }
};

// The second line, the tax and lottery lines and the table-conference line: always written,
// whatever the budget.
void writeHead(FooterText &t) {
    const Footer &f = t.f;
    if (!isBlank(f.secondLine)) {
        t.append(f.secondLine);
        t.used = 1;
    }
    t.append(f.taxLine);
    if (!isBlank(f.lotteryLine)) {
        t.append(f.lotteryLine);
        t.used += 5;
    } else {
        t.used += 3;
    }
    if (!isBlank(f.cerCounter) && !isBlank(f.receiptNumber))
        t.line("ECF:" + f.ecfNumber + "-Conf.Mesa -CER: " + f.cerCounter +
               "- COO: " + f.receiptNumber);
}

// The agreement's own footer: its lines whatever the budget, and a free message of one line.
void writeAgreement(FooterText &t, int messageLines) {
    const Footer &f = t.f;
    t.append(msg("Convenio") + " ..: " + copyText(f.customerCode + " - " + f.customerName, 1, 40));
    t.append(msg("Consumidor") + " : " + copyText(f.consumerCode + " - " + f.consumerName, 1, 40));
    t.append(msg("Sald_Cons") + " - " + fixed2(f.familyBalanceTotal));
    t.append(msg("PRECO_SUBSIDIO") + " - " + fixed2(f.subsidisedPrice));
    t.append(f.tableLine + f.passwordLine);
    t.append(msg("Operador") + ": " + f.operatorCode + " - " + f.operatorName);
    t.append(msg("Tolvera"));
    if (messageLines <= 1) t.text += f.freeMessage;
}

void writeExtraLines(FooterText &t) {
    if (!t.f.printExtraLines || !t.f.extraLines) return;
    for (const auto &entry : t.f.extraLines->lines())
        for (const auto &line : splitLines(entry))
            t.line(line);
}

void writeCustomerAndConsumer(FooterText &t) {
    const Footer &f = t.f;
    if (!isBlank(f.customerCode) && t.room())
        t.line(msg("CDCLIE") + copyText(f.customerCode + " - " + f.customerName, 1, 40));
    if (!isBlank(f.consumerCode) && t.room())
        t.line(msg("Consumidor") + " : " +
               copyText(f.consumerCode + " - " + f.consumerName, 1, 40));
}

// One line per family with a balance, all of them or none when they do not fit, then the text
// that follows the families.
void writeFamilyBalances(FooterText &t) {
    const Footer &f = t.f;
    if (f.balances && f.balances->active() && !f.balances->isEmpty()) {
        std::vector<std::string> lines;
        for (f.balances->first(); !f.balances->eof(); f.balances->next()) {
            if (f.balances->fieldByName("VRSALDCONFAM").asFloat() == 0.0) continue;
            const double balance = familyBalance(f.balances, f.familyBalances, f.familyMovements);
            lines.push_back(
                tivhost::TamFixo(f.balances->fieldByName("NMFAMILISALD").asString(), 25) +
                tivhost::TamFixoR(fixed2(balance), 22));
        }
        if (static_cast<int>(lines.size()) <= f.maxLines - t.used)
            for (const auto &line : lines)
                t.line(line);
    }
    t.line(f.afterFamilyText);
}

void writeBalances(FooterText &t) {
    const Footer &f = t.f;
    const std::string total = msg("Sald_Cons") + "  " + fixed2(f.familyBalanceTotal);
    if (f.balanceMode == "1") {
        if (f.familyMode == "0" && t.room())
            t.line(total);
        else if (f.familyMode == "1")
            writeFamilyBalances(t);
    } else if (f.balanceMode == "2" && (f.familyMode == "0" || f.familyMode == "1") && t.room()) {
        t.line(total);
    }
}

// The subsidised price and the day's consumption balance, on one line.
void writeSubsidy(FooterText &t) {
    const Footer &f = t.f;
    if ((f.subsidisedPrice == 0.0 && isBlank(f.dailyConsumptionBalance)) || !t.room()) return;
    std::string line;
    if (f.subsidisedPrice != 0.0)
        line = msg("PRECO_SUBSIDIO") + " " + fixed2(f.subsidisedPrice) + " - ";
    if (!isBlank(f.dailyConsumptionBalance))
        line += msg("SALDO_CONSUMO_DIA") + " " +
                fixed2(tiv::strToFloat(trim(f.dailyConsumptionBalance)));
    t.line(line);
}

void writeTableAndFidelity(FooterText &t) {
    const Footer &f = t.f;
    if (t.room() && (!isBlank(f.tableLine) || !isBlank(f.passwordLine)))
        t.line(f.tableLine + f.passwordLine);
    for (const std::string *line : {&f.pointsLine, &f.extraPointsLine, &f.fidelityDiscountLine}) {
        const bool present = line == &f.fidelityDiscountLine ? !isBlank(*line) : !line->empty();
        if (t.room() && present) t.line(tivhost::Centraliza(*line, 40));
    }
}

// The free message in the lines left: whole when it fits, else cut to them.
void writeFreeMessage(FooterText &t, int messageLines) {
    const std::string &message = t.f.freeMessage;
    if (message.empty()) return;
    const int free = t.f.maxLines - t.used;
    if (messageLines <= free) {
        t.append(message);
        t.used += messageLines;
    } else if (free == 1) {
        t.line(copyText(message, 1, kColumns));
    } else if (free >= 2) {
        const size_t budget = static_cast<size_t>(free) * kColumns;
        if (message.size() >= budget) {
            t.append(message.substr(0, budget));
            t.used = t.f.maxLines;
        } else {
            t.append(message);
            t.used += static_cast<int>((message.size() + kColumns - 1) / kColumns);
        }
    }
}

} // namespace

namespace tiv02000 {

std::string formatFooter(const Footer &f) {
    ensureDataModule();
    FooterText t{f};
    writeHead(t);
    const int messageLines = freeMessageLines(f.freeMessage);
    if (f.layout == "1") {
        writeAgreement(t, messageLines);
        return t.text;
    }
    if (f.layout != "2") return t.text;
    writeExtraLines(t);
    writeCustomerAndConsumer(t);
    writeBalances(t);
    writeSubsidy(t);
    writeTableAndFidelity(t);
    writeFreeMessage(t, messageLines);
    if (t.room()) t.line(msg("Tolvera"));
    if (t.room()) t.append(msg("Operador") + ": " + f.operatorCode + " - " + f.operatorName);
    return t.text;
}

} // namespace tiv02000

extern "C" TIV_EXPORT std::string Formata_rodape(
    int32_t maxLines, const std::string &balanceMode, const std::string &firstLine,
    const std::string &secondLine, const std::string &taxLine, const std::string &lotteryLine,
    const std::string &customerCode, const std::string &customerName,
    const std::string &consumerCode, const std::string &consumerName,
    const std::string &operatorCode, const std::string &operatorName, const std::string &tableLine,
    const std::string &passwordLine, const std::string &, const std::string &, const std::string &,
    const std::string &freeMessage, const std::string &ecfNumber, const std::string &cerCounter,
    const std::string &receiptNumber, const std::string &familyMode, const std::string &layout,
    double familyBalanceTotal, double subsidisedPrice, double, tiv::TClientDataSet *balances,
    tiv::TClientDataSet *familyBalances, tiv::TClientDataSet *familyMovements, bool printExtraLines,
    tiv::TStringList *extraLines, const std::string &pointsLine, const std::string &extraPointsLine,
    const std::string &afterFamilyText, const std::string &dailyConsumptionBalance,
    const std::string &fidelityDiscountLine) {
    const tiv02000::CallGuard guard;
    return formatFooter({.maxLines = maxLines,
                         .balanceMode = balanceMode,
                         .firstLine = firstLine,
                         .secondLine = secondLine,
                         .taxLine = taxLine,
                         .lotteryLine = lotteryLine,
                         .customerCode = customerCode,
                         .customerName = customerName,
                         .consumerCode = consumerCode,
                         .consumerName = consumerName,
                         .operatorCode = operatorCode,
                         .operatorName = operatorName,
                         .tableLine = tableLine,
                         .passwordLine = passwordLine,
                         .freeMessage = freeMessage,
                         .ecfNumber = ecfNumber,
                         .cerCounter = cerCounter,
                         .receiptNumber = receiptNumber,
                         .familyMode = familyMode,
                         .layout = layout,
                         .familyBalanceTotal = familyBalanceTotal,
                         .subsidisedPrice = subsidisedPrice,
                         .balances = balances,
                         .familyBalances = familyBalances,
                         .familyMovements = familyMovements,
                         .printExtraLines = printExtraLines,
                         .extraLines = extraLines,
                         .pointsLine = pointsLine,
                         .extraPointsLine = extraPointsLine,
                         .afterFamilyText = afterFamilyText,
                         .dailyConsumptionBalance = dailyConsumptionBalance,
                         .fidelityDiscountLine = fidelityDiscountLine});
}
