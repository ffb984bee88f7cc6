#include "script_runner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "debug_log_watch.h"
#include "tivhost/host.h"

namespace {

using tivtool::Json;

class ScriptTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        module_ = new tivtool::Module(TIV_FAKE_MODULE);
        std::string why;
        printer_ = tivtool::PrinterControl::open(TIV_FAKE_PRINTER, "", why).release();
        ASSERT_NE(printer_, nullptr) << why;
    }
    static void TearDownTestSuite() {
        delete printer_;
        delete module_;
    }
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("tiv-tools-" + std::to_string(::getpid()) + "-" +
                   ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
        setenv("TIV_PROGRAM_DIR", folder_.c_str(), 1);
        reinterpret_cast<void (*)()>(module_->symbol("FakeModule_Clear"))();
    }
    void TearDown() override {
        unsetenv("TIV_PROGRAM_DIR");
        std::filesystem::remove_all(folder_);
    }

    static std::string received() {
        return reinterpret_cast<const char *(*)()>(module_->symbol("FakeModule_Received"))();
    }
    Json run(const Json &script, bool &failed, tivtool::PrinterControl *printer = printer_) {
        tivtool::ScriptRunner runner(*module_, printer);
        return runner.run(script, failed);
    }
    Json runOk(const Json &script) {
        bool failed = true;
        Json t = run(script, failed);
        EXPECT_FALSE(failed) << t.dump(2);
        return t;
    }

    static tivtool::Module *module_;
    static tivtool::PrinterControl *printer_;
    std::filesystem::path folder_;
};

tivtool::Module *ScriptTest::module_ = nullptr;
tivtool::PrinterControl *ScriptTest::printer_ = nullptr;

struct CallCase {
    const char *step;     // one call step
    const char *received; // what the procedure got (Windows-1252)
    const char *shown;    // members the transcript must hold, with these values
};

