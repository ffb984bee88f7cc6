// The consumer account's documents against the virtual printer: the sale
// vouchers, the credit purchase and its cancellation, the balance slips and
// the statement.
#include <cmath>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "document_packets.h"
#include "fixture.h"
#include "sale_helpers.h"
#include "sale_packets.h"
#include "vendor_entry_points.h"

namespace {

using docs::packet;
using docs::printedBlocks;

const std::string kRule = std::string(48, '-') + "\n";
const std::string kBlank = std::string(48, ' ') + "\n";

std::string centred(const std::string &s) {
    const size_t left = (48 - s.size()) / 2;
    return std::string(left, ' ') + s + std::string(48 - s.size() - left, ' ') + "\n";
}
std::string left(const std::string &s, size_t n) {
    return (s + std::string(n, ' ')).substr(0, n);
}
std::string right(const std::string &s, size_t n) {
    return std::string(n - s.size(), ' ') + s;
}

const std::vector<std::string> kCreditProductFields = {"CDARVPROD", "NMPRODUTO", "QTPRODCOMVEN",
                                                       "VRPRECCOMVEN"};
const std::vector<std::string> kDebitProductFields = {
    "CDARVPROD",    "NMPRODUTO",    "QTPRODCOMVEN", "VRPRECCOMVEN",
    "VRUNITVENDCL", "VRDESCCOMVEN", "VRACRCOMVEN"};
const std::vector<std::string> kFamilyFields = {"CDFAMILISALD", "NMFAMILISALD", "VRSALDCONFAM"};

// Two products: a name cut to 12, and a code cut to 10 with a quantity of
// three decimals.
tiv::Variant creditProducts() {
    return packet(kCreditProductFields, {{"1001", "SUCO DE LARANJA 300ML", 2.0, 3.5},
                                         {"ABCDEFGHIJKL", "PAO", 0.125, 8.0}});
}
// Four family members, one with nothing on its balance.
tiv::Variant fourMembers() {
    return packet(kFamilyFields, {{"F1", "Carnes", 100.0},
                                  {"F2", "Padaria", 50.0},
                                  {"F3", "Bebidas", 20.0},
                                  {"F4", "Zerado", 0.0}});
}

std::string saleHeader(const std::string &title) {
    return "\n" + centred(title) + kRule + "Cliente: ESCOLA MODELO\n" + "         Turma 5B\n" +
           kRule + "Matricula: 12345\n" + "Consumidor..: ANA SOUZA\n" + kRule +
           centred("Produtos da Venda") + kBlank +
           "CODIGO     NOME          QTDE   VR.UNIT. VR.TOT.\n";
}

class ConsumerDocumentsTest : public DriverTest {
  public:
    void SetUp() override {
        DriverTest::SetUp();
        resetPrinter({{"payments", {"Dinheiro", "Cartao Credito", "Cartao Debito"}},
                      {"nonFiscal", {"COMPRA CREDITO", "CANC CREDITO"}}});
    }
    void begin(int type = 31) {
        ASSERT_TRUE(start(type));
        clearJournal();
        stMensagemTaa.clear();
        dialogs.clear();
    }
    // A closed sale that leaves the family balances and, when given, the
    // family's movements in the data module, as a canteen sale does before
    // its voucher.
    void closeSaleWithFamilies(const tiv::Variant &loans) {
        ASSERT_TRUE(start(33));
        (void)EPSON_RelatorioFiscal_Abrir_Dia();
        ASSERT_EQ(EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2), 0);
        ASSERT_EQ(
            EPSON_Fiscal_Vender_Item("1", "ARROZ", "0001000", 3, "UN", "00010000", 3, "Ta", 1), 0);
        tiv::Variant a = tiv::Variant::array(62);
        a.at(2) = "001";
        a.at(13) = sale::movementsPacket({{"001", 10.0}});
        a.at(14) = sale::methodsPacket();
        a.at(33) = packet({"CDFAMILISALD", "VRSALDCONFAM"}, {{"F1", 30.0}, {"f2", 10.0}});
        a.at(34) = loans;
        tiv::Variant result = tiv::Variant::array(4);
        ASSERT_TRUE(FechaCupom(a, nullptr, result));
        clearJournal();
    }
    bool creditVoucher(const std::string &mode, const std::string &password = "", double sale = 8.0,
                       const tiv::Variant &products = creditProducts(),
                       const tiv::Variant &members = fourMembers()) {
        return Imp_CompVenCred("001", products, members, sale, "", "12345", "ANA SOUZA",
                               "ESCOLA MODELO", "Turma 5B", password, 20.0, 1.5, 0.5, mode);
    }
    std::string docState() const { return printerState()["docState"]; }
    std::vector<std::string> blocks() const { return printedBlocks(journal()); }
    std::vector<std::string> docCalls() const { return docs::documentCalls(journal()); }
};

