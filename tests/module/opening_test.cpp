// Opening a receipt: closing a document left open, the consumer's data cut
// for the printer, the retry during a TEF sale and the pairs handed back.
#include <algorithm>
#include <functional>

#include "fixture.h"
#include "sale_helpers.h"

namespace {

using sale::param;

tiv::Variant openingParams(const std::string &cpf = "", const std::string &name = "",
                           const std::string &address = "", const std::string &idUtilTef = "N",
                           bool utilTef = false, int tefError = 0) {
    return tiv::makeParams({{"ESQUEMACOR", "001"},
                            {"INTTEFERRO", tefError},
                            {"INCLUICPF", cpf},
                            {"INCLUINOME", name},
                            {"INCLUIENDERECO", address},
                            {"CUPNR", "host-nr"},
                            {"CONTCUPOM", "host-ccf"},
                            {"TIPOTICKET", ""},
                            {"IVACOMP", ""},
                            {"IVAPROP", ""},
                            {"TIPODOC", ""},
                            {"NRDOC", ""},
                            {"MESA", ""},
                            {"IDUTILTEF", idUtilTef},
                            {"UTILTEF", utilTef}});
}

class OpeningTest : public DriverTest {
  protected:
    void SetUp() override {
        DriverTest::SetUp();
        sale::answerOnlyQuestions(dialogs, answers);
    }
    std::vector<ShownDialog> questions() const {
        std::vector<ShownDialog> out;
        std::copy_if(dialogs.begin(), dialogs.end(), std::back_inserter(out),
                     [](const ShownDialog &d) { return d.askMark == "S"; });
        return out;
    }
};

struct LeftOpen {
    const char *what;
    std::function<void()> leave;
    std::string state;
    bool closesFirst;
};

TEST_F(OpeningTest, ClosesANonFiscalDocumentLeftOpenOnlyForStates245) {
    const std::vector<LeftOpen> cases = {
        {"nothing open", [] {}, "0", false},
        {"management report", [] { ASSERT_EQ(EPSON_NaoFiscal_Abrir_Relatorio_Gerencial("1"), 0); },
         "5", true},
        {"unlinked voucher",
         [] { ASSERT_EQ(EPSON_NaoFiscal_Abrir_Comprovante("", "", "", "", 1), 0); }, "2", true},
        {"card voucher",
         [] {
             ASSERT_TRUE(sale::closedSalePaidWith(31, "Cartao Credito", "02"));
             ASSERT_EQ(EPSON_NaoFiscal_Abrir_CCD("Cartao Credito", "1000", 2, "1"), 0);
         },
         "4", true},
        {"receipt in sale", [] { ASSERT_EQ(EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2), 0); }, "1",
         false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.what);
        StopImpFiscal();
        resetPrinter(sale::cardPrinter());
        ASSERT_TRUE(start(31));
        c.leave();
        ASSERT_EQ(sale::documentState(), c.state);
        clearJournal();
        tiv::Variant params = openingParams();
        const bool opened = AbreCupom(params);

        auto calls = journalEntries();
        calls.erase(std::remove_if(calls.begin(), calls.end(),
                                   [](const std::string &n) {
                                       return n == "EPSON_Obter_Estado_Impressora" ||
                                              n == "EPSON_Sys_Bloquear_Entradas";
                                   }),
                    calls.end());
        ASSERT_GE(calls.size(), 2u);
        EXPECT_EQ(calls[0], "EPSON_Obter_Estado_Cupom");
        const auto close =
            std::find(calls.begin(), calls.end(), "EPSON_NaoFiscal_Fechar_Relatorio_Gerencial");
        const auto open = std::find(calls.begin(), calls.end(), "EPSON_Fiscal_Abrir_Cupom");
        ASSERT_NE(open, calls.end());
        EXPECT_EQ(close != calls.end(), c.closesFirst);
        if (c.closesFirst) {
            EXPECT_LT(close - calls.begin(), open - calls.begin());
        }
        if (c.state == "0" || c.state == "5") {
            EXPECT_TRUE(opened);
        }
        if (c.state == "1") {
            EXPECT_FALSE(opened);
        }
    }
}

