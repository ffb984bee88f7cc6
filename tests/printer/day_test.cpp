// A whole fiscal day through the classic entry points, every counter and total checked after
// each step.
#include "fixture.h"

namespace {

struct Expect {
    int64_t coo, ccf, gnf, grg, cdc, crz;
    std::string gross, discounts, gt;
};

class DayTest : public PrinterTest {
  protected:
    void check(const Expect &e) {
        std::string c = counters();
        EXPECT_EQ(c.substr(0, 6), zeros(e.coo, 6)) << "COO";
        EXPECT_EQ(c.substr(6, 6), zeros(e.crz, 6)) << "CRZ";
        EXPECT_EQ(c.substr(18, 6), zeros(e.gnf, 6)) << "GNF";
        EXPECT_EQ(c.substr(24, 6), zeros(e.cdc, 6)) << "CDC";
        EXPECT_EQ(c.substr(36, 6), zeros(e.grg, 6)) << "GRG";
        EXPECT_EQ(c.substr(42, 6), zeros(e.ccf, 6)) << "CCF";
        std::string vb1, vb2;
        std::string b1(16, ' '), b2(16, ' ');
        EXPECT_EQ(EPSON_Obter_Venda_Bruta(b1.data(), b2.data()), 0);
        EXPECT_EQ(std::string(b1.c_str()), e.gross) << "gross sales";
        EXPECT_EQ(reply(51, [](char *b) { return EPSON_Obter_Total_Descontos(b); }), e.discounts);
        EXPECT_EQ(reply(20, [](char *b) { return EPSON_Obter_GT(b); }), e.gt);
        EXPECT_EQ(result(), "0000");
    }
    static std::string zeros(int64_t v, int w) {
        std::string s = std::to_string(v);
        return std::string(w - s.size(), '0') + s;
    }
};

TEST_F(DayTest, OpenSellVoucherReportReadingsAndReduce) {
    // Opening the day.
    EXPECT_EQ(reply(67, [](char *b) { return EPSON_Obter_Dados_Jornada(b); })[64], '0');
    ASSERT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
    EXPECT_EQ(reply(67, [](char *b) { return EPSON_Obter_Dados_Jornada(b); })[64], '1');
    check({0, 0, 0, 0, 0, 0, "00000000000000", "00000000000000000", "000000000000000000"});

    // A sale: two items, an item discount, a subtotal discount, two payments with change.
    ASSERT_EQ(EPSON_Fiscal_Abrir_Cupom("12345678909", "FULANO", "RUA A", "", 2), 0);
    EXPECT_EQ(fiscalBits() & ~0xDC80u, 1u);
    EXPECT_EQ(docState(), '1');
    ASSERT_EQ(EPSON_Fiscal_Vender_Item("001", "ARROZ", "0002000", 3, "UN", "00010000", 3, "Ta", 1),
              0);
    ASSERT_EQ(EPSON_Fiscal_Vender_Item("002", "FEIJAO", "0001000", 3, "KG", "00005500", 3, "Tb", 1),
              0);
    ASSERT_EQ(EPSON_Fiscal_Desconto_Acrescimo_Item("000000500", 3, 1, 0), 0);
    check({1, 1, 0, 0, 0, 0, "00000000002550", "00000000000000050", "000000000000002550"});
    ASSERT_EQ(EPSON_Fiscal_Desconto_Acrescimo_Subtotal("00000000100", 2, 1, 0), 0);
    EXPECT_EQ(docState(), '3');
    EXPECT_EQ(fiscalBits() & ~0xDC80u, 1u);
    ASSERT_EQ(EPSON_Fiscal_Pagamento("Dinheiro", "0000000001000", 2, "", ""), 0);
    ASSERT_EQ(EPSON_Fiscal_Pagamento("CARTAO", "0000000002000", 2, "", ""), 0);
    ASSERT_EQ(EPSON_Fiscal_Imprimir_MensagemEX("OBRIGADO\nVOLTE SEMPRE"), 0);
    ASSERT_EQ(EPSON_Fiscal_Fechar_Cupom(1, 0), 0);
    EXPECT_EQ(docState(), '0');
    EXPECT_NE(fiscalBits() & ~0xDC80u, 1u);
    check({1, 1, 0, 0, 0, 0, "00000000002550", "00000000000000150", "000000000000002550"});
    // 1.00 subtotal discount shared 80/20 between the rates: Ta 19.20, Tb 4.80.
    std::string rates = reply(553, [](char *b) { return EPSON_Obter_Tabela_Aliquotas(b); });
    EXPECT_EQ(rates.substr(0, 23), "Ta180000000000000001920");
    EXPECT_EQ(rates.substr(23, 23), "Tb120000000000000000480");
    std::string pays = reply(881, [](char *b) { return EPSON_Obter_Tabela_Pagamentos(b); });
    EXPECT_EQ(pays.substr(0, 30), "01Dinheiro       0000000001000");
    EXPECT_EQ(pays.substr(44, 30), "02Cartao         0000000002000");
    EXPECT_EQ(state()["day"]["change"], 600);

    // An unlinked voucher.
    int64_t mark = ECFSIM_MarkPaper();
    ASSERT_EQ(EPSON_NaoFiscal_Abrir_Comprovante("", "", "", "", 1), 0);
    EXPECT_EQ(docState(), '2');
    ASSERT_EQ(EPSON_NaoFiscal_Vender_Item("RECEBIMENTO", "00000000001500", 2), 0);
    ASSERT_EQ(EPSON_NaoFiscal_Pagamento("Dinheiro", "1500", 2, "", ""), 0);
    ASSERT_EQ(EPSON_NaoFiscal_Fechar_Comprovante(1), 0);
    check({2, 1, 1, 0, 0, 0, "00000000002550", "00000000000000150", "000000000000002550"});
    std::string nf = reply(681, [](char *b) { return EPSON_Obter_Tabela_NaoFiscais(b); });
    EXPECT_EQ(nf.substr(0, 34), "01RECEBIMENTO    00000000015000001");

    // A management report, printed line by line as given.
    ASSERT_EQ(EPSON_NaoFiscal_Abrir_Relatorio_Gerencial("1"), 0);
    EXPECT_EQ(docState(), '5');
    ASSERT_EQ(EPSON_NaoFiscal_Imprimir_LinhaEX("LINHA UM\nLINHA DOIS\n"), 0);
    ASSERT_EQ(EPSON_NaoFiscal_Fechar_Relatorio_Gerencial(1), 0);
    check({3, 1, 2, 1, 0, 0, "00000000002550", "00000000000000150", "000000000000002550"});
    auto lines = nlohmann::json::parse(ECFSIM_PaperSince(mark))["lines"];
    auto at = std::find(lines.begin(), lines.end(), "LINHA UM");
    ASSERT_NE(at, lines.end());
    EXPECT_EQ(*(at + 1), "LINHA DOIS");
    for (const auto &l : lines)
        EXPECT_LE(l.get<std::string>().size(), 48u);

    // X reading: COO only.
    ASSERT_EQ(EPSON_RelatorioFiscal_LeituraX(), 0);
    check({4, 1, 2, 1, 0, 0, "00000000002550", "00000000000000150", "000000000000002550"});

    // Z reduction: CRZ + 1, day totals back to zero, the reduction kept.
    ASSERT_EQ(EPSON_RelatorioFiscal_RZEx(2), 0);
    check({5, 1, 2, 1, 0, 1, "00000000000000", "00000000000000000", "000000000000002550"});
    std::string b1(16, ' '), b2(16, ' ');
    EPSON_Obter_Venda_Bruta(b1.data(), b2.data());
    EXPECT_EQ(std::string(b2.c_str()), "00000000002550");
    std::string z = reply(1167, [](char *b) { return EPSON_Obter_Dados_Ultima_RZ(b); });
    ASSERT_EQ(z.size(), 1167u);
    EXPECT_EQ(z.substr(20, 6), "000005");              // COO of the reduction
    EXPECT_EQ(z.substr(28, 4), "0001");                // CRZ
    EXPECT_EQ(z.substr(86, 18), "000000000000002550"); // GT
    EXPECT_EQ(z.substr(155, 17), "00000000000000150"); // discounts
    EXPECT_EQ(z.substr(1157, 2), "04");                // rates
    EXPECT_EQ(z.substr(257, 5), "T1800");
    EXPECT_EQ(z.substr(383, 17), "00000000000001920"); // sold at rate 0
    EXPECT_EQ(z.substr(1159, 8), "01032024");
    EXPECT_EQ(reply(67, [](char *b) { return EPSON_Obter_Dados_Jornada(b); })[64], '0');

    // The day of this date is over: no new day, no sale.
    EXPECT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 1);
    EXPECT_EQ(result(), "0103");
    EXPECT_EQ(EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2), 1);
    EXPECT_EQ(result(), "0103");
    // Next morning the day opens again.
    ASSERT_EQ(ECFSIM_ShiftClock(24 * 3600), 0);
    EXPECT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
    EXPECT_EQ(EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2), 0);
    EXPECT_EQ(counter("ccf"), 2);
}

