// Registering an item: the digit texts, the tax codes of both families, the
// discount and surcharge, the repeat of a refused item and the refusal of an
// amount too large for its field.
#include <algorithm>

#include "fixture.h"
#include "sale_helpers.h"

namespace {

using sale::param;

struct ItemValues {
    std::string code = "123", description = "ARROZ", taxCode = "01", unit = "UN";
    double quantity = 1, price = 10, discount = 0, surcharge = 0;
    std::string idUtilTef = "N";
    bool utilTef = false;
    int tefError = 0;
};

tiv::Variant itemParams(const ItemValues &v) {
    return tiv::makeParams({{"ESQUEMACOR", "001"},
                            {"INTEFERRO", v.tefError},
                            {"CDARVPROD", v.code},
                            {"NMPROD", v.description},
                            {"CDALIQ", v.taxCode},
                            {"QTDE", v.quantity},
                            {"VALOR", v.price},
                            {"DESCONT", v.discount},
                            {"UNIDADE", v.unit},
                            {"TIPOTICKET", ""},
                            {"VRPERCALIQ", ""},
                            {"IDUTILTEF", v.idUtilTef},
                            {"UTILTEF", v.utilTef},
                            {"ACRESCIMO", v.surcharge}});
}

class ItemTest : public DriverTest {
  protected:
    void SetUp() override {
        DriverTest::SetUp();
        sale::answerOnlyQuestions(dialogs, answers);
    }
    // A started printer of `type` with an open receipt.
    void openReceipt(int type) {
        StopImpFiscal();
        // Eleven rates, so that every tax code of the table is programmed.
        nlohmann::json rates = nlohmann::json::array();
        for (int i = 1; i <= 11; ++i)
            rates.push_back({{"kind", "T"}, {"rate", 100 * i}});
        resetPrinter({{"taxRates", rates}});
        ASSERT_TRUE(start(type));
        const bool opened = type == 31 ? EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2) == 0
                                       : EPSON_ESC_ECF_Fiscal_Abrir_CupomEX("", "", "") == 0;
        ASSERT_TRUE(opened);
        clearJournal();
        dialogs.clear();
        stMensagemTaa.clear();
    }
    static const char *itemEntry(int type) {
        return type == 31 ? "EPSON_Fiscal_Vender_Item" : "EPSON_ESC_ECF_Fiscal_Vender_ItemEX";
    }
    static const char *adjustmentEntry(int type) {
        return type == 31 ? "EPSON_Fiscal_Desconto_Acrescimo_Item"
                          : "EPSON_ESC_ECF_Desconto_Acrescimo_ItemEX";
    }
    // Quantity and price as sent, whatever the family.
    std::pair<std::string, std::string> sentNumbers(int type) const {
        const auto calls = sale::callsOf(journal(), itemEntry(type));
        if (calls.empty()) return {"<none>", "<none>"};
        const auto &a = calls.back().at("args");
        return type == 31 ? std::pair{a[2].get<std::string>(), a[5].get<std::string>()}
                          : std::pair{a[4].get<std::string>(), a[6].get<std::string>()};
    }
};

TEST_F(ItemTest, QuantityAndPriceAreTruncatedIntoFixedDigits) {
    struct Case {
        double quantity, price;
        const char *quantityDigits, *priceDigits;
    };
    const Case cases[] = {{1.5, 12.349, "0001500", "00012340"},
                          {2.0004, 0.999, "0002000", "00000990"},
                          {9999.999, 99999.999, "9999999", "99999990"},
                          {0.001, 10, "0000001", "00010000"},
                          {1.2349, 5.5, "0001234", "00005500"}};
    for (int type : {31, 33}) {
        for (const auto &c : cases) {
            SCOPED_TRACE(std::to_string(type) + " " + c.quantityDigits);
            openReceipt(type);
            ItemValues v;
            v.quantity = c.quantity;
            v.price = c.price;
            tiv::Variant params = itemParams(v);
            EXPECT_TRUE(VendaItem(params)) << stMensagemTaa;
            EXPECT_EQ(sentNumbers(type),
                      (std::pair<std::string, std::string>{c.quantityDigits, c.priceDigits}));
        }
    }
}

