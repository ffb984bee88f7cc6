// The product report against the virtual printer: its lines, the tax summary
// whatever its length, the question and the pending document.
#include <algorithm>

#include "fixture.h"
#include "till_closing_helpers.h"

namespace {

using till::Product;

class ProductReportTest : public DriverTest {
  protected:
    void startPrinter(int type = 31) {
        ASSERT_TRUE(start(type));
        clearJournal();
        dialogs.clear();
    }
    // Relatorio_Produto of the day for branch "0001", till "001".
    void run(const std::vector<Product> &rows, const std::string &confirm = "N",
             const std::string &grouped = "N", const std::string &mode = "D") {
        tiv::TClientDataSet ds("products");
        till::productsInto(ds, rows);
        Relatorio_Produto("", mode, "EP0123456789", "0001", "001", number, &ds, confirm, grouped,
                          "001", reportOpen);
    }
    std::vector<std::string> lines() const { return till::printedLines(journal()); }

    std::string number;
    bool reportOpen = true;
};

const std::vector<std::string> kDayHeading{
    "",
    "         RELATORIO DE PRODUTOS DO DIA          ",
    "",
    "FILIAL 0001  CAIXA 001",
    "---------------------------------------------------",
    "CODIGO         NOME                  QTDE  VLR.TOT.",
};

std::vector<std::string> concat(std::vector<std::string> a, const std::vector<std::string> &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(ProductReportTest, PlainListPrefersTheFiscalCodeAndTotalsDiscountsAndSurcharges) {
    startPrinter();
    run({{"1001", "   ", "ARROZ TIPO 1 5KG PACOTE", 2, 49.80, 0, 1.20, "T", 18},
         {"1002", "7891000200202", "FEIJAO", 1.5, 12.00, 0.50, 0, "F", 0},
         // A day's bread: a quantity wider than its column keeps every digit.
         {"1003", "", "PAO FRANCES", 1250, 1000.00, 0, 0, "T", 7}});
    EXPECT_EQ(lines(),
              concat(kDayHeading, {
                                      "1001           ARROZ TIPO 1 5KG PA   2,00     49,80",
                                      "7891000200202  FEIJAO                1,50     12,00",
                                      "1003           PAO FRANCES          1250,00   1000,00",
                                      "",
                                      "Total de Acr\xE9scimos                            0,50",
                                      "",
                                      "Total de Descontos                             1,20",
                                      "",
                                      "Total das Vendas                  1253,50   1061,80",
                                      "",
                                      "",
                                  }));
    // Opened, printed, closed and recorded under the report's own counter.
    EXPECT_EQ(till::reportCalls(journal()),
              (std::vector<std::string>{"EPSON_NaoFiscal_Abrir_Relatorio_Gerencial",
                                        "EPSON_NaoFiscal_Fechar_Relatorio_Gerencial"}));
    EXPECT_EQ(std::stoll(number), printerState()["counters"]["coo"].get<int64_t>());
    EXPECT_EQ(printerState()["docState"], "0");
    EXPECT_TRUE(dialogs.empty());
}

TEST_F(ProductReportTest, GroupedByTaxationWithHeadingsAndOneSummaryRowPerTypeAndRate) {
    startPrinter(33);
    run({{"1", "", "ARROZ", 1, 10.00, 0, 0, "T", 18},
         {"2", "", "AGUA", 2, 3.00, 0, 0, "F", 0},
         {"3", "", "FEIJAO", 1, 8.00, 0, 0, "T", 7},
         {"4", "", "LEITE", 1, 4.35, 0, 0, "I", 0},
         {"5", "", "CAFE", 1, 12.00, 0, 0, "T", 18},
         {"6", "", "JORNAL", 1, 2.50, 0, 0, "N", 0},
         // A type of the host's own at a zero rate is named, not left unlabelled.
         {"7", "", "SERVICO", 1, 5.00, 0, 0, "S", 0}},
        "N", "S");
    const std::vector<std::string> body{
        "Subst. Tributaria",
        "2              AGUA                  2,00      3,00",
        "Isento",
        "4              LEITE                 1,00      4,35",
        "N\xE3o Incide",
        "6              JORNAL                1,00      2,50",
        "Tributacao S",
        "7              SERVICO               1,00      5,00",
        "Tributacao  7,00",
        "3              FEIJAO                1,00      8,00",
        "Tributacao  18,00",
        "1              ARROZ                 1,00     10,00",
        "5              CAFE                  1,00     12,00",
        "VALOR                                8,00     44,85",
        "",
        "Resumo da Tributa\xE7\xE3o               ",
        "---------------------------------------------------",
        "Subst. Tributaria                           3,00",
        "Isento                                      4,35",
        "N\xE3o Incide                                  2,50",
        "Tributacao S                                5,00",
        "7,00                                        8,00",
        "18,00                                      22,00",
    };
    const auto all = lines();
    ASSERT_GE(all.size(), kDayHeading.size() + body.size());
    EXPECT_EQ(std::vector<std::string>(all.begin() + kDayHeading.size(),
                                       all.begin() + kDayHeading.size() + body.size()),
              body);
    EXPECT_EQ(all.at(kDayHeading.size() + body.size() + 5),
              "Total das Vendas                     8,00     44,85");
}

// The summary is printed whole however many rows it has; no print passes 620
// characters, and neither does a heading that carries the host's long codes.
TEST_F(ProductReportTest, EveryRowOfALongSummaryReachesThePaper) {
    for (int rates : {3, 14}) {
        SCOPED_TRACE(rates);
        resetPrinter();
        startPrinter();
        std::vector<Product> rows;
        for (int i = 1; i <= rates; ++i)
            rows.push_back({std::to_string(i), "", "ITEM", 1, 1.0 * i, 0, 0, "T", 1.0 * i});
        const int64_t mark = ECFSIM_MarkPaper();
        run(rows, "N", "S");
        for (const std::string &block : till::printedBlocks(journal()))
            EXPECT_LE(block.size(), 620u);
        const auto paper = paperSince(mark);
        for (int i = 1; i <= rates; ++i) {
            const std::string rate = std::to_string(i) + ",00";
            const std::string row = rate + std::string(35 - rate.size(), ' ') +
                                    std::string(13 - rate.size(), ' ') + rate;
            EXPECT_NE(std::find(paper.begin(), paper.end(), row), paper.end()) << row;
        }
        StopImpFiscal();
    }
    // A branch code of 700 characters: the heading goes in pieces, none lost.
    resetPrinter();
    startPrinter();
    tiv::TClientDataSet ds("products");
    till::productsInto(ds, {{"1", "", "ITEM", 1, 1, 0, 0, "T", 18}});
    const std::string branch(700, 'B');
    Relatorio_Produto("", "A", "EP0123456789", branch, "001", number, &ds, "N", "N", "001",
                      reportOpen);
    std::string printed;
    for (const std::string &block : till::printedBlocks(journal())) {
        EXPECT_LE(block.size(), 620u);
        printed += block;
    }
    EXPECT_NE(printed.find("FILIAL " + branch + "  CAIXA 001\n"), std::string::npos);
    EXPECT_NE(printed.find("RELATORIO DE PRODUTOS DA ABERTURA"), std::string::npos);
}

// A heading of exactly the printer's block size, 620 characters, goes out in one print; one
// character more, in two, and nothing is lost.
TEST_F(ProductReportTest, AHeadingOfTheBlockSizeIsOnePrint) {
    startPrinter();
    const auto heading = [&](const std::string &branch) {
        clearJournal();
        tiv::TClientDataSet ds("products");
        till::productsInto(ds, {{"1", "", "ITEM", 1, 1, 0, 0, "T", 18}});
        Relatorio_Produto("", "D", "EP0123456789", branch, "001", number, &ds, "N", "N", "001",
                          reportOpen);
        return till::printedBlocks(journal());
    };
    const std::string shortOne = heading("B").at(0);
    ASSERT_LT(shortOne.size(), 620u);
    for (size_t size : {620u, 621u}) {
        SCOPED_TRACE(size);
        const std::string branch(size - shortOne.size() + 1, 'B');
        std::string whole = shortOne;
        whole.replace(whole.find("FILIAL B "), 9, "FILIAL " + branch + " ");
        ASSERT_EQ(whole.size(), size);
        const auto blocks = heading(branch);
        ASSERT_GE(blocks.size(), 2u);
        if (size == 620) {
            EXPECT_EQ(blocks[0], whole);
        } else {
            EXPECT_LT(blocks[0].size(), 620u);
            EXPECT_EQ(blocks[0] + blocks[1], whole);
        }
    }
}

TEST_F(ProductReportTest, QuestionAndPendingDocument) {
    const std::vector<Product> one{{"1", "", "ITEM", 1, 1, 0, 0, "T", 18}};
    struct Case {
        const char *name;
        std::string confirm;
        std::vector<bool> answers;
        bool flagBefore, leftOpen; // a management report left open before the call
        std::vector<Product> rows;
        std::vector<std::string> calls;
        bool flagAfter;
        size_t questions;
        bool closeRefused = false; // the close found nothing open, and said so
    };
    const std::string open = "EPSON_NaoFiscal_Abrir_Relatorio_Gerencial";
    const std::string close = "EPSON_NaoFiscal_Fechar_Relatorio_Gerencial";
    const std::vector<Case> cases{
        {"asked, yes", "S", {true}, true, false, one, {open, close}, true, 1},
        {"asked, no", "S", {false}, false, true, one, {}, false, 1},
        {"any other mode prints nothing", "X", {}, false, true, one, {}, false, 0},
        {"pending report closed first", "N", {}, false, true, one, {close, open, close}, true, 0},
        {"empty list still closes the pending report", "N", {}, false, true, {}, {close}, true, 0},
        // The flag, not the printer, says a document may be pending: the close is sent.
        {"flag false, nothing open: the close is sent",
         "N",
         {},
         false,
         false,
         {},
         {close},
         true,
         0,
         true},
        {"flag false, nothing open, then the report",
         "N",
         {},
         false,
         false,
         one,
         {close, open, close},
         true,
         0,
         true},
        {"flag already set: the pending report stays", "N", {}, true, true, {}, {}, true, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        resetPrinter();
        ASSERT_TRUE(start(31));
        if (c.leftOpen) {
            ASSERT_TRUE(Relatorio_Gerencial_Imp("001", "", "", "", ""));
        }
        clearJournal();
        dialogs.clear();
        stMensagemTaa.clear();
        answers.assign(c.answers.begin(), c.answers.end());
        reportOpen = c.flagBefore;
        run(c.rows, c.confirm);
        EXPECT_EQ(till::reportCalls(journal()), c.calls);
        EXPECT_EQ(reportOpen, c.flagAfter);
        // The question, and the printer's refusal of a close that found nothing open: shown, as
        // the close is sent with its messages on, and no stop to the report.
        ASSERT_EQ(dialogs.size(), c.questions + (c.closeRefused ? 1 : 0));
        if (c.questions) {
            EXPECT_EQ(dialogs[0].text, "Confirma impress\xE3o do Relat\xF3rio de Produtos?");
        }
        if (c.closeRefused) {
            EXPECT_EQ(dialogs.back().askMark, "N") << dialogs.back().text;
            EXPECT_FALSE(stMensagemTaa.empty());
        }
        StopImpFiscal();
    }
}

// A plain list needs no taxation fields, also on the report's first use in the process (each
// test runs in a process of its own under ctest).
TEST_F(ProductReportTest, APlainListWithoutTheTaxationFieldsPrints) {
    startPrinter();
    tiv::TClientDataSet ds("products");
    ds.fieldDefs() = {
        {"CDPRODUTO", tiv::FieldType::String, 20}, {"CDPRODIMPFIS", tiv::FieldType::String, 20},
        {"NMPRODUTO", tiv::FieldType::String, 20}, {"QTPRODVEND", tiv::FieldType::Float},
        {"VRTOTAL", tiv::FieldType::Float},        {"VRACRE", tiv::FieldType::Float},
        {"VRDESC", tiv::FieldType::Float}};
    ds.createDataSet();
    ds.append();
    ds.fieldByName("CDPRODUTO").setAsString("1001");
    ds.fieldByName("NMPRODUTO").setAsString("ARROZ");
    ds.fieldByName("QTPRODVEND").setAsFloat(2);
    ds.fieldByName("VRTOTAL").setAsFloat(20);
    ds.post();
    for (int call = 0; call < 2; ++call) {
        SCOPED_TRACE(call);
        clearJournal();
        EXPECT_NO_THROW(Relatorio_Produto("", "D", "EP0123456789", "0001", "001", number, &ds, "N",
                                          "N", "001", reportOpen));
        const auto printed = lines();
        EXPECT_NE(std::find(printed.begin(), printed.end(),
                            "1001           ARROZ                 2,00     20,00"),
                  printed.end());
    }
}

TEST_F(ProductReportTest, AListWithoutAFieldTheReportReadsIsRefusedBeforeAnyPrint) {
    startPrinter();
    tiv::TClientDataSet ds("products");
    ds.fieldDefs() = {{"CDPRODUTO", tiv::FieldType::String, 20},
                      {"NMPRODUTO", tiv::FieldType::String, 20},
                      {"VRTOTAL", tiv::FieldType::Float}};
    ds.createDataSet();
    EXPECT_THROW(Relatorio_Produto("", "D", "EP0123456789", "0001", "001", number, &ds, "N", "N",
                                   "001", reportOpen),
                 tiv::DataError);
    EXPECT_THROW(Relatorio_Produto("", "D", "EP0123456789", "0001", "001", number, nullptr, "N",
                                   "N", "001", reportOpen),
                 tiv::DataError);
    EXPECT_TRUE(journal().empty());
}

} // namespace
