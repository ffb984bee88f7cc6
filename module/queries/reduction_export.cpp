// The reduction record the host stores for the coming Z reduction: its header
// (counters, totals, GT, model), and its payment methods, tax rates and
// non-fiscal totalizers, read from the printer's current counters and tables.
#include <algorithm>
#include <utility>
#include <vector>

#include "core/binding.h"
#include "core/call_guard.h"
#include "core/data_module.h"
#include "core/reply.h"
#include "core/text.h"
#include "queries/queries.h"
#include "tiv02000/procedures.h"
#include "tivhost/host.h"
#include "tivplatform/errors.h"
#include "tivplatform/numbers.h"

using namespace tiv02000;

namespace {

using tiv::FieldType;

constexpr size_t kTaxTableSize = 553, kTaxEntry = 23;
constexpr size_t kNonFiscalTableSize = 681, kNonFiscalEntry = 34;
constexpr size_t kPaymentTableSize = 881, kPaymentEntry = 44;

struct HostTables {
    tiv::TClientDataSet *reductions, *payments, *taxes, *nonFiscal;
};

// The record is the host's copy of the day: a figure the printer did not hand
// over is an error the host must see, never a zero stored in its place.
void mustHaveRead(bool read, const std::string &what) {
    if (!read)
        throw tiv::Error("ExportRedZ: the printer did not answer " + what +
                         "; the reduction record is incomplete");
}

tiv::TClientDataSet &table(const char *name) {
    return dataModule().dataset(name);
}

tiv::TClientDataSet &host(tiv::TClientDataSet *ds, const char *what) {
    if (ds == nullptr)
        throw tiv::DataError(std::string("ExportRedZ: the host's ") + what + " dataset is missing");
    return *ds;
}

// A table made afresh with its fields, every row dropped.
tiv::TClientDataSet &fresh(const char *name, const std::vector<tiv::FieldDef> &fields) {
    tiv::TClientDataSet &ds = table(name);
    ds.close();
    ds.fieldDefs() = fields;
    ds.createDataSet();
    return ds;
}

// Structure and rows of `from` into `to`; a dataset never given fields (a
// host's fresh one) copies as one with nothing in it.
void mirror(tiv::TClientDataSet &to, const tiv::TClientDataSet &from) {
    if (from.fieldDefs().empty())
        to.setData(tiv::Variant());
    else
        to.copyFrom(from);
}

void copyBack(const HostTables &h) {
    mirror(*h.reductions, table("cdsReducaoZ"));
    mirror(*h.payments, table("cdsFormPgtoRedZ"));
    mirror(*h.taxes, table("cdsImpostoRedZ"));
    mirror(*h.nonFiscal, table("cdsTotNFiscRedZ"));
}

// One of the printer's tables, whole; its answer must be a success.
std::string readTable(size_t size, int32_t (*entry)(char *), const char *name) {
    Reply reply(size);
    const int32_t rc = bound(entry, name)(reply.data());
    mustHaveRead(rc == 0, std::string("its table (") + name + ")");
    return reply.text();
}

struct Stamp {
    std::string ecf;
    tiv::TDateTime date;
    void on(tiv::TClientDataSet &ds) const {
        ds.fieldByName("NRECFREDZ").setAsString(ecf);
        ds.fieldByName("DTREDUCAOZ").setAsDateTime(date);
    }
};

double totalOf(bool (*query)(const std::string &, std::string &), const std::string &cs,
               const char *what) {
    std::string text;
    mustHaveRead(query(cs, text), what);
    return moneyValue(text);
}

void headerRow(const Stamp &stamp, const std::string &colourScheme, const std::string &lastDocument,
               const std::string &model) {
    tiv::TClientDataSet &z =
        fresh("cdsReducaoZ",
              {{"NRECFREDZ", FieldType::String, 4},     {"DTREDUCAOZ", FieldType::DateTime},
               {"NRREINIREDZ", FieldType::String, 10},  {"NRREDREDZ", FieldType::String, 10},
               {"NRLEITREDZ", FieldType::String, 10},   {"NRGERCNFREDZ", FieldType::String, 10},
               {"NRCANCFREDZ", FieldType::String, 10},  {"NRPRIMCFREDZ", FieldType::String, 10},
               {"NRULTCFREDZ", FieldType::String, 10},  {"VRGTREDZ", FieldType::Float},
               {"VRVENBRUREDZ", FieldType::Float},      {"VRISSREDZ", FieldType::Float},
               {"VRTOTCANREDZ", FieldType::Float},      {"VRTOTDESREDZ", FieldType::Float},
               {"VRVENLIQREDZ", FieldType::Float},      {"VRTOTACRREDZ", FieldType::Float},
               {"VRSTRIBREDZ", FieldType::Float},       {"VRISENCREDZ", FieldType::Float},
               {"VRNINCIDREDZ", FieldType::Float},      {"QTTEMLIGREDZ", FieldType::String, 6},
               {"QTTEMPCFREDZ", FieldType::String, 6},  {"QTMEMRESREDZ", FieldType::Float},
               {"IDORIGEMREDZ", FieldType::String, 3},  {"DSMODMARCAECF", FieldType::String, 30},
               {"NRUSUARIOMFD", FieldType::String, 10}, {"CDMFADICIONAL", FieldType::String, 5},
               {"DTGRAVSBECF", FieldType::DateTime}});
    z.insert();
    stamp.on(z);
    std::string counter;
    mustHaveRead(nonFiscalOperationCounter(colourScheme, counter),
                 "its non-fiscal operation counter");
    z.fieldByName("NRGERCNFREDZ").setAsString(counter);
    z.fieldByName("NRREINIREDZ").setAsString(interventionCounter());
    mustHaveRead(nextReductionNumber(colourScheme, counter), "its reduction counter");
    z.fieldByName("NRREDREDZ").setAsString(counter);
    for (const char *zeroCounter : {"NRLEITREDZ", "NRCANCFREDZ", "NRPRIMCFREDZ"})
        z.fieldByName(zeroCounter).setAsString("0000000000");
    z.fieldByName("NRULTCFREDZ").setAsString(tivhost::Ajusta(lastDocument, 10));

    std::string gt;
    mustHaveRead(grandTotal(colourScheme, gt), "its grand total (GT)");
    z.fieldByName("VRGTREDZ").setAsFloat(tiv::strToFloat(gt));
    const double gross = totalOf(grossSales, colourScheme, "its gross sales");
    const double cancelled = totalOf(cancelledTotal, colourScheme, "its cancellations total");
    const double discounts = totalOf(discountTotal, colourScheme, "its discounts total");
    z.fieldByName("VRVENBRUREDZ").setAsFloat(gross);
    z.fieldByName("VRTOTCANREDZ").setAsFloat(cancelled);
    z.fieldByName("VRTOTDESREDZ").setAsFloat(discounts);
    z.fieldByName("VRISSREDZ").setAsFloat(0);
    z.fieldByName("VRVENLIQREDZ").setAsFloat(gross - cancelled - discounts);
    z.fieldByName("VRTOTACRREDZ")
        .setAsFloat(totalOf(surchargeTotal, colourScheme, "its surcharges total"));
    z.fieldByName("DSMODMARCAECF").setAsString(model);
    // The owner-change count and the additional MF's letter are not reported by this
    // printer; they stay empty, as their queries answer.
}

// The rate entries come first and end at the first blank rate; after them the
// first "I", "N" and "F" start the exempt, not-taxed and substitution totals.
void taxRows(const Stamp &stamp) {
    tiv::TClientDataSet &taxes = fresh("cdsImpostoRedZ", {{"NRECFREDZ", FieldType::String, 4},
                                                          {"DTREDUCAOZ", FieldType::DateTime},
                                                          {"CDALIQIMPRZ", FieldType::String, 10},
                                                          {"VRALIQIMPRZ", FieldType::Float},
                                                          {"VRBCALCIMPRZ", FieldType::Float},
                                                          {"VRIMPOSTORZ", FieldType::Float},
                                                          {"IDTPIMPREDZ", FieldType::String, 1}});
    std::string rest = readTable(kTaxTableSize, epson().EPSON_Obter_Tabela_Aliquotas,
                                 "EPSON_Obter_Tabela_Aliquotas");
    for (int k = 1; !rest.empty() && !isBlank(copyText(rest, 3, 4)); ++k) {
        const double rate = moneyValue(copyText(rest, 3, 4));
        const double base = moneyValue(copyText(rest, 7, 17));
        taxes.append();
        stamp.on(taxes);
        taxes.fieldByName("CDALIQIMPRZ").setAsString(tivhost::Ajusta(tiv::intToStr(k), 2));
        taxes.fieldByName("VRALIQIMPRZ").setAsFloat(rate);
        taxes.fieldByName("VRBCALCIMPRZ").setAsFloat(base);
        taxes.fieldByName("VRIMPOSTORZ").setAsFloat(rate * base / 100);
        taxes.fieldByName("IDTPIMPREDZ").setAsString("T");
        taxes.post();
        rest.erase(0, std::min(kTaxEntry, rest.size()));
    }
    tiv::TClientDataSet &z = table("cdsReducaoZ");
    for (const auto &[letter, field] :
         {std::pair{'I', "VRISENCREDZ"}, std::pair{'N', "VRNINCIDREDZ"},
          std::pair{'F', "VRSTRIBREDZ"}}) {
        const size_t at = rest.find(letter);
        if (at != std::string::npos)
            z.fieldByName(field).setAsFloat(moneyValue(copyText(rest, at + 1 + 6, 17)));
    }
    z.post();
}

void nonFiscalRows(const Stamp &stamp) {
    tiv::TClientDataSet &totals = fresh("cdsTotNFiscRedZ", {{"NRECFREDZ", FieldType::String, 4},
                                                            {"DTREDUCAOZ", FieldType::DateTime},
                                                            {"NRTOTNFISCRZ", FieldType::String, 10},
                                                            {"DSTOTNFISCRZ", FieldType::String, 50},
                                                            {"NRCONTOTNFIS", FieldType::String, 10},
                                                            {"VRACUTOTNFIS", FieldType::Float}});
    const std::string reply = readTable(kNonFiscalTableSize, epson().EPSON_Obter_Tabela_NaoFiscais,
                                        "EPSON_Obter_Tabela_NaoFiscais");
    for (size_t at = 1; !isBlank(copyText(reply, at + 2, 15)); at += kNonFiscalEntry) {
        const double value = moneyValue(copyText(reply, at + 17, 13));
        totals.append();
        stamp.on(totals);
        totals.fieldByName("NRTOTNFISCRZ").setAsString(tivhost::Ajusta(copyText(reply, at, 2), 2));
        totals.fieldByName("DSTOTNFISCRZ").setAsString(copyText(reply, at + 2, 15));
        totals.fieldByName("NRCONTOTNFIS").setAsString(copyText(reply, at + 30, 4));
        totals.fieldByName("VRACUTOTNFIS").setAsFloat(value);
        totals.post();
    }
}

bool locateIgnoringCase(tiv::TClientDataSet &ds, const char *field, const std::string &value) {
    tiv::LocateOptions options;
    options.caseInsensitive = true;
    return ds.locate(field, tiv::Variant(value), options);
}

// The printer's payment totals under the host's codes; two printer names of
// one host code add up in one row, a name the host does not know adds nothing.
void paymentRows(const Stamp &stamp) {
    tiv::TClientDataSet &methods = table("cdsTipoRece");
    tiv::TClientDataSet &rows = fresh("cdsFormPgtoRedZ", {{"NRECFREDZ", FieldType::String, 4},
                                                          {"DTREDUCAOZ", FieldType::DateTime},
                                                          {"CDTIPORECE", FieldType::String, 3},
                                                          {"VRFORMPGTORZ", FieldType::Float},
                                                          {"CDTPRECEORIG", FieldType::String, 3}});
    const std::string reply = readTable(kPaymentTableSize, epson().EPSON_Obter_Tabela_Pagamentos,
                                        "EPSON_Obter_Tabela_Pagamentos");
    for (size_t at = 1; !isBlank(copyText(reply, at + 2, 15)); at += kPaymentEntry) {
        const std::string name = trim(copyText(reply, at + 2, 15));
        const double value = moneyValue(copyText(reply, at + 17, 13));
        if (!methods.active() || !locateIgnoringCase(methods, "NMTIPORECE", name)) continue;
        const std::string code = methods.fieldByName("CDTIPORECE").asString();
        if (locateIgnoringCase(rows, "CDTIPORECE", code)) {
            rows.edit();
            rows.fieldByName("VRFORMPGTORZ")
                .setAsFloat(rows.fieldByName("VRFORMPGTORZ").asFloat() + value);
        } else {
            rows.append();
            stamp.on(rows);
            rows.fieldByName("VRFORMPGTORZ").setAsFloat(value);
            rows.fieldByName("CDTIPORECE").setAsString(code);
            rows.fieldByName("CDTPRECEORIG").setAsString(code);
        }
        rows.post();
    }
}

tiv::TDateTime fiscalDateFromHost(const std::string &colourScheme) {
    const auto &hostProc = tivhost::DataMoviFiscal();
    return hostProc ? hostProc(colourScheme) : fiscalMovementDate(colourScheme);
}

} // namespace