TEST_F(OpeningTest, CutsTheConsumerForThePrinterAndKeepsItWholeElsewhere) {
    const std::string cpf(25, '1'), name(35, 'N'), address = std::string(45, 'A') + "fim!!";
    for (int type : {31, 33}) {
        SCOPED_TRACE(type);
        StopImpFiscal();
        resetPrinter();
        ASSERT_TRUE(start(type));
        clearJournal();
        tiv::Variant params = openingParams(cpf, name, address);
        ASSERT_TRUE(AbreCupom(params)) << stMensagemTaa;

        const auto calls =
            sale::callsOf(journal(), type == 31 ? "EPSON_Fiscal_Abrir_Cupom"
                                                : "EPSON_ESC_ECF_Fiscal_Abrir_CupomEX");
        ASSERT_EQ(calls.size(), 1u);
        nlohmann::json expected = {cpf.substr(0, 20), name.substr(0, 30), address.substr(0, 40)};
        if (type == 31) {
            expected.push_back("");
            expected.push_back(2);
        }
        EXPECT_EQ(calls[0].at("args"), expected);

        const auto lines = logLines();
        const std::string logged =
            "EPSON_Fiscal_Abrir_Cupom :" + cpf + " - " + name + " - " + address;
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                                [&](const std::string &l) {
                                    return l.size() >= logged.size() &&
                                           l.compare(l.size() - logged.size(), logged.size(),
                                                     logged) == 0;
                                }))
            << "no debug line ending in " << logged;

        EXPECT_EQ(
            sale::paramNames(params),
            (std::vector<std::string>{"INTTEFERRO", "INCLUICPF", "INCLUINOME", "INCLUIENDERECO",
                                      "CUPNR", "CONTCUPOM", "MENSAGEMTAA"}));
        EXPECT_EQ(param(params, "INCLUICPF"), cpf);
        EXPECT_EQ(param(params, "INCLUINOME"), name);
        EXPECT_EQ(param(params, "INCLUIENDERECO"), address);
        const auto counters = printerState().at("counters");
        const size_t width = type == 31 ? 6 : 9;
        const auto padded = [width](int64_t n) {
            const std::string s = std::to_string(n);
            return std::string(width - s.size(), '0') + s;
        };
        EXPECT_EQ(param(params, "CUPNR"), padded(counters.at("coo").get<int64_t>()));
        EXPECT_EQ(param(params, "CONTCUPOM"), padded(counters.at("ccf").get<int64_t>()));
        EXPECT_EQ(sale::documentState(), "1");
        EXPECT_FALSE(boClieUtil);
    }
}

TEST_F(OpeningTest, AsksAfterEveryFailureInATefSaleAndReturnsTefErrorOne) {
    ASSERT_TRUE(start(31));
    injectFault({{"kind", "noanswer"}, {"entry", "EPSON_Fiscal_Abrir_Cupom"}, {"count", 2}});
    answers = {true, true};
    tiv::Variant params = openingParams("", "", "", "T", true, 0);
    EXPECT_TRUE(AbreCupom(params));
    EXPECT_EQ(sale::callsOf(journal(), "EPSON_Fiscal_Abrir_Cupom").size(), 3u);
    const auto asked = questions();
    ASSERT_EQ(asked.size(), 2u);
    for (const auto &q : asked) {
        EXPECT_EQ(q.text, "Impressora n\xE3o responde. Imprimir novamente?");
        EXPECT_EQ(q.kind, 3);
    }
    EXPECT_EQ(param(params, "INTTEFERRO"), "1");
    // The failed attempts stay in the message handed back.
    EXPECT_NE(param(params, "MENSAGEMTAA").find("Erro de execu\xE7\xE3o na fun\xE7\xE3o."),
              std::string::npos);
}

TEST_F(OpeningTest, DecliningTheRetryLeavesTheParametersAsPassed) {
    ASSERT_TRUE(start(31));
    injectFault({{"kind", "noanswer"}, {"entry", "EPSON_Fiscal_Abrir_Cupom"}});
    answers = {false};
    const tiv::Variant passed = openingParams("123", "Ana", "Rua", "S", true, 7);
    tiv::Variant params = passed;
    EXPECT_FALSE(AbreCupom(params));
    EXPECT_EQ(questions().size(), 1u);
    EXPECT_TRUE(params == passed);
}

TEST_F(OpeningTest, NoQuestionOutsideATefSale) {
    struct Case {
        const char *idUtilTef;
        bool utilTef;
    };
    for (const Case c : {Case{"N", true}, Case{"S", false}, Case{"", false}}) {
        SCOPED_TRACE(c.idUtilTef);
        StopImpFiscal();
        resetPrinter();
        ASSERT_TRUE(start(31));
        dialogs.clear();
        injectFault({{"kind", "noanswer"}, {"entry", "EPSON_Fiscal_Abrir_Cupom"}});
        boClieUtil = true;
        tiv::Variant params = openingParams("", "", "", c.idUtilTef, c.utilTef, 5);
        EXPECT_FALSE(AbreCupom(params));
        EXPECT_TRUE(questions().empty());
        EXPECT_EQ(sale::paramNames(params).size(), 7u);
        EXPECT_EQ(param(params, "CUPNR"), "host-nr");
        EXPECT_EQ(param(params, "CONTCUPOM"), "host-ccf");
        EXPECT_EQ(param(params, "INTTEFERRO"), "5");
        // A refusal with dialogs on, outside a TEF sale, keeps the flag.
        EXPECT_TRUE(boClieUtil);
    }
}

} // namespace
