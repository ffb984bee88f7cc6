// The EAD record: the signing library, loaded on demand under its own handle,
// signs a file the driver hands it.
#include <cstdio>
#include <filesystem>
#include <string>

#include "core/call_guard.h"
#include "core/debug_log.h"
#include "paf/paf.h"
#include "sign/sign_bema.h"
#include "signing_key.h"
#include "tiv02000/procedures.h"
#include "tivplatform/system.h"

namespace tiv02000 {

namespace {

// The signing library's own handle; the fiscal library's is never touched.
tiv::ModuleHandle signingLibrary = 0;

// The library's entry points, looked up for each signing and cleared after it.
struct SigningEntries {
    SignSetLibTypeFn Epson_setLibType = nullptr;
    SignGenKKeyFn Epson_genkkey = nullptr;
    SignGenerateEadFn Epson_generateEAD = nullptr;
    SignValidateFileFn Epson_validateFile = nullptr;
} entries;

void logUnsigned(const std::string &path, const std::string &why) {
    logDebug("Ead nao gerado. Arquivo: " + path + " - " + why);
}

// Looks `name` up into `slot`; false when the library lacks it.
template <typename Fn> bool lookUp(Fn &slot, const char *name) {
    slot = reinterpret_cast<Fn>(tiv::getProcAddress(signingLibrary, name));
    return slot != nullptr;
}

// Every name in order, stopping at the first that is missing; "" when all
// were found, else the missing name.
std::string lookUpAll() {
    if (!lookUp(entries.Epson_setLibType, "setLibType")) return "setLibType";
    if (!lookUp(entries.Epson_genkkey, "genkkey")) return "genkkey";
    if (!lookUp(entries.Epson_generateEAD, "generateEAD")) return "generateEAD";
    if (!lookUp(entries.Epson_validateFile, "validateFile")) return "validateFile";
    return "";
}

bool isSignature(const std::string &text) {
    if (text.size() != 256) return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return false;
    return true;
}

// Removes what a signing of `path` killed part-way left beside it: the
// signing library's temporary files, "NAME.eadXXXXXX".
void sweepLeftovers(const std::filesystem::path &path) {
    const std::string prefix = path.filename().string() + ".ead";
    std::error_code ec;
    std::filesystem::directory_iterator it(path.parent_path().empty() ? "." : path.parent_path(),
                                           ec),
        end;
    for (; !ec && it != end; it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() == prefix.size() + 6 && name.starts_with(prefix) &&
            std::remove(it->path().c_str()) == 0)
            logDebug("Arquivo temporario removido: " + it->path().string());
    }
}

} // namespace

bool signWithEad(const std::string &path) {
    // A symbolic link is signed through: the signing library replaces the
    // file it is given, and would put a signed copy in place of the link and
    // leave the file it points to unsigned.
    std::string target = path;
    std::error_code ec;
    if (std::filesystem::is_symlink(path, ec)) {
        const auto resolved = std::filesystem::canonical(path, ec);
        if (ec) {
            logUnsigned(path, "link simbolico sem arquivo: " + ec.message());
            return false;
        }
        target = resolved.string();
        logDebug("Gera Ead. Link " + path + " aponta para " + target);
    }
    sweepLeftovers(target);

    // Loaded at every signing, as the host may have put another build in
    // front; a library once loaded stays loaded.
    signingLibrary = tiv::loadLibrary("sign_bema.dll");
    if (signingLibrary == 0) {
        logUnsigned(path, "sign_bema.dll nao carregada: " + tiv::lastLoadError());
        return false;
    }
    const std::string missing = lookUpAll();
    bool done = false;
    if (!missing.empty()) {
        logUnsigned(path, "sign_bema.dll sem a funcao " + missing);
    } else {
        // 256 blanks and the NUL after them; the library writes the digits only.
        std::string signature(256, ' ');
        const int32_t answer = entries.Epson_generateEAD(target.c_str(), kEadKeyPartA, kEadKeyPartB,
                                                         signature.data(), 1);
        done = answer == kSignValid && isSignature(signature);
        if (!done)
            logUnsigned(path, "generateEAD retornou " + std::to_string(answer) +
                                  (answer == kSignValid ? " sem assinatura" : ""));
    }
    entries = SigningEntries{};
    return done;
}

} // namespace tiv02000

extern "C" TIV_EXPORT void geraEad(const std::string &filePath) {
    const tiv02000::CallGuard guard;
    (void)tiv02000::signWithEad(filePath);
}
