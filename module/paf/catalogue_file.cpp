// The day's sales files of the fiscal memory, one per day of a range, each
// signed with the program's EAD record.
#include <sys/stat.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

#include "core/binding.h"
#include "core/call_guard.h"
#include "core/data_module.h"
#include "core/debug_log.h"
#include "core/error_report.h"
#include "core/reply.h"
#include "core/text.h"
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
// The printer's result when the fiscal memory holds nothing in the range
// asked for: the one refusal that means a day without movement.
constexpr const char *kNothingInRange = "0702";
// What a daily file left unsigned is renamed with, so that the name the
// inspector is handed only ever holds a signed file.
constexpr const char *kUnsignedSuffix = ".sem_ead";

// A file as it stood: a file the printer wrote in this call is a new one.
struct FileIdentity {
    dev_t device;
    ino_t inode;
    off_t size;
    timespec modified;
    bool operator==(const FileIdentity &o) const {
        return device == o.device && inode == o.inode && size == o.size &&
               modified.tv_sec == o.modified.tv_sec && modified.tv_nsec == o.modified.tv_nsec;
    }
};

std::optional<FileIdentity> identityOf(const std::string &path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return std::nullopt;
    return FileIdentity{st.st_dev, st.st_ino, st.st_size, st.st_mtim};
}

// The printer's status after a daily-file call: whether it answered at all
// (its communication word clear) and the result of its last command.
struct PrinterAccount {
    bool answered = false;
    std::string result;
};

PrinterAccount readAccount() {
    Reply status(20);
    if (EPSON(EPSON_Obter_Estado_Impressora)(status.data()) != 0) return {};
    const std::string text = status.text();
    if (text.size() < 20) return {};
    return {copyText(text, 5, 4) == "0000", upper(copyText(text, 17, 4))};
}

// A query that succeeds leaves "0000" as the printer's last result, so a
// "nothing in range" read after the next call is that call's own, never one
// a call that got no answer left standing from the day before.
bool clearLastResult() {
    for (int attempt = 0; attempt < 2; ++attempt) {
        Reply state(58, '\0');
        if (EPSON(EPSON_Obter_Estado_Cupom)(state.data()) == 0) return true;
    }
    return false;
}

void reportDay(const std::string &day, const std::string &why) {
    reportError("GeraCatGenerica: arquivo do dia " + day + " " + why, "", false);
}

// Whether the file ends with an EAD record: "EAD", 256 hexadecimal digits
// and CR LF.
bool endsSigned(const std::string &path) {
    constexpr std::streamoff kRecord = 3 + 256 + 2;
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in || in.tellg() < kRecord) return false;
    in.seekg(-kRecord, std::ios::end);
    std::string tail(static_cast<size_t>(kRecord), '\0');
    if (!in.read(tail.data(), kRecord)) return false;
    if (!tail.starts_with("EAD") || !tail.ends_with("\r\n")) return false;
    for (size_t i = 3; i < 3 + 256; ++i)
        if (!std::isxdigit(static_cast<unsigned char>(tail[i]))) return false;
    return true;
}

