#include "tivplatform/text.h"

#include <gtest/gtest.h>

namespace {

TEST(TextTest, TrimTakesTheGivenBlanksOffBothEnds) {
    EXPECT_EQ(tiv::trim(" \t a b \t "), "a b");
    EXPECT_EQ(tiv::trim(" \t "), "");
    EXPECT_EQ(tiv::trim(""), "");
    EXPECT_EQ(tiv::trim("\r\n x \r\n", " \r\n"), "x");
    EXPECT_EQ(tiv::trim("\t x ", " "), "\t x"); // only the blanks asked for
}

} // namespace
