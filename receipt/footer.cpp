// The receipt footer: the lines under the totals, within a line budget.
#include <string>
#include <vector>

#include "driver/common.h"
#include "driver/data_module.h"
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
    using tivhost::Centraliza;
    ensureDataModule();
    int used = 0;
    std::string text = firstLine;
    auto append = [&](const std::string &piece) { text += piece + "\n"; };
    auto room = [&] { return used < maxLines; };

    if (!isBlank(secondLine)) {
        append(secondLine);
        used = 1;
    }
    append(taxLine);
    if (!isBlank(lotteryLine)) {
        append(lotteryLine);
        used += 5;
    } else {
        used += 3;
    }
    if (!isBlank(cerCounter) && !isBlank(receiptNumber)) {
        append("ECF:" + ecfNumber + "-Conf.Mesa -CER: " + cerCounter + "- COO: " + receiptNumber);
        ++used;
    }
    const int messageLines = freeMessageLines(freeMessage);

    if (layout == "1") {
        append(msg("Convenio") + " ..: " + copyText(customerCode + " - " + customerName, 1, 40));
        append(msg("Consumidor") + " : " + copyText(consumerCode + " - " + consumerName, 1, 40));
        append(msg("Sald_Cons") + " - " + fixed2(familyBalanceTotal));
        append(msg("PRECO_SUBSIDIO") + " - " + fixed2(subsidisedPrice));
        append(tableLine + passwordLine);
        append(msg("Operador") + ": " + operatorCode + " - " + operatorName);
        append(msg("Tolvera"));
        if (messageLines <= 1) text += freeMessage;
        return text;
    }
    if (layout != "2") return text;

    if (printExtraLines && extraLines) {
        for (const auto &entry : extraLines->lines())
            for (const auto &line : splitLines(entry)) {
                append(line);
                ++used;
            }
    }
    if (!isBlank(customerCode) && room()) {
        append(msg("CDCLIE") + copyText(customerCode + " - " + customerName, 1, 40));
        ++used;
    }
    if (!isBlank(consumerCode) && room()) {
        append(msg("Consumidor") + " : " + copyText(consumerCode + " - " + consumerName, 1, 40));
        ++used;
    }
    if (balanceMode == "1") {
        if (familyMode == "0" && room()) {
            append(msg("Sald_Cons") + "  " + fixed2(familyBalanceTotal));
            ++used;
        } else if (familyMode == "1") {
            if (balances && balances->active() && !balances->isEmpty()) {
                std::vector<std::string> lines;
                for (balances->first(); !balances->eof(); balances->next()) {
                    if (balances->fieldByName("VRSALDCONFAM").asFloat() == 0.0) continue;
                    const double balance = familyBalance(balances, familyBalances, familyMovements);
                    lines.push_back(
                        tivhost::TamFixo(balances->fieldByName("NMFAMILISALD").asString(), 25) +
                        tivhost::TamFixoR(fixed2(balance), 22));
                }
                if (static_cast<int>(lines.size()) <= maxLines - used) {
                    for (const auto &line : lines)
                        append(line);
                    used += static_cast<int>(lines.size());
                }
            }
            append(afterFamilyText);
            ++used;
        }
    } else if (balanceMode == "2" && (familyMode == "0" || familyMode == "1") && room()) {
        append(msg("Sald_Cons") + "  " + fixed2(familyBalanceTotal));
        ++used;
    }
    if ((subsidisedPrice != 0.0 || !isBlank(dailyConsumptionBalance)) && room()) {
        std::string line;
        if (subsidisedPrice != 0.0)
            line = msg("PRECO_SUBSIDIO") + " " + fixed2(subsidisedPrice) + " - ";
        if (!isBlank(dailyConsumptionBalance))
            line += msg("SALDO_CONSUMO_DIA") + " " +
                    fixed2(tiv::strToFloat(trim(dailyConsumptionBalance)));
        append(line);
        ++used;
    }
    if (room() && (!isBlank(tableLine) || !isBlank(passwordLine))) {
        append(tableLine + passwordLine);
        ++used;
    }
    for (const std::string *line : {&pointsLine, &extraPointsLine, &fidelityDiscountLine}) {
        const bool present = line == &fidelityDiscountLine ? !isBlank(*line) : !line->empty();
        if (room() && present) {
            append(Centraliza(*line, 40));
            ++used;
        }
    }
    if (!freeMessage.empty()) {
        const int free = maxLines - used;
        if (messageLines <= free) {
            append(freeMessage);
            used += messageLines;
        } else if (free == 1) {
            append(copyText(freeMessage, 1, kColumns));
            ++used;
        } else if (free >= 2) {
            const size_t budget = static_cast<size_t>(free) * kColumns;
            if (freeMessage.size() >= budget) {
                append(freeMessage.substr(0, budget));
                used = maxLines;
            } else {
                append(freeMessage);
                used += static_cast<int>((freeMessage.size() + kColumns - 1) / kColumns);
            }
        }
    }
    if (room()) {
        append(msg("Tolvera"));
        ++used;
    }
    if (room()) append(msg("Operador") + ": " + operatorCode + " - " + operatorName);
    return text;
}