TEST_F(ScriptTest, EveryArgumentShapeReachesTheProcedureAndComesBack) {
    const CallCase cases[] = {
        {R"({"call": "VerificaData", "args": ["001", {"out": {"datetime": "2026-12-10 00:00:00"}},
             "101220261430", "101226", true]})",
         "VerificaData|001|2026-12-10 00:00:00|101220261430|101226|true",
         R"({"return": true, "out": {"movementDate": {"datetime": "2026-12-11 00:00:00"}}})"},
        {R"({"call": "VerificaData", "args": ["", {"out": 46000.5}, "", "", false]})",
         "VerificaData||2025-12-09 12:00:00|||false",
         R"({"return": false, "out": {"movementDate": {"datetime": "2025-12-10 12:00:00"}}})"},
        {R"({"call": "Carrega_Dados_Impressora", "args": [{"ESQUEMA": "001", "EXTRA": 5}]})",
         "Carrega_Dados_Impressora|[['ESQUEMA','001'],['EXTRA',i:5]]",
         R"({"return": true, "out": {"params": {"DATAATUIMP": "10122026143000", "ECFIMP": "001"}}})"},
        {R"({"call": "Carrega_Dados_Impressora", "args": [[["B", 1], ["A", 2.5]]]})",
         "Carrega_Dados_Impressora|[['B',i:1],['A',r:2.5]]", R"({"return": true})"},
        {R"({"call": "FechaCupom", "args": [["x", null, "", {"datetime": "2026-12-10 14:30:00"},
             true, null, 1, 2.5], ["L1", "\u00e7"], {"result": 4}]})",
         "FechaCupom|['x',empty,'',d:2026-12-10 14:30:00,b:true,empty,i:1,r:2.5]|(L1,\xE7)|"
         "[empty,empty,empty,empty]",
         R"({"return": false, "out": {"result": [1, null, null, " Impressora fiscal sem papel\u00e7"]},
             "dialogs": [{"text": "Confirma o fechamento?", "askMark": "S", "kind": 1, "answer": false}]})"},
        {R"({"call": "FechaCupom", "args": [[], null, {"result": 4}]})",
         "FechaCupom|[]|absent|[empty,empty,empty,empty]", R"({"return": false})"},
        {R"({"call": "GeraCatGenerica", "args": [["x", "01/12/2026", "02/12/2026"], null]})",
         "GeraCatGenerica|['x','01/12/2026','02/12/2026']|absent",
         R"({"return": true, "out": {"fileList": ["/tmp/a.txt", "/tmp/b.txt"]}})"},
        {R"({"call": "GeraCatGenerica", "args": [["x", "01/12/2026", "02/12/2026"], ["old"]]})",
         "GeraCatGenerica|['x','01/12/2026','02/12/2026']|(old)",
         R"({"out": {"fileList": ["/tmp/a.txt", "/tmp/b.txt"]}})"},
        {R"({"call": "CarregaAliquota", "args": ["001", {"fields": [{"name": "CDALIQ", "size": 2}],
             "rows": [["Ta"], {"CDALIQ": "Tc"}]}]})",
         "CarregaAliquota|001|{<Ta><Tc>}",
         R"({"out": {"taxRates": {"fields": [{"name": "CDALIQ", "type": "string", "size": 2}],
             "rows": [["Ta"], ["Tc"], ["Tb"]]}}})"},
        {R"({"call": "CarregaAliquota", "args": ["001", null]})", "CarregaAliquota|001|absent",
         R"({"out": {"taxRates": null}})"},
        {R"({"call": "Cancela_ItGenerico", "args": ["001", "item", "\u00e7", "\u20ac", "a", "",
             "", "", "\ud83d\ude00", 1.5, 2]})",
         "Cancela_ItGenerico|001|item|231.|8364.|97.||||128512.|1.5|2", R"({"return": false})"},
        {R"({"call": "Nr_Cupom", "args": ["", "001"]})", "Nr_Cupom||001",
         R"({"return": "00012\u00e7"})"},
        {R"({"call": "DataMoviFiscal", "args": ["002"]})", "DataMoviFiscal|002",
         R"({"return": {"datetime": "2026-12-10 14:30:00"}})"},
        {R"({"call": "GetValue", "args": ["3"]})", "GetValue|3", R"({"return": 12.5})"},
        {R"({"call": "GetValue", "args": [""]})", "GetValue|",
         R"({"exception": "'' is not a valid floating point value"})"},
        {R"({"call": "Relatorio_Produto", "args": ["", "D", "EP01", "01", "02", {"out": "x"},
             {"fields": [{"name": "CDPRODUTO"}, {"name": "CDPRODIMPFIS"}, {"name": "NMPRODUTO"},
             {"name": "QTPRODVEND"}, {"name": "VRTOTAL"}, {"name": "VRACRE"}, {"name": "VRDESC"},
             {"name": "IDTPIMPOSFIS"}, {"name": "VRPEALIMPFIS"}], "rows": [["p", "", "P", "1", "2",
             "0", "0", "T", "18"]]}, "N", "S", "001", {"out": false}]})",
         "Relatorio_Produto|D|x|{<p,,P,1,2,0,0,T,18>}|001|false",
         R"({"out": {"reportNumber": "000042", "reportOpen": true}})"},
        {R"({"call": "StopImpFiscal"})", "StopImpFiscal", R"({"dialogs": [], "log": []})"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.step);
        reinterpret_cast<void (*)()>(module_->symbol("FakeModule_Clear"))();
        const Json t = runOk(Json::array({Json::parse(c.step)}));
        EXPECT_EQ(received(), std::string(c.received) + "\n");
        ASSERT_EQ(t["steps"].size(), 1u);
        const Json &step = t["steps"][0];
        const Json shown = Json::parse(c.shown);
        for (const auto &[key, value] : shown.items())
            EXPECT_EQ(step[key], value) << key << " in " << step.dump();
    }
}

TEST_F(ScriptTest, ProceduresWithoutAResultShowNone) {
    const Json t = runOk(Json::parse(R"([{"call": "StopImpFiscal", "args": []},
                                          {"call": "CarregaAliquota", "args": ["", null]}])"));
    EXPECT_FALSE(t["steps"][0].contains("return"));
    EXPECT_FALSE(t["steps"][0].contains("out"));
    EXPECT_FALSE(t["steps"][1].contains("return"));
    EXPECT_EQ(t["steps"][1]["step"], 2);
}