TEST_F(ItemTest, SendsEveryArgumentOfBothFamiliesAndLogsThem) {
    ItemValues v;
    v.code = "7";
    v.description = std::string(50, 'D') + "CORTE";
    v.unit = "KGS";
    v.quantity = 1.5;
    v.price = 12.349;
    v.taxCode = "10";

    openReceipt(31);
    tiv::Variant params = itemParams(v);
    ASSERT_TRUE(VendaItem(params)) << stMensagemTaa;
    auto calls = sale::callsOf(journal(), itemEntry(31));
    ASSERT_EQ(calls.size(), 1u);
    const std::string d50(50, 'D');
    EXPECT_EQ(calls[0].at("args"),
              nlohmann::json({"7", d50, "0001500", 3, "KG", "00012340", 3, "Tj", 1}));
    auto lines = logLines();
    const std::string line31 =
        "EPSON_Fiscal_Vender_Item : 7 - " + d50 + " - 0001500 - 3 - KGS - 00012340 - 3 - 10 - 1";
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string &l) {
        return l.find(line31) != std::string::npos;
    })) << line31;
    EXPECT_EQ(sale::paramNames(params), (std::vector<std::string>{"INTTEFERRO", "MENSAGEMTAA"}));

    openReceipt(33);
    params = itemParams(v);
    ASSERT_TRUE(VendaItem(params)) << stMensagemTaa;
    calls = sale::callsOf(journal(), itemEntry(33));
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].at("args"),
              nlohmann::json({"007", d50, "T10", "KGS", "0001500", "3", "00012340", "3", "T"}));
    lines = logLines();
    const std::string line33 = "EPSON_ESC_ECF_Fiscal_Vender_ItemEX : 007 - " + d50 +
                               " - T10 - KGS - 0001500 - 3 - 00012340 - 3 - T";
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string &l) {
        return l.find(line33) != std::string::npos;
    })) << line33;
}

TEST_F(ItemTest, TaxCodeTable) {
    struct Case {
        const char *host, *classic, *escEcf;
    };
    const Case cases[] = {{"01", "Ta", "T1"},  {"02", "Tb", "T2"},  {"03", "Tc", "T3"},
                          {"04", "Td", "T4"},  {"05", "Te", "T5"},  {"06", "Tf", "T6"},
                          {"07", "Tg", "T7"},  {"08", "Th", "T8"},  {"09", "Ti", "T9"},
                          {"10", "Tj", "T10"}, {"11", "Tk", "T11"}, {"FF", "F", "F1"},
                          {"II", "I", "I1"},   {"NN", "N", "N1"},   {"12", "", ""},
                          {"ff", "", ""},      {"", "", ""}};
    for (int type : {31, 33}) {
        openReceipt(type);
        boNUtilTaa = false; // an unknown code is refused by the printer; no question
        for (const auto &c : cases) {
            SCOPED_TRACE(std::to_string(type) + " " + c.host);
            clearJournal();
            ItemValues v;
            v.taxCode = c.host;
            tiv::Variant params = itemParams(v);
            (void)VendaItem(params);
            const auto calls = sale::callsOf(journal(), itemEntry(type));
            ASSERT_EQ(calls.size(), 1u);
            EXPECT_EQ(calls[0].at("args")[type == 31 ? 7 : 2], type == 31 ? c.classic : c.escEcf);
        }
    }
}

TEST_F(ItemTest, DiscountBeforeSurchargeOnlyWhenPositive) {
    struct Case {
        int type;
        double discount, surcharge;
        nlohmann::json expected; // args of each adjustment call, in order
    };
    const Case cases[] = {
        {31, 1.5, 0, {{"000001500", 3, 1, 0}}},
        {33, 1.5, 0, {{"0", "1", "00000150", ""}}},
        {31, 1.509, 2.25, {{"000001500", 3, 1, 0}, {"000002250", 3, 0, 0}}},
        {33, 0.019, 2.25, {{"0", "1", "00000001", ""}, {"1", "1", "00000225", ""}}},
        {31, 0, -1, nlohmann::json::array()},
        {33, -2, 0, nlohmann::json::array()},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.type) + " " + std::to_string(c.discount));
        openReceipt(c.type);
        ItemValues v;
        v.discount = c.discount;
        v.surcharge = c.surcharge;
        tiv::Variant params = itemParams(v);
        EXPECT_TRUE(VendaItem(params)) << stMensagemTaa;
        nlohmann::json sent = nlohmann::json::array();
        for (const auto &call : sale::callsOf(journal(), adjustmentEntry(c.type)))
            sent.push_back(call.at("args"));
        EXPECT_EQ(sent, c.expected);
    }
}

TEST_F(ItemTest, NoAdjustmentAfterARefusedItem) {
    openReceipt(31);
    boNUtilTaa = false;
    injectFault({{"kind", "refuse"}, {"entry", "EPSON_Fiscal_Vender_Item"}});
    ItemValues v;
    v.discount = 1;
    v.surcharge = 1;
    tiv::Variant params = itemParams(v);
    EXPECT_FALSE(VendaItem(params));
    EXPECT_TRUE(sale::callsOf(journal(), adjustmentEntry(31)).empty());
    EXPECT_TRUE(dialogs.empty() ||
                std::none_of(dialogs.begin(), dialogs.end(),
                             [](const ShownDialog &d) { return d.askMark == "S"; }));
    EXPECT_EQ(sale::paramNames(params), (std::vector<std::string>{"INTTEFERRO", "MENSAGEMTAA"}));
    EXPECT_NE(param(params, "MENSAGEMTAA"), "");
}