// What the printer prints of its own (headings, identification, trailer) fits its 48 columns,
// identity fields at their longest included; the item heading comes in two lines, as an item.
TEST_F(DayTest, TheLinesThePrinterComposesFitItsPaper) {
    ASSERT_EQ(ECFSIM_Reset(R"({"clock":"2024-03-01 09:00:00","dayOpen":true,
        "serial":"EP12345678901234567X","brand":"BRAND OF TWENTY CHAR","type":"TYPE OF TWENTY CHARS",
        "model":"MODEL OF TWENTY CHAR","cnpj":"12.345.678/0001-9012","ie":"IE OF TWENTY CHARS 1",
        "im":"IM OF TWENTY CHARS 1","payments":["Dinheiro"]})"),
              0)
        << ECFSIM_LastError();
    const int64_t mark = ECFSIM_MarkPaper();
    ASSERT_EQ(EPSON_Fiscal_Abrir_Cupom("12345678901234567890", std::string(30, 'N').c_str(),
                                       std::string(40, 'E').c_str(), "", 2),
              0);
    ASSERT_EQ(EPSON_Fiscal_Vender_Item("001", "ARROZ", "0002000", 3, "UN", "00010000", 3, "Ta", 1),
              0);
    ASSERT_EQ(EPSON_Fiscal_Pagamento("Dinheiro", "0000000002000", 2, "", ""), 0);
    ASSERT_EQ(EPSON_Fiscal_Fechar_Cupom(1, 0), 0);
    ASSERT_EQ(EPSON_RelatorioFiscal_LeituraX(), 0);
    ASSERT_EQ(EPSON_RelatorioFiscal_RZEx(2), 0);

    const auto lines = nlohmann::json::parse(ECFSIM_PaperSince(mark))["lines"];
    for (const auto &l : lines)
        EXPECT_LE(l.get<std::string>().size(), 48u) << l;
    const auto heading = std::find(lines.begin(), lines.end(), "ITEM CODIGO DESCRICAO");
    ASSERT_NE(heading, lines.end());
    EXPECT_EQ(*(heading + 1), "    QTD UN VL UNIT(R$)            ST VL ITEM(R$)");
    EXPECT_EQ(*(heading + 2), "001 001 ARROZ");
    EXPECT_EQ(*(heading + 3), "    2,000 UN X 10,000               T1800  20,00");
    // Brand, type and model do not fit one line: the model goes right-aligned on the next.
    const auto maker =
        std::find(lines.begin(), lines.end(), "BRAND OF TWENTY CHAR TYPE OF TWENTY CHARS");
    ASSERT_NE(maker, lines.end());
    EXPECT_EQ(*(maker + 1), std::string(28, ' ') + "MODEL OF TWENTY CHAR");
    EXPECT_EQ(*(maker + 2), "ECF:001 LJ:0001         FAB:EP12345678901234567X");
}