TEST_F(ScriptTest, DebugLogLinesOfEachCallInUtf8) {
    // Lines already in the file belong to nobody's call.
    std::ofstream(tivtool::DebugLogWatch::currentPath()) << "10/12/2026 08:00:00 - before\n";
    const Json t = runOk(Json::parse(R"([{"call": "Carrega_Dados_Impressora", "args": [{}]},
                                          {"call": "StopImpFiscal"}])"));
    const Json &lines = t["steps"][0]["log"];
    ASSERT_EQ(lines.size(), 2u) << lines.dump();
    EXPECT_NE(lines[0].get<std::string>().find(" - EPSON_Obter_Numero_ECF_Loja"),
              std::string::npos);
    EXPECT_NE(lines[1].get<std::string>().find("Retorno da Impressora : 001 opera\u00e7\u00e3o"),
              std::string::npos);
    EXPECT_EQ(t["steps"][1]["log"], Json::array());
}

TEST_F(ScriptTest, DialogsTakeQueuedAnswersThenNo) {
    const Json t = runOk(Json::parse(R"([{"answers": [true]},
        {"call": "FechaCupom", "args": [[], null, {"result": 4}]},
        {"call": "FechaCupom", "args": [[], null, {"result": 4}]},
        {"answers": [false, true]}])"));
    EXPECT_EQ(t["steps"][1]["return"], true);
    EXPECT_EQ(t["steps"][1]["dialogs"][0]["answer"], true);
    EXPECT_EQ(t["steps"][2]["return"], false);
    EXPECT_EQ(t["steps"][2]["dialogs"][0]["answer"], false);
    EXPECT_EQ(t["unusedAnswers"], Json::parse("[false, true]"));
}

TEST_F(ScriptTest, JournalAndPaperOfEachCallAndPrinterControls) {
    const Json t = runOk(Json::parse(R"([
        {"ecfsim": "Reset", "args": [{"serial": "EP01"}]},
        {"call": "Leitura_X_Imp", "args": ["EP01", "", "001", ""]},
        {"call": "StopImpFiscal"},
        {"ecfsim": "State"},
        {"ecfsim": "InjectFault", "args": [{"kind": "paper"}]},
        {"ecfsim": "PaperSince", "args": [0]}])"));
    const Json &x = t["steps"][1];
    EXPECT_EQ(x["return"], true);
    ASSERT_EQ(x["journal"].size(), 1u);
    EXPECT_EQ(x["journal"][0]["entry"], "EPSON_RelatorioFiscal_LeituraX");
    EXPECT_EQ(x["paper"], Json::parse(R"(["LEITURA X", "FIM"])"));
    EXPECT_EQ(t["steps"][2]["journal"], Json::array());
    EXPECT_EQ(t["steps"][2]["paper"], Json::array());
    EXPECT_EQ(t["steps"][0]["result"], 0);
    EXPECT_EQ(t["steps"][3]["result"]["config"], R"({"serial":"EP01"})");
    EXPECT_EQ(t["steps"][4]["result"], 7);
    EXPECT_EQ(t["steps"][5]["result"]["lines"].size(), 2u);
    EXPECT_EQ(t["printer"], TIV_FAKE_PRINTER);
}

