// The fiscal day and the till's cash: X reading, Z reduction, daylight saving, supply and
// withdrawal, against the virtual printer.
#include <algorithm>
#include <cmath>

#include "fixture.h"
#include "sale_helpers.h"
#include "tivplatform/settings.h"

namespace {

using nlohmann::json;

class FiscalDayTest : public DriverTest {
  protected:
    void SetUp() override {
        DriverTest::SetUp();
        sale::answerOnlyQuestions(dialogs, answers);
    }
    void startPrinter(int type) {
        StopImpFiscal();
        resetPrinter();
        ASSERT_TRUE(start(type));
        (void)EPSON_RelatorioFiscal_Abrir_Dia();
        clearJournal();
        dialogs.clear();
    }
    sale::Calls calls() const { return sale::calls(journal()); }
    json counters() const { return printerState().at("counters"); }
    // A log line that reads `line` (a CR before the line's end aside).
    bool logged(const std::string &line) const {
        const auto texts = logTexts();
        return std::any_of(texts.begin(), texts.end(),
                           [&](const std::string &t) { return t == line || t == line + "\r"; });
    }
};

TEST_F(FiscalDayTest, AnXReadingIsPrintedAndRecorded) {
    for (int type : {31, 33}) {
        SCOPED_TRACE(type);
        startPrinter(type);
        const size_t recorded = sale::recordedCodes().size();
        EXPECT_TRUE(Leitura_X_Imp("EP0123456789", "", "001", ""));
        // The counters are read first, so that a lost answer can be judged; the document
        // record then reads them again.
        EXPECT_EQ(calls().at(0).first, "EPSON_Obter_Contadores");
        EXPECT_EQ(calls().at(1),
                  (sale::Calls::value_type{"EPSON_RelatorioFiscal_LeituraX", json::array()}));
        EXPECT_TRUE(logged("EPSON_RelatorioFiscal_LeituraX"));
        EXPECT_EQ(counters().at("lx"), 1);
        EXPECT_EQ(sale::recordedCodes().size(), recorded + 1);
        EXPECT_EQ(sale::recordedCodes().back(), "LX");
        // Out of paper: false, shown, nothing recorded.
        injectFault({{"kind", "paper"}, {"entry", "EPSON_RelatorioFiscal_LeituraX"}});
        EXPECT_FALSE(Leitura_X_Imp("EP0123456789", "", "001", ""));
        EXPECT_FALSE(dialogs.empty());
        EXPECT_EQ(sale::recordedCodes().size(), recorded + 1);
    }
}

TEST_F(FiscalDayTest, AZReductionClosesTheDayAndOpensTheNextEvenWhenItFails) {
    struct Case {
        int type;
        sale::Calls sent;
    } cases[] = {{31,
                  {{"EPSON_Obter_Contadores", json::array({nullptr})},
                   {"EPSON_RelatorioFiscal_RZEx", json({2})},
                   {"EPSON_RelatorioFiscal_Abrir_Dia", json::array()}}},
                 {33,
                  {{"EPSON_Obter_Contadores", json::array({nullptr})},
                   {"EPSON_ESC_ECF_RelatorioFiscal_RZEX", json({"", "", "0"})},
                   {"EPSON_RelatorioFiscal_Abrir_Dia", json::array()}}}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.type);
        startPrinter(c.type);
        EXPECT_TRUE(Reducao_Z_Imp("EP0123456789", "", "001", ""));
        const auto sent = calls();
        ASSERT_GE(sent.size(), 3u);
        EXPECT_EQ(sale::Calls(sent.begin(), sent.begin() + 3), c.sent);
        EXPECT_TRUE(logged("EPSON_RelatorioFiscal_RZEX"));
        EXPECT_EQ(counters().at("crz"), 1);
        EXPECT_EQ(sale::recordedCodes().back(), "RZ");
        // A second Z of the same date is refused: false, not recorded, the day still opened.
        clearJournal();
        const size_t recorded = sale::recordedCodes().size();
        EXPECT_FALSE(Reducao_Z_Imp("EP0123456789", "", "001", ""));
        EXPECT_EQ(calls().back().first, "EPSON_RelatorioFiscal_Abrir_Dia");
        EXPECT_EQ(sale::recordedCodes().size(), recorded);
    }
}

