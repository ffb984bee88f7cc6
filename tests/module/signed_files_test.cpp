// The day's sales files of a range of days, each signed with the program's
// EAD record, against the virtual printer and the real signing library.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "../common/terminal.h"
#include "fixture.h"
#include "tivplatform/dataset.h"
#include "tivplatform/stringlist.h"
#include "tivplatform/system.h"
#include "vendor_entry_points.h"

namespace fs = std::filesystem;

namespace {

int countOf(const std::string &text, const std::string &what) {
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

tiv::Variant parametersPacket() {
    tiv::TClientDataSet ds("cdsParametros");
    ds.addFieldDef("CDFILIAL", tiv::FieldType::String, 4);
    ds.addFieldDef("CDCAIXA", tiv::FieldType::String, 3);
    ds.addFieldDef("NMFILIAL", tiv::FieldType::String, 20);
    ds.createDataSet();
    ds.append();
    ds.fieldByName("CDFILIAL").setAsString("0001");
    ds.fieldByName("CDCAIXA").setAsString("001");
    ds.fieldByName("NMFILIAL").setAsString("LOJA");
    ds.post();
    return ds.data();
}

class SignedFilesTest : public DriverTest {
  protected:
    void SetUp() override {
        DriverTest::SetUp();
        // The ESC/ECF family opens no fiscal day at start, so past days can
        // still be reduced into the fiscal memory.
        ASSERT_TRUE(start(33));
        dataDir = folder + "/datafiles";
        fs::create_directories(dataDir);
        useRegistry("PATH=" + dataDir + "\n");
        clearJournal();
    }
    void TearDown() override {
        unsetenv("TIV_LIBRARY_DIR");
        delete list;
        DriverTest::TearDown();
    }

    void useRegistry(const std::string &values) const {
        std::ofstream(folder + "/registry.ini")
            << "[HKEY_LOCAL_MACHINE\\SOFTWARE\\EPSON\\InterfaceEpson]\n"
            << values;
    }
    std::string dailyFile(const std::string &day) const {
        return dataDir + "/EP0001001" + day + "_CTP.txt";
    }
    // A Z reduction of `day` ("ddmmyyyy") in the fiscal memory: the printer
    // then has a file for that day. Days are reduced in order.
    void reduce(const std::string &day) const {
        const nlohmann::json z = {
            {"date", day.substr(4, 4) + "-" + day.substr(2, 2) + "-" + day.substr(0, 2)},
            {"day", {{"gross", 12345}}}};
        ASSERT_EQ(ECFSIM_RecordReduction(z.dump().c_str()), 0) << ECFSIM_LastError();
    }
    // The day's file as the printer writes it, asked for apart from the driver.
    std::string printersFile(const std::string &day) const {
        const std::string path = folder + "/reference" + day;
        EXPECT_EQ(EPSON_Obter_Dados_MF_MFD(day.c_str(), day.c_str(), 0, 0, 3, 0, path.c_str()), 0);
        return tiv::readFile(path + "_CTP.txt");
    }
    void answerNoFile(int at) const {
        injectFault({{"kind", "refuse"}, {"entry", "EPSON_Obter_Dados_MF_MFD"}, {"at", at}});
    }

    bool run(const std::string &first, const std::string &last) {
        delete list;
        list = nullptr;
        return GeraCatGenerica(
            tiv::Variant(std::vector<tiv::Variant>{parametersPacket(), first, last}), list);
    }
    std::vector<std::string> listed() const {
        std::vector<std::string> out;
        for (size_t i = 0; list && i < list->count(); ++i)
            out.push_back(list->at(i));
        return out;
    }
    // The arguments of each daily-file call the printer received.
    std::vector<nlohmann::json> fileCalls() const {
        std::vector<nlohmann::json> out;
        for (const auto &call : journal())
            if (call.at("entry") == "EPSON_Obter_Dados_MF_MFD") out.push_back(call.at("args"));
        return out;
    }
    std::vector<std::string> logWith(const std::string &text) const {
        std::vector<std::string> out;
        for (const auto &line : logTexts())
            if (line.find(text) != std::string::npos) out.push_back(line);
        return out;
    }

    // The file ends with one EAD record, and the openssl command opens its
    // signature with the program's published public key to 0x10, the MD5
    // digest of `content` and the 0xFF filler.
    void expectSignedOnce(const std::string &path, const std::string &content) const {
        const std::string file = tiv::readFile(path);
        ASSERT_EQ(file.size(), content.size() + 3 + 256 + 2) << path;
        EXPECT_EQ(file.substr(0, content.size()), content);
        EXPECT_EQ(file.substr(content.size(), 3), "EAD");
        EXPECT_EQ(countOf(file, "\nEAD"), 1); // one record line (the digits may hold "EAD")
        std::string signature;
        for (size_t i = 0; i < 256; i += 2)
            signature +=
                static_cast<char>(std::stoi(file.substr(content.size() + 3 + i, 2), nullptr, 16));
        std::ofstream(folder + "/content.bin", std::ios::binary) << content;
        std::ofstream(folder + "/signature.bin", std::ios::binary) << signature;
        const std::string cmd =
            "cd " + folder +
            " && openssl dgst -md5 -binary content.bin > digest.bin"
            " && openssl pkeyutl -verifyrecover -pubin -inkey " TIV_EAD_PUBLIC_KEY
            " -pkeyopt rsa_padding_mode:none -in signature.bin -out block.bin";
        ASSERT_EQ(std::system(cmd.c_str()), 0) << cmd;
        EXPECT_EQ(tiv::readFile(folder + "/block.bin"),
                  "\x10" + tiv::readFile(folder + "/digest.bin") + std::string(111, '\xFF'))
            << path;
    }

    std::string dataDir;
    tiv::TStringList *list = nullptr;
};

TEST_F(SignedFilesTest, ThreeDaysGiveThreeFilesEachSignedOnceAndListedInDayOrder) {
    const std::vector<std::string> days = {"30112026", "01122026", "02122026"};
    std::vector<std::string> contents;
    for (const auto &day : days) {
        reduce(day);
        contents.push_back(printersFile(day));
        ASSERT_TRUE(contents.back().starts_with("E01")) << contents.back();
    }
    clearJournal();
    EXPECT_TRUE(run("30/11/2026", "02/12/2026"));

    EXPECT_EQ(listed(), (std::vector<std::string>{dailyFile(days[0]), dailyFile(days[1]),
                                                  dailyFile(days[2])}));
    const auto calls = fileCalls();
    ASSERT_EQ(calls.size(), 3u);
    for (size_t i = 0; i < days.size(); ++i) {
        EXPECT_EQ(calls[i],
                  (nlohmann::json{days[i], days[i], 0, 0, 3, 0, dataDir + "/EP0001001" + days[i]}));
        expectSignedOnce(dailyFile(days[i]), contents[i]);
    }
    std::vector<std::string> expectedLog;
    for (const auto &day : days)
        for (const std::string &line :
             {"EPSON_Obter_Dados_MF_MFD - " + day + "0030 - Retorno: 0",
              "Gera Ead. Arquivo: " + dailyFile(day), std::string("Gerado Ead.")})
            expectedLog.push_back(line);
    std::vector<std::string> log;
    for (const auto &line : logTexts())
        if (line.starts_with("EPSON_Obter_Dados_MF_MFD") || line.starts_with("Gera"))
            log.push_back(line);
    EXPECT_EQ(log, expectedLog);
}

// 02/12 has no reduction: the printer answers 1 and its status says nothing
// is in the range, so the day is skipped. 03/12 has one, and a fault on its
// file call (or on what tells the two apart) is no day without movement: the
// range answers false and names the day. An answer lost after the printer
// wrote the file leaves a day like any other.
TEST_F(SignedFilesTest, ADayWithoutMovementIsSkippedAndAFailedDayIsNamed) {
    reduce("01122026");
    reduce("03122026");
    const std::string first = printersFile("01122026");
    const std::string third = printersFile("03122026");
    struct Case {
        const char *name;
        nlohmann::json fault;
        bool result;
        std::string failedDay; // named in stMensagemTaa, "" none
    };
    const std::string file = "EPSON_Obter_Dados_MF_MFD";
    const Case cases[] = {
        {"no fault", nullptr, true, ""},
        {"no answer", {{"kind", "noanswer"}, {"entry", file}, {"at", 3}}, false, "03/12/2026"},
        {"no answer, 2",
         {{"kind", "noanswer"}, {"entry", file}, {"at", 3}, {"return", 2}},
         false,
         "03/12/2026"},
        {"communication", {{"kind", "comm"}, {"entry", file}, {"at", 3}}, false, "03/12/2026"},
        {"refused", {{"kind", "refuse"}, {"entry", file}, {"at", 3}}, false, "03/12/2026"},
        // The file call is a query: a printer out of paper still answers it.
        {"out of paper", {{"kind", "paper"}, {"entry", file}, {"at", 3}}, true, ""},
        {"answer lost", {{"kind", "lost"}, {"entry", file}, {"at", 3}}, true, ""},
        // The query that clears the printer's last result fails once: asked again.
        {"clearing query",
         {{"kind", "comm"}, {"entry", "EPSON_Obter_Estado_Cupom"}, {"at", 2}},
         true,
         ""},
        // The status of 02/12 cannot be read: nothing tells it from a failure.
        {"status unread",
         {{"kind", "noanswer"}, {"entry", "EPSON_Obter_Estado_Impressora"}, {"at", 1}},
         false,
         "02/12/2026"},
    };
    std::ofstream(dailyFile("02122026")) << "an older file, not the printer's answer";
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(dailyFile("01122026"));
        fs::remove(dailyFile("03122026"));
        clearJournal();
        stMensagemTaa.clear();
        const size_t told = logWith("ERRO!!! GeraCatGenerica: arquivo do dia").size();
        if (!c.fault.is_null()) injectFault(c.fault);
        EXPECT_EQ(run("01/12/2026", "03/12/2026"), c.result);
        ECFSIM_ClearFaults();

        std::vector<std::string> expected{dailyFile("01122026")};
        if (c.failedDay != "03/12/2026") expected.push_back(dailyFile("03122026"));
        EXPECT_EQ(listed(), expected);
        expectSignedOnce(dailyFile("01122026"), first);
        if (c.failedDay != "03/12/2026") expectSignedOnce(dailyFile("03122026"), third);
        EXPECT_EQ(tiv::readFile(dailyFile("02122026")), "an older file, not the printer's answer");
        EXPECT_EQ(fileCalls().size(), 3u);
        if (c.failedDay.empty()) {
            EXPECT_EQ(stMensagemTaa, "");
        } else {
            EXPECT_NE(stMensagemTaa.find("GeraCatGenerica: arquivo do dia " + c.failedDay +
                                         " n\xE3o gerado"),
                      std::string::npos)
                << stMensagemTaa;
            EXPECT_EQ(logWith("ERRO!!! GeraCatGenerica: arquivo do dia").size(), told + 1);
        }
    }
}

TEST_F(SignedFilesTest, DatesWithOrWithoutSeparatorsAndRangesThatGiveNoDay) {
    struct Case {
        std::string first, last;
        std::vector<std::string> days; // asked of the printer, in order
    };
    const Case cases[] = {
        {"10/12/2026", "11/12/2026", {"10122026", "11122026"}},
        {"10122026", "11122026", {"10122026", "11122026"}},
        {"31122026", "01012027", {"31122026", "01012027"}},
        {"12/12/2026", "10/12/2026", {}}, // first after last
        {"10/12/2026", "11122026", {}},   // one of each form: neither reads
        {"31022026", "01032026", {}},     // no such day
        {"", "", {}},
    };
    for (const Case &c : cases) {
        clearJournal();
        ECFSIM_ClearFaults();
        injectFault(
            {{"kind", "refuse"}, {"entry", "EPSON_Obter_Dados_MF_MFD"}, {"persistent", true}});
        EXPECT_FALSE(run(c.first, c.last)) << c.first << " " << c.last;
        std::vector<std::string> asked;
        for (const auto &args : fileCalls())
            asked.push_back(args.at(0));
        EXPECT_EQ(asked, c.days) << c.first << " " << c.last;
        EXPECT_TRUE(listed().empty());
    }
}

// Standard error pointed at `fd` while `work` runs.
template <class Work> void withStandardError(int fd, Work work) {
    const int saved = ::dup(STDERR_FILENO);
    ASSERT_GE(saved, 0);
    ::dup2(fd, STDERR_FILENO);
    work();
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
}

TEST_F(SignedFilesTest, ARangeShowsItsDaysOnATerminalAndNothingElsewhere) {
    reduce("01122026");
    {
        RawTerminal terminal;
        ASSERT_TRUE(terminal.open());
        withStandardError(terminal.slave, [&] { EXPECT_TRUE(run("30/11/2026", "01/12/2026")); });
        EXPECT_EQ(terminal.drain(), "\rGeraCatGenerica: day 1 of 2: 30/11/2026\033[K"
                                    "\rGeraCatGenerica: day 2 of 2: 01/12/2026\033[K"
                                    "\r\033[K");
    }

    // Redirected to a file, as a host's log or a test run is: not a byte.
    const std::string path = folder + "/stderr.txt";
    const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ASSERT_GE(file, 0);
    withStandardError(file, [&] { EXPECT_TRUE(run("30/11/2026", "01/12/2026")); });
    ::close(file);
    EXPECT_EQ(tiv::readFile(path), "");
}

TEST_F(SignedFilesTest, TheFolderComesFromTheRegistryElseTheProgramsDrive) {
    struct Case {
        const char *registry; // nullptr: no registry file at all
        std::string folder;
    };
    const Case cases[] = {
        {"PATH=/srv/epson/files\n", "/srv/epson/files"},
        {nullptr, "/EPSON/InterfaceEpson/DataFiles"},
        {"OTHER=1\n", "/EPSON/InterfaceEpson/DataFiles"}, // the key without its value
    };
    for (const Case &c : cases) {
        fs::remove(folder + "/registry.ini");
        if (c.registry) useRegistry(c.registry);
        clearJournal();
        answerNoFile(1);
        EXPECT_FALSE(run("05/12/2026", "05/12/2026"));
        const auto calls = fileCalls();
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].at(6), c.folder + "/EP000100105122026")
            << (c.registry ? c.registry : "");
    }
}