TEST_F(ScriptTest, TheJournalControlAnswersEveryCallSinceItWasCleared) {
    const Json t = runOk(Json::parse(R"([
        {"ecfsim": "ClearJournal"},
        {"call": "Leitura_X_Imp", "args": ["EP01", "", "001", ""]},
        {"call": "Leitura_X_Imp", "args": ["EP01", "", "001", ""]},
        {"ecfsim": "Journal"},
        {"ecfsim": "ClearJournal"},
        {"ecfsim": "Journal"},
        {"call": "Leitura_X_Imp", "args": ["EP01", "", "001", ""]},
        {"ecfsim": "Journal"}])"));
    const Json entry = t["steps"][1]["journal"][0];
    EXPECT_EQ(entry["entry"], "EPSON_RelatorioFiscal_LeituraX");
    EXPECT_EQ(t["steps"][2]["journal"], Json::array({entry})); // each call shows its own
    EXPECT_EQ(t["steps"][3]["result"], Json::array({entry, entry}));
    EXPECT_EQ(t["steps"][4]["result"], 0);
    EXPECT_EQ(t["steps"][5]["result"], Json::array());
    EXPECT_EQ(t["steps"][6]["journal"], Json::array({entry}));
    EXPECT_EQ(t["steps"][7]["result"], Json::array({entry}));
}

TEST_F(ScriptTest, WithoutAPrinterCallsShowNoJournal) {
    bool failed = true;
    const Json t = run(Json::parse(R"([{"call": "StopImpFiscal"}])"), failed, nullptr);
    EXPECT_FALSE(failed);
    EXPECT_FALSE(t["steps"][0].contains("journal"));
    EXPECT_TRUE(t["printer"].is_null());
    run(Json::parse(R"([{"call": "StopImpFiscal"}, {"ecfsim": "State"}])"), failed, nullptr);
    EXPECT_TRUE(failed);
    EXPECT_EQ(received(), "StopImpFiscal\n"); // the first run only
}

struct ErrorCase {
    const char *step; // placed second, between two good steps
    const char *fragment;
};

TEST_F(ScriptTest, ScriptErrorsNameTheStepAndNothingRuns) {
    const ErrorCase cases[] = {
        {R"({"call": "Nada"})", "unknown procedure \"Nada\""},
        {R"({"call": "AbreCupom", "args": [{}]})", "\"AbreCupom\" is not exported by"},
        {R"({"call": "VerificaData", "args": ["", {"out": 1}, "", ""]})",
         "VerificaData: expected 5 arguments in \"args\", got 4"},
        {R"({"call": "VerificaData", "args": ["", {"datetime": "2026-12-10"}, "", "", true]})",
         "argument 2 (movementDate): expected {\"out\": {\"datetime\": ...}}"},
        {R"({"call": "VerificaData", "args": ["", {"out": {"datetime": "2026-02-30"}}, "", "", true]})",
         "argument 2 (movementDate): expected {\"out\""},
        {R"({"call": "VerificaData", "args": ["", {"out": 1}, "", "", "S"]})",
         "argument 5 (readClock): expected a boolean, got \"S\""},
        {R"({"call": "Nr_Cupom", "args": [1, "001"]})", "argument 1 (unused1): expected a text"},
        {R"({"call": "Cancela_ItGenerico", "args": ["", "", "", "", "", "", "", "", "", 1, "2"]})",
         "argument 11 (unused11): expected a number"},
        {R"({"call": "FechaCupom", "args": [[], null, {"result": -1}]})",
         "argument 3 (result): expected {\"result\": size from 0 to"},
        {R"({"call": "FechaCupom", "args": [[], [1], {"result": 1}]})",
         "argument 2 (lines): expected a string list"},
        {R"({"call": "CarregaAliquota", "args": ["", {"fields": [{"name": "A"}], "rows": [["a", "b"]]}]})",
         "argument 2 (taxRates): a row of 2 values for 1 fields"},
        {R"({"call": "Relatorio_Produto", "args": ["", "", "", "", "", "", null, "", "", "", {"out": false}]})",
         "argument 6 (reportNumber): expected {\"out\": initial text}"},
        {R"({"call": "StopImpFiscal", "args": {}})", "expected 0 arguments"},
        {R"({"cal": "StopImpFiscal"})", "unknown member \"cal\""},
        {R"({"call": "StopImpFiscal", "answers": [true]})", "exactly one of"},
        {R"({"answers": [1]})", "expected \"answers\": [booleans]"},
        {R"({"ecfsim": "Explode"})", "unknown printer control \"Explode\""},
        {R"({"ecfsim": "ShiftClock", "args": ["60"]})", "expected an integer"},
        {R"({"ecfsim": "SetDrawer", "args": [1]})", "expected true or false"},
        {R"({"ecfsim": "SetCounters", "args": ["coo"]})", "expected an object"},
        {R"("StopImpFiscal")", "a step is an object"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.step);
        reinterpret_cast<void (*)()>(module_->symbol("FakeModule_Clear"))();
        Json script = Json::array({Json::parse(R"({"call": "StopImpFiscal"})"), Json::parse(c.step),
                                   Json::parse(R"({"call": "StopImpFiscal"})")});
        bool failed = false;
        const Json t = run(script, failed);
        EXPECT_TRUE(failed);
        EXPECT_EQ(t["error"]["step"], 2);
        const std::string message = t["error"]["message"].get<std::string>();
        EXPECT_NE(message.find(c.fragment), std::string::npos) << message;
        EXPECT_EQ(t["steps"], Json::array());
        EXPECT_EQ(received(), "");
    }
}

