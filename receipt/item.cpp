// Registration of one sold item, with its discount and surcharge.
#include <string_view>

#include "driver/amounts.h"
#include "driver/command.h"
#include "driver/command_family.h"
#include "driver/data_module.h"
#include "driver/debug_log.h"
#include "driver/operator_questions.h"
#include "driver/text.h"
#include "tiv02000/procedures.h"
#include "tiv02000/variables.h"
#include "tivhost/host.h"
#include "tivplatform/params.h"

using namespace tiv02000;

namespace {

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
    const std::string_view adjustmentMask = family().itemAdjustmentMask();
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

ItemLine itemLine(const Item &item, const Amounts &amounts) {
    return {.code = item.code,
            .description = copyText(item.description, 1, 50),
            .quantity = amounts.quantity,
            .price = amounts.price,
            .unit = item.unit,
            .taxCode = item.taxCode};
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
        const ItemLine line = itemLine(item, amounts);
        for (;;) {
            const bool accepted = analyse({item.colourScheme, boNUtilTaa}, family().sellItem(line));
            // The adjustments' answers are not judged: the item is registered.
            if (accepted) {
                if (item.discount > 0) (void)family().adjustItem(amounts.discount, true);
                if (item.surcharge > 0) (void)family().adjustItem(amounts.surcharge, false);
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
