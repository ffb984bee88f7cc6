// The two copies of the withdrawal receipt.
#include "withdrawal_receipt.h"

#include "core/data_module.h"
#include "host_tables.h"
#include "report_blocks.h"
#include "tivhost/host.h"

namespace tiv02000 {

namespace {

constexpr int kColumns = 48;

std::string rule() {
    return tivhost::Replicate("-", kColumns) + "\n";
}

std::string columnHeader(bool envelopeColumn) {
    const std::string columns =
        tivhost::TamFixo(msg("Modalidade"), 25) + " " + tivhost::TamFixoR(msg("Valor_"), 15) + "\n";
    return envelopeColumn ? msg("Envelope") + " " + columns : columns;
}

// The signature line of a copy, from the first row of the supervisor and operator.
std::string signature(bool supervisor) {
    tiv::TClientDataSet &people = dataModule().dataset("cdsOperadorSup");
    if (!people.isEmpty()) people.first();
    const std::string line = supervisor ? msg("Superv") + " : " + text(people, "CDSUPERVISOR") +
                                              " " + text(people, "NMSUPERVISOR")
                                        : msg("Operador") + " : " + text(people, "CDOPERADOR") +
                                              " " + text(people, "NMOPERADOR");
    return line.substr(0, kColumns) + "\n";
}

} // namespace

void printWithdrawalCopies(const WithdrawalReceipt &r) {
    tiv::TClientDataSet &rows = dataModule().dataset("cdsMovFecha");
    // The lines printed so far over both copies; every tenth after the
    // first three gets an empty line before the signature.
    int lines = 0;
    for (int copy = 1; copy <= 2; ++copy) {
        const bool first = copy == 1;
        std::string blockA;
        if (first) {
            blockA += "\n";
            ++lines;
        }
        blockA += tivhost::Centraliza(msg(first ? "RecSangria3" : "RecSangria1"), kColumns) + "\n";
        blockA += rule() + columnHeader(r.envelopeColumn);
        lines += 3;
        printBlock(r.colourScheme, blockA);

        double total = 0;
        if (!rows.isEmpty()) {
            for (rows.first(); !rows.eof(); rows.next()) {
                const double amount = value(rows, r.typedValues ? "VRFECHADIG" : "VRFECHAINF");
                printBlock(r.colourScheme, text(rows, "NRENVELOPE") + " " +
                                               tivhost::TamFixo(text(rows, "NMTIPORECE"), 25) +
                                               " " + numberColumn(amount, 15) + "\n");
                total += amount;
                ++lines;
            }
        }

        std::string blockB =
            tivhost::TamFixo(msg("Sangrias"), 27) + numberColumn(total, 15) + "\n" + "\n";
        lines += 2;
        if ((lines - 3) % 10 == 0) {
            blockB += "\n";
            ++lines;
        }
        blockB += rule() + signature(first);
        lines += 2;
        printBlock(r.colourScheme, blockB);
    }
}

} // namespace tiv02000
