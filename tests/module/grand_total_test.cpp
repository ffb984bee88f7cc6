// The till's configuration file against the printer: the grand total kept in
// it, and the serial number of the printer the till may use.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>

#include "fixture.h"
#include "tiv02000/config_file.h"
#include "tivplatform/dataset.h"
#include "tivplatform/system.h"
#include "vendor_entry_points.h"

namespace {

namespace cf = tiv02000::config_file;
namespace fs = std::filesystem;

constexpr const char *kPrinterSerial = "EP0000000000000001"; // a fresh virtual printer's

struct FileRow {
    std::string branch = "0001", till = "001", serial = kPrinterSerial, check = "S";
    std::optional<std::string> gt = "10,10"; // plain; nullopt writes `rawGt` as it stands
    std::string rawGt;

    FileRow &withTill(std::string t) { return till = std::move(t), *this; }
    FileRow &withSerial(std::string s) { return serial = std::move(s), *this; }
    FileRow &withCheck(std::string c) { return check = std::move(c), *this; }
    FileRow &withGt(std::optional<std::string> g) { return gt = std::move(g), *this; }
    FileRow &withRawGt(std::string g) { return gt.reset(), rawGt = std::move(g), *this; }
};

void writeConfig(const std::string &path, const std::vector<FileRow> &rows,
                 int gtSize = cf::kGtSize) {
    tiv::TClientDataSet file;
    file.addFieldDef(cf::kBranch, tiv::FieldType::String, cf::kBranchSize);
    file.addFieldDef(cf::kTill, tiv::FieldType::String, cf::kTillSize);
    file.addFieldDef(cf::kSerial, tiv::FieldType::String, cf::kSerialSize);
    file.addFieldDef(cf::kCheckGt, tiv::FieldType::String, 1);
    file.addFieldDef(cf::kGt, tiv::FieldType::String, gtSize);
    file.createDataSet();
    for (const FileRow &r : rows) {
        file.append();
        file.fieldByName(cf::kBranch).setAsString(r.branch);
        file.fieldByName(cf::kTill).setAsString(r.till);
        file.fieldByName(cf::kSerial).setAsString(tivhost::Cripto(r.serial, cf::kKey));
        file.fieldByName(cf::kCheckGt).setAsString(r.check);
        file.fieldByName(cf::kGt).setAsString(r.gt ? tivhost::Cripto(*r.gt, cf::kKey) : r.rawGt);
        file.post();
    }
    file.saveToFile(path);
}

// The GT stored on the file's first row, decoded.
std::string storedGt(const std::string &path) {
    tiv::TClientDataSet file;
    file.loadFromFile(path);
    file.first();
    return tivhost::Uncripto(file.fieldByName(cf::kGt).asString(), cf::kKey);
}

bool mentions(const ShownDialog &d, const std::string &text) {
    return d.text.find(text) != std::string::npos;
}

constexpr const char *kRebuilt = "Ao teclar OK este valor ser\xE1 automaticamente recuperado.";
constexpr const char *kBlocked = "O sistema ser\xE1 aberto, mas apenas para consultas";

class GrandTotalTest : public DriverTest {
  protected:
    void SetUp() override {
        DriverTest::SetUp();
        path = programDir + "/" + cf::kName;
        ASSERT_EQ(ECFSIM_SetCounters(R"({"gt": 1234567})"), 0) << ECFSIM_LastError();
        ASSERT_TRUE(start(31));
    }
    static tiv::Variant params(const std::string &validate, bool mayRebuild,
                               const std::string &branch = "0001") {
        return tiv::makeParams({{"CDFILIAL", branch},
                                {"CDCAIXA", "001"},
                                {"NRSERIEIMP", kPrinterSerial},
                                {"ESQUEMACOR", "001"},
                                {"IDVALIDA", validate},
                                {"BOPODERECOMPORGT", mayRebuild}});
    }
    std::string path;
};

TEST_F(GrandTotalTest, TheStoredGrandTotalIsRecordedKeptRebuiltOrReported) {
    struct Case {
        const char *name;
        FileRow row;
        const char *validate;
        bool mayRebuild;
        bool result;
        const char *gtAfter; // nullptr: the file is not written
        const char *shown;   // the notice's telling part; nullptr: none
    };
    const Case cases[] = {
        {"not recorded yet", FileRow(), "S", false, true, "12345,67", nullptr},
        {"equal", FileRow().withGt("12345,67"), "S", false, true, nullptr, nullptr},
        {"equal to two decimals", FileRow().withGt("12345,674"), "S", false, true, nullptr,
         nullptr},
        {"mismatch, rebuilt", FileRow().withGt("100,00"), "S", true, true, "12345,67", kRebuilt},
        {"mismatch, not rebuilt", FileRow().withGt("100,00"), "S", false, false, nullptr, kBlocked},
        {"blank, rebuilt", FileRow().withGt("  "), "S", true, true, "12345,67", kRebuilt},
        {"blank, not rebuilt", FileRow().withGt(""), "S", false, false, nullptr, kBlocked},
        {"not a number", FileRow().withGt("12.345,67x"), "S", false, false, nullptr, kBlocked},
        {"does not decode", FileRow().withRawGt("ZZ"), "S", false, false, nullptr, kBlocked},
        {"no validation", FileRow().withGt("100,00"), "N", false, true, "12345,67", nullptr},
        {"no row of this till", FileRow().withTill("002").withGt("100,00"), "S", false, true,
         nullptr, nullptr},
        {"another printer's row", FileRow().withSerial("EP9").withGt("100,00"), "S", false, true,
         nullptr, nullptr},
        {"not checked", FileRow().withCheck("N").withGt("100,00"), "S", false, true, nullptr,
         nullptr},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        writeConfig(path, {c.row, FileRow().withTill("009").withGt("5,00")});
        const std::string before = tiv::readFile(path);
        dialogs.clear();
        EXPECT_EQ(Atu_TotGeral(params(c.validate, c.mayRebuild)), c.result);
        if (c.gtAfter) {
            EXPECT_EQ(storedGt(path), c.gtAfter);
            tiv::TClientDataSet file;
            file.loadFromFile(path);
            file.last();
            EXPECT_EQ(tivhost::Uncripto(file.fieldByName(cf::kGt).asString(), cf::kKey), "5,00")
                << "the other rows are kept";
        } else {
            EXPECT_EQ(tiv::readFile(path), before) << "the file is not written";
        }
        ASSERT_EQ(dialogs.size(), c.shown ? 1u : 0u);
        if (c.shown) {
            EXPECT_TRUE(mentions(dialogs[0], c.shown)) << dialogs[0].text;
            EXPECT_TRUE(mentions(dialogs[0], "Arquivo (" + path + ")"));
            EXPECT_EQ(dialogs[0].kind, 3);
            EXPECT_EQ(dialogs[0].askMark, "N");
        }
    }
}

// The file is the one copy of the GT outside the printer: a GT the printer did not hand over
// is never written into it.
TEST_F(GrandTotalTest, AGrandTotalThePrinterDidNotHandOverIsNeverWritten) {
    struct Case {
        const char *validate;
        bool mayRebuild;
        bool result;
        bool noticed;
    };
    // No answer, and replies that are not the GT's 18 digits: empty, a sign, cut to 10 digits
    // (read as given, 0 while the printer holds 12.345,67), run to 20 (read as given, "1E18").
    const nlohmann::json faults[] = {
        {{"kind", "noanswer"}, {"entry", "EPSON_Obter_GT"}},
        {{"kind", "reply"}, {"entry", "EPSON_Obter_GT"}, {"text", ""}},
        {{"kind", "reply"}, {"entry", "EPSON_Obter_GT"}, {"text", "-1"}},
        {{"kind", "reply"}, {"entry", "EPSON_Obter_GT"}, {"text", "0000000000"}},
        {{"kind", "reply"}, {"entry", "EPSON_Obter_GT"}, {"text", "99999999999999999999"}},
    };
    for (const auto &fault : faults)
        for (const Case &c : {Case{"S", true, false, true}, Case{"S", false, false, true},
                              Case{"N", true, true, false}, Case{"N", false, true, false}}) {
            SCOPED_TRACE(fault.dump() + " " + c.validate + (c.mayRebuild ? " rebuild" : ""));
            writeConfig(path, {FileRow().withGt("100,00")});
            const std::string before = tiv::readFile(path);
            dialogs.clear();
            injectFault(fault);
            EXPECT_EQ(Atu_TotGeral(params(c.validate, c.mayRebuild)), c.result);
            EXPECT_EQ(tiv::readFile(path), before);
            ASSERT_EQ(dialogs.size(), c.noticed ? 1u : 0u);
            if (c.noticed) {
                EXPECT_TRUE(mentions(dialogs[0], "n\xE3o p\xF4"
                                                 "de ser lido"))
                    << dialogs[0].text;
            }
            ECFSIM_ClearFaults();
        }
    // A GT field too narrow for the encoded total: the file keeps what it had.
    writeConfig(path, {FileRow()}, 10);
    const std::string before = tiv::readFile(path);
    dialogs.clear();
    EXPECT_FALSE(Atu_TotGeral(params("S", true)));
    EXPECT_EQ(tiv::readFile(path), before);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_TRUE(mentions(dialogs[0], "n\xE3o comporta o total geral")) << dialogs[0].text;
}

TEST_F(GrandTotalTest, MissingFileQuotesAndTheDialogRule) {
    // No file: the error is told and the answer stands. The operator reads it in Portuguese;
    // the dataset's own detail is in the log.
    EXPECT_TRUE(Atu_TotGeral(params("S", false)));
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].text, "Arquivo de configura\xE7\xE3o da impressora fiscal (" + path +
                                   ") n\xE3o encontrado.");
    bool detailLogged = false;
    for (const std::string &line : logTexts())
        detailLogged |= line.starts_with("ERRO!!! " + path + ": ") &&
                        line.find("not found") != std::string::npos;
    EXPECT_TRUE(detailLogged);
    EXPECT_FALSE(fs::exists(path)) << "nothing is made up";

    // A file cut short is told as damaged, not as missing, and is left as it is.
    writeConfig(path, {FileRow().withGt("100,00")});
    const std::string whole = tiv::readFile(path);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << whole.substr(0, whole.size() - 20);
    dialogs.clear();
    EXPECT_TRUE(Atu_TotGeral(params("S", true)));
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_TRUE(mentions(dialogs[0], "est\xE1 corrompido ou ileg\xEDvel")) << dialogs[0].text;
    EXPECT_TRUE(mentions(dialogs[0], path)) << dialogs[0].text;
    EXPECT_EQ(tiv::readFile(path), whole.substr(0, whole.size() - 20));

    // A quote in the branch code is a text to match, not a broken filter.
    writeConfig(path, {FileRow().withGt("100,00")});
    dialogs.clear();
    EXPECT_TRUE(Atu_TotGeral(params("S", false, "0'1")));
    EXPECT_TRUE(dialogs.empty());

    // Notices only for an operator's till whose session is already in doubt.
    boClieUtil = true;
    EXPECT_FALSE(Atu_TotGeral(params("S", false)));
    EXPECT_TRUE(dialogs.empty());
}

