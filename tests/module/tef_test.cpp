// TEF slips: blocks of four lines, the two lists, the document they go into,
// how that document is recorded, and the reprint after a failure.
#include <algorithm>

#include "fixture.h"
#include "sale_helpers.h"

namespace {

using sale::recordedCodes;

std::string lines(int from, int to) {
    std::string s;
    for (int i = from; i <= to; ++i)
        s += "L" + std::to_string(i) + "\n";
    return s;
}

struct Tef {
    std::vector<std::string> first, second;
    std::string payment;
    double amount = 0;
    std::string firstMode = "N", secondMode = "";
};

class TefTest : public DriverTest {
  protected:
    void SetUp() override {
        DriverTest::SetUp();
        sale::answerOnlyQuestions(dialogs, answers);
    }
    void startPrinter(int type) {
        StopImpFiscal();
        resetPrinter(sale::cardPrinter());
        ASSERT_TRUE(start(type));
        clearJournal();
        dialogs.clear();
    }
    bool print(const Tef &t) {
        tiv::TStringList first(t.first), second(t.second), unused;
        return ImprimeTef("EP0123456789", "0001", "001", "001", &first, &second, &unused, &unused,
                          "", t.payment, "", t.amount, 0, 0, t.firstMode, t.secondMode);
    }
    // The blocks printed, whichever family.
    std::vector<std::string> blocks() const {
        std::vector<std::string> out;
        for (const auto &call : journal())
            if (call.at("entry") == "EPSON_NaoFiscal_Imprimir_LinhaEX" ||
                call.at("entry") == "EPSON_ESC_ECF_NaoFiscal_Imprimir_Linha")
                out.push_back(call.at("args")[0].get<std::string>());
        return out;
    }
    size_t count(const std::string &entry) const { return sale::callsOf(journal(), entry).size(); }
    size_t questions() const {
        return static_cast<size_t>(std::count_if(dialogs.begin(), dialogs.end(), [](const auto &d) {
            return d.askMark == "S" && d.text == "Impressora n\xE3o responde. Imprimir novamente?";
        }));
    }
};

TEST_F(TefTest, PrintsEachSlipInBlocksOfFourLinesIntoAManagementReport) {
    for (int type : {31, 33}) {
        SCOPED_TRACE(type);
        startPrinter(type);
        Tef t;
        t.first = {lines(1, 9), "sem fim de linha", ""};
        t.second = {lines(10, 13), "segunda via"};
        EXPECT_TRUE(print(t));
        EXPECT_EQ(blocks(),
                  (std::vector<std::string>{lines(1, 4), lines(5, 8), lines(9, 9), lines(10, 13),
                                            "sem fim de linha\n", "segunda via\n", "\n"}));
        EXPECT_EQ(recordedCodes().back(), "RG");
        EXPECT_EQ(sale::documentState(), "0");
    }
}

TEST_F(TefTest, WhichListsArePrinted) {
    struct Case {
        const char *firstMode, *secondMode;
        std::vector<std::string> printed;
    };
    const Case cases[] = {{"N", "", {"a\n", "b\n"}}, {"N", "APC", {"a\n"}}, {"N", "TAA", {"a\n"}},
                          {"S", "", {"b\n"}},        {"S", "TAA", {}},      {"", "APC", {}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.firstMode) + "/" + c.secondMode);
        startPrinter(31);
        Tef t;
        t.first = {"a"};
        t.second = {"b"};
        t.firstMode = c.firstMode;
        t.secondMode = c.secondMode;
        // Nothing to print still opens, closes and succeeds.
        EXPECT_TRUE(print(t));
        EXPECT_EQ(blocks(), c.printed);
        EXPECT_EQ(count("EPSON_NaoFiscal_Abrir_Relatorio_Gerencial"), 1u);
        EXPECT_EQ(count("EPSON_NaoFiscal_Fechar_Relatorio_Gerencial"), 1u);
    }
}

