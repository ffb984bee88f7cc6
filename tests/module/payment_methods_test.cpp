// CarregaRecebimento: the host's payment methods recognised in, or
// programmed into, the printer's payment table.
#include <algorithm>

#include "fixture.h"
#include "tivplatform/errors.h"
#include "tivplatform/system.h"

namespace {

struct HostRow {
    std::string code;        // CDTIPORECE
    std::string description; // DSIMPFISCAL
    std::string kind = "1";  // IDTIPORECE
    std::string button = "5";
    std::string show = "S";
    std::string cdfp = ""; // CDFPIMPFIS on entry
};

// What a host row holds after the call.
struct Outcome {
    std::string code;
    std::string name;    // NMTIPORECE
    std::string cdfp;    // CDFPIMPFIS
    std::string voucher; // IDEMIVALE
    std::string show;    // IDMOSTRARECE
    bool operator==(const Outcome &) const = default;
};

void PrintTo(const Outcome &o, std::ostream *os) {
    *os << "{" << o.code << " name='" << o.name << "' cdfp='" << o.cdfp << "' vale='" << o.voucher
        << "' show='" << o.show << "'}";
}

std::unique_ptr<tiv::TClientDataSet> hostDataset(const std::vector<HostRow> &rows) {
    auto ds = std::make_unique<tiv::TClientDataSet>("cdsTipoRece");
    ds->addFieldDef("CDTIPORECE", tiv::FieldType::String, 3);
    ds->addFieldDef("IDTPBUTTON", tiv::FieldType::String, 1);
    ds->addFieldDef("IDMOSTRARECE", tiv::FieldType::String, 1);
    ds->addFieldDef("DSIMPFISCAL", tiv::FieldType::String, 50);
    ds->addFieldDef("NMTIPORECE", tiv::FieldType::String, 40);
    ds->addFieldDef("CDFPIMPFIS", tiv::FieldType::String, 10);
    ds->addFieldDef("IDEMIVALE", tiv::FieldType::String, 1);
    ds->addFieldDef("IDTIPORECE", tiv::FieldType::String, 1);
    ds->createDataSet();
    for (const HostRow &r : rows) {
        ds->append();
        ds->fieldByName("CDTIPORECE").setAsString(r.code);
        ds->fieldByName("IDTPBUTTON").setAsString(r.button);
        ds->fieldByName("IDMOSTRARECE").setAsString(r.show);
        ds->fieldByName("DSIMPFISCAL").setAsString(r.description);
        ds->fieldByName("NMTIPORECE").setAsString("host");
        ds->fieldByName("CDFPIMPFIS").setAsString(r.cdfp);
        ds->fieldByName("IDEMIVALE").setAsString("?");
        ds->fieldByName("IDTIPORECE").setAsString(r.kind);
        ds->post();
    }
    return ds;
}

std::vector<Outcome> outcomes(tiv::TClientDataSet &ds) {
    std::vector<Outcome> out;
    for (ds.first(); !ds.eof(); ds.next())
        out.push_back(
            {ds.fieldByName("CDTIPORECE").asString(), ds.fieldByName("NMTIPORECE").asString(),
             ds.fieldByName("CDFPIMPFIS").asString(), ds.fieldByName("IDEMIVALE").asString(),
             ds.fieldByName("IDMOSTRARECE").asString()});
    return out;
}

std::vector<std::string> names(int count) {
    std::vector<std::string> out;
    for (int i = 1; i <= count; ++i)
        out.push_back("Forma " + std::to_string(i));
    return out;
}

// Classic calls: (1, slot, name) for each slot tried.
nlohmann::json classicCalls(const std::string &name, int from, int to) {
    nlohmann::json calls = nlohmann::json::array();
    for (int s = from; s <= to; ++s)
        calls.push_back({1, std::to_string(s), name});
    return calls;
}

nlohmann::json concat(nlohmann::json a, const nlohmann::json &b) {
    for (const auto &x : b)
        a.push_back(x);
    return a;
}

struct PaymentCase {
    const char *name;
    int printerType;
    std::vector<std::string> printer; // payment table before, slot 1 first
    std::vector<HostRow> host;
    nlohmann::json calls;          // arguments of each programming call, in order
    std::vector<Outcome> expected; // every host row after the call, filter off
    std::vector<std::string> printerAfter;
};

void PrintTo(const PaymentCase &c, std::ostream *os) {
    *os << c.name;
}

class PaymentMethodsTest : public DriverTest, public ::testing::WithParamInterface<PaymentCase> {
  protected:
    void TearDown() override {
        tiv::setProcessMessagesHook({});
        DriverTest::TearDown();
    }
};

TEST_P(PaymentMethodsTest, PrinterAndHostEndInStep) {
    const PaymentCase &c = GetParam();
    resetPrinter({{"payments", c.printer}});
    ASSERT_TRUE(start(c.printerType));
    clearJournal();
    int pumped = 0;
    tiv::setProcessMessagesHook([&] { ++pumped; });
    auto host = hostDataset(c.host);
    tiv::TClientDataSet *hostPtr = host.get();

    CarregaRecebimento("", "001", 0, hostPtr);

    nlohmann::json calls = nlohmann::json::array();
    for (const auto &call : journal()) {
        const std::string entry = call.at("entry");
        if (entry.find("Config_Forma_Pagamento") != std::string::npos) {
            EXPECT_EQ(entry, c.printerType == 33 ? "EPSON_ESC_ECF_Config_Forma_Pagamento"
                                                 : "EPSON_Config_Forma_Pagamento");
            calls.push_back(call.at("args"));
        }
    }
    EXPECT_EQ(calls, c.calls);

    // The host's dataset stays filtered on the sales-screen buttons.
    EXPECT_EQ(hostPtr, host.get());
    EXPECT_TRUE(host->filtered());
    EXPECT_EQ(host->filter(), "IDTPBUTTON = '5'");
    const auto shown = std::count_if(c.host.begin(), c.host.end(),
                                     [](const HostRow &r) { return r.button == "5"; });
    EXPECT_EQ(pumped, shown) << "pending messages processed once per row";
    host->setFiltered(false);
    EXPECT_EQ(outcomes(*host), c.expected);

    std::vector<std::string> after;
    const nlohmann::json state = printerState();
    for (const auto &m : state.at("payments"))
        after.push_back(m.at("name").get<std::string>());
    while (!after.empty() && after.back().empty())
        after.pop_back();
    EXPECT_EQ(after, c.printerAfter);
    EXPECT_TRUE(dialogs.empty());
}

std::vector<std::string> withSlot19(std::vector<std::string> v, const std::string &name) {
    v.push_back(name);
    return v;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, PaymentMethodsTest,
    ::testing::Values(
        // Found whatever the letter case; rows off the sales screen untouched;
        // kind "4" issues no voucher, kind "B" is hidden once matched.
        PaymentCase{"MatchedAcrossCase",
                    31,
                    {"Dinheiro", "Cartao Credito", "Ticket"},
                    {{"001", "DINHEIRO"},
                     {"002", "cartao credito", "4"},
                     {"003", "Ticket", "B"},
                     {"004", "Cheque", "1", "2"},
                     {"005", "Vale", "1", "5", "N"}},
                    nlohmann::json::array(),
                    {{"001", "Dinheiro", "S", "S", "S"},
                     {"002", "Cartao Credito", "S", "N", "S"},
                     {"003", "Ticket", "S", "S", "N"},
                     {"004", "host", "", "?", "S"},
                     {"005", "host", "", "?", "N"}},
                    {"Dinheiro", "Cartao Credito", "Ticket"}},
        // A code the host stored before is handed to the row found in the
        // printer under the same description.
        PaymentCase{"StoredCodeReused",
                    31,
                    {"Dinheiro"},
                    {{"001", "Dinheiro", "1", "5", "S", "07"}},
                    nlohmann::json::array(),
                    {{"001", "Dinheiro", "07", "S", "S"}},
                    {"Dinheiro"}},
        // Slot 1 is taken (050D): the next slot is tried. The second row with
        // the same description is not programmed again; it gets the name as
        // programmed and the slot it went into.
        PaymentCase{"SameDescriptionTwice",
                    31,
                    {"Dinheiro"},
                    {{"001", "Cheque"}, {"002", "Cheque", "4"}},
                    classicCalls("Cheque", 1, 2),
                    {{"001", "host", "S", "S", "S"}, {"002", "Cheque", "02", "N", "S"}},
                    {"Dinheiro", "Cheque"}},
        // Same description twice, found in the printer: the second row gets
        // the slot the first was found in.
        PaymentCase{"FoundTwice",
                    31,
                    {"Dinheiro", "Cheque"},
                    {{"001", "CHEQUE"}, {"002", "cheque"}},
                    nlohmann::json::array(),
                    {{"001", "Cheque", "S", "S", "S"}, {"002", "Cheque", "02", "S", "S"}},
                    {"Dinheiro", "Cheque"}},
        // A name that is the tail of one programmed before is still programmed.
        PaymentCase{"PartOfAnotherName",
                    31,
                    {"Dinheiro"},
                    {{"001", "CARTAO CREDITO"}, {"002", "CREDITO"}},
                    concat(classicCalls("CARTAO CREDITO", 1, 2), classicCalls("CREDITO", 3, 3)),
                    {{"001", "host", "S", "S", "S"}, {"002", "host", "S", "S", "S"}},
                    {"Dinheiro", "CARTAO CREDITO", "CREDITO"}},
        // Only the first 15 characters go to the printer; a later row whose
        // description is those characters is not programmed again and takes
        // the name without trailing blanks.
        PaymentCase{"LongDescription",
                    31,
                    {"Dinheiro"},
                    {{"001", "Vale Refeicao   Empresa X"}, {"002", "VALE REFEICAO"}},
                    classicCalls("Vale Refeicao  ", 1, 2),
                    {{"001", "host", "S", "S", "S"}, {"002", "Vale Refeicao", "S", "S", "S"}},
                    {"Dinheiro", "Vale Refeicao"}},
        // ESC/ECF: slot 1 is never used, even when free.
        PaymentCase{"EscEcfNeverSlotOne",
                    33,
                    {},
                    {{"001", "Dinheiro"}, {"002", "Cartao"}},
                    {{"2", "Dinheiro", "1"}, {"3", "Cartao", "1"}},
                    {{"001", "host", "S", "S", "S"}, {"002", "host", "S", "S", "S"}},
                    {"", "Dinheiro", "Cartao"}},
        // 18 slots taken: the first missing method lands in slot 19 and stays;
        // the next one fits no slot and leaves the host's list without any
        // call. Deleting the last row does not walk the previous one again.
        PaymentCase{"FullTable",
                    31,
                    names(18),
                    {{"001", "Forma 3"}, {"002", "Vale"}, {"003", "Ticket"}},
                    classicCalls("Vale", 1, 19),
                    {{"001", "Forma 3", "S", "S", "S"}, {"002", "host", "S", "S", "S"}},
                    withSlot19(names(18), "Vale")},
        // Every slot taken: both missing methods are deleted, the second without
        // any call.
        PaymentCase{"NoSlotLeft",
                    31,
                    names(19),
                    {{"001", "Vale"}, {"002", "Forma 1"}, {"003", "Ticket"}},
                    classicCalls("Vale", 1, 19),
                    {{"002", "Forma 1", "S", "S", "S"}},
                    names(19)}),
    [](const auto &info) { return std::string(info.param.name); });

using PaymentMethodsLogTest = DriverTest;

TEST_F(PaymentMethodsLogTest, TakenSlotIsLoggedAndNextSlotTried) {
    resetPrinter({{"payments", {"Dinheiro"}}});
    ASSERT_TRUE(start(31));
    auto host = hostDataset({{"001", "Cheque"}});
    tiv::TClientDataSet *hostPtr = host.get();

    CarregaRecebimento("", "001", 0, hostPtr);

    const auto lines = logLines();
    auto at = [&](const std::string &text) {
        return std::find_if(lines.begin(), lines.end(), [&](const std::string &l) {
            return l.size() >= text.size() &&
                   l.compare(l.size() - text.size(), text.size(), text) == 0;
        });
    };
    const auto first = at("EPSON_Config_Forma_Pagamento : 1Cheque");
    const auto taken = at("ERRO!!! Meio de pagamento ja definido");
    const auto second = at("EPSON_Config_Forma_Pagamento : 2Cheque");
    ASSERT_NE(first, lines.end());
    ASSERT_NE(taken, lines.end());
    ASSERT_NE(second, lines.end());
    EXPECT_LT(first, taken);
    EXPECT_LT(taken, second);
    EXPECT_TRUE(dialogs.empty());
}

TEST_F(PaymentMethodsLogTest, UnreadableTableMeansEveryMethodIsProgrammed) {
    resetPrinter({{"payments", nlohmann::json::array()}});
    ASSERT_TRUE(start(31));
    injectFault({{"kind", "noanswer"}, {"entry", "EPSON_Obter_Tabela_Pagamentos"}});
    auto host = hostDataset({{"001", "Dinheiro"}});
    tiv::TClientDataSet *hostPtr = host.get();

    CarregaRecebimento("", "001", 0, hostPtr);

    host->setFiltered(false);
    EXPECT_EQ(outcomes(*host), (std::vector<Outcome>{{"001", "host", "S", "S", "S"}}));
    EXPECT_EQ(printerState().at("payments").at(0).at("name"), "Dinheiro");
}

TEST_F(PaymentMethodsLogTest, MissingHostDatasetIsATypedError) {
    ASSERT_TRUE(start(31));
    tiv::TClientDataSet *none = nullptr;
    EXPECT_THROW(CarregaRecebimento("", "001", 0, none), tiv::DataError);
}

} // namespace
