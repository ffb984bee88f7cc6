// Unlinked vouchers and card vouchers linked to the last receipt's payment.
#include <algorithm>

#include "fixture.h"
#include "sale_helpers.h"

namespace {

class VoucherTest : public DriverTest {
  protected:
    void startCardPrinter(int type) {
        StopImpFiscal();
        resetPrinter(sale::cardPrinter());
        ASSERT_TRUE(start(type));
        clearJournal();
        dialogs.clear();
        stMensagemTaa.clear();
    }
    // Entry and arguments of every call but the status reads of the analysis.
    nlohmann::json calls() const {
        nlohmann::json out = nlohmann::json::array();
        for (const auto &call : journal())
            if (call.at("entry") != "EPSON_Obter_Estado_Impressora" &&
                call.at("entry") != "EPSON_Sys_Bloquear_Entradas")
                out.push_back({call.at("entry"), call.at("args")});
        return out;
    }
    bool logged(const std::string &text) const {
        const auto lines = logLines();
        return std::any_of(lines.begin(), lines.end(), [&](const std::string &l) {
            return l.size() >= text.size() &&
                   l.compare(l.size() - text.size(), text.size(), text) == 0;
        });
    }
};

TEST_F(VoucherTest, UnlinkedVoucherClassic) {
    startCardPrinter(31);
    EXPECT_TRUE(Cupom_NFiscNVinc("001", "CONTRA-VALE EMI", "00000000012550", "Dinheiro", ""));
    EXPECT_EQ(calls(),
              (sale::Calls{
                  {"EPSON_Obter_Contadores", {nullptr}},
                  {"EPSON_NaoFiscal_Abrir_Comprovante", {"", "", "", "", 1}},
                  {"EPSON_NaoFiscal_Vender_Item", {"CONTRA-VALE EMI", "00000000012550", 2}},
                  {"EPSON_NaoFiscal_Pagamento", {"Dinheiro", "12550", 2, "", ""}},
                  {"EPSON_NaoFiscal_Fechar_Comprovante", {1}},
              }));
    EXPECT_EQ(sale::documentState(), "0");
    EXPECT_EQ(printerState().at("counters").at("gnf"), 1);
}

TEST_F(VoucherTest, UnlinkedVoucherEscEcfLogsEachReturnCode) {
    startCardPrinter(33);
    EXPECT_TRUE(Cupom_NFiscNVinc("001", "CONTRA-VALE EMI", "00000000000100", "Dinheiro", ""));
    EXPECT_EQ(calls(),
              (sale::Calls{
                  {"EPSON_Obter_Contadores", {nullptr}},
                  {"EPSON_ESC_ECF_NaoFiscal_Abrir_ComprovanteEX", {"", "", ""}},
                  {"EPSON_ESC_ECF_NaoFiscal_Vender_ItemEX", {"CONTRA-VALE EMI", "00000000000100"}},
                  {"EPSON_NaoFiscal_Pagamento", {"Dinheiro", "100", 2, "", ""}},
                  {"EPSON_ESC_ECF_NaoFiscal_Fechar_ComprovanteEX", {"1", ""}},
              }));
    for (const char *line : {"EPSON_ESC_ECF_NaoFiscal_Abrir_ComprovanteEX: 0",
                             "EPSON_ESC_ECF_NaoFiscal_Vender_ItemEX: 0",
                             "EPSON_ESC_ECF_NaoFiscal_Fechar_ComprovanteEX: 0"})
        EXPECT_TRUE(logged(line)) << line;
    EXPECT_EQ(sale::documentState(), "0");
}

TEST_F(VoucherTest, UnlinkedVoucherPaysTheAmountWithoutLeadingZeros) {
    struct Case {
        const char *digits, *paid;
        bool issued;
    };
    for (const Case c : {Case{"00000000012550", "12550", true}, Case{"00000000000000", "0", false},
                         Case{"7", "7", true}}) {
        SCOPED_TRACE(c.digits);
        startCardPrinter(31);
        boNUtilTaa = false;
        EXPECT_EQ(Cupom_NFiscNVinc("001", "CONTRA-VALE EMI", c.digits, "Dinheiro", ""), c.issued);
        const auto pays = sale::callsOf(journal(), "EPSON_NaoFiscal_Pagamento");
        ASSERT_EQ(pays.size(), 1u);
        EXPECT_EQ(pays[0].at("args")[1], c.paid);
    }
    // Text that is no amount raises before anything is printed.
    startCardPrinter(31);
    EXPECT_THROW(Cupom_NFiscNVinc("001", "CONTRA-VALE EMI", "12,50", "Dinheiro", ""), tiv::Error);
    EXPECT_TRUE(journal().empty());
}

TEST_F(VoucherTest, CardVoucherClassicCutsTheNameTo15) {
    startCardPrinter(31);
    ASSERT_TRUE(sale::closedSalePaidWith(31, "Cartao Credito", "02"));
    clearJournal();
    EXPECT_TRUE(Abre_Comp_NFiscalVinc("001", "Cartao Credito VISA", "0000000001000", ""));
    EXPECT_EQ(calls(), (sale::Calls{{"EPSON_NaoFiscal_Abrir_CCD",
                                     {"Cartao Credito ", "0000000001000", 2, "1"}}}));
    EXPECT_TRUE(logged("EPSON_NaoFiscal_Abrir_CCD : Cartao Credito  -  - "));
    EXPECT_EQ(sale::documentState(), "4");
}

TEST_F(VoucherTest, CardVoucherEscEcfFindsTheMethodInThePaymentTable) {
    for (const char *name : {"Cartao Credito", "CARTAO CREDITO   ", " cartao credito"}) {
        SCOPED_TRACE(name);
        startCardPrinter(33);
        ASSERT_TRUE(sale::closedSalePaidWith(33, "Cartao Credito", "02"));
        clearJournal();
        inIndiceReceb = 1;
        EXPECT_TRUE(Abre_Comp_NFiscalVinc("001", name, "", ""));
        EXPECT_EQ(calls(), (sale::Calls{{"EPSON_Obter_Tabela_Pagamentos", {nullptr}},
                                        {"EPSON_ESC_ECF_NaoFiscal_Abrir_CCDEX",
                                         {"1", "02", "1", "1", "", "", ""}}}));
        EXPECT_TRUE(logged("EPSON_ESC_ECF_NaoFiscal_Abrir_CCDEX: 02"));
        EXPECT_EQ(sale::documentState(), "4");
    }
}

TEST_F(VoucherTest, AMethodTheTableDoesNotHoldOpensNothingAndIsNamed) {
    struct Case {
        const char *name;
        nlohmann::json payments;
    };
    nlohmann::json full = nlohmann::json::array();
    for (int i = 1; i <= 20; ++i)
        full.push_back("Forma " + std::to_string(i));
    const Case cases[] = {{"Vale Refeicao", sale::cardPrinter().at("payments")},
                          {"Vale Refeicao", full},
                          {"   ", sale::cardPrinter().at("payments")}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        StopImpFiscal();
        resetPrinter({{"payments", c.payments}});
        ASSERT_TRUE(start(33));
        clearJournal();
        dialogs.clear();
        stMensagemTaa.clear();
        boNUtilTaa = false; // shown all the same: this step always shows its failures
        EXPECT_FALSE(Abre_Comp_NFiscalVinc("001", c.name, "", ""));
        EXPECT_TRUE(sale::callsOf(journal(), "EPSON_ESC_ECF_NaoFiscal_Abrir_CCDEX").empty());
        ASSERT_EQ(dialogs.size(), 1u);
        EXPECT_NE(dialogs[0].text.find(std::string("(") + c.name + ")"), std::string::npos)
            << dialogs[0].text;
        EXPECT_NE(stMensagemTaa.find(dialogs[0].text), std::string::npos);
    }
}

TEST_F(VoucherTest, ARefusedCardVoucherIsShownEvenOnASelfServiceTill) {
    startCardPrinter(31);
    boNUtilTaa = false;
    boClieUtil = true;
    // No receipt paid by card: the printer refuses.
    EXPECT_FALSE(Abre_Comp_NFiscalVinc("001", "Cartao Credito", "0000000001000", ""));
    EXPECT_FALSE(dialogs.empty());
}

} // namespace
