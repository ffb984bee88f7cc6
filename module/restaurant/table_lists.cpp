// Lists the restaurant prints from a dataset the host sends: the open tables
// and orders, and the items moved from one table to another.
#include <exception>
#include <string>
#include <utility>

#include "core/call_guard.h"
#include "core/data_module.h"
#include "documents/data_packet.h"
#include "documents/documents.h"
#include "documents/printed_amount.h"
#include "tiv02000/procedures.h"
#include "tivhost/host.h"
#include "tivplatform/datetime.h"
#include "tivplatform/numbers.h"

using namespace tiv02000;

namespace {

std::string issuedAt() {
    return "Data Emiss\xE3o: " + tiv::formatDateTime("dd/mm/yyyy hh:nn:ss", tiv::now());
}

// What an order label stands for, by its first three characters.
enum class OrderKind { Table, SelfServiceOrder, Order };

OrderKind orderKind(const std::string &label) {
    const std::string prefix = label.substr(0, 3);
    if (prefix == "RES" || prefix == "PKR") return OrderKind::Table;
    if (prefix == "DLV") return OrderKind::SelfServiceOrder;
    return OrderKind::Order;
}

std::string groupHeading(OrderKind kind) {
    switch (kind) {
    case OrderKind::Table:
        return "Mesas Abertas:\nNr\xBA da Mesa      Data/Hora de abertura\n";
    case OrderKind::SelfServiceOrder:
        return "Comandas Pedivox Abertas:\nNr\xBA da Comanda   Data/Hora de abertura\n";
    case OrderKind::Order:
        break;
    }
    return "Comandas Abertas:\nNr\xBA da Comanda   Data/Hora de abertura\n";
}

bool printOpenTables(const std::string &cerKey1, const std::string &cerKey2,
                     const std::string &colourScheme, const std::string &serialNumber,
                     const tiv::Variant &openTables) {
    auto &tables = dataModule().dataset("cdsMesaAberTiv");
    loadDataPacket(tables, openTables);
    const PaperCheck paper;
    (void)openManagementReport(colourScheme, cerKey1, cerKey2, "");
    (void)printReportText(colourScheme, std::string(15, ' ') + "Mesas Abertas\n\n");
    (void)printReportText(colourScheme, issuedAt() + "\n");
    if (tables.active()) {
        bool first = true;
        OrderKind previous = OrderKind::Order;
        for (tables.first(); !tables.eof(); tables.next()) {
            const std::string label = tables.fieldByName("DSCOMANDA").asString();
            const OrderKind kind = orderKind(label);
            if (first || kind != previous) {
                if (!first) (void)printReportText(colourScheme, "\n\n");
                (void)printReportText(colourScheme, groupHeading(kind));
            }
            const std::string opened = tables.fieldByName("DTHRABERMESA").asString();
            (void)printReportText(colourScheme, kind == OrderKind::Table
                                                    ? tables.fieldByName("NRMESA").asString() +
                                                          std::string(13, ' ') + opened + "\n"
                                                    : label + std::string(7, ' ') + opened + "\n");
            first = false;
            previous = kind;
        }
    }
    (void)printReportText(colourScheme, "\n");
    (void)closeManagementReport(colourScheme, true, false);
    recordDocument(serialNumber, colourScheme, "RG", "");
    // A list with a table missing would have the waiter miss it: true only
    // when every line reached the paper.
    if (paper.whole()) return true;
    reportIncompletePrint("ImprimeMesasAbertas", colourScheme, false);
    return false;
}

// An item moved between tables: code, name and quantity in 37 columns, the
// unit price in the 10 after a blank.
std::string transferLine(tiv::TClientDataSet &items, const std::string &colourScheme) {
    const double quantity = items.fieldByName("QTPRODCOMVEN").asFloat();
    const double price = items.fieldByName("VRPRECCOMVEN").asFloat();
    const std::string left = items.fieldByName("CDPRODUTO").asString() + " " +
                             tivhost::TamFixo(items.fieldByName("NMPRODUTO").asString(), 19) + " ";
    // The quantity closes the 37 columns: a wider text would lose its digits.
    const size_t room = left.size() < 37 ? 37 - left.size() : 0;
    const std::string quantityText =
        fitAmount("Quantidade", quantity, tiv::formatFixed(quantity, 2), room, colourScheme);
    return tivhost::TamFixo(left + quantityText, 37) + " " +
           tivhost::TamFixoR(
               fitAmount("Valor unit\xE1rio", price, tiv::formatCurrency(price), 10, colourScheme),
               10) +
           "\n";
}

// Prints the transfers; false when an amount its column cannot hold stopped
// the print or a part of it did not reach the paper, each told in
// stMensagemTaa and the debug log, as the host gets no result.
bool printTransfers(const std::string &cerKey1, const std::string &cerKey2,
                    const std::string &colourScheme, const std::string &serialNumber,
                    const tiv::Variant &packet) {
    auto &items = dataModule().dataset("cdsProdutoTransf");
    loadDataPacket(items, packet);

    // Every line is built before the report opens, so an amount its column
    // cannot hold stops the print before anything is printed.
    std::string body;
    if (items.active()) {
        bool first = true;
        std::pair<std::string, std::string> previous;
        try {
            for (items.first(); !items.eof(); items.next()) {
                std::pair<std::string, std::string> tablesOfRow{
                    items.fieldByName("NRMESA").asString(),
                    items.fieldByName("NRMESADSCOMORIT").asString()};
                if (first || tablesOfRow != previous) {
                    if (!first) body += "\n";
                    body += "Mes Origem: " + tablesOfRow.second +
                            " -> Mesa Destino: " + tablesOfRow.first + "\n";
                    body += "C\xF3"
                            "digo  -  Nome Produto   -    Qtde. -  Vr Unit.\n";
                }
                body += transferLine(items, colourScheme);
                first = false;
                previous = std::move(tablesOfRow);
            }
        } catch (const AmountRefused &) {
            return false;
        }
    }

    const PaperCheck paper;
    (void)openManagementReport(colourScheme, cerKey1, cerKey2, "");
    (void)printReportText(colourScheme, issuedAt() + "\n\n\n");
    // One print per line, as the host's layout is line by line.
    size_t from = 0;
    while (from < body.size()) {
        const size_t lf = body.find('\n', from);
        (void)printReportText(colourScheme, body.substr(from, lf - from + 1));
        from = lf + 1;
    }
    (void)printReportText(colourScheme, "\n");
    (void)closeManagementReport(colourScheme, true, false);
    recordDocument(serialNumber, colourScheme, "RG", "");
    if (paper.whole()) return true;
    reportIncompletePrint("imprimeProdutosTransf", colourScheme, false);
    return false;
}

} // namespace

extern "C" TIV_EXPORT bool
ImprimeMesasAbertas(tiv::TClientDataSet *& /*unused1*/, const std::string &cerKey1,
                    const std::string &cerKey2, const std::string &colourScheme,
                    const std::string &serialNumber, const tiv::Variant &openTables) {
    const tiv02000::CallGuard guard;
    try {
        return printOpenTables(cerKey1, cerKey2, colourScheme, serialNumber, openTables);
    } catch (const std::exception &) {
        return false;
    }
}

extern "C" TIV_EXPORT void imprimeProdutosTransf(const std::string &cerKey1,
                                                 const std::string &cerKey2,
                                                 const std::string &colourScheme,
                                                 const std::string &serialNumber,
                                                 const tiv::Variant &items) {
    const tiv02000::CallGuard guard;
    (void)printTransfers(cerKey1, cerKey2, colourScheme, serialNumber, items);
}
