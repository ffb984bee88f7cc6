// The driver's spine: start and stop, the return analysis, the debug log,
// the catalogue, port opening and the printer's clock and identity.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "core/data_module.h"
#include "fixture.h"
#include "tivplatform/datetime.h"

namespace fs = std::filesystem;

namespace {

bool contains(const std::vector<std::string> &v, const std::string &s) {
    return std::find(v.begin(), v.end(), s) != v.end();
}

int count(const std::vector<std::string> &v, const std::string &s) {
    return static_cast<int>(std::count(v.begin(), v.end(), s));
}

const std::string kComm = "Erro de comunica\xE7\xE3o.";
const std::string kExec = "Erro de execu\xE7\xE3o na fun\xE7\xE3o.";
const std::string kPaper = "Impressora fiscal sem papel.";

} // namespace

// --- Start and stop --------------------------------------------------------

TEST_F(DriverTest, StartBindsOpensThePortAndSwitchesTheFileOptionsOn) {
    ASSERT_TRUE(start(33));
    EXPECT_TRUE(boImpFiscalOK);
    EXPECT_NE(ImpFisDLLHandle, 0u);
    EXPECT_EQ(inTipoImpFis, 33);
    EXPECT_TRUE(boNUtilTaa);
    const auto calls = journalEntries();
    ASSERT_GE(calls.size(), 3u);
    EXPECT_EQ(calls.front(), "EPSON_Serial_Abrir_PortaEx");
    EXPECT_EQ(calls[calls.size() - 2], "EPSON_Config_Habilita_EAD");
    EXPECT_EQ(calls.back(), "EPSON_Config_Habilita_CAT52_Auto");
    EXPECT_EQ(journal().back().at("args"), nlohmann::json::array({1}));
}

TEST_F(DriverTest, SelfServiceStartTurnsDialogsOff) {
    ASSERT_TRUE(start(31, /*selfService=*/true));
    EXPECT_FALSE(boNUtilTaa);
}

TEST_F(DriverTest, LibraryLogRuleDependsOnTypeAndRegistry) {
    struct Case {
        int type;
        std::string registry; // contents of the registry file; empty: no file
        bool logged;
    };
    const std::string key =
        "[HKEY_LOCAL_MACHINE\\Software\\TOLVERA\\Sistemas Integrados Tolvera\\Quorin]\n";
    const Case cases[] = {
        {33, "", false},
        {33, key + "EpLog=1\n", true},
        {33, key + "eplog=0\n", false},
        {33, key + "Other=1\n", false},
        {31, "", true},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.registry);
        StopImpFiscal();
        fs::remove(folder + "/registry.ini");
        if (!c.registry.empty()) std::ofstream(folder + "/registry.ini") << c.registry;
        clearJournal();
        ASSERT_TRUE(start(c.type));
        bool logged = false;
        for (const auto &call : journal())
            if (call.at("entry") == "EPSON_Sys_Log") {
                logged = true;
                EXPECT_EQ(call.at("args"), nlohmann::json::array({"C:\\EPSON", 1}));
            }
        EXPECT_EQ(logged, c.logged);
    }
}

TEST_F(DriverTest, UnknownPrinterTypeIsRefusedWithANoticeAndNothingBound) {
    EXPECT_FALSE(start(32));
    EXPECT_EQ(ImpFisDLLHandle, 0u);
    EXPECT_FALSE(boImpFiscalOK);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_NE(dialogs[0].text.find("32"), std::string::npos);
    EXPECT_EQ(dialogs[0].askMark, "N");
    EXPECT_TRUE(journalEntries().empty());
}

