// The restaurant prints against the virtual printer: open tables, items
// moved between tables, and the texts the host composes (table conference,
// exchange voucher, payment kinds).
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "document_packets.h"
#include "fixture.h"
#include "print_sweep.h"
#include "sale_helpers.h"

namespace {

using docs::packet;

// One column of a host-database table, row by row.
std::vector<std::string> hostColumn(const std::string &table, const std::string &column) {
    std::vector<std::string> values;
    const std::string path = tivhost::hostDatabasePath();
    if (!std::filesystem::exists(path)) return values;
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *st = nullptr;
        const std::string sql = "SELECT " + column + " FROM " + table + " ORDER BY id";
        if (sqlite3_prepare_v2(db, sql.c_str(), -1, &st, nullptr) == SQLITE_OK)
            while (sqlite3_step(st) == SQLITE_ROW) {
                const auto *text = sqlite3_column_text(st, 0);
                values.emplace_back(text ? reinterpret_cast<const char *>(text) : "");
            }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return values;
}

class RestaurantTest : public DriverTest {
  protected:
    void begin() {
        std::filesystem::remove(tivhost::hostDatabasePath());
        ASSERT_TRUE(start(31));
        clearJournal();
        stMensagemTaa.clear();
    }
    std::vector<std::string> blocks() const { return docs::printedBlocks(journal()); }
    std::vector<std::string> docCalls() const { return docs::documentCalls(journal()); }
    std::string docState() const { return printerState()["docState"]; }
};

// "Data Emissão: dd/mm/yyyy hh:nn:ss" and what follows it.
void expectIssuedAt(const std::string &block, const std::string &after) {
    const std::string label = "Data Emiss\xE3o: ";
    ASSERT_EQ(block.size(), label.size() + 19 + after.size()) << block;
    EXPECT_EQ(block.substr(0, label.size()), label);
    const std::string when = block.substr(label.size(), 19);
    EXPECT_EQ(when.substr(2, 1) + when.substr(5, 1) + when.substr(13, 1), "//:") << when;
    EXPECT_EQ(block.substr(label.size() + 19), after);
}

const std::string kTables = "Mesas Abertas:\nNr\xBA da Mesa      Data/Hora de abertura\n";
const std::string kSelfService =
    "Comandas Pedivox Abertas:\nNr\xBA da Comanda   Data/Hora de abertura\n";
const std::string kOrders = "Comandas Abertas:\nNr\xBA da Comanda   Data/Hora de abertura\n";

TEST_F(RestaurantTest, OpenTablesAreGroupedByTheKindOfTheirLabel) {
    const std::string at = "10/12/2026 12:00:00";
    const std::vector<std::string> fields = {"DSCOMANDA", "NRMESA", "DTHRABERMESA"};
    const std::string gap = "\n\n";
    struct Case {
        const char *name;
        std::vector<std::vector<tiv::Variant>> rows;
        std::vector<std::string> body; // between the date and the last LF
    };
    const std::vector<Case> cases{
        {"empty", {}, {}},
        // "PKR" is a table like "RES", listed by table number.
        {"tables and a self-service order",
         {{"RES01", "5", at}, {"PKR02", "7", at}, {"DLV123", "", at}},
         {kTables, "5" + std::string(13, ' ') + at + "\n", "7" + std::string(13, ' ') + at + "\n",
          gap, kSelfService, "DLV123" + std::string(7, ' ') + at + "\n"}},
        // A kind that comes back after another one gets its heading again.
        {"a kind that comes back",
         {{"RES01", "5", at}, {"BAL9", "", at}, {"RES03", "9", at}},
         {kTables, "5" + std::string(13, ' ') + at + "\n", gap, kOrders,
          "BAL9" + std::string(7, ' ') + at + "\n", gap, kTables,
          "9" + std::string(13, ' ') + at + "\n"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        begin();
        tiv::TClientDataSet *unused = nullptr;
        EXPECT_TRUE(ImprimeMesasAbertas(unused, "K1", "007", "001", "EP0123456789",
                                        packet(fields, c.rows)));
        auto printed = blocks();
        ASSERT_EQ(printed.size(), c.body.size() + 3);
        EXPECT_EQ(printed[0], std::string(15, ' ') + "Mesas Abertas\n\n");
        expectIssuedAt(printed[1], "\n");
        EXPECT_EQ(std::vector<std::string>(printed.begin() + 2, printed.end() - 1), c.body);
        EXPECT_EQ(printed.back(), "\n");
        EXPECT_EQ(docState(), "0");
        EXPECT_EQ(sale::recordedCodes(), (std::vector<std::string>{"RG"}));
        StopImpFiscal();
    }
}

TEST_F(RestaurantTest, TransferredItemsAreListedByOriginAndDestination) {
    const std::vector<std::string> fields = {"NRMESA",    "NRMESADSCOMORIT", "CDPRODUTO",
                                             "NMPRODUTO", "QTPRODCOMVEN",    "VRPRECCOMVEN"};
    const std::string heading = "C\xF3"
                                "digo  -  Nome Produto   -    Qtde. -  Vr Unit.\n";
    auto item = [](const std::string &left, const std::string &price) {
        return (left + std::string(37, ' ')).substr(0, 37) + " " +
               std::string(10 - price.size(), ' ') + price + "\n";
    };
    begin();
    imprimeProdutosTransf("K1", "007", "001", "EP0123456789",
                          packet(fields, {{"5", "2", "10", "REFRIGERANTE LATA 350ML", 2.0, 6.5},
                                          {"5", "2", "11", "AGUA", 1.0, 4.0},
                                          {"8", "2", "12", "PORCAO DE FRITAS", 1.5, 132.9}}));
    const auto printed = blocks();
    ASSERT_EQ(printed.size(), 10u);
    expectIssuedAt(printed[0], "\n\n\n");
    EXPECT_EQ(std::vector<std::string>(printed.begin() + 1, printed.end()),
              (std::vector<std::string>{"Mes Origem: 2 -> Mesa Destino: 5\n", heading,
                                        item("10 REFRIGERANTE LATA 3 2,00", "R$ 6,50"),
                                        item("11 AGUA                1,00", "R$ 4,00"), "\n",
                                        "Mes Origem: 2 -> Mesa Destino: 8\n", heading,
                                        item("12 PORCAO DE FRITAS    1,50", "R$ 132,90"), "\n"}));
    EXPECT_EQ(sale::recordedCodes(), (std::vector<std::string>{"RG"}));
    StopImpFiscal();

    // Nothing moved: the date and one line feed.
    begin();
    imprimeProdutosTransf("K1", "007", "001", "EP0123456789", packet(fields, {}));
    EXPECT_EQ(blocks().size(), 2u);
    EXPECT_EQ(docState(), "0");
    StopImpFiscal();

    // A price its 10 columns cannot hold ("R$ 1.000,00") prints nothing.
    begin();
    imprimeProdutosTransf("K1", "007", "001", "EP0123456789",
                          packet(fields, {{"5", "2", "10", "AGUA", 1.0, 4.0},
                                          {"5", "2", "13", "VINHO", 1.0, 1000.0}}));
    EXPECT_TRUE(journal().empty());
    EXPECT_NE(stMensagemTaa.find("Valor unit\xE1rio 1000 excede o tamanho aceito"),
              std::string::npos)
        << stMensagemTaa;
    EXPECT_TRUE(sale::recordedCodes().empty());
}

// The composed texts: whole lines in chunks of at least 500 characters, the
// close deciding; only the conference counts a CER, and each records its
// own way.
TEST_F(RestaurantTest, ComposedTextsGoOutInChunksAndAreRecordedTheirWay) {
    std::string text;
    for (int i = 0; i < 30; ++i)
        text.append(39, static_cast<char>('A' + i % 26)).push_back('\n');
    std::string receipt;
    struct Case {
        const char *name;
        std::function<bool(const std::string &)> run;
        bool refuseClose;
        std::vector<std::string> codes, keys;
        bool cer;
    };
    const std::vector<Case> cases{
        {"conference of a table",
         [&](const std::string &t) {
             return Conferencia_Formatada("001", "K1", "007", "EP0123456789", "", "MESA 5", receipt,
                                          t);
         },
         false,
         {"CM"},
         {"MESA 5"},
         true},
        {"conference without key",
         [&](const std::string &t) {
             return Conferencia_Formatada("001", "K1", "007", "EP0123456789", "", "", receipt, t);
         },
         false,
         {"RG"},
         {""},
         true},
        {"conference, close refused",
         [&](const std::string &t) {
             return Conferencia_Formatada("001", "K1", "007", "EP0123456789", "", "MESA 5", receipt,
                                          t);
         },
         true,
         {"CM"},
         {"MESA 5"},
         true},
        {"exchange voucher",
         [](const std::string &t) { return Cupom_Troca("001", "K1", "007", t); },
         false,
         {},
         {},
         false},
        {"exchange voucher, close refused",
         [](const std::string &t) { return Cupom_Troca("001", "K1", "007", t); },
         true,
         {},
         {},
         false},
        {"payment kinds",
         [](const std::string &t) {
             return imprimeTipoRece("K1", "007", "001", "EP0123456789", t);
         },
         false,
         {"RG"},
         {""},
         false},
        {"payment kinds, close refused",
         [](const std::string &t) {
             return imprimeTipoRece("K1", "007", "001", "EP0123456789", t);
         },
         true,
         {},
         {},
         false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        begin();
        receipt = "untouched";
        if (c.refuseClose)
            injectFault(
                {{"kind", "refuse"}, {"entry", "EPSON_NaoFiscal_Fechar_Relatorio_Gerencial"}});
        EXPECT_EQ(c.run(text), !c.refuseClose);
        std::vector<size_t> sizes;
        std::string joined;
        for (const auto &b : blocks())
            sizes.push_back(b.size()), joined += b;
        EXPECT_EQ(sizes, (std::vector<size_t>{520, 520, 160}));
        EXPECT_EQ(joined, text);
        EXPECT_EQ(sale::recordedCodes(), c.codes);
        EXPECT_EQ(hostColumn("doc_nao_fiscais_ecf", "extra_key"), c.keys);
        EXPECT_EQ(hostColumn("grava_cer", "key2"),
                  c.cer ? std::vector<std::string>{"007"} : std::vector<std::string>{});
        // The number of the report itself, read while it is open.
        if (c.cer) {
            EXPECT_EQ(std::stoll(receipt), printerState()["counters"]["coo"].get<int64_t>());
        }
        StopImpFiscal();
    }

    // An empty text: the report is opened and closed all the same.
    begin();
    EXPECT_TRUE(Cupom_Troca("001", "K1", "007", ""));
    EXPECT_TRUE(blocks().empty());
    EXPECT_EQ(docCalls(), (std::vector<std::string>{"EPSON_NaoFiscal_Abrir_Relatorio_Gerencial",
                                                    "EPSON_NaoFiscal_Fechar_Relatorio_Gerencial"}));
}

// Each print with one fault on each of its printer calls, of every kind:
// true only when everything reached the paper, and paper missing always
// named in stMensagemTaa (imprimeProdutosTransf, without a result, says it
// there only).
TEST_F(RestaurantTest, EveryPrintSaysWhetherItReachedThePaperWhole) {
    const std::string at = "10/12/2026 12:00:00";
    const tiv::Variant tables = packet({"DSCOMANDA", "NRMESA", "DTHRABERMESA"},
                                       {{"RES01", "5", at}, {"DLV123", "", at}, {"BAL9", "", at}});
    const tiv::Variant moved = packet(
        {"NRMESA", "NRMESADSCOMORIT", "CDPRODUTO", "NMPRODUTO", "QTPRODCOMVEN", "VRPRECCOMVEN"},
        {{"5", "2", "10", "AGUA", 1.0, 4.0}, {"8", "2", "12", "FRITAS", 1.5, 32.9}});
    std::string text;
    for (int i = 0; i < 15; ++i)
        text.append(39, static_cast<char>('A' + i)).push_back('\n');
    std::string receipt;
    auto prepare = [&] {
        StopImpFiscal();
        resetPrinter();
        begin();
    };
    const std::vector<sweep::Print> prints{
        {"ImprimeMesasAbertas", prepare,
         [&] {
             tiv::TClientDataSet *unused = nullptr;
             return ImprimeMesasAbertas(unused, "K1", "007", "001", "EP0123456789", tables);
         }},
        {"imprimeProdutosTransf", prepare,
         [&] {
             imprimeProdutosTransf("K1", "007", "001", "EP0123456789", moved);
             return stMensagemTaa.find("imprimeProdutosTransf: impress") == std::string::npos;
         }},
        {"Conferencia_Formatada", prepare,
         [&] {
             return Conferencia_Formatada("001", "K1", "007", "EP0123456789", "", "MESA 5", receipt,
                                          text);
         }},
        {"Cupom_Troca", prepare, [&] { return Cupom_Troca("001", "K1", "007", text); }},
        {"imprimeTipoRece", prepare,
         [&] { return imprimeTipoRece("K1", "007", "001", "EP0123456789", text); }},
        {"Relatorio_Generico", prepare,
         [&] { return Relatorio_Generico("001", "K1", "007", text, "EP0123456789", ""); }},
    };
    for (const sweep::Print &p : prints) {
        SCOPED_TRACE(p.name);
        const sweep::Figures f = sweep::run(p);
        // Every kind of fault on a line or on the close loses paper somewhere.
        EXPECT_GT(f.missing, 0);
    }
    StopImpFiscal();
}

// The report's opening refused: nothing is printed, and the print says so
// instead of answering true (in the debug log too, as imprimeProdutosTransf
// has no result to say it with).
TEST_F(RestaurantTest, APrintWhoseReportCouldNotOpenSaysSo) {
    struct Case {
        std::string name;
        std::function<bool()> run;
    };
    const std::vector<Case> cases{
        {"ImprimeMesasAbertas",
         [] {
             tiv::TClientDataSet *unused = nullptr;
             return ImprimeMesasAbertas(unused, "K1", "007", "001", "EP0123456789",
                                        packet({"DSCOMANDA", "NRMESA", "DTHRABERMESA"},
                                               {{"RES01", "5", "10/12/2026 12:00:00"}}));
         }},
        {"imprimeProdutosTransf",
         [] {
             imprimeProdutosTransf("K1", "007", "001", "EP0123456789",
                                   packet({"NRMESA", "NRMESADSCOMORIT", "CDPRODUTO", "NMPRODUTO",
                                           "QTPRODCOMVEN", "VRPRECCOMVEN"},
                                          {{"5", "2", "10", "AGUA", 1.0, 4.0}}));
             return false;
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        begin();
        injectFault({{"kind", "refuse"}, {"entry", "EPSON_NaoFiscal_Abrir_Relatorio_Gerencial"}});
        const int64_t mark = ECFSIM_MarkPaper();
        EXPECT_FALSE(c.run());
        EXPECT_TRUE(paperSince(mark).empty());
        const std::string told = c.name +
                                 ": impress\xE3o incompleta; a impressora fiscal n\xE3o confirmou "
                                 "que todo o documento chegou ao papel.";
        EXPECT_NE(stMensagemTaa.find(told), std::string::npos) << stMensagemTaa;
        const auto log = logTexts();
        EXPECT_NE(std::find(log.begin(), log.end(), "ERRO!!! " + told), log.end());
        StopImpFiscal();
    }
}

} // namespace
