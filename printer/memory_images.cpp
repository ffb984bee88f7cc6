// Binary images of the fiscal memory and the detail memory (include/ecfsim/memory_image.h
// reads them back).
#include "detail_memory.h"
#include "ecfsim/memory_image.h"
#include "entry_impl.h"
#include "file_output.h"
#include "fiscal_rules.h"
#include "state_json.h"
#include "text.h"

namespace ecfsim {

namespace {

void putU32(std::string &out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out += static_cast<char>((v >> (8 * i)) & 0xFF);
}

std::string image(uint8_t kind, const std::vector<std::string> &records) {
    std::string out(image::kMagic, sizeof image::kMagic);
    out += static_cast<char>(image::kVersion & 0xFF);
    out += static_cast<char>(image::kVersion >> 8);
    out += static_cast<char>(kind);
    out += '\0';
    out += padRight(rules::S().id.serial.substr(0, 20), 20);
    putU32(out, static_cast<uint32_t>(records.size()));
    for (const auto &r : records) {
        putU32(out, static_cast<uint32_t>(r.size()));
        out += r;
    }
    out += image::sha256(out);
    return out;
}

int32_t writeImage(const char *path, uint8_t kind) {
    return rules::P().query([&] {
        std::string target(need(path, 4096));
        if (target.empty()) throw Refusal{Code::BadParameter};
        std::vector<std::string> records;
        if (kind == image::kFiscalMemory) {
            records = rules::P().reductions();
        } else {
            for (const auto &r : mfd::records())
                records.push_back(jsonToCbor(r));
        }
        writeFileAtomically(target, image(kind, records));
    });
}

} // namespace

int32_t impl::EPSON_Obter_Arquivo_Binario_MF(const char *pszArquivo) {
    return writeImage(pszArquivo, image::kFiscalMemory);
}

int32_t impl::EPSON_Obter_Arquivo_Binario_MFD(const char *pszArquivo) {
    return writeImage(pszArquivo, image::kDetailMemory);
}

} // namespace ecfsim