const std::string kCreditLines = left("1001 SUCO DE LARA  2,00", 30) + "      3,50    7,00\n" +
                                 left("ABCDEFGHIJ PAO  0,125", 30) + "      8,00    1,00\n";

// The totals block up to the balance lines, and what follows them.
std::string creditTotalsHead(const std::string &passwordLine) {
    return kBlank + "Total Geral    " + right("8,00", 33) + "\n" + kRule + passwordLine;
}
const std::string kCreditTotalsTail = "Pre\xE7o subsidiado: R$ 1,50Valor complemento: R$ 0,50";

TEST_F(ConsumerDocumentsTest, CreditSaleVoucherPrintsHeaderProductsAndTotals) {
    for (const int type : {31, 33}) {
        SCOPED_TRACE(type);
        begin(type);
        EXPECT_TRUE(creditVoucher("2", "77"));
        const auto printed = blocks();
        ASSERT_EQ(printed.size(), 4u);
        EXPECT_EQ(printed[0], saleHeader("Venda - Cr\xE9"
                                         "dito Pessoal"));
        EXPECT_EQ(printed[1] + printed[2], kCreditLines);
        // The password line ends in CR LF, so an empty line follows it.
        EXPECT_EQ(printed[3], creditTotalsHead("SENHA PEDIDO:  77\r\n\n") + kCreditTotalsTail);
        EXPECT_EQ(docCalls().back(), type == 31 ? "EPSON_NaoFiscal_Fechar_Relatorio_Gerencial"
                                                : "EPSON_ESC_ECF_NaoFiscal_Fechar_CCD_RGEX");
        EXPECT_EQ(docState(), "0");
        StopImpFiscal();
    }
}

// Balance modes for a consumer whose family has members with balances: one
// total, or one line per member less what the sale's closing left for it.
TEST_F(ConsumerDocumentsTest, CreditSaleVoucherShowsTheFamilyBalanceByMode) {
    const tiv::Variant loans =
        packet({"CDFAMILISALD", "IDTPMOVEXT", "VRMOVEXTCONS"},
               {{"F1", "D", 5.0}, {"F2", "c", 4.0}, {"F3", "D", 2.0}, {"F3", "C", 7.0}});
    auto member = [](const std::string &name, const std::string &value) {
        return left(name, 25) + right(value, 22) + "\n";
    };
    struct Case {
        const char *name;
        std::string mode;
        tiv::Variant loans;
        std::string lines;
    };
    const std::vector<Case> cases{
        // 20 + 1,50 + 0,50 - 8 + (100 + 50 + 20 + 0)
        {"one total", "0", loans, "Saldo Final : R$ 184,00\n"},
        // F1: less its family row and its debit; F2 (codes in another case):
        // less its family row, plus its credit; F3: no family row, less its
        // debit; F4: nothing on its balance, no line.
        {"per member", "1", loans,
         member("Carnes", "65,00") + member("Padaria", "44,00") + member("Bebidas", "18,00")},
        {"per member, no movements", "1", tiv::Variant(),
         member("Carnes", "70,00") + member("Padaria", "40,00") + member("Bebidas", "20,00")},
        {"none", "2", loans, ""},
        {"unknown mode", "7", loans, ""},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        closeSaleWithFamilies(c.loans);
        EXPECT_TRUE(creditVoucher(c.mode));
        const auto printed = blocks();
        ASSERT_EQ(printed.size(), 4u);
        EXPECT_EQ(printed[3], creditTotalsHead("\n") + c.lines + kCreditTotalsTail);
        StopImpFiscal();
    }
    // No family rows at all: no member line.
    closeSaleWithFamilies(loans);
    EXPECT_TRUE(creditVoucher("1", "", 8.0, creditProducts(), packet(kFamilyFields, {})));
    EXPECT_EQ(blocks().back(), creditTotalsHead("\n") + kCreditTotalsTail);
}

