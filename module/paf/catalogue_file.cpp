// The day's sales files of the fiscal memory, one per day of a range, each
// signed with the program's EAD record.
#include <cmath>
#include <string>

#include "core/binding.h"
#include "core/call_guard.h"
#include "core/data_module.h"
#include "core/debug_log.h"
#include "paf/paf.h"
#include "tiv02000/procedures.h"
#include "tivplatform/datetime.h"
#include "tivplatform/errors.h"
#include "tivplatform/progress.h"
#include "tivplatform/stringlist.h"
#include "tivplatform/system.h"
#include "tivplatform/text.h"

namespace tiv02000 {

namespace {

constexpr const char *kVendorKey = "SOFTWARE\\EPSON\\InterfaceEpson";
constexpr int32_t kFileFromFiscalMemory = 3;
constexpr int32_t kNoFileThatDay = 1;

// A day written "ddmmyyyy": the form a host gives without separators.
tiv::TDateTime compactDate(const std::string &text) {
    if (text.size() < 8) throw tiv::ConversionError("'" + text + "' is not a valid date");
    for (size_t i = 0; i < 8; ++i)
        if (text[i] < '0' || text[i] > '9')
            throw tiv::ConversionError("'" + text + "' is not a valid date");
    return tiv::encodeDate(std::stoi(text.substr(4, 4)), std::stoi(text.substr(2, 2)),
                           std::stoi(text.substr(0, 2)));
}

// Both days in the system's date form, or else both in the compact one.
void readRange(const std::string &firstText, const std::string &lastText, tiv::TDateTime &first,
               tiv::TDateTime &last) {
    if (tiv::tryStrToDate(firstText, first) && tiv::tryStrToDate(lastText, last)) return;
    first = compactDate(firstText);
    last = compactDate(lastText);
}

} // namespace

std::string dailyFilesFolder() {
    const auto path = tiv::registryReadString("HKEY_LOCAL_MACHINE", kVendorKey, "PATH");
    if (path && !path->empty()) return *path;
    // A Linux path has no drive: the fallback is the root's folder.
    return "/EPSON/InterfaceEpson/DataFiles";
}

} // namespace tiv02000

using namespace tiv02000;

extern "C" TIV_EXPORT bool GeraCatGenerica(const tiv::Variant &args, tiv::TStringList *&fileList) {
    const tiv02000::CallGuard guard;
    int produced = 0, signedFiles = 0;
    try {
        const std::string folder = dailyFilesFolder();
        TdtmEpson2000 &module = ensureDataModule();
        fileList = new tiv::TStringList();

        tiv::TClientDataSet &params = module.dataset("cdsParametros");
        params.setData(args.at(0));
        params.open();
        const std::string branch = params.fieldByName("CDFILIAL").asString();
        const std::string till = params.fieldByName("CDCAIXA").asString();

        tiv::TDateTime first = 0, last = 0;
        readRange(args.at(1).toString(), args.at(2).toString(), first, last);
        const long firstDay = std::lround(std::floor(first));
        const long lastDay = std::lround(std::floor(last));

        // A long range takes a while: a person at a terminal sees which day it is on.
        tiv::Progress progress("GeraCatGenerica", "day",
                               lastDay >= firstDay ? lastDay - firstDay + 1 : 0);
        for (long day = firstDay; day <= lastDay; ++day) {
            progress.step(day - firstDay + 1,
                          tiv::formatDateTime("dd/mm/yyyy", static_cast<double>(day)));
            const std::string date = tiv::formatDateTime("ddmmyyyy", static_cast<double>(day));
            const std::string name = "EP" + branch + till + date;
            const int32_t answer = EPSON(EPSON_Obter_Dados_MF_MFD)(date.c_str(), date.c_str(), 0, 0,
                                                                   kFileFromFiscalMemory, 0,
                                                                   (folder + "/" + name).c_str());
            logDebug("EPSON_Obter_Dados_MF_MFD - " + date + "0" + "0" + "3" + "0" +
                     " - Retorno: " + std::to_string(answer));
            if (answer == kNoFileThatDay) continue;

            const std::string path = folder + "/" + name + "_CTP.txt";
            if (!tiv::fileExists(path)) continue;
            ++produced;
            logDebug("Gera Ead. Arquivo: " + path);
            // A file left unsigned is no file for the inspector: it stays off
            // the list, and the whole range answers false.
            if (!signWithEad(path)) continue;
            fileList->add(tiv::trim(path, tiv::kHostBlanks));
            logDebug("Gerado Ead.");
            ++signedFiles;
        }
    } catch (const std::exception &) {
        return false;
    }
    return produced > 0 && signedFiles == produced;
}
