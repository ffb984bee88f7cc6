// Management reports and the recording of printed documents, against the
// virtual printer and the host database.
#include <sqlite3.h>

#include <filesystem>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "fixture.h"
#include "tivplatform/datetime.h"
#include "vendor_entry_points.h"

namespace {

using Row = std::map<std::string, std::string>;

std::vector<Row> hostRows(const std::string &table) {
    std::vector<Row> rows;
    const std::string path = tivhost::hostDatabasePath();
    if (!std::filesystem::exists(path)) return rows;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) != SQLITE_OK) {
        ADD_FAILURE() << "cannot open " << path;
        sqlite3_close(db);
        return rows;
    }
    sqlite3_stmt *st = nullptr;
    if (sqlite3_prepare_v2(db, ("SELECT * FROM " + table + " ORDER BY id").c_str(), -1, &st,
                           nullptr) == SQLITE_OK) {
        while (sqlite3_step(st) == SQLITE_ROW) {
            Row row;
            for (int i = 0; i < sqlite3_column_count(st); ++i) {
                const auto *text = sqlite3_column_text(st, i);
                row[sqlite3_column_name(st, i)] = text ? reinterpret_cast<const char *>(text) : "";
            }
            rows.push_back(row);
        }
    }
    sqlite3_finalize(st);
    sqlite3_close(db);
    return rows;
}

std::string zeroPadded(int64_t value, size_t width) {
    std::string s = std::to_string(value);
    return std::string(width - s.size(), '0') + s;
}

class ManagementReportTest : public DriverTest {
  protected:
    void TearDown() override {
        tivhost::DataMoviFiscal() = nullptr;
        DriverTest::TearDown();
    }
    // The calls of the journal that open, close or read the state of a document.
    std::vector<std::string> documentCalls() const {
        std::vector<std::string> out;
        for (const auto &name : journalEntries())
            if (name == "EPSON_Obter_Estado_Cupom" || name.find("Fechar") != std::string::npos ||
                name.find("Abrir_Relatorio") != std::string::npos)
                out.push_back(name);
        return out;
    }
    std::vector<std::string> printedBlocks() const {
        std::vector<std::string> out;
        for (const auto &call : journal())
            if (call.at("entry") == "EPSON_NaoFiscal_Imprimir_LinhaEX" ||
                call.at("entry") == "EPSON_ESC_ECF_NaoFiscal_Imprimir_Linha")
                out.push_back(call.at("args").at(0).get<std::string>());
        return out;
    }
    std::string docState() const { return printerState()["docState"]; }
    int64_t counter(const char *name) const { return printerState()["counters"][name]; }
};

// A fiscal day with a sale paid by a linked method, followed by its card
// voucher, left open.
void openCardVoucher() {
    ASSERT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
    ASSERT_EQ(EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2), 0);
    ASSERT_EQ(EPSON_Fiscal_Vender_Item("1", "ITEM", "0001000", 3, "UN", "00010000", 3, "Ta", 1), 0);
    ASSERT_EQ(EPSON_Fiscal_Pagamento("Cartao", "0000000001000", 2, "", ""), 0);
    ASSERT_EQ(EPSON_Fiscal_Fechar_Cupom(1, 0), 0);
    ASSERT_EQ(EPSON_NaoFiscal_Abrir_CCD("Cartao", "0000000001000", 2, "1"), 0);
}

TEST_F(ManagementReportTest, OpeningClosesANonFiscalDocumentLeftOpenFirst) {
    const nlohmann::json config = {
        {"taxRates", {{{"kind", "T"}, {"rate", 1800}}}},
        {"payments", {"Dinheiro", {{"name", "Cartao"}, {"linked", true}}}}};
    struct Case {
        const char *name;
        int type;
        std::function<void(ManagementReportTest &)> setup;
        const char *stateBefore;
        std::vector<std::string> calls;
        bool opened;
    };
    const std::vector<Case> cases{
        {"nothing open",
         31,
         [](ManagementReportTest &) {},
         "0",
         {"EPSON_Obter_Estado_Cupom", "EPSON_NaoFiscal_Abrir_Relatorio_Gerencial"},
         true},
        {"management report open",
         31,
         [](ManagementReportTest &) {
             ASSERT_TRUE(Relatorio_Gerencial_Imp("001", "", "", "", ""));
         },
         "5",
         {"EPSON_Obter_Estado_Cupom", "EPSON_NaoFiscal_Fechar_Relatorio_Gerencial",
          "EPSON_NaoFiscal_Abrir_Relatorio_Gerencial"},
         true},
        {"card voucher open",
         33,
         [](ManagementReportTest &) { openCardVoucher(); },
         "4",
         {"EPSON_Obter_Estado_Cupom", "EPSON_ESC_ECF_NaoFiscal_Fechar_CCD_RGEX",
          "EPSON_ESC_ECF_NaoFiscal_Abrir_Relatorio_GerencialEX"},
         true},
        // A fiscal receipt is not the report's to close: the opening is refused.
        {"fiscal receipt open",
         31,
         [](ManagementReportTest &) { ASSERT_EQ(EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2), 0); },
         "1",
         {"EPSON_Obter_Estado_Cupom", "EPSON_NaoFiscal_Abrir_Relatorio_Gerencial"},
         false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        resetPrinter(config);
        ASSERT_TRUE(start(c.type));
        c.setup(*this);
        ASSERT_EQ(docState(), c.stateBefore);
        clearJournal();
        dialogs.clear();
        EXPECT_EQ(Relatorio_Gerencial_Imp("001", "", "", "", ""), c.opened);
        EXPECT_EQ(documentCalls(), c.calls);
        EXPECT_EQ(docState(), c.opened ? "5" : c.stateBefore);
        EXPECT_EQ(dialogs.size(), c.opened ? 0u : 1u);
        StopImpFiscal();
    }
}