TEST_F(SignedFilesTest, AFileTheSigningLibraryCouldNotSignIsLoggedAndLeftOffTheList) {
    struct Case {
        const char *variant;
        bool generateCalled;
        std::string why;
    };
    reduce("07122026");
    const Case cases[] = {
        {"sign-novalidate", false, "sign_bema.dll sem a funcao validateFile"},
        {"sign-failing", true, "generateEAD retornou -3"},
    };
    for (const Case &c : cases) {
        setenv("TIV_LIBRARY_DIR", (std::string(TIV_SIGN_VARIANTS_DIR "/") + c.variant).c_str(), 1);
        const std::string content = printersFile("07122026");
        fs::remove(dailyFile("07122026") + ".generateEAD-called");
        stMensagemTaa.clear();
        EXPECT_FALSE(run("07/12/2026", "07/12/2026")) << c.variant;
        EXPECT_TRUE(listed().empty()) << c.variant;
        // Never under the name the inspector is handed: set aside, as written.
        EXPECT_FALSE(fs::exists(dailyFile("07122026"))) << c.variant;
        EXPECT_EQ(tiv::readFile(dailyFile("07122026") + ".sem_ead"), content) << c.variant;
        EXPECT_NE(stMensagemTaa.find("GeraCatGenerica: arquivo do dia 07/12/2026 n\xE3o assinado "
                                     "(EAD); guardado como " +
                                     dailyFile("07122026") + ".sem_ead."),
                  std::string::npos)
            << stMensagemTaa;
        EXPECT_EQ(fs::exists(dailyFile("07122026") + ".generateEAD-called"), c.generateCalled)
            << c.variant;
        EXPECT_EQ(logWith("Ead nao gerado.").back(),
                  "Ead nao gerado. Arquivo: " + dailyFile("07122026") + " - " + c.why);
    }
    // The real library, handed what it cannot sign (a FIFO, through a link):
    // logged, and the link left as it was.
    unsetenv("TIV_LIBRARY_DIR");
    ASSERT_EQ(mkfifo((folder + "/fifo").c_str(), 0600), 0);
    fs::create_symlink(folder + "/fifo", folder + "/fifo-link");
    geraEad(folder + "/fifo-link");
    EXPECT_EQ(logWith("Ead nao gerado.").back(),
              "Ead nao gerado. Arquivo: " + folder + "/fifo-link - generateEAD retornou -1");
    EXPECT_TRUE(fs::is_symlink(folder + "/fifo-link"));
}