TEST_F(DayTest, EscEcfFamilySharesTheState) {
    // The ESC/ECF family opens the day with its first document.
    ASSERT_EQ(EPSON_ESC_ECF_Fiscal_Abrir_CupomEX("", "", ""), 0);
    ASSERT_EQ(EPSON_ESC_ECF_Fiscal_Vender_ItemEX("1", "CAFE", "T1", "UN", "0001000", "3",
                                                 "00012340", "3", "T"),
              0);
    ASSERT_EQ(EPSON_ESC_ECF_Fiscal_Cancelar_ItemEX("0001"), 0);
    ASSERT_EQ(EPSON_ESC_ECF_Fiscal_Vender_ItemEX("2", "PAO", "F1", "UN", "0003000", "3", "00000500",
                                                 "3", "T"),
              0);
    ASSERT_EQ(EPSON_ESC_ECF_Fiscal_PagamentoEX("02", "0000000001500", "1", "", "3"), 0);
    ASSERT_EQ(EPSON_ESC_ECF_Fiscal_Fechar_CupomEX("0", "1", ""), 0);
    // The card voucher tied to that payment, then closed by the shared closing call.
    ASSERT_EQ(EPSON_ESC_ECF_NaoFiscal_Abrir_CCDEX("1", "02", "1", "1", "", "", ""), 0);
    EXPECT_EQ(docState(), '4');
    ASSERT_EQ(EPSON_ESC_ECF_NaoFiscal_Imprimir_Linha("TEF APROVADO"), 0);
    ASSERT_EQ(EPSON_ESC_ECF_NaoFiscal_Fechar_CCD_RGEX("1"), 0);
    std::string data(1025, ' ');
    ASSERT_EQ(EPSON_ESC_ECF_Obter_Dados("1", "1", data.data()), 0);
    EXPECT_EQ(data.substr(2, 9), "000000002"); // COO: receipt and card voucher
    ASSERT_EQ(EPSON_ESC_ECF_Obter_Dados("1", "5", data.data()), 0);
    EXPECT_EQ(data.substr(2, 9), "000000001");
    auto s = state();
    EXPECT_EQ(s["counters"]["cdc"], 1);
    EXPECT_EQ(s["day"]["gross"], 1234 + 150);
    EXPECT_EQ(s["day"]["cancelled"], 1234);
    EXPECT_EQ(s["day"]["substitution"], 150);
    // Cancelling the last receipt through the classic call.
    ASSERT_EQ(EPSON_Fiscal_Cancelar_Cupom(), 0);
    s = state();
    EXPECT_EQ(s["day"]["cancelled"], 1234 + 150);
    EXPECT_EQ(s["day"]["substitution"], 0);
    EXPECT_EQ(s["counters"]["cfc"], 1);
    EXPECT_EQ(s["counters"]["coo"], 3);
    EXPECT_EQ(EPSON_Fiscal_Cancelar_Cupom(), 1);
    EXPECT_EQ(result(), "0404");
}

} // namespace

