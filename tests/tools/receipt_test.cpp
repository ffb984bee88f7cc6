// A receipt in one request, with the real module and the virtual printer: checked whole before
// anything is sent, sold in the module's own calls, and, repeated under its id after a fault,
// finished from where the printer stands with every item on the paper once.
#include <stdlib.h>

#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "../common/printer_folder.h"
#include "call_session.h"
#include "serve.h"
#include "service.h"

namespace {

using tivtool::Json;

// Two payment methods on the printer; items of every tax kind, a discount and a surcharge on
// items, a weighed item whose amount is cut to the cent, a subtotal discount and change.
const Json kSale = Json::parse(R"({
  "customer": {"document": "123.456.789-09", "name": "JOAO DA SILVA"},
  "items": [
    {"code": "101", "description": "ARROZ TIPO 1 5KG", "quantity": 1, "price": 24.90, "tax": "01"},
    {"code": "102", "description": "FEIJAO CARIOCA 1KG", "quantity": 2, "price": 8.49,
     "tax": "01", "discount": 1.00},
    {"code": "103", "description": "REFRIGERANTE COLA 2L", "quantity": 3, "price": 7.99,
     "tax": "FF"},
    {"code": "104", "description": "QUEIJO PRATO", "quantity": 0.347, "price": 39.90,
     "tax": "02", "unit": "KG", "surcharge": 0.50},
    {"code": "105", "description": "LEITE EM PO 400G", "quantity": 1, "price": 4.35, "tax": "II"}
  ],
  "adjustment": -1.50,
  "payments": [{"method": "Cartao Credito", "amount": 40.00, "card": "credit"},
               {"method": "Dinheiro", "amount": 50.00}],
  "footer": "Obrigado pela preferencia!"
})");
// 24.90 + (16.98 - 1.00) + 23.97 + (13.84 + 0.50) + 4.35 - 1.50
constexpr int kDueCents = 8204;

class ReceiptTest : public ::testing::TestWithParam<int> {
  protected:
    void SetUp() override {
        setenv("TIV_PROGRAM_DIR", folder.path.c_str(), 1);
        ASSERT_EQ(control("OpenFolder", folder.path + "/ecf"), 0);
        ASSERT_EQ(control("Reset", Json{{"payments", {"Dinheiro", "Cartao Credito"}}}), 0);
        const Json started = session.invoke(Json{
            {"call", "StartImpFiscal"},
            {"args",
             {{{"CDFILIAL", "0001"}, {"IDTIPOIMPFIS", printerType()}, {"BOUTILTAA", false}}}}});
        ASSERT_EQ(started.value("return", false), true) << started.dump();
    }
    virtual int printerType() const { return 33; }
    Json control(const char *name, Json arg = nullptr) {
        Json request{{"ecfsim", name}, {"args", Json::array()}};
        if (!arg.is_null()) request["args"].push_back(std::move(arg));
        const Json answer = session.invoke(request);
        EXPECT_FALSE(answer.contains("error")) << answer.dump();
        return answer.value("result", Json());
    }
    Json state() { return control("State"); }
    std::vector<std::string> paperSince(const Json &mark) {
        return control("PaperSince", mark)["lines"].get<std::vector<std::string>>();
    }
    static size_t linesWith(const std::vector<std::string> &paper, const std::string &text) {
        size_t n = 0;
        for (const std::string &line : paper)
            n += line.find(text) != std::string::npos;
        return n;
    }

    PrinterFolder folder{"tiv-receipt"};
    tivtool::CallSession session{Json::object(), TIV_MODULE_PATH};
};

class ReceiptOnBothFamilies : public ReceiptTest {
    int printerType() const override { return GetParam(); }
};

