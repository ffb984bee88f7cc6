// The last Z reduction read back for the host's record, and the reduction
// record exported from the printer's counters and tables.
#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "fixture.h"
#include "sale_helpers.h"
#include "tivplatform/datetime.h"
#include "tivplatform/errors.h"
#include "vendor_entry_points.h"

namespace {

using nlohmann::json;
using sale::cardPrinter;
using sale::closedSalePaidWith;

std::string zeros(int64_t value, size_t width) {
    std::string s = std::to_string(value);
    return std::string(width - s.size(), '0') + s;
}

void put(std::string &s, size_t position, const std::string &text) {
    s.replace(position - 1, text.size(), text);
}

// A last-reduction reply with n rates: rate i is 18.00 - i/100 % with i + 1 reais sold, except
// `unsold`, which sold nothing. Then substitution 1.11, exempt 2.22, not taxed 3.33.
std::string zReply(size_t n, const std::string &date = "09122026", size_t unsold = 99) {
    std::string s(1167, '0');
    put(s, 21, "000123");
    put(s, 29, "0041");
    put(s, 33, "000456");
    put(s, 69, "0002");
    put(s, 87, zeros(1234567, 18));
    put(s, 105, zeros(150, 17));
    put(s, 156, zeros(250, 17));
    put(s, 207, zeros(75, 17));
    for (size_t i = 0; i < n; ++i) {
        put(s, 258 + 5 * i, "T" + zeros(static_cast<int64_t>(1800 - i), 4));
        put(s, 384 + 17 * i, zeros(i == unsold ? 0 : static_cast<int64_t>(i + 1) * 100, 17));
    }
    put(s, 384 + 17 * n, zeros(111, 17));
    put(s, 401 + 17 * n, zeros(222, 17));
    put(s, 418 + 17 * n, zeros(333, 17));
    put(s, 1158, zeros(static_cast<int64_t>(n), 2));
    put(s, 1160, date);
    return s;
}

struct TaxRow {
    std::string code, rate, sold, tax;
};

std::vector<TaxRow> taxRows(tiv::TClientDataSet &ds) {
    std::vector<TaxRow> rows;
    for (ds.first(); !ds.eof(); ds.next()) {
        EXPECT_EQ(ds.fieldByName("CDIMPOSTO").asString(), "00");
        rows.push_back(
            {ds.fieldByName("CDALIQIMPFIS").asString(), ds.fieldByName("VRALIQIMPFIS").asString(),
             ds.fieldByName("VRVENDIDO").asString(), ds.fieldByName("VRIMPOSTO").asString()});
    }
    return rows;
}

class ReductionRecordTest : public DriverTest {
  protected:
    void TearDown() override {
        tivhost::DataMoviFiscal() = nullptr;
        DriverTest::TearDown();
    }
    void forceReply(const std::string &text) {
        injectFault({{"kind", "reply"}, {"entry", "EPSON_Obter_Dados_Ultima_RZ"}, {"text", text}});
    }
    void forceGross(const std::string &lastReduction) {
        injectFault({{"kind", "reply"},
                     {"entry", "EPSON_Obter_Venda_Bruta"},
                     {"texts", json::array({"00000000000000", lastReduction})}});
    }
    bool read(tiv::Variant &result) {
        tiv::TClientDataSet *table = &taxTable;
        return DadosUltimaRedZ(tiv::Variant(std::vector<tiv::Variant>{"001"}), result, table);
    }
    tiv::TClientDataSet taxTable;
};

TEST_F(ReductionRecordTest, EveryFieldOfTheLastReductionReachesItsElement) {
    ASSERT_TRUE(start(31));
    forceReply(zReply(3));
    forceGross("00000000012345");
    tiv::Variant result = tiv::Variant::array(49);
    ASSERT_TRUE(read(result));

    EXPECT_EQ(result.at(0), tiv::Variant("0000000041"));
    EXPECT_EQ(result.at(1), tiv::Variant("0000000456"));
    EXPECT_EQ(result.at(2).toReal(), 12345.0) << "gross sales in cents, not scaled";
    EXPECT_EQ(result.at(3), tiv::Variant::dateTime(tiv::encodeDate(2026, 12, 9)));
    EXPECT_EQ(result.at(4), tiv::Variant("0002"));
    EXPECT_EQ(result.at(11), tiv::Variant("000456"));
    EXPECT_EQ(result.at(12), tiv::Variant("0041"));
    EXPECT_EQ(result.at(13), tiv::Variant("000123"));
    EXPECT_EQ(result.at(25), tiv::Variant("12345,67"));
    EXPECT_EQ(result.at(29), tiv::Variant("01,11"));
    EXPECT_EQ(result.at(27), tiv::Variant("02,22"));
    EXPECT_EQ(result.at(28), tiv::Variant("03,33"));
    EXPECT_EQ(result.at(33), tiv::Variant("02,50"));
    EXPECT_EQ(result.at(35), tiv::Variant("00,75"));
    EXPECT_EQ(result.at(37), tiv::Variant("01,50"));
    EXPECT_EQ(result.at(46), tiv::Variant("09/12/2026"));
    EXPECT_EQ(result.at(47), tiv::Variant("123,45"));
    EXPECT_EQ(result.at(48), tiv::Variant("119,45")) << "gross - cancellations - discounts";
    EXPECT_TRUE(result.at(5).isEmpty()) << "elements the reading does not name stay as they were";

    const auto rows = taxRows(taxTable);
    ASSERT_EQ(rows.size(), 3u);
    // 1.00 at 18.00 %, 2.00 at 17.99 %, 3.00 at 17.98 %: the tax truncated to cents.
    EXPECT_EQ(rows[0].code, "01");
    EXPECT_EQ(rows[0].rate, "18,00");
    EXPECT_EQ(rows[0].sold, "01,00");
    EXPECT_EQ(rows[0].tax, "00,18");
    EXPECT_EQ(rows[1].tax, "00,35");
    EXPECT_EQ(rows[2].code, "03");
    EXPECT_EQ(rows[2].rate, "17,98");
    EXPECT_EQ(rows[2].tax, "00,53");
    const std::vector<std::string> log = logTexts();
    EXPECT_NE(std::find(log.begin(), log.end(), "EPSON_Obter_Dados_Ultima_RZ :  " + zReply(3)),
              log.end());
    EXPECT_NE(
        std::find(log.begin(), log.end(), "Retorno da Impressora : " + zReply(3).substr(257, 533)),
        log.end());
}

// The totals after the rates move with their number: none, one and the most a reply holds.
TEST_F(ReductionRecordTest, TheFieldsAfterTheRatesFollowTheirNumber) {
    struct Case {
        size_t n, unsold, rows;
    };
    for (const Case &c : {Case{0, 99, 0}, Case{1, 99, 1}, Case{25, 99, 25}, Case{25, 7, 24}}) {
        SCOPED_TRACE("n = " + std::to_string(c.n) + ", unsold " + std::to_string(c.unsold));
        ASSERT_TRUE(start(33));
        forceReply(zReply(c.n, "09122026", c.unsold));
        tiv::Variant result = tiv::Variant::array(49);
        ASSERT_TRUE(read(result));
        EXPECT_EQ(result.at(29), tiv::Variant("01,11"));
        EXPECT_EQ(result.at(27), tiv::Variant("02,22"));
        EXPECT_EQ(result.at(28), tiv::Variant("03,33"));
        const auto rows = taxRows(taxTable);
        ASSERT_EQ(rows.size(), c.rows);
        if (c.n == 25) {
            EXPECT_EQ(rows.back().code, "25");
            EXPECT_EQ(rows.back().rate, "17,76");
            EXPECT_EQ(rows.back().sold, "25,00");
            EXPECT_EQ(rows.back().tax, "04,44");
        }
        if (c.unsold < c.n) {
            for (const auto &row : rows)
                EXPECT_NE(row.code, "08") << "a rate that sold nothing gives no row";
        }
        StopImpFiscal();
    }
}

TEST_F(ReductionRecordTest, ADateThatIsNoDateIsYesterday) {
    struct Case {
        const char *field;
        bool shown; // the conversion error reaches the operator
    };
    const tiv::TDateTime yesterday = tiv::today() - 1;
    ASSERT_TRUE(start(31));
    for (const Case &c : {Case{"00000000", false}, Case{"????????", false}, Case{"        ", false},
                          Case{"31022026", true}}) {
        SCOPED_TRACE(c.field);
        dialogs.clear();
        forceReply(zReply(2, c.field));
        tiv::Variant result = tiv::Variant::array(49);
        ASSERT_TRUE(read(result));
        EXPECT_EQ(result.at(3), tiv::Variant::dateTime(yesterday));
        EXPECT_EQ(dialogs.size(), c.shown ? 1u : 0u);
        if (c.shown) {
            EXPECT_EQ(dialogs[0].kind, 3);
            EXPECT_EQ(dialogs[0].askMark, "N");
            // The operator's language; the conversion's own text, for integrators, is logged.
            EXPECT_EQ(dialogs[0].text, "DadosUltimaRedZ: Valor em formato inv\xE1lido. Detalhes no "
                                       "log de depura\xE7\xE3o.");
            const std::vector<std::string> log = logTexts();
            EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const std::string &line) {
                return line.starts_with("ERRO!!! DadosUltimaRedZ: ") &&
                       line.find("31/02/26") != std::string::npos;
            })) << "the detail is logged";
        }
    }
}