TEST_F(ManagementReportTest, CerIsRecordedOnlyAfterASuccessfulOpeningWithAFlag) {
    struct Case {
        const char *name;
        const char *flag;
        bool refuseOpening;
        bool hostDate;
        const char *recordedDate; // nullptr: nothing recorded
    };
    for (const Case &c : {Case{"flag, opened", "incCer", false, false, "2024-03-01 00:00:00"},
                          Case{"flag, host's date", "incCer", false, true, "2030-05-06 00:00:00"},
                          Case{"empty flag", "", false, false, nullptr},
                          Case{"flag, opening refused", "incCer", true, false, nullptr}}) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(tivhost::hostDatabasePath());
        resetPrinter({{"clock", "2024-03-01 09:00:00"}, {"dayOpen", true}});
        ASSERT_TRUE(start(31));
        if (c.hostDate)
            tivhost::DataMoviFiscal() = [](const std::string &) {
                return tiv::encodeDate(2030, 5, 6);
            };
        else
            tivhost::DataMoviFiscal() = nullptr;
        if (c.refuseOpening)
            injectFault(
                {{"kind", "refuse"}, {"entry", "EPSON_NaoFiscal_Abrir_Relatorio_Gerencial"}});
        EXPECT_EQ(Relatorio_Gerencial_Imp("001", "K1", "007", "", c.flag), !c.refuseOpening);
        const auto rows = hostRows("grava_cer");
        if (!c.recordedDate) {
            EXPECT_TRUE(rows.empty());
        } else {
            ASSERT_EQ(rows.size(), 1u);
            EXPECT_EQ(rows[0].at("key1"), "K1");
            EXPECT_EQ(rows[0].at("key2"), "007");
            EXPECT_EQ(rows[0].at("fiscal_date"), c.recordedDate);
        }
        StopImpFiscal();
    }
}

