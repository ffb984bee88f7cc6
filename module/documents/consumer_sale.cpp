// The sale voucher of a consumer account: a purchase paid from the
// consumer's credit or debited to the consumer, with its products, totals
// and the balance left. Both members of the family print the same voucher;
// `SaleKind` carries what differs.
#include <string>
#include <vector>

#include "core/call_guard.h"
#include "core/data_module.h"
#include "core/text.h"
#include "documents/data_packet.h"
#include "documents/documents.h"
#include "documents/printed_amount.h"
#include "management_report.h"
#include "tiv02000/procedures.h"
#include "tivhost/host.h"
#include "tivplatform/numbers.h"

using namespace tiv02000;

namespace {

constexpr int kColumns = 48;

enum class SaleKind { Credit, Debit };

struct SaleVoucher {
    SaleKind kind = SaleKind::Credit;
    std::string colourScheme{};
    double saleAmount = 0, previousBalance = 0, subsidisedAmount = 0, complementAmount = 0;
    std::string registration{}, consumerName{}, client{}, clientLine2{}, orderPassword{};
    std::string balanceMode{};
};

// The voucher's three prints, built whole before the report opens so that an
// amount its column cannot hold stops the voucher before anything prints.
struct SaleVoucherText {
    std::string header{};
    std::vector<std::string> products{};
    std::string totals{};
};

std::string cut48(const std::string &text) {
    return text.substr(0, kColumns) + "\n";
}

std::string rule() {
    return std::string(kColumns, '-') + "\n";
}

std::string money2(double value) {
    return tiv::formatFloat("0.00", value);
}

std::string header(const SaleVoucher &v) {
    const char *title = v.kind == SaleKind::Credit ? "CompraCredito" : "ComprDebito";
    return "\n" + tivhost::Centraliza(msg(title), kColumns) + "\n" + rule() +
           cut48(msg("CDCLIE") + v.client) + cut48(std::string(9, ' ') + v.clientLine2) + rule() +
           cut48(msg("CDCons") + v.registration) + cut48(msg("NmCons") + v.consumerName) + rule() +
           tivhost::Centraliza(msg("ProdVend"), kColumns) + "\n" + std::string(kColumns, ' ') +
           "\n" + cut48(msg("Cabecalho"));
}

// One product: code, name and quantity in 30 columns, unit price and line
// total in 8 each.
std::string productLine(const SaleVoucher &v, tiv::TClientDataSet &products) {
    const double quantity = products.fieldByName("QTPRODCOMVEN").asFloat();
    double price = products.fieldByName("VRPRECCOMVEN").asFloat();
    if (v.kind == SaleKind::Debit) price += products.fieldByName("VRUNITVENDCL").asFloat();
    const std::string left = copyText(products.fieldByName("CDARVPROD").asString(), 1, 10) + " " +
                             copyText(products.fieldByName("NMPRODUTO").asString(), 1, 12) + "  ";
    const std::string quantityText =
        fitAmount("Quantidade", quantity, tiv::formatFloat("0.00#", quantity), 30 - left.size(),
                  v.colourScheme);
    const std::string priceText =
        fitAmount("Valor unit\xE1rio", price, money2(price), 8, v.colourScheme);
    const double total = tivhost::Trunc2(quantity * price);
    const std::string totalText = fitAmount("Valor total", total, money2(total), 8, v.colourScheme);
    return tivhost::TamFixo(left + quantityText, 30) + "  " + tivhost::PadL(priceText, 8) +
           tivhost::PadL(totalText, 8) + "\n";
}

// A label fixed to 15 columns and an amount in the 33 after it.
std::string amountLine(const std::string &label, const std::string &what, double value,
                       const SaleVoucher &v) {
    return tivhost::TamFixo(label, 15) +
           tivhost::PadL(fitAmount(what, value, money2(value), 33, v.colourScheme), 33) + "\n";
}

std::string fill(std::string pattern, const std::string &value) {
    const auto at = pattern.find("%s");
    if (at != std::string::npos) pattern.replace(at, 2, value);
    return pattern;
}

std::string finalBalanceLine(double balance, const SaleVoucher &v) {
    const std::string pattern = msg2("SALDO_FIN");
    return fill(pattern, fitAmount("Saldo final", balance, tiv::formatCurrency(balance),
                                   kColumns - (pattern.size() - 2), v.colourScheme)) +
           "\n";
}

bool locateCaseless(tiv::TClientDataSet &ds, const std::string &fields,
                    const tiv::Variant &values) {
    return ds.locate(fields, values, tiv::LocateOptions{true, false});
}

// What one family member holds apart from the family's movements of this
// sale: its balance less the family's balance row, less its debit (or, with
// a family row and no debit, plus its credit).
double memberValue(tiv::TClientDataSet &balances) {
    auto &dm = dataModule();
    auto &familyBalances = dm.dataset("cdsFamiliaSaldo");
    auto &loans = dm.dataset("cdsEmprestimo");
    const std::string family = balances.fieldByName("CDFAMILISALD").asString();
    double value = balances.fieldByName("VRSALDCONFAM").asFloat();
    const bool familyRow = familyBalances.active() && familyBalances.hasField("CDFAMILISALD") &&
                           familyBalances.hasField("VRSALDCONFAM") &&
                           locateCaseless(familyBalances, "CDFAMILISALD", tiv::Variant(family));
    if (familyRow) value -= familyBalances.fieldByName("VRSALDCONFAM").asFloat();
    if (loans.active() && loans.hasField("CDFAMILISALD") && loans.hasField("IDTPMOVEXT") &&
        loans.hasField("VRMOVEXTCONS")) {
        const auto key = [&](const char *kind) {
            return tiv::Variant(
                std::vector<tiv::Variant>{tiv::Variant(family), tiv::Variant(kind)});
        };
        if (locateCaseless(loans, "CDFAMILISALD;IDTPMOVEXT", key("D")))
            value -= loans.fieldByName("VRMOVEXTCONS").asFloat();
        else if (familyRow && locateCaseless(loans, "CDFAMILISALD;IDTPMOVEXT", key("C")))
            value += loans.fieldByName("VRMOVEXTCONS").asFloat();
    }
    return value;
}

std::string balanceLines(const SaleVoucher &v, double balance, tiv::TClientDataSet *familyRows) {
    if (v.kind == SaleKind::Debit)
        return v.balanceMode == "2" ? std::string() : finalBalanceLine(balance, v);
    const bool rows = familyRows && familyRows->active();
    if (v.balanceMode == "0") {
        if (rows)
            for (familyRows->first(); !familyRows->eof(); familyRows->next())
                balance += familyRows->fieldByName("VRSALDCONFAM").asFloat();
        return finalBalanceLine(balance, v);
    }
    std::string lines;
    if (v.balanceMode == "1" && rows)
        for (familyRows->first(); !familyRows->eof(); familyRows->next()) {
            if (familyRows->fieldByName("VRSALDCONFAM").asFloat() == 0) continue;
            const double member = memberValue(*familyRows);
            lines += tivhost::TamFixo(familyRows->fieldByName("NMFAMILISALD").asString(), 25) +
                     tivhost::TamFixoR(fitAmount("Saldo do membro da fam\xEDlia", member,
                                                 tiv::formatFixed(member, 2), 22, v.colourScheme),
                                       22) +
                     "\n";
        }
    return lines;
}

// A label, a blank and a currency amount, with no line feed: the subsidised
// price and the complement share one line.
std::string currencyNote(const char *key, const std::string &what, double value,
                         const SaleVoucher &v) {
    const std::string label = msg(key) + " ";
    return label + fitAmount(what, value, tiv::formatCurrency(value), kColumns - label.size(),
                             v.colourScheme);
}

std::string totals(const SaleVoucher &v, double balance, tiv::TClientDataSet &products,
                   tiv::TClientDataSet *familyRows) {
    std::string text = std::string(kColumns, ' ') + "\n";
    if (v.kind == SaleKind::Debit && products.active() && !products.isEmpty()) {
        // The discount and surcharge of the sale travel on its last product row.
        products.last();
        const double discount = products.fieldByName("VRDESCCOMVEN").asFloat();
        const double surcharge = products.fieldByName("VRACRCOMVEN").asFloat();
        if (discount > 0) text += amountLine(msg("Desconto"), "Desconto", discount, v);
        // The voucher's own label, without the accent the catalogue's text carries.
        if (surcharge > 0) text += amountLine("Acrescimo", "Acr\xE9scimo", surcharge, v);
    }
    text += amountLine(msg("Total").substr(0, 40), "Total da venda", v.saleAmount, v);
    text += rule();
    text += isBlank(v.orderPassword) ? std::string("\n")
                                     : cut48(msg("SEN_PED") + v.orderPassword + "\r\n");
    text += balanceLines(v, balance, familyRows);
    if (v.subsidisedAmount > 0)
        text += currencyNote("PRECO_SUBSIDIO", "Pre\xE7o subsidiado", v.subsidisedAmount, v);
    if (v.complementAmount > 0)
        text += currencyNote("VR_COMPLEMENTO", "Valor complemento", v.complementAmount, v);
    return text;
}

bool printSaleVoucher(const SaleVoucher &v, const tiv::Variant &productPacket,
                      const tiv::Variant *familyPacket) {
    auto &dm = dataModule();
    auto &products = dm.dataset(v.kind == SaleKind::Credit ? "cdsProdCred" : "cdsProdDeb");
    loadDataPacket(products, productPacket);
    tiv::TClientDataSet *familyRows = nullptr;
    if (familyPacket) {
        familyRows = &dm.dataset("cdsSaldCred");
        loadDataPacket(*familyRows, *familyPacket);
    }
    const double balance =
        v.previousBalance + v.subsidisedAmount + v.complementAmount - v.saleAmount;
    if (tivhost::RoundDec(v.saleAmount, 2) <= 0) return true;

    SaleVoucherText text;
    try {
        text.header = header(v);
        if (products.active())
            for (products.first(); !products.eof(); products.next())
                text.products.push_back(productLine(v, products));
        text.totals = totals(v, balance, products, familyRows);
    } catch (const AmountRefused &) {
        return false;
    }

    // A failed print leaves the report open: the next opening closes it.
    if (!openManagementReport(v.colourScheme, "", "", "")) return false;
    if (!printReportText(v.colourScheme, text.header.substr(0, kBlockLimit))) return false;
    for (const std::string &line : text.products)
        if (!printReportText(v.colourScheme, line)) return false;
    if (!printReportText(v.colourScheme, text.totals.substr(0, kBlockLimit))) return false;
    return closeManagementReport(v.colourScheme, true, false);
}

} // namespace

