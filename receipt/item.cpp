// Registration of one sold item, with its discount and surcharge.
#include <array>
#include <string_view>

#include "driver/binding.h"
#include "driver/common.h"
#include "driver/data_module.h"
#include "driver/debug_log.h"
#include "driver/return_analysis.h"
#include "receipt/amounts.h"
#include "receipt/retry_question.h"
#include "tiv02000/procedures.h"
#include "tivhost/host.h"
#include "tivplatform/params.h"

using namespace tiv02000;

namespace {

struct TaxCode {
    std::string_view host, classic, escEcf;
};

// The host's tax code and the printer's names for it in each command family.
constexpr std::array<TaxCode, 14> kTaxCodes{{{"01", "Ta", "T1"},
                                             {"02", "Tb", "T2"},
                                             {"03", "Tc", "T3"},
                                             {"04", "Td", "T4"},
                                             {"05", "Te", "T5"},
                                             {"06", "Tf", "T6"},
                                             {"07", "Tg", "T7"},
                                             {"08", "Th", "T8"},
                                             {"09", "Ti", "T9"},
                                             {"10", "Tj", "T10"},
                                             {"11", "Tk", "T11"},
                                             {"FF", "F", "F1"},
                                             {"II", "I", "I1"},
                                             {"NN", "N", "N1"}}};

// An unknown code gives an empty name; the printer then judges the item.
std::string taxCodeName(const std::string &hostCode, bool classic) {
    for (const auto &code : kTaxCodes)
        if (code.host == hostCode) return std::string(classic ? code.classic : code.escEcf);
    return {};
}

struct Item {
    std::string colourScheme;
    int32_t tefError = 0;
    std::string code, description, taxCode, unit, idUtilTef;
    double quantity = 0, price = 0, discount = 0, surcharge = 0;
    bool utilTef = false;
};

Item readItem(const tiv::Variant &params) {
    using tivhost::RecebeParams;
    Item item;
    item.colourScheme = RecebeParams(params, "ESQUEMACOR").toString();
    item.tefError = RecebeParams(params, "INTEFERRO").toInt32();
    item.code = RecebeParams(params, "CDARVPROD").toString();
    item.description = RecebeParams(params, "NMPROD").toString();
    item.taxCode = RecebeParams(params, "CDALIQ").toString();
    item.quantity = RecebeParams(params, "QTDE").toReal();
    item.price = RecebeParams(params, "VALOR").toReal();
    item.discount = RecebeParams(params, "DESCONT").toReal();
    item.unit = RecebeParams(params, "UNIDADE").toString();
    (void)RecebeParams(params, "TIPOTICKET").toString();
    (void)RecebeParams(params, "VRPERCALIQ").toString();
    item.idUtilTef = RecebeParams(params, "IDUTILTEF").toString();
    item.utilTef = RecebeParams(params, "UTILTEF").toBoolean();
    item.surcharge = RecebeParams(params, "ACRESCIMO").toReal();
    return item;
}

// The digit texts of one item, made before anything reaches the printer so
// that an amount too large for its field refuses the whole item.
struct Amounts {
    std::string quantity, price, discount, surcharge;
};

bool formatAmounts(const Item &item, Amounts &out) {
    const bool classic = inTipoImpFis == 31;
    const std::string_view adjustmentMask = classic ? "000000.000" : "000000.00";
    struct Field {
        const char *name;
        double value;
        std::string_view mask;
        Truncation truncation;
        std::string *digits;
        bool needed;
    };
    const Field fields[] = {
        {"Quantidade", item.quantity, "0000.000", Truncation::To3, &out.quantity, true},
        {"Valor unit\xE1rio", item.price, "00000.000", Truncation::To2, &out.price, true},
        {"Desconto", item.discount, adjustmentMask, Truncation::To2, &out.discount,
         item.discount > 0},
        {"Acr\xE9scimo", item.surcharge, adjustmentMask, Truncation::To2, &out.surcharge,
         item.surcharge > 0},
    };
    for (const auto &field : fields) {
        if (!field.needed) continue;
        auto digits = tryPrinterAmount(field.value, field.mask, field.truncation);
        if (!digits) {
            reportAmountRefused(std::string(field.name) + " do item " + item.code, field.value,
                                item.colourScheme, boNUtilTaa);
            return false;
        }
        *field.digits = *digits;
    }
    return true;
}

int32_t sendItem(const Item &item, const Amounts &amounts) {
    const std::string description = copyText(item.description, 1, 50);
    if (inTipoImpFis == 31) {
        const std::string unit = copyText(item.unit, 1, 2);
        const std::string tax = taxCodeName(item.taxCode, true);
        const int32_t rc = EPSON(EPSON_Fiscal_Vender_Item)(
            item.code.c_str(), description.c_str(), amounts.quantity.c_str(), 3, unit.c_str(),
            amounts.price.c_str(), 3, tax.c_str(), 1);
        logDebug("EPSON_Fiscal_Vender_Item : " + item.code + " - " + description + " - " +
                 amounts.quantity + " - 3 - " + item.unit + " - " + amounts.price + " - 3 - " +
                 item.taxCode + " - 1");
        return rc;
    }
    const std::string code = tivhost::Ajusta(item.code, 3);
    const std::string unit = copyText(item.unit, 1, 3);
    const std::string tax = taxCodeName(item.taxCode, false);
    const int32_t rc = EPSON(EPSON_ESC_ECF_Fiscal_Vender_ItemEX)(
        code.c_str(), description.c_str(), tax.c_str(), unit.c_str(), amounts.quantity.c_str(), "3",
        amounts.price.c_str(), "3", "T");
    logDebug("EPSON_ESC_ECF_Fiscal_Vender_ItemEX : " + code + " - " + description + " - " + tax +
             " - " + item.unit + " - " + amounts.quantity + " - 3 - " + amounts.price + " - 3 - T");
    return rc;
}

// Their answers are not judged: the item itself is already registered.
void sendAdjustment(const std::string &digits, bool discount) {
    if (inTipoImpFis == 31)
        (void)EPSON(EPSON_Fiscal_Desconto_Acrescimo_Item)(digits.c_str(), 3, discount ? 1 : 0, 0);
    else
        (void)EPSON(EPSON_ESC_ECF_Desconto_Acrescimo_ItemEX)(discount ? "0" : "1", "1",
                                                             digits.c_str(), "");
}

bool askRepeat(const Item &item) {
    if (tefSale(item.idUtilTef, item.utilTef)) return askPrintAgain(item.colourScheme);
    const std::string text = msg("ErroItem") + "\r\n" + item.code + " - " +
                             copyText(item.description, 1, 20) + "\r\n" + msg("Deseja");
    return tivhost::Mensagem(text, "", "N", "S", 3, "", item.colourScheme, 0, nullptr);
}

tiv::Variant itemResult(int32_t tefError) {
    return tiv::makeParams({{"INTTEFERRO", tefError}, {"MENSAGEMTAA", stMensagemTaa}});
}

} // namespace

extern "C" TIV_EXPORT bool VendaItem(tiv::Variant &params) {
    try {
        stMensagemTaa.clear();
        const Item item = readItem(params);
        Amounts amounts;
        if (!formatAmounts(item, amounts)) {
            boClieUtil = false;
            params = itemResult(item.tefError);
            return false;
        }
        for (;;) {
            const int32_t rc = sendItem(item, amounts);
            const bool accepted = AnalisaRetorno(item.colourScheme, rc, boNUtilTaa, false, false);
            if (accepted) {
                if (item.discount > 0) sendAdjustment(amounts.discount, true);
                if (item.surcharge > 0) sendAdjustment(amounts.surcharge, false);
            }
            boClieUtil = false;
            if (accepted || !boNUtilTaa) {
                params = itemResult(item.tefError);
                return accepted;
            }
            if (!askRepeat(item)) return false;
        }
    } catch (const std::exception &e) {
        logDebug(std::string("VendaItem: ") + e.what());
        return false;
    }
}
