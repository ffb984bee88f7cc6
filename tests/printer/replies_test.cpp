// Reply layouts, field by field, at the sizes the driver passes.
#include <functional>

#include "fixture.h"

namespace {

struct Field {
    std::size_t position; // from 1
    std::string text;
};

struct Layout {
    const char *name;
    std::size_t size;   // what the driver passes
    std::size_t length; // what the printer writes before its NUL
    std::function<int32_t(char *)> call;
    std::vector<Field> fields;
};

class ReplyTest : public PrinterTest, public ::testing::WithParamInterface<Layout> {
  protected:
    std::string config() override {
        return R"({"clock":"2024-03-01 09:30:15","serial":"EP1234","model":"TM-T900FA",
                   "brand":"EPSON","ecf":"007","shop":"0002",
                   "taxRates":[{"kind":"T","rate":1800},{"kind":"S","rate":500}],
                   "payments":["Dinheiro","Cartao"],"nonFiscal":["SUPRIMENTO X"],"dayOpen":true})";
    }
    void SetUp() override {
        PrinterTest::SetUp();
        // One receipt: 12.34 at Ta, 1.00 at N less 0.10 discount, paid in cash.
        ASSERT_EQ(EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2), 0);
        ASSERT_EQ(EPSON_Fiscal_Vender_Item("1", "A", "0001000", 3, "UN", "00012340", 3, "Ta", 1),
                  0);
        ASSERT_EQ(EPSON_Fiscal_Vender_Item("2", "B", "0001000", 3, "UN", "00001000", 3, "N", 1), 0);
        ASSERT_EQ(EPSON_Fiscal_Desconto_Acrescimo_Item("000000100", 3, 1, 0), 0);
        ASSERT_EQ(EPSON_Fiscal_Pagamento("dinheiro", "0000000002000", 2, "", ""), 0);
        ASSERT_EQ(EPSON_Fiscal_Fechar_Cupom(1, 0), 0);
    }
};

TEST_P(ReplyTest, FieldsAtTheirPositions) {
    const Layout &l = GetParam();
    int32_t ret = -1;
    std::string text = reply(l.size, l.call, &ret);
    EXPECT_EQ(ret, 0);
    EXPECT_EQ(text.size(), l.length);
    for (const auto &f : l.fields)
        EXPECT_EQ(text.substr(f.position - 1, f.text.size()), f.text) << "at " << f.position;
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, ReplyTest,
    ::testing::Values(
        Layout{"Status",
               20,
               20,
               EPSON_Obter_Estado_Impressora,
               {{1, "0000"}, {5, "0000"}, {9, "1001"}, {13, "8000"}, {17, "0000"}}},
        Layout{"Counters",
               84,
               84,
               EPSON_Obter_Contadores,
               {{1, "000001"},
                {7, "000000"},
                {13, "000001"},
                {19, "000000"},
                {25, "000000"},
                {37, "000000"},
                {43, "000001"}}},
        Layout{"GT", 20, 18, EPSON_Obter_GT, {{1, "000000000000001334"}}},
        Layout{"Journey", 67, 67, EPSON_Obter_Dados_Jornada, {{1, "01032024"}, {65, "1"}}},
        Layout{"Clock", 15, 14, EPSON_Obter_Hora_Relogio, {{1, "01032024093"}}},
        Layout{"ClockType33", 14, 14, EPSON_Obter_Hora_Relogio, {{1, "0103202409"}}},
        Layout{"DayDateTime", 15, 14, EPSON_Obter_Data_Hora_Jornada, {{1, "01032024"}}},
        Layout{"EcfNumber", 10, 7, EPSON_Obter_Numero_ECF_Loja, {{1, "007"}}},
        Layout{"PrinterData",
               110,
               110,
               EPSON_Obter_Dados_Impressora,
               {{1, "EP1234              "},
                {41, "TM-T900FA           "},
                {61, "EPSON               "},
                {81, "ECF-IF"}}},
        Layout{"Cancelled", 51, 17, EPSON_Obter_Total_Cancelado, {{1, "00000000000000000"}}},
        Layout{"Discounts", 51, 17, EPSON_Obter_Total_Descontos, {{1, "00000000000000010"}}},
        Layout{"Surcharges", 51, 17, EPSON_Obter_Total_Acrescimos, {{1, "00000000000000000"}}},
        Layout{"TaxTable",
               553,
               5 * 23,
               EPSON_Obter_Tabela_Aliquotas,
               {{1, "Ta180000000000000001234"},
                {24, "Sb050000000000000000000"},
                {47, "F1    00000000000000000"},
                {70, "I1    00000000000000000"},
                {93, "N1    00000000000000090"}}},
        Layout{"PaymentTable",
               881,
               2 * 44,
               EPSON_Obter_Tabela_Pagamentos,
               {{1, "01Dinheiro       0000000002000"}, {45, "02Cartao         0000000000000"}}},
        Layout{"NonFiscalTable",
               681,
               34,
               EPSON_Obter_Tabela_NaoFiscais,
               {{1, "01SUPRIMENTO X   00000000000000000"}}},
        Layout{"DocumentState", 57, 8, EPSON_Obter_Estado_Cupom, {{1, "10000000"}}},
        Layout{"LastReductionNone",
               1167,
               1167,
               EPSON_Obter_Dados_Ultima_RZ,
               {{21, "000000"}, {29, "0000"}, {1158, "00"}, {1160, "00000000"}}},
        Layout{"EscData",
               1024,
               11,
               [](char *b) { return EPSON_ESC_ECF_Obter_Dados("1", "1", b); },
               {{3, "000000001"}}}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(PrinterTest, MultiBufferRepliesStayWithinEachBuffer) {
    std::string v(10 + 16, '#'), d(10 + 16, '#'), h(8 + 16, '#');
    ASSERT_EQ(EPSON_Obter_Versao_SWBasico(v.data(), d.data(), h.data()), 0);
    EXPECT_EQ(std::string(v.c_str()).size(), 9u);
    EXPECT_EQ(std::string(d.c_str()).size(), 8u);
    EXPECT_EQ(std::string(h.c_str()).size(), 6u);
    std::string code(8 + 16, '#'), desc(34 + 16, '#');
    ASSERT_EQ(EPSON_Obter_Codigo_Nacional_ECF(code.data(), desc.data()), 0);
    EXPECT_EQ(std::string(code.c_str()).size(), 7u);
    EXPECT_LE(std::string(desc.c_str()).size(), 33u);
    uint8_t dst = 7;
    ASSERT_EQ(EPSON_Obter_Estado_Horario_Verao(&dst), 0);
    EXPECT_EQ(dst, 0);
    ASSERT_EQ(EPSON_ESC_ECF_Config_Horario_Verao("1"), 0);
    ASSERT_EQ(EPSON_Obter_Estado_Horario_Verao(&dst), 0);
    EXPECT_EQ(dst, 1);
    EXPECT_EQ(fiscalBits() & 0x1000u, 0x1000u);
}

TEST_F(PrinterTest, DrawerAndPaperInTheMechanismWord) {
    EXPECT_EQ(status().substr(8, 4), "1001");
    ASSERT_EQ(EPSON_Impressora_Abrir_Gaveta(), 0);
    EXPECT_EQ(status().substr(8, 4), "1000");
    ASSERT_EQ(ECFSIM_SetDrawer(0), 0);
    EXPECT_EQ(status().substr(8, 4), "1001");
}

} // namespace