extern "C" TIV_EXPORT bool
ExportRedZ(const std::string & /*unused1*/, const std::string &colourScheme,
           const std::string &ecfNumber, int32_t /*unused4*/, tiv::TClientDataSet *paymentMethods,
           tiv::TClientDataSet *&reductions, tiv::TClientDataSet *&reductionPayments,
           tiv::TClientDataSet *&reductionTaxes, tiv::TClientDataSet *&reductionNonFiscal) {
    const tiv02000::CallGuard guard;
    ensureDataModule();
    const HostTables hosts{&host(reductions, "reduction"), &host(reductionPayments, "payment"),
                           &host(reductionTaxes, "tax-rate"),
                           &host(reductionNonFiscal, "non-fiscal totalizer")};
    mirror(table("cdsTipoRece"), host(paymentMethods, "payment-method"));
    mirror(table("cdsReducaoZ"), *hosts.reductions);
    mirror(table("cdsFormPgtoRedZ"), *hosts.payments);
    mirror(table("cdsImpostoRedZ"), *hosts.taxes);
    mirror(table("cdsTotNFiscRedZ"), *hosts.nonFiscal);

    // "ERRO" does not convert: the host learns the printer gave no number.
    const std::string lastDocument =
        tivhost::Ajusta(tiv::intToStr(tiv::strToInt(receiptNumber(colourScheme)) + 1), 6);
    std::string field1, field2, field3;
    mustHaveRead(printerModel(colourScheme, field1, field2, field3), "its model");
    const std::string model = copyText(field1 + "|" + field2, 1, 30);

    // Whatever happens from here, the host gets the tables as far as they were filled.
    try {
        const Stamp stamp{ecfNumber, fiscalDateFromHost(colourScheme)};
        headerRow(stamp, colourScheme, lastDocument, model);
        taxRows(stamp);
        nonFiscalRows(stamp);
        paymentRows(stamp);
    } catch (...) {
        copyBack(hosts);
        throw;
    }
    copyBack(hosts);
    return true;
}