TEST_F(ConsumerDocumentsTest, DebitSaleVoucherAddsTheSalePriceAndTheLastRowsAdjustments) {
    const tiv::Variant products =
        packet(kDebitProductFields, {{"1001", "SUCO", 2.0, 3.0, 0.5, 0.0, 0.0},
                                     {"2002", "PAO", 1.0, 1.0, 0.0, 0.75, 0.25}});
    const std::string lines = left("1001 SUCO  2,00", 30) + "      3,50    7,00\n" +
                              left("2002 PAO  1,00", 30) + "      1,00    1,00\n";
    const std::string head = kBlank + "Desconto       " + right("0,75", 33) + "\n" +
                             "Acrescimo      " + right("0,25", 33) + "\n" + "Total Geral    " +
                             right("7,50", 33) + "\n" + kRule + "\n";
    for (const std::string mode : {"2", "0"}) {
        SCOPED_TRACE(mode);
        begin();
        EXPECT_TRUE(Comp_DebitoCons("001", products, 7.5, "", "12345", "ANA SOUZA", "ESCOLA MODELO",
                                    "Turma 5B", "", 20.0, 0.0, 0.0, mode, "", "", "", "",
                                    tiv::Variant()));
        const auto printed = blocks();
        ASSERT_EQ(printed.size(), 4u);
        EXPECT_EQ(printed[0], saleHeader("Venda - Debito Consumidor"));
        EXPECT_EQ(printed[1] + printed[2], lines);
        // Any mode but "2" shows the balance of the sale alone: 20 - 7,50.
        EXPECT_EQ(printed[3], head + (mode == "2" ? "" : "Saldo Final : R$ 12,50\n"));
        StopImpFiscal();
    }
}

TEST_F(ConsumerDocumentsTest, ASaleOfNothingPrintsNothing) {
    begin();
    EXPECT_TRUE(creditVoucher("0", "", 0.004));
    EXPECT_TRUE(Comp_DebitoCons("001", packet(kDebitProductFields, {}), -3.0, "", "", "", "", "",
                                "", 0.0, 0.0, 0.0, "1", "", "", "", "", tiv::Variant()));
    EXPECT_TRUE(journal().empty());
}

