// The last Z reduction as the printer's fiscal memory holds it: the counters,
// totals and date the host checks its own reduction record against, and the
// taxes of each rate sold.
#include <algorithm>

#include "core/binding.h"
#include "core/call_guard.h"
#include "core/command.h"
#include "core/data_module.h"
#include "core/debug_log.h"
#include "core/dialogs.h"
#include "core/reply.h"
#include "core/text.h"
#include "queries/queries.h"
#include "tiv02000/procedures.h"
#include "tivhost/host.h"
#include "tivplatform/datetime.h"
#include "tivplatform/errors.h"
#include "tivplatform/numbers.h"
#include "tivplatform/params.h"

using namespace tiv02000;

namespace {

constexpr size_t kReplySize = 1167;
constexpr size_t kMaxRates = 25; // the rate entries end before the first amount
constexpr size_t kRatesAt = 258, kRateWidth = 5, kAmountsAt = 384, kAmountWidth = 17;
constexpr size_t kRateCountAt = 1158, kDateAt = 1160;
constexpr size_t kResultSize = 49;

std::string money(double value) {
    return tiv::formatFloat("00.00", value);
}

// The number of rates, two digits. A count the rate entries cannot hold would
// read the amounts as rates: the reply is refused rather than read crooked.
size_t rateCount(const std::string &reply) {
    const std::string field = copyText(reply, kRateCountAt, 2);
    if (field.size() != 2 || field.find_first_not_of("0123456789") != std::string::npos)
        throw tiv::ConversionError("DadosUltimaRedZ: the number of tax rates '" + field +
                                   "' is not two digits");
    const size_t n = static_cast<size_t>(std::stoi(field));
    if (n > kMaxRates)
        throw tiv::ConversionError("DadosUltimaRedZ: " + field +
                                   " tax rates do not fit the reduction record (at most 25)");
    return n;
}

double amountAt(const std::string &reply, size_t position) {
    return moneyValue(copyText(reply, position, kAmountWidth));
}

// A printer that has made no reduction yet answers zeros, question marks or
// blanks for the date; those are no date at all.
bool holdsNoDate(const std::string &field) {
    return field.find_first_not_of("0? ", 0) == std::string::npos;
}

// The reduction's date; yesterday when the field holds none or does not
// convert (the conversion error is shown, and the reading goes on).
tiv::TDateTime reductionDate(const std::string &field, const std::string &colourScheme) {
    const tiv::TDateTime yesterday = tiv::today() - 1;
    if (holdsNoDate(field)) return yesterday;
    try {
        return tiv::strToDate(copyText(field, 1, 2) + "/" + copyText(field, 3, 2) + "/" +
                              copyText(field, 7, 2));
    } catch (const tiv::ConversionError &e) {
        notice(operatorText(e, "DadosUltimaRedZ"), 3, colourScheme);
        return yesterday;
    }
}

tiv::TClientDataSet &freshTaxTable() {
    tiv::TClientDataSet &taxes = dataModule().dataset("cdsImposto");
    taxes.close();
    if (taxes.fieldDefs().empty()) {
        taxes.addFieldDef("CDALIQIMPFIS", tiv::FieldType::String, 10);
        taxes.addFieldDef("VRALIQIMPFIS", tiv::FieldType::String, 14);
        taxes.addFieldDef("VRIMPOSTO", tiv::FieldType::String, 14);
        taxes.addFieldDef("VRVENDIDO", tiv::FieldType::String, 14);
        taxes.addFieldDef("CDIMPOSTO", tiv::FieldType::String, 10);
    }
    taxes.createDataSet();
    return taxes;
}

// One row per rate that sold anything: its code, rate, amount and the tax on it.
void fillTaxTable(const std::string &reply, size_t rates) {
    tiv::TClientDataSet &taxes = freshTaxTable();
    for (size_t i = 0; i < rates; ++i) {
        const double sold = amountAt(reply, kAmountsAt + kAmountWidth * i);
        if (sold <= 0) continue;
        const double rate = moneyValue(copyText(reply, kRatesAt + kRateWidth * i + 1, 4));
        taxes.append();
        taxes.fieldByName("CDIMPOSTO").setAsString("00");
        taxes.fieldByName("CDALIQIMPFIS").setAsString(tivhost::Ajusta(tiv::intToStr(i + 1), 2));
        taxes.fieldByName("VRVENDIDO").setAsString(money(sold));
        taxes.fieldByName("VRALIQIMPFIS").setAsString(money(rate));
        taxes.fieldByName("VRIMPOSTO").setAsString(money(tivhost::Trunc2(sold / 100 * rate)));
        taxes.post();
    }
}

void setFailed(tiv::Variant &result) {
    tiv::setResult(result, 0, "");
    tiv::setResult(result, 1, "");
    tiv::setResult(result, 2, 0);
    tiv::setResult(result, 3, tiv::Variant::dateTime(tiv::today() - 1000));
    tiv::setResult(result, 4, "");
}

bool readLastReduction(const std::string &colourScheme, tiv::Variant &result,
                       tiv::TClientDataSet *&taxTable) {
    if (!result.isArray() || result.size() < kResultSize)
        throw tiv::RangeError("DadosUltimaRedZ: the result array must have at least 49 elements");
    Reply buffer(kReplySize);
    const int32_t rc = EPSON(EPSON_Obter_Dados_Ultima_RZ)(buffer.data());
    const std::string reply = buffer.text();
    logDebug("EPSON_Obter_Dados_Ultima_RZ :  " + reply);
    if (!analyse({colourScheme, false}, rc)) {
        setFailed(result);
        return false;
    }

    const std::string crz = copyText(reply, 29, 4), ccf = copyText(reply, 33, 6);
    tiv::setResult(result, 12, crz);
    tiv::setResult(result, 11, ccf);
    tiv::setResult(result, 13, copyText(reply, 21, 6));

    const size_t n = rateCount(reply);
    const size_t after = kAmountsAt + kAmountWidth * n;
    tiv::setResult(result, 29, money(amountAt(reply, after)));
    tiv::setResult(result, 27, money(amountAt(reply, after + 17)));
    tiv::setResult(result, 28, money(amountAt(reply, after + 34)));
    tiv::setResult(result, 25, money(moneyValue(copyText(reply, 87, 18))));

    Reply gross(15), lastGross(15);
    (void)EPSON(EPSON_Obter_Venda_Bruta)(gross.data(), lastGross.data());
    const double grossCents = tiv::strToFloat(trim(lastGross.text()));
    const double grossSold = grossCents / 100;
    tiv::setResult(result, 47, money(grossSold));

    const double cancelled = amountAt(reply, 105), discounts = amountAt(reply, 156);
    tiv::setResult(result, 37, money(cancelled));
    tiv::setResult(result, 33, money(discounts));
    tiv::setResult(result, 48, money(grossSold - cancelled - discounts));
    tiv::setResult(result, 35, money(amountAt(reply, 207)));

    const std::string date = copyText(reply, kDateAt, 8);
    tiv::setResult(result, 46,
                   copyText(date, 1, 2) + "/" + copyText(date, 3, 2) + "/" + copyText(date, 5, 4));
    const tiv::TDateTime reducedOn = reductionDate(date, colourScheme);
    tiv::setResult(result, 3, tiv::Variant::dateTime(reducedOn));

    logDebug(replyLine("EPSON_Obter_Tabela_Aliquotas", copyText(reply, kRatesAt, 533)));
    fillTaxTable(reply, n);
    if (taxTable == nullptr)
        throw tiv::DataError("DadosUltimaRedZ: the host's tax table dataset is missing");
    taxTable->copyFrom(dataModule().dataset("cdsImposto"));

    tiv::setResult(result, 0, tivhost::Ajusta(crz, 10));
    tiv::setResult(result, 1, tivhost::Ajusta(ccf, 10));
    tiv::setResult(result, 2, grossCents);
    tiv::setResult(result, 3, tiv::Variant::dateTime(reducedOn));
    tiv::setResult(result, 4, copyText(reply, 69, 4));
    return true;
}

} // namespace

extern "C" TIV_EXPORT bool DadosUltimaRedZ(const tiv::Variant &args, tiv::Variant &result,
                                           tiv::TClientDataSet *&taxTable) {
    const tiv02000::CallGuard guard;
    try {
        return readLastReduction(tiv::argAt(args, 0).toString(), result, taxTable);
    } catch (const std::exception &e) {
        // What was already handed back stays; the host learns of the rest by the false.
        logDebug(std::string("DadosUltimaRedZ: ") + e.what());
        return false;
    }
}