TEST_P(ReceiptOnBothFamilies, ASaleIsSoldInTheModulesOwnCallsAndItsTotalsAreThePrinters) {
    const Json mark = control("MarkPaper");
    const Json answer = session.invoke(Json{{"receipt", kSale}});
    ASSERT_FALSE(answer.contains("error")) << answer.dump(1);

    std::vector<std::string> calls;
    for (const Json &step : answer.at("steps"))
        calls.push_back(step.at("call"));
    EXPECT_EQ(calls, (std::vector<std::string>{"AbreCupom", "VendaItem", "VendaItem", "VendaItem",
                                               "VendaItem", "VendaItem", "FechaCupom"}));
    const Json &receipt = answer.at("receipt");
    EXPECT_EQ(receipt.at("closed"), true);
    // What the request says the sale comes to is what the printer charged.
    const Json printer = state();
    EXPECT_EQ(std::stoi(receipt.at("coo").get<std::string>()), printer["counters"]["coo"]);
    EXPECT_EQ(std::stoi(receipt.at("ccf").get<std::string>()), printer["counters"]["ccf"]);
    EXPECT_EQ(printer.at("last").at("due"), kDueCents);
    EXPECT_EQ(printer.at("counters").at("coo"), 1);
    EXPECT_EQ(printer.at("counters").at("ccf"), 1);
    const Json &totals = receipt.at("totals");
    EXPECT_DOUBLE_EQ(totals.at("due").get<double>() * 100, kDueCents);
    EXPECT_DOUBLE_EQ(totals.at("paid").get<double>(), 90.0);
    EXPECT_NEAR(totals.at("change").get<double>(), 90.0 - kDueCents / 100.0, 1e-9);
    Json paid = Json::array();
    for (const Json &p : printer.at("last").at("payments"))
        paid.push_back(p.at("amount"));
    EXPECT_EQ(paid, Json::parse("[4000, 5000]"));

    const std::vector<std::string> paper = paperSince(mark);
    EXPECT_EQ(linesWith(paper, "JOAO DA SILVA"), 1u);
    EXPECT_EQ(linesWith(paper, "Obrigado pela preferencia!"), 1u);
}

INSTANTIATE_TEST_SUITE_P(PrinterTypes, ReceiptOnBothFamilies, ::testing::Values(31, 33));

TEST_F(ReceiptTest, ARequestThatCannotBeSoldIsRefusedNamingItsFieldBeforeAnythingIsSent) {
    struct Case {
        const char *path; // a JSON pointer into the sale; "" replaces the whole request
        Json value;       // null removes the member
        const char *field;
    };
    const std::vector<Case> cases = {
        {"/items", Json::array(), "items"},
        {"/items", nullptr, "items"},
        {"/items/1/price", "8.49", "items[1].price"},
        {"/items/1/price", 8.495, "items[1].price"},
        {"/items/1/price", 0, "items[1].price"},
        {"/items/1/quantity", 0.0001, "items[1].quantity"},
        {"/items/1/quantity", 10000, "items[1].quantity"},
        {"/items/1/quantity", -1, "items[1].quantity"},
        {"/items/1/tax", "12", "items[1].tax"},
        {"/items/1/description", " ", "items[1].description"},
        {"/items/1/code", "123456789012345678901", "items[1].code"},
        {"/items/1/unit", "UNID", "items[1].unit"},
        {"/items/1/discount", 16.98, "items[1].discount"},
        {"/items/1/discont", 1, "items[1].discont"},
        {"/items/2", "x", "items[2]"},
        {"/payments/0/amount", 1e300, "payments[0].amount"},
        {"/payments/0/method", nullptr, "payments[0].method"},
        {"/payments/0/card", "amex", "payments[0].card"},
        {"/payments/1/amount", 42.03, "payments"}, // 82.03 paid of 82.04
        {"/adjustment", -83.54, "adjustment"},
        {"/customer/name", std::string(31, 'N'), "customer.name"},
        {"/footer", 5, "footer"},
        {"/payment", Json::array(), "payment"},
    };
    const int cooBefore = state().at("counters").at("coo");
    control("ClearJournal");
    for (const Case &c : cases) {
        Json sale = kSale;
        const Json::json_pointer at(c.path);
        if (c.value.is_null())
            sale[at.parent_pointer()].erase(at.back());
        else
            sale[at] = c.value;
        const Json answer = session.invoke(Json{{"receipt", sale}});
        ASSERT_TRUE(answer.contains("error")) << c.path << " " << answer.dump();
        EXPECT_EQ(answer["error"]["kind"], "argument") << c.path;
        EXPECT_EQ(answer["error"].value("field", ""), c.field) << c.path << " " << answer.dump();
    }
    EXPECT_EQ(control("Journal"), Json::array()) << "a refused request reached the printer";
    EXPECT_EQ(state().at("counters").at("coo"), cooBefore);
}

