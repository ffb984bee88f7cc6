// Counter, total, identity and state queries against the virtual printer.
#include <cmath>
#include <string>

#include "fixture.h"
#include "tivplatform/datetime.h"
#include "tivplatform/errors.h"
#include "tivplatform/numbers.h"
#include "vendor_entry_points.h"

namespace {

std::string zeroPadded(int64_t value, size_t width) {
    std::string s = std::to_string(value);
    return std::string(width - s.size(), '0') + s;
}

bool hasLine(const std::vector<std::string> &lines, const std::string &text) {
    for (const auto &l : lines)
        if (l.find(text) != std::string::npos) return true;
    return false;
}

class CountersTest : public DriverTest {
  protected:
    // Z reductions on consecutive days, made at the printer before the driver starts.
    void reduceDays(int days) {
        for (int i = 0; i < days; ++i) {
            ASSERT_EQ(EPSON_RelatorioFiscal_RZEx(2), 0) << "reduction " << i + 1;
            ASSERT_EQ(ECFSIM_ShiftClock(86400), 0);
        }
    }
    int64_t counter(const char *name) const { return printerState()["counters"][name]; }
};

TEST_F(CountersTest, NumeroReducoesAnswersTheNextReductionNumber) {
    struct Case {
        const char *name;
        int reductions;
        bool noAnswer; // the reply is left blank
        const char *expected;
        bool result;
    };
    for (const Case &c :
         {Case{"fresh printer", 0, false, "1", true}, Case{"CRZ 000041", 41, false, "42", true},
          Case{"blank field", 0, true, "0", false}}) {
        SCOPED_TRACE(c.name);
        resetPrinter();
        reduceDays(c.reductions);
        ASSERT_TRUE(start(31));
        if (c.noAnswer) injectFault({{"kind", "noanswer"}, {"entry", "EPSON_Obter_Contadores"}});
        std::string out = "unchanged";
        EXPECT_EQ(NumeroReducoes("001", out), c.result);
        EXPECT_EQ(out, c.expected);
        EXPECT_TRUE(hasLine(logLines(), std::string("Retorno da Impressora : ") + c.expected));
        StopImpFiscal();
    }
}

TEST_F(CountersTest, ReceiptCountersHaveTheWidthOfTheFamilyAndErroOnFailure) {
    struct Case {
        int type;
        bool fail;
        size_t width;
    };
    for (const Case &c :
         {Case{31, false, 6}, Case{33, false, 9}, Case{31, true, 0}, Case{33, true, 0}}) {
        SCOPED_TRACE("type " + std::to_string(c.type) + (c.fail ? " failing" : ""));
        resetPrinter();
        ASSERT_TRUE(start(c.type));
        // Two documents so that COO and the management-report counter are not zero.
        ASSERT_TRUE(Relatorio_Gerencial_Imp("001", "", "", "", ""));
        ASSERT_TRUE(FechRelatGerenc("001", true, false));
        const char *entry = c.type == 31 ? "EPSON_Obter_Contadores" : "EPSON_ESC_ECF_Obter_Dados";
        if (c.fail) injectFault({{"kind", "noanswer"}, {"entry", entry}, {"count", 2}});
        const std::string number = Nr_Cupom("", "001");
        std::string ccf = "unchanged";
        const bool ccfRead = ContadorCupomFiscalMFD("001", ccf);
        if (c.fail) {
            EXPECT_EQ(number, "ERRO");
            EXPECT_FALSE(ccfRead);
        } else {
            EXPECT_EQ(number, zeroPadded(counter("coo"), c.width));
            EXPECT_NE(counter("coo"), 0);
            EXPECT_TRUE(ccfRead);
            EXPECT_EQ(ccf, zeroPadded(counter("ccf"), c.width));
        }
        EXPECT_TRUE(dialogs.empty()); // display off
        StopImpFiscal();
    }
}

TEST_F(CountersTest, SixDigitCountersComeFromTheirOwnFields) {
    ASSERT_TRUE(start(33));
    ASSERT_TRUE(Relatorio_Gerencial_Imp("001", "", "", "", ""));
    ASSERT_TRUE(FechRelatGerenc("001", true, false));
    ASSERT_TRUE(Relatorio_Gerencial_Imp("001", "", "", "", ""));
    ASSERT_TRUE(FechRelatGerenc("001", true, false));
    std::string gnf, grg, cdc;
    EXPECT_TRUE(NumeroOperacoesNaoFiscais("001", gnf));
    EXPECT_TRUE(ContadorRelatoriosGerenciaisMFD("001", grg));
    EXPECT_TRUE(ContadorComprovantesCreditoMFD("001", cdc));
    EXPECT_EQ(gnf, zeroPadded(counter("gnf"), 6));
    EXPECT_EQ(grg, zeroPadded(counter("grg"), 6));
    EXPECT_EQ(grg, "000002");
    EXPECT_EQ(cdc, zeroPadded(counter("cdc"), 6));
}

TEST_F(CountersTest, GetValueReadsMoneyWithTwoImpliedDecimals) {
    struct Case {
        const char *text;
        double value;
    };
    for (const Case &c :
         {Case{"1.234,56", 1234.56}, Case{"123456", 1234.56}, Case{"0000000012345", 123.45},
          Case{"   ", 0.0}, Case{"", 0.0}, Case{"  000000000000000100 ", 1.0}, Case{"5", 0.05}}) {
        SCOPED_TRACE(c.text);
        EXPECT_NEAR(GetValue(c.text), c.value, 1e-9);
    }
    EXPECT_THROW(GetValue("12A456"), tiv::ConversionError);
}

TEST_F(CountersTest, FiscalDateIsTheFiscalDayOrTodayWhenThereIsNone) {
    struct Case {
        const char *name;
        nlohmann::json config;
        tiv::TDateTime expected;
        const char *logged;
    };
    for (const Case &c :
         {Case{"open day",
               {{"clock", "2024-03-01 09:00:00"}, {"dayOpen", true}},
               tiv::encodeDate(2024, 3, 1),
               "01032024"},
          Case{"no fiscal day, zeros", nlohmann::json::object(), tiv::today(), "00000000"}}) {
        SCOPED_TRACE(c.name);
        resetPrinter(c.config);
        ASSERT_TRUE(start(33));
        EXPECT_EQ(DataMoviFiscal("001"), c.expected);
        EXPECT_TRUE(hasLine(logLines(), std::string("Retorno da Impressora : ") + c.logged));
        StopImpFiscal();
    }
}

TEST_F(CountersTest, DrawerIsClosedOnlyForTheExactStateWord) {
    struct Case {
        const char *word;
        const char *expected;
    };
    for (const Case &c : {Case{"1001", "00"}, Case{"1000", "01"}, Case{"0002", "01"},
                          Case{"1011", "01"}, Case{"   1", "01"}}) {
        SCOPED_TRACE(c.word);
        ASSERT_TRUE(start(31));
        injectFault({{"kind", "status"}, {"position", 9}, {"text", c.word}});
        clearJournal();
        const size_t logBefore = logLines().size();
        EXPECT_EQ(Estado_Gaveta_Imp(""), c.expected);
        // One status read, neither judged nor logged.
        EXPECT_EQ(journalEntries(), std::vector<std::string>{"EPSON_Obter_Estado_Impressora"});
        EXPECT_EQ(logLines().size(), logBefore);
        ECFSIM_ClearFaults();
        StopImpFiscal();
    }
}

TEST_F(CountersTest, OpeningTheDrawerUsesTheFamilyEntryPoint) {
    for (int type : {31, 33}) {
        SCOPED_TRACE(type);
        resetPrinter();
        ASSERT_TRUE(start(type));
        ASSERT_EQ(Estado_Gaveta_Imp(""), "00");
        clearJournal();
        EXPECT_TRUE(Abre_Gaveta_Imp("001", false));
        EXPECT_EQ(journalEntries().at(0), type == 31 ? "EPSON_Impressora_Abrir_Gaveta"
                                                     : "EPSON_ESC_ECF_Impressora_Abrir_Gaveta");
        EXPECT_EQ(Estado_Gaveta_Imp(""), "01");
        const auto lines = logLines();
        ASSERT_FALSE(lines.empty());
        EXPECT_TRUE(lines.back().ends_with(" - EPSON_Impressora_Abrir_Gaveta"));
        StopImpFiscal();
    }
}

TEST_F(CountersTest, IdentityAndTotalsComeFromTheirFields) {
    resetPrinter({{"model", "MODELO X"},
                  {"brand", "FABRICANTE"},
                  {"type", "ECF-IF"},
                  {"version", "02.03.004"},
                  {"nationalCode", "0987654"}});
    ASSERT_TRUE(start(31));
    std::string f1, f2, f3, version, cancelled, discounts, surcharges, gross, gt;
    EXPECT_TRUE(Modelo_Impressora("001", f1, f2, f3));
    EXPECT_EQ(f1, "MODELO X");
    EXPECT_EQ(f2, "FABRICANTE");
    EXPECT_EQ(f3, "ECF-IF");
    EXPECT_TRUE(hasLine(logLines(), "Retorno da Impressora : MODELO X - FABRICANTE - ECF-IF"));
    EXPECT_TRUE(Versao_Software_Basico("001", version));
    EXPECT_EQ(version, "02.03.004");
    EXPECT_EQ(Codigo_Nacional_ECF(0, ""), "0987654");
    EXPECT_TRUE(Cancelamentos("001", cancelled));
    EXPECT_TRUE(Descontos("001", discounts));
    EXPECT_TRUE(Acrescimo_Imp("001", surcharges));
    EXPECT_TRUE(VendaBruta("001", gross));
    for (const std::string *t : {&cancelled, &discounts, &surcharges}) {
        EXPECT_EQ(t->size(), 17u);
        EXPECT_EQ(GetValue(*t), 0.0);
    }
    EXPECT_EQ(GetValue(gross), 0.0);
    EXPECT_FALSE(gross.empty());
    EXPECT_TRUE(BuscaTotGer("001", gt));
    EXPECT_EQ(gt, "0");
}

// A grand total that could not be read is a failure and hands back nothing: the host never
// reconciles with a number made from an unread buffer.
TEST_F(CountersTest, AGrandTotalThatCouldNotBeReadIsAFailure) {
    ASSERT_TRUE(start(31));
    const nlohmann::json faults[] = {
        {{"kind", "noanswer"}, {"entry", "EPSON_Obter_GT"}},
        {{"kind", "reply"}, {"entry", "EPSON_Obter_GT"}, {"text", "00000000001234AB"}},
        {{"kind", "reply"}, {"entry", "EPSON_Obter_GT"}, {"text", "  "}},
    };
    for (const auto &fault : faults) {
        SCOPED_TRACE(fault.dump());
        injectFault(fault);
        std::string gt = "unchanged";
        EXPECT_FALSE(BuscaTotGer("001", gt));
        EXPECT_EQ(gt, "");
        EXPECT_TRUE(dialogs.empty());
    }
    EXPECT_NE(stMensagemTaa.find("Erro de execu\xE7\xE3o na fun\xE7\xE3o."), std::string::npos);
    std::string gt;
    EXPECT_TRUE(BuscaTotGer("001", gt));
    EXPECT_EQ(gt, "0");
}

// A reply that passed the return analysis but is not the digits of its field (empty, letters, a
// sign, cut short or run long) is a failure with its reason, never a value: read as given, a
// 10-digit GT was 0 and a 20-digit one 1E18.
TEST_F(CountersTest, RepliesThatAreNotTheirDigitsAreFailuresNeverValues) {
    enum class Query { Gt, Gross, Cancelled, Discounts, Receipt };
    struct Case {
        int type;
        Query query;
        const char *entry;
        std::string reply;
    };
    const std::string gross15 = "000000000000123", shortCoo = "12345 " + std::string(78, '0');
    const Case cases[] = {
        {31, Query::Gt, "EPSON_Obter_GT", ""},
        {31, Query::Gt, "EPSON_Obter_GT", "-1"},
        {31, Query::Gt, "EPSON_Obter_GT", "0000000000"},           // 10 digits
        {31, Query::Gt, "EPSON_Obter_GT", "00000000000000001000"}, // 20 digits
        {31, Query::Gt, "EPSON_Obter_GT", "0000000000000O1000"},   // a letter O
        {31, Query::Gross, "EPSON_Obter_Venda_Bruta", ""},
        {31, Query::Gross, "EPSON_Obter_Venda_Bruta", "ABCDEFGHIJKLMN"},
        {31, Query::Gross, "EPSON_Obter_Venda_Bruta", "-1"},
        {31, Query::Gross, "EPSON_Obter_Venda_Bruta", gross15},
        {31, Query::Cancelled, "EPSON_Obter_Total_Cancelado", ""},
        {31, Query::Cancelled, "EPSON_Obter_Total_Cancelado", "-1"},
        {31, Query::Cancelled, "EPSON_Obter_Total_Cancelado", "0000001449"},
        {31, Query::Cancelled, "EPSON_Obter_Total_Cancelado", "000000000000000001449"},
        {31, Query::Discounts, "EPSON_Obter_Total_Descontos", "00000000000000,250"},
        {31, Query::Receipt, "EPSON_Obter_Contadores", ""},
        {31, Query::Receipt, "EPSON_Obter_Contadores", "-1"},
        {31, Query::Receipt, "EPSON_Obter_Contadores", "ABCDEF" + std::string(78, '0')},
        {31, Query::Receipt, "EPSON_Obter_Contadores", shortCoo},
        {33, Query::Receipt, "EPSON_ESC_ECF_Obter_Dados", "01-1"},
        {33, Query::Receipt, "EPSON_ESC_ECF_Obter_Dados", "0100000012"},
        {33, Query::Receipt, "EPSON_ESC_ECF_Obter_Dados", "01ABCDEFGHI"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::string(c.entry) + " \"" + c.reply + "\"");
        resetPrinter();
        ASSERT_TRUE(start(c.type));
        dialogs.clear();
        nlohmann::json fault = {{"kind", "reply"}, {"entry", c.entry}, {"count", 1}};
        if (c.query == Query::Gross)
            fault["texts"] = {c.reply, "00000000000000"};
        else
            fault["text"] = c.reply;
        injectFault(fault);
        stMensagemTaa.clear();
        // Each query answers as its failure convention says, and the value handed back is
        // none; the same query then reads the printer's own reply.
        const auto ask = [&](std::string &out) -> bool {
            switch (c.query) {
            case Query::Gt:
                return BuscaTotGer("001", out);
            case Query::Gross:
                return VendaBruta("001", out);
            case Query::Cancelled:
                return Cancelamentos("001", out);
            case Query::Discounts:
                return Descontos("001", out);
            case Query::Receipt:
                out = Nr_Cupom("", "001");
                return out != "ERRO";
            }
            return false;
        };
        std::string out = "unchanged";
        EXPECT_FALSE(ask(out));
        EXPECT_EQ(out, c.query == Query::Receipt ? "ERRO" : "");
        EXPECT_NE(stMensagemTaa.find("o valor n\xE3o foi usado"), std::string::npos)
            << stMensagemTaa;
        EXPECT_TRUE(dialogs.empty()); // display off
        std::string good;
        EXPECT_TRUE(ask(good));
        EXPECT_FALSE(good.empty());
        StopImpFiscal();
    }
}

TEST_F(CountersTest, FixedAnswersAndStateFlag) {
    ASSERT_TRUE(start(31));
    std::string interventions, substitutions = "kept", a = "a", b = "b", c = "c";
    EXPECT_TRUE(NumeroIntervencoes("001", interventions));
    EXPECT_EQ(interventions, "0000000001");
    EXPECT_TRUE(NumeroSubstituicoesProprietario("001", substitutions));
    EXPECT_EQ(substitutions, "kept");
    EXPECT_TRUE(DataHoraGravacaoUsuarioSWBasicoMFAdicional("001", a, b, c));
    EXPECT_EQ(a + b + c, "abc");

    boClieUtil = false;
    EXPECT_TRUE(Estado_Imp("001", false, false));
    EXPECT_TRUE(boClieUtil);
    injectFault({{"kind", "paper"}});
    EXPECT_FALSE(Estado_Imp("001", false, false));
    EXPECT_FALSE(boClieUtil);
    ASSERT_EQ(dialogs.size(), 1u); // boNUtilTaa is set
    EXPECT_EQ(dialogs[0].text, "Impressora fiscal sem papel.");
}

} // namespace