// Cancellations move the day's totals from sales to cancellations; the grand total, which a
// real ECF never lowers, keeps what was sold.
TEST_F(DayTest, CancellationsMoveTheDayFromSalesToCancellations) {
    ASSERT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
    // An item cancelled in an open receipt, then the receipt closed.
    ASSERT_EQ(EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2), 0);
    ASSERT_EQ(EPSON_Fiscal_Vender_Item("001", "ARROZ", "0001000", 3, "UN", "00010000", 3, "Ta", 1),
              0);
    ASSERT_EQ(EPSON_Fiscal_Vender_Item("002", "FEIJAO", "0001000", 3, "UN", "00005000", 3, "Ta", 1),
              0);
    ASSERT_EQ(EPSON_Fiscal_Cancelar_Item("0001"), 0);
    EXPECT_EQ(EPSON_Fiscal_Cancelar_Item("0001"), 1) << "already cancelled";
    EXPECT_EQ(EPSON_Fiscal_Cancelar_Item("0003"), 1) << "no such item";
    ASSERT_EQ(EPSON_Fiscal_Pagamento("Dinheiro", "0000000000500", 2, "", ""), 0);
    ASSERT_EQ(EPSON_Fiscal_Fechar_Cupom(1, 0), 0);
    EXPECT_EQ(state()["day"]["gross"], 1500);
    EXPECT_EQ(state()["day"]["cancelled"], 1000);
    EXPECT_EQ(state()["gt"], 1500);

    // The receipt just closed is cancelled: its own document, COO + 1, CFC + 1.
    const int64_t coo = counter("coo");
    ASSERT_EQ(EPSON_Fiscal_Cancelar_Cupom(), 0);
    EXPECT_EQ(counter("coo"), coo + 1);
    EXPECT_EQ(counter("cfc"), 1);
    EXPECT_EQ(state()["day"]["gross"], 1500);
    EXPECT_EQ(state()["day"]["cancelled"], 1500);
    EXPECT_EQ(state()["gt"], 1500) << "the grand total never goes down";
    EXPECT_EQ(EPSON_Fiscal_Cancelar_Cupom(), 1) << "nothing left to cancel";

    // Once another document is printed, the last receipt can no longer be cancelled.
    ASSERT_EQ(EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2), 0);
    ASSERT_EQ(EPSON_Fiscal_Vender_Item("001", "ARROZ", "0001000", 3, "UN", "00010000", 3, "Ta", 1),
              0);
    ASSERT_EQ(EPSON_Fiscal_Pagamento("Dinheiro", "0000000001000", 2, "", ""), 0);
    ASSERT_EQ(EPSON_Fiscal_Fechar_Cupom(1, 0), 0);
    ASSERT_EQ(EPSON_RelatorioFiscal_LeituraX(), 0);
    EXPECT_EQ(EPSON_Fiscal_Cancelar_Cupom(), 1);
    EXPECT_EQ(state()["day"]["cancelled"], 1500);
}

