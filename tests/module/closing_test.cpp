// FechaCupom against the virtual printer: subtotal adjustment, payments,
// footer, closing command, change voucher, retries and the result array.
#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "fixture.h"
#include "sale_packets.h"
#include "tivplatform/cp1252.h"
#include "tivplatform/dataset.h"
#include "tivplatform/datetime.h"
#include "tivplatform/stringlist.h"
#include "vendor_entry_points.h"

namespace {

using nlohmann::json;

const std::string kContact = "Tiv02000 - suporte: suporte@tiv02000.example";
const std::string kQuestion = "Impressora n\xE3o responde. Imprimir novamente?";
const std::string kTaxLine = "Trib aprox R$: 1,23 Federal e 0,45 Estadual Fonte:IBPT";
const std::string kConference = "ECF:001-Conf.Mesa -CER: 000042- COO: 000123";
const std::string kUntouched = "untouched";

using sale::kPrinterPayments;
using sale::methodsPacket;
using sale::Movement;
using sale::movementsPacket;

tiv::Variant familyPacket(const std::vector<std::string> &fields,
                          const std::vector<std::vector<tiv::Variant>> &rows) {
    tiv::TClientDataSet ds("cds");
    for (const auto &f : fields)
        ds.addFieldDef(f, f.rfind("VR", 0) == 0 ? tiv::FieldType::Float : tiv::FieldType::String,
                       f.rfind("VR", 0) == 0 ? 0 : 40);
    ds.createDataSet();
    for (const auto &row : rows) {
        ds.append();
        for (size_t i = 0; i < fields.size(); ++i)
            ds.fieldByName(fields[i]).setAsVariant(row[i]);
        ds.post();
    }
    return ds.data();
}

std::string centred40(const std::string &s) {
    const size_t left = (40 - s.size()) / 2;
    return std::string(left, ' ') + s + std::string(40 - s.size() - left, ' ');
}

// One journal call: [entry, args].
json call(const char *entry, json args) {
    return json::array({entry, std::move(args)});
}

bool contains(const std::string &text, const std::string &piece) {
    return text.find(piece) != std::string::npos;
}

bool anyLineHas(const std::vector<std::string> &lines, const std::string &piece) {
    return std::any_of(lines.begin(), lines.end(),
                       [&](const std::string &l) { return contains(l, piece); });
}

class ClosingTest : public DriverTest {
  protected:
    void SetUp() override {
        DriverTest::SetUp();
        resetPrinter({{"payments", kPrinterPayments}, {"nonFiscal", {"TROCO"}}});
    }

    // Starts the driver and opens a receipt of 20,00 + 2 x 7,50 = 35,00
    // (or one item of `single` cents) at the printer itself.
    void openSale(int printerType, int64_t single = 0) {
        ASSERT_TRUE(start(printerType));
        // The classic start opens the fiscal day itself.
        (void)EPSON_RelatorioFiscal_Abrir_Dia();
        openReceipt(single);
    }
    void openReceipt(int64_t single = 0) {
        ASSERT_EQ(EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2), 0);
        if (single) {
            const std::string price = std::to_string(single * 10);
            const std::string digits = std::string(8 - price.size(), '0') + price;
            ASSERT_EQ(EPSON_Fiscal_Vender_Item("1", "ARROZ", "0001000", 3, "UN", digits.c_str(), 3,
                                               "Ta", 1),
                      0);
        } else {
            ASSERT_EQ(
                EPSON_Fiscal_Vender_Item("1", "ARROZ", "0001000", 3, "UN", "00020000", 3, "Ta", 1),
                0);
            ASSERT_EQ(
                EPSON_Fiscal_Vender_Item("2", "FEIJAO", "0002000", 3, "KG", "00007500", 3, "Tb", 1),
                0);
        }
        clearJournal();
        logBefore = logLines().size();
        boClieUtil = true;
    }

    // The 62 positions: colour scheme, operator, taxes and the datasets.
    static tiv::Variant args(const std::vector<Movement> &payments) {
        tiv::Variant a = tiv::Variant::array(62);
        a.at(2) = "001";
        a.at(13) = movementsPacket(payments);
        a.at(14) = methodsPacket();
        a.at(22) = "7";
        a.at(23) = "Rui";
        a.at(42) = "PASS";
        a.at(51) = 1.23;
        a.at(58) = 0.45;
        return a;
    }

    bool close(const tiv::Variant &a, tiv::TStringList *list = nullptr) {
        result = tiv::Variant::array(4);
        for (auto &e : result.items())
            e = kUntouched;
        return FechaCupom(a, list, result);
    }

    // Calls of these entry points, in order, with their arguments.
    json calls(const std::vector<std::string> &entries) const {
        json out = json::array();
        for (const auto &c : journal())
            if (std::find(entries.begin(), entries.end(), c.at("entry")) != entries.end())
                out.push_back({c.at("entry"), c.at("args")});
        return out;
    }
    json callsOf(const std::string &entry) const {
        json out = json::array();
        for (const auto &c : journal())
            if (c.at("entry") == entry) out.push_back(c.at("args"));
        return out;
    }
    // The footer text the printer was given last.
    std::string footer() const {
        const json f = callsOf("EPSON_Fiscal_Imprimir_MensagemEX");
        // The journal gives texts in UTF-8.
        return f.empty() ? std::string("<no footer>")
                         : tiv::utf8ToCp1252(f.back().at(0).get<std::string>());
    }
    std::vector<std::string> newLog() const {
        auto texts = logTexts();
        texts.erase(texts.begin(), texts.begin() + static_cast<long>(logBefore));
        return texts;
    }
    std::string docState() const { return printerState().at("docState"); }
    size_t questions() const {
        return std::count_if(dialogs.begin(), dialogs.end(),
                             [](const ShownDialog &d) { return d.text == kQuestion; });
    }
    void expectUntouched() const {
        for (size_t i = 0; i < 4; ++i)
            EXPECT_EQ(result.at(i).toString(), kUntouched) << "element " << i;
    }