// Temporary files of a signing killed part-way ("NAME.eadXXXXXX" beside the
// file being signed) of this till's daily files: never a file of its own,
// they are removed before a new range is made. The file whose signing was
// killed is left unsigned: it leaves its final name as an unsigned file does.
void sweepSigningLeftovers(const std::string &folder, const std::string &prefix) {
    std::vector<std::filesystem::path> leftovers;
    std::error_code ec;
    std::filesystem::directory_iterator it(folder, ec), end;
    for (; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        const size_t mark = name.rfind("_CTP.txt.ead");
        if (name.starts_with(prefix) && mark != std::string::npos && name.size() == mark + 12 + 6)
            leftovers.push_back(it->path());
    }
    for (const auto &leftover : leftovers) {
        if (std::remove(leftover.c_str()) != 0) continue;
        logDebug("Arquivo temporario removido: " + leftover.string());
        const std::string name = leftover.filename().string();
        const std::string file =
            (leftover.parent_path() / name.substr(0, name.rfind(".ead"))).string();
        if (!tiv::fileExists(file) || endsSigned(file)) continue;
        const std::string aside = file + kUnsignedSuffix;
        if (std::rename(file.c_str(), aside.c_str()) == 0)
            logDebug("Arquivo " + file + " renomeado para " + aside);
    }
}

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
    int produced = 0, signedFiles = 0, failedDays = 0;
    try {
        const std::string folder = dailyFilesFolder();
        TdtmEpson2000 &module = ensureDataModule();
        fileList = new tiv::TStringList();

        tiv::TClientDataSet &params = module.dataset("cdsParametros");
        params.setData(args.at(0));
        params.open();
        const std::string branch = params.fieldByName("CDFILIAL").asString();
        const std::string till = params.fieldByName("CDCAIXA").asString();
        sweepSigningLeftovers(folder, "EP" + branch + till);

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
            const std::string shownDay =
                tiv::formatDateTime("dd/mm/yyyy", static_cast<double>(day));
            const std::string name = "EP" + branch + till + date;
            const std::string path = folder + "/" + name + "_CTP.txt";
            const auto before = identityOf(path);
            const bool fresh = clearLastResult();
            const int32_t answer = EPSON(EPSON_Obter_Dados_MF_MFD)(date.c_str(), date.c_str(), 0, 0,
                                                                   kFileFromFiscalMemory, 0,
                                                                   (folder + "/" + name).c_str());
            logDebug("EPSON_Obter_Dados_MF_MFD - " + date + "0" + "0" + "3" + "0" +
                     " - Retorno: " + std::to_string(answer));

            // Only a file this call wrote is the day's: a file left from an
            // earlier run is never signed or listed for it.
            const auto after = identityOf(path);
            const bool written = after && (!before || !(*after == *before));
            if (!written) {
                if (answer == kNoFileThatDay) {
                    // 1 is also what a call that got no answer, met a
                    // communication fault or was refused gives: only the
                    // printer's own "nothing in range" is a day without movement.
                    const PrinterAccount account = readAccount();
                    if (fresh && account.answered && account.result == kNothingInRange) continue;
                    ++failedDays;
                    reportDay(shownDay, "n\xE3o gerado: a impressora fiscal n\xE3o respondeu ou "
                                        "recusou o pedido (retorno " +
                                            std::to_string(answer) + ", status " +
                                            (account.answered ? account.result : "sem resposta") +
                                            ").");
                } else {
                    ++failedDays;
                    reportDay(shownDay, "n\xE3o gerado: a impressora fiscal n\xE3o gravou o "
                                        "arquivo (retorno " +
                                            std::to_string(answer) + ").");
                }
                continue;
            }

            // Written, whatever the answer said: an answer lost on the way
            // back leaves the printer's file all the same.
            ++produced;
            logDebug("Gera Ead. Arquivo: " + path);
            if (!signWithEad(path)) {
                // A file left unsigned is no file for the inspector: it
                // leaves the name the inspector is handed.
                const std::string aside = path + kUnsignedSuffix;
                if (std::rename(path.c_str(), aside.c_str()) == 0) {
                    logDebug("Arquivo " + path + " renomeado para " + aside);
                    reportDay(shownDay, "n\xE3o assinado (EAD); guardado como " + aside + ".");
                } else {
                    (void)std::remove(path.c_str());
                    reportDay(shownDay, "n\xE3o assinado (EAD); removido.");
                }
                continue;
            }
            fileList->add(tiv::trim(path, tiv::kHostBlanks));
            logDebug("Gerado Ead.");
            ++signedFiles;
        }
    } catch (const std::exception &) {
        return false;
    }
    return produced > 0 && signedFiles == produced && failedDays == 0;
}