TEST_F(DriverTest, UnreadableParametersShowTheNoticeAndKeepThePreviousValues) {
    ASSERT_TRUE(start(33, /*selfService=*/true));
    StopImpFiscal();
    dialogs.clear();
    // The start goes on and loads the library; opening the port reads the
    // same array, and that error reaches the host.
    EXPECT_THROW(StartImpFiscal(tiv::Variant("not a parameter array")), tiv::Error);
    EXPECT_NE(ImpFisDLLHandle, 0u);
    ASSERT_EQ(dialogs.size(), 1u);
    // The operator reads the reason in Portuguese; the host library's own text is logged.
    EXPECT_EQ(dialogs[0].text,
              "Arquivo ou dados necess\xE1rios ausentes ou inv\xE1lidos. Detalhes no log de "
              "depura\xE7\xE3o.\rErro no recebimento dos par\xE2metros da fun\xE7\xE3o: "
              "StartImpFiscal - Tiv_02000.bpl");
    const std::vector<std::string> log = logTexts();
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string &line) {
        return line.starts_with("ERRO!!! StartImpFiscal: parameter \"");
    }));
    EXPECT_EQ(dialogs[0].kind, 3);
    EXPECT_EQ(inTipoImpFis, 33);
    EXPECT_FALSE(boNUtilTaa);
}

TEST_F(DriverTest, StartAfterStopLoadsTheLibraryAgain) {
    ASSERT_TRUE(start(33));
    StopImpFiscal();
    EXPECT_EQ(ImpFisDLLHandle, 0u);
    std::string clock;
    EXPECT_THROW(Data_Imp("001", clock), tiv::Error); // nothing bound: an error, not a crash
    ASSERT_TRUE(start(33));
    EXPECT_NE(ImpFisDLLHandle, 0u);
    EXPECT_TRUE(Data_Imp("001", clock));
}

// A variant printer library, kept loaded for the whole run (unloading it
// would strand its printer's state, which the leak checker then reports),
// its printer moved to a folder of its own so that it answers at once
// instead of waiting for the folder the test's printer holds. The driver's
// own load of the same path gets this copy.
struct VariantPrinter {
    explicit VariantPrinter(const std::string &dir, const std::string &folder) {
        handle = dlopen((dir + "/libInterfaceEpson.so").c_str(), RTLD_NOW | RTLD_NODELETE);
        if (!handle) return;
        using OpenFolder = int32_t (*)(const char *);
        auto open = reinterpret_cast<OpenFolder>(dlsym(handle, "ECFSIM_OpenFolder"));
        auto clear = reinterpret_cast<int32_t (*)()>(dlsym(handle, "ECFSIM_ClearJournal"));
        ready = open && clear && open(folder.c_str()) == 0 && clear() == 0;
        setenv("TIV_LIBRARY_DIR", dir.c_str(), 1);
    }
    ~VariantPrinter() { unsetenv("TIV_LIBRARY_DIR"); }
    nlohmann::json journal() const {
        auto read = reinterpret_cast<const char *(*)()>(dlsym(handle, "ECFSIM_Journal"));
        return nlohmann::json::parse(read());
    }
    void *handle = nullptr;
    bool ready = false;
};

TEST_F(DriverTest, LibraryLackingOneEscEcfNameRefusesType33AndStartsType31) {
    VariantPrinter copy(TIV_NOESC_DIR, folder + "/noesc-printer");
    ASSERT_TRUE(copy.ready);
    const bool started33 = start(33);
    const auto handleAfter33 = ImpFisDLLHandle;
    EXPECT_FALSE(started33);
    EXPECT_EQ(handleAfter33, 0u); // released: nothing stays bound
    EXPECT_TRUE(copy.journal().empty()) << "a refused start calls nothing";

    EXPECT_TRUE(start(31));
    // The copy's printer really answered the opening of the port.
    const nlohmann::json calls = copy.journal();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.at(0).at("entry"), "EPSON_Serial_Abrir_PortaEx");
    EXPECT_EQ(calls.at(0).at("return"), 0);
    EXPECT_EQ(calls.at(0).at("result"), "0000");
}

// A classic name is bound with either family: both starts are refused and
// nothing stays bound.
TEST_F(DriverTest, LibraryLackingOneClassicNameRefusesBothTypes) {
    VariantPrinter copy(TIV_NOVERSION_DIR, folder + "/noversion-printer");
    ASSERT_TRUE(copy.ready);
    for (int type : {31, 33}) {
        dialogs.clear();
        EXPECT_FALSE(start(type)) << type;
        EXPECT_EQ(ImpFisDLLHandle, 0u) << type;
        EXPECT_TRUE(dialogs.empty()) << type;
    }
    EXPECT_TRUE(copy.journal().empty());
}

