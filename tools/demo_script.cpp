// The demo's working day as a script: identity and clock, tables in step
// with a small host catalogue, one sale with a consumer's CPF, discounts,
// a surcharge, two payments with change, the approximate-tax footer and a
// TEF slip in a card voucher.
#include <vector>

#include "demo.h"
#include "json_forms.h"

namespace tivtool {

namespace {

Json call(const char *procedure, Json args, const char *comment) {
    return Json{{"call", procedure}, {"args", std::move(args)}, {"comment", comment}};
}

Json item(const char *code, const char *name, const char *tax, double quantity, double price,
          double discount = 0, double surcharge = 0) {
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
                                  {"IDUTILTEF", "T"},
                                  {"UTILTEF", true},
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

// The sale's cash movements: 40,00 by card (TEF) and 40,00 in cash.
Json saleMovements() {
    return Json{{"fields", Json::array({{{"name", "IDTIPOMOVIVE"}, {"type", "string"}, {"size", 1}},
                                        {{"name", "CDTIPORECE"}, {"type", "string"}, {"size", 3}},
                                        {{"name", "VRMOVIVEND"}, {"type", "float"}},
                                        {{"name", "DTHRINCMOV"}, {"type", "datetime"}},
                                        {{"name", "NRORDTROCO"}, {"type", "integer"}}})},
                {"rows", Json::array({Json::array({"E", "002", 40.0, nullptr, 1}),
                                      Json::array({"E", "001", 40.0, nullptr, 2})})}};
}

Json closingArguments() {
    Json args = Json::array();
    for (int i = 0; i < 62; ++i)
        args.push_back(nullptr);
    args[0] = "CONTRA-VALE EMI";
    args[1] = "";
    args[2] = "001";
    args[4] = false;
    args[5] = true;
    args[6] = 1.50; // subtotal discount
    args[7] = 0.0;
    args[8] = 0.0;
    args[9] = "T";
    args[10] = "Obrigado pela preferencia! Volte sempre.";
    args[11] = true;
    args[13] = saleMovements();
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
    args[51] = 4.87;  // federal approximate taxes
    args[58] = 10.36; // state approximate taxes
    args[60] = true;
    return args;
}

} // namespace

std::string demoScript(int printerType) {
    Json steps = Json::array();
    steps.push_back(call("StartImpFiscal",
                         Json::array({Json{{"CDFILIAL", "0001"},
                                           {"CDCAIXA", "001"},
                                           {"NRSERIEIMP", "EP0808080800000001"},
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
    steps.push_back(call("AbreCupom",
                         Json::array({Json{{"ESQUEMACOR", "001"},
                                           {"INTTEFERRO", 0},
                                           {"INCLUICPF", "123.456.789-09"},
                                           {"INCLUINOME", "JOAO DA SILVA"},
                                           {"INCLUIENDERECO", "RUA DAS ACACIAS, 45"},
                                           {"CUPNR", ""},
                                           {"CONTCUPOM", ""},
                                           {"IDUTILTEF", "T"},
                                           {"UTILTEF", true}}}),
                         "open the receipt with the consumer's CPF"));
    steps.push_back(item("7891000100103", "ARROZ TIPO 1 5KG", "01", 1, 24.90));
    steps.push_back(item("7891000200200", "FEIJAO CARIOCA 1KG", "01", 2, 8.49, 1.00));
    steps.push_back(item("7891000300307", "REFRIGERANTE COLA 2L", "FF", 3, 7.99));
    steps.push_back(item("7891000400404", "SERVICO DE ENTREGA", "02", 1, 5.00, 0, 0.50));
    steps.push_back(item("7891000500501", "LEITE EM PO 400G", "II", 1, 4.35));
    steps.push_back(call("FechaCupom",
                         Json::array({closingArguments(), nullptr, Json{{"result", 4}}}),
                         "subtotal discount, two payments, change, footer and closing"));
    steps.push_back(call(
        "ImprimeTef",
        Json::array({"EP0808080800000001", "0001", "001", "001",
                     Json::array({"REDE EXEMPLO - VIA DO CLIENTE", "CARTAO CREDITO  ****1234",
                                  "VALOR APROVADO: R$ 40,00", "AUT: 123456  NSU: 000789"}),
                     nullptr, nullptr, nullptr, "", "Cartao Credito", "", 40.0, 0.0, 0, "N", ""}),
        "the TEF slip in a card voucher tied to the card payment"));
    steps.push_back(call("StopImpFiscal", Json::array(), "release the vendor library"));
    return Json{{"comment", "tiv demo: a working day on a fresh virtual printer"}, {"steps", steps}}
        .dump(2);
}

} // namespace tivtool
