// The day's totals and the grand total, and the money texts they come in.
#include "core/binding.h"
#include "core/call_guard.h"
#include "core/command.h"
#include "core/error_report.h"
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

constexpr size_t kTotalSize = 51, kTotalWidth = 17, kGrossWidth = 14, kGtWidth = 18;

using TotalEntry = int32_t (*)(char *);

// A money reply whose answer passed the return analysis is used only when it is the digits its
// layout gives, no more and no fewer: a short, long, signed or lettered reply would be read as
// another amount. Otherwise the reason goes to stMensagemTaa (no notice: these queries show
// none) and the reply itself to the debug log.
bool judgedMoney(bool answered, const std::string &reply, size_t width, const char *what,
                 const std::string &colourScheme, std::string &value) {
    if (!answered) return false;
    if (digitsOfWidth(reply, width)) return true;
    value.clear();
    reportError({std::string(what) + " pela impressora fiscal n\xE3o \xE9 um n\xFAmero de " +
                     std::to_string(width) + " d\xEDgitos; o valor n\xE3o foi usado.",
                 " - resposta: \"" + reply + "\""},
                colourScheme, false);
    return false;
}

// One 17-character day total, logged and judged; handed back even when the
// judgement fails, never when the reply is not a total.
bool dayTotal(const std::string &colourScheme, TotalEntry entry, const char *name, const char *what,
              std::string &total) {
    Reply reply(kTotalSize);
    const int32_t rc = bound(entry, name)(reply.data());
    total = copyText(reply.text(), 1, kTotalWidth);
    const bool answered = analyse({colourScheme, false}, {rc, replyLine(name, total)});
    return judgedMoney(answered, reply.text(), kTotalWidth, what, colourScheme, total);
}

} // namespace

namespace tiv02000 {

bool digitsOfWidth(const std::string &reply, size_t width) {
    const std::string digits = trim(reply);
    return digits.size() == width && digits.find_first_not_of("0123456789") == std::string::npos;
}

} // namespace tiv02000

extern "C" TIV_EXPORT double GetValue(const std::string &text) {
    const tiv02000::CallGuard guard;
    return moneyValue(text);
}

namespace tiv02000 {

bool grossSales(const std::string &colourScheme, std::string &total) {
    Reply gross(15), lastReduction(15);
    const int32_t rc = EPSON(EPSON_Obter_Venda_Bruta)(gross.data(), lastReduction.data());
    total = gross.text();
    const bool answered =
        analyse({colourScheme, false}, {rc, replyLine("EPSON_Obter_Venda_Bruta", total)});
    return judgedMoney(answered, gross.text(), kGrossWidth, "A venda bruta informada", colourScheme,
                       total);
}

bool cancelledTotal(const std::string &colourScheme, std::string &total) {
    return dayTotal(colourScheme, epson().EPSON_Obter_Total_Cancelado,
                    "EPSON_Obter_Total_Cancelado", "O total de cancelamentos informado", total);
}

bool discountTotal(const std::string &colourScheme, std::string &total) {
    return dayTotal(colourScheme, epson().EPSON_Obter_Total_Descontos,
                    "EPSON_Obter_Total_Descontos", "O total de descontos informado", total);
}

bool surchargeTotal(const std::string &colourScheme, std::string &total) {
    return dayTotal(colourScheme, epson().EPSON_Obter_Total_Acrescimos,
                    "EPSON_Obter_Total_Acrescimos", "O total de acr\xE9scimos informado", total);
}

bool grandTotal(const std::string &colourScheme, std::string &total) {
    Reply reply(20);
    const int32_t rc = EPSON(EPSON_Obter_GT)(reply.data());
    const bool answered =
        analyse({colourScheme, false}, {rc, replyLine("EPSON_Obter_GT", reply.text())});
    // The grand total is what the host reconciles with: a failed read, or a reply that is not
    // its digits, hands back nothing rather than a number made from an unread buffer or from
    // a reply cut short or run long.
    total.clear();
    if (!judgedMoney(answered, reply.text(), kGtWidth, "O totalizador geral informado",
                     colourScheme, total))
        return false;
    total = tiv::floatToStr(moneyValue(reply.text()));
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