TEST_F(DriverTest, DataModuleIsCreatedOnceAndHoldsBothCatalogues) {
    ASSERT_TRUE(start(31));
    auto *first = dtmEpson2000;
    ASSERT_NE(first, nullptr);
    ASSERT_TRUE(start(31));
    EXPECT_EQ(dtmEpson2000, first);
    EXPECT_EQ(first->msgPadrao.lines().size(), 218u);
    EXPECT_EQ(first->msgPadrao2.lines().size(), 42u);
    const struct {
        const char *key;
        std::string text;
    } keys[] = {
        {"Datadif", "Data da impressora fiscal difere da data do sistema em mais de 15 minutos."},
        {"DataDif", "Data da impressora fiscal difere da data do sistema em mais de 15 minutos."},
        {"Filial", "Filial"},
        {"RELATORIO", "Relatorios"},
        {"CDCLIE", "Cliente: "},
        {"Nome", "NOME"},
        {"Imp_N_Resp", "Impressora n\xE3o responde. Imprimir novamente?"},
    };
    for (const auto &k : keys)
        EXPECT_EQ(first->msgPadrao.Msg(k.key), k.text) << k.key;
    EXPECT_EQ(first->msgPadrao2.Msg("SALDO_FIN"), "Saldo Final : %s");
    EXPECT_EQ(
        first->msgPadrao2.Msg("ConfRedZ").rfind("Deseja realmente imprimir a redu\xE7\xE3o Z", 0),
        0u);
}

TEST_F(DriverTest, FinalizeEmptiesTheTwoTexts) {
    stMensagemTaa = " erro";
    stImpDebug = "trace";
    Finalize();
    EXPECT_TRUE(stMensagemTaa.empty());
    EXPECT_TRUE(stImpDebug.empty());
}

// --- Return analysis, seen through the clock query ----------------------

struct AnalysisCase {
    const char *name;
    nlohmann::json faults;
    bool verdict;
    std::vector<std::string> reported; // texts appended, logged and shown, in order
    bool paymentAlreadyDefined = false;
    const char *refusal = nullptr; // the log's line naming the refused command's code
};

class ReturnAnalysisTest : public DriverTest, public ::testing::WithParamInterface<AnalysisCase> {};

TEST_P(ReturnAnalysisTest, ReportsEachConditionInOrder) {
    const auto &c = GetParam();
    for (bool show : {true, false}) {
        SCOPED_TRACE(show ? "shown" : "silent");
        ASSERT_TRUE(start(33));
        boNUtilTaa = show;
        boClieUtil = !show;
        stMensagemTaa.clear();
        dialogs.clear();
        const auto before = logLines().size();
        for (const auto &f : c.faults)
            injectFault(f);

        std::string clock;
        EXPECT_EQ(Data_Imp("001", clock), c.verdict);

        std::string appended;
        for (const auto &r : c.reported)
            appended += " " + r;
        EXPECT_EQ(stMensagemTaa, appended);
        auto texts = logTexts();
        texts.erase(texts.begin(), texts.begin() + static_cast<long>(before));
        std::vector<std::string> errors;
        for (const auto &t : texts)
            if (t.rfind("ERRO!!! ", 0) == 0) errors.push_back(t.substr(8));
        std::vector<std::string> expected = c.reported;
        if (c.paymentAlreadyDefined) expected.push_back("Meio de pagamento ja definido");
        if (std::string(c.name) == "blank") expected = {kComm + " - erro na convers\xE3o"};
        EXPECT_EQ(errors, expected);
        std::vector<std::string> refusals;
        for (const auto &t : texts)
            if (t.starts_with("Impressora recusou o comando: ")) refusals.push_back(t);
        EXPECT_EQ(refusals,
                  c.refusal ? std::vector<std::string>{c.refusal} : std::vector<std::string>{});
        std::vector<std::string> shown;
        for (const auto &d : dialogs)
            shown.push_back(d.text);
        EXPECT_EQ(shown, show ? c.reported : std::vector<std::string>{});
        ECFSIM_ClearFaults();
        StopImpFiscal();
    }
}