TEST_F(FiscalDayTest, DaylightSavingIsReadAndSwitched) {
    for (int type : {31, 33}) {
        SCOPED_TRACE(type);
        startPrinter(type);
        EXPECT_FALSE(Estado_HorVerao("001"));
        EXPECT_TRUE(logged("EPSON_Obter_Estado_Horario_Verao"));
        EXPECT_TRUE(logged("Retorno da Impressora : 0")) << "the return code, in decimal";
        if (type == 31) {
            // Declined: only the state is read.
            clearJournal();
            answers = {false};
            EXPECT_FALSE(Muda_Horario("001"));
            EXPECT_EQ(calls(),
                      (sale::Calls{{"EPSON_Obter_Estado_Horario_Verao", json::array({nullptr})}}));
            ASSERT_EQ(dialogs.size(), 1u);
            EXPECT_EQ(dialogs[0].askMark, "S");
            EXPECT_EQ(dialogs[0].text.substr(0, 37), "Deseja realmente imprimir a redu\xE7\xE3o Z");
            answers = {true};
            clearJournal();
            EXPECT_TRUE(Muda_Horario("001"));
            const auto sent = calls();
            ASSERT_EQ(sent.size(), 4u);
            EXPECT_EQ(sent[1].first, "EPSON_Obter_Contadores");
            EXPECT_EQ(sent[2], (sale::Calls::value_type{"EPSON_RelatorioFiscal_RZEx", json({1})}));
            EXPECT_EQ(sent[3].first, "EPSON_RelatorioFiscal_Abrir_Dia");
            EXPECT_EQ(counters().at("crz"), 1);
        } else {
            clearJournal();
            EXPECT_TRUE(Muda_Horario("001"));
            EXPECT_EQ(calls().back(),
                      (sale::Calls::value_type{"EPSON_ESC_ECF_Config_Horario_Verao", json({"1"})}));
            EXPECT_TRUE(dialogs.empty());
            EXPECT_EQ(counters().at("crz"), 0);
        }
        EXPECT_TRUE(Estado_HorVerao("001"));
    }
}

TEST_F(FiscalDayTest, SupplyAndWithdrawalSendTheAmountInCents) {
    struct Case {
        bool supply;
        double amount;
        const char *cents; // nullptr: nothing is sent
        bool ok;
    } cases[] = {
        {true, 100, "10000", true},       {true, 12.5, "1250", true},     {true, 0, nullptr, true},
        {true, -5, nullptr, true},        {false, 0, "01", true},         {false, 0.5, "50", true},
        {false, 1234.56, "123456", true}, {false, -12.5, "-1250", false},
    };
    for (char separator : {',', '.'}) {
        tiv::formatSettings().decimalSeparator = separator;
        for (const auto &c : cases) {
            SCOPED_TRACE(std::string(1, separator) + " " + std::to_string(c.amount));
            startPrinter(31);
            const bool ok =
                c.supply ? Suprimento("x", "001", c.amount) : Sangria("x", "001", c.amount);
            EXPECT_EQ(ok, c.ok);
            const auto sent = calls();
            if (!c.cents) {
                EXPECT_TRUE(sent.empty());
                EXPECT_TRUE(dialogs.empty());
                continue;
            }
            // The counters first, so that a lost answer can be judged.
            ASSERT_EQ(sent.size(), 2u);
            EXPECT_EQ(sent[0].first, "EPSON_Obter_Contadores");
            EXPECT_EQ(sent[1].first,
                      c.supply ? "EPSON_NaoFiscal_Fundo_Troco" : "EPSON_NaoFiscal_Sangria");
            EXPECT_EQ(sent[1].second, json({c.cents, 2}));
            EXPECT_TRUE(logged(std::string(c.supply ? "EPSON_NaoFiscal_Fundo_Troco : "
                                                    : "EPSON_NaoFiscal_Sangria : ") +
                               c.cents));
            if (!c.ok) {
                // The return analysis shows why the printer refused, then the call fails.
                ASSERT_EQ(dialogs.size(), 2u);
                EXPECT_EQ(dialogs[0].text, "Erro de execu\xE7\xE3o na fun\xE7\xE3o.");
                EXPECT_EQ(dialogs.back().text, "Erro ao enviar comando para a impressora.");
            }
        }
    }
    tiv::resetFormatSettings();
}

TEST_F(FiscalDayTest, TheOtherFamilySendsBothMovementsThroughOneEntryPoint) {
    startPrinter(33);
    EXPECT_TRUE(Suprimento("", "001", 100));
    EXPECT_TRUE(Sangria("", "001", 40));
    EXPECT_EQ(
        calls(),
        (sale::Calls{{"EPSON_Obter_Contadores", json::array({nullptr})},
                     {"EPSON_ESC_ECF_NaoFiscal_Sangria_Fundo_TrocoEX", json({"1", "10000", ""})},
                     {"EPSON_Obter_Contadores", json::array({nullptr})},
                     {"EPSON_ESC_ECF_NaoFiscal_Sangria_Fundo_TrocoEX", json({"2", "4000", ""})}}));
    const json day = printerState().at("day");
    EXPECT_EQ(day.at("supply"), 10000);
    EXPECT_EQ(day.at("withdrawal"), 4000);
}

TEST_F(FiscalDayTest, AnAmountThatIsNotANumberIsNeverSent) {
    startPrinter(31);
    for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
        stMensagemTaa.clear();
        EXPECT_FALSE(Suprimento("", "001", bad));
        EXPECT_FALSE(Sangria("", "001", bad));
        EXPECT_NE(stMensagemTaa.find("n\xE3o \xE9 um n\xFAmero"), std::string::npos);
    }
    EXPECT_TRUE(calls().empty());
}

} // namespace