TEST_F(ManagementReportTest, GenericReportPrintsWholeLinesInChunksOfAtLeast500) {
    const std::string line100 = std::string(99, 'a') + "\n";
    const std::string line30 = std::string(29, 'b') + "\n";
    std::string twelveLines, twentyShort;
    for (int i = 0; i < 12; ++i)
        twelveLines += line100;
    for (int i = 0; i < 20; ++i)
        twentyShort += line30;
    struct Case {
        const char *name;
        std::string text;
        std::vector<size_t> chunks;
        bool refuseClose;
    };
    const std::vector<Case> cases{
        {"empty text", "", {}, false},
        {"1,200 characters in lines of 100", twelveLines, {500, 500, 200}, false},
        {"lines of 30", twentyShort, {510, 90}, false},
        {"one long line, a last line without LF",
         std::string(700, 'c') + "\n" + "fim",
         {701, 3},
         false},
        {"close refused", twelveLines, {500, 500, 200}, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove(tivhost::hostDatabasePath());
        resetPrinter();
        ASSERT_TRUE(start(31));
        clearJournal();
        if (c.refuseClose)
            injectFault(
                {{"kind", "refuse"}, {"entry", "EPSON_NaoFiscal_Fechar_Relatorio_Gerencial"}});
        EXPECT_EQ(Relatorio_Generico("001", "K1", "007", c.text, "EP0123456789", ""),
                  !c.refuseClose);
        const auto blocks = printedBlocks();
        std::vector<size_t> sizes;
        std::string joined;
        for (const auto &b : blocks)
            sizes.push_back(b.size()), joined += b;
        EXPECT_EQ(sizes, c.chunks);
        EXPECT_EQ(joined, c.text);
        const auto names = documentCalls();
        ASSERT_FALSE(names.empty());
        EXPECT_EQ(names.back(), "EPSON_NaoFiscal_Fechar_Relatorio_Gerencial");
        EXPECT_TRUE(hostRows("grava_cer").empty()); // the generic report records no CER
        const auto docs = hostRows("doc_nao_fiscais_ecf");
        if (c.refuseClose) {
            EXPECT_TRUE(docs.empty());
        } else {
            ASSERT_EQ(docs.size(), 1u);
            EXPECT_EQ(docs[0].at("document_code"), "RG");
            EXPECT_EQ(docs[0].at("serial_number"), "EP0123456789");
        }
        StopImpFiscal();
    }
}

TEST_F(ManagementReportTest, EachDocumentCodeRecordsItsCounters) {
    struct Case {
        const char *code;
        bool nonFiscal, reports, credit;
    };
    for (const Case &c : {Case{"RG", true, true, false}, Case{"CM", true, true, false},
                          Case{"RV", true, true, false}, Case{"CC", true, false, true},
                          Case{"RZ", true, false, false}, Case{"LX", false, false, false},
                          Case{"NC", false, false, false}, Case{"MF", false, false, false},
                          Case{"ZZ", true, false, false}}) {
        SCOPED_TRACE(c.code);
        std::filesystem::remove(tivhost::hostDatabasePath());
        resetPrinter({{"clock", "2024-03-01 09:00:00"}, {"dayOpen", true}});
        ASSERT_TRUE(start(31));
        ASSERT_TRUE(Relatorio_Gerencial_Imp("001", "", "", "", ""));
        ASSERT_TRUE(FechRelatGerenc("001", true, false));
        GravaDocumentosNaoFiscais("EP0123456789", "001", c.code, "MESA 5");
        const auto docs = hostRows("doc_nao_fiscais_ecf");
        ASSERT_EQ(docs.size(), 1u);
        const Row &r = docs[0];
        EXPECT_EQ(r.at("serial_number"), "EP0123456789");
        EXPECT_EQ(r.at("document_code"), c.code);
        EXPECT_EQ(r.at("extra_key"), "MESA 5");
        EXPECT_EQ(r.at("receipt_counter"), zeroPadded(counter("coo"), 6));
        EXPECT_EQ(r.at("nonfiscal_counter"), c.nonFiscal ? zeroPadded(counter("gnf"), 6) : "");
        EXPECT_EQ(r.at("report_counter"), c.reports ? "000001" : "");
        EXPECT_EQ(r.at("credit_counter"), c.credit ? zeroPadded(counter("cdc"), 6) : "");
        EXPECT_EQ(r.at("fiscal_date"), "2024-03-01 00:00:00");
        EXPECT_FALSE(r.at("issued_at").empty());
        EXPECT_EQ(r.at("note"), "");
        StopImpFiscal();
    }
    EXPECT_TRUE(dialogs.empty());
}

TEST_F(ManagementReportTest, RecordingFailureIsShownAndNotRaised) {
    // No library bound: the first counter read fails.
    EXPECT_NO_THROW(GravaDocumentosNaoFiscais("EP0123456789", "002", "RG", ""));
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].kind, 3);
    EXPECT_EQ(dialogs[0].askMark, "N");
    EXPECT_EQ(dialogs[0].text, "GravaDocumentosNaoFiscais: Impressora fiscal n\xE3o iniciada. "
                               "Detalhes no log de depura\xE7\xE3o.");
    bool logged = false;
    for (const std::string &line : logTexts())
        logged |= line.starts_with("ERRO!!! GravaDocumentosNaoFiscais: ") &&
                  line.find("EPSON_Obter_Contadores") != std::string::npos;
    EXPECT_TRUE(logged) << "the entry point is named in the log";
    EXPECT_TRUE(hostRows("doc_nao_fiscais_ecf").empty());
}

TEST_F(ManagementReportTest, HeadingIsPrintedIntoAReportLeftOpen) {
    const std::string rule(48, '-');
    struct Case {
        const char *name;
        std::string title, till;
        std::string centredTitle;
        size_t blockSize; // 0: the whole heading
    };
    const std::vector<Case> cases{
        {"short title", "FECHAMENTO", "007",
         std::string(19, ' ') + "FECHAMENTO" + std::string(19, ' '), 0},
        {"title over 48", std::string(60, 't'), "007", std::string(48, 't'), 0},
        {"till code past 620", "X", std::string(700, '9'), "", 620},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        resetPrinter();
        ASSERT_TRUE(start(31));
        clearJournal();
        EXPECT_TRUE(Cabecalho("K1", "001", c.title, c.till, "", ""));
        const auto blocks = printedBlocks();
        ASSERT_EQ(blocks.size(), 1u);
        EXPECT_EQ(docState(), "5");
        if (c.blockSize) {
            EXPECT_EQ(blocks[0].size(), c.blockSize);
        } else {
            const std::string start = "\n" + rule + "\n" + c.centredTitle + "\n\n" + rule +
                                      "\nCaixa: " + c.till + std::string(16, ' ');
            ASSERT_EQ(blocks[0].substr(0, start.size()), start);
            const std::string rest = blocks[0].substr(start.size());
            // "dd/mm/yyyy hh:mm", then the closing rule.
            ASSERT_EQ(rest.size(), 16 + 1 + 48 + 1u);
            EXPECT_EQ(rest.substr(2, 1) + rest.substr(5, 1) + rest.substr(13, 1), "//:");
            EXPECT_EQ(rest.substr(16), "\n" + rule + "\n");
        }
        StopImpFiscal();
    }
}

} // namespace
