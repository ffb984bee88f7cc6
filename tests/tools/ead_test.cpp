// tiv ead verify, and the driver signing through tiv with and without the
// signing library beside it.
#include <filesystem>
#include <fstream>
#include <sstream>

#include <nlohmann/json.hpp>

#include "tiv_process.h"

namespace fs = std::filesystem;

namespace {

std::string readAll(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

class EadTest : public TivProcessTest {
  protected:
    EadTest() : TivProcessTest("tiv-ead-") {}

    ProcessResult tiv(const std::string &args, const std::string &executable = TIV_EXECUTABLE) {
        return runCommand("ASAN_OPTIONS=detect_leaks=0 TIV_PROGRAM_DIR='" + folder_.string() +
                          "' '" + executable + "' " + args + " 2>'" +
                          (folder_ / "stderr.txt").string() + "'");
    }
    // geraEad through `tiv run`; the transcript's step.
    nlohmann::json signThroughDriver(const fs::path &file,
                                     const std::string &executable = TIV_EXECUTABLE) {
        const nlohmann::json script = {{{"call", "geraEad"}, {"args", {file.string()}}}};
        std::ofstream(folder_ / "script.json") << script.dump();
        const ProcessResult run =
            tiv("run '" + (folder_ / "script.json").string() + "'", executable);
        EXPECT_EQ(run.status, 0) << readAll(folder_ / "stderr.txt");
        return nlohmann::json::parse(run.out).at("steps").at(0);
    }
    std::string errors() const { return readAll(folder_ / "stderr.txt"); }
};

const std::string kContent = "E1EP0123456789012345\r\nE2 10122026\r\n";

TEST_F(EadTest, VerifyTellsValidInvalidAndUnsignedFilesSignedByTheDriver) {
    const fs::path file = folder_ / "EP000100110122026_CTP.txt";
    std::ofstream(file, std::ios::binary) << kContent;
    auto r = tiv("ead verify '" + file.string() + "'");
    EXPECT_EQ(r.status, 4);
    EXPECT_EQ(r.out, "unsigned\n");

    signThroughDriver(file);
    const std::string signedFile = readAll(file);
    ASSERT_EQ(signedFile.size(), kContent.size() + 3 + 256 + 2);
    r = tiv("ead verify '" + file.string() + "'");
    EXPECT_EQ(r.status, 0) << errors();
    EXPECT_EQ(r.out, "valid\n");

    std::string changed = signedFile;
    changed[5] = changed[5] == '1' ? '2' : '1';
    std::ofstream(file, std::ios::binary) << changed;
    r = tiv("ead verify '" + file.string() + "'");
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "invalid: the content is not what was signed (a byte was changed, added or "
                     "removed)\n");

    // Another key's modulus: the signature is not this key's.
    std::ofstream(file, std::ios::binary) << signedFile;
    r = tiv("ead verify '" + file.string() + "' --modulus " + std::string(255, 'F') + "1");
    EXPECT_EQ(r.status, 3);
    EXPECT_EQ(r.out, "invalid: the signature was not made with this key\n");

    r = tiv("ead verify '" + (folder_ / "missing.txt").string() + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(errors().find("cannot read"), std::string::npos) << errors();
}

// The driver, tiv and their libraries copied to a folder without the signing
// library: the file is left as it was, and the debug log says why.
TEST_F(EadTest, WithoutTheSigningLibraryTheFileIsLeftUnsignedAndTheLogSaysWhy) {
    const fs::path bin = fs::path(TIV_EXECUTABLE).parent_path();
    const fs::path copy = folder_ / "bin";
    fs::create_directories(copy);
    for (const char *name :
         {"tiv", "libtiv02000.so", "libtivplatform.so", "libtivhost.so", "libInterfaceEpson.so"})
        fs::copy_file(bin / name, copy / name);
    const fs::path file = folder_ / "day.txt";
    std::ofstream(file, std::ios::binary) << kContent;

    const nlohmann::json step = signThroughDriver(file, (copy / "tiv").string());
    EXPECT_EQ(readAll(file), kContent);
    const std::string log = step.at("log").dump();
    EXPECT_NE(log.find("Ead nao gerado. Arquivo: " + file.string() +
                       " - sign_bema.dll nao carregada: cannot load sign_bema.dll"),
              std::string::npos)
        << log;

    const ProcessResult r = tiv("ead verify '" + file.string() + "'", (copy / "tiv").string());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(errors().find("the signing library cannot be loaded"), std::string::npos) << errors();
}

} // namespace
