// CarregaTotalizador: the five non-fiscal totalizers found in the printer
// or programmed; CarregaRelatorioGer leaves everything as it was.
#include <array>

#include "fixture.h"

namespace {

// Output arguments in their argument order: CV-EMI, VENDA-CONS, Compra-Cred,
// Canc-Cred, RELATORIO.
using Codes = std::array<std::string, 5>;

struct TotalizerCase {
    const char *name;
    int printerType;
    std::vector<std::string> printer; // totalizer table before
    Codes given;                      // outputs on entry
    nlohmann::json calls;             // arguments of each programming call
    Codes expected;
    std::vector<std::string> logged; // programming lines of the debug log
};

void PrintTo(const TotalizerCase &c, std::ostream *os) {
    *os << c.name;
}

class TotalizersTest : public DriverTest, public ::testing::WithParamInterface<TotalizerCase> {};

const std::vector<std::string> kAllFive{"CONTRA-VALE EMI", "VENDA CONSUMIDO", "Cred Pessoal",
                                        "Canc Credito", "Relatorios"};

TEST_P(TotalizersTest, CodesFoundOrProgrammed) {
    const TotalizerCase &c = GetParam();
    resetPrinter({{"nonFiscal", c.printer}});
    ASSERT_TRUE(start(c.printerType));
    clearJournal();
    Codes codes = c.given;
    tiv::TClientDataSet *unused = nullptr;

    CarregaTotalizador(codes[0], codes[1], codes[2], codes[3], codes[4], "001", 0, unused);

    EXPECT_EQ(codes, c.expected);
    nlohmann::json calls = nlohmann::json::array();
    for (const auto &call : journal()) {
        const std::string entry = call.at("entry");
        if (entry.find("Config_Totalizador_NaoFiscal") != std::string::npos) {
            EXPECT_EQ(entry, c.printerType == 31 ? "EPSON_Config_Totalizador_NaoFiscal"
                                                 : "EPSON_ESC_ECF_Config_Totalizador_NaoFiscal");
            calls.push_back(call.at("args"));
        }
    }
    EXPECT_EQ(calls, c.calls);
    std::vector<std::string> logged;
    const std::string prefix = "EPSON_Config_Totalizador_NaoFiscal : ";
    for (const std::string &line : logLines()) {
        const auto at = line.find(prefix);
        if (at != std::string::npos) logged.push_back(line.substr(at + prefix.size()));
    }
    EXPECT_EQ(logged, c.logged);
    EXPECT_TRUE(dialogs.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TotalizersTest,
    ::testing::Values(
        // All present, among others and in another order: their record numbers.
        TotalizerCase{"AllPresent",
                      31,
                      {"SUPRIMENTO", "Relatorios", "Canc Credito", "VENDA CONSUMIDO",
                       "Cred Pessoal", "CONTRA-VALE EMI"},
                      {},
                      nlohmann::json::array(),
                      {"06", "04", "05", "03", "02"},
                      {}},
        // A name differing only in letter case is not the totalizer: it is
        // programmed under the next number, and the printer's refusal of the
        // duplicate name does not take the code away.
        TotalizerCase{
            "DifferentCase",
            31,
            {"CONTRA-VALE EMI", "VENDA CONSUMIDO", "cred pessoal", "Canc Credito", "Relatorios"},
            {},
            nlohmann::json::parse(R"([["Cred Pessoal", 6]])"),
            {"01", "02", "06", "04", "05"},
            {"Cred Pessoal - 6"}},
        // Classic: the library hands back the number it assigned, and the next
        // call proposes the one after it.
        TotalizerCase{"ClassicThreeMissing",
                      31,
                      {"SUPRIMENTO", "SANGRIA", "VENDA CONSUMIDO", "Canc Credito"},
                      {},
                      nlohmann::json::parse(
                          R"([["CONTRA-VALE EMI", 5], ["Cred Pessoal", 6], ["Relatorios", 7]])"),
                      {"05", "03", "06", "04", "07"},
                      {"CONTRA-VALE EMI - 5", "Cred Pessoal - 6", "Relatorios - 7"}},
        // ESC/ECF: each missing one is sent with an index of its own and its
        // direction, so every document kind posts to its own totalizer.
        TotalizerCase{
            "EscEcfThreeMissing",
            33,
            {"SUPRIMENTO", "SANGRIA", "VENDA CONSUMIDO", "Canc Credito"},
            {},
            {{"5", "CONTRA-VALE EMI", "S"}, {"6", "Cred Pessoal", "E"}, {"7", "Relatorios", "E"}},
            {"05", "03", "06", "04", "07"},
            {"CONTRA-VALE EMI - 5", "Cred Pessoal - 6", "Relatorios - 7"}},
        // A code known on entry is neither looked up nor programmed.
        TotalizerCase{"KnownOnEntry",
                      33,
                      {"Relatorios"},
                      {"", "", "", "", "09"},
                      {{"2", "CONTRA-VALE EMI", "S"},
                       {"3", "Cred Pessoal", "E"},
                       {"4", "VENDA CONSUMIDO", "E"},
                       {"5", "Canc Credito", "S"}},
                      {"02", "04", "03", "05", "09"},
                      {"CONTRA-VALE EMI - 2", "Cred Pessoal - 3", "VENDA CONSUMIDO - 4",
                       "Canc Credito - 5"}}),
    [](const auto &info) { return std::string(info.param.name); });

using TotalizerDirectionTest = DriverTest;

TEST_F(TotalizerDirectionTest, EscEcfProgramsEachWithItsDirection) {
    resetPrinter({{"nonFiscal", nlohmann::json::array()}});
    ASSERT_TRUE(start(33));
    Codes codes;
    tiv::TClientDataSet *unused = nullptr;

    CarregaTotalizador(codes[0], codes[1], codes[2], codes[3], codes[4], "001", 0, unused);

    nlohmann::json table = nlohmann::json::array();
    const nlohmann::json state = printerState();
    for (const auto &t : state.at("nonFiscal"))
        table.push_back(nlohmann::json::array({t.at("name"), t.at("direction")}));
    EXPECT_EQ(table, nlohmann::json::parse(R"([["CONTRA-VALE EMI", "S"], ["Cred Pessoal", "E"],
        ["Relatorios", "E"], ["VENDA CONSUMIDO", "E"], ["Canc Credito", "S"]])"));
    EXPECT_EQ(codes, (Codes{"01", "04", "02", "05", "03"}));
}

// A table that cannot be read makes all five count as missing, numbered 1 to
// 5; the printer refuses each slot that holds another name, and nothing of
// its table changes.
TEST_F(TotalizerDirectionTest, UnreadableTableProgramsOneToFiveAndTheTakenSlotsAreRefused) {
    const std::vector<std::string> before{"SUPRIMENTO", "SANGRIA", "TROCO"};
    resetPrinter({{"nonFiscal", before}});
    ASSERT_TRUE(start(33));
    injectFault({{"kind", "noanswer"}, {"entry", "EPSON_Obter_Tabela_NaoFiscais"}});
    clearJournal();
    Codes codes;
    tiv::TClientDataSet *unused = nullptr;

    CarregaTotalizador(codes[0], codes[1], codes[2], codes[3], codes[4], "001", 0, unused);

    EXPECT_EQ(codes, (Codes{"01", "04", "02", "05", "03"}));
    nlohmann::json sent = nlohmann::json::array();
    for (const auto &call : journal())
        if (call.at("entry") == "EPSON_ESC_ECF_Config_Totalizador_NaoFiscal")
            sent.push_back({call.at("args").at(0), call.at("result")});
    EXPECT_EQ(sent, nlohmann::json::parse(
                        R"([["1","0511"],["2","0511"],["3","0511"],["4","0000"],["5","0000"]])"));
    std::vector<std::string> table;
    const nlohmann::json state = printerState();
    for (const auto &t : state.at("nonFiscal"))
        table.push_back(t.at("name"));
    EXPECT_EQ(table, (std::vector<std::string>{"SUPRIMENTO", "SANGRIA", "TROCO", "VENDA CONSUMIDO",
                                               "Canc Credito"}));
}

TEST_F(TotalizerDirectionTest, RelatorioGerChangesNothingAndCallsNothing) {
    ASSERT_TRUE(start(31));
    clearJournal();
    std::array<std::string, 6> texts{"a", "", "03", "x y", "", "Z"};
    const auto before = texts;

    CarregaRelatorioGer(texts[0], texts[1], texts[2], texts[3], texts[4], texts[5], "001", 7);

    EXPECT_EQ(texts, before);
    EXPECT_TRUE(journal().empty());
}

} // namespace
