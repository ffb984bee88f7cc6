// Registration of one sold item, with its discount and surcharge.
#include <cmath>
#include <functional>
#include <string_view>

#include "core/amounts.h"
#include "core/call_guard.h"
#include "core/command.h"
#include "core/command_family.h"
#include "core/data_module.h"
#include "core/debug_log.h"
#include "core/document_progress.h"
#include "core/error_report.h"
#include "core/operator_questions.h"
#include "core/return_analysis.h"
#include "core/text.h"
#include "sale_track.h"
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
        // Not a number is refused, never taken for "none".
        {"Desconto", item.discount, adjustmentMask, Truncation::To2, &out.discount,
         item.discount > 0 || !std::isfinite(item.discount)},
        {"Acr\xE9scimo", item.surcharge, adjustmentMask, Truncation::To2, &out.surcharge,
         item.surcharge > 0 || !std::isfinite(item.surcharge)},
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

// The pending item of this call: the one a failed call left, when the host or the operator
// repeats it, else a new one numbered after the items the printer holds.
PendingItem &pendingFor(const ItemLine &line, const Amounts &amounts) {
    SaleTrack &t = saleTrack();
    if (t.item && t.item->sameAs(line, amounts.discount, amounts.surcharge)) return *t.item;
    if (!t.items) {
        // A receipt this module did not open: learn how many items it holds.
        if (auto p = readDocumentProgress(); p && sameReceipt(t, *p)) t.items = p->items;
    }
    t.item = PendingItem{};
    t.item->line = line;
    t.item->discount = amounts.discount;
    t.item->surcharge = amounts.surcharge;
    if (t.items) t.item->number = *t.items + 1;
    return *t.item;
}

enum Part { kItem, kDiscount, kSurcharge };

// Whether the printer holds a part of the pending item: read after an answer that was not a
// clean success, and before any repeat.
Carried carried(const PendingItem &pi, Part part) {
    SaleTrack &t = saleTrack();
    const auto p = readDocumentProgress();
    if (!p || !pi.number) return Carried::Unknown;
    if (!sameReceipt(t, *p)) return p->receiptOpen() ? Carried::Unknown : Carried::No;
    if (part == kItem) {
        if (p->items == *pi.number) return Carried::Yes;
        return p->items == *pi.number - 1 ? Carried::No : Carried::Unknown;
    }
    if (p->items != *pi.number) return Carried::Unknown;
    return (part == kDiscount ? p->itemDiscount : p->itemSurcharge) ? Carried::Yes : Carried::No;
}

const char *const kEntries[] = {command_name::kSellItem, command_name::kAdjustItem,
                                command_name::kAdjustItem};

// Sends one part unless the printer already holds it; true once it is registered. A part
// whose outcome the printer cannot tell is not sent again.
bool registerPart(PendingItem &pi, Part part, const std::string &colourScheme,
                  const std::function<bool()> &send) {
    if (pi.done[part]) return true;
    if (pi.sent[part]) {
        const Carried c = carried(pi, part);
        if (c == Carried::Unknown) {
            reportOutcomeUnknown(kEntries[part], colourScheme, boNUtilTaa);
            return false;
        }
        if (c == Carried::Yes) {
            noteCarriedOut(kEntries[part]);
            return pi.done[part] = true;
        }
    }
    pi.sent[part] = true;
    if (send()) return pi.done[part] = true;
    if (!lastCommandRefused() && carried(pi, part) == Carried::Yes) {
        noteCarriedOut(kEntries[part]);
        return pi.done[part] = true;
    }
    return false;
}

// The item's discount, then its surcharge, each judged: one the printer refuses leaves the
// item sold without it and the call false, with the reason in stMensagemTaa. A repeat of the
// call sends only what is still missing.
bool finishItem(const Item &item, const Amounts &amounts, PendingItem &pi, tiv::Variant &params) {
    const Analysis how{item.colourScheme, boNUtilTaa};
    const struct {
        Part part;
        const std::string &digits;
        bool discount;
        const char *what;
    } adjustments[] = {{kDiscount, amounts.discount, true, "Desconto"},
                       {kSurcharge, amounts.surcharge, false, "Acr\xE9scimo"}};
    bool ok = true;
    for (const auto &adj : adjustments) {
        if (adj.digits.empty()) continue;
        ok = registerPart(pi, adj.part, item.colourScheme, [&] {
            return analyse(how, family().adjustItem(adj.digits, adj.discount));
        });
        if (!ok) {
            reportError(
                std::string(adj.what) + " do item " + item.code +
                    " n\xE3o registrado pela impressora fiscal; o item foi vendido sem ele.",
                item.colourScheme, boNUtilTaa);
            break;
        }
    }
    if (ok) saleTrack().item.reset();
    params = itemResult(item.tefError);
    return ok;
}

} // namespace

extern "C" TIV_EXPORT bool VendaItem(tiv::Variant &params) {
    const tiv02000::CallGuard guard;
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
        PendingItem &pi = pendingFor(line, amounts);
        SaleTrack &t = saleTrack();
        const Analysis how{item.colourScheme, boNUtilTaa};
        for (;;) {
            const bool accepted = registerPart(pi, kItem, item.colourScheme, [&] {
                return analyse(how, family().sellItem(line));
            });
            boClieUtil = false;
            if (accepted) {
                t.items = pi.number;
                return finishItem(item, amounts, pi, params);
            }
            if (!boNUtilTaa) {
                params = itemResult(item.tefError);
                return false;
            }
            if (!askRepeat(item)) return false;
        }
    } catch (const std::exception &e) {
        logDebug(std::string("VendaItem: ") + e.what());
        return false;
    }
}
