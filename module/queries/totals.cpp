// The day's totals and the grand total, and the money texts they come in.
#include "core/binding.h"
#include "core/call_guard.h"
#include "core/command.h"
#include "core/reply.h"
#include "core/text.h"
#include "queries/queries.h"
#include "tiv02000/procedures.h"
#include "tivplatform/numbers.h"
#include "tivplatform/settings.h"

using namespace tiv02000;

namespace tiv02000 {

double moneyValue(const std::string &text) {
    std::string digits;
    for (char c : trim(text))
        if (c != ',' && c != '.') digits += c;
    if (digits.empty()) return 0.0;
    // Two implied decimals: a text shorter than three digits is still cents
    // ("5" is 0.05, not 0.5).
    std::string sign;
    if (digits[0] == '-' || digits[0] == '+') {
        sign = digits.substr(0, 1);
        digits.erase(0, 1);
    }
    if (digits.size() < 3) digits.insert(0, 3 - digits.size(), '0');
    digits.insert(digits.size() - 2, 1, tiv::formatSettings().decimalSeparator);
    return tiv::strToFloat(sign + digits);
}

} // namespace tiv02000

namespace {

constexpr size_t kTotalSize = 51, kTotalWidth = 17;

using TotalEntry = int32_t (*)(char *);

// One 17-character day total, logged and judged; handed back even when the
// judgement fails.
bool dayTotal(const std::string &colourScheme, TotalEntry entry, const char *name,
              std::string &total) {
    Reply reply(kTotalSize);
    const int32_t rc = bound(entry, name)(reply.data());
    total = copyText(reply.text(), 1, kTotalWidth);
    return analyse({colourScheme, false}, {rc, replyLine(name, total)});
}

} // namespace

extern "C" TIV_EXPORT double GetValue(const std::string &text) {
    const tiv02000::CallGuard guard;
    return moneyValue(text);
}

namespace tiv02000 {

bool grossSales(const std::string &colourScheme, std::string &total) {
    Reply gross(15), lastReduction(15);
    const int32_t rc = EPSON(EPSON_Obter_Venda_Bruta)(gross.data(), lastReduction.data());
    total = gross.text();
    return analyse({colourScheme, false}, {rc, replyLine("EPSON_Obter_Venda_Bruta", total)});
}

bool cancelledTotal(const std::string &colourScheme, std::string &total) {
    return dayTotal(colourScheme, epson().EPSON_Obter_Total_Cancelado,
                    "EPSON_Obter_Total_Cancelado", total);
}

bool discountTotal(const std::string &colourScheme, std::string &total) {
    return dayTotal(colourScheme, epson().EPSON_Obter_Total_Descontos,
                    "EPSON_Obter_Total_Descontos", total);
}

bool surchargeTotal(const std::string &colourScheme, std::string &total) {
    return dayTotal(colourScheme, epson().EPSON_Obter_Total_Acrescimos,
                    "EPSON_Obter_Total_Acrescimos", total);
}

bool grandTotal(const std::string &colourScheme, std::string &total) {
    Reply reply(20);
    const int32_t rc = EPSON(EPSON_Obter_GT)(reply.data());
    const bool answered =
        analyse({colourScheme, false}, {rc, replyLine("EPSON_Obter_GT", reply.text())});
    // The grand total is what the host reconciles with: a failed read, or a reply that is not
    // digits, hands back nothing rather than a number made from an unread buffer.
    const std::string digits = trim(reply.text());
    if (!answered || digits.empty() ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
        total.clear();
        return false;
    }
    total = tiv::floatToStr(moneyValue(digits));
    return true;
}

} // namespace tiv02000

extern "C" TIV_EXPORT bool VendaBruta(const std::string &colourScheme, std::string &total) {
    const tiv02000::CallGuard guard;
    return grossSales(colourScheme, total);
}

extern "C" TIV_EXPORT bool Cancelamentos(const std::string &colourScheme, std::string &total) {
    const tiv02000::CallGuard guard;
    return cancelledTotal(colourScheme, total);
}

extern "C" TIV_EXPORT bool Descontos(const std::string &colourScheme, std::string &total) {
    const tiv02000::CallGuard guard;
    return discountTotal(colourScheme, total);
}

extern "C" TIV_EXPORT bool Acrescimo_Imp(const std::string &colourScheme, std::string &total) {
    const tiv02000::CallGuard guard;
    return surchargeTotal(colourScheme, total);
}

extern "C" TIV_EXPORT bool BuscaTotGer(const std::string &colourScheme, std::string &grandTotal) {
    const tiv02000::CallGuard guard;
    return tiv02000::grandTotal(colourScheme, grandTotal);
}
