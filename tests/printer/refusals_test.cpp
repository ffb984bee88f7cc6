// What the fiscal rules refuse, and bad input: return 1, the code in status positions 17-20,
// and nothing of the command kept.
#include <functional>

#include "fixture.h"

namespace {

struct Case {
    const char *name;
    std::function<void()> before;
    std::function<int32_t()> call;
    const char *code;
};

const std::string kLong(234, 'X');

void openDay() {
    ASSERT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
}
void openReceipt() {
    openDay();
    ASSERT_EQ(EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2), 0);
}
void oneItem() {
    openReceipt();
    ASSERT_EQ(EPSON_Fiscal_Vender_Item("1", "ITEM", "0001000", 3, "UN", "00001000", 3, "Ta", 1), 0);
}
int32_t item(const char *desc, const char *qty, const char *price, const char *tax) {
    return EPSON_Fiscal_Vender_Item("1", desc, qty, 3, "UN", price, 3, tax, 1);
}

class RefusalTest : public PrinterTest, public ::testing::WithParamInterface<Case> {};

TEST_P(RefusalTest, RefusedWithCodeAndNothingKept) {
    const Case &c = GetParam();
    c.before();
    nlohmann::json before = state();
    int64_t paper = ECFSIM_MarkPaper();
    EXPECT_EQ(c.call(), 1);
    EXPECT_EQ(result(), c.code);
    nlohmann::json after = state();
    EXPECT_EQ(after["counters"], before["counters"]);
    EXPECT_EQ(after["day"], before["day"]);
    EXPECT_EQ(after["doc"], before["doc"]);
    EXPECT_EQ(after["gt"], before["gt"]);
    EXPECT_EQ(ECFSIM_MarkPaper(), paper);
    // The next good command clears the code.
    std::string buf(85, ' ');
    EXPECT_EQ(EPSON_Obter_Contadores(buf.data()), 0);
    EXPECT_EQ(result(), "0000");
}

