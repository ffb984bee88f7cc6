// The till closing: the withdrawal receipt, the closing report of the
// opening and, after the operator's questions, the general closing report,
// each closing report preceded by its product report.
#include <optional>
#include <string>
#include <vector>

#include "core/call_guard.h"
#include "core/data_module.h"
#include "core/debug_log.h"
#include "core/document_progress.h"
#include "core/text.h"
#include "documents/documents.h"
#include "fiscal_day.h"
#include "host_tables.h"
#include "product_report.h"
#include "queries/queries.h"
#include "report_blocks.h"
#include "tiv02000/procedures.h"
#include "tivhost/host.h"
#include "tivplatform/numbers.h"
#include "withdrawal_receipt.h"

using namespace tiv02000;

namespace {

constexpr const char *kProcedure = "GeraReciboSangria";
constexpr int kColumns = 48;

const std::vector<std::string> kMovementFields{"IDTIPOREG", "NMTIPORECE", "VRSAIDA"};

std::vector<tiv::FieldDef> movementTable() {
    return {{"IDTIPOREG", tiv::FieldType::String, 1},
            {"NMTIPORECE", tiv::FieldType::String, 40},
            {"VRSAIDA", tiv::FieldType::Float}};
}

struct Closing {
    std::string serialNumber, cerKey1, cerKey2, colourScheme;
    std::string &receiptCounter;
    tiv::TClientDataSet *openingProducts, *dayProducts, *movAbertura;
    std::string productConfirmMode, productGrouping;
    double creditSold = 0;
};

bool ask(const std::string &key, const std::string &colourScheme) {
    return tivhost::Mensagem(msg(key), "", "N", "S", 1, "", colourScheme, 0, nullptr);
}

// A new management report for what follows, recorded when it opened; its
// counter fills a blank receipt counter.
bool openReport(const Closing &c) {
    const bool opened = openManagementReport(c.colourScheme, c.cerKey1, c.cerKey2, "");
    if (opened) recordDocument(c.serialNumber, c.colourScheme, "RG", "");
    fillWhenBlank(c.receiptCounter, receiptNumber(c.colourScheme));
    return opened;
}

void productReportOf(const Closing &c, const char *mode, tiv::TClientDataSet *products,
                     bool &newReport) {
    std::string number;
    productReport({mode, c.serialNumber, c.cerKey1, c.cerKey2, products, c.productConfirmMode,
                   c.productGrouping, c.colourScheme},
                  number, newReport);
    fillWhenBlank(c.receiptCounter, number);
}

std::string line(const std::string &label, double amount) {
    return tivhost::TamFixo(label, 33) + numberColumn(amount, 15) + "\n";
}

// The closing report into the open report: sales against what left the till,
// ending in a shortage or a surplus. `movements` null prints no movement row.
void printClosingReport(const Closing &c, const std::string &title, double sales,
                        tiv::TClientDataSet *movements) {
    const std::string rule = tivhost::Replicate("-", kColumns) + "\n";
    printBlock(c.colourScheme, tivhost::Centraliza(title, 47) + "\n" + "\n" +
                                   tivhost::TamFixo(msg("Vendas"), 35) + numberColumn(sales, 13) +
                                   "\n" + tivhost::TamFixo("Compra de Credito", 35) +
                                   numberColumn(c.creditSold, 13) + "\n" + rule);

    double outgoing = 0, issued = 0, supply = 0, received = 0;
    if (movements != nullptr && !movements->isEmpty()) {
        for (movements->first(); !movements->eof(); movements->next()) {
            const std::string kind = text(*movements, "IDTIPOREG");
            const double amount = value(*movements, "VRSAIDA");
            if (kind == "1" || kind == "5") {
                printBlock(c.colourScheme, line(text(*movements, "NMTIPORECE"), amount));
                outgoing += amount;
            } else if (kind == "2") {
                issued = amount;
            } else if (kind == "3") {
                supply = amount;
            } else if (kind == "4") {
                received = amount;
            }
        }
    }

    // Cents decide: a sum that is off by a binary fraction is no shortage.
    const double withdrawals = tiv::roundDec(outgoing + received - supply - issued, 2);
    const double difference = tiv::roundDec(withdrawals - sales - c.creditSold, 2);
    printBlock(c.colourScheme, line(msg("CV-RECEBIDO") + "(+)", received) +
                                   line(msg("CV-EMITIDO") + "(-)", issued) +
                                   line(upper(msg("Suprimento")) + "(-)", supply) + rule +
                                   line(msg("Sangrias"), withdrawals) + "\n" +
                                   line(msg(difference < 0 ? "Falta" : "Sobra"), difference));
}

// What an incomplete closing got onto the paper, kept for the host's repeat of the same
// closing (the same till, the same withdrawals and closing values, in this printer session):
// its X reading and a withdrawal receipt printed whole are fiscal and cash documents, printed
// once.
struct ClosingProgress {
    uint64_t session = 0;
    std::string key, counter;
    bool xReading = false, receipt = false;
};
std::optional<ClosingProgress> keptClosing;

// A table's rows as text, for the key of a closing; a table never given fields is empty.
std::string rowsText(const tiv::TClientDataSet &table) {
    try {
        return table.dataPacket();
    } catch (const std::exception &) {
        return "";
    }
}

ClosingProgress resumeClosing(const std::string &key) {
    return resumeProgress(keptClosing, key);
}

// The title of the general closing report. Its catalogue key has no entry,
// and the key itself is no title a cashier should read on paper.
std::string generalTitle() {
    const std::string title = msg("relFechamentoGeral");
    return title == "relFechamentoGeral" ? "RELATORIO DE FECHAMENTO GERAL" : title;
}

// The host's tables a closing reads, and what decides which of them it needs.
struct HostTables {
    tiv::TClientDataSet *closingValues, *withdrawals, *people, *methods, *opening, *day;
    tiv::TClientDataSet *openingProducts, *dayProducts, *creditSold;
};
struct Asked {
    bool printReceipt, askReduction, withdrawalOnly, repeatCall, confirmReduction;
    std::string printXReadingFirst, envelopeColumn;
};

// Every table this call reads is checked before the first line is printed, and loaded into
// the data module: a missing one never leaves the closing half on paper. A repeat reads only
// what may have changed.
void loadClosingTables(TdtmEpson2000 &dm, const HostTables &h, const Asked &asked,
                       const std::string &productGrouping) {
    if (!asked.repeatCall) {
        const auto &fecha = requireFields(kProcedure, "of closing values", h.closingValues,
                                          {"NRENVELOPE", "NMTIPORECE", "VRFECHADIG", "VRFECHAINF"});
        const auto &withdrawals = requireFields(kProcedure, "of withdrawals", h.withdrawals, {});
        const auto &people =
            requireFields(kProcedure, "of supervisor and operator", h.people,
                          {"CDSUPERVISOR", "NMSUPERVISOR", "CDOPERADOR", "NMOPERADOR"});
        const auto &methods = requireFields(kProcedure, "of payment methods", h.methods, {});
        const auto &opening =
            requireFields(kProcedure, "of the opening's movements", h.opening, kMovementFields);
        loadTable(dm.dataset("cdsMovFecha"), fecha,
                  {{"CDTIPORECE", tiv::FieldType::String, 3},
                   {"NRENVELOPE", tiv::FieldType::String, 6},
                   {"NMTIPORECE", tiv::FieldType::String, 40},
                   {"VRFECHADIG", tiv::FieldType::Float},
                   {"VRFECHAINF", tiv::FieldType::Float},
                   {"DTABERCAIX", tiv::FieldType::DateTime}});
        loadTable(dm.dataset("cdsSangria"), withdrawals);
        loadTable(dm.dataset("cdsOperadorSup"), people);
        loadTable(dm.dataset("cdsTipoReceAux"), methods);
        loadTable(dm.dataset("cdsMovAbertura"), opening, movementTable());
    }
    loadTable(dm.dataset("cdsMovTot"),
              requireFields(kProcedure, "of the day's movements", h.day, kMovementFields),
              movementTable());
    if (!asked.withdrawalOnly) {
        const auto fields = productFields(productGrouping == "S");
        if (asked.printReceipt)
            requireFields(kProcedure, "of the opening's products", h.openingProducts, fields);
        requireFields(kProcedure, "of the day's products", h.dayProducts, fields);
    }
    requireFields(kProcedure, "of the credit sold", h.creditSold, {"VRCARGACREDITO"});
}

// One run of the till closing, from its loaded tables to its verdict.
struct TillClosing {
    Closing c;
    Asked asked;
    bool &closingReached;
    TdtmEpson2000 &dm;
    tiv::TClientDataSet &movements = dm.dataset("cdsMovTot");
    // A closing with a document or a line missing is no closing to sign or to count the till
    // by: the operator is told, the result is false and closingReached stays false.
    const PaperCheck paper{};
    bool xReadingPrinted = true, receiptPrinted = true;
    ClosingProgress progress = resumeClosing(
        c.serialNumber + (asked.withdrawalOnly ? " S " : " N ") + asked.printXReadingFirst +
        asked.envelopeColumn + (asked.printReceipt ? " recibo " : " ") +
        rowsText(dm.dataset("cdsSangria")) + rowsText(dm.dataset("cdsMovFecha")));
    // False before a product report: it closes what is still open. True after it: what
    // follows needs a report of its own.
    bool newReport = false;