// A process killed while it replaces the file leaves the old file or the new one, whole.
TEST_F(GrandTotalTest, AKilledWriteLeavesAWholeFile) {
    writeConfig(path, {FileRow().withGt("0")});
    const std::string printerFolder = folder + "/ecf";
    StopImpFiscal();
    for (int run = 0; run < 4; ++run) {
        SCOPED_TRACE(run);
        const PrinterFolder scratch("tiv-gt-scratch");
        // The child must not share this process's database connection.
        ASSERT_EQ(ECFSIM_OpenFolder(scratch.path.c_str()), 0);
        int fds[2];
        ASSERT_EQ(pipe(fds), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            close(fds[0]);
            tivhost::setDialogHandler({});
            if (ECFSIM_OpenFolder(printerFolder.c_str()) != 0 || !start(31)) _exit(2);
            for (int32_t n = 1;; ++n) {
                const std::string gt = "{\"gt\": " + std::to_string(n * 100) + "}";
                if (ECFSIM_SetCounters(gt.c_str()) != 0 || !Atu_TotGeral(params("N", false)))
                    _exit(3);
                if (write(fds[1], &n, sizeof n) != sizeof n) _exit(4);
            }
        }
        close(fds[1]);
        int32_t written = 0, n = 0;
        while (written < 3 + 7 * run && read(fds[0], &n, sizeof n) == sizeof n)
            written = n;
        kill(child, SIGKILL);
        int status = 0;
        waitpid(child, &status, 0);
        while (read(fds[0], &n, sizeof n) == sizeof n)
            written = n;
        close(fds[0]);
        ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended with " << WEXITSTATUS(status);
        // The last write told, or the one under way when the kill came.
        const std::string gt = storedGt(path);
        EXPECT_TRUE(gt == std::to_string(written) || gt == std::to_string(written + 1)) << gt;
    }
    ASSERT_EQ(ECFSIM_OpenFolder(printerFolder.c_str()), 0) << ECFSIM_LastError();
}

