// A call's record explains its failure: the printer's code with its operator's text, and what
// this call wrote into stMensagemTaa, apart from what earlier calls left there.
#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "../common/printer_folder.h"
#include "call_session.h"

namespace {

using tivtool::Json;

const std::string kExecutionError = " Erro de execu\u00E7\u00E3o na fun\u00E7\u00E3o.";

class TempFolder : public PrinterFolder {
  public:
    TempFolder() : PrinterFolder("tiv-record") { setenv("TIV_PROGRAM_DIR", path.c_str(), 1); }
};

class FailureRecordTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(run({{"ecfsim", "OpenFolder"}, {"args", {folder.path + "/ecf"}}})["result"], 0);
        ASSERT_EQ(run({{"ecfsim", "Reset"}})["result"], 0);
        ASSERT_EQ(run({{"ecfsim", "ClearFaults"}})["result"], 0); // the printer is the process's
        ASSERT_EQ(run({{"call", "StartImpFiscal"},
                       {"args", {{{"CDFILIAL", "0001"}, {"IDTIPOIMPFIS", 31}}}}})["return"],
                  true);
        ASSERT_EQ(run({{"call", "AbreCupom"},
                       {"args", {{{"ESQUEMACOR", "001"}, {"IDUTILTEF", "N"}, {"UTILTEF", false}}}}})
                      .value("return", false),
                  true);
    }
    Json run(const Json &request) { return session.invoke(request); }
    Json sell(const std::string &taxCode) {
        return run({{"call", "VendaItem"},
                    {"args",
                     {{{"ESQUEMACOR", "001"},
                       {"INTEFERRO", 0},
                       {"CDARVPROD", "123"},
                       {"NMPROD", "ARROZ"},
                       {"CDALIQ", taxCode},
                       {"QTDE", 1},
                       {"VALOR", 10.0},
                       {"DESCONT", 0},
                       {"UNIDADE", "UN"},
                       {"IDUTILTEF", "N"},
                       {"UTILTEF", false},
                       {"ACRESCIMO", 0}}}}});
    }

    TempFolder folder;
    tivtool::CallSession session{Json::object(), TIV_MODULE_PATH};
};

// Each step in turn on one receipt: a refusal twice (VendaItem empties stMensagemTaa, so the
// second record's text is its own even though the module's text reads the same), a
// communication fault (an error, but no code of the printer's), and a sale that goes through.
TEST_F(FailureRecordTest, EachRecordNamesItsOwnRefusalAndMessages) {
    struct Step {
        const char *what;
        const char *fault; // planted before the call, or null
        const char *taxCode;
        bool returned;
        const char *code; // the printer's code in the record, or null for none
        bool messages;    // this call wrote the execution error
    };
    const Step steps[] = {
        {"unknown tax code", nullptr, "10", false, "0305", true},
        {"the same refusal again", nullptr, "10", false, "0305", true},
        {"a communication fault after the refusal",
         R"({"kind":"comm","entry":"EPSON_Fiscal_Vender_Item"})", "01", false, nullptr, true},
        {"a sale that goes through", nullptr, "01", true, nullptr, false},
    };
    for (const Step &s : steps) {
        SCOPED_TRACE(s.what);
        if (s.fault) {
            const Json planted = run({{"ecfsim", "InjectFault"}, {"args", {Json::parse(s.fault)}}});
            ASSERT_GE(planted.value("result", -1), 0) << planted.dump();
        }
        const Json record = sell(s.taxCode);
        ASSERT_FALSE(record.contains("error")) << record.dump();
        EXPECT_EQ(record.at("return"), s.returned);
        if (s.code) {
            ASSERT_TRUE(record.contains("printer")) << record.dump();
            EXPECT_EQ(record["printer"].at("code"), s.code);
            EXPECT_EQ(record["printer"].at("meaning"), "Al\u00EDquota n\u00E3o programada.");
            EXPECT_EQ(record["printer"].at("entry"), "EPSON_Fiscal_Vender_Item");
        } else {
            EXPECT_FALSE(record.contains("printer")) << record["printer"].dump();
        }
        const std::string messages = record.at("messages");
        if (s.messages) {
            EXPECT_NE(messages.find(kExecutionError), std::string::npos) << messages;
        } else {
            EXPECT_EQ(messages, "");
        }
        EXPECT_EQ(record.at("variables").at("stMensagemTaa"), messages);
    }
}

// A call that does not empty stMensagemTaa shows only what it added, while the module's
// variable still holds the earlier call's error.
TEST_F(FailureRecordTest, ACallAfterARefusalShowsNoneOfItsMessages) {
    ASSERT_EQ(sell("10").at("messages"), kExecutionError);
    const Json number = run({{"call", "Nr_Cupom"}, {"args", {"", "001"}}});
    ASSERT_FALSE(number.contains("error")) << number.dump();
    EXPECT_EQ(number.at("messages"), "");
    EXPECT_FALSE(number.contains("printer"));
    EXPECT_EQ(number.at("variables").at("stMensagemTaa"), kExecutionError);
}

} // namespace
