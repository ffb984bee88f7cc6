#pragma once
// The EAD record a signed file ends with, and the block its signature seals.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace signbema {

constexpr size_t kBlockSize = 128; // one RSA-1024 block
constexpr size_t kHexDigits = 256; // the block as hexadecimal digits
constexpr unsigned char kBlockMark = 0x10;
constexpr unsigned char kBlockFiller = 0xFF;
constexpr std::string_view kRecordTag = "EAD";
constexpr std::string_view kLineEnd = "\r\n";

using Block = std::array<unsigned char, kBlockSize>;
using Digest = std::array<unsigned char, 16>;

// Where a file's own content ends and what its last line says.
struct Split {
    std::string_view content;          // everything before the record line
    std::optional<std::string> record; // the record's 256 digits, when well formed
    bool malformedRecord = false;      // a last line that begins "EAD" but is not one
};

// The last line counts as the record when it is "EAD" + 256 hexadecimal
// digits, with or without its line end; a file without one is all content.
Split splitRecord(std::string_view file);

// True when `text` is exactly `digits` hexadecimal digits.
bool isHex(std::string_view text, size_t digits);

Digest md5(std::string_view content);
// 0x10, the digest, then filler to the end of the block.
Block sealBlock(const Digest &digest);

std::string toHex(const unsigned char *bytes, size_t size);
// The block written as 256 hexadecimal digits (checked by the caller).
Block blockFromHex(std::string_view digits);

} // namespace signbema