TEST_F(TefTest, AnEmptyFirstListOpensNothing) {
    startPrinter(31);
    Tef t;
    t.second = {"b"};
    EXPECT_FALSE(print(t));
    EXPECT_GE(count("EPSON_Obter_Estado_Impressora"), 1u); // the printer check ran
    EXPECT_EQ(count("EPSON_NaoFiscal_Abrir_Relatorio_Gerencial"), 0u);
    EXPECT_TRUE(recordedCodes().empty());
}

TEST_F(TefTest, ACardPaymentGoesIntoALinkedVoucherRecordedAsCC) {
    startPrinter(33);
    ASSERT_TRUE(sale::closedSalePaidWith(33, "Cartao Credito", "02"));
    clearJournal();
    inIndiceReceb = 1;
    Tef t;
    t.first = {"via cliente"};
    t.payment = "Cartao Credito";
    t.amount = 10;
    EXPECT_TRUE(print(t));
    const auto opens = sale::callsOf(journal(), "EPSON_ESC_ECF_NaoFiscal_Abrir_CCDEX");
    ASSERT_EQ(opens.size(), 1u);
    EXPECT_EQ(opens[0].at("args"), nlohmann::json({"1", "02", "1", "1", "", "", ""}));
    EXPECT_EQ(count("EPSON_ESC_ECF_NaoFiscal_Abrir_Relatorio_GerencialEX"), 0u);
    EXPECT_EQ(blocks(), std::vector<std::string>{"via cliente\n"});
    EXPECT_EQ(recordedCodes(), std::vector<std::string>{"CC"});
    EXPECT_EQ(sale::documentState(), "0");
}

TEST_F(TefTest, TheClassicCardVoucherCarriesTheAmountIn13Digits) {
    startPrinter(31);
    ASSERT_TRUE(sale::closedSalePaidWith(31, "Cartao Credito", "02"));
    clearJournal();
    Tef t;
    t.first = {"via cliente"};
    t.payment = "Cartao Credito";
    t.amount = 10;
    (void)print(t);
    const auto opens = sale::callsOf(journal(), "EPSON_NaoFiscal_Abrir_CCD");
    ASSERT_FALSE(opens.empty());
    EXPECT_EQ(opens[0].at("args"), nlohmann::json({"Cartao Credito", "0000000001000", 2, "1"}));
    EXPECT_EQ(recordedCodes().front(), "CC");
}

TEST_F(TefTest, AnAmountTooLargeForTheVoucherOpensNothing) {
    startPrinter(31);
    Tef t;
    t.first = {"via cliente"};
    t.payment = "Cartao Credito";
    t.amount = 1e11;
    EXPECT_FALSE(print(t));
    EXPECT_EQ(count("EPSON_NaoFiscal_Abrir_CCD"), 0u);
    EXPECT_EQ(count("EPSON_NaoFiscal_Abrir_Relatorio_Gerencial"), 0u);
    EXPECT_NE(stMensagemTaa.find("Valor do comprovante Cartao Credito"), std::string::npos);
    ASSERT_FALSE(dialogs.empty());
    EXPECT_EQ(dialogs.back().text, stMensagemTaa.substr(1));
}

TEST_F(TefTest, AFailedBlockIsReprintedWholeIntoAManagementReport) {
    startPrinter(33);
    ASSERT_TRUE(sale::closedSalePaidWith(33, "Cartao Credito", "02"));
    clearJournal();
    injectFault(
        {{"kind", "noanswer"}, {"entry", "EPSON_ESC_ECF_NaoFiscal_Imprimir_Linha"}, {"at", 2}});
    inIndiceReceb = 1;
    answers = {true};
    Tef t;
    t.first = {lines(1, 6)};
    t.payment = "Cartao Credito";
    t.amount = 10;
    EXPECT_TRUE(print(t));
    EXPECT_EQ(questions(), 1u);
    EXPECT_EQ(blocks(),
              (std::vector<std::string>{lines(1, 4), lines(5, 6), lines(1, 4), lines(5, 6)}));
    EXPECT_EQ(recordedCodes(), (std::vector<std::string>{"CC", "RG"}));
    EXPECT_EQ(count("EPSON_ESC_ECF_NaoFiscal_Abrir_Relatorio_GerencialEX"), 1u);
    EXPECT_EQ(sale::documentState(), "0");
}