TEST_F(ScriptTest, AFailedControlStopsTheScriptThere) {
    bool failed = false;
    const Json t = run(Json::parse(R"([{"call": "StopImpFiscal"},
                                        {"ecfsim": "Reset", "args": [{"fail": true}]},
                                        {"call": "StopImpFiscal"}])"),
                       failed);
    EXPECT_TRUE(failed);
    EXPECT_EQ(t["error"]["step"], 2);
    EXPECT_NE(t["error"]["message"].get<std::string>().find("refused by the test"),
              std::string::npos);
    EXPECT_EQ(t["steps"].size(), 1u);
    EXPECT_EQ(received(), "StopImpFiscal\n");
}

TEST_F(ScriptTest, ScriptsAreAnArrayOrAnObjectWithSteps) {
    EXPECT_EQ(
        runOk(Json::parse(R"({"comment": "x", "steps": [{"call": "StopImpFiscal"}]})"))["steps"]
            .size(),
        1u);
    bool failed = false;
    Json t = run(Json::parse(R"({"step": []})"), failed);
    EXPECT_TRUE(failed);
    EXPECT_EQ(t["error"]["step"], 0);
}

// As a host program does, tiv points the host library's two procedure
// variables at the module's own procedures, and shows each call made through
// them and the module variables after every call.
TEST_F(ScriptTest, HostProceduresAreTheModulesOwnAndTheirCallsShown) {
    const Json t = runOk(Json::parse(R"([
        {"call": "StopImpFiscal"},
        {"call": "Cancela_Cupom_Imp", "args": [["1", false, null, null, "", "", ""], {"result": 1}]}])"));
    EXPECT_EQ(t["hostProcedures"],
              Json::parse(R"({"Atu_TotGeral": true, "DataMoviFiscal": true})"));
    const Json &before = t["steps"][0];
    EXPECT_FALSE(before.contains("hostCalls"));
    EXPECT_EQ(before["variables"],
              Json::parse(R"({"stMensagemTaa": "", "boClieUtil": true, "inIndiceReceb": 0})"));

    const Json &cancel = t["steps"][1];
    EXPECT_EQ(cancel["return"], true);
    EXPECT_EQ(cancel["hostCalls"], Json::parse(R"([
        {"procedure": "Atu_TotGeral", "args": [{"GT": 1.5}], "return": true},
        {"procedure": "DataMoviFiscal", "args": ["001"],
         "return": {"datetime": "2026-12-10 14:30:00"}}])"));
    EXPECT_EQ(cancel["out"]["result"], Json::parse(R"(["2026-12-10"])"));
    EXPECT_EQ(cancel["variables"], Json::parse(R"({"stMensagemTaa": " canceladoç",
                                                  "boClieUtil": false, "inIndiceReceb": 3})"));
    EXPECT_EQ(received(), "StopImpFiscal\nCancela_Cupom_Imp|['1',b:false,empty,empty,'','','']"
                          "\nAtu_TotGeral|[['GT',r:1.5]]\n"
                          "DataMoviFiscal|001\n");
    // The run gives the variables back as it found them.
    EXPECT_FALSE(tivhost::Atu_TotGeral());
    EXPECT_FALSE(tivhost::DataMoviFiscal());
}