// --- The printer the till may use
// ---------------------------------------------------------------

class SerialCheckTest : public DriverTest {
  protected:
    void SetUp() override {
        DriverTest::SetUp();
        folderOfFile = folder + "/cad";
        fs::create_directories(folderOfFile);
        ASSERT_TRUE(start(31));
    }
    tiv::Variant params(bool uses, const std::string &hostSerial,
                        std::optional<std::string> dir = std::nullopt) const {
        return tiv::makeParams({{"UTILIZAIMPFIS", uses},
                                {"DSDIRCAD", dir ? *dir : folderOfFile + "/"},
                                {"ESQUEMACOR", "001"},
                                {"REV_NRSERIE_IMP", hostSerial}});
    }
    std::string folderOfFile;
};

TEST_F(SerialCheckTest, OnlyThePrinterOnFileAndOnRecordIsAccepted) {
    constexpr const char *kWrong =
        "ECF ou N\xFAmero de s\xE9rie da Impressora fiscal est\xE1 incorreto";
    struct Case {
        const char *name;
        const char *fileSerial; // nullptr: no file; "": a file cut short
        const char *hostSerial;
        const char *fault; // a fault on the printer data read
        bool result;
        std::vector<const char *> shown;
    };
    const Case cases[] = {
        {"the same printer everywhere", kPrinterSerial, kPrinterSerial, nullptr, true, {}},
        {"another printer on file", "EP0000000000000002", kPrinterSerial, nullptr, false, {kWrong}},
        {"another printer on record",
         kPrinterSerial,
         "EP0000000000000002",
         nullptr,
         false,
         {kWrong}},
        {"another printer on both", "X", "Y", nullptr, false, {kWrong, kWrong}},
        {"no file",
         nullptr,
         kPrinterSerial,
         nullptr,
         false,
         {"Arquivo de configura\xE7\xE3o da impressora fiscal n\xE3o encontrado."}},
        {"a file cut short",
         "",
         kPrinterSerial,
         nullptr,
         false,
         {"est\xE1 corrompido ou ileg\xEDvel"}},
        {"no answer from the printer",
         kPrinterSerial,
         kPrinterSerial,
         "comm",
         false,
         {"Erro de Comunica\xE7\xE3o com a impressora."}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const std::string file = folderOfFile + "/" + cf::kName;
        fs::remove(file);
        if (c.fileSerial && *c.fileSerial) writeConfig(file, {FileRow().withSerial(c.fileSerial)});
        if (c.fileSerial && !*c.fileSerial) {
            // A whole file cut in half, as a full disk or a copy stopped part-way leaves it.
            writeConfig(file, {FileRow()});
            const std::string whole = tiv::readFile(file);
            std::ofstream(file, std::ios::binary | std::ios::trunc)
                << whole.substr(0, whole.size() / 2);
        }
        if (c.fault) injectFault({{"kind", c.fault}, {"entry", "EPSON_Obter_Dados_Impressora"}});
        dialogs.clear();
        boClieUtil = true;
        EXPECT_EQ(VerificaSerialImp(params(true, c.hostSerial)), c.result);
        EXPECT_EQ(boClieUtil, c.result);
        ASSERT_EQ(dialogs.size(), c.shown.size());
        for (size_t i = 0; i < c.shown.size(); ++i) {
            EXPECT_TRUE(mentions(dialogs[i], c.shown[i])) << dialogs[i].text;
            EXPECT_EQ(dialogs[i].kind, 3);
        }
    }
    const auto log = logTexts();
    const auto at = std::find(log.begin(), log.end(), "EPSON_Obter_Dados_Impressora : \r");
    ASSERT_NE(at, log.end());
    EXPECT_EQ((at + 1)->rfind(std::string("Retorno da Impressora : ") + kPrinterSerial + "  ", 0),
              0u);
}

TEST_F(SerialCheckTest, NoPrinterNoQuestionAndTheFolderInAnyForm) {
    clearJournal();
    EXPECT_TRUE(VerificaSerialImp(params(false, "whatever")));
    EXPECT_TRUE(journal().empty()) << "no printer command when the till uses none";
    EXPECT_TRUE(dialogs.empty());

    writeConfig(folderOfFile + "/" + cf::kName, {FileRow{}});
    for (const std::string &dir : {folderOfFile + "/", folderOfFile, folderOfFile + "\\"}) {
        SCOPED_TRACE(dir);
        EXPECT_TRUE(VerificaSerialImp(params(true, kPrinterSerial, dir)));
    }
    // A self-service till in good standing is not interrupted, but still refused.
    boNUtilTaa = false;
    boClieUtil = true;
    EXPECT_FALSE(VerificaSerialImp(params(true, "EP9")));
    EXPECT_TRUE(dialogs.empty());
    // Parameters the host did not send: refused, never raised.
    EXPECT_FALSE(VerificaSerialImp(tiv::Variant("not a parameter array")));
}

} // namespace
