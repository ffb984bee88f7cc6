#include "tivplatform/text.h"

#include <gtest/gtest.h>

namespace {

TEST(TextTest, TrimTakesTheGivenBlanksOffBothEnds) {
    EXPECT_EQ(tiv::trim(" \t a b \t "), "a b");
    EXPECT_EQ(tiv::trim(" \t "), "");
    EXPECT_EQ(tiv::trim(""), "");
    EXPECT_EQ(tiv::trim("\r\n x \r\n", " \r\n"), "x");
    EXPECT_EQ(tiv::trim("\t x ", " "), "\t x"); // only the blanks asked for
    // The host platform's Trim: NUL and every control character go too, nothing above the blank.
    EXPECT_EQ(tiv::trim(std::string("\0\x1F a\xA0 \x01", 7), tiv::kHostBlanks), "a\xA0");
}

} // namespace
