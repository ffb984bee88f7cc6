// Large amounts: what fits the printer's fields comes out exact, what would leave 64 bits or its
// field is refused with 0310 and changes nothing.
#include <functional>

#include "fixture.h"

namespace {

void openReceipt() {
    ASSERT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
    ASSERT_EQ(EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2), 0);
}
// Quantity and unit price as digits with their decimals; tax "Ta" unless given.
int32_t sell(const char *qty, int32_t qtyDecimals, const char *price, int32_t priceDecimals,
             const char *tax = "Ta") {
    return EPSON_Fiscal_Vender_Item("1", "ITEM", qty, qtyDecimals, "UN", price, priceDecimals, tax,
                                    1);
}
// 9999.999 x 9,999,999.99 = 99,999,989,900,000.01: its 13-digit amount in cents.
constexpr int64_t kBigItem = 9'999'998'990'000;
void bigItem() {
    openReceipt();
    ASSERT_EQ(sell("9999999", 3, "999999999", 2), 0);
}

struct Case {
    const char *name;
    std::function<void()> before;
    std::function<int32_t()> call;
};

void PrintTo(const Case &c, std::ostream *os) {
    *os << c.name;
}

class TooLargeTest : public PrinterTest, public ::testing::WithParamInterface<Case> {};

TEST_P(TooLargeTest, RefusedWith0310AndNothingChanged) {
    const Case &c = GetParam();
    c.before();
    if (HasFatalFailure()) return;
    nlohmann::json before = state();
    before.erase("status");
    int64_t paper = ECFSIM_MarkPaper();
    EXPECT_EQ(c.call(), 1);
    EXPECT_EQ(result(), "0310");
    nlohmann::json after = state();
    after.erase("status");
    EXPECT_EQ(after, before);
    EXPECT_EQ(ECFSIM_MarkPaper(), paper);
}

INSTANTIATE_TEST_SUITE_P(
    Amounts, TooLargeTest,
    ::testing::Values(
        // 9,999,999 x 999,999,999: the product of the thousandths leaves 64 bits.
        Case{"ItemProductBeyond64Bits", openReceipt,
             [] { return sell("9999999", 0, "999999999", 0); }},
        // 200,000 x 9,999,999.99 fits 64 bits but not the 14 digits of the day's gross.
        Case{"ItemBeyondTheGrossField", openReceipt,
             [] { return sell("0200000", 0, "999999999", 2); }},
        Case{"ItemBeyondTheGtField",
             [] {
                 ASSERT_EQ(ECFSIM_SetCounters(R"({"gt":999999999999999950})"), 0);
                 openReceipt();
             },
             [] { return sell("0001000", 3, "00001000", 3); }},
        // A surcharge of 99,999,999,999.99% on the subtotal: the product leaves 64 bits.
        Case{"SubtotalSurchargeProductBeyond64Bits", bigItem,
             [] { return EPSON_Fiscal_Desconto_Acrescimo_Subtotal("9999999999999", 2, 0, 1); }},
        // 1,000% of a 13-digit subtotal fits 64 bits, not the gross field.
        Case{"SubtotalSurchargeBeyondTheGrossField", bigItem,
             [] { return EPSON_Fiscal_Desconto_Acrescimo_Subtotal("100000", 2, 0, 1); }},
        // Ten 13-digit items fill the gross field to 99,999,989,900,000.
        Case{"ItemSurchargeBeyondTheGrossField",
             [] {
                 bigItem();
                 for (int i = 1; i < 10; ++i)
                     ASSERT_EQ(sell("9999999", 3, "999999999", 2, "Tb"), 0);
             },
             [] { return EPSON_Fiscal_Desconto_Acrescimo_Item("99999999999", 2, 0, 0); }},
        // The method's day total is kept in 13 digits.
        Case{"PaymentBeyondTheMethodsTotal",
             [] {
                 ASSERT_EQ(
                     ECFSIM_SetTables(
                         R"({"payments":[{"slot":1,"name":"Dinheiro","total":9999999999990}]})"),
                     0);
                 openReceipt();
                 ASSERT_EQ(sell("0001000", 3, "00001000", 3), 0);
             },
             [] { return EPSON_Fiscal_Pagamento("Dinheiro", "100", 2, "", ""); }},
        Case{
            "VoucherEntryBeyondTheTotalizersTotal",
            [] {
                ASSERT_EQ(
                    ECFSIM_SetTables(
                        R"({"nonFiscal":[{"slot":1,"name":"RECEBIMENTO","total":9999999999990}]})"),
                    0);
                ASSERT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
                ASSERT_EQ(EPSON_NaoFiscal_Abrir_Comprovante("", "", "", "", 1), 0);
            },
            [] { return EPSON_NaoFiscal_Vender_Item("RECEBIMENTO", "100", 2); }}),
    [](const auto &info) { return std::string(info.param.name); });

// A large sale within the fields: every total exact, a subtotal discount shared over two rates
// whose product (amount x rate's net) would leave 64 bits.
TEST_F(PrinterTest, LargeAmountsWithinTheFieldsComeOutExact) {
    openReceipt();
    ASSERT_EQ(sell("9999999", 3, "999999999", 2, "Ta"), 0);
    ASSERT_EQ(sell("0003000", 3, "999999999", 2, "Tb"), 0); // 3 x 9,999,999.99
    const int64_t tb = 2'999'999'997;
    const int64_t gross = kBigItem + tb;
    // R$ 1,000,000,000.00 off the subtotal: 10^11 cents x 10^13 cents of net is past 64 bits.
    const int64_t discount = 100'000'000'000;
    ASSERT_EQ(EPSON_Fiscal_Desconto_Acrescimo_Subtotal("100000000000", 2, 1, 0), 0) << result();
    auto s = state();
    EXPECT_EQ(s["gt"], gross);
    EXPECT_EQ(s["day"]["gross"], gross);
    EXPECT_EQ(s["day"]["discounts"], discount);
    const int64_t tbShare = static_cast<int64_t>(static_cast<__int128>(discount) * tb / gross);
    EXPECT_EQ(s["rates"][1]["base"], tb - tbShare);
    EXPECT_EQ(s["rates"][0]["base"], kBigItem - (discount - tbShare));
    EXPECT_GT(tbShare, 0);
    // Paid and closed: the receipt's total is exact.
    const std::string due = std::to_string(gross - discount);
    ASSERT_EQ(EPSON_Fiscal_Pagamento("Dinheiro", due.c_str(), 2, "", ""), 0) << result();
    EXPECT_EQ(EPSON_Fiscal_Fechar_Cupom(1, 0), 0);
    EXPECT_EQ(state()["payments"][0]["total"], gross - discount);
}

TEST_F(PrinterTest, TheClockIsNotShiftedPastWhatItCanShow) {
    int64_t offset = state()["clockOffset"];
    EXPECT_EQ(ECFSIM_ShiftClock(INT64_MAX), -1);
    EXPECT_EQ(ECFSIM_ShiftClock(INT64_MIN), -1);
    EXPECT_EQ(state()["clockOffset"], offset);
    EXPECT_EQ(ECFSIM_ShiftClock(86400), 0);
    EXPECT_EQ(state()["clockOffset"], offset + 86400);
}

} // namespace