const nlohmann::json kStatus = {{"kind", "status"}, {"entry", "EPSON_Obter_Estado_Impressora"}};

nlohmann::json statusAt(int position, const char *text) {
    auto f = kStatus;
    f["position"] = position;
    f["text"] = text;
    return f;
}

INSTANTIATE_TEST_SUITE_P(
    Conditions, ReturnAnalysisTest,
    ::testing::Values(
        AnalysisCase{"clean", nlohmann::json::array(), true, {}},
        AnalysisCase{"comm2", {statusAt(5, "0002")}, false, {kComm}},
        AnalysisCase{"comm4", {statusAt(5, "0004")}, false, {kComm}},
        AnalysisCase{"comm5", {statusAt(5, "0005")}, false, {kComm}},
        AnalysisCase{"comm3", {statusAt(5, "0003")}, true, {}},
        AnalysisCase{
            "execution",
            {{{"kind", "refuse"}, {"entry", "EPSON_Obter_Hora_Relogio"}, {"code", "0601"}}},
            false,
            {kExec},
            false,
            "Impressora recusou o comando: 0601 - Comando recusado pela impressora."},
        AnalysisCase{"paper", {statusAt(9, "0002")}, false, {kPaper}},
        AnalysisCase{"commAndPaper", {statusAt(5, "00020002")}, false, {kComm, kPaper}},
        AnalysisCase{"paymentUpper", {statusAt(17, "050D")}, false, {}, true},
        AnalysisCase{"paymentLower", {statusAt(17, "050d")}, false, {}, true},
        // A code the list does not hold is still named; the verdict is the other checks'.
        AnalysisCase{"unknownCode",
                     {statusAt(17, "0a0b")},
                     true,
                     {},
                     false,
                     "Impressora recusou o comando: 0A0B - c\xF3"
                     "digo desconhecido."},
        AnalysisCase{"blank",
                     {{{"kind", "noanswer"}, {"entry", "EPSON_Obter_Estado_Impressora"}}},
                     false,
                     {kComm}}),
    [](const auto &info) { return std::string(info.param.name); });

// --- Port opening ------------------------------------------------------------

TEST_F(DriverTest, AbrePortaCancelsAReceiptOnlyForTheOpenReceiptState) {
    const struct {
        const char *word;
        bool cancels;
    } cases[] = {{"0001", true},  {"8001", true},  {"4C81", true}, {"0081", true},
                 {"0003", false}, {"0101", false}, {"2001", false}};
    ASSERT_TRUE(start(33));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.word);
        clearJournal();
        injectFault(statusAt(13, c.word));
        EXPECT_TRUE(AbrePorta(startParams(33)));
        EXPECT_EQ(contains(journalEntries(), "EPSON_Fiscal_Cancelar_Cupom"), c.cancels);
    }
}

TEST_F(DriverTest, AbrePortaClosesOpenDocumentsWithTheFamilyCalls) {
    ASSERT_TRUE(start(33));
    clearJournal();
    ASSERT_TRUE(AbrePorta(startParams(33)));
    EXPECT_EQ(journalEntries(),
              (std::vector<std::string>{
                  "EPSON_Serial_Abrir_PortaEx", "EPSON_ESC_ECF_NaoFiscal_Fechar_ComprovanteEX",
                  "EPSON_ESC_ECF_NaoFiscal_Fechar_CCD_RGEX", "EPSON_Obter_Estado_Impressora"}));
    StopImpFiscal();
    ASSERT_TRUE(start(31));
    clearJournal();
    ASSERT_TRUE(AbrePorta(startParams(31)));
    EXPECT_EQ(journalEntries(),
              (std::vector<std::string>{"EPSON_Serial_Abrir_PortaEx", "EPSON_Obter_Dados_Jornada",
                                        "EPSON_NaoFiscal_Fechar_Comprovante",
                                        "EPSON_NaoFiscal_Fechar_Relatorio_Gerencial",
                                        "EPSON_Obter_Estado_Impressora"}));
}

