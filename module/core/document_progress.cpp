#include "core/document_progress.h"

#include "core/binding.h"
#include "core/debug_log.h"
#include "core/error_report.h"
#include "core/reply.h"
#include "core/text.h"

namespace tiv02000 {

namespace {

constexpr size_t kReplyLength = 37;
constexpr size_t kBufferSize = 40;

bool flagAt(const std::string &s, size_t pos, bool &out) {
    if (s[pos] != '0' && s[pos] != '1') return false;
    out = s[pos] == '1';
    return true;
}

uint64_t session = 0;

} // namespace

uint64_t printerSession() {
    return session;
}

void startPrinterSession() {
    ++session;
}

std::optional<DocumentProgress> parseDocumentProgress(const std::string &reply) {
    if (reply.size() != kReplyLength) return std::nullopt;
    DocumentProgress p;
    p.state = reply[0];
    if (p.state < '0' || p.state > '5') return std::nullopt;
    int64_t items = 0, payments = 0;
    // Positions are 1-based in the printer's guide; here 0-based.
    if (!digitsAt(reply, 1, 6, p.coo) || !digitsAt(reply, 7, 6, p.lastReceiptCoo) ||
        !digitsAt(reply, 13, 4, items) || !flagAt(reply, 17, p.itemDiscount) ||
        !flagAt(reply, 18, p.itemSurcharge) || !flagAt(reply, 19, p.subtotalAdjusted) ||
        !digitsAt(reply, 20, 2, payments) || !digitsAt(reply, 22, 14, p.paidCents) ||
        !flagAt(reply, 36, p.footer))
        return std::nullopt;
    p.items = static_cast<int>(items);
    p.payments = static_cast<int>(payments);
    return p;
}

std::optional<DocumentProgress> readDocumentProgress() {
    if (!epson().EPSON_Obter_Informacao_Ultimo_Documento) return std::nullopt;
    Reply reply(kBufferSize);
    const int32_t rc = epson().EPSON_Obter_Informacao_Ultimo_Documento(reply.data());
    logReply("EPSON_Obter_Informacao_Ultimo_Documento", reply.text());
    if (rc != 0) return std::nullopt;
    return parseDocumentProgress(reply.text());
}

void noteCarriedOut(const std::string &command) {
    logDebug(command + " : executado pela impressora, nao sera enviado novamente");
}

void reportOutcomeUnknown(const std::string &command, const std::string &colourScheme, bool show) {
    reportError({"A impressora fiscal n\xE3o informou se executou o comando; ele n\xE3o ser\xE1 "
                 "enviado novamente enquanto ela n\xE3o responder.",
                 " (" + command + ")"},
                colourScheme, show);
}

} // namespace tiv02000