// A print that fails ends the voucher with false and leaves the report
// open; the next opening closes it first.
TEST_F(ConsumerDocumentsTest, AFailedStepEndsTheSaleVoucherAndLeavesTheReportOpen) {
    struct Case {
        const char *name;
        nlohmann::json fault;
        size_t prints; // print calls made
        const char *stateAfter;
    };
    const std::vector<Case> cases{
        {"opening refused",
         {{"kind", "refuse"}, {"entry", "EPSON_NaoFiscal_Abrir_Relatorio_Gerencial"}},
         0,
         "0"},
        {"header refused",
         {{"kind", "refuse"}, {"entry", "EPSON_NaoFiscal_Imprimir_LinhaEX"}},
         1,
         "5"},
        {"first product line refused",
         {{"kind", "refuse"}, {"entry", "EPSON_NaoFiscal_Imprimir_LinhaEX"}, {"at", 2}},
         2,
         "5"},
        {"totals refused",
         {{"kind", "refuse"}, {"entry", "EPSON_NaoFiscal_Imprimir_LinhaEX"}, {"at", 4}},
         4,
         "5"},
        {"close refused",
         {{"kind", "refuse"}, {"entry", "EPSON_NaoFiscal_Fechar_Relatorio_Gerencial"}},
         4,
         "5"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        begin();
        injectFault(c.fault);
        EXPECT_FALSE(creditVoucher("2"));
        EXPECT_EQ(blocks().size(), c.prints);
        EXPECT_EQ(docState(), c.stateAfter);
        if (std::string(c.stateAfter) == "5") {
            clearJournal();
            ASSERT_TRUE(Relatorio_Gerencial_Imp("001", "", "", "", ""));
            EXPECT_EQ(docCalls(),
                      (std::vector<std::string>{"EPSON_NaoFiscal_Fechar_Relatorio_Gerencial",
                                                "EPSON_NaoFiscal_Abrir_Relatorio_Gerencial"}));
        }
        StopImpFiscal();
    }
}

std::string depositCopy(const std::string &amount, const std::string &balance) {
    return "\n" + centred("COMPRA DE CREDITO") + kRule + "\n" + "Nr.Deposito: 000321\n" + kBlank +
           "Consumidor..: ANA SOUZA\n" + "Familia.....: SOUZA\n" + "Valor ......: R$ " + amount +
           "\n" + "Saldo Final : R$ " + balance + "\n";
}

TEST_F(ConsumerDocumentsTest, CreditPurchasePrintsTwoCopiesThenOneVoucherPerPayment) {
    begin();
    tiv::TClientDataSet payments("payments");
    // A card row goes under its original method; another kind keeps its own
    // name even with an original one. Names are cut to 16.
    docs::fill(payments, {"VRMOVIVEND", "IDTIPORECE", "NMTIPORECE", "NMTIPORECEORIG"},
               {{30.0, "4", "Dinheiro        (troco)", "Cartao Credito"},
                {20.5, "1", "Cartao VISA 12x parcelado", "Cartao Credito"},
                {10.0, "2", "Cartao Debito", ""}});
    const int64_t coo = printerState()["counters"]["coo"];
    std::string counter = "untouched", unused;
    EXPECT_TRUE(Compr_CredPessoal("", "COMPRA CREDITO", "EP0123456789", "K1", "007", "001", counter,
                                  unused, &payments, 15.0, "ANA SOUZA", "000321", "", "", "", "",
                                  "", "", "", "", "", "", "", "", false, "SOUZA", "", ""));
    const std::string zeros(6 - std::to_string(coo).size(), '0');
    EXPECT_EQ(counter, zeros + std::to_string(coo));
    const std::string copy = depositCopy("60,50", "75,50");
    EXPECT_EQ(blocks(), (std::vector<std::string>{copy + kBlank + kBlank + kBlank + kBlank, copy}));
    nlohmann::json vouchers = nlohmann::json::array();
    for (const auto &call : journal())
        if (call.at("entry") == "EPSON_NaoFiscal_Vender_Item" ||
            call.at("entry") == "EPSON_NaoFiscal_Pagamento")
            vouchers.push_back(call.at("args"));
    EXPECT_EQ(vouchers, nlohmann::json::parse(R"([
        ["COMPRA CREDITO", "00000000003000", 2], ["Dinheiro        ", "3000", 2, "", ""],
        ["COMPRA CREDITO", "00000000002050", 2], ["Cartao Credito", "2050", 2, "", ""],
        ["COMPRA CREDITO", "00000000001000", 2], ["Cartao Debito", "1000", 2, "", ""]])"));
    // The report is recorded; the vouchers are the host's to record.
    EXPECT_EQ(sale::recordedCodes(), (std::vector<std::string>{"RG"}));

    // No payments: the copies print, nothing is issued, false.
    StopImpFiscal();
    begin();
    tiv::TClientDataSet none("payments");
    docs::fill(none, {"VRMOVIVEND", "IDTIPORECE", "NMTIPORECE", "NMTIPORECEORIG"}, {});
    EXPECT_FALSE(Compr_CredPessoal("", "COMPRA CREDITO", "EP0123456789", "K1", "007", "001",
                                   counter, unused, &none, 15.0, "ANA SOUZA", "000321", "", "", "",
                                   "", "", "", "", "", "", "", "", "", false, "SOUZA", "", ""));
    EXPECT_EQ(blocks().size(), 2u);
    EXPECT_EQ(blocks()[1], depositCopy("0,00", "15,00"));
    EXPECT_TRUE(sale::callsOf(journal(), "EPSON_NaoFiscal_Vender_Item").empty());
}

TEST_F(ConsumerDocumentsTest, CancellationPrintsItsVoucherAndIssuesTheReversal) {
    const std::string text = "\n" + centred("CANCELAMENTO DE COMPRA DE CREDITO") + kRule + "\n" +
                             "Cancelamento do dep\xF3sito: 000321\n" + kBlank +
                             "Cliente: ESCOLA MODELO\n" + "Consumidor: ANA SOUZA\n" +
                             "Familia.....: SOUZA\n" + "Valor ......: R$ 25,00\n" +
                             "Saldo Final : R$ 50,00\n";
    for (const bool refusePayment : {false, true}) {
        SCOPED_TRACE(refusePayment ? "reversal refused" : "issued");
        std::filesystem::remove(tivhost::hostDatabasePath());
        begin();
        if (refusePayment)
            injectFault({{"kind", "refuse"}, {"entry", "EPSON_NaoFiscal_Pagamento"}});
        std::string unused;
        EXPECT_EQ(Cancela_Cred_Pessoal("CANC CREDITO", "EP0123456789", "K1", "007", "001", unused,
                                       "000321", "ESCOLA MODELO", "ANA SOUZA", "", "Dinheiro", 25.0,
                                       50.0, "SOUZA"),
                  !refusePayment);
        EXPECT_EQ(blocks(), (std::vector<std::string>{text}));
        const auto items = sale::callsOf(journal(), "EPSON_NaoFiscal_Vender_Item");
        ASSERT_EQ(items.size(), 1u);
        EXPECT_EQ(items[0].at("args"),
                  nlohmann::json::parse(R"(["CANC CREDITO", "00000000002500", 2])"));
        const std::vector<std::string> recorded =
            refusePayment ? std::vector<std::string>{"RG"} : std::vector<std::string>{"RG", "CC"};
        EXPECT_EQ(sale::recordedCodes(), recorded);
        StopImpFiscal();
    }
}

// The balance slips go into a report the host opened; they answer false
// when a print or the close failed, as the operator was already told.
TEST_F(ConsumerDocumentsTest, BalanceSlipsPrintMembersAndTotalAndReportFailures) {
    const std::string sum = left("", 37) + std::string(11, '-') + "\n";
    const std::string header = centred(">>> Consulta Saldo <<<") + kRule + "12345 - ANA SOUZA\n\n";
    struct Case {
        const char *name;
        bool debit;
        int skipRows; // rows passed before the call: the slip starts at the current one
        nlohmann::json fault;
        std::string body;
        bool result;
    };
    const std::string both = left("Carnes", 37) + right("65,00", 11) + "\n" + left("Padaria", 37) +
                             right("-44,50", 11) + "\n" + sum + left("Saldo Total", 37) +
                             right("20,50", 11) + "\n";
    const std::string fromSecond = left("Padaria", 37) + right("-44,50", 11) + "\n" + sum +
                                   left("Saldo Total", 37) + right("-44,50", 11) + "\n";
    const std::string debit = sum + left("Saldo Total", 37) + right("12,50", 11) + "\n";
    const nlohmann::json none;
    const std::vector<Case> cases{
        {"family", false, 0, none, both, true},
        {"from the current row", false, 1, none, fromSecond, true},
        {"debit", true, 0, none, debit, true},
        {"header refused",
         false,
         0,
         {{"kind", "refuse"}, {"entry", "EPSON_NaoFiscal_Imprimir_LinhaEX"}},
         both,
         false},
        {"lines refused",
         true,
         0,
         {{"kind", "refuse"}, {"entry", "EPSON_NaoFiscal_Imprimir_LinhaEX"}, {"at", 2}},
         debit,
         false},
        {"close refused",
         false,
         0,
         {{"kind", "refuse"}, {"entry", "EPSON_NaoFiscal_Fechar_Relatorio_Gerencial"}},
         both,
         false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        begin();
        ASSERT_TRUE(Relatorio_Gerencial_Imp("001", "", "", "", ""));
        clearJournal();
        if (!c.fault.is_null()) injectFault(c.fault);
        tiv::TClientDataSet ds("balances");
        if (c.debit)
            docs::fill(ds, {"VRSALDOCONS"}, {{12.5}});
        else
            docs::fill(ds, {"NMFAMILISALD", "SALDOFAM"}, {{"Carnes", 65.0}, {"Padaria", -44.5}});
        for (int i = 0; i < c.skipRows; ++i)
            ds.next();
        const bool result = c.debit ? ImpSaldoDeb("001", &ds, "12345", "ANA SOUZA")
                                    : ImpSaldo("001", &ds, "12345", "ANA SOUZA");
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(blocks(), (std::vector<std::string>{header, c.body}));
        EXPECT_EQ(docCalls().back(), "EPSON_NaoFiscal_Fechar_Relatorio_Gerencial");
        StopImpFiscal();
    }
}

// A family too large for one block of the printer keeps every member and
// its total: the rows go out in blocks of whole lines.
TEST_F(ConsumerDocumentsTest, ALargeFamilyKeepsEveryLineOfItsSlip) {
    for (const int members : {10, 11, 14}) {
        SCOPED_TRACE(members);
        begin();
        ASSERT_TRUE(Relatorio_Gerencial_Imp("001", "", "", "", ""));
        clearJournal();
        std::vector<std::vector<tiv::Variant>> rows;
        std::string body;
        for (int i = 1; i <= members; ++i) {
            const std::string name = "Membro " + std::to_string(i);
            rows.push_back({name, 1.0});
            body += left(name, 37) + right("1,00", 11) + "\n";
        }
        body += left("", 37) + std::string(11, '-') + "\n" + left("Saldo Total", 37) +
                right(std::to_string(members) + ",00", 11) + "\n";
        tiv::TClientDataSet ds("balances");
        docs::fill(ds, {"NMFAMILISALD", "SALDOFAM"}, rows);
        EXPECT_TRUE(ImpSaldo("001", &ds, "12345", "ANA SOUZA"));
        const auto printed = blocks();
        ASSERT_EQ(printed.size(), members <= 10 ? 2u : 3u);
        std::string joined;
        for (size_t i = 1; i < printed.size(); ++i) {
            EXPECT_LE(printed[i].size(), 620u);
            EXPECT_EQ(printed[i].back(), '\n');
            joined += printed[i];
        }
        EXPECT_EQ(joined, body);
        StopImpFiscal();
    }
}

TEST_F(ConsumerDocumentsTest, StatementGoesOutInChunksAndTheCloseDecides) {
    std::string text;
    for (int i = 0; i < 12; ++i)
        text.append(99, static_cast<char>('a' + i % 26)).push_back('\n');
    for (const bool refuseClose : {false, true}) {
        SCOPED_TRACE(refuseClose);
        std::filesystem::remove(tivhost::hostDatabasePath());
        begin();
        ASSERT_TRUE(Relatorio_Gerencial_Imp("001", "", "", "", ""));
        clearJournal();
        if (refuseClose)
            injectFault(
                {{"kind", "refuse"}, {"entry", "EPSON_NaoFiscal_Fechar_Relatorio_Gerencial"}});
        EXPECT_EQ(Extrato(text, "001"), !refuseClose);
        const auto printed = blocks();
        ASSERT_EQ(printed.size(), 3u);
        EXPECT_EQ(printed[0].size() + printed[1].size(), 1000u);
        EXPECT_EQ(printed[0] + printed[1] + printed[2], text);
        EXPECT_TRUE(sale::recordedCodes().empty());
        StopImpFiscal();
    }
}

// An amount its column cannot hold is refused before anything prints, with
// a message for the host; printed, it would lose digits or spill a line.
TEST_F(ConsumerDocumentsTest, AnAmountTooLargeForItsColumnIsRefusedBeforeAnythingPrints) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case {
        const char *name;
        std::function<bool(ConsumerDocumentsTest &)> run;
        const char *amount; // as the message names it
    };
    const std::vector<Case> cases{
        {"unit price over 8 columns",
         [](ConsumerDocumentsTest &t) {
             return t.creditVoucher("2", "", 8.0,
                                    packet(kCreditProductFields, {{"1", "A", 1.0, 100000.0}}));
         },
         "Valor unit\xE1rio 100000"},
        {"quantity cut from its 30 columns",
         [](ConsumerDocumentsTest &t) {
             return t.creditVoucher(
                 "2", "", 8.0,
                 packet(kCreditProductFields, {{"ABCDEFGHIJ", "NOME COMPRIDO", 1234.0, 1.0}}));
         },
         "Quantidade 1234"},
        {"member balance over 22 columns",
         [](ConsumerDocumentsTest &t) {
             return t.creditVoucher("1", "", 8.0, creditProducts(),
                                    packet(kFamilyFields, {{"F1", "Carnes", 1e21}}));
         },
         "Saldo do membro da fam\xEDlia 1E21"},
        {"sale amount not a number",
         [nan](ConsumerDocumentsTest &) {
             return Comp_DebitoCons("001", packet(kDebitProductFields, {}), nan, "", "", "", "", "",
                                    "", 0.0, 0.0, 0.0, "2", "", "", "", "", tiv::Variant());
         },
         "Total da venda NAN"},
        {"deposit payment over 14 digits",
         [](ConsumerDocumentsTest &) {
             tiv::TClientDataSet payments("payments");
             docs::fill(payments, {"VRMOVIVEND", "IDTIPORECE", "NMTIPORECE", "NMTIPORECEORIG"},
                        {{10.0, "4", "Dinheiro", ""}, {1e12, "4", "Dinheiro", ""}});
             std::string counter, unused;
             return Compr_CredPessoal("", "COMPRA CREDITO", "EP", "", "", "001", counter, unused,
                                      &payments, 0.0, "", "", "", "", "", "", "", "", "", "", "",
                                      "", "", "", false, "", "", "");
         },
         "Valor do pagamento 1000000000000"},
        {"cancelled amount over 14 digits",
         [](ConsumerDocumentsTest &) {
             std::string unused;
             return Cancela_Cred_Pessoal("CANC CREDITO", "EP", "", "", "001", unused, "1", "", "",
                                         "", "Dinheiro", 1e12, 0.0, "");
         },
         "Valor do cancelamento 1000000000000"},
        {"family balance over 11 columns",
         [](ConsumerDocumentsTest &) {
             tiv::TClientDataSet ds("balances");
             docs::fill(ds, {"NMFAMILISALD", "SALDOFAM"},
                        {{"Carnes", 10.0}, {"Padaria", 123456789.5}});
             return ImpSaldo("001", &ds, "1", "A");
         },
         "Saldo da fam\xEDlia 123456789,5"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        begin();
        EXPECT_FALSE(c.run(*this));
        EXPECT_TRUE(journal().empty()) << journal().dump();
        EXPECT_NE(stMensagemTaa.find(std::string(c.amount) +
                                     " excede o tamanho aceito pela impressora fiscal."),
                  std::string::npos)
            << stMensagemTaa;
        StopImpFiscal();
    }
}

} // namespace