TEST_F(ReductionRecordTest, AReplyThatCannotBeReadIsAFailure) {
    ASSERT_TRUE(start(31));
    // No answer: the failure column.
    injectFault({{"kind", "noanswer"}, {"entry", "EPSON_Obter_Dados_Ultima_RZ"}});
    tiv::Variant result = tiv::Variant::array(49);
    EXPECT_FALSE(read(result));
    EXPECT_EQ(result.at(0), tiv::Variant(""));
    EXPECT_EQ(result.at(1), tiv::Variant(""));
    EXPECT_EQ(result.at(2), tiv::Variant(0));
    EXPECT_EQ(result.at(3), tiv::Variant::dateTime(tiv::today() - 1000));
    EXPECT_EQ(result.at(4), tiv::Variant(""));
    EXPECT_TRUE(result.at(12).isEmpty());

    // A rate count the entries cannot hold, or that is no number, is never read as rates.
    for (const char *count : {"26", "9X", "  "}) {
        SCOPED_TRACE(count);
        std::string reply = zReply(3);
        put(reply, 1158, count);
        forceReply(reply);
        tiv::Variant r = tiv::Variant::array(49);
        EXPECT_FALSE(read(r));
        EXPECT_TRUE(r.at(0).isEmpty()) << "the counters are handed over only at the end";
    }
    // A result array too small for the reading: nothing is asked of the printer.
    clearJournal();
    tiv::Variant small = tiv::Variant::array(20);
    EXPECT_FALSE(read(small));
    EXPECT_TRUE(journal().empty());
}

