// The product report: the products sold as a management report of 51-column
// lines, plain or grouped by taxation with a tax summary, and its totals.
#include "product_report.h"

#include "core/call_guard.h"
#include "core/data_module.h"
#include "core/text.h"
#include "documents/documents.h"
#include "host_tables.h"
#include "queries/queries.h"
#include "report_blocks.h"
#include "tiv02000/procedures.h"
#include "tivhost/host.h"
#include "tivplatform/numbers.h"
#include "tivplatform/system.h"

using namespace tiv02000;

namespace {

constexpr int kColumns = 51;
constexpr const char *kProcedure = "Relatorio_Produto";

struct Totals {
    double quantity = 0, value = 0, surcharges = 0, discounts = 0;
};

std::string rule() {
    return tivhost::Replicate("-", kColumns) + "\n";
}

std::string heading(const ProductReportArgs &a) {
    const std::string title = msg(a.mode == "D" ? "RelProdutoDia" : "RelProdutoAbe");
    return "\n" + tivhost::Centraliza(title, 47) + "\n" + "\n" + upper(msg("Filial")) + " " +
           a.branchCode + "  " + upper(msg("Caixa")) + " " + a.tillCode + "\n" + rule() +
           tivhost::TamFixo(msg("Codigo"), 15) + tivhost::TamFixo(msg("Nome"), 20) +
           tivhost::TamFixoR(msg("Qtde_"), 6) + tivhost::TamFixoR(msg("Valor2"), 10) + "\n";
}

// Prints the current product's line and adds it to the totals.
void productLine(const ProductReportArgs &a, tiv::TClientDataSet &p, Totals &totals) {
    std::string code = p.fieldByName("CDPRODIMPFIS").asString();
    if (isBlank(code)) code = p.fieldByName("CDPRODUTO").asString();
    const double quantity = p.fieldByName("QTPRODVEND").asFloat();
    const double amount = p.fieldByName("VRTOTAL").asFloat();
    printBlock(a.colourScheme, tivhost::TamFixo(code, 14) + " " +
                                   tivhost::TamFixo(p.fieldByName("NMPRODUTO").asString(), 19) +
                                   " " + numberColumn(quantity, 6) + numberColumn(amount, 10) +
                                   "\n");
    totals.quantity += quantity;
    totals.value += amount;
    totals.surcharges += p.fieldByName("VRACRE").asFloat();
    totals.discounts += p.fieldByName("VRDESC").asFloat();
}

// The label of a zero-rate taxation type; a type of the host's own is named
// rather than left without a label.
std::string zeroRateLabel(const std::string &type) {
    if (type == "F") return msg("SubTrib");
    if (type == "N") return msg("NIncide");
    if (type == "I") return msg("Isento");
    return msg("TRIBUTACAO") + " " + (isBlank(type) ? std::string("(sem tipo)") : trim(type));
}

std::string rateText(double rate) {
    return tiv::formatFixed(rate, 2);
}

void groupedLines(const ProductReportArgs &a, tiv::TClientDataSet &p, Totals &totals) {
    tiv::TClientDataSet &summary = dataModule().dataset("cdsAliqProduto");
    summary.close();
    summary.fieldDefs() = {{"IDTPIMPOSFIS", tiv::FieldType::String, 255},
                           {"VRPERCSITTRIB", tiv::FieldType::Float},
                           {"VRTOTALALIQ", tiv::FieldType::Float}};
    summary.createDataSet();

    p.setIndexName("idxTributacao");
    bool first = true;
    std::string lastType, lastRate;
    for (p.first(); !p.eof(); p.next()) {
        const std::string type = p.fieldByName("IDTPIMPOSFIS").asString();
        // The rate as printed decides the group, so a heading and its summary row agree.
        const double rate = tiv::roundDec(p.fieldByName("VRPEALIMPFIS").asFloat(), 2);
        const std::string rateShown = rateText(rate);
        if (first || type != lastType || rateShown != lastRate) {
            if (rate != 0)
                printBlock(a.colourScheme, msg("TRIBUTACAO") + "  " + rateShown + "\n");
            else if (first || type != lastType)
                printBlock(a.colourScheme, zeroRateLabel(type) + "\n");
        }
        first = false;
        lastType = type;
        lastRate = rateShown;

        productLine(a, p, totals);

        const double amount = p.fieldByName("VRTOTAL").asFloat();
        const tiv::Variant key(std::vector<tiv::Variant>{tiv::Variant(type), tiv::Variant(rate)});
        if (summary.locate("IDTPIMPOSFIS;VRPERCSITTRIB", key)) {
            summary.edit();
            summary.fieldByName("VRTOTALALIQ")
                .setAsFloat(summary.fieldByName("VRTOTALALIQ").asFloat() + amount);
        } else {
            summary.append();
            summary.fieldByName("IDTPIMPOSFIS").setAsString(type);
            summary.fieldByName("VRPERCSITTRIB").setAsFloat(rate);
            summary.fieldByName("VRTOTALALIQ").setAsFloat(amount);
        }
        summary.post();
    }

    printBlock(a.colourScheme, tivhost::TamFixo(msg("Valor_"), 32) +
                                   numberColumn(totals.quantity, 9) +
                                   numberColumn(totals.value, 10) + "\n" + "\n");
    printBlock(a.colourScheme, tivhost::TamFixo(msg("RESUMOTRIBUTACAO"), 35) + "\n" + rule());

    // However many rows the summary has, every one reaches the paper.
    std::string rows;
    for (summary.first(); !summary.eof(); summary.next()) {
        const double rate = summary.fieldByName("VRPERCSITTRIB").asFloat();
        const std::string label =
            rate != 0 ? rateText(rate)
                      : zeroRateLabel(summary.fieldByName("IDTPIMPOSFIS").asString());
        rows += tivhost::TamFixo(label, 35) +
                numberColumn(summary.fieldByName("VRTOTALALIQ").asFloat(), 13) + "\n";
    }
    printBlock(a.colourScheme, rows);
}

std::string finalBlock(const Totals &t) {
    return "\n" + tivhost::TamFixo(msg("Tot_Acre"), 38) + numberColumn(t.surcharges, 13) + "\n" +
           "\n" + tivhost::TamFixo(msg("Tot_Desc"), 38) + numberColumn(t.discounts, 13) + "\n" +
           "\n" + tivhost::TamFixo(msg("Tot_Valor"), 32) + numberColumn(t.quantity, 9) +
           numberColumn(t.value, 10) + "\n" + "\n" + "\n";
}

} // namespace