TEST_F(DriverTest, OnlyTheClassicFamilyOpensTheFiscalDayAtStart) {
    ASSERT_TRUE(start(33));
    EXPECT_EQ(count(journalEntries(), "EPSON_RelatorioFiscal_Abrir_Dia"), 0);
    StopImpFiscal();
    clearJournal();
    ASSERT_TRUE(start(31));
    EXPECT_EQ(count(journalEntries(), "EPSON_RelatorioFiscal_Abrir_Dia"), 1);
    clearJournal();
    ASSERT_TRUE(AbrePorta(startParams(31))); // the day is open now
    EXPECT_EQ(count(journalEntries(), "EPSON_RelatorioFiscal_Abrir_Dia"), 0);
}

// --- Clock and movement date -----------------------------------------------

TEST_F(DriverTest, ClockToleranceIsFifteenMinutesReadAsHoursAndMinutes) {
    const struct {
        int64_t shiftSeconds;
        bool passes;
    } cases[] = {{0, true},
                 {-15 * 60, true},
                 {-16 * 60, false},
                 {-62 * 60, false},
                 // The printer's seconds are ignored: 17 minutes ahead reads 16.
                 {17 * 60, false}};
    ASSERT_TRUE(start(33));
    for (const auto &c : cases) {
        SCOPED_TRACE(c.shiftSeconds);
        // Keep away from a minute's end so the printer's whole minutes match.
        while (tiv::decodeTime(tiv::now()).second >= 55)
            usleep(200000);
        resetPrinter();
        ASSERT_EQ(ECFSIM_ShiftClock(c.shiftSeconds), 0);
        dialogs.clear();
        tiv::TDateTime movement = 0;
        EXPECT_EQ(VerificaData("001", movement, "", "", true), c.passes);
        EXPECT_EQ(dialogs.size(), c.passes ? 0u : 1u);
        if (!c.passes) {
            EXPECT_EQ(dialogs[0].text,
                      "Data da impressora fiscal difere da data do sistema em mais de 15 minutos.");
        }
        EXPECT_EQ(movement, tiv::today());
    }
}

TEST_F(DriverTest, MovementDateComesFromTheFiscalDate) {
    ASSERT_TRUE(start(33));
    tiv::TDateTime movement = 0;
    EXPECT_TRUE(VerificaData("001", movement, "", "05122026", false));
    EXPECT_EQ(movement, tiv::encodeDate(2026, 12, 5));
    EXPECT_TRUE(VerificaData("001", movement, "", "", false));
    EXPECT_EQ(movement, tiv::today());
    // An impossible date falls back to today and keeps the verdict.
    EXPECT_TRUE(VerificaData("001", movement, "", "32132026", false));
    EXPECT_EQ(movement, tiv::today());
}

TEST_F(DriverTest, UnreadableClockClearsTheClientFlag) {
    ASSERT_TRUE(start(33));
    boClieUtil = true;
    injectFault({{"kind", "refuse"}, {"entry", "EPSON_Obter_Hora_Relogio"}});
    tiv::TDateTime movement = 12345;
    EXPECT_FALSE(VerificaData("001", movement, "", "05122026", true));
    EXPECT_FALSE(boClieUtil);
    EXPECT_EQ(movement, 12345); // unchanged on this path
}

// --- Printer identity --------------------------------------------------------

TEST_F(DriverTest, CarregaDadosImpressoraReturnsTheFivePairs) {
    resetPrinter({{"serial", "EP0123456789012345"}, {"ecf", "007"}});
    ASSERT_TRUE(start(31)); // opens the fiscal day
    tiv::Variant params = tiv::makeParams({{"ESQUEMA", "001"},
                                           {"DATAATUIMP", ""},
                                           {"ECFIMP", "001"},
                                           {"REDIMP", "41"},
                                           {"SERIEIMP", "OLD"},
                                           {"DATAIMP", ""}});
    ASSERT_TRUE(Carrega_Dados_Impressora(params));
    ASSERT_EQ(params.size(), 5u);
    const char *names[] = {"DATAATUIMP", "ECFIMP", "REDIMP", "SERIEIMP", "DATAIMP"};
    for (size_t i = 0; i < 5; ++i)
        EXPECT_EQ(params.at(i).at(0).toString(), names[i]);
    EXPECT_EQ(params.at(1).at(1).toString(), "007");
    EXPECT_EQ(params.at(2).at(1).toString(), "41");
    EXPECT_EQ(params.at(3).at(1).toString(), "EP0123456789012345  ");
    EXPECT_EQ(params.at(4).at(1).toString(), tiv::formatDateTime("ddmmyyyy", tiv::today()));
    EXPECT_EQ(params.at(0).at(1).toString().substr(0, 8),
              tiv::formatDateTime("ddmmyyyy", tiv::today()));
}