// A real day on the printer: one sale, the Z reduction, then the reading.
TEST_F(ReductionRecordTest, TheLastReductionHoldsWhatTheDaySold) {
    for (int type : {31, 33}) {
        SCOPED_TRACE(type);
        resetPrinter();
        ASSERT_TRUE(start(type));
        ASSERT_TRUE(closedSalePaidWith(type, "Dinheiro", "01"));
        const std::string day = printerState()["day"]["date"];
        ASSERT_EQ(EPSON_RelatorioFiscal_RZEx(2), 0);
        tiv::Variant result = tiv::Variant::array(49);
        ASSERT_TRUE(read(result));
        EXPECT_EQ(result.at(12), tiv::Variant("0001"));
        EXPECT_EQ(result.at(47), tiv::Variant("10,00"));
        EXPECT_EQ(result.at(48), tiv::Variant("10,00"));
        EXPECT_EQ(result.at(25), tiv::Variant("10,00")) << "the GT";
        EXPECT_EQ(result.at(46),
                  tiv::Variant(day.substr(6, 2) + "/" + day.substr(4, 2) + "/" + day.substr(0, 4)));
        const auto rows = taxRows(taxTable);
        ASSERT_EQ(rows.size(), 1u);
        EXPECT_EQ(rows[0].code, "01");
        EXPECT_EQ(rows[0].rate, "18,00");
        EXPECT_EQ(rows[0].sold, "10,00");
        EXPECT_EQ(rows[0].tax, "01,80");
        StopImpFiscal();
    }
}

// --- The reduction record ---------------------------------------------------------------------

std::unique_ptr<tiv::TClientDataSet> hostPayments() {
    auto ds = std::make_unique<tiv::TClientDataSet>();
    ds->addFieldDef("CDTIPORECE", tiv::FieldType::String, 3);
    ds->addFieldDef("NMTIPORECE", tiv::FieldType::String, 40);
    ds->createDataSet();
    for (const auto &[code, name] :
         {std::pair{"001", "DINHEIRO"}, std::pair{"002", "Cartao Credito"},
          std::pair{"002", "Cartao Debito"}}) {
        ds->append();
        ds->fieldByName("CDTIPORECE").setAsString(code);
        ds->fieldByName("NMTIPORECE").setAsString(name);
        ds->post();
    }
    return ds;
}