// Every adjustment reaches the day: a surcharge, on an item or on the subtotal, counts in the
// gross sales and the GT; an item cancelled after its discount takes back only its net; each
// payment counts a use of its method, and a cancelled receipt takes its payments back out of
// the methods' totals.
TEST_F(DayTest, AdjustmentsAndPaymentsReachTheDayAndACancellationTakesThemBack) {
    ASSERT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
    ASSERT_EQ(EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2), 0);
    ASSERT_EQ(EPSON_Fiscal_Vender_Item("001", "ARROZ", "0001000", 3, "UN", "00010000", 3, "Ta", 1),
              0);
    ASSERT_EQ(EPSON_Fiscal_Desconto_Acrescimo_Item("100", 2, 1, 0), 0) << result();
    ASSERT_EQ(EPSON_Fiscal_Vender_Item("002", "FEIJAO", "0001000", 3, "UN", "00005000", 3, "Tb", 1),
              0);
    ASSERT_EQ(EPSON_Fiscal_Desconto_Acrescimo_Item("50", 2, 0, 0), 0) << result();
    ASSERT_EQ(EPSON_Fiscal_Cancelar_Item("0001"), 0) << result();
    ASSERT_EQ(EPSON_Fiscal_Desconto_Acrescimo_Subtotal("100", 2, 0, 0), 0) << result();
    // Sold 10.00 + 5.00, surcharges 0.50 + 1.00; the cancelled item's 10.00 less its 1.00.
    std::string b1(16, ' '), b2(16, ' ');
    ASSERT_EQ(EPSON_Obter_Venda_Bruta(b1.data(), b2.data()), 0);
    EXPECT_EQ(std::string(b1.c_str()), "00000000001650") << "gross sales";
    EXPECT_EQ(reply(20, [](char *b) { return EPSON_Obter_GT(b); }), "000000000000001650");
    EXPECT_EQ(state()["day"]["surcharges"], 150);
    EXPECT_EQ(state()["day"]["cancelled"], 900);

    // 6.50 due: paid in cash and by card, then a second receipt paid the same way.
    ASSERT_EQ(EPSON_Fiscal_Pagamento("Dinheiro", "300", 2, "", ""), 0) << result();
    ASSERT_EQ(EPSON_Fiscal_Pagamento("Cartao", "350", 2, "", ""), 0) << result();
    ASSERT_EQ(EPSON_Fiscal_Fechar_Cupom(1, 0), 0) << result();
    ASSERT_EQ(EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2), 0);
    ASSERT_EQ(EPSON_Fiscal_Vender_Item("003", "LEITE", "0001000", 3, "UN", "00004000", 3, "Ta", 1),
              0);
    ASSERT_EQ(EPSON_Fiscal_Pagamento("Dinheiro", "200", 2, "", ""), 0) << result();
    ASSERT_EQ(EPSON_Fiscal_Pagamento("Cartao", "200", 2, "", ""), 0) << result();
    ASSERT_EQ(EPSON_Fiscal_Fechar_Cupom(1, 0), 0) << result();
    const auto table = [this] {
        return reply(881, [](char *b) { return EPSON_Obter_Tabela_Pagamentos(b); });
    };
    std::string pays = table();
    EXPECT_EQ(pays.substr(0, 44), "01Dinheiro       000000000050000000000000002");
    EXPECT_EQ(pays.substr(44, 44), "02Cartao         000000000055010000000000002");

    ASSERT_EQ(EPSON_Fiscal_Cancelar_Cupom(), 0) << result();
    pays = table();
    EXPECT_EQ(pays.substr(0, 30), "01Dinheiro       0000000000300");
    EXPECT_EQ(pays.substr(44, 30), "02Cartao         0000000000350");
    EXPECT_EQ(state()["day"]["cancelled"], 1300);
}

