#include "core/carried_out.h"

#include "core/binding.h"
#include "core/counters_reply.h"
#include "core/debug_log.h"
#include "core/document_progress.h"
#include "core/error_report.h"
#include "core/reply.h"
#include "core/return_analysis.h"
#include "core/text.h"

namespace tiv02000 {

namespace {

// What the last call could not settle, with the printer session it belongs to.
struct Kept {
    uint64_t session = 0;
    Unsettled unsettled;
};
std::optional<Kept> kept;

std::optional<int64_t> counter(int64_t PrinterCounters::*field) {
    const auto c = readPrinterCounters();
    if (!c) return std::nullopt;
    return (*c).*field;
}

} // namespace

std::optional<PrinterCounters> parsePrinterCounters(const std::string &reply) {
    using namespace counters;
    if (reply.size() != kReplySize) return std::nullopt;
    PrinterCounters c;
    const auto at = [&](size_t pos, int64_t &out) { return digitsAt(reply, pos - 1, kWidth, out); };
    if (!at(kCooAt, c.coo) || !at(kCrzAt, c.crz) || !at(kCroAt, c.cro) || !at(kGnfAt, c.gnf) ||
        !at(kCdcAt, c.cdc) || !at(kCfcAt, c.cfc) || !at(kGrgAt, c.grg) || !at(kCcfAt, c.ccf) ||
        !at(kXReadingsAt, c.xReadings))
        return std::nullopt;
    return c;
}

std::optional<PrinterCounters> readPrinterCounters() {
    if (!epson().EPSON_Obter_Contadores) return std::nullopt;
    Reply reply(counters::kReplySize);
    const int32_t rc = epson().EPSON_Obter_Contadores(reply.data());
    logReply("EPSON_Obter_Contadores", reply.text());
    if (rc != 0) return std::nullopt;
    return parsePrinterCounters(reply.text());
}

namespace witness {

std::optional<int64_t> nonFiscalDocuments() {
    return counter(&PrinterCounters::gnf);
}
std::optional<int64_t> receiptsCancelled() {
    return counter(&PrinterCounters::cfc);
}
std::optional<int64_t> reductions() {
    return counter(&PrinterCounters::crz);
}
std::optional<int64_t> xReadings() {
    return counter(&PrinterCounters::xReadings);
}
std::optional<int64_t> documents() {
    return counter(&PrinterCounters::coo);
}

std::optional<int64_t> cancelledCents() {
    constexpr size_t kTotalSize = 51, kTotalWidth = 17;
    if (!epson().EPSON_Obter_Total_Cancelado) return std::nullopt;
    Reply reply(kTotalSize);
    const int32_t rc = epson().EPSON_Obter_Total_Cancelado(reply.data());
    const std::string total = reply.text().substr(0, kTotalWidth);
    logReply("EPSON_Obter_Total_Cancelado", total);
    int64_t cents = 0;
    if (rc != 0 || total.size() != kTotalWidth || !digitsAt(total, 0, kTotalWidth, cents))
        return std::nullopt;
    return cents;
}

} // namespace witness

std::optional<int64_t> readWitness(Witness witness) {
    if (auto value = witness()) return value;
    return witness();
}

void reportWitnessUnread(const std::string &command, const Analysis &how) {
    reportError({"A impressora fiscal n\xE3o informou seus contadores; o comando n\xE3o foi "
                 "enviado.",
                 " (" + command + ")"},
                how.colourScheme, how.show);
}

void keepUnsettled(Unsettled unsettled) {
    kept = Kept{printerSession(), std::move(unsettled)};
}

std::optional<Unsettled> takeUnsettled(const std::string &key) {
    std::optional<Kept> earlier;
    earlier.swap(kept);
    if (!earlier || earlier->session != printerSession() || earlier->unsettled.key != key)
        return std::nullopt;
    return std::move(earlier->unsettled);
}

bool sendOnce(const OnceCommand &command, const Analysis &how, const std::function<Sent()> &send,
              std::string *memo) {
    std::optional<int64_t> before;
    if (const auto earlier = takeUnsettled(command.key)) {
        // A repeat of a command the printer could not account for: it is sent only when the
        // printer now shows it not carried out.
        before = command.witness();
        if (!before) {
            keepUnsettled(*earlier);
            reportOutcomeUnknown(command.name, how.colourScheme, how.show);
            return false;
        }
        if (*before > earlier->before) {
            noteCarriedOut(command.name);
            if (memo) *memo = earlier->memo;
            return true;
        }
    }
    // Without the figure before it, a failed answer could not be judged: the command waits.
    if (!before) before = readWitness(command.witness);
    if (!before) {
        reportWitnessUnread(command.name, how);
        return false;
    }
    if (analyse(how, send())) return true;
    if (lastCommandRefused()) return false;
    const auto after = command.witness();
    if (after && *after > *before) {
        noteCarriedOut(command.name);
        return true;
    }
    if (after) return false;
    keepUnsettled({command.key, *before, memo ? *memo : std::string()});
    reportOutcomeUnknown(command.name, how.colourScheme, how.show);
    return false;
}

} // namespace tiv02000