struct Export {
    std::unique_ptr<tiv::TClientDataSet> methods = hostPayments();
    tiv::TClientDataSet reductions, payments, taxes, nonFiscal;
    tiv::TClientDataSet *r = &reductions, *p = &payments, *t = &taxes, *n = &nonFiscal;
    bool run() { return ExportRedZ("", "001", "007", 0, methods.get(), r, p, t, n); }
};

// Sales at two rates, paid in cash and by card; the card payment's total is also under a
// second printer name of the same host code, and a printer name the host does not know.
void sellTheDay() {
    ASSERT_EQ(EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2), 0);
    ASSERT_EQ(EPSON_Fiscal_Vender_Item("1", "ARROZ", "0001000", 3, "UN", "00010000", 3, "Ta", 1),
              0);
    ASSERT_EQ(EPSON_Fiscal_Vender_Item("2", "OLEO", "0001000", 3, "UN", "00003000", 3, "Ta", 1), 0);
    ASSERT_EQ(EPSON_Fiscal_Cancelar_Ultimo_Item(), 0);
    ASSERT_EQ(EPSON_Fiscal_Pagamento("Dinheiro", "0000000001000", 2, "", ""), 0);
    ASSERT_EQ(EPSON_Fiscal_Fechar_Cupom(1, 0), 0);
    ASSERT_EQ(EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2), 0);
    ASSERT_EQ(EPSON_Fiscal_Vender_Item("3", "SABAO", "0001000", 3, "UN", "00005000", 3, "Tb", 1),
              0);
    ASSERT_EQ(EPSON_Fiscal_Vender_Item("4", "COLA", "0001000", 3, "UN", "00002500", 3, "F", 1), 0);
    ASSERT_EQ(EPSON_Fiscal_Pagamento("Cartao Credito", "0000000000750", 2, "", ""), 0);
    ASSERT_EQ(EPSON_Fiscal_Fechar_Cupom(1, 0), 0);
    ASSERT_EQ(
        ECFSIM_SetTables(R"({"payments":[{"slot":3,"name":"Cartao Debito","total":400,"uses":1},
                                               {"slot":4,"name":"Pix","total":300,"uses":1}],
                                  "nonFiscal":[{"slot":1,"name":"CONTRA-VALE EMI","total":2500,
                                                "count":3}]})"),
        0)
        << ECFSIM_LastError();
}

