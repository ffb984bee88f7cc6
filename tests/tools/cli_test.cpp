// tiv as a person runs it: exit status, standard output and standard error.
#include <sys/stat.h>

#include <fstream>

#include <nlohmann/json.hpp>

#include "tiv_process.h"

namespace {

struct Result {
    int status = -1;
    std::string out, err;
};

class CliTest : public TivProcessTest {
  protected:
    CliTest() : TivProcessTest("tiv-cli-") {}

    Result tiv(const std::string &args, const std::string &environment = "") {
        const std::string err = (folder_ / "stderr").string();
        ProcessResult run = runCommand(tivCommand(args, err, environment));
        Result r;
        r.status = run.status;
        r.out = std::move(run.out);
        std::ifstream in(err);
        r.err.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        return r;
    }
    std::string script(const std::string &text) {
        const std::string path = (folder_ / "script.json").string();
        std::ofstream(path) << text;
        return "'" + path + "'";
    }
    std::string fakes() {
        return std::string(" --module '") + TIV_FAKE_MODULE + "' --printer '" + TIV_FAKE_PRINTER +
               "'";
    }
};

TEST_F(CliTest, HelpDocumentsRunAndTheArgumentForms) {
    Result top = tiv("--help");
    EXPECT_EQ(top.status, 0);
    EXPECT_NE(top.out.find("run"), std::string::npos);
    Result run = tiv("run --help");
    EXPECT_EQ(run.status, 0);
    for (const char *form : {"{\"result\": 10}", "{\"datetime\":", "{\"out\":", "\"answers\"",
                             "\"ecfsim\"", "--module", "--printer"})
        EXPECT_NE(run.out.find(form), std::string::npos) << form;
}

TEST_F(CliTest, ARunPrintsTheTranscript) {
    Result r =
        tiv("run " +
            script(R"([{"call": "Nr_Cupom", "args": ["", "001"]}, {"call": "StopImpFiscal"}])") +
            fakes());
    ASSERT_EQ(r.status, 0) << r.err;
    const auto t = nlohmann::json::parse(r.out);
    EXPECT_EQ(t["steps"].size(), 2u);
    EXPECT_EQ(t["steps"][0]["return"], "00012\u00e7");
}

TEST_F(CliTest, ScriptErrorsExitWithTheStepNamed) {
    Result r =
        tiv("run " + script(R"([{"call": "StopImpFiscal"}, {"call": "Nr_Cupom", "args": [""]}])") +
            fakes());
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("step 2: Nr_Cupom: expected 2 arguments"), std::string::npos) << r.err;
    const auto t = nlohmann::json::parse(r.out);
    EXPECT_EQ(t["error"]["step"], 2);
    EXPECT_TRUE(t["steps"].empty());

    Result notJson = tiv("run " + script("[{") + fakes());
    EXPECT_EQ(notJson.status, 2);
    EXPECT_FALSE(notJson.err.empty());
}

TEST_F(CliTest, ScriptsAreRegularFilesOrStandardInput) {
    // A FIFO is refused at once (not waited on), /dev/zero is not read without end.
    const std::string fifo = (folder_ / "fifo").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string &path : {fifo, std::string("/dev/zero"), folder_.string()}) {
        // Under a time limit: a tiv that waited on the FIFO fails with status 124.
        Result r = tiv("run '" + path + "'" + fakes(), "timeout 10 env ");
        EXPECT_EQ(r.status, 2) << path;
        EXPECT_NE(r.err.find("cannot read " + path + ": not a regular file"), std::string::npos)
            << r.err;
        EXPECT_TRUE(r.out.empty());
    }
    // A pipe is read through "-".
    Result piped = tiv("run -" + fakes() + " < " + script(R"([{"call": "StopImpFiscal"}])"));
    EXPECT_EQ(piped.status, 0) << piped.err;
    EXPECT_EQ(nlohmann::json::parse(piped.out)["steps"].size(), 1u);
}

TEST_F(CliTest, AModuleThatCannotLoadIsNoScriptError) {
    Result r = tiv("run " + script("[]") + " --module '" + (folder_ / "none.so").string() + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot load the module"), std::string::npos) << r.err;
    Result noRun = tiv("");
    EXPECT_NE(noRun.status, 0);
}

} // namespace
