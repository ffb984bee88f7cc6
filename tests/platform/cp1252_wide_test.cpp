// Wide texts (one code point per wchar_t), as the host keeps the document counters: from the
// printer's CP1252 and on to UTF-8.
#include <gtest/gtest.h>

#include "tivplatform/cp1252.h"

namespace {

// Each byte decodes to the one code point whose UTF-8 the byte converts to, so the wide path
// and the direct path cannot disagree on the code page.
TEST(Cp1252WideTest, EveryByteDecodesAsTheUtf8PathDoes) {
    for (int b = 0; b < 256; ++b) {
        const std::string one(1, static_cast<char>(b));
        const std::wstring wide = tiv::cp1252ToWide(one);
        ASSERT_EQ(wide.size(), 1u) << "byte " << b;
        EXPECT_EQ(tiv::wideToUtf8(wide), tiv::cp1252ToUtf8(one)) << "byte " << b;
    }
    EXPECT_EQ(tiv::cp1252ToWide("\xE3\x80\x9F\x81"), std::wstring({0xE3, 0x20AC, 0x178, 0xFFFD}));
    EXPECT_EQ(tiv::cp1252ToWide(std::string("a\0b", 3)), std::wstring(L"a\0b", 3));
}

TEST(Cp1252WideTest, Utf8OfEachLengthAndOfWhatIsNoCharacter) {
    struct Case {
        wchar_t in;
        const char *utf8;
    } cases[] = {
        {0x7F, "\x7F"},
        {0x80, "\xC2\x80"},
        {0x7FF, "\xDF\xBF"},
        {0x800, "\xE0\xA0\x80"},
        {0xFFFF, "\xEF\xBF\xBF"},
        {0x10000, "\xF0\x90\x80\x80"},
        {0x10FFFF, "\xF4\x8F\xBF\xBF"},
        {0xD800, "\xEF\xBF\xBD"},   // a surrogate
        {0xDFFF, "\xEF\xBF\xBD"},   // a surrogate
        {0x110000, "\xEF\xBF\xBD"}, // beyond Unicode
        {-1, "\xEF\xBF\xBD"},       // wchar_t is signed here
    };
    for (const Case &c : cases)
        EXPECT_EQ(tiv::wideToUtf8(std::wstring(1, c.in)), c.utf8)
            << "code point " << static_cast<long>(c.in);
    EXPECT_EQ(tiv::wideToUtf8(std::wstring(L"\0x", 2)), std::string("\0x", 2));
    EXPECT_EQ(tiv::wideToUtf8(L"S\u00C3O PAULO \u20AC"), "S\xC3\x83O PAULO \xE2\x82\xAC");
}

} // namespace
