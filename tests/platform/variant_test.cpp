#include "tivplatform/variant.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>

#include "tivplatform/datetime.h"
#include "tivplatform/settings.h"

namespace {

using tiv::Variant;

class VariantTest : public ::testing::Test {
  protected:
    void SetUp() override { tiv::resetFormatSettings(); }
    void TearDown() override { tiv::resetFormatSettings(); }
};

TEST_F(VariantTest, ToText) {
    EXPECT_EQ(Variant().toString(), "");
    EXPECT_EQ(Variant::null().toString(), "");
    EXPECT_EQ(Variant(true).toString(), "True");
    EXPECT_EQ(Variant(false).toString(), "False");
    EXPECT_EQ(Variant(-42).toString(), "-42");
    EXPECT_EQ(Variant(int64_t{1} << 40).toString(), "1099511627776");
    EXPECT_EQ(Variant(12.5).toString(), "12,5");
    EXPECT_EQ(Variant(0.1 + 0.2).toString(), "0,3");
    EXPECT_EQ(Variant("abc").toString(), "abc");
    EXPECT_EQ(Variant::dateTime(tiv::encodeDate(2024, 3, 7)).toString(), "07/03/2024");
    EXPECT_EQ(Variant::dateTime(tiv::encodeDateTime(2024, 3, 7, 8, 9, 10)).toString(),
              "07/03/2024 08:09:10");
}

TEST_F(VariantTest, ToInteger) {
    struct Case {
        Variant v;
        int64_t expected;
    };
    const Case cases[] = {
        {Variant(), 0},          {Variant(true), -1}, // the host platform's True is -1
        {Variant(false), 0},     {Variant(7), 7},       {Variant("123"), 123},
        {Variant(" -15 "), -15}, {Variant("12,5"), 12}, // half to even
        {Variant("13,5"), 14},   {Variant(2.5), 2},     {Variant(3.5), 4},
        {Variant(-2.5), -2},     {Variant(2.6), 3},     {Variant::dateTime(45306.75), 45307},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.v.toInteger(), c.expected) << c.v.describe();
}

TEST_F(VariantTest, ToBoolean) {
    struct Case {
        Variant v;
        bool expected;
    };
    const Case cases[] = {
        {Variant(), false},        {Variant(true), true},     {Variant(0), false},
        {Variant(-1), true},       {Variant(2), true},        {Variant(0.0), false},
        {Variant(0.001), true},    {Variant("True"), true},   {Variant("TRUE"), true},
        {Variant("false"), false}, {Variant("fAlSe"), false}, {Variant("0"), false},
        {Variant("1"), true},      {Variant("0,0"), false},
    };
    for (const auto &c : cases)
        EXPECT_EQ(c.v.toBoolean(), c.expected) << c.v.describe();
}

TEST_F(VariantTest, ToRealAndDateTime) {
    EXPECT_EQ(Variant().toReal(), 0.0);
    EXPECT_EQ(Variant("12,5").toReal(), 12.5);
    EXPECT_EQ(Variant(3).toReal(), 3.0);
    EXPECT_EQ(Variant(true).toReal(), -1.0);
    tiv::formatSettings().decimalSeparator = '.';
    EXPECT_EQ(Variant("12.5").toReal(), 12.5);
    tiv::resetFormatSettings();
    EXPECT_EQ(Variant("07/03/2024").toDateTime(), tiv::encodeDate(2024, 3, 7));
    EXPECT_EQ(Variant("07/03/2024 10:00").toDateTime(), tiv::encodeDateTime(2024, 3, 7, 10, 0, 0));
    EXPECT_EQ(Variant(45306).toDateTime(), 45306.0);
    EXPECT_EQ(Variant::dateTime(1.5).toReal(), 1.5);
}

TEST_F(VariantTest, FailedConversionsNameTheValueAndTheWantedType) {
    struct Case {
        std::function<void()> convert;
        const char *message;
    };
    const Case cases[] = {
        {[] { Variant("abc").toInteger(); }, "cannot convert text \"abc\" to Integer"},
        {[] { Variant("12.5").toReal(); }, "cannot convert text \"12.5\" to Real"},
        {[] { Variant("yes").toBoolean(); }, "cannot convert text \"yes\" to Boolean"},
        {[] { Variant("32/01/2024").toDateTime(); },
         "cannot convert text \"32/01/2024\" to DateTime"},
        {[] { Variant::null().toInteger(); }, "cannot convert null to Integer"},
        {[] { Variant::null().toBoolean(); }, "cannot convert null to Boolean"},
        {[] { Variant::null().toReal(); }, "cannot convert null to Real"},
        {[] { Variant::null().toDateTime(); }, "cannot convert null to DateTime"},
        {[] { Variant(1e30).toInteger(); }, "cannot convert real 1E30 to Integer"},
        {[] { Variant(NAN).toInteger(); }, "cannot convert real NAN to Integer"},
        {[] { Variant::array(3).toString(); }, "cannot convert array of 3 elements to Text"},
        {[] { Variant(int64_t{1} << 40).toInt32(); },
         "cannot convert integer 1099511627776 to Integer: out of the 32-bit range"},
    };
    for (const auto &c : cases) {
        try {
            c.convert();
            ADD_FAILURE() << "no error for: " << c.message;
        } catch (const tiv::ConversionError &e) {
            EXPECT_STREQ(e.what(), c.message);
        }
    }
}

TEST_F(VariantTest, ArraysAreBoundsChecked) {
    Variant a = Variant::array(2);
    EXPECT_EQ(a.size(), 2u);
    EXPECT_TRUE(a.at(0).isEmpty());
    a.at(1) = Variant("x");
    EXPECT_EQ(a.at(1).toString(), "x");
    EXPECT_THROW(a.at(2), tiv::RangeError);
    EXPECT_THROW(Variant(5).at(0), tiv::RangeError);
    EXPECT_THROW(Variant(5).items(), tiv::RangeError);
    EXPECT_EQ(Variant(5).size(), 0u);
    try {
        a.at(7);
        FAIL() << "no error";
    } catch (const tiv::RangeError &e) {
        EXPECT_STREQ(e.what(), "index 7 is out of range: the array has 2 elements");
    }
}

TEST_F(VariantTest, EveryIntegerWidthIsAnInteger) {
    EXPECT_EQ(Variant(size_t{7}).kind(), Variant::Kind::Integer);
    EXPECT_EQ(Variant(7u).toInteger(), 7);
    EXPECT_EQ(Variant(7ll).toInteger(), 7);
    EXPECT_EQ(Variant(static_cast<short>(-3)).toInteger(), -3);
    EXPECT_EQ(Variant(std::numeric_limits<uint64_t>::max() / 2).toInteger(), INT64_MAX);
    EXPECT_THROW(Variant(std::numeric_limits<uint64_t>::max()), tiv::ConversionError);
}

TEST_F(VariantTest, EqualityIsKindAndValue) {
    EXPECT_EQ(Variant("1"), Variant(std::string("1")));
    EXPECT_FALSE(Variant("1") == Variant(1));
    EXPECT_FALSE(Variant(1.0) == Variant::dateTime(1.0));
    EXPECT_EQ(Variant(std::vector<Variant>{Variant(1), Variant("a")}),
              Variant(std::vector<Variant>{Variant(1), Variant("a")}));
    EXPECT_EQ(Variant(), Variant());
    EXPECT_FALSE(Variant() == Variant::null());
    EXPECT_TRUE(Variant::null().isUnassigned());
}

} // namespace
