// Faults injected through the control API, and the journal of calls.
#include <functional>
#include <vector>

#include "fixture.h"

namespace {

using Call = std::function<int32_t()>;

std::string blankStatus() {
    std::string b(21, ' ');
    b[20] = '\0';
    EPSON_Obter_Estado_Impressora(b.data());
    return b.substr(0, 20);
}

// The calls of a sale as the driver makes them: each command followed by a status read.
std::vector<Call> sale() {
    std::vector<Call> commands = {
        [] { return EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2); },
        [] {
            return EPSON_Fiscal_Vender_Item("1", "A", "0001000", 3, "UN", "00001000", 3, "Ta", 1);
        },
        [] {
            return EPSON_Fiscal_Vender_Item("2", "B", "0002000", 3, "UN", "00001000", 3, "Tb", 1);
        },
        [] { return EPSON_Fiscal_Pagamento("Dinheiro", "0000000003000", 2, "", ""); },
        [] { return EPSON_Fiscal_Fechar_Cupom(1, 0); },
    };
    std::vector<Call> calls;
    for (auto &c : commands) {
        calls.push_back(c);
        calls.push_back([] {
            blankStatus();
            return 0;
        });
    }
    return calls;
}

TEST_F(PrinterTest, NoAnswerOnEveryCallOfASale) {
    const std::size_t n = sale().size();
    for (std::size_t at = 1; at <= n; ++at) {
        SCOPED_TRACE("fault on call " + std::to_string(at));
        ASSERT_EQ(ECFSIM_Reset(R"({"dayOpen":true})"), 0);
        ECFSIM_ClearJournal();
        ASSERT_GE(ECFSIM_InjectFault(
                      ("{\"kind\":\"noanswer\",\"at\":" + std::to_string(at) + "}").c_str()),
                  1);
        for (auto &c : sale())
            c();
        auto journal = nlohmann::json::parse(ECFSIM_Journal());
        ASSERT_EQ(journal.size(), n);
        for (std::size_t i = 0; i < n; ++i)
            EXPECT_EQ(journal[i].contains("fault"), i + 1 == at) << "call " << i + 1;
        EXPECT_NE(journal[at - 1]["return"], 0);
        // Whatever was lost, the state adds up: GT equals the items kept.
        auto s = state();
        int64_t items = 0;
        for (const auto &it : s["items"])
            items += it["amount"].get<int64_t>();
        EXPECT_EQ(s["gt"], items);
        EXPECT_EQ(s["counters"]["coo"], s["counters"]["ccf"]);
        if (s["docState"] != "0") {
            EXPECT_EQ(EPSON_Fiscal_Cancelar_Cupom(), 0);
        }
        EXPECT_EQ(state()["docState"], "0");
    }
}

TEST_F(PrinterTest, NoAnswerLeavesTheBufferAsPassed) {
    ASSERT_GE(ECFSIM_InjectFault(R"({"kind":"noanswer","entry":"EPSON_Obter_Estado_Impressora"})"),
              1);
    std::string b(21, ' ');
    b[20] = '\0';
    EXPECT_NE(EPSON_Obter_Estado_Impressora(b.data()), 0);
    EXPECT_EQ(b.substr(0, 20), std::string(20, ' '));
    EXPECT_EQ(EPSON_Obter_Estado_Impressora(b.data()), 0); // once only
    EXPECT_EQ(b.substr(0, 4), "0000");
}

struct FaultCase {
    const char *name;
    const char *fault;
    std::size_t position; // status field checked, from 1
    const char *expected;
};

class FaultKindTest : public PrinterTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(FaultKindTest, CommandNotDoneAndStatusShowsIt) {
    ASSERT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
    ASSERT_GE(ECFSIM_InjectFault(GetParam().fault), 1) << ECFSIM_LastError();
    EXPECT_EQ(EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2), 1);
    EXPECT_EQ(status().substr(GetParam().position - 1, 4), GetParam().expected);
    EXPECT_EQ(state()["docState"], "0");
    EXPECT_EQ(EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2), 0); // the fault was for one call
    EXPECT_EQ(status().substr(4, 8), "00001001");
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, FaultKindTest,
    ::testing::Values(
        FaultCase{"Comm2", R"({"kind":"comm","code":"0002"})", 5, "0002"},
        FaultCase{"Comm5", R"({"kind":"comm","code":"0005"})", 5, "0005"},
        FaultCase{"Paper", R"({"kind":"paper"})", 9, "0002"},
        FaultCase{"PaperCode", R"({"kind":"paper"})", 17, "0801"},
        FaultCase{"Refuse", R"({"kind":"refuse","entry":"EPSON_Fiscal_Abrir_Cupom","code":"0A0B"})",
                  17, "0A0B"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(PrinterTest, StatusFieldForcedUntilCleared) {
    ASSERT_GE(
        ECFSIM_InjectFault(R"({"kind":"status","position":13,"text":"0001","persistent":true})"),
        1);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(status().substr(12, 4), "0001");
    ECFSIM_ClearFaults();
    EXPECT_EQ(status().substr(12, 4), "0000");
}

TEST_F(PrinterTest, FaultOnTheNthMatchingCallOnly) {
    ASSERT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
    ASSERT_EQ(EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2), 0);
    ASSERT_GE(ECFSIM_InjectFault(
                  R"({"kind":"refuse","entry":"EPSON_Fiscal_Vender_Item","at":3,"count":2})"),
              1);
    std::vector<int32_t> got;
    for (int i = 0; i < 5; ++i)
        got.push_back(
            EPSON_Fiscal_Vender_Item("1", "A", "0001000", 3, "UN", "00001000", 3, "Ta", 1));
    EXPECT_EQ(got, (std::vector<int32_t>{0, 0, 1, 1, 0}));
    EXPECT_EQ(state()["doc"]["items"], 3);
}

TEST_F(PrinterTest, JournalHoldsEveryCallWithItsArguments) {
    ASSERT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
    ASSERT_EQ(EPSON_Fiscal_Abrir_Cupom("123", "Jos\xE9", "", "", 2), 0);
    int32_t counter = 5;
    EPSON_Config_Totalizador_NaoFiscal("Relatorios", &counter);
    auto j = nlohmann::json::parse(ECFSIM_Journal());
    ASSERT_EQ(j.size(), 3u);
    EXPECT_EQ(j[0]["entry"], "EPSON_RelatorioFiscal_Abrir_Dia");
    EXPECT_EQ(j[1]["args"], nlohmann::json::parse(R"(["123","José","","",2])"));
    EXPECT_EQ(j[2]["args"][1], 5);
    EXPECT_EQ(j[2]["return"], 1); // a receipt is open
    EXPECT_EQ(j[2]["result"], "0201");
    ECFSIM_ClearJournal();
    EXPECT_EQ(nlohmann::json::parse(ECFSIM_Journal()).size(), 0u);
}

TEST_F(PrinterTest, BadFaultSpecificationsRefused) {
    for (const char *spec : {"", "[]", R"({"kind":"melt"})", R"({"kind":"refuse"})",
                             R"({"kind":"status","position":19,"text":"0000"})",
                             R"({"kind":"comm","code":"XYZ1"})", R"({"kind":"comm","at":0})"}) {
        EXPECT_EQ(ECFSIM_InjectFault(spec), -1) << spec;
    }
}

} // namespace
