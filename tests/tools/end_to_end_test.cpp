// tiv against the real driver module and the virtual printer.
#include <filesystem>
#include <fstream>

#include <nlohmann/json.hpp>

#include "tiv_process.h"

namespace {

class EndToEndTest : public TivProcessTest {
  protected:
    EndToEndTest() : TivProcessTest("tiv-e2e-") {}

    // Runs tiv with the real module; answers standard output and the exit status.
    std::string tiv(const std::string &args, int &status) {
        // The driver's data module lives until the process ends, by design; a
        // sanitizer build must not turn that into a failed exit status.
        ProcessResult run =
            runCommand(tivCommand(args, "/dev/null", "ASAN_OPTIONS=detect_leaks=0 "));
        status = run.status;
        return run.out;
    }
};

std::vector<std::string> entries(const nlohmann::json &step) {
    std::vector<std::string> names;
    for (const auto &call : step.at("journal"))
        names.push_back(call.at("entry"));
    return names;
}

TEST_F(EndToEndTest, IdentityAndClockThroughTheRealModule) {
    const nlohmann::json script = {
        {{"ecfsim", "OpenFolder"}, {"args", {(folder_ / "ecf").string()}}},
        {{"ecfsim", "Reset"}, {"args", {{{"serial", "EP0000000000000042"}, {"ecf", "005"}}}}},
        {{"call", "StartImpFiscal"},
         {"args", {{{"CDFILIAL", "0001"}, {"IDTIPOIMPFIS", 31}, {"BOUTILTAA", false}}}}},
        {{"call", "Carrega_Dados_Impressora"},
         {"args", {{{"ESQUEMA", "001"}, {"REDIMP", "7"}, {"ECFIMP", ""}, {"SERIEIMP", ""}}}}},
        {{"call", "VerificaData"}, {"args", {"001", {{"out", 0}}, "", "", true}}},
        {{"call", "StopImpFiscal"}}};
    const std::string path = (folder_ / "script.json").string();
    std::ofstream(path) << script.dump();
    int status = -1;
    const auto transcript = nlohmann::json::parse(tiv("run '" + path + "'", status));
    ASSERT_EQ(status, 0);
    const auto &steps = transcript.at("steps");
    ASSERT_EQ(steps.size(), 6u);
    EXPECT_EQ(steps[2].at("return"), true);
    EXPECT_EQ(entries(steps[2]).front(), "EPSON_Serial_Abrir_PortaEx");

    const auto &identity = steps[3];
    EXPECT_EQ(identity.at("return"), true);
    const auto names = entries(identity);
    const std::vector<std::string> queries = {
        "EPSON_Sys_Bloquear_Entradas", "EPSON_Obter_Data_Hora_Jornada", "EPSON_Obter_Hora_Relogio",
        "EPSON_Obter_Numero_ECF_Loja", "EPSON_Obter_Dados_Impressora"};
    std::vector<std::string> seen;
    for (const auto &n : names)
        if (std::find(queries.begin(), queries.end(), n) != queries.end()) seen.push_back(n);
    EXPECT_EQ(seen, queries);
    const std::string out = identity.at("out").dump();
    EXPECT_NE(out.find("\"005\""), std::string::npos) << out;
    EXPECT_NE(out.find("EP0000000000000042"), std::string::npos) << out;
    EXPECT_NE(identity.at("log").dump().find("EPSON_Obter_Numero_ECF_Loja"), std::string::npos);

    EXPECT_EQ(steps[4].at("return"), true);
    EXPECT_TRUE(entries(steps[5]).empty()); // stopping talks to no printer
}

// tiv sets the host's DataMoviFiscal to the module's own, as a host does: a
// report opened with a CER key asks it for the fiscal date, and the
// transcript shows that call and the module variables.
TEST_F(EndToEndTest, TheHostsFiscalDateIsTheModulesOwnAndShown) {
    const nlohmann::json script = {
        {{"ecfsim", "OpenFolder"}, {"args", {(folder_ / "ecf").string()}}},
        {{"ecfsim", "Reset"}, {"args", {{{"dayOpen", true}}}}},
        {{"call", "StartImpFiscal"},
         {"args", {{{"CDFILIAL", "0001"}, {"IDTIPOIMPFIS", 33}, {"BOUTILTAA", false}}}}},
        {{"call", "Relatorio_Gerencial_Imp"}, {"args", {"001", "K1", "K2", "", "S"}}},
        {{"call", "FechRelatGerenc"}, {"args", {"001", true, false}}}};
    const std::string path = (folder_ / "script.json").string();
    std::ofstream(path) << script.dump();
    int status = -1;
    const auto transcript = nlohmann::json::parse(tiv("run '" + path + "'", status));
    ASSERT_EQ(status, 0) << transcript.dump(1);
    EXPECT_EQ(transcript.at("hostProcedures").at("DataMoviFiscal"), true);
    const auto &report = transcript.at("steps").at(3);
    EXPECT_EQ(report.at("return"), true);
    ASSERT_EQ(report.at("hostCalls").size(), 1u) << report.dump(1);
    EXPECT_EQ(report.at("hostCalls")[0].at("procedure"), "DataMoviFiscal");
    EXPECT_EQ(report.at("hostCalls")[0].at("args"), nlohmann::json::array({"001"}));
    EXPECT_TRUE(report.at("hostCalls")[0].at("return").contains("datetime"));
    const auto &vars = report.at("variables");
    EXPECT_EQ(vars.at("stMensagemTaa"), "");
    EXPECT_TRUE(vars.at("boClieUtil").is_boolean());
    EXPECT_TRUE(vars.at("inIndiceReceb").is_number_integer());
}

// The demo is the whole working day: supply, three sales (one item cancelled, one receipt
// cancelled after its closing), withdrawal, X reading, till closing and the Z reduction its
// summary shows;
// run again on the same folder it is the next day.
TEST_F(EndToEndTest, DemoRunsTheWholeWorkingDayAndTheNextOne) {
    for (const char *type : {"31", "33"}) {
        SCOPED_TRACE(type);
        int status = -1;
        const std::string command =
            std::string("demo --type ") + type + " --state '" + (folder_ / type).string() + "'";
        const std::string paper = tiv(command, status);
        EXPECT_EQ(status, 0);
        for (const char *expected :
             {"SUPRIMENTO", "ARROZ TIPO 1 5KG", "FEIJAO CARIOCA 1KG", "REFRIGERANTE COLA 2L",
              "SERVICO DE ENTREGA", "LEITE EM PO 400G", "desconto item 002", "acrescimo item 004",
              "DESCONTO R$", "Cartao Credito", "Dinheiro",
              "TROCO R$                                    6,80",
              // Each receipt's footer has its own approximate taxes.
              "Trib aprox R$: 4,87 Federal e 10,36 Estadual",
              "Trib aprox R$: 1,73 Federal e 2,94 Estadual",
              "Trib aprox R$: 1,35 Federal e 1,80 Estadual", "Obrigado pela preferencia!",
              "COMPROVANTE CREDITO OU DEBITO", "VALOR APROVADO: R$ 40,00", "cancelamento item 002",
              "CANCELAMENTO", "SANGRIA", "LEITURA X", "REDUCAO Z",
              // The till closing before the reduction, its cash even with the day's sales.
              "RECIBO SAIDA NUMERARIO", "RELATORIO DE PRODUTOS DO DIA",
              "RELATORIO DE FECHAMENTO GERAL", "SOBRA                                       0,00",
              // The summary: the day as the Z reduction recorded it.
              "Venda bruta  : R$ 109,84", "Cancelamentos: R$ 14,49", "Descontos    : R$ 2,50",
              "Suprimento   : R$ 100,00", "Sangria      : R$ 50,00", "CRZ          : 1",
              "GT           : R$ 109,84"})
            EXPECT_NE(paper.find(expected), std::string::npos) << expected;
        const std::string nextDay = tiv(command, status);
        EXPECT_EQ(status, 0);
        EXPECT_NE(nextDay.find("CRZ          : 2"), std::string::npos);
        EXPECT_NE(nextDay.find("GT           : R$ 219,68"), std::string::npos);
    }
}

// The day's script, written out, is a script tiv run takes on its own and that ends the day
// on a fresh printer as the demo did.
TEST_F(EndToEndTest, TheDemosScriptRunsOnItsOwn) {
    const std::string script = (folder_ / "day.json").string();
    int status = -1;
    tiv("demo --state '" + (folder_ / "demo").string() + "' --script '" + script + "'", status);
    ASSERT_EQ(status, 0);
    const ProcessResult run = runCommand(tivCommand(
        "run '" + script + "'", (folder_ / "run.err").string(),
        "ECFSIM_DIR='" + (folder_ / "fresh").string() + "' ASAN_OPTIONS=detect_leaks=0 "));
    EXPECT_EQ(run.status, 0);
    const auto transcript = nlohmann::json::parse(run.out);
    ASSERT_FALSE(transcript.contains("error")) << transcript["error"].dump();
    std::string paper;
    for (const auto &step : transcript.at("steps")) {
        EXPECT_FALSE(step.contains("exception")) << step.dump();
        for (const auto &line : step.value("paper", nlohmann::json::array()))
            paper += line.get<std::string>() + "\n";
    }
    for (const char *expected : {"ARROZ TIPO 1 5KG", "SANGRIA", "LEITURA X", "REDUCAO Z"})
        EXPECT_NE(paper.find(expected), std::string::npos) << expected;
}

// A demo killed at its first printer calls (the printer's folder made, its set-up not done or
// the configuration file not yet written) leaves a folder the next run starts again from; a
// used folder that lost its configuration file gets it again; a folder holding another printer
// is refused with the way to start again, never run into a failed serial check.
TEST_F(EndToEndTest, TheDemoRecoversAFolderItWasKilledIn) {
    std::string out, err;
    const auto demo = [&](const std::string &state, const std::string &environment) {
        const std::string errorPath = (folder_ / "err.txt").string();
        ProcessResult run = runCommand(tivCommand("demo --state '" + state + "'", errorPath,
                                                  "ASAN_OPTIONS=detect_leaks=0 " + environment));
        std::ifstream in(errorPath);
        err.assign(std::istreambuf_iterator<char>(in), {});
        out = run.out;
        return run.status;
    };
    // Call 1 opens the printer's folder, call 2 sets the printer up, call 3 is the driver's
    // first; the configuration file is written between 2 and 3.
    for (const char *killAt :
         {"1:commit", "1:reply", "2:before", "2:commit", "2:reply", "3:before"}) {
        SCOPED_TRACE(killAt);
        const std::string state = (folder_ / (std::string("kill-") + killAt)).string();
        // The shell reports the SIGKILL as 128 + 9.
        EXPECT_EQ(demo(state, std::string("ECFSIM_KILL_AT=") + killAt + " "), 137) << "killed";
        ASSERT_EQ(demo(state, ""), 0) << err;
        EXPECT_NE(out.find("CRZ          : 1"), std::string::npos) << "a whole first day";
        EXPECT_NE(out.find("GT x Pravell : confere"), std::string::npos);
    }

    const std::string used = (folder_ / "used").string();
    ASSERT_EQ(demo(used, ""), 0) << err;
    std::filesystem::remove(used + "/Pravell.cds");
    ASSERT_EQ(demo(used, ""), 0) << err;
    EXPECT_NE(out.find("CRZ          : 2"), std::string::npos)
        << "the next day, on the same printer";
    EXPECT_NE(err.find("Pravell.cds was missing; written again"), std::string::npos) << err;

    // A printer that has made documents under another serial number is not the demo's.
    const std::string other = (folder_ / "other").string();
    const nlohmann::json script = {
        {{"ecfsim", "OpenFolder"}, {"args", {other + "/ecf"}}},
        {{"ecfsim", "Reset"}, {"args", {{{"serial", "EP0000000000000099"}}}}},
        {{"ecfsim", "SetCounters"}, {"args", {{{"coo", 5}}}}}};
    const std::string path = (folder_ / "other.json").string();
    std::ofstream(path) << script.dump();
    int status = -1;
    tiv("run '" + path + "'", status);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(demo(other, ""), 1);
    EXPECT_NE(err.find("EP0000000000000099"), std::string::npos) << err;
    EXPECT_NE(err.find("new --state folder"), std::string::npos) << err;
    EXPECT_EQ(std::filesystem::exists(other + "/Pravell.cds"), false) << "nothing written there";
}

// The day's roll fits the paper: not one line the printer printed is wider than 48 columns
// (the roll file is CP1252, one byte a character). Its page, written by the demo and by
// tiv paper from the same folder, shows the documents cut apart and the cancellations marked.
TEST_F(EndToEndTest, TheDemoDaysRollFitsThePaperAndItsPageShowsTheMarks) {
    for (const char *type : {"31", "33"}) {
        SCOPED_TRACE(type);
        const std::string state = (folder_ / type).string();
        const std::string demoPage = state + "-demo.html", paperPage = state + "-paper.html";
        int status = -1;
        tiv(std::string("demo --type ") + type + " --state '" + state + "' --html '" + demoPage +
                "'",
            status);
        ASSERT_EQ(status, 0);
        std::ifstream roll(state + "/ecf/paper.txt", std::ios::binary);
        size_t lines = 0;
        for (std::string line; std::getline(roll, line); ++lines)
            EXPECT_LE(line.size(), 48u) << "line " << lines + 1 << ": " << line;
        EXPECT_GT(lines, 100u);

        tiv("paper --html '" + paperPage + "' --state '" + state + "'", status);
        ASSERT_EQ(status, 0);
        for (const std::string &path : {demoPage, paperPage}) {
            std::ifstream in(path);
            const std::string page{std::istreambuf_iterator<char>(in), {}};
            for (const char *expected :
                 {"<div class=\"ln cancel\">cancelamento item 002", "<div class=\"ln voided\">002 ",
                  "<section class=\"doc cancelled\" "
                  "data-title=\"CUPOM FISCAL\"",
                  "<section class=\"doc cancellation\" data-title=\"CANCELAMENTO\"",
                  "<div class=\"ln logo\">EPSON", "<div class=\"ln logo\">ECF:001 LJ:",
                  "<div class=\"ln\">ITEM CODIGO DESCRICAO</div>", "data-title=\"REDUCAO Z\"",
                  "<div class=\"cut\""})
                EXPECT_NE(page.find(expected), std::string::npos) << path << ": " << expected;
            EXPECT_EQ(page.find("<section class=\"doc open"), std::string::npos)
                << "every document of the day was ended";
        }
    }
}

} // namespace