INSTANTIATE_TEST_SUITE_P(
    Rules, RefusalTest,
    ::testing::Values(
        Case{"ItemWithNoReceipt", openDay, [] { return item("A", "0001000", "00001000", "Ta"); },
             "0202"},
        Case{"ReceiptWithDayClosed", [] {},
             [] { return EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2); }, "0102"},
        Case{"CloseUnpaid", oneItem, [] { return EPSON_Fiscal_Fechar_Cupom(1, 0); }, "0401"},
        Case{"ClosePartlyPaid",
             [] {
                 oneItem();
                 EPSON_Fiscal_Pagamento("Dinheiro", "0000000000050", 2, "", "");
             },
             [] { return EPSON_Fiscal_Fechar_Cupom(1, 0); }, "0401"},
        Case{"SaleAfterZ",
             [] {
                 openDay();
                 ASSERT_EQ(EPSON_RelatorioFiscal_RZEx(2), 0);
             },
             [] { return EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2); }, "0103"},
        Case{"EscSaleAfterZ",
             [] {
                 openDay();
                 ASSERT_EQ(EPSON_RelatorioFiscal_RZEx(2), 0);
             },
             [] { return EPSON_ESC_ECF_Fiscal_Abrir_CupomEX("", "", ""); }, "0103"},
        Case{"SecondReceipt", openReceipt,
             [] { return EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2); }, "0201"},
        Case{"ItemAfterPayment",
             [] {
                 oneItem();
                 EPSON_Fiscal_Pagamento("Dinheiro", "0000000000500", 2, "", "");
             },
             [] { return item("B", "0001000", "00001000", "Ta"); }, "0402"},
        Case{"ZWithReceiptOpen", openReceipt, [] { return EPSON_RelatorioFiscal_RZEx(2); }, "0201"},
        Case{"PaymentSlotTaken", [] {},
             [] { return EPSON_Config_Forma_Pagamento(1, "1", "Cheque"); }, "050D"},
        Case{"CancelUnknownItem", oneItem, [] { return EPSON_Fiscal_Cancelar_Item("0009"); },
             "0306"},
        Case{"UnknownPayment", oneItem,
             [] { return EPSON_Fiscal_Pagamento("Cheque", "0000000000500", 2, "", ""); }, "0308"},
        Case{"UnknownPaymentCode", oneItem,
             [] { return EPSON_ESC_ECF_Fiscal_PagamentoEX("07", "0000000000500", "1", "", "7"); },
             "0308"},
        Case{"DiscountOverItem", oneItem,
             [] { return EPSON_Fiscal_Desconto_Acrescimo_Item("000001000", 3, 1, 0); }, "0307"},
        Case{"ReportLineWithNoReport", openDay,
             [] { return EPSON_NaoFiscal_Imprimir_LinhaEX("X"); }, "0205"},
        Case{"CardVoucherWithoutReceipt", openDay,
             [] { return EPSON_NaoFiscal_Abrir_CCD("Cartao", "100", 2, "1"); }, "0404"},
        Case{"UnknownTotalizer",
             [] {
                 openDay();
                 EPSON_NaoFiscal_Abrir_Comprovante("", "", "", "", 1);
             },
             [] { return EPSON_NaoFiscal_Vender_Item("NADA", "100", 2); }, "0309"},
        Case{"CloseLinkedVoucherNoneOpen", openDay, [] { return EPSON_NaoFiscal_Fechar_CCD(1); },
             "0206"},
        Case{
            "FileOfAnEmptyRange", [] {},
            [] { return EPSON_Obter_Dados_MF_MFD("01032024", "01032024", 0, 255, 0, 0, "/tmp/x"); },
            "0702"},
        Case{"MemoryReadingToAFolderThatIsNot", [] {},
             [] {
                 std::string b(1025, ' ');
                 return EPSON_RelatorioFiscal_Leitura_MF("01032024", "01032024", 17, b.data(),
                                                         "/nonexistent-folder/LMFC.txt", 0, 1024);
             },
             "0703"}),
    [](const auto &info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    BadInput, RefusalTest,
    ::testing::Values(
        Case{"NullDescription", openReceipt,
             [] { return item(nullptr, "0001000", "00001000", "Ta"); }, "0301"},
        Case{"DescriptionTooLong", openReceipt,
             [] { return item(kLong.c_str(), "0001000", "00001000", "Ta"); }, "0302"},
        Case{"NonNumericPrice", openReceipt, [] { return item("A", "0001000", "0000A000", "Ta"); },
             "0303"},
        Case{"EmptyQuantity", openReceipt, [] { return item("A", "", "00001000", "Ta"); }, "0303"},
        Case{"ZeroQuantity", openReceipt, [] { return item("A", "0000000", "00001000", "Ta"); },
             "0304"},
        Case{"UnknownTaxLetter", openReceipt, [] { return item("A", "0001000", "00001000", "Tz"); },
             "0305"},
        Case{"EmptyRateSlot", openReceipt, [] { return item("A", "0001000", "00001000", "T9"); },
             "0305"},
        Case{"EmptyTaxCode", openReceipt, [] { return item("A", "0001000", "00001000", ""); },
             "0305"},
        Case{"NegativeWithdrawal", openDay, [] { return EPSON_NaoFiscal_Sangria("-1250", 2); },
             "0303"},
        Case{"CpfTooLong", openDay,
             [] { return EPSON_Fiscal_Abrir_Cupom("123456789012345678901", "", "", "", 2); },
             "0302"},
        Case{"NullBuffer", [] {}, [] { return EPSON_Obter_Contadores(nullptr); }, "0301"},
        Case{"NullTotalizerCounter", [] {},
             [] { return EPSON_Config_Totalizador_NaoFiscal("X", nullptr); }, "0301"},
        Case{"BadEscFlag", openReceipt,
             [] {
                 return EPSON_ESC_ECF_Fiscal_Vender_ItemEX("1", "A", "T1", "UN", "0001000", "3",
                                                           "00001000", "3", "Q");
             },
             "0301"},
        Case{"BadDataSelector", [] {},
             [] {
                 std::string b(1025, ' ');
                 return EPSON_ESC_ECF_Obter_Dados("1", "99", b.data());
             },
             "0301"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(PrinterTest, RefusedItemLeavesTheReceiptUsable) {
    oneItem();
    EXPECT_EQ(item("A", "0001000", "00001000", "Tq"), 1);
    EXPECT_EQ(item("B", "0002000", "00001000", "Tb"), 0);
    EXPECT_EQ(state()["doc"]["items"], 2);
    EXPECT_EQ(EPSON_Fiscal_Pagamento("Dinheiro", "0000000000300", 2, "", ""), 0);
    EXPECT_EQ(EPSON_Fiscal_Fechar_Cupom(1, 0), 0);
}

TEST_F(PrinterTest, PaymentMethodsAndTotalizersProgrammed) {
    // The driver's loop: slot taken gives 050D and the next slot is tried.
    EXPECT_EQ(EPSON_Config_Forma_Pagamento(1, "2", "Cheque"), 1);
    EXPECT_EQ(result(), "050D");
    EXPECT_EQ(EPSON_Config_Forma_Pagamento(1, "3", "Cheque"), 0);
    std::string pays = reply(881, [](char *b) { return EPSON_Obter_Tabela_Pagamentos(b); });
    EXPECT_EQ(pays.substr(88, 17), "03Cheque         ");
    int32_t counter = 2;
    EXPECT_EQ(EPSON_Config_Totalizador_NaoFiscal("Cred Pessoal", &counter), 0);
    EXPECT_EQ(counter, 2);
    // The ESC/ECF call programs the slot it is given, never one holding another name; the
    // slots it skips stay blank.
    EXPECT_EQ(EPSON_ESC_ECF_Config_Totalizador_NaoFiscal("2", "Canc Credito", "S"), 1);
    EXPECT_EQ(result(), "0511");
    EXPECT_EQ(EPSON_ESC_ECF_Config_Totalizador_NaoFiscal("4", "Canc Credito", "S"), 0);
    std::string nf = reply(681, [](char *b) { return EPSON_Obter_Tabela_NaoFiscais(b); });
    EXPECT_EQ(nf.substr(34, 17), "02Cred Pessoal   ");
    EXPECT_EQ(nf.substr(68, 17), "03               ");
    EXPECT_EQ(nf.substr(102, 17), "04Canc Credito   ");
    EXPECT_EQ(EPSON_Config_Totalizador_NaoFiscal("CRED PESSOAL", &counter), 1);
    EXPECT_EQ(result(), "0510");
    // The classic call takes the first free slot and says which.
    EXPECT_EQ(EPSON_Config_Totalizador_NaoFiscal("TROCO", &counter), 0);
    EXPECT_EQ(counter, 3);
}

} // namespace