TEST_F(ReductionRecordTest, TheExportHoldsTheDaysCountersTotalsAndTables) {
    resetPrinter(cardPrinter());
    ASSERT_TRUE(start(31));
    sellTheDay();
    tivhost::DataMoviFiscal() = [](const std::string &) { return tiv::encodeDate(2026, 12, 10); };
    Export e;
    ASSERT_TRUE(e.run());

    ASSERT_EQ(e.reductions.recordCount(), 1);
    e.reductions.first();
    auto text = [&](const char *f) { return e.reductions.fieldByName(f).asString(); };
    auto value = [&](const char *f) { return e.reductions.fieldByName(f).asFloat(); };
    EXPECT_EQ(text("NRECFREDZ"), "007");
    EXPECT_EQ(e.reductions.fieldByName("DTREDUCAOZ").asDateTime(), tiv::encodeDate(2026, 12, 10));
    EXPECT_EQ(text("NRREINIREDZ"), "0000000001");
    EXPECT_EQ(text("NRREDREDZ"), "1") << "the reduction to come";
    EXPECT_EQ(text("NRULTCFREDZ"), "0000000003") << "the document to come";
    EXPECT_EQ(text("NRLEITREDZ"), "0000000000");
    EXPECT_DOUBLE_EQ(value("VRGTREDZ"), 20.5);
    EXPECT_DOUBLE_EQ(value("VRVENBRUREDZ"), 20.5);
    EXPECT_DOUBLE_EQ(value("VRTOTCANREDZ"), 3.0);
    EXPECT_DOUBLE_EQ(value("VRTOTDESREDZ"), 0.0);
    EXPECT_DOUBLE_EQ(value("VRVENLIQREDZ"), 17.5);
    EXPECT_DOUBLE_EQ(value("VRSTRIBREDZ"), 2.5);
    EXPECT_DOUBLE_EQ(value("VRISENCREDZ"), 0.0);
    EXPECT_EQ(text("DSMODMARCAECF"), "TM-T900FA|EPSON");
    EXPECT_TRUE(e.reductions.fieldByName("QTMEMRESREDZ").isNull());

    // Every programmed rate gives a row, sold or not.
    ASSERT_EQ(e.taxes.recordCount(), 4);
    e.taxes.first();
    EXPECT_EQ(e.taxes.fieldByName("CDALIQIMPRZ").asString(), "01");
    EXPECT_DOUBLE_EQ(e.taxes.fieldByName("VRALIQIMPRZ").asFloat(), 18.0);
    EXPECT_DOUBLE_EQ(e.taxes.fieldByName("VRBCALCIMPRZ").asFloat(), 10.0);
    EXPECT_DOUBLE_EQ(e.taxes.fieldByName("VRIMPOSTORZ").asFloat(), 1.8);
    EXPECT_EQ(e.taxes.fieldByName("IDTPIMPREDZ").asString(), "T");
    e.taxes.next();
    EXPECT_DOUBLE_EQ(e.taxes.fieldByName("VRBCALCIMPRZ").asFloat(), 5.0);
    EXPECT_DOUBLE_EQ(e.taxes.fieldByName("VRIMPOSTORZ").asFloat(), 0.6);
    e.taxes.last();
    EXPECT_EQ(e.taxes.fieldByName("CDALIQIMPRZ").asString(), "04");
    EXPECT_DOUBLE_EQ(e.taxes.fieldByName("VRBCALCIMPRZ").asFloat(), 0.0);

    ASSERT_EQ(e.nonFiscal.recordCount(), 1);
    e.nonFiscal.first();
    EXPECT_EQ(e.nonFiscal.fieldByName("NRTOTNFISCRZ").asString(), "01");
    EXPECT_EQ(e.nonFiscal.fieldByName("DSTOTNFISCRZ").asString(), "CONTRA-VALE EMI");
    EXPECT_EQ(e.nonFiscal.fieldByName("NRCONTOTNFIS").asString(), "0003");
    EXPECT_DOUBLE_EQ(e.nonFiscal.fieldByName("VRACUTOTNFIS").asFloat(), 25.0);

    // Cash under "DINHEIRO" (case ignored); both card names under 002, summed; Pix nowhere.
    ASSERT_EQ(e.payments.recordCount(), 2);
    e.payments.first();
    EXPECT_EQ(e.payments.fieldByName("CDTIPORECE").asString(), "001");
    EXPECT_EQ(e.payments.fieldByName("CDTPRECEORIG").asString(), "001");
    EXPECT_DOUBLE_EQ(e.payments.fieldByName("VRFORMPGTORZ").asFloat(), 10.0);
    e.payments.next();
    EXPECT_EQ(e.payments.fieldByName("CDTIPORECE").asString(), "002");
    EXPECT_DOUBLE_EQ(e.payments.fieldByName("VRFORMPGTORZ").asFloat(), 11.5);
    EXPECT_EQ(e.payments.fieldByName("NRECFREDZ").asString(), "007");
}

// What the printer did not hand over is an error the host sees, never a figure stored as zero.
TEST_F(ReductionRecordTest, TheExportRaisesWhenThePrinterGivesNoFigure) {
    struct Case {
        const char *entry;
        const char *kind;
        bool copiedBack; // raised after the host's tables were replaced
    };
    for (const Case &c : {Case{"EPSON_Obter_Contadores", "noanswer", false},
                          Case{"EPSON_Obter_GT", "noanswer", true},
                          Case{"EPSON_Obter_Tabela_Aliquotas", "noanswer", true},
                          Case{"EPSON_Obter_Tabela_Pagamentos", "comm", true}}) {
        SCOPED_TRACE(c.entry);
        resetPrinter();
        ASSERT_TRUE(start(31));
        Export e;
        e.reductions.addFieldDef("MINE", tiv::FieldType::String, 3);
        e.reductions.createDataSet();
        injectFault({{"kind", c.kind}, {"entry", c.entry}});
        EXPECT_THROW(e.run(), tiv::Error);
        EXPECT_EQ(e.reductions.hasField("MINE"), !c.copiedBack);
        StopImpFiscal();
    }
}

} // namespace