    bool finish(bool result) {
        if (paper.whole() && xReadingPrinted && receiptPrinted) return result;
        keptClosing = progress;
        reportIncompletePrint(kProcedure, c.colourScheme, true);
        closingReached = false;
        return false;
    }

    // The X reading first when asked for, once for a closing and its repeats.
    void xReading() {
        if (asked.printXReadingFirst != "S") return;
        if (progress.xReading) {
            c.receiptCounter = progress.counter;
            logDebug(std::string(kProcedure) + ": leitura X ja impressa por esta conclusao do "
                                               "caixa; nao sera impressa novamente");
            return;
        }
        xReadingPrinted = printXReading(c.serialNumber, c.colourScheme);
        if (!xReadingPrinted) return;
        c.receiptCounter = receiptNumber(c.colourScheme);
        progress.xReading = true;
        progress.counter = c.receiptCounter;
    }

    // An opening judged failed skips both copies, even when the status read after it is what
    // failed: the receipt is then missing. A withdrawal on its own closes its report here.
    void withdrawalReceipt() {
        const PaperCheck receiptPaper;
        receiptPrinted = openReport(c);
        if (receiptPrinted)
            printWithdrawalCopies(
                {c.colourScheme, asked.envelopeColumn == "S", asked.withdrawalOnly});
        if (!asked.withdrawalOnly) return;
        const bool closed = closeManagementReport(c.colourScheme, true, true);
        progress.receipt = receiptPrinted && closed && receiptPaper.whole();
    }

