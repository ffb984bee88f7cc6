// Reading and building the EAD record and its signature block.
#include "ead_record.h"

#include <openssl/evp.h>

#include <stdexcept>

namespace signbema {

bool isHex(std::string_view text, size_t digits) {
    if (text.size() != digits) return false;
    for (char c : text)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f')))
            return false;
    return true;
}

Split splitRecord(std::string_view file) {
    std::string_view body = file;
    if (body.ends_with('\n')) body.remove_suffix(1);
    if (body.ends_with('\r')) body.remove_suffix(1);
    const size_t lf = body.rfind('\n');
    const size_t lineStart = lf == std::string_view::npos ? 0 : lf + 1;
    const std::string_view line = body.substr(lineStart);

    Split split{file, std::nullopt, false};
    // A last line ending in 256 digits is a record whose frame was changed.
    const bool endsInDigits =
        line.size() >= kHexDigits && isHex(line.substr(line.size() - kHexDigits), kHexDigits);
    if (!line.starts_with(kRecordTag)) {
        split.malformedRecord = endsInDigits;
        return split;
    }
    const std::string_view digits = line.substr(kRecordTag.size());
    if (!isHex(digits, kHexDigits)) {
        split.malformedRecord = true;
        return split;
    }
    split.content = file.substr(0, lineStart);
    split.record = std::string(digits);
    return split;
}

Digest md5(std::string_view content) {
    Digest digest{};
    unsigned int size = 0;
    if (EVP_Digest(content.data(), content.size(), digest.data(), &size, EVP_md5(), nullptr) != 1 ||
        size != digest.size())
        throw std::runtime_error("MD5 failed");
    return digest;
}

Block sealBlock(const Digest &digest) {
    Block block;
    block.fill(kBlockFiller);
    block[0] = kBlockMark;
    for (size_t i = 0; i < digest.size(); ++i)
        block[1 + i] = digest[i];
    return block;
}

std::string toHex(const unsigned char *bytes, size_t size) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(size * 2);
    for (size_t i = 0; i < size; ++i) {
        out += kDigits[bytes[i] >> 4];
        out += kDigits[bytes[i] & 0x0F];
    }
    return out;
}

Block blockFromHex(std::string_view digits) {
    const auto value = [](char c) {
        return static_cast<unsigned char>(c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10);
    };
    Block block{};
    for (size_t i = 0; i < block.size() && 2 * i + 1 < digits.size(); ++i)
        block[i] = static_cast<unsigned char>(value(digits[2 * i]) << 4 | value(digits[2 * i + 1]));
    return block;
}

} // namespace signbema