TEST_F(TefTest, DecliningTheReprintEndsWithFalse) {
    for (bool selfService : {false, true}) {
        SCOPED_TRACE(selfService);
        startPrinter(31);
        boNUtilTaa = !selfService;
        injectFault({{"kind", "noanswer"}, {"entry", "EPSON_NaoFiscal_Imprimir_LinhaEX"}});
        answers = {false};
        Tef t;
        t.first = {"a"};
        EXPECT_FALSE(print(t));
        EXPECT_EQ(questions(), selfService ? 0u : 1u);
        EXPECT_EQ(count("EPSON_NaoFiscal_Abrir_Relatorio_Gerencial"), 1u);
    }
}

TEST_F(TefTest, AFailureInsideASlipOtherThanTheLastIsNotCarriedOn) {
    startPrinter(31);
    injectFault({{"kind", "noanswer"}, {"entry", "EPSON_NaoFiscal_Imprimir_LinhaEX"}});
    Tef t;
    t.first = {"a", "b"};
    t.second = {"a2", "b2"};
    EXPECT_TRUE(print(t));
    // The first slip's copy is skipped after its failure; the second prints whole.
    EXPECT_EQ(blocks(), (std::vector<std::string>{"a\n", "b\n", "b2\n"}));
    EXPECT_EQ(questions(), 0u);
}

TEST_F(TefTest, AsksAtThePrinterCheckAndTheOpening) {
    startPrinter(31);
    injectFault({{"kind", "noanswer"}, {"entry", "EPSON_Obter_Estado_Impressora"}});
    injectFault({{"kind", "noanswer"}, {"entry", "EPSON_NaoFiscal_Abrir_Relatorio_Gerencial"}});
    answers = {true, true};
    Tef t;
    t.first = {"a"};
    EXPECT_TRUE(print(t));
    EXPECT_EQ(questions(), 2u);
    EXPECT_EQ(count("EPSON_NaoFiscal_Abrir_Relatorio_Gerencial"), 2u);
    EXPECT_EQ(recordedCodes(), std::vector<std::string>{"RG"});

    startPrinter(31);
    injectFault({{"kind", "noanswer"}, {"entry", "EPSON_Obter_Estado_Impressora"}});
    answers = {false};
    EXPECT_FALSE(print(t));
    EXPECT_EQ(questions(), 1u);
    EXPECT_EQ(count("EPSON_NaoFiscal_Abrir_Relatorio_Gerencial"), 0u);
}

} // namespace

// The printer opened the card voucher but its answer was lost: the operator's yes does not
// open it again (the printer would refuse a second one), and the slip goes into it.
TEST_F(TefTest, AVoucherThePrinterOpenedIsNotOpenedAgain) {
    for (int type : {31, 33}) {
        SCOPED_TRACE(type);
        startPrinter(type);
        ASSERT_TRUE(sale::closedSalePaidWith(type, "Cartao Credito", "02"));
        const std::string open =
            type == 31 ? "EPSON_NaoFiscal_Abrir_CCD" : "EPSON_ESC_ECF_NaoFiscal_Abrir_CCDEX";
        clearJournal();
        inIndiceReceb = 1;
        injectFault({{"kind", "lost"}, {"entry", open}});
        answers = {true, true};
        Tef t;
        t.first = {"via cliente"};
        t.payment = "Cartao Credito";
        t.amount = 10;
        EXPECT_TRUE(print(t));
        EXPECT_EQ(count(open), 1u);
        EXPECT_EQ(blocks(), std::vector<std::string>{"via cliente\n"});
        EXPECT_EQ(sale::documentState(), "0");
        EXPECT_EQ(printerState().at("counters").at("cdc"), 1);
    }
}