namespace tiv02000 {

std::vector<std::string> productFields(bool grouped) {
    std::vector<std::string> fields{"CDPRODUTO", "CDPRODIMPFIS", "NMPRODUTO", "QTPRODVEND",
                                    "VRTOTAL",   "VRACRE",       "VRDESC"};
    if (grouped) fields.insert(fields.end(), {"IDTPIMPOSFIS", "VRPEALIMPFIS"});
    return fields;
}

double salesTotal(tiv::TClientDataSet &products) {
    double total = 0;
    for (products.first(); !products.eof(); products.next())
        total += products.fieldByName("VRTOTAL").asFloat();
    return total;
}

void productReport(const ProductReportArgs &a, std::string &reportNumber, bool &reportOpen) {
    ensureDataModule();
    const bool grouped = a.groupByTax == "S";
    // A field the report reads is checked before anything is printed, so a
    // host's list without it never leaves a report half printed.
    const tiv::TClientDataSet &host =
        requireFields(kProcedure, "of products", a.products, productFields(grouped));

    tiv::TClientDataSet &products = dataModule().dataset("cdsProdVend");
    // The table carries the taxation index from its first use, defined before it has fields:
    // a plain list need not hold the fields the index names, only a grouped one switches to it.
    if (products.fieldCount() == 0)
        products.addIndex("idxTributacao", "IDTPIMPOSFIS;VRPEALIMPFIS");
    else
        products.setIndexName("");
    loadTable(products, host);
    Totals totals;

    if (a.confirmMode == "S") {
        if (!tivhost::Mensagem(msg("ConfRelProds"), "", "N", "S", 1, "", a.colourScheme, 0,
                               nullptr))
            return;
    } else if (a.confirmMode != "N") {
        return;
    }
    tiv::processMessages();

    // The caller's flag says whether a document may still be pending; while it does, the
    // closing is sent whatever the printer shows, and its answer does not stop the report.
    if (!reportOpen) {
        (void)closeManagementReport(a.colourScheme, true, true);
        reportOpen = true;
    }
    if (products.isEmpty()) return;

    (void)openManagementReport(a.colourScheme, a.branchCode, a.tillCode, "");
    reportNumber = receiptNumber(a.colourScheme);
    printBlock(a.colourScheme, heading(a));

    if (grouped) {
        groupedLines(a, products, totals);
    } else {
        for (products.first(); !products.eof(); products.next())
            productLine(a, products, totals);
    }
    printBlock(a.colourScheme, finalBlock(totals));

    (void)closeManagementReport(a.colourScheme, true, true);
    recordDocument(a.serialNumber, a.colourScheme, "RG", "");
}

} // namespace tiv02000

extern "C" TIV_EXPORT void Relatorio_Produto(
    const std::string & /*unused1*/, const std::string &mode, const std::string &serialNumber,
    const std::string &branchCode, const std::string &tillCode, std::string &reportNumber,
    tiv::TClientDataSet *products, const std::string &confirmMode, const std::string &groupByTax,
    const std::string &colourScheme, bool &reportOpen) {
    const tiv02000::CallGuard guard;
    // The procedure has no result: a report that did not reach the paper
    // whole is told in stMensagemTaa and the debug log.
    const PaperCheck paper;
    productReport(
        {mode, serialNumber, branchCode, tillCode, products, confirmMode, groupByTax, colourScheme},
        reportNumber, reportOpen);
    if (!paper.whole()) reportIncompletePrint(kProcedure, colourScheme, false);
}