TEST_F(ScriptTest, AScriptMayLeaveEitherHostProcedureUnset) {
    const Json t = runOk(Json::parse(R"({"hostProcedures": {"Atu_TotGeral": false},
        "steps": [{"call": "Cancela_Cupom_Imp",
                   "args": [["1", false, null, null, "", "", ""], {"result": 1}]}]})"));
    EXPECT_EQ(t["hostProcedures"],
              Json::parse(R"({"Atu_TotGeral": false, "DataMoviFiscal": true})"));
    const Json &cancel = t["steps"][0];
    EXPECT_EQ(cancel["return"], false) << "no reconciliation without Atu_TotGeral";
    ASSERT_EQ(cancel["hostCalls"].size(), 1u);
    EXPECT_EQ(cancel["hostCalls"][0]["procedure"], "DataMoviFiscal");

    const Json none = runOk(Json::parse(R"({"hostProcedures":
        {"Atu_TotGeral": false, "DataMoviFiscal": false},
        "steps": [{"call": "Cancela_Cupom_Imp",
                   "args": [["1", false, null, null, "", "", ""], {"result": 1}]}]})"));
    EXPECT_FALSE(none["steps"][0].contains("hostCalls"));
    EXPECT_EQ(none["steps"][0]["out"]["result"], Json::parse(R"(["own"])"));

    bool failed = false;
    const Json bad = run(Json::parse(R"({"hostProcedures": {"Atu_TotGeral": "no"},
        "steps": []})"),
                         failed);
    EXPECT_TRUE(failed);
    EXPECT_NE(bad["error"]["message"].get<std::string>().find("hostProcedures"), std::string::npos);
}

TEST_F(ScriptTest, SetUpControlsReachThePrinter) {
    const Json t = runOk(Json::parse(R"([
        {"ecfsim": "SetCounters", "args": [{"crz": 41}]},
        {"ecfsim": "SetTables", "args": [{"taxRates": [{"slot": 2}]}]},
        {"ecfsim": "RecordReduction", "args": [{"date": "2024-02-28"}]},
        {"ecfsim": "State"},
        {"ecfsim": "FiscalMemory"},
        {"ecfsim": "SetDrawer", "args": [true]},
        {"ecfsim": "State"},
        {"ecfsim": "DetailMemory"}])"));
    EXPECT_EQ(t["steps"][3]["result"]["config"], R"({"date":"2024-02-28"})");
    EXPECT_EQ(t["steps"][4]["result"], Json::parse(R"([{"crz": 1}])"));
    EXPECT_EQ(t["steps"][6]["result"]["config"], "drawer open");
    EXPECT_EQ(t["steps"][7]["result"], Json::parse(R"([{"coo": 7, "kind": "CF"}])"));
}

} // namespace

namespace {

// A long script shows where it is: each step is told before it runs, with its number and what
// it calls; a script refused before running tells nothing.
TEST_F(ScriptTest, ProgressIsToldStepByStep) {
    std::vector<std::string> told;
    tivtool::ScriptRunner runner(*module_, printer_);
    runner.setProgress([&](size_t step, size_t steps, const std::string &what) {
        told.push_back(std::to_string(step) + "/" + std::to_string(steps) + " " + what);
    });
    bool failed = true;
    runner.run(Json::parse(R"([{"answers": [true]}, {"ecfsim": "MarkPaper"},
                               {"call": "StopImpFiscal"}])"),
               failed);
    EXPECT_FALSE(failed);
    EXPECT_EQ(told,
              (std::vector<std::string>{"1/3 answers", "2/3 MarkPaper", "3/3 StopImpFiscal"}));
    told.clear();
    runner.run(Json::parse(R"([{"call": "StopImpFiscal"}, {"call": "NoSuchProcedure"}])"), failed);
    EXPECT_TRUE(failed);
    EXPECT_TRUE(told.empty());
}

} // namespace