namespace {

// A configuration file made by `tiv config` is the one the driver checks: the printer on it is
// accepted, its GT recorded at the first check and then found equal; another till's row and a
// bad grand total are refused by the command itself.
TEST_F(EndToEndTest, AConfigurationFileMadeByTivIsTheOneTheDriverChecks) {
    int status = -1;
    const std::string file = (folder_ / "Pravell.cds").string();
    std::string shown =
        tiv("config write --branch 0001 --till 001 --serial EP0000000000000042", status);
    ASSERT_EQ(status, 0) << shown;
    EXPECT_NE(shown.find("Serie EP0000000000000042  Confere GT S  GT (ainda nao gravado)"),
              std::string::npos)
        << shown;
    tiv("config write --branch 0001 --till 002 --serial EP9 --gt 15,00 --file '" + file + "'",
        status);
    ASSERT_EQ(status, 0);
    tiv("config write --branch 0001 --till 001 --serial EP1 --gt 12.34", status);
    EXPECT_NE(status, 0) << "a grand total not in the system's decimal form";

    const nlohmann::json params = {
        {"CDFILIAL", "0001"},  {"CDCAIXA", "001"}, {"NRSERIEIMP", "EP0000000000000042"},
        {"ESQUEMACOR", "001"}, {"IDVALIDA", "S"},  {"BOPODERECOMPORGT", false}};
    const nlohmann::json script = {
        {{"ecfsim", "OpenFolder"}, {"args", {(folder_ / "ecf").string()}}},
        {{"ecfsim", "Reset"}, {"args", {{{"serial", "EP0000000000000042"}}}}},
        {{"ecfsim", "SetCounters"}, {"args", {{{"gt", 123456}}}}},
        {{"call", "StartImpFiscal"},
         {"args", {{{"CDFILIAL", "0001"}, {"IDTIPOIMPFIS", 31}, {"BOUTILTAA", false}}}}},
        {{"call", "VerificaSerialImp"},
         {"args",
          {{{"UTILIZAIMPFIS", true},
            {"DSDIRCAD", folder_.string() + "/"},
            {"ESQUEMACOR", "001"},
            {"REV_NRSERIE_IMP", "EP0000000000000042"}}}}},
        {{"call", "Atu_TotGeral"}, {"args", {params}}},
        {{"call", "Atu_TotGeral"}, {"args", {params}}},
        {{"call", "StopImpFiscal"}}};
    const std::string path = (folder_ / "script.json").string();
    std::ofstream(path) << script.dump();
    const auto transcript = nlohmann::json::parse(tiv("run '" + path + "'", status));
    ASSERT_EQ(status, 0);
    const auto &steps = transcript.at("steps");
    EXPECT_EQ(steps[4].at("return"), true) << steps[4].dump();
    EXPECT_EQ(steps[5].at("return"), true) << "the GT recorded";
    EXPECT_EQ(steps[6].at("return"), true) << "and found equal";
    shown = tiv("config show", status);
    ASSERT_EQ(status, 0);
    EXPECT_NE(shown.find("Caixa 001  Serie EP0000000000000042  Confere GT S  GT 1234,56"),
              std::string::npos)
        << shown;
    EXPECT_NE(shown.find("Caixa 002  Serie EP9  Confere GT S  GT 15,00"), std::string::npos)
        << shown;
}

} // namespace