    tiv::Variant result;
    size_t logBefore = 0;
};

const std::vector<std::string> kSaleEntries = {"EPSON_Fiscal_Desconto_Acrescimo_Subtotal",
                                               "EPSON_ESC_ECF_Desconto_Acrescimo_SubtotalEX",
                                               "EPSON_Obter_Tabela_Pagamentos",
                                               "EPSON_Fiscal_Pagamento",
                                               "EPSON_ESC_ECF_Fiscal_PagamentoEX",
                                               "EPSON_Fiscal_Imprimir_MensagemEX",
                                               "EPSON_Fiscal_Fechar_Cupom",
                                               "EPSON_ESC_ECF_Fiscal_Fechar_CupomEX"};

// A whole closing in each command family: discount 10,005 sent as 10,00,
// two payments (one under its fiscal name), the footer and the closing.
struct FamilyCase {
    const char *name;
    int printerType;
    json expected; // without the footer's argument, checked apart
};

class ClosingFamilyTest : public ClosingTest, public ::testing::WithParamInterface<FamilyCase> {};

TEST_P(ClosingFamilyTest, SendsEveryStepWithItsExactArguments) {
    const FamilyCase &c = GetParam();
    openSale(c.printerType);
    tiv::Variant a = args({{"001", 20.0}, {"008", 10.0}});
    a.at(6) = 10.005;
    a.at(15) = "C1";
    a.at(16) = "Ana";
    ASSERT_TRUE(close(a));

    json got = calls(kSaleEntries);
    ASSERT_EQ(got.size(), c.expected.size()) << got.dump();
    for (size_t i = 0; i < got.size(); ++i) {
        if (got[i][0] == "EPSON_Fiscal_Imprimir_MensagemEX") got[i][1] = "footer";
        EXPECT_EQ(got[i], c.expected[i]) << i;
    }
    const std::string expectedFooter =
        kTaxLine + "\nCliente: C1 - Ana\n" + kContact + "\nOperador: 7 - Rui\n";
    EXPECT_EQ(footer(), expectedFooter);
    EXPECT_EQ(docState(), "0");

    const auto log = newLog();
    for (const std::string line :
         {"EPSON_Fiscal_Desconto_Acrescimo_Subtotal : 00000001000",
          "EPSON_Fiscal_Pagamento : Dinheiro - 0000000002000",
          "EPSON_Fiscal_Pagamento : Cartao VISA 12x - 0000000001000", "EPSON_Fiscal_Fechar_Cupom"})
        EXPECT_NE(std::find(log.begin(), log.end(), line), log.end()) << line;
    EXPECT_TRUE(anyLineHas(log, "EPSON_Fiscal_Imprimir_MensagemEX(" + kTaxLine));

    EXPECT_EQ(result.at(0).toInteger(), 0);
    EXPECT_EQ(result.at(1).toString(), "PASS");
    EXPECT_EQ(result.at(2).toString(), "");
    EXPECT_EQ(result.at(3).toString(), "");
    EXPECT_TRUE(boClieUtil);
    EXPECT_TRUE(dialogs.empty());
}

const json kFooterCall = call("EPSON_Fiscal_Imprimir_MensagemEX", "footer");

INSTANTIATE_TEST_SUITE_P(
    Closing, ClosingFamilyTest,
    ::testing::Values(
        FamilyCase{
            "Classic", 31,
            json::array(
                {call("EPSON_Fiscal_Desconto_Acrescimo_Subtotal", json{"00000001000", 2, 1, 0}),
                 call("EPSON_Fiscal_Pagamento", json{"Dinheiro", "0000000002000", 2, "", ""}),
                 call("EPSON_Fiscal_Pagamento", json{"Cartao Credito", "0000000001000", 2, "", ""}),
                 kFooterCall, call("EPSON_Fiscal_Fechar_Cupom", json{1, 0})})},
        FamilyCase{"EscEcf", 33,
                   json::array({call("EPSON_ESC_ECF_Desconto_Acrescimo_SubtotalEX",
                                     json{"0", "1", "00000001000"}),
                                call("EPSON_Obter_Tabela_Pagamentos", json{nullptr}),
                                call("EPSON_ESC_ECF_Fiscal_PagamentoEX",
                                     json{"01", "0000000002000", "1", "", "1"}),
                                call("EPSON_Obter_Tabela_Pagamentos", json{nullptr}),
                                call("EPSON_ESC_ECF_Fiscal_PagamentoEX",
                                     json{"02", "0000000001000", "1", "", "3"}),
                                kFooterCall,
                                call("EPSON_ESC_ECF_Fiscal_Fechar_CupomEX", json{"0", "1", ""})})}),
    [](const auto &info) { return std::string(info.param.name); });

