// The C interface as a host of another language uses it: JSON requests in, JSON records or
// structured errors out, never a crash.
#include <cstdlib>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "../common/printer_folder.h"
#include "tivcall/tivcall.h"

namespace {

using nlohmann::json;

struct Answer {
    int rc = -2;
    json body;
};

Answer invoke(const char *request) {
    char *text = nullptr;
    Answer a;
    a.rc = tiv_invoke(request, &text);
    if (text) a.body = json::parse(text);
    tiv_free(text);
    return a;
}

class TivCallTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("TIV_PROGRAM_DIR", folder.c_str(), 1);
        const json open = {{"ecfsim", "OpenFolder"}, {"args", {folder + "/ecf"}}};
        ASSERT_EQ(invoke(open.dump().c_str()).rc, 0);
        ASSERT_EQ(invoke(R"({"ecfsim": "Reset"})").rc, 0);
    }
    // The session ends with the test, so nothing of it outlives the folder.
    void TearDown() override {
        (void)invoke(R"({"call": "StopImpFiscal"})");
        tiv_close();
    }
    const PrinterFolder ownFolder{"tiv-capi"};
    const std::string folder = ownFolder.path;
};

TEST_F(TivCallTest, ACallAnswersAsOneStepOfARun) {
    const Answer start = invoke(R"({"call": "StartImpFiscal",
        "args": [{"CDFILIAL": "0001", "IDTIPOIMPFIS": 31, "BOUTILTAA": false}]})");
    ASSERT_EQ(start.rc, 0) << start.body.dump();
    EXPECT_EQ(start.body.at("return"), true);
    EXPECT_FALSE(start.body.contains("step"));
    EXPECT_FALSE(start.body.at("journal").empty());

    const Answer number = invoke(R"({"call": "Nr_Cupom", "args": ["", "001"]})");
    ASSERT_EQ(number.rc, 0);
    EXPECT_EQ(number.body.at("return"), "000000");
    EXPECT_EQ(number.body.at("variables").at("stMensagemTaa"), "");

    // The operator's answers travel with the call; those it did not use come back.
    const Answer asked = invoke(R"({"call": "Muda_Horario", "args": ["001"],
                                    "answers": [false, true]})");
    ASSERT_EQ(asked.rc, 0) << asked.body.dump();
    ASSERT_FALSE(asked.body.at("dialogs").empty());
    EXPECT_EQ(asked.body.at("dialogs")[0].at("answer"), false);
    EXPECT_EQ(asked.body.at("unusedAnswers"), json::array({true}));
}

// A Python or C host's debug log goes to the user's state folder, not beside its interpreter.
TEST_F(TivCallTest, WithoutAProgramFolderTheLogGoesToTheUsersStateFolder) {
    tiv_close();
    unsetenv("TIV_PROGRAM_DIR");
    const std::string state = folder + "/state";
    setenv("XDG_STATE_HOME", state.c_str(), 1);
    // The next test of this process must not find its printer in this test's folder.
    struct Restore {
        ~Restore() { unsetenv("XDG_STATE_HOME"); }
    } restore;
    const json open = {{"ecfsim", "OpenFolder"}, {"args", {folder + "/ecf"}}};
    ASSERT_EQ(invoke(open.dump().c_str()).rc, 0);
    const Answer start = invoke(R"({"call": "StartImpFiscal",
        "args": [{"CDFILIAL": "0001", "IDTIPOIMPFIS": 31, "BOUTILTAA": false}]})");
    ASSERT_EQ(start.rc, 0) << start.body.dump();
    const Answer number = invoke(R"({"call": "Nr_Cupom", "args": ["", "001"]})");
    ASSERT_FALSE(number.body.at("log").empty()) << number.body.dump();
    const char *chosen = std::getenv("TIV_PROGRAM_DIR");
    ASSERT_NE(chosen, nullptr);
    EXPECT_EQ(std::string(chosen), state + "/tiv");
    bool logged = false;
    for (const auto &f : std::filesystem::directory_iterator(state + "/tiv"))
        logged |= f.path().filename().string().rfind("impdebug", 0) == 0;
    EXPECT_TRUE(logged) << "no debug log in " << state << "/tiv";
}

// The fixture opened and reset the printer, and no procedure has run yet.
TEST_F(TivCallTest, AfterCloseThePrinterOpensItsFolderAgainWithItsState) {
    ASSERT_EQ(invoke(R"({"ecfsim": "SetDrawer", "args": [true]})").rc, 0);
    tiv_close();

    const json open = {{"ecfsim", "OpenFolder"}, {"args", {folder + "/ecf"}}};
    const Answer reopened = invoke(open.dump().c_str());
    ASSERT_EQ(reopened.rc, 0) << reopened.body.dump();
    const Answer state = invoke(R"({"ecfsim": "State"})");
    ASSERT_EQ(state.rc, 0);
    EXPECT_EQ(state.body.at("result").at("counters").at("cro"), 1);
}

TEST_F(TivCallTest, BadRequestsGetAStructuredError) {
    struct Case {
        const char *request, *kind;
        json argument;
    };
    const std::string deep = R"({"call": "Nr_Cupom", "args": ["", )" + std::string(500000, '[') +
                             std::string(500000, ']') + "]}";
    for (const Case &c :
         {Case{"{not json", "json", nullptr}, Case{deep.c_str(), "json", nullptr},
          Case{"[1, 2]", "request", nullptr},
          Case{R"({"call": "NoSuchProcedure"})", "unknown", nullptr},
          Case{R"({"call": "Nr_Cupom", "args": [""]})", "request", nullptr},
          Case{R"({"call": "Nr_Cupom", "args": ["", 42]})", "argument", 2},
          Case{R"({"call": "Nr_Cupom", "args": ["", ""], "answers": "yes"})", "request", nullptr},
          Case{R"({"ecfsim": "NoSuchControl"})", "request", nullptr},
          // Checked and sent, and the printer refused it: last, as it leaves no folder open.
          Case{R"({"ecfsim": "OpenFolder", "args": ["/proc/no-such/ecf"]})", "run", nullptr}}) {
        SCOPED_TRACE(std::string(c.request).substr(0, 80));
        const Answer a = invoke(c.request);
        EXPECT_EQ(a.rc, 1);
        ASSERT_TRUE(a.body.contains("error")) << a.body.dump();
        const json &e = a.body.at("error");
        EXPECT_EQ(e.at("kind"), c.kind);
        EXPECT_FALSE(e.at("message").get<std::string>().empty());
        EXPECT_EQ(e.at("argument"), c.argument);
    }
    EXPECT_EQ(tiv_invoke(nullptr, nullptr), -1);
    char *text = nullptr;
    EXPECT_EQ(tiv_invoke(nullptr, &text), 1);
    tiv_free(text);
    // A module that cannot be loaded is told by tiv_open, and calls still answer.
    for (const char *options : {R"({"module": "/nonexistent/libtiv02000.so"})", R"({"module": ""})",
                                R"({"module": 5})", "[1]"}) {
        EXPECT_EQ(tiv_open(options), -1) << options;
        EXPECT_NE(std::string(tiv_last_error()), "") << options;
    }
    EXPECT_EQ(tiv_open("{}"), 0);
    EXPECT_EQ(std::string(tiv_last_error()), "");
}

} // namespace
