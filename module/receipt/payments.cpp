#include "payments.h"

#include "core/amounts.h"
#include "core/command.h"
#include "core/command_family.h"
#include "core/data_module.h"
#include "core/dialogs.h"
#include "core/document_progress.h"
#include "core/error_report.h"
#include "core/return_analysis.h"
#include "core/text.h"
#include "tiv02000/variables.h"

namespace tiv02000 {

namespace {

void loadPacket(tiv::TClientDataSet &ds, const tiv::Variant &packet) {
    if (packet.isUnassigned()) {
        ds.close();
        return;
    }
    ds.setData(packet);
    ds.open();
}

// The data module keeps its index definitions from one sale to the next:
// an index is defined once, and every sale starts in insertion order.
void ensureIndex(tiv::TClientDataSet &ds, const std::string &name, const std::string &fields) {
    try {
        ds.setIndexName(name);
        return;
    } catch (const tiv::Error &) {
        // Not defined yet.
    }
    ds.addIndex(name, fields);
}

void addMovementIndexes(tiv::TClientDataSet &ds) {
    if (ds.hasField("DTHRINCMOV")) {
        ensureIndex(ds, "idxDTHRINCMOV", "DTHRINCMOV");
        if (ds.hasField("NRORDTROCO")) ensureIndex(ds, "idxNRORDTROCO", "DTHRINCMOV;NRORDTROCO");
    }
    ds.setIndexName("");
}

std::string field(tiv::TClientDataSet *ds, const char *name) {
    return ds->hasField(name) ? ds->fieldByName(name).asString() : std::string();
}

void copyRow(tiv::TClientDataSet &from, tiv::TClientDataSet &to) {
    to.append();
    for (const auto &def : from.fieldDefs())
        if (to.hasField(def.name))
            to.fieldByName(def.name).setAsVariant(from.fieldByName(def.name).asVariant());
    to.post();
}

// The method a payment row is paid with: the original method of a card
// payment, otherwise the row's own.
struct Method : PaymentMethod {
    bool known = false; // found in the host's payment methods
};
Method findMethod(tiv::TClientDataSet *methods, tiv::TClientDataSet *row) {
    const std::string original = field(row, "CDTIPORECEORIG");
    const std::string code = !original.empty() && !isBlank(field(row, "CDBANCARTCR"))
                                 ? original
                                 : field(row, "CDTIPORECE");
    Method m;
    m.code = code;
    if (methods && methods->active() && methods->locate("CDTIPORECE", tiv::Variant(code))) {
        m.known = true;
        m.kind = field(methods, "IDTIPORECE");
        m.name = field(methods, "NMTIPORECE");
        m.fiscalName = field(methods, "DSIMPFISCAL");
    }
    return m;
}

// A payment that cannot be sent: logged, noted in stMensagemTaa and shown
// under the dialog rule.
PaymentOutcome methodRefused(const ClosingArgs &a, const std::string &method, const char *where) {
    const std::string text = "Forma de pagamento \"" + method + "\" n\xE3o encontrada " + where;
    reportError(text, a.colourScheme, dialogsAllowed());
    return PaymentOutcome::Refused;
}

} // namespace

PaymentDatasets loadPaymentDatasets(const ClosingArgs &a) {
    auto &dm = dataModule();
    PaymentDatasets d{&dm.dataset("cdsMovCaixa"),     &dm.dataset("cdsMovCaixaTef"),
                      &dm.dataset("cdsRecebAux"),     &dm.dataset("cdsSaldCred"),
                      &dm.dataset("cdsFamiliaSaldo"), &dm.dataset("cdsEmprestimo")};
    loadPacket(*d.movements, a.movements);
    loadPacket(*d.payments, a.movements);
    if (d.payments->active()) d.payments->emptyDataSet();
    addMovementIndexes(*d.movements);
    addMovementIndexes(*d.payments);
    loadPacket(*d.methods, a.paymentMethods);
    loadPacket(*d.creditBalances, a.creditBalances);
    loadPacket(*d.familyBalances, a.familyBalances);
    loadPacket(*d.loans, a.loans);
    return d;
}

PaymentRun aggregatePayments(const ClosingArgs &a, PaymentDatasets &d) {
    PaymentRun run;
    if (!d.movements->active()) return run;
    for (d.movements->first(); !d.movements->eof(); d.movements->next()) {
        const std::string kind = field(d.movements, "IDTIPOMOVIVE");
        const double amount = d.movements->fieldByName("VRMOVIVEND").asFloat();
        if (a.tefSale() && (kind == "E" || kind == "T")) {
            const tiv::Variant key(std::vector<tiv::Variant>{
                tiv::Variant(field(d.movements, "CDTIPORECE")), tiv::Variant("E")});
            if (d.payments->locate("CDTIPORECE;IDTIPOMOVIVE", key)) {
                d.payments->edit();
                auto total = d.payments->fieldByName("VRMOVIVEND");
                total.setAsFloat(total.asFloat() + amount);
                d.payments->post();
            } else {
                copyRow(*d.movements, *d.payments);
            }
            run.paidTotal += amount;
        } else {
            copyRow(*d.movements, *d.payments);
            if (kind == "E") run.paidTotal += amount;
        }
    }
    if (d.payments->active())
        for (d.payments->first(); !d.payments->eof(); d.payments->next()) {
            const std::string kind = field(d.payments, "IDTIPOMOVIVE");
            if (kind == "E" || kind == "T") ++run.rows;
        }
    return run;
}

PaymentOutcome sendPayments(const ClosingArgs &a, PaymentDatasets &d, PaymentRun &run,
                            const PaymentCheck &check) {
    tiv::TClientDataSet *rows = d.payments;
    if (!rows->active()) return PaymentOutcome::Done;
    rows->first();
    for (int skipped = 0; skipped < run.rowsDone && !rows->eof(); ++skipped)
        rows->next();
    for (; !rows->eof(); rows->next(), ++run.rowsDone) {
        const std::string kind = field(rows, "IDTIPOMOVIVE");
        if (kind != "E" && kind != "T") continue;
        const Method m = findMethod(d.methods, rows);
        const double amount = rows->fieldByName("VRMOVIVEND").asFloat();
        bool accepted = run.sent < run.registered;
        if (!accepted && run.repeat) {
            // Sent before without a clean answer: the printer says whether it took it.
            const Carried c = check(run.sent + 1);
            if (c == Carried::Unknown) {
                reportOutcomeUnknown(command_name::kPay, a.colourScheme, dialogsAllowed());
                return PaymentOutcome::Refused;
            }
            if (c == Carried::Yes) {
                noteCarriedOut(command_name::kPay);
                accepted = true;
            }
        }
        if (!accepted) {
            const auto value = tryPrinterAmount(amount, "00000000000.00", Truncation::None);
            if (!value) {
                reportAmountRefused("Valor do pagamento", amount, a.colourScheme, dialogsAllowed());
                return PaymentOutcome::Refused;
            }
            // A method the host did not send has no name to pay under.
            if (!m.known) return methodRefused(a, m.code, "nas formas de pagamento recebidas.");
            const auto reference = family().paymentReference(m);
            if (!reference)
                return methodRefused(a, trim(m.name.empty() ? m.fiscalName : m.name),
                                     "na tabela da impressora fiscal.");
            run.repeat = true;
            accepted = analyse({a.colourScheme, a.show},
                               family().pay(m, *reference, *value, run.sent + 1));
            if (!accepted && !lastCommandRefused() && check(run.sent + 1) == Carried::Yes) {
                noteCarriedOut(command_name::kPay);
                accepted = true;
            }
            if (!accepted) return PaymentOutcome::Failed;
        }
        // One the receipt already held when a closing resumed keeps its place as one sent now.
        family().keepCardPlace(m, run.sent + 1);
        run.repeat = false;
        ++run.sent;
        if (m.kind == "8") run.agreementSale = true;
        if (m.kind == "9" || m.kind == "A") run.consumptionTotal += amount;
    }
    if (rows->hasField("DTHRINCMOV") && rows->hasField("NRORDTROCO"))
        rows->setIndexName("idxNRORDTROCO");
    return PaymentOutcome::Done;
}

bool paymentAmountsFit(const ClosingArgs &a, PaymentDatasets &d) {
    tiv::TClientDataSet *rows = d.payments;
    if (!rows->active()) return true;
    for (rows->first(); !rows->eof(); rows->next()) {
        const std::string kind = field(rows, "IDTIPOMOVIVE");
        if (kind != "E" && kind != "T") continue;
        const double amount = rows->fieldByName("VRMOVIVEND").asFloat();
        if (!tryPrinterAmount(amount, "00000000000.00", Truncation::None)) {
            reportAmountRefused("Valor do pagamento", amount, a.colourScheme, dialogsAllowed());
            return false;
        }
    }
    return true;
}

std::optional<int64_t> firstRowsPaid(PaymentDatasets &d, int count) {
    tiv::TClientDataSet *rows = d.payments;
    int64_t cents = 0;
    if (count == 0) return cents;
    if (!rows->active()) return std::nullopt;
    int seen = 0;
    for (rows->first(); !rows->eof() && seen < count; rows->next()) {
        const std::string kind = field(rows, "IDTIPOMOVIVE");
        if (kind != "E" && kind != "T") continue;
        const auto value = tryPrinterAmount(rows->fieldByName("VRMOVIVEND").asFloat(),
                                            "00000000000.00", Truncation::None);
        if (!value) return std::nullopt;
        cents += std::stoll(*value);
        ++seen;
    }
    return seen == count ? std::optional<int64_t>(cents) : std::nullopt;
}

} // namespace tiv02000
