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

} // namespace

namespace tiv02000 {

std::string formatFooter(const Footer &f) {
    using tivhost::Centraliza;
    ensureDataModule();
    int used = 0;
    std::string text = f.firstLine;
    auto append = [&](const std::string &piece) { text += piece + "\n"; };
    auto room = [&] { return used < f.maxLines; };

    if (!isBlank(f.secondLine)) {
        append(f.secondLine);
        used = 1;
    }
    append(f.taxLine);
    if (!isBlank(f.lotteryLine)) {
        append(f.lotteryLine);
        used += 5;
    } else {
        used += 3;
    }
    if (!isBlank(f.cerCounter) && !isBlank(f.receiptNumber)) {
        append("ECF:" + f.ecfNumber + "-Conf.Mesa -CER: " + f.cerCounter +
               "- COO: " + f.receiptNumber);
        ++used;
    }
    const int messageLines = freeMessageLines(f.freeMessage);

    if (f.layout == "1") {
        append(msg("Convenio") +
               " ..: " + copyText(f.customerCode + " - " + f.customerName, 1, 40));
        append(msg("Consumidor") + " : " +
               copyText(f.consumerCode + " - " + f.consumerName, 1, 40));
        append(msg("Sald_Cons") + " - " + fixed2(f.familyBalanceTotal));
        append(msg("PRECO_SUBSIDIO") + " - " + fixed2(f.subsidisedPrice));
        append(f.tableLine + f.passwordLine);
        append(msg("Operador") + ": " + f.operatorCode + " - " + f.operatorName);
        append(msg("Tolvera"));
        if (messageLines <= 1) text += f.freeMessage;
        return text;
    }
    if (f.layout != "2") return text;

    if (f.printExtraLines && f.extraLines) {
        for (const auto &entry : f.extraLines->lines())
            for (const auto &line : splitLines(entry)) {
                append(line);
                ++used;
            }
    }
    if (!isBlank(f.customerCode) && room()) {
        append(msg("CDCLIE") + copyText(f.customerCode + " - " + f.customerName, 1, 40));
        ++used;
    }
    if (!isBlank(f.consumerCode) && room()) {
        append(msg("Consumidor") + " : " +
               copyText(f.consumerCode + " - " + f.consumerName, 1, 40));
        ++used;
    }
    if (f.balanceMode == "1") {
        if (f.familyMode == "0" && room()) {
            append(msg("Sald_Cons") + "  " + fixed2(f.familyBalanceTotal));
            ++used;
        } else if (f.familyMode == "1") {
            if (f.balances && f.balances->active() && !f.balances->isEmpty()) {
                std::vector<std::string> lines;
                for (f.balances->first(); !f.balances->eof(); f.balances->next()) {
                    if (f.balances->fieldByName("VRSALDCONFAM").asFloat() == 0.0) continue;
                    const double balance =
                        familyBalance(f.balances, f.familyBalances, f.familyMovements);
                    lines.push_back(
                        tivhost::TamFixo(f.balances->fieldByName("NMFAMILISALD").asString(), 25) +
                        tivhost::TamFixoR(fixed2(balance), 22));
                }
                if (static_cast<int>(lines.size()) <= f.maxLines - used) {
                    for (const auto &line : lines)
                        append(line);
                    used += static_cast<int>(lines.size());
                }
            }
            append(f.afterFamilyText);
            ++used;
        }
    } else if (f.balanceMode == "2" && (f.familyMode == "0" || f.familyMode == "1") && room()) {
        append(msg("Sald_Cons") + "  " + fixed2(f.familyBalanceTotal));
        ++used;
    }
    if ((f.subsidisedPrice != 0.0 || !isBlank(f.dailyConsumptionBalance)) && room()) {
        std::string line;
        if (f.subsidisedPrice != 0.0)
            line = msg("PRECO_SUBSIDIO") + " " + fixed2(f.subsidisedPrice) + " - ";
        if (!isBlank(f.dailyConsumptionBalance))
            line += msg("SALDO_CONSUMO_DIA") + " " +
                    fixed2(tiv::strToFloat(trim(f.dailyConsumptionBalance)));
        append(line);
        ++used;
    }
    if (room() && (!isBlank(f.tableLine) || !isBlank(f.passwordLine))) {
        append(f.tableLine + f.passwordLine);
        ++used;
    }
    for (const std::string *line : {&f.pointsLine, &f.extraPointsLine, &f.fidelityDiscountLine}) {
        const bool present = line == &f.fidelityDiscountLine ? !isBlank(*line) : !line->empty();
        if (room() && present) {
            append(Centraliza(*line, 40));
            ++used;
        }
    }
    if (!f.freeMessage.empty()) {
        const int free = f.maxLines - used;
        if (messageLines <= free) {
            append(f.freeMessage);
            used += messageLines;
        } else if (free == 1) {
            append(copyText(f.freeMessage, 1, kColumns));
            ++used;
        } else if (free >= 2) {
            const size_t budget = static_cast<size_t>(free) * kColumns;
            if (f.freeMessage.size() >= budget) {
                append(f.freeMessage.substr(0, budget));
                used = f.maxLines;
            } else {
                append(f.freeMessage);
                used += static_cast<int>((f.freeMessage.size() + kColumns - 1) / kColumns);
            }
        }
    }
    if (room()) {
        append(msg("Tolvera"));
        ++used;
    }
    if (room()) append(msg("Operador") + ": " + f.operatorCode + " - " + f.operatorName);
    return text;
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