    // A product report, then the closing report when the day moved any money.
    void closingReport(const char *mode, tiv::TClientDataSet *products, const std::string &title,
                       tiv::TClientDataSet *movementRows) {
        productReportOf(c, mode, products, newReport);
        if (movements.isEmpty()) return;
        if (newReport) newReport = openReport(c);
        printClosingReport(c, title, salesTotal(*products), movementRows);
        (void)closeManagementReport(c.colourScheme, true, true);
    }

    bool run() {
        if (asked.printReceipt) {
            xReading();
            if (asked.withdrawalOnly && progress.receipt) {
                logDebug(std::string(kProcedure) +
                         ": recibo de sangria ja impresso por esta "
                         "conclusao do caixa; nao sera impresso novamente");
                return finish(false);
            }
            withdrawalReceipt();
            if (asked.withdrawalOnly) return finish(false);
            newReport = false;
            // The opening's rows count only when the host sent some this time.
            tiv::TClientDataSet *opening = c.movAbertura != nullptr && !c.movAbertura->isEmpty()
                                               ? &dm.dataset("cdsMovAbertura")
                                               : nullptr;
            closingReport("A", c.openingProducts, msg("RelFechamento"), opening);
        }
        // A withdrawal on its own prints nothing else.
        if (asked.withdrawalOnly) return finish(false);
        if (!asked.repeatCall) {
            if (ask("AbreCaixa", c.colourScheme)) return finish(true);
            if (!(asked.askReduction && asked.confirmReduction)) return finish(false);
            if (!ask("ConfReducao", c.colourScheme)) return finish(false);
        }
        if (ask("ConfRelFechamento", c.colourScheme)) {
            newReport = true;
            closingReport("D", c.dayProducts, generalTitle(), &movements);
        }
        if (!asked.repeatCall) closingReached = true;
        return finish(false);
    }
};

} // namespace

extern "C" TIV_EXPORT bool GeraReciboSangria(
    const std::string & /*unused1*/, const std::string &serialNumber, const std::string &cerKey1,
    const std::string &cerKey2, const std::string & /*unused5*/, int32_t /*unused6*/,
    std::string &receiptCounter, tiv::TClientDataSet *movFecha, tiv::TClientDataSet *sangria,
    tiv::TClientDataSet *openingProducts, tiv::TClientDataSet *operadorSup,
    tiv::TClientDataSet *movTot, tiv::TClientDataSet *movAbertura, tiv::TClientDataSet *dayProducts,
    tiv::TClientDataSet *creditSold, tiv::TDateTime /*unused16*/, bool printReceipt,
    bool askReduction, bool /*unused19*/, tiv::TClientDataSet *& /*unused20*/,
    tiv::TClientDataSet *& /*unused21*/, tiv::TClientDataSet *& /*unused22*/,
    tiv::TClientDataSet *& /*unused23*/, bool &closingReached, tiv::TClientDataSet *tipoReceAux,
    const std::string &productConfirmMode, const std::string &productGrouping,
    const std::string &printXReadingFirst, const std::string &envelopeColumn,
    const std::string &colourScheme, bool withdrawalOnly, bool repeatCall, bool confirmReduction,
    const std::string & /*unused34*/, const std::string & /*unused35*/) {
    const tiv02000::CallGuard guard;
    TdtmEpson2000 &dm = ensureDataModule();
    closingReached = false;
    const Asked asked{printReceipt,     askReduction,       withdrawalOnly, repeatCall,
                      confirmReduction, printXReadingFirst, envelopeColumn};
    loadClosingTables(dm,
                      {movFecha, sangria, operadorSup, tipoReceAux, movAbertura, movTot,
                       openingProducts, dayProducts, creditSold},
                      asked, productGrouping);
    TillClosing closing{{serialNumber, cerKey1, cerKey2, colourScheme, receiptCounter,
                         openingProducts, dayProducts, movAbertura, productConfirmMode,
                         productGrouping, value(*creditSold, "VRCARGACREDITO")},
                        asked,
                        closingReached,
                        dm};
    return closing.run();
}
