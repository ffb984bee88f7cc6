// The grand total (GT) kept in the till's configuration file against the
// printer's: recorded when it was not yet, rebuilt or reported when it no
// longer matches. The file is the one copy of the GT outside the printer, so
// nothing is written into it that the printer did not hand over whole.
#include <cmath>
#include <optional>

#include "config_file_load.h"
#include "core/call_guard.h"
#include "core/data_module.h"
#include "core/debug_log.h"
#include "core/dialogs.h"
#include "core/text.h"
#include "queries/queries.h"
#include "tiv02000/config_file.h"
#include "tiv02000/procedures.h"
#include "tiv02000/variables.h"
#include "tivhost/host.h"
#include "tivplatform/errors.h"
#include "tivplatform/numbers.h"
#include "tivplatform/system.h"

using namespace tiv02000;
namespace cf = tiv02000::config_file;

namespace {

struct GtCheck {
    std::string branch, till, serial, colourScheme, validate;
    bool mayRebuild = false;
};

GtCheck readGtCheck(const tiv::Variant &params) {
    GtCheck c;
    c.branch = tivhost::RecebeParams(params, "CDFILIAL").toString();
    c.till = tivhost::RecebeParams(params, "CDCAIXA").toString();
    c.serial = tivhost::RecebeParams(params, "NRSERIEIMP").toString();
    c.colourScheme = tivhost::RecebeParams(params, "ESQUEMACOR").toString();
    c.validate = tivhost::RecebeParams(params, "IDVALIDA").toString();
    c.mayRebuild = tivhost::RecebeParams(params, "BOPODERECOMPORGT").toBoolean();
    return c;
}

// This procedure's dialog rule: a till that serves the operator and whose
// session is already in doubt.
void show(const std::string &text, const std::string &colourScheme) {
    if (boNUtilTaa && !boClieUtil) notice(text, 3, colourScheme);
}

std::string withPath(const std::string &key, const std::string &path) {
    std::string text = msg(key);
    const auto at = text.find("%s");
    if (at != std::string::npos) text.replace(at, 2, path);
    return text;
}

std::string quoted(const std::string &value) {
    std::string out = "'";
    for (char c : value) {
        out += c;
        if (c == '\'') out += c; // a quote inside a filter text is doubled
    }
    return out + "'";
}

// Cents of a GT text; nothing when it is not a number.
std::optional<long long> gtCents(const std::string &text) {
    double value = 0;
    if (!tiv::tryStrToFloat(text, value) || !std::isfinite(value) || std::fabs(value) > 1e15)
        return std::nullopt;
    return std::llround(tivhost::RoundDec(value, 2) * 100);
}

class ConfigRow {
  public:
    ConfigRow(tiv::TClientDataSet &file, std::string path) : file_(file), path_(std::move(path)) {}

    // The stored GT as text; nothing when the field does not decode.
    std::optional<std::string> storedGt() const {
        try {
            return tivhost::Uncripto(file_.fieldByName(cf::kGt).asString(), cf::kKey);
        } catch (const tiv::DataError &) {
            return std::nullopt;
        }
    }

    // The printer's GT into the row, and the file replaced whole.
    void write(const std::string &gt) {
        const std::string encoded = tivhost::Cripto(gt, cf::kKey);
        tiv::TField field = file_.fieldByName(cf::kGt);
        if (field.type() != tiv::FieldType::String ||
            encoded.size() > static_cast<size_t>(field.size()))
            throw OperatorError("O campo " + std::string(cf::kGt) + " do arquivo (" + path_ +
                                ") n\xE3o comporta o total geral " + gt +
                                "; o arquivo n\xE3o foi alterado.");
        file_.edit();
        file_.fieldByName(cf::kGt).setAsString(encoded);
        file_.post();
        file_.saveToFile(path_);
        file_.close();
    }

  private:
    tiv::TClientDataSet &file_;
    std::string path_;
};

bool checkGrandTotal(const GtCheck &c, const std::string &path, bool &result) {
    tiv::TClientDataSet &file = dataModule().dataset("cdsCheckECF");
    file.close();
    file.setFiltered(false);
    loadConfigFile(file, path);
    file.setFilter(std::string(cf::kBranch) + " = " + quoted(c.branch) + " AND " + cf::kTill +
                   " = " + quoted(c.till) + " AND " + cf::kSerial + " = " +
                   quoted(tivhost::Cripto(c.serial, cf::kKey)));
    file.setFiltered(true);
    file.first();
    if (file.eof() || file.fieldByName(cf::kCheckGt).asString() != "S") return result;

    ConfigRow row(file, path);
    const std::optional<std::string> stored = row.storedGt();
    std::string printerGt;
    // A GT the file could not hold as a plain number is not written either.
    const bool gtRead = grandTotal(c.colourScheme, printerGt) && gtCents(printerGt).has_value();
    if (!gtRead)
        logDebug("Atu_TotGeral: GT da impressora nao lido; " + path + " mantido como estava");

    if (c.validate != "S") {
        if (gtRead) row.write(printerGt);
        return result;
    }
    if (!gtRead) {
        show("Arquivo (" + path +
                 "): o totalizador geral da impressora fiscal n\xE3o p\xF4"
                 "de ser lido. O valor gravado no arquivo foi mantido e n\xE3o foi conferido.",
             c.colourScheme);
        return result = false;
    }
    // From here a rebuild that cannot be written leaves the answer false.
    const auto mismatch = [&] {
        result = false;
        if (!c.mayRebuild) {
            show(withPath("ArqConfig_Inv4", path), c.colourScheme);
            return false;
        }
        show(withPath("ArqConfig_Recompor", path), c.colourScheme);
        row.write(printerGt);
        return result = true;
    };
    if (stored && isBlank(*stored)) return mismatch();
    const std::optional<long long> storedCents = stored ? gtCents(*stored) : std::nullopt;
    if (storedCents && *storedCents == std::llround(cf::kGtNotRecorded * 100)) {
        result = false;
        row.write(printerGt);
        return result = true;
    }
    if (storedCents && storedCents == gtCents(printerGt)) return result;
    return mismatch();
}

} // namespace

extern "C" TIV_EXPORT bool Atu_TotGeral(const tiv::Variant &params) {
    const tiv02000::CallGuard guard;
    ensureDataModule();
    const GtCheck c = readGtCheck(params);
    const std::string path = tiv::programFolder() + "/" + cf::kName;
    bool result = true;
    try {
        return checkGrandTotal(c, path, result);
    } catch (const std::exception &e) {
        // Made whatever the dialog rule: making it logs the reason.
        const std::string text = operatorText(e, "Atu_TotGeral");
        show(text, c.colourScheme);
        return result;
    }
}