TEST_F(ItemTest, RefusedItemIsRepeatedWithTheSameValuesWhileTheOperatorSaysYes) {
    struct Case {
        const char *idUtilTef;
        bool utilTef;
        std::string question;
    };
    const std::string itemQuestion =
        "Erro ao imprimir o item: \r\n55 - ACUCAR CRISTAL REFIN\r\nDeseja imprimir novamente?";
    const Case cases[] = {{"N", true, itemQuestion},
                          {"T", true, "Impressora n\xE3o responde. Imprimir novamente?"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.idUtilTef);
        openReceipt(33);
        injectFault(
            {{"kind", "noanswer"}, {"entry", "EPSON_ESC_ECF_Fiscal_Vender_ItemEX"}, {"count", 2}});
        answers = {true, true};
        ItemValues v;
        v.code = "55";
        v.description = "ACUCAR CRISTAL REFINADO";
        v.quantity = 2.0004;
        v.price = 3.5;
        v.idUtilTef = c.idUtilTef;
        v.utilTef = c.utilTef;
        v.tefError = 4;
        tiv::Variant params = itemParams(v);
        EXPECT_TRUE(VendaItem(params));
        const auto calls = sale::callsOf(journal(), itemEntry(33));
        ASSERT_EQ(calls.size(), 3u);
        for (const auto &call : calls)
            EXPECT_EQ(call.at("args"), calls.back().at("args"));
        EXPECT_EQ(calls[0].at("args")[0], "055");
        EXPECT_EQ(calls[0].at("args")[4], "0002000");
        std::vector<std::string> asked;
        for (const auto &d : dialogs)
            if (d.askMark == "S") asked.push_back(d.text);
        EXPECT_EQ(asked, std::vector<std::string>(2, c.question));
        EXPECT_EQ(param(params, "INTTEFERRO"), "4");
        EXPECT_EQ(printerState().at("doc").at("items"), 1);
    }
}

TEST_F(ItemTest, DecliningTheRepeatLeavesTheParametersAsPassed) {
    openReceipt(31);
    injectFault({{"kind", "noanswer"}, {"entry", "EPSON_Fiscal_Vender_Item"}});
    answers = {false};
    const tiv::Variant passed = itemParams(ItemValues{});
    tiv::Variant params = passed;
    EXPECT_FALSE(VendaItem(params));
    EXPECT_TRUE(params == passed);
}

TEST_F(ItemTest, AnAmountTooLargeForItsFieldRefusesTheItemBeforeAnyPrinterCall) {
    struct Case {
        int type;
        double quantity, price, discount, surcharge;
        const char *named;
    };
    const Case cases[] = {
        {31, 10000, 1, 0, 0, "Quantidade"}, {33, 1, 100000, 0, 0, "Valor unit\xE1rio"},
        {31, 1, 1, 1000000, 0, "Desconto"}, {33, 1, 1, 0, 1000000, "Acr\xE9scimo"},
        {31, -1, 1, 0, 0, "Quantidade"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.named);
        openReceipt(c.type);
        ItemValues v;
        v.quantity = c.quantity;
        v.price = c.price;
        v.discount = c.discount;
        v.surcharge = c.surcharge;
        tiv::Variant params = itemParams(v);
        EXPECT_FALSE(VendaItem(params));
        EXPECT_TRUE(journal().empty()) << journal().dump();
        ASSERT_EQ(dialogs.size(), 1u);
        EXPECT_NE(dialogs[0].text.find(c.named), std::string::npos) << dialogs[0].text;
        EXPECT_NE(stMensagemTaa.find(dialogs[0].text), std::string::npos);
        EXPECT_EQ(param(params, "MENSAGEMTAA"), stMensagemTaa);
        EXPECT_EQ(printerState().at("doc").at("items"), 0);
    }
    // A self-service till sees no dialog, only the message handed back.
    openReceipt(31);
    boNUtilTaa = false;
    ItemValues v;
    v.quantity = 12345.6;
    tiv::Variant params = itemParams(v);
    EXPECT_FALSE(VendaItem(params));
    EXPECT_TRUE(dialogs.empty());
    EXPECT_NE(param(params, "MENSAGEMTAA").find("Quantidade"), std::string::npos);
}

TEST_F(ItemTest, AParameterThatCannotBeReadEndsWithFalseAndUntouchedParameters) {
    openReceipt(31);
    tiv::Variant params = itemParams(ItemValues{});
    tiv::setParam(params, "QTDE", "muito");
    const tiv::Variant passed = params;
    EXPECT_FALSE(VendaItem(params));
    EXPECT_TRUE(params == passed);
    EXPECT_TRUE(journal().empty());
}

} // namespace