// A fault part-way, then the same request under the same id: one receipt, every item once.
TEST_F(ReceiptTest, RepeatedUnderItsIdAfterAFaultItGoesOnWhereThePrinterStands) {
    struct Case {
        const char *what;
        std::vector<Json> faults;
        const char *stopped; // in the first answer's message
    };
    const Json itemEntry = "EPSON_ESC_ECF_Fiscal_Vender_ItemEX";
    const std::vector<Case> cases = {
        {"the fourth item not answered",
         {{{"kind", "noanswer"}, {"entry", itemEntry}, {"at", 4}}},
         "item 4 was not sold"},
        // The item was registered but neither its answer nor the printer's account of the
        // receipt came back: the driver cannot tell, and sends nothing until it can.
        {"the fourth item carried out unseen",
         {{{"kind", "lost"}, {"entry", itemEntry}, {"at", 4}},
          {{"kind", "noanswer"}, {"entry", "EPSON_Obter_Informacao_Ultimo_Documento"}}},
         "item 4 was not sold"},
        {"the second payment not answered",
         {{{"kind", "noanswer"}, {"entry", "EPSON_ESC_ECF_Fiscal_PagamentoEX"}, {"at", 2}}},
         "not closed"},
        {"the closing not answered",
         {{{"kind", "noanswer"}, {"entry", "EPSON_ESC_ECF_Fiscal_Fechar_CupomEX"}}},
         "not closed"},
    };
    tivtool::Service service(session);
    int sale = 0;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        const int cooBefore = state().at("counters").at("coo");
        const Json mark = control("MarkPaper");
        for (const Json &fault : c.faults)
            control("InjectFault", fault);
        Json request{{"receipt", kSale}, {"id", "sale-" + std::to_string(++sale)}};

        const Json failed = service.call(request);
        ASSERT_TRUE(failed.contains("error")) << failed.dump(1);
        EXPECT_EQ(failed["error"]["kind"], "receipt");
        EXPECT_NE(failed["error"]["message"].get<std::string>().find(c.stopped), std::string::npos)
            << failed["error"]["message"];
        EXPECT_EQ(failed.at("receipt").at("closed"), false);

        const Json finished = service.call(request);
        ASSERT_FALSE(finished.contains("error")) << finished.dump(1);
        EXPECT_FALSE(finished.contains("repeated"));
        EXPECT_EQ(finished.at("receipt").at("coo"), failed.at("receipt").at("coo"));
        EXPECT_EQ(finished.at("receipt").at("closed"), true);
        EXPECT_EQ(state().at("counters").at("coo"), cooBefore + 1) << "one receipt";
        EXPECT_EQ(state().at("last").at("due"), kDueCents);

        const std::vector<std::string> paper = paperSince(mark);
        for (const Json &item : kSale["items"])
            EXPECT_EQ(linesWith(paper, item["description"]), 1u) << item["description"];
        EXPECT_EQ(linesWith(paper, "CUPOM FISCAL"), 1u);
        EXPECT_EQ(linesWith(paper, "TROCO R$"), 1u);
        EXPECT_EQ(linesWith(paper, "Obrigado pela preferencia!"), 1u);

        // After it closed, the repeat answers what it answered and prints nothing.
        const Json markAfter = control("MarkPaper");
        const Json again = service.call(request);
        EXPECT_EQ(again.value("repeated", false), true);
        EXPECT_EQ(again.at("receipt"), finished.at("receipt"));
        EXPECT_TRUE(paperSince(markAfter).empty());
    }
}