// What a signing killed part-way leaves ("NAME.eadXXXXXX" beside the file) is
// removed at the next run: every such file of this till's daily files, and
// the file's own when it is signed again. Files of another till, or of
// another name, stay.
TEST_F(SignedFilesTest, TemporaryFilesOfAKilledSigningAreRemovedAtTheNextRun) {
    reduce("10122026");
    const std::string content = printersFile("10122026");
    const std::vector<std::string> leftovers{dailyFile("10122026") + ".eadQ3x9Zk",
                                             dailyFile("01012026") + ".ead000000"};
    const std::vector<std::string> kept{dataDir + "/EP0002001" + "10122026_CTP.txt.eadQ3x9Zk",
                                        dailyFile("10122026") + ".eadlonger1",
                                        dailyFile("10122026") + ".sem_ead"};
    for (const auto &path : leftovers)
        std::ofstream(path) << std::string(4096, 'x');
    for (const auto &path : kept)
        std::ofstream(path) << "not ours";
    // The file whose signing was killed is unsigned: it leaves its name. One
    // that was signed since (it ends with its record) stays.
    std::ofstream(dailyFile("01012026"), std::ios::binary) << "E01 unsigned\r\n";
    const std::string signedDay = "E01 signed\r\nEAD" + std::string(256, 'A') + "\r\n";
    std::ofstream(dailyFile("02012026"), std::ios::binary) << signedDay;
    std::ofstream(dailyFile("02012026") + ".eadzzzzzz") << "half";
    EXPECT_TRUE(run("10/12/2026", "10/12/2026"));
    expectSignedOnce(dailyFile("10122026"), content);
    for (const auto &path : leftovers)
        EXPECT_FALSE(fs::exists(path)) << path;
    EXPECT_FALSE(fs::exists(dailyFile("02012026") + ".eadzzzzzz"));
    for (const auto &path : kept)
        EXPECT_EQ(tiv::readFile(path), "not ours") << path;
    EXPECT_FALSE(fs::exists(dailyFile("01012026")));
    EXPECT_EQ(tiv::readFile(dailyFile("01012026") + ".sem_ead"), "E01 unsigned\r\n");
    EXPECT_EQ(tiv::readFile(dailyFile("02012026")), signedDay);

    // geraEad on a file of its own name.
    const std::string own = folder + "/own.txt";
    std::ofstream(own, std::ios::binary) << "line\r\n";
    std::ofstream(own + ".eadAAAAAA") << "half a signing";
    geraEad(own);
    expectSignedOnce(own, "line\r\n");
    EXPECT_FALSE(fs::exists(own + ".eadAAAAAA"));
}

