// tiv as a person runs it: exit status, standard output and standard error.
#include <fcntl.h>
#include <pty.h>
#include <sys/stat.h>

#include <fstream>

#include <nlohmann/json.hpp>

#include "ecfsim/memory_image.h"

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
    EXPECT_EQ(r.err, "") << "standard error that is not a terminal carries errors only";
}

// A person watching a terminal sees where the script is, on one line rewritten and cleared.
TEST_F(CliTest, ARunShowsItsProgressOnATerminal) {
    const std::string path = (folder_ / "script.json").string();
    std::ofstream(path)
        << R"([{"call": "Nr_Cupom", "args": ["", "001"]}, {"call": "StopImpFiscal"}])";
    int terminal = -1, side = -1;
    ASSERT_EQ(openpty(&terminal, &side, nullptr, nullptr, nullptr), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        dup2(side, STDERR_FILENO);
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        setenv("TIV_PROGRAM_DIR", folder_.c_str(), 1);
        execl(TIV_EXECUTABLE, TIV_EXECUTABLE, "run", path.c_str(), "--module", TIV_FAKE_MODULE,
              "--printer", TIV_FAKE_PRINTER, static_cast<char *>(nullptr));
        _exit(127);
    }
    close(side);
    std::string shown;
    char buf[512];
    for (ssize_t n; (n = read(terminal, buf, sizeof buf)) > 0;)
        shown.append(buf, static_cast<size_t>(n)); // ends with EIO once tiv has closed it
    close(terminal);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_NE(shown.find("\rtiv: step 1 of 2: Nr_Cupom"), std::string::npos) << shown;
    EXPECT_NE(shown.find("\rtiv: step 2 of 2: StopImpFiscal"), std::string::npos) << shown;
    EXPECT_EQ(shown.substr(shown.size() - 4), "\r\033[K") << shown;
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

    // Nesting that would take the stack with it is refused before anything is built.
    const size_t depth = 500000;
    Result deep = tiv("run " +
                      script(R"([{"call": "Nr_Cupom", "args": ["", )" + std::string(depth, '[') +
                             std::string(depth, ']') + "]}]") +
                      fakes());
    EXPECT_EQ(deep.status, 2);
    EXPECT_NE(deep.err.find("the script: arrays and objects nested deeper than 64 levels"),
              std::string::npos)
        << deep.err;
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

// The exit status tells a script's caller how its steps ended, without reading the transcript.
TEST_F(CliTest, TheExitStatusSaysHowTheStepsEnded) {
    const std::string raises = R"({"call": "GetValue", "args": [""]})";
    const std::string returnsFalse =
        R"({"call": "VerificaData", "args": ["001", {"out": {"datetime": "2026-12-10 00:00:00"}},
            "", "", false]})";
    const std::string returnsTrue =
        R"({"call": "Atu_TotGeral", "args": [{"CDFILIAL": "1", "CDCAIXA": "001", "NRSERIEIMP": "EP01"}]})";
    const struct {
        std::string steps, options;
        int status;
        const char *said; // on standard error, or null for nothing
    } cases[] = {
        {returnsTrue + "," + returnsFalse, "", 0, nullptr},
        {returnsTrue + "," + returnsFalse, " --strict", 4, "step 2: VerificaData returned false"},
        {raises + "," + returnsTrue, "", 3, "step 1: GetValue raised"},
        {returnsFalse + "," + raises, " --strict", 3, "step 2: GetValue raised"},
    };
    for (const auto &c : cases) {
        Result r = tiv("run " + script("[" + c.steps + "]") + fakes() + c.options);
        EXPECT_EQ(r.status, c.status) << c.steps << c.options << "\n" << r.err;
        // Every step ran and is in the transcript, whatever the status.
        EXPECT_EQ(nlohmann::json::parse(r.out)["steps"].size(), 2u) << r.out;
        if (c.said)
            EXPECT_NE(r.err.find(c.said), std::string::npos) << r.err;
        else
            EXPECT_EQ(r.err, "");
    }
    for (const char *wrong : {"run", "run x.json --no-such-option", "demo --type 32", "nothing"})
        EXPECT_EQ(tiv(wrong).status, 64) << wrong;
}

TEST_F(CliTest, AModuleThatCannotLoadIsNoScriptError) {
    Result r = tiv("run " + script("[]") + " --module '" + (folder_ / "none.so").string() + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("cannot load the module"), std::string::npos) << r.err;
    Result noRun = tiv("");
    EXPECT_NE(noRun.status, 0);
}

// An image as the printer writes it: header, records in CBOR, SHA-256 (docs/printer.md).
std::string memoryImage(const std::vector<nlohmann::json> &records) {
    std::string out = "TIVMEMIM";
    out += std::string("\x01\x00\x02\x00", 4); // version 1, detail memory
    std::string serial = "EP0000000000000001";
    out += serial + std::string(20 - serial.size(), ' ');
    auto u32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            out += static_cast<char>((v >> (8 * i)) & 0xFF);
    };
    u32(static_cast<uint32_t>(records.size()));
    for (const auto &r : records) {
        const auto cbor = nlohmann::json::to_cbor(r);
        u32(static_cast<uint32_t>(cbor.size()));
        out.append(cbor.begin(), cbor.end());
    }
    return out + ecfsim::image::sha256(out);
}

TEST_F(CliTest, ImageShowChecksAMemoryImageAndPrintsItsRecords) {
    const std::string good = memoryImage(
        {{{"coo", 1}, {"kind", "CF"}, {"name", "JOS\xC9"}}, {{"coo", 2}, {"kind", "RZ"}}});
    const std::string path = (folder_ / "MFDFISCAL.MFD").string();
    std::ofstream(path, std::ios::binary) << good;
    Result r = tiv("image show '" + path + "'");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "detail memory (MFD) image, version 1, printer EP0000000000000001, 2 records, "
                     "checksum OK\n"
                     "{\"coo\":1,\"kind\":\"CF\",\"name\":\"JOSÉ\"}\n"
                     "{\"coo\":2,\"kind\":\"RZ\"}\n");

    std::string damaged = good;
    damaged[40] ^= 0x20;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << damaged;
    r = tiv("image show '" + path + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "") << "nothing of a damaged image is shown";
    EXPECT_NE(r.err.find("checksum does not match"), std::string::npos) << r.err;

    r = tiv("image show '" + (folder_ / "none.bin").string() + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("none.bin"), std::string::npos) << r.err;
}

} // namespace