// The C interface answers through the session alone: it keeps the receipt under its id too.
TEST_F(ReceiptTest, TheSessionKeepsAReceiptUnderItsIdWithoutTheService) {
    control("InjectFault",
            Json{{"kind", "noanswer"}, {"entry", "EPSON_ESC_ECF_Fiscal_Vender_ItemEX"}, {"at", 2}});
    const Json request{{"receipt", kSale}, {"id", "c-sale"}};
    ASSERT_EQ(session.invoke(request).at("error").at("kind"), "receipt");
    const Json finished = session.invoke(request);
    ASSERT_FALSE(finished.contains("error")) << finished.dump(1);
    const Json again = session.invoke(request);
    EXPECT_EQ(again.value("repeated", false), true);
    EXPECT_EQ(state().at("counters").at("coo"), 1);

    Json other = request;
    other["receipt"]["footer"] = "another sale";
    EXPECT_EQ(session.invoke(other).at("error").at("kind"), "request");
}

// Never onto another document: the receipt the request opened was cancelled and another opened
// before the repeat, so the repeat sells nothing.
TEST_F(ReceiptTest, ARepeatSendsNothingWhenThePrintersReceiptIsNoLongerItsOwn) {
    control("InjectFault",
            Json{{"kind", "noanswer"}, {"entry", "EPSON_ESC_ECF_Fiscal_Vender_ItemEX"}, {"at", 3}});
    const Json request{{"receipt", kSale}, {"id", "left-open"}};
    const Json failed = session.invoke(request);
    ASSERT_EQ(failed.at("error").at("kind"), "receipt");
    const Json cancelled = session.invoke(
        Json{{"call", "Cancela_Cupom_Imp"},
             {"args",
              {{"001", true, false, nullptr, "0001", "001", "EP0000000000000001", "N"},
               {{"result", 1}}}}});
    ASSERT_EQ(cancelled.value("return", false), true) << cancelled.dump(1);
    const Json opened = session.invoke(
        Json{{"call", "AbreCupom"},
             {"args", {{{"ESQUEMACOR", "001"}, {"IDUTILTEF", "N"}, {"UTILTEF", false}}}}});
    ASSERT_EQ(opened.value("return", false), true) << opened.dump(1);

    control("ClearJournal");
    const Json refused = session.invoke(request);
    ASSERT_EQ(refused.at("error").at("kind"), "receipt") << refused.dump(1);
    EXPECT_NE(refused["error"]["message"].get<std::string>().find("not this sale's"),
              std::string::npos);
    EXPECT_EQ(state().at("doc").at("items"), 0) << "an item went onto another receipt";
}

TEST_F(ReceiptTest, JsonLinesTakeAReceiptUnderAnId) {
    tivtool::Service service(session);
    std::istringstream in(Json{{"receipt", kSale}, {"id", "lines-1"}}.dump() + "\n" +
                          Json{{"status", "lines-1"}}.dump() + "\n");
    std::ostringstream out;
    tivtool::serveLines(service, in, out);
    std::istringstream lines(out.str());
    std::string sold, status;
    ASSERT_TRUE(std::getline(lines, sold) && std::getline(lines, status)) << out.str();
    EXPECT_EQ(Json::parse(sold).at("receipt").at("closed"), true) << sold;
    EXPECT_EQ(Json::parse(sold).at("id"), "lines-1");
    EXPECT_EQ(Json::parse(status).at("status"), "done");
}

} // namespace
