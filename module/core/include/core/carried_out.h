#pragma once
// Commands outside the sale that move money, make a fiscal record or print a document. A
// failed answer does not always mean the printer did nothing, so each such command names the
// figure the printer advances when it carries it out (a counter, a day total): the figure is
// read before the command and again after an answer that is not a clean success. A command the
// printer carried out is a success and is never sent again; one whose outcome the printer could
// not tell is not sent again until it can.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "core/command.h"

namespace tiv02000 {

// The printer's counters as EPSON_Obter_Contadores answers them.
struct PrinterCounters {
    int64_t coo = 0, crz = 0, cro = 0, gnf = 0, cdc = 0, cfc = 0, grg = 0, ccf = 0, xReadings = 0;
};
// None unless the reply is the documented one, read strictly.
std::optional<PrinterCounters> parsePrinterCounters(const std::string &reply);
std::optional<PrinterCounters> readPrinterCounters();

// A figure the printer advances exactly when it carries out one kind of command; none when
// the printer does not answer it.
using Witness = std::optional<int64_t> (*)();

namespace witness {
std::optional<int64_t> nonFiscalDocuments(); // GNF: supply, withdrawal, vouchers, reports
std::optional<int64_t> receiptsCancelled();  // CFC
std::optional<int64_t> reductions();         // CRZ
std::optional<int64_t> xReadings();          // X readings printed
std::optional<int64_t> documents();          // COO: every printed document
std::optional<int64_t> cancelledCents();     // the day's cancellations
} // namespace witness

// Reads a witness, once more when the printer does not answer the first time.
std::optional<int64_t> readWitness(Witness witness);
// A command not sent because the figure that would judge it could not be read first.
void reportWitnessUnread(const std::string &command, const Analysis &how);

// A command a call could not settle (the printer could not tell whether it carried it out, or
// holds its document part-way), kept for the host's repeat of the same call.
struct Unsettled {
    std::string key;
    int64_t before = 0; // the witness before the first call sent it
    std::string memo;
};
void keepUnsettled(Unsettled unsettled);
// The one kept for `key` in this printer session, taken away; none otherwise. Any other kept
// command is dropped: the host has moved on.
std::optional<Unsettled> takeUnsettled(const std::string &key);

struct OnceCommand {
    std::string key;  // the procedure and what it was asked: a repeat asks the same
    std::string name; // the entry point, as the debug lines name it
    Witness witness;
};

// Sends the command unless the repeat of a command whose outcome was left unknown finds it
// carried out; judges the answer with `how`. True when the printer carried the command out.
// `memo` (optional) is kept with a command left unknown and handed back when a repeat finds it
// carried out: what the first call learnt and the repeat can no longer read.
bool sendOnce(const OnceCommand &command, const Analysis &how, const std::function<Sent()> &send,
              std::string *memo = nullptr);

} // namespace tiv02000