TEST_F(DriverTest, BlankFiscalDaySkipsTheLaterQueries) {
    ASSERT_TRUE(start(33));
    clearJournal();
    injectFault({{"kind", "noanswer"}, {"entry", "EPSON_Obter_Data_Hora_Jornada"}});
    tiv::Variant params = tiv::makeParams({{"ESQUEMA", "001"},
                                           {"ECFIMP", "0012345"},
                                           {"REDIMP", "41"},
                                           {"SERIEIMP", "SERIE-DO-HOST-COM-MAIS-DE-20"}});
    EXPECT_FALSE(Carrega_Dados_Impressora(params));
    const auto calls = journalEntries();
    EXPECT_FALSE(contains(calls, "EPSON_Obter_Hora_Relogio"));
    EXPECT_FALSE(contains(calls, "EPSON_Obter_Numero_ECF_Loja"));
    EXPECT_FALSE(contains(calls, "EPSON_Obter_Dados_Impressora"));
    EXPECT_EQ(params.at(0).at(1).toString(), "");
    EXPECT_EQ(params.at(1).at(1).toString(), "001");
    EXPECT_EQ(params.at(3).at(1).toString(), "SERIE-DO-HOST-COM-MA");
}

// --- Debug log ---------------------------------------------------------------

TEST_F(DriverTest, DebugLogIsOneFilePerMonthAppendedEntryByEntry) {
    const tiv::TDateTime lastSecondOf2026 = tiv::encodeDateTime(2026, 12, 31, 23, 59, 58);
    tiv::setClockShift(lastSecondOf2026 - tiv::systemNow());
    ImpFisDebug("first");
    ImpFisDebug("second\r\nline");
    tiv::setClockShift(lastSecondOf2026 + 2.0 / 86400 + 1.0 / 86400 - tiv::systemNow());
    ImpFisDebug("new month");
    tiv::setClockShift(0);

    std::ifstream december(programDir + "/impdebug1226.txt", std::ios::binary);
    std::string all((std::istreambuf_iterator<char>(december)), {});
    EXPECT_EQ(all.substr(0, 22), "31/12/2026 23:59:58 - ");
    EXPECT_NE(all.find("first\n"), std::string::npos);
    EXPECT_NE(all.find("second\r\nline\n"), std::string::npos);
    EXPECT_EQ(all.find("new month"), std::string::npos);
    std::ifstream january(programDir + "/impdebug0127.txt", std::ios::binary);
    std::string next((std::istreambuf_iterator<char>(january)), {});
    EXPECT_EQ(next.substr(0, 11), "01/01/2027 ");
    EXPECT_NE(next.find(" - new month\n"), std::string::npos);
}

TEST_F(DriverTest, UnwritableDebugLogNeverFailsAnOperation) {
    ASSERT_TRUE(start(33));
    // The program folder is a file: no log can be created under it.
    const std::string blocked = folder + "/blocked";
    std::ofstream(blocked) << "x";
    setenv("TIV_PROGRAM_DIR", blocked.c_str(), 1);
    testing::internal::CaptureStderr();
    std::string clock;
    const bool first = Data_Imp("001", clock);
    const bool second = Data_Imp("001", clock);
    const std::string err = testing::internal::GetCapturedStderr();
    setenv("TIV_PROGRAM_DIR", programDir.c_str(), 1);
    EXPECT_TRUE(first);
    EXPECT_TRUE(second);
    EXPECT_NE(err.find("debug log"), std::string::npos);
    // Reported once, not at every entry.
    EXPECT_EQ(err.find("debug log"), err.rfind("debug log"));
}