// A process writing and signing a large daily file again and again, killed
// as soon as its signing's temporary file is seen: whatever it leaves, the
// next run leaves no temporary file and the day's file signed once.
TEST_F(SignedFilesTest, NoTemporaryFileSurvivesAKilledSigningAndTheNextRun) {
    reduce("11122026");
    const std::string content = printersFile("11122026");
    const std::string day = dailyFile("11122026");
    auto temporaries = [&] {
        int n = 0;
        for (const auto &entry : fs::directory_iterator(dataDir))
            n += entry.path().filename().string().find(".ead") != std::string::npos;
        return n;
    };
    constexpr int kKills = 10;
    int leftBehind = 0;
    for (int kill = 0; kill < kKills; ++kill) {
        SCOPED_TRACE(kill);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // A file already signed is signed again without being rewritten:
            // each round signs the unsigned file afresh.
            for (;;) {
                std::ofstream(day, std::ios::binary) << std::string(8 << 20, 'x') << "\r\n";
                geraEad(day);
            }
        }
        const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
        while (temporaries() == 0 && std::chrono::steady_clock::now() < until) {
        }
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        leftBehind += temporaries();
        EXPECT_TRUE(run("11/12/2026", "11/12/2026"));
        EXPECT_EQ(temporaries(), 0);
        expectSignedOnce(day, content);
    }
    // The kills did leave what the run has to clear.
    EXPECT_GT(leftBehind, 0);
    std::cout << "[ kills    ] " << kKills << " kills, " << leftBehind
              << " temporary files left by them, none after the next run\n";
}

