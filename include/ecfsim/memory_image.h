#pragma once
// Reading the binary images of the virtual printer's memories, as EPSON_Obter_Arquivo_Binario_MF
// and EPSON_Obter_Arquivo_Binario_MFD write them (the layout is in docs/printer.md). Header
// only; the includer links OpenSSL's libcrypto and has nlohmann-json.
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>
#include <openssl/sha.h>

namespace ecfsim::image {

inline constexpr char kMagic[8] = {'T', 'I', 'V', 'M', 'E', 'M', 'I', 'M'};
inline constexpr uint16_t kVersion = 1;
inline constexpr uint8_t kFiscalMemory = 1; // Z-reduction records
inline constexpr uint8_t kDetailMemory = 2; // the printed documents
inline constexpr std::size_t kHeaderSize = 36;
inline constexpr std::size_t kChecksumSize = 32; // SHA-256 of every byte before it

struct Image {
    uint16_t version = 0;
    uint8_t kind = 0;
    std::string serial;               // blanks trimmed, CP1252
    std::vector<std::string> records; // each record's CBOR
};

inline uint32_t readU32(std::string_view b, std::size_t at) {
    return static_cast<uint32_t>(static_cast<unsigned char>(b[at])) |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 1])) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 2])) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(b[at + 3])) << 24;
}

inline std::string sha256(std::string_view bytes) {
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char *>(bytes.data()), bytes.size(), digest);
    return std::string(reinterpret_cast<const char *>(digest), sizeof digest);
}

// Checks the whole image and gives its records; a damaged or foreign file throws
// std::runtime_error saying what is wrong. Nothing is read past the bytes given.
inline Image parse(std::string_view bytes) {
    if (bytes.size() < kHeaderSize + kChecksumSize || std::memcmp(bytes.data(), kMagic, 8) != 0)
        throw std::runtime_error("not a memory image of the virtual printer");
    const std::size_t body = bytes.size() - kChecksumSize;
    if (sha256(bytes.substr(0, body)) != bytes.substr(body))
        throw std::runtime_error("the image is damaged: its checksum does not match");
    Image img;
    img.version = static_cast<uint16_t>(static_cast<unsigned char>(bytes[8]) |
                                        static_cast<unsigned char>(bytes[9]) << 8);
    if (img.version != kVersion)
        throw std::runtime_error("image version " + std::to_string(img.version) +
                                 " is not known (this reader knows version 1)");
    img.kind = static_cast<uint8_t>(bytes[10]);
    if (img.kind != kFiscalMemory && img.kind != kDetailMemory)
        throw std::runtime_error("unknown memory kind " + std::to_string(img.kind));
    img.serial = std::string(bytes.substr(12, 20));
    img.serial.erase(img.serial.find_last_not_of(' ') + 1);
    const uint32_t count = readU32(bytes, 32);
    std::size_t at = kHeaderSize;
    for (uint32_t i = 0; i < count; ++i) {
        if (body - at < 4) throw std::runtime_error("the image is cut short");
        const uint32_t size = readU32(bytes, at);
        at += 4;
        if (size > body - at) throw std::runtime_error("the image is cut short");
        img.records.emplace_back(bytes.substr(at, size));
        at += size;
    }
    if (at != body) throw std::runtime_error("the image has bytes after its last record");
    return img;
}

} // namespace ecfsim::image