extern "C" TIV_EXPORT bool Imp_CompVenCred(
    const std::string &colourScheme, const tiv::Variant &products,
    const tiv::Variant &familyBalances, double saleAmount, const std::string & /*unused5*/,
    const std::string &registration, const std::string &consumerName, const std::string &client,
    const std::string &clientLine2, const std::string &orderPassword, double previousBalance,
    double subsidisedAmount, double complementAmount, const std::string &balanceMode) {
    const tiv02000::CallGuard guard;
    const SaleVoucher v{SaleKind::Credit, colourScheme,     saleAmount,    previousBalance,
                        subsidisedAmount, complementAmount, registration,  consumerName,
                        client,           clientLine2,      orderPassword, balanceMode};
    return printSaleVoucher(v, products, &familyBalances);
}

extern "C" TIV_EXPORT bool
Comp_DebitoCons(const std::string &colourScheme, const tiv::Variant &products, double saleAmount,
                const std::string & /*unused4*/, const std::string &registration,
                const std::string &consumerName, const std::string &client,
                const std::string &clientLine2, const std::string &orderPassword,
                double previousBalance, double subsidisedAmount, double complementAmount,
                const std::string &balanceMode, const std::string & /*unused14*/,
                const std::string & /*unused15*/, const std::string & /*unused16*/,
                const std::string & /*unused17*/, const tiv::Variant & /*unused18*/) {
    const tiv02000::CallGuard guard;
    const SaleVoucher v{SaleKind::Debit,  colourScheme,     saleAmount,    previousBalance,
                        subsidisedAmount, complementAmount, registration,  consumerName,
                        client,           clientLine2,      orderPassword, balanceMode};
    return printSaleVoucher(v, products, nullptr);
}