// A day left open past its date refuses sales until it is reduced, and the reduction of that
// day is kept under its own date.
TEST_F(DayTest, ADayLeftOpenPastMidnightMustBeReducedFirst) {
    ASSERT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
    ASSERT_EQ(ECFSIM_ShiftClock(24 * 3600), 0);
    EXPECT_EQ(EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2), 1);
    EXPECT_EQ(result(), "0104");
    ASSERT_EQ(EPSON_RelatorioFiscal_RZEx(2), 0);
    ASSERT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
    EXPECT_EQ(EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2), 0);
    const auto records = nlohmann::json::parse(ECFSIM_FiscalMemory());
    ASSERT_EQ(records.size(), 1u);
}

// Daylight saving: the ESC/ECF switch only before the day's first document; the classic family
// only with a Z reduction.
TEST_F(DayTest, DaylightSavingChangesOnlyBetweenDays) {
    ASSERT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
    EXPECT_EQ(EPSON_Config_Horario_Verao(1), 1);
    EXPECT_EQ(result(), "0101");
    ASSERT_EQ(EPSON_ESC_ECF_Config_Horario_Verao("1"), 0) << "no movement yet";
    uint8_t flag = 0;
    ASSERT_EQ(EPSON_Obter_Estado_Horario_Verao(&flag), 0);
    EXPECT_EQ(flag, 1);
    ASSERT_EQ(EPSON_RelatorioFiscal_LeituraX(), 0);
    EXPECT_EQ(EPSON_ESC_ECF_Config_Horario_Verao("0"), 1);
    EXPECT_EQ(result(), "0101");
    ASSERT_EQ(EPSON_RelatorioFiscal_RZEx(0), 0);
    ASSERT_EQ(EPSON_Obter_Estado_Horario_Verao(&flag), 0);
    EXPECT_EQ(flag, 0) << "switched off with the reduction";
}