// A symbolic link is signed through: the file it points to gets the record,
// the link stays a link. A link to nothing is refused with a debug line.
TEST_F(SignedFilesTest, ASymbolicLinkIsSignedThroughAndNeverReplaced) {
    fs::create_directories(folder + "/real");
    const std::string target = folder + "/real/day.txt";
    const std::string content = "first line\r\nlast line\r\n";
    std::ofstream(target, std::ios::binary) << content;
    const std::string link = folder + "/day-link.txt";
    fs::create_symlink(target, link);
    geraEad(link);
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link), target);
    expectSignedOnce(target, content);

    const std::string dangling = folder + "/nothing-link.txt";
    fs::create_symlink(folder + "/missing.txt", dangling);
    geraEad(dangling);
    EXPECT_TRUE(fs::is_symlink(dangling));
    EXPECT_FALSE(fs::exists(folder + "/missing.txt"));
    ASSERT_FALSE(logWith("Ead nao gerado.").empty());
    EXPECT_TRUE(
        logWith("Ead nao gerado.")
            .back()
            .starts_with("Ead nao gerado. Arquivo: " + dangling + " - link simbolico sem arquivo"));
}

TEST_F(SignedFilesTest, GeraEadSignsAFileOnceHoweverOftenItIsCalled) {
    const std::string path = folder + "/any file.txt";
    const std::string content = "first line\r\nlast line\r\n";
    std::ofstream(path, std::ios::binary) << content;
    geraEad(path);
    geraEad(path);
    expectSignedOnce(path, content);
    EXPECT_TRUE(fileCalls().empty());
}

} // namespace