// Discount and surcharge on the subtotal: exclusive, the discount first.
struct AdjustCase {
    const char *name;
    int printerType;
    double discount, surcharge;
    json expected;
    std::string logged;
};

class ClosingAdjustTest : public ClosingTest, public ::testing::WithParamInterface<AdjustCase> {};

TEST_P(ClosingAdjustTest, SendsOneAdjustment) {
    const AdjustCase &c = GetParam();
    openSale(c.printerType);
    tiv::Variant a = args({{"001", 40.0}});
    a.at(6) = c.discount;
    a.at(8) = c.surcharge;
    ASSERT_TRUE(close(a));
    EXPECT_EQ(calls({"EPSON_Fiscal_Desconto_Acrescimo_Subtotal",
                     "EPSON_ESC_ECF_Desconto_Acrescimo_SubtotalEX"}),
              c.expected);
    const auto log = newLog();
    EXPECT_EQ(std::count_if(log.begin(), log.end(),
                            [](const std::string &l) {
                                return l.rfind("EPSON_Fiscal_Desconto_Acrescimo_Subtotal", 0) == 0;
                            }),
              c.logged.empty() ? 0 : 1);
    if (!c.logged.empty()) {
        EXPECT_TRUE(anyLineHas(log, "EPSON_Fiscal_Desconto_Acrescimo_Subtotal : " + c.logged));
    }
    EXPECT_EQ(docState(), "0");
}

INSTANTIATE_TEST_SUITE_P(
    Closing, ClosingAdjustTest,
    ::testing::Values(AdjustCase{"EscDiscountTruncated", 33, 10.005, 0,
                                 json::array({call("EPSON_ESC_ECF_Desconto_Acrescimo_SubtotalEX",
                                                   {"0", "1", "00000001000"})}),
                                 "00000001000"},
                      AdjustCase{"EscSurcharge", 33, 0, 2.5,
                                 json::array({call("EPSON_ESC_ECF_Desconto_Acrescimo_SubtotalEX",
                                                   {"1", "1", "00000000250"})}),
                                 "00000000250"},
                      AdjustCase{"EscDiscountWins", 33, 3, 2.5,
                                 json::array({call("EPSON_ESC_ECF_Desconto_Acrescimo_SubtotalEX",
                                                   {"0", "1", "00000000300"})}),
                                 "00000000300"},
                      AdjustCase{"ClassicDiscountTruncated", 31, 10.005, 0,
                                 json::array({call("EPSON_Fiscal_Desconto_Acrescimo_Subtotal",
                                                   {"00000001000", 2, 1, 0})}),
                                 "00000001000"},
                      AdjustCase{"ClassicSurcharge", 31, 0, 2.5,
                                 json::array({call("EPSON_Fiscal_Desconto_Acrescimo_Subtotal",
                                                   {"00000000250", 2, 0, 0})}),
                                 "00000000250"},
                      AdjustCase{"ClassicDiscountWins", 31, 3, 2.5,
                                 json::array({call("EPSON_Fiscal_Desconto_Acrescimo_Subtotal",
                                                   {"00000000300", 2, 1, 0})}),
                                 "00000000300"},
                      AdjustCase{"Neither", 33, 0, 0, json::array(), ""}),
    [](const auto &info) { return std::string(info.param.name); });

// Two card payments of one method: merged only in a TEF sale.
struct MergeCase {
    const char *name;
    std::string tefMarker;
    bool tefInUse;
    json amounts;
    int cardIndex;
};

class ClosingMergeTest : public ClosingTest, public ::testing::WithParamInterface<MergeCase> {};

TEST_P(ClosingMergeTest, MergesCardPaymentsOfOneMethod) {
    const MergeCase &c = GetParam();
    openSale(33, 1500);
    tiv::Variant a = args({{"002", 10.0}, {"002", 5.0}});
    a.at(9) = c.tefMarker;
    a.at(11) = c.tefInUse;
    ASSERT_TRUE(close(a));
    json amounts = json::array();
    for (const auto &p : callsOf("EPSON_ESC_ECF_Fiscal_PagamentoEX"))
        amounts.push_back(p.at(1));
    EXPECT_EQ(amounts, c.amounts);
    EXPECT_EQ(inIndiceReceb, c.cardIndex);
    EXPECT_EQ(docState(), "0");
}

