// The printer's tax-rate table, handed to the host with the three fixed
// pseudo-rates (not taxed, exempt, tax substitution).
#include <algorithm>
#include <cstdio>

#include "core/binding.h"
#include "core/call_guard.h"
#include "core/command.h"
#include "core/data_module.h"
#include "core/reply.h"
#include "core/text.h"
#include "tiv02000/procedures.h"
#include "tivplatform/errors.h"

using namespace tiv02000;

namespace {

constexpr size_t kTableSize = 553;
constexpr size_t kRecordSize = 23;

// Two characters of digits (blanks around them allowed); anything else
// raises, so that the record holding them is skipped.
int twoDigits(const std::string &text) {
    const std::string t = trim(text);
    if (t.empty() || t.find_first_not_of("0123456789") != std::string::npos)
        throw tiv::ConversionError("'" + text + "' is not a number");
    return std::stoi(t);
}

std::string code2(int n) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", n);
    return buf;
}

void appendRate(tiv::TClientDataSet &ds, const std::string &code, double rate,
                const std::string &kind) {
    ds.append();
    ds.fieldByName("CDALIQIMPFIS").setAsString(code);
    ds.fieldByName("VRALIQIMPFIS").setAsFloat(rate);
    ds.fieldByName("IDALIQIMPFIS").setAsString(kind);
    ds.post();
}

void rebuild(tiv::TClientDataSet &ds) {
    ds.close();
    if (ds.fieldDefs().empty()) {
        ds.addFieldDef("CDALIQIMPFIS", tiv::FieldType::String, 10);
        ds.addFieldDef("VRALIQIMPFIS", tiv::FieldType::Float);
        ds.addFieldDef("IDALIQIMPFIS", tiv::FieldType::String, 1);
        ds.addIndex("IdxIdAliqVrAliq", "IDALIQIMPFIS;VRALIQIMPFIS");
    }
    ds.createDataSet();
    ds.setIndexName("IdxIdAliqVrAliq");
}

} // namespace

extern "C" TIV_EXPORT void CarregaAliquota(const std::string &colourScheme,
                                           tiv::TClientDataSet *&taxRates) {
    const tiv02000::CallGuard guard;
    // The host hands in the dataset it wants filled; there is nothing to
    // fill without one.
    if (taxRates == nullptr)
        throw tiv::DataError("CarregaAliquota: the host's tax-rate dataset is missing");

    Reply reply(kTableSize);
    const int32_t rc = EPSON(EPSON_Obter_Tabela_Aliquotas)(reply.data());
    // The table is built from whatever the buffer holds; the verdict only
    // records the printer's errors.
    (void)analyse({colourScheme, false},
                  {rc, replyLine("EPSON_Obter_Tabela_Aliquotas", reply.text())});

    tiv::TClientDataSet &rates = dataModule().dataset("cdsAliqImpFis");
    rebuild(rates);

    std::string rest = trim(reply.text());
    for (int position = 1; !isBlank(rest); ++position) {
        try {
            const int hundredths =
                twoDigits(copyText(rest, 3, 2)) * 100 + twoDigits(copyText(rest, 5, 2));
            if (hundredths != 0)
                appendRate(rates, code2(position), hundredths / 100.0,
                           copyText(rest, 1, 1) == "T" ? "T" : "S");
        } catch (const std::exception &) {
            // A malformed record is skipped; the following ones keep the
            // codes of their own positions.
            if (rates.state() != tiv::TClientDataSet::State::Browse) rates.cancel();
        }
        rest.erase(0, std::min(kRecordSize, rest.size()));
    }
    appendRate(rates, "NN", 0, "N");
    appendRate(rates, "II", 0, "I");
    appendRate(rates, "FF", 0, "F");

    taxRates->copyFrom(rates);
}
