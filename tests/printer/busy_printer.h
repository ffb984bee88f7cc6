#pragma once
// Shared by the tests of the stored state: they reopen this printer, refuse commands on it, and
// keep its folder as a fixture.
#include "fixture.h"

// A printer whose every section is away from its fresh value, texts in CP1252 included: a day
// reduced, a receipt in payment (entry points take CP1252, the control API UTF-8) with an item and
// a subtotal adjustment.
inline void busyPrinter() {
    ASSERT_EQ(ECFSIM_Reset(R"({"clock":"2024-03-01 09:00:00",
                              "header":["LOJA AÇÃO & CIA", "RUA SÃO JOÃO, 5"],
                              "payments":["Dinheiro",{"name":"Cartão","linked":true}],
                              "nonFiscal":["RECEBIMENTO", {"name":"SANGRIA €","direction":"S"}]})"),
              0);
    ASSERT_EQ(EPSON_ESC_ECF_Config_Horario_Verao("1"), 0);
    ASSERT_EQ(ECFSIM_SetDrawer(1), 0);
    ASSERT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
    ASSERT_EQ(EPSON_Fiscal_Abrir_Cupom("12345678909", "JOS\xC9", "RUA A", "", 2), 0);
    ASSERT_EQ(EPSON_Fiscal_Vender_Item("001", "ARROZ", "0002000", 3, "UN", "00010000", 3, "Ta", 1),
              0);
    ASSERT_EQ(EPSON_Fiscal_Pagamento("Cart\xE3o", "0000000002000", 2, "", ""), 0);
    ASSERT_EQ(EPSON_Fiscal_Imprimir_MensagemEX("VOLTE SEMPRE"), 0);
    ASSERT_EQ(EPSON_Fiscal_Fechar_Cupom(1, 0), 0);
    ASSERT_EQ(EPSON_NaoFiscal_Abrir_Comprovante("", "", "", "", 1), 0);
    ASSERT_EQ(EPSON_NaoFiscal_Vender_Item("RECEBIMENTO", "00000000001500", 2), 0);
    ASSERT_EQ(EPSON_NaoFiscal_Pagamento("Dinheiro", "1500", 2, "", ""), 0);
    ASSERT_EQ(EPSON_NaoFiscal_Fechar_Comprovante(1), 0);
    ASSERT_EQ(EPSON_RelatorioFiscal_RZEx(2), 0);
    ASSERT_EQ(ECFSIM_ShiftClock(24 * 3600), 0);
    ASSERT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
    ASSERT_EQ(EPSON_Fiscal_Abrir_Cupom("", "MARIA", "", "", 2), 0);
    ASSERT_EQ(
        EPSON_Fiscal_Vender_Item("002", "FEIJ\xC3O", "0001500", 3, "KG", "00005500", 3, "Tb", 1),
        0);
    ASSERT_EQ(EPSON_Fiscal_Vender_Item("003", "SAL", "0001000", 3, "UN", "00001000", 3, "F", 1), 0);
    ASSERT_EQ(EPSON_Fiscal_Desconto_Acrescimo_Item("000000100", 3, 1, 0), 0);
    ASSERT_EQ(EPSON_Fiscal_Desconto_Acrescimo_Subtotal("00000000050", 2, 0, 0), 0);
    ASSERT_EQ(EPSON_Fiscal_Pagamento("Dinheiro", "0000000000500", 2, "", ""), 0);
}