INSTANTIATE_TEST_SUITE_P(
    Closing, ClosingMergeTest,
    ::testing::Values(MergeCase{"TefSale", "S", true, {"0000000001500"}, 1},
                      MergeCase{"TefMarkerT", "T", true, {"0000000001500"}, 1},
                      MergeCase{"WithoutTef", "", false, {"0000000001000", "0000000000500"}, 2}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(ClosingTest, MapsPaymentKindsAndNotesTheLastCardPayment) {
    openSale(33, 6000);
    // Cheque "3", credit "1", cash "4", debit "2", "X" and an empty kind.
    ASSERT_TRUE(close(args({{"004", 10.0},
                            {"002", 10.0},
                            {"001", 10.0},
                            {"003", 10.0},
                            {"005", 10.0},
                            {"007", 10.0}})));
    json codes = json::array(), kinds = json::array();
    for (const auto &p : callsOf("EPSON_ESC_ECF_Fiscal_PagamentoEX")) {
        codes.push_back(p.at(0));
        kinds.push_back(p.at(4));
    }
    EXPECT_EQ(codes, json({"04", "02", "01", "03", "05", "07"}));
    EXPECT_EQ(kinds, json({"2", "3", "1", "4", "7", "7"}));
    EXPECT_EQ(inIndiceReceb, 4) << "the debit payment is the fourth sent";
    EXPECT_EQ(callsOf("EPSON_Obter_Tabela_Pagamentos").size(), 6u);
}

// A refused command: repeated when the operator says yes in a TEF sale.
struct RetryCase {
    const char *name;
    const char *entry; // the refused entry point
    std::string tefMarker;
    bool tefInUse;
    std::vector<bool> answers;
    bool ok;
    size_t sent;         // calls of the refused entry point
    size_t asked;        // questions
    std::string after;   // document state after the call
    std::string shown{}; // a message the operator must see, "" none checked
};

class ClosingRetryTest : public ClosingTest, public ::testing::WithParamInterface<RetryCase> {};

TEST_P(ClosingRetryTest, FollowsTheOperatorsAnswer) {
    const RetryCase &c = GetParam();
    openSale(33);
    tiv::Variant a = args({{"001", 40.0}});
    a.at(6) = 1.0;
    a.at(9) = c.tefMarker;
    a.at(11) = c.tefInUse;
    answers.assign(c.answers.begin(), c.answers.end());
    injectFault({{"kind", "refuse"}, {"entry", c.entry}});

    EXPECT_EQ(close(a), c.ok);
    const json sent = callsOf(c.entry);
    ASSERT_EQ(sent.size(), c.sent);
    if (sent.size() == 2) {
        EXPECT_EQ(sent[0], sent[1]) << "the same command again";
    }
    EXPECT_EQ(questions(), c.asked);
    EXPECT_EQ(docState(), c.after);
    if (!c.shown.empty()) {
        EXPECT_NE(stMensagemTaa.find(c.shown), std::string::npos) << stMensagemTaa;
        EXPECT_TRUE(std::any_of(dialogs.begin(), dialogs.end(),
                                [&](const ShownDialog &d) { return d.text == c.shown; }));
    }
    if (c.ok) {
        EXPECT_EQ(result.at(0).toInteger(), c.asked > 0 ? 1 : 0);
        EXPECT_EQ(result.at(1).toString(), "PASS");
    } else {
        expectUntouched();
        EXPECT_FALSE(boClieUtil);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Closing, ClosingRetryTest,
    ::testing::Values(
        RetryCase{
            "PaymentYes", "EPSON_ESC_ECF_Fiscal_PagamentoEX", "S", true, {true}, true, 2, 1, "0"},
        RetryCase{
            "PaymentNo", "EPSON_ESC_ECF_Fiscal_PagamentoEX", "S", true, {false}, false, 1, 1, "3"},
        RetryCase{"PaymentWithoutTef",
                  "EPSON_ESC_ECF_Fiscal_PagamentoEX",
                  "",
                  false,
                  {},
                  false,
                  1,
                  0,
                  "3"},
        RetryCase{"TefMarkerWithoutTefInUse",
                  "EPSON_ESC_ECF_Fiscal_PagamentoEX",
                  "S",
                  false,
                  {},
                  false,
                  1,
                  0,
                  "3"},
        RetryCase{"SubtotalYes",
                  "EPSON_ESC_ECF_Desconto_Acrescimo_SubtotalEX",
                  "S",
                  true,
                  {true},
                  true,
                  2,
                  1,
                  "0"},
        RetryCase{"SubtotalNo",
                  "EPSON_ESC_ECF_Desconto_Acrescimo_SubtotalEX",
                  "T",
                  true,
                  {false},
                  false,
                  1,
                  1,
                  "1"},
        RetryCase{"ClosingYes",
                  "EPSON_ESC_ECF_Fiscal_Fechar_CupomEX",
                  "S",
                  true,
                  {true},
                  true,
                  2,
                  1,
                  "0"},
        // A refused footer: the receipt is closed all the same, and a closed receipt is a
        // sale done; nothing is asked, since nothing can be printed again.
        RetryCase{"FooterNo",
                  "EPSON_Fiscal_Imprimir_MensagemEX",
                  "S",
                  true,
                  {false},
                  true,
                  1,
                  0,
                  "0",
                  "Rodap\xE9 n\xE3o impresso; o cupom fiscal foi fechado sem ele."}),
    [](const auto &info) { return std::string(info.param.name); });

// The footer the printer kept is not printed twice: only the closing is sent again.
TEST_F(ClosingTest, ClosingRetrySendsOnlyTheClosingAgain) {
    openSale(33);
    tiv::Variant a = args({{"001", 40.0}});
    a.at(9) = "S";
    a.at(11) = true;
    answers = {true};
    injectFault({{"kind", "refuse"}, {"entry", "EPSON_ESC_ECF_Fiscal_Fechar_CupomEX"}});
    ASSERT_TRUE(close(a));
    EXPECT_EQ(callsOf("EPSON_Fiscal_Imprimir_MensagemEX").size(), 1u);
    EXPECT_EQ(callsOf("EPSON_ESC_ECF_Fiscal_Fechar_CupomEX").size(), 2u);
    EXPECT_EQ(callsOf("EPSON_ESC_ECF_Fiscal_PagamentoEX").size(), 1u) << "payments not repeated";
}

// The six closing variants: conference numbers, layout, subsidy, the
// footer's debug line and whether the receipt is closed.
enum class FooterLog { Bare, Parens, Whole };
struct VariantCase {
    const char *name;
    std::function<void(tiv::Variant &)> set;
    std::string method;
    bool conference;
    std::string subsidy; // piece of the footer showing the subsidy, "" none
    FooterLog logged;
    bool closes;
    bool ok = true;
};

class ClosingVariantTest : public ClosingTest, public ::testing::WithParamInterface<VariantCase> {};

TEST_P(ClosingVariantTest, PrintsItsFooterAndClosesOrNot) {
    const VariantCase &c = GetParam();
    openSale(33);
    tiv::Variant a = args({{c.method, 40.0}});
    a.at(41) = "001";
    a.at(29) = "0042";
    a.at(28) = "123";
    a.at(38) = 2.5;
    a.at(37) = 10.0;
    c.set(a);
    EXPECT_EQ(close(a, nullptr), c.ok);
    for (const auto &call : journal()) {
        if (call.at("entry") == "EPSON_Fiscal_Imprimir_MensagemEX") {
            EXPECT_EQ(call.at("return") != 0, !c.ok) << "footer accepted or refused";
        }
    }

    const std::string text = footer();
    EXPECT_EQ(contains(text, kConference), c.conference) << text;
    if (c.subsidy.empty()) {
        EXPECT_FALSE(contains(text, "subsidiado")) << text;
    } else {
        EXPECT_TRUE(contains(text, c.subsidy)) << text;
    }
    EXPECT_EQ(callsOf("EPSON_ESC_ECF_Fiscal_Fechar_CupomEX").size(), c.closes ? 1u : 0u);
    EXPECT_EQ(docState(), c.closes ? "0" : "3");

    const auto log = newLog();
    switch (c.logged) {
    case FooterLog::Bare:
        EXPECT_NE(std::find(log.begin(), log.end(), "EPSON_Fiscal_Imprimir_MensagemEX"), log.end());
        break;
    case FooterLog::Parens:
        EXPECT_NE(std::find(log.begin(), log.end(), "EPSON_Fiscal_Imprimir_MensagemEX()"),
                  log.end());
        break;
    case FooterLog::Whole:
        EXPECT_TRUE(anyLineHas(log, "EPSON_Fiscal_Imprimir_MensagemEX(" + kTaxLine));
        break;
    }
    EXPECT_EQ(result.at(1).toString(), c.ok ? "PASS" : kUntouched);
}

INSTANTIATE_TEST_SUITE_P(
    Closing, ClosingVariantTest,
    ::testing::Values(
        VariantCase{"A_TableConferenceLeavesReceiptOpen",
                    [](tiv::Variant &a) {
                        a.at(35) = "2";
                        a.at(17) = "K1";
                        a.at(36) = "1";
                    },
                    "001", false, "", FooterLog::Bare, false},
        VariantCase{"B_FamilyBalance",
                    [](tiv::Variant &a) {
                        a.at(27) = "1";
                        a.at(36) = "1";
                    },
                    "001", true, "", FooterLog::Bare, true},
        // No string list: closed like every other variant.
        VariantCase{"C_TefListWithoutStringList",
                    [](tiv::Variant &a) {
                        a.at(9) = "T";
                        a.at(11) = true;
                        a.at(40) = "S";
                    },
                    "001", true, "", FooterLog::Parens, true},
        // The agreement layout has no line budget; the printer takes its
        // footer whole.
        VariantCase{"D_Agreement", [](tiv::Variant &) {}, "006", true,
                    "Pre\xE7o subsidiado: - 2,50", FooterLog::Whole, true},
        VariantCase{"E_ReceiptNumber", [](tiv::Variant &a) { a.at(19) = "000123"; }, "001", true,
                    "Pre\xE7o subsidiado: 2,50 - ", FooterLog::Whole, true},
        VariantCase{"F_Plain", [](tiv::Variant &) {}, "001", false, "", FooterLog::Whole, true}),
    [](const auto &info) { return std::string(info.param.name); });

// The footer as the printer prints it: each line, longer ones cut into
// 48-column pieces.
std::vector<std::string> printedLines(const std::string &block) {
    std::vector<std::string> out;
    size_t start = 0;
    for (;;) {
        const size_t end = block.find('\n', start);
        const std::string line = block.substr(start, end == std::string::npos ? end : end - start);
        if (end == std::string::npos && line.empty()) break;
        if (line.empty()) out.emplace_back();
        for (size_t p = 0; p < line.size(); p += 48)
            out.push_back(tiv::cp1252ToUtf8(line.substr(p, 48)));
        if (end == std::string::npos) break;
        start = end + 1;
    }
    return out;
}

// An agreement sale's footer is longer than any fixed budget: it reaches the
// paper whole and the closing is a success, with its result elements, in
// both command families.
class ClosingAgreementTest : public ClosingTest, public ::testing::WithParamInterface<int> {};

TEST_P(ClosingAgreementTest, ClosesWithTheWholeFooterOnThePaper) {
    openSale(GetParam());
    const int64_t mark = ECFSIM_MarkPaper();
    tiv::Variant a = args({{"006", 40.0}});
    a.at(41) = "001";
    a.at(29) = "0042";
    a.at(28) = "123";
    a.at(38) = 2.5;
    ASSERT_TRUE(close(a));
    EXPECT_EQ(result.at(0).toInteger(), 0);
    EXPECT_EQ(result.at(1).toString(), "PASS");
    EXPECT_EQ(result.at(3).toString(), "");
    EXPECT_EQ(docState(), "0");

    const std::vector<std::string> want = printedLines(footer());
    ASSERT_GT(want.size(), 8u) << footer();
    const std::vector<std::string> paper = paperSince(mark);
    EXPECT_NE(std::search(paper.begin(), paper.end(), want.begin(), want.end()), paper.end())
        << "footer not printed whole and in order";
    // The tax line is wider than the paper: its end is a line of its own.
    ASSERT_GT(kTaxLine.size(), 48u);
    EXPECT_TRUE(std::find(paper.begin(), paper.end(), kTaxLine.substr(48)) != paper.end());
}

INSTANTIATE_TEST_SUITE_P(Closing, ClosingAgreementTest, ::testing::Values(31, 33),
                         [](const auto &info) { return "Type" + std::to_string(info.param); });

TEST_F(ClosingTest, VariantCWithAStringListAlsoCloses) {
    openSale(33);
    tiv::Variant a = args({{"001", 40.0}});
    a.at(9) = "T";
    a.at(11) = true;
    a.at(40) = "S";
    tiv::TStringList list;
    list.add("TEF");
    ASSERT_TRUE(close(a, &list));
    EXPECT_EQ(docState(), "0");
}

TEST_F(ClosingTest, FamilyLinesUseTheBalancesTheHostSent) {
    openSale(33);
    tiv::Variant a = args({{"001", 40.0}});
    a.at(27) = "1";
    a.at(36) = "1";
    a.at(32) = familyPacket({"CDFAMILISALD", "NMFAMILISALD", "VRSALDCONFAM"},
                            {{"F1", "Carnes", 100.0}, {"F2", "Padaria", 50.0}});
    a.at(33) = familyPacket({"CDFAMILISALD", "VRSALDCONFAM"}, {{"F1", 30.0}});
    a.at(34) = familyPacket({"CDFAMILISALD", "IDTPMOVEXT", "VRMOVEXTCONS"}, {{"F1", "D", 5.0}});
    ASSERT_TRUE(close(a));
    const std::string text = footer();
    EXPECT_TRUE(contains(text, "Carnes" + std::string(19 + 17, ' ') + "65,00\n")) << text;
    EXPECT_TRUE(contains(text, "Padaria" + std::string(18 + 17, ' ') + "50,00\n")) << text;
    EXPECT_EQ(docState(), "0");
}

// Lines prepared from the sale's positions, as the footer shows them.
struct LineCase {
    const char *name;
    std::function<void(tiv::Variant &)> set;
    std::string line; // a whole footer line
    bool present;
};

class ClosingLinesTest : public ClosingTest, public ::testing::WithParamInterface<LineCase> {};

TEST_P(ClosingLinesTest, ComposesTheSaleLines) {
    const LineCase &c = GetParam();
    openSale(33);
    tiv::Variant a = args({{"001", 40.0}});
    c.set(a);
    ASSERT_TRUE(close(a));
    EXPECT_EQ(contains("\n" + footer(), "\n" + c.line + "\n"), c.present) << footer();
}

INSTANTIATE_TEST_SUITE_P(
    Closing, ClosingLinesTest,
    ::testing::Values(LineCase{"TableOfTwo", [](tiv::Variant &a) { a.at(21) = "12"; },
                               "Mesa  : 12           - ", true},
                      LineCase{"TableOfFour", [](tiv::Variant &a) { a.at(21) = "1234"; },
                               "Mesa  : 1234           - ", true},
                      LineCase{"OrderPadOfFive", [](tiv::Variant &a) { a.at(21) = "12345"; },
                               "Comanda : 12345   - ", true},
                      LineCase{"TableAndPassword",
                               [](tiv::Variant &a) {
                                   a.at(21) = "12";
                                   a.at(31) = "77";
                               },
                               "Mesa  : 12           - \x1B\x05SENHA : 77", true},
                      LineCase{"Points", [](tiv::Variant &a) { a.at(52) = 150.0; },
                               centred40("Nesta compra voce ganhou 150 DOTZ"), true},
                      LineCase{"ExtraPoints", [](tiv::Variant &a) { a.at(54) = 20.0; },
                               centred40("Nesta compra voce ganhou 20 DOTZ extras"), true},
                      LineCase{"FidelityDiscount", [](tiv::Variant &a) { a.at(61) = 1.5; },
                               centred40("Desconto de R$ 1,50 pelo Fidelidade"), true},
                      LineCase{"ConsumerShownByDefault",
                               [](tiv::Variant &a) {
                                   a.at(17) = "K1";
                                   a.at(18) = "Bia";
                               },
                               "Consumidor : K1 - Bia", true},
                      LineCase{"ConsumerHidden",
                               [](tiv::Variant &a) {
                                   a.at(17) = "K1";
                                   a.at(18) = "Bia";
                                   a.at(60) = false;
                               },
                               "Consumidor : K1 - Bia", false}),
    [](const auto &info) { return std::string(info.param.name); });

// The state-lottery line: the amount sold is the paid total less the
// change voucher, its whole digits followed by its two decimals.
struct LotteryCase {
    const char *name;
    std::string state;
    double change;
    std::string digits; // "" when no lottery line
};

class ClosingLotteryTest : public ClosingTest, public ::testing::WithParamInterface<LotteryCase> {};

TEST_P(ClosingLotteryTest, PrintsTheSaleAmountDigits) {
    const LotteryCase &c = GetParam();
    openSale(33, 1500);
    tiv::Variant a = args({{"001", 15.0}});
    a.at(7) = c.change;
    a.at(19) = "000123";
    a.at(43) = c.state;
    a.at(44) = "12.345.678/0001-90";
    ASSERT_TRUE(close(a));
    const std::string text = footer();
    if (c.digits.empty()) {
        EXPECT_FALSE(contains(text, "PARAIBA")) << text;
        return;
    }
    const std::string today = tiv::formatDateTime("ddmmyyyy", tiv::today());
    EXPECT_EQ(text, kTaxLine +
                        "\nPARAIBA LEGAL - RECEITA CIDADA\n\rTORPEDO PREMIADO: 12345678000190 " +
                        today + " " + c.digits + " 000123\n" + kContact + "\nOperador: 7 - Rui\n");
    EXPECT_EQ(docState(), "0");
}

INSTANTIATE_TEST_SUITE_P(Closing, ClosingLotteryTest,
                         ::testing::Values(LotteryCase{"WholeSale", "PB", 0, "1500"},
                                           LotteryCase{"LessChange", "PB", 2.5, "1250"},
                                           LotteryCase{"ZeroAmount", "PB", 15, "000"},
                                           LotteryCase{"OtherState", "SP", 0, ""}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST_F(ClosingTest, ChangeVoucherCounterBecomesResultElementTwo) {
    openSale(33);
    tiv::Variant a = args({{"001", 40.0}});
    a.at(0) = "TROCO";
    a.at(4) = true;
    a.at(7) = 5.0;
    ASSERT_TRUE(close(a));
    EXPECT_EQ(callsOf("EPSON_ESC_ECF_NaoFiscal_Vender_ItemEX"),
              json::array({json::array({"TROCO", "00000000000500"})}));
    EXPECT_EQ(callsOf("EPSON_NaoFiscal_Pagamento"), json({{"Dinheiro", "500", 2, "", ""}}));
    std::string counter;
    ASSERT_TRUE(NumeroOperacoesNaoFiscais("001", counter));
    EXPECT_FALSE(counter.empty());
    EXPECT_EQ(result.at(2).toString(), counter);
    EXPECT_EQ(docState(), "0");
}

// A payment method the printer's table or the host's methods do not hold:
// nothing is paid under an empty or wrong code, the method is named.
struct MissingCase {
    const char *name;
    int printerType;
    std::string method;
    std::string named;
};

class ClosingMissingMethodTest : public ClosingTest,
                                 public ::testing::WithParamInterface<MissingCase> {};

TEST_P(ClosingMissingMethodTest, IsNotPaid) {
    const MissingCase &c = GetParam();
    openSale(c.printerType);
    EXPECT_FALSE(close(args({{c.method, 40.0}})));
    EXPECT_TRUE(callsOf("EPSON_ESC_ECF_Fiscal_PagamentoEX").empty());
    EXPECT_TRUE(callsOf("EPSON_Fiscal_Pagamento").empty());
    EXPECT_TRUE(contains(stMensagemTaa, "\"" + c.named + "\"")) << stMensagemTaa;
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_TRUE(contains(dialogs[0].text, c.named));
    EXPECT_FALSE(boClieUtil);
    expectUntouched();
    EXPECT_EQ(docState(), "1");
}

INSTANTIATE_TEST_SUITE_P(Closing, ClosingMissingMethodTest,
                         ::testing::Values(MissingCase{"NotInPrinter", 33, "009", "Vale Refeicao"},
                                           MissingCase{"NotFromHost", 33, "010", "010"},
                                           MissingCase{"ClassicNotFromHost", 31, "010", "010"}),
                         [](const auto &info) { return std::string(info.param.name); });

// An amount its printer field cannot hold: nothing reaches the printer.
struct TooLargeCase {
    const char *name;
    int position; // of the amount, -1 for the payment
    double value;
    std::string named;
};

class ClosingTooLargeTest : public ClosingTest,
                            public ::testing::WithParamInterface<TooLargeCase> {};

TEST_P(ClosingTooLargeTest, RefusedBeforeAnyPrinterCall) {
    const TooLargeCase &c = GetParam();
    openSale(c.position == -2 ? 31 : 33);
    tiv::Variant a = args({{"001", c.position < 0 ? c.value : 40.0}});
    if (c.position >= 0) a.at(c.position) = c.value;
    // The change voucher's amount is read only when a voucher is asked for.
    if (c.position == 7) a.at(4) = true;
    EXPECT_FALSE(close(a));
    EXPECT_EQ(journal(), json::array());
    EXPECT_TRUE(contains(stMensagemTaa, c.named)) << stMensagemTaa;
    ASSERT_EQ(dialogs.size(), 1u) << "shown under the dialog rule";
    EXPECT_TRUE(contains(dialogs[0].text, c.named));
    EXPECT_FALSE(boClieUtil);
    expectUntouched();
}

INSTANTIATE_TEST_SUITE_P(
    Closing, ClosingTooLargeTest,
    ::testing::Values(TooLargeCase{"SubtotalDiscount", 6, 1e9, "Valor do subtotal"},
                      TooLargeCase{"SubtotalSurcharge", 8, 2e9, "Valor do subtotal"},
                      TooLargeCase{"Payment", -1, 1e11, "Valor do pagamento"},
                      TooLargeCase{"ClassicPayment", -2, 1e11, "Valor do pagamento"},
                      TooLargeCase{"ChangeVoucher", 7, 1e13, "Valor do contra-vale"}),
    [](const auto &info) { return std::string(info.param.name); });

TEST_F(ClosingTest, AWaitingMessageIsHandedBackAndClearsTheFlag) {
    openSale(33);
    stMensagemTaa = "aviso";
    ASSERT_TRUE(close(args({{"001", 40.0}})));
    EXPECT_EQ(result.at(3).toString(), "aviso");
    EXPECT_FALSE(boClieUtil);
    EXPECT_EQ(docState(), "0");
}

// No payment rows: an open receipt cannot be closed, so that is no success; with no receipt
// open there is nothing to close, a success without a word. Only the document state is read
// before that is decided, and nothing is sent either way; a printer that cannot tell is refused.
TEST_F(ClosingTest, NoPaymentIsNothingToCloseOnlyWithNoReceiptOpen) {
    struct Case {
        const char *name;
        int type;
        bool receiptOpen;
        bool noAnswer; // the document state is not read
        bool result;
    };
    for (const Case &c : {Case{"receipt open", 33, true, false, false},
                          Case{"receipt open, classic", 31, true, false, false},
                          Case{"no receipt", 33, false, false, true},
                          Case{"no receipt, classic", 31, false, false, true},
                          Case{"state unknown", 33, false, true, false}}) {
        SCOPED_TRACE(c.name);
        resetPrinter({{"payments", kPrinterPayments}, {"nonFiscal", {"TROCO"}}});
        if (c.receiptOpen) {
            openSale(c.type);
        } else {
            ASSERT_TRUE(start(c.type));
            clearJournal();
            boClieUtil = true;
        }
        dialogs.clear();
        stMensagemTaa.clear();
        if (c.noAnswer)
            injectFault(
                {{"kind", "noanswer"}, {"entry", "EPSON_Obter_Informacao_Ultimo_Documento"}});
        tiv::Variant a = args({{"001", 40.0, "S"}});
        a.at(4) = true; // a change voucher asked for: still nothing to print
        a.at(7) = 5.0;
        EXPECT_EQ(close(a), c.result);
        EXPECT_EQ(journalEntries(),
                  std::vector<std::string>{"EPSON_Obter_Informacao_Ultimo_Documento"});
        EXPECT_EQ(docState(), c.receiptOpen ? "1" : "0");
        EXPECT_EQ(boClieUtil, c.result);
        if (c.result) {
            EXPECT_EQ(stMensagemTaa, "");
            EXPECT_TRUE(dialogs.empty());
            EXPECT_EQ(result.at(0).toInteger(), 0);
            EXPECT_EQ(result.at(1).toString(), "PASS");
            EXPECT_EQ(result.at(2).toString(), "");
            EXPECT_EQ(result.at(3).toString(), "");
        } else {
            EXPECT_TRUE(contains(stMensagemTaa, "Nenhum pagamento")) << stMensagemTaa;
            expectUntouched();
        }
        StopImpFiscal();
    }
}

TEST_F(ClosingTest, NextSaleStartsFromItsOwnPayments) {
    openSale(33);
    ASSERT_TRUE(close(args({{"002", 10.0}, {"001", 30.0}})));
    openReceipt();
    ASSERT_TRUE(close(args({{"003", 5.0}, {"001", 30.0}})));
    json codes = json::array();
    for (const auto &p : callsOf("EPSON_ESC_ECF_Fiscal_PagamentoEX"))
        codes.push_back(p.at(0));
    EXPECT_EQ(codes, json({"03", "01"}));
    EXPECT_EQ(docState(), "0");
}

TEST_F(ClosingTest, PaperRollShowsTheWholeSale) {
    openSale(33);
    const int64_t mark = ECFSIM_MarkPaper();
    tiv::Variant a = args({{"001", 20.0}, {"002", 10.0}});
    a.at(6) = 10.005;
    a.at(10) = "Volte sempre";
    ASSERT_TRUE(close(a));
    std::vector<std::string> paper = paperSince(mark);
    // The items were printed when sold, before the mark.
    const auto sale = paperSince(0);
    for (const char *piece : {"ARROZ", "FEIJAO"})
        EXPECT_TRUE(anyLineHas(sale, piece)) << piece;
    for (const char *piece : {"DESCONTO R$", "-10,00", "Dinheiro", "20,00", "Cartao Credito",
                              "TROCO R$", "5,00", "Trib aprox R$: 1,23 Federal e 0,45",
                              "Volte sempre", "suporte@tiv02000.example", "Operador: 7 - Rui"})
        EXPECT_TRUE(anyLineHas(paper, piece)) << piece;
}

} // namespace
