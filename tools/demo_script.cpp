// The demo's working day as a script: identity and clock, tables in step
// with a small host catalogue, the morning's cash supply, a sale with a
// consumer's CPF (discounts, a surcharge, two payments with change, the
// approximate-tax footer, a TEF slip in a card voucher), a sale with an
// item cancelled, a sale cancelled after its closing, a withdrawal, the X
// reading, the till closing and the Z reduction that ends the day.
#include <utility>
#include <vector>

#include "demo.h"
#include "json_forms.h"

namespace tivtool {

namespace {

Json call(const char *procedure, Json args, const char *comment) {
    return Json{{"call", procedure}, {"args", std::move(args)}, {"comment", comment}};
}

Json item(const char *code, const char *name, const char *tax, double quantity, double price,
          double discount = 0, double surcharge = 0, bool tef = true) {
    return call("VendaItem",
                Json::array({Json{{"ESQUEMACOR", "001"},
                                  {"INTEFERRO", 0},
                                  {"CDARVPROD", code},
                                  {"NMPROD", name},
                                  {"CDALIQ", tax},
                                  {"QTDE", quantity},
                                  {"VALOR", price},
                                  {"DESCONT", discount},
                                  {"UNIDADE", "UN"},
                                  {"IDUTILTEF", tef ? "T" : "N"},
                                  {"UTILTEF", tef},
                                  {"ACRESCIMO", surcharge}}}),
                "sell an item");
}

// The host's payment methods: cash and a credit card (TEF).
Json hostPaymentMethods() {
    return Json{
        {"fields", Json::array({{{"name", "CDTIPORECE"}, {"type", "string"}, {"size", 3}},
                                {{"name", "NMTIPORECE"}, {"type", "string"}, {"size", 40}},
                                {{"name", "IDTIPORECE"}, {"type", "string"}, {"size", 1}},
                                {{"name", "DSIMPFISCAL"}, {"type", "string"}, {"size", 50}},
                                {{"name", "CDFPIMPFIS"}, {"type", "string"}, {"size", 10}},
                                {{"name", "IDTPBUTTON"}, {"type", "string"}, {"size", 1}},
                                {{"name", "IDMOSTRARECE"}, {"type", "string"}, {"size", 1}},
                                {{"name", "IDEMIVALE"}, {"type", "string"}, {"size", 1}}})},
        {"rows", Json::array({Json::array({"001", "Dinheiro", "4", "Dinheiro", "", "5", "S", "N"}),
                              Json::array({"002", "Cartao Credito", "1", "Cartao Credito", "", "5",
                                           "S", "N"})})}};
}

// A sale's cash movements: one row per payment (method code, amount).
Json saleMovements(const std::vector<std::pair<const char *, double>> &payments) {
    Json rows = Json::array();
    int order = 0;
    for (const auto &[method, amount] : payments)
        rows.push_back(Json::array({"E", method, amount, nullptr, ++order}));
    return Json{{"fields", Json::array({{{"name", "IDTIPOMOVIVE"}, {"type", "string"}, {"size", 1}},
                                        {{"name", "CDTIPORECE"}, {"type", "string"}, {"size", 3}},
                                        {{"name", "VRMOVIVEND"}, {"type", "float"}},
                                        {{"name", "DTHRINCMOV"}, {"type", "datetime"}},
                                        {{"name", "NRORDTROCO"}, {"type", "integer"}}})},
                {"rows", rows}};
}

// The approximate federal and state taxes of one receipt's items, as the host's tax table
// gives them: each receipt has its own.
struct ApproximateTaxes {
    double federal = 0;
    double state = 0;
};

// The closing's 62 positions. The first sale is a TEF sale with a subtotal discount; the others
// are paid in cash. Every one has its approximate-tax footer and the operator.
Json closingArguments(const std::vector<std::pair<const char *, double>> &payments, bool tef,
                      double subtotalDiscount, ApproximateTaxes taxes) {
    Json args = Json::array();
    for (int i = 0; i < 62; ++i)
        args.push_back(nullptr);
    args[0] = "CONTRA-VALE EMI";
    args[1] = "";
    args[2] = "001";
    args[4] = false;
    args[5] = true;
    args[6] = subtotalDiscount;
    args[7] = 0.0;
    args[8] = 0.0;
    args[9] = tef ? "T" : "N";
    args[10] = "Obrigado pela preferencia! Volte sempre.";
    args[11] = tef;
    args[13] = saleMovements(payments);
    args[14] = hostPaymentMethods();
    args[15] = "";
    args[16] = "";
    args[17] = "";
    args[18] = "";
    args[19] = "";
    args[21] = "";
    args[22] = "07";
    args[23] = "MARIA";
    args[27] = "2";
    args[36] = "2";
    args[43] = "SP";
    args[51] = taxes.federal;
    args[58] = taxes.state;
    args[60] = true;
    return args;
}

Json openReceipt(const char *cpf, const char *name, const char *address, bool tef,
                 const char *comment) {
    return call("AbreCupom",
                Json::array({Json{{"ESQUEMACOR", "001"},
                                  {"INTTEFERRO", 0},
                                  {"INCLUICPF", cpf},
                                  {"INCLUINOME", name},
                                  {"INCLUIENDERECO", address},
                                  {"CUPNR", ""},
                                  {"CONTCUPOM", ""},
                                  {"IDUTILTEF", tef ? "T" : "N"},
                                  {"UTILTEF", tef}}}),
                comment);
}

Json closeReceipt(const std::vector<std::pair<const char *, double>> &payments, bool tef,
                  double subtotalDiscount, ApproximateTaxes taxes, const char *comment) {
    return call("FechaCupom",
                Json::array({closingArguments(payments, tef, subtotalDiscount, taxes), nullptr,
                             Json{{"result", 4}}}),
                comment);
}

constexpr const char *kSerial = kDemoSerial;

// A host dataset the driver fills; its fields are replaced by the driver's.
Json emptyDataset(const char *field) {
    return Json{{"fields", Json::array({{{"name", field}, {"type", "string"}, {"size", 10}}})},
                {"rows", Json::array()}};
}

Json field(const char *name, const char *type, int size = 0) {
    Json f{{"name", name}, {"type", type}};
    if (size > 0) f["size"] = size;
    return f;
}

Json dataset(Json fields, Json rows) {
    return Json{{"fields", std::move(fields)}, {"rows", std::move(rows)}};
}

// The day's products as the host totals them: each value net of its own
// discount and surcharge, the first sale's subtotal discount laid on the rice.
Json productsSold() {
    return dataset(
        Json::array({field("CDPRODUTO", "string", 20), field("CDPRODIMPFIS", "string", 20),
                     field("NMPRODUTO", "string", 40), field("QTPRODVEND", "float"),
                     field("VRTOTAL", "float"), field("VRACRE", "float"), field("VRDESC", "float"),
                     field("IDTPIMPOSFIS", "string", 1), field("VRPEALIMPFIS", "float")}),
        Json::array(
            {Json::array({"101", "7891000100103", "ARROZ TIPO 1 5KG", 1, 23.40, 0, 1.50, "T", 18}),
             Json::array(
                 {"102", "7891000200200", "FEIJAO CARIOCA 1KG", 2, 15.98, 0, 1.00, "T", 18}),
             Json::array({"103", "7891000300307", "REFRIGERANTE COLA 2L", 3, 23.97, 0, 0, "F", 0}),
             Json::array({"104", "", "SERVICO DE ENTREGA", 1, 5.50, 0.50, 0, "T", 12}),
             Json::array({"105", "7891000500501", "LEITE EM PO 400G", 1, 4.35, 0, 0, "I", 0}),
             Json::array({"106", "7891000600608", "CAFE TORRADO 500G", 1, 12.90, 0, 0, "T", 18}),
             Json::array({"108", "7891000800802", "PAO DE FORMA", 1, 6.75, 0, 0, "T", 12})}));
}

// What left the till over the day: cash (the midday withdrawal and the
// evening's count), the card slips, and the morning's change fund.
Json tillMovements() {
    return dataset(Json::array({field("IDTIPOREG", "string", 1), field("NMTIPORECE", "string", 40),
                                field("VRSAIDA", "float")}),
                   Json::array({Json::array({"1", "DINHEIRO", 152.85}),
                                Json::array({"5", "CARTAO CREDITO", 40.00}),
                                Json::array({"3", "SUPRIMENTO", 100.00})}));
}

// The till closing: the withdrawal receipt of the evening's envelopes, the
// product and closing reports of the opening and, after the operator's
// answers, of the day.
Json tillClosing() {
    const Json envelopes =
        dataset(Json::array({field("CDTIPORECE", "string", 3), field("NRENVELOPE", "string", 6),
                             field("NMTIPORECE", "string", 40), field("VRFECHADIG", "float"),
                             field("VRFECHAINF", "float")}),
                Json::array({Json::array({"001", "000001", "DINHEIRO", 102.85, 102.85}),
                             Json::array({"002", "000002", "CARTAO CREDITO", 40.00, 40.00})}));
    const Json withdrawals =
        dataset(Json::array({field("CDTIPORECE", "string", 3), field("VRSANGRIA", "float")}),
                Json::array({Json::array({"001", 50.00})}));
    const Json people = dataset(
        Json::array({field("CDSUPERVISOR", "string", 10), field("NMSUPERVISOR", "string", 40),
                     field("CDOPERADOR", "string", 10), field("NMOPERADOR", "string", 40)}),
        Json::array({Json::array({"07", "MARIA", "12", "PEDRO"})}));
    const Json methods = dataset(
        Json::array({field("CDTIPORECE", "string", 3), field("NMTIPORECE", "string", 40)}),
        Json::array({Json::array({"001", "DINHEIRO"}), Json::array({"002", "CARTAO CREDITO"})}));
    const Json credit =
        dataset(Json::array({field("VRCARGACREDITO", "float")}), Json::array({Json::array({0.0})}));
    return call("GeraReciboSangria",
                Json::array({"",
                             kSerial,
                             "0001",
                             "001",
                             "",
                             0,
                             Json{{"out", ""}},
                             envelopes,
                             withdrawals,
                             productsSold(),
                             people,
                             tillMovements(),
                             tillMovements(),
                             productsSold(),
                             credit,
                             0.0,
                             true,
                             true,
                             false,
                             nullptr,
                             nullptr,
                             nullptr,
                             nullptr,
                             Json{{"out", false}},
                             methods,
                             "N",
                             "S",
                             "N",
                             "S",
                             "001",
                             false,
                             false,
                             true,
                             "",
                             ""}),
                "the till closing: withdrawal receipt, product and closing reports");
}

} // namespace

std::string demoScript(int printerType, const std::string &configFolder) {
    Json steps = Json::array();
    steps.push_back(call("StartImpFiscal",
                         Json::array({Json{{"CDFILIAL", "0001"},
                                           {"CDCAIXA", "001"},
                                           {"NRSERIEIMP", kSerial},
                                           {"ESQUEMA", "001"},
                                           {"CDPORTAIMPFIS", "COM1"},
                                           {"IDTIPOIMPFIS", printerType},
                                           {"BOUTILTAA", false}}}),
                         "load the vendor library, bind it and open the port"));
    steps.push_back(call("Carrega_Dados_Impressora",
                         Json::array({Json{{"ESQUEMA", "001"},
                                           {"DATAATUIMP", ""},
                                           {"ECFIMP", ""},
                                           {"REDIMP", "0"},
                                           {"SERIEIMP", ""},
                                           {"DATAIMP", ""}}}),
                         "the printer's identity"));
    steps.push_back(call("VerificaSerialImp",
                         Json::array({Json{{"UTILIZAIMPFIS", true},
                                           {"DSDIRCAD", configFolder + "/"},
                                           {"ESQUEMACOR", "001"},
                                           {"REV_NRSERIE_IMP", kSerial}}}),
                         "the printer is the one this till may use"));
    steps.push_back(call("VerificaData", Json::array({"001", Json{{"out", 0}}, "", "", true}),
                         "the printer's clock against the computer's"));
    steps.push_back(
        call("Modelo_Impressora",
             Json::array({"001", Json{{"out", ""}}, Json{{"out", ""}}, Json{{"out", ""}}}),
             "model and maker"));
    steps.push_back(
        call("CarregaAliquota",
             Json::array(
                 {"001",
                  Json{{"fields",
                        Json::array({{{"name", "CDALIQIMPFIS"}, {"type", "string"}, {"size", 10}},
                                     {{"name", "VRALIQIMPFIS"}, {"type", "float"}},
                                     {{"name", "IDALIQIMPFIS"}, {"type", "string"}, {"size", 1}}})},
                       {"rows", Json::array()}}}),
             "the printer's tax rates into the host's table"));
    steps.push_back(call("CarregaRecebimento", Json::array({"", "001", 0, hostPaymentMethods()}),
                         "payment methods in step with the host's"));
    steps.push_back(call("CarregaTotalizador",
                         Json::array({Json{{"out", ""}}, Json{{"out", ""}}, Json{{"out", ""}},
                                      Json{{"out", ""}}, Json{{"out", ""}}, "001", 0, nullptr}),
                         "non-fiscal totalizers in step with the host's"));
    steps.push_back(
        call("Suprimento", Json::array({"", "001", 100.0}), "the morning's change fund: 100,00"));
    steps.push_back(openReceipt("123.456.789-09", "JOAO DA SILVA", "RUA DAS ACACIAS, 45", true,
                                "open the receipt with the consumer's CPF"));
    steps.push_back(item("7891000100103", "ARROZ TIPO 1 5KG", "01", 1, 24.90));
    steps.push_back(item("7891000200200", "FEIJAO CARIOCA 1KG", "01", 2, 8.49, 1.00));
    steps.push_back(item("7891000300307", "REFRIGERANTE COLA 2L", "FF", 3, 7.99));
    steps.push_back(item("7891000400404", "SERVICO DE ENTREGA", "02", 1, 5.00, 0, 0.50));
    steps.push_back(item("7891000500501", "LEITE EM PO 400G", "II", 1, 4.35));
    steps.push_back(closeReceipt({{"002", 40.0}, {"001", 40.0}}, true, 1.50, {4.87, 10.36},
                                 "subtotal discount, two payments, change, footer and closing"));
    steps.push_back(call(
        "ImprimeTef",
        Json::array({kSerial, "0001", "001", "001",
                     Json::array({"REDE EXEMPLO - VIA DO CLIENTE", "CARTAO CREDITO  ****1234",
                                  "VALOR APROVADO: R$ 40,00", "AUT: 123456  NSU: 000789"}),
                     nullptr, nullptr, nullptr, "", "Cartao Credito", "", 40.0, 0.0, 0, "N", ""}),
        "the TEF slip in a card voucher tied to the card payment"));
    steps.push_back(openReceipt("", "", "", false, "the second sale"));
    steps.push_back(item("7891000600608", "CAFE TORRADO 500G", "01", 1, 12.90, 0, 0, false));
    steps.push_back(item("7891000700705", "ACUCAR REFINADO 1KG", "01", 1, 4.50, 0, 0, false));
    steps.push_back(item("7891000800802", "PAO DE FORMA", "02", 1, 6.75, 0, 0, false));
    steps.push_back(call("Cancela_ItGenerico",
                         Json::array({"001", "I0002", "", "", "", "", "", "", "", 0.0, 0.0}),
                         "the customer gives the sugar back: item 2 cancelled"));
    steps.push_back(
        closeReceipt({{"001", 20.0}}, false, 0, {1.73, 2.94}, "paid in cash, with change"));
    steps.push_back(openReceipt("", "", "", false, "the third sale"));
    steps.push_back(item("7891000900909", "SABAO EM PO 1KG", "01", 1, 9.99, 0, 0, false));
    steps.push_back(closeReceipt({{"001", 9.99}}, false, 0, {1.35, 1.80}, "paid in cash"));
    steps.push_back(
        call("Cancela_Cupom_Imp",
             Json::array({Json::array({"001", true, false, nullptr, "0001", "001", kSerial, "N"}),
                          Json{{"result", 1}}}),
             "the customer changes their mind: the receipt just closed is cancelled"));
    steps.push_back(
        call("Sangria", Json::array({"", "001", 50.0}), "cash taken out of the drawer: 50,00"));
    steps.push_back(call("Leitura_X_Imp", Json::array({kSerial, "", "001", ""}),
                         "the X reading: the day's partial totals"));
    steps.push_back(Json{{"answers", Json::array({false, true, true})},
                         {"comment", "the till stays closed; the reduction and the closing "
                                     "reports are confirmed"}});
    steps.push_back(tillClosing());
    steps.push_back(call("ExportRedZ",
                         Json::array({"", "001", "001", 0, hostPaymentMethods(),
                                      emptyDataset("NRECFREDZ"), emptyDataset("NRECFREDZ"),
                                      emptyDataset("NRECFREDZ"), emptyDataset("NRECFREDZ")}),
                         "the host's record of the reduction to come"));
    steps.push_back(call("Reducao_Z_Imp", Json::array({kSerial, "", "001", ""}),
                         "the Z reduction: the day closed and kept in the fiscal memory"));
    steps.push_back(call(
        "DadosUltimaRedZ",
        Json::array({Json::array({"001"}), Json{{"result", 49}}, emptyDataset("CDALIQIMPFIS")}),
        "the reduction as the fiscal memory holds it"));
    steps.push_back(call("Atu_TotGeral",
                         Json::array({Json{{"CDFILIAL", "0001"},
                                           {"CDCAIXA", "001"},
                                           {"NRSERIEIMP", kSerial},
                                           {"ESQUEMACOR", "001"},
                                           {"IDVALIDA", "S"},
                                           {"BOPODERECOMPORGT", false}}}),
                         "the grand total against the till's configuration file"));
    steps.push_back(call("StopImpFiscal", Json::array(), "release the vendor library"));
    return Json{{"comment", "tiv demo: a working day on a fresh virtual printer"}, {"steps", steps}}
        .dump(2);
}

} // namespace tivtool
