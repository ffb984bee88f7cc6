#include <gtest/gtest.h>

#include "tivhost/host.h"

using namespace tivhost;
using tiv::Variant;

TEST(HostRecebeParams, ReadsByNameWithoutRegardToCase) {
    tiv::ParamArray params = tiv::makeParams({{"CDFILIAL", Variant("0001")},
                                              {"UTILTEF", Variant(true)},
                                              {"cdfilial", Variant("second")}});
    EXPECT_EQ(RecebeParams(params, "CDFILIAL"), Variant("0001"));
    EXPECT_EQ(RecebeParams(params, "CdFilial"), Variant("0001")) << "first match wins";
    EXPECT_EQ(RecebeParams(params, "utiltef"), Variant(true));
}

TEST(HostRecebeParams, AbsentNameReadsAsEmpty) {
    tiv::ParamArray params = tiv::makeParams({{"CDFILIAL", Variant("0001")}});
    Variant v = RecebeParams(params, "ESQUEMACOR");
    EXPECT_TRUE(v.isEmpty());
    EXPECT_EQ(v.toString(), "");
    EXPECT_TRUE(RecebeParams(Variant(std::vector<Variant>{}), "X").isEmpty());
}

TEST(HostRecebeParams, MissingOrMalformedArraySaysWhatIsWrong) {
    auto pair = [](Variant a, Variant b) { return Variant(std::vector<Variant>{a, b}); };
    struct Case {
        const char *what;
        Variant params;
        const char *mentions;
    } cases[] = {
        {"empty variant", Variant(), "missing"},
        {"null variant", Variant::null(), "missing"},
        {"a text", Variant("CDFILIAL=1"), "not an array"},
        {"element not an array", Variant(std::vector<Variant>{pair("A", 1), Variant("B")}),
         "element 1"},
        {"element of three",
         Variant(std::vector<Variant>{
             Variant(std::vector<Variant>{Variant("A"), Variant(1), Variant(2)})}),
         "not a [name, value] pair"},
        {"name not a text", Variant(std::vector<Variant>{pair(Variant(7), Variant("x"))}),
         "not a text"},
    };
    for (const auto &c : cases) {
        try {
            RecebeParams(c.params, "CDCAIXA");
            ADD_FAILURE() << c.what << ": no error";
        } catch (const tiv::DataError &e) {
            std::string message = e.what();
            EXPECT_NE(message.find(c.mentions), std::string::npos) << c.what << ": " << message;
            EXPECT_NE(message.find("CDCAIXA"), std::string::npos) << c.what << ": " << message;
        }
    }
}
