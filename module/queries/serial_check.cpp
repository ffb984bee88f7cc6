// Whether the printer on the line is the one this till may use: its serial
// number against the till's configuration file and against the host's record.
#include "config_file_load.h"
#include "core/binding.h"
#include "core/call_guard.h"
#include "core/command.h"
#include "core/data_module.h"
#include "core/debug_log.h"
#include "core/dialogs.h"
#include "core/reply.h"
#include "core/text.h"
#include "tiv02000/config_file.h"
#include "tiv02000/procedures.h"
#include "tiv02000/variables.h"
#include "tivhost/host.h"
#include "tivplatform/dataset.h"
#include "tivplatform/errors.h"

using namespace tiv02000;
namespace cf = tiv02000::config_file;

namespace {

struct SerialCheck {
    bool usesPrinter = false;
    std::string folder, colourScheme, hostSerial;
};

SerialCheck readSerialCheck(const tiv::Variant &params) {
    SerialCheck c;
    c.usesPrinter = tivhost::RecebeParams(params, "UTILIZAIMPFIS").toBoolean();
    c.folder = tivhost::RecebeParams(params, "DSDIRCAD").toString();
    c.colourScheme = tivhost::RecebeParams(params, "ESQUEMACOR").toString();
    c.hostSerial = tivhost::RecebeParams(params, "REV_NRSERIE_IMP").toString();
    return c;
}

// The host names the folder with its closing separator; one written the other
// platform's way, or without it, still names the same folder.
std::string configPath(std::string folder) {
    if (!folder.empty() && folder.back() == '\\') folder.back() = '/';
    if (!folder.empty() && folder.back() != '/') folder += '/';
    return folder + cf::kName;
}

// The serial number on the file's current row; a field that does not decode
// matches no printer.
std::string serialOnFile(tiv::TClientDataSet &file) {
    try {
        return tivhost::Uncripto(file.fieldByName(cf::kSerial).asString(), cf::kKey);
    } catch (const tiv::DataError &) {
        return std::string(1, '\0');
    }
}

bool refuseWith(const std::string &text, const std::string &colourScheme) {
    if (dialogsAllowed()) notice(text, 3, colourScheme);
    boClieUtil = false;
    return false;
}

bool refuse(const char *key, const std::string &colourScheme) {
    return refuseWith(msg(key), colourScheme);
}

bool checkSerial(const SerialCheck &c) {
    if (!c.usesPrinter) return true;
    Reply reply(110);
    const int32_t rc = EPSON(EPSON_Obter_Dados_Impressora)(reply.data());
    const std::string serial = copyText(reply.text(), 1, 20);
    logDebug("EPSON_Obter_Dados_Impressora : \r\nRetorno da Impressora : " + serial);
    if (!analyse({c.colourScheme, false}, rc)) return refuse("ERRO_COM_ECF", c.colourScheme);

    tiv::TClientDataSet file;
    try {
        loadConfigFile(file, configPath(c.folder));
    } catch (const CorruptConfigFile &e) {
        // A damaged file is not a missing one: the operator restores it rather than looking
        // for a file that is there.
        return refuseWith(e.what(), c.colourScheme);
    } catch (const tiv::Error &e) {
        logDebug(std::string("VerificaSerialImp: ") + e.what());
        return refuse("PRAVELL_N_ENC", c.colourScheme);
    }
    file.first();
    bool result = true;
    const std::string printerSerial = trim(serial);
    if (printerSerial != serialOnFile(file)) result = refuse("ECFERRADO2", c.colourScheme);
    if (printerSerial != c.hostSerial) result = refuse("ECFERRADO2", c.colourScheme);
    return result;
}

} // namespace

extern "C" TIV_EXPORT bool VerificaSerialImp(const tiv::Variant &params) {
    const tiv02000::CallGuard guard;
    try {
        ensureDataModule();
        return checkSerial(readSerialCheck(params));
    } catch (const std::exception &e) {
        logDebug(std::string("VerificaSerialImp: ") + e.what());
        boClieUtil = false;
        return false;
    }
}
