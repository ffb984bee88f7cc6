// The ESC/ECF command family (printer type 33).
#include <string>

#include "core/amounts.h"
#include "core/binding.h"
#include "core/command_family.h"
#include "core/counters_reply.h"
#include "core/debug_log.h"
#include "core/reply.h"
#include "core/text.h"
#include "sent_lines.h"
#include "tax_codes.h"
#include "tiv02000/variables.h"
#include "tivhost/host.h"
#include "tivplatform/numbers.h"

namespace tiv02000 {

namespace {

constexpr size_t kPaymentTableSize = 881;
constexpr size_t kPaymentRecord = 44;

std::string paymentTable() {
    Reply table(kPaymentTableSize);
    (void)EPSON(EPSON_Obter_Tabela_Pagamentos)(table.data());
    return table.text();
}

// The printer's 2-character code of a payment method, searched in its
// payment table record by record until the table is used up.
std::string paymentCode(const PaymentMethod &m) {
    const std::string text = paymentTable();
    const std::string name = upper(trim(copyText(m.name, 1, 15)));
    const std::string fiscal = upper(trim(copyText(m.fiscalName, 1, 15)));
    for (size_t at = 0; at + 17 <= text.size() && !isBlank(text.substr(at)); at += kPaymentRecord) {
        const std::string recordName = upper(trim(text.substr(at + 2, 15)));
        if (recordName.empty()) continue;
        if (recordName == name || recordName == fiscal) return text.substr(at, 2);
    }
    return {};
}

// The printer's two-character index of a payment method: the record whose
// name (characters 3 to 17) equals the method's first 15 characters,
// upper-cased and trimmed. The search ends with the table.
std::optional<std::string> paymentIndex(const std::string &table, const std::string &name) {
    const std::string wanted = upper(trim(copyText(name, 1, 15)));
    if (wanted.empty()) return std::nullopt;
    for (size_t pos = 1; pos <= table.size(); pos += kPaymentRecord) {
        const std::string record = copyText(table, pos, kPaymentRecord);
        if (upper(trim(copyText(record, 3, 15))) == wanted) return copyText(record, 1, 2);
    }
    return std::nullopt;
}

std::string escKind(const std::string &kind) {
    switch (kind.empty() ? '\0' : kind[0]) {
    case '1':
        return "3";
    case '2':
        return "4";
    case '3':
        return "2";
    case '4':
        return "1";
    default:
        return "7";
    }
}

class EscEcfCommands final : public CommandFamily {
  public:
    bool bindLibrary(uintptr_t handle, std::string &missing) const override {
        return bindEntryPoints(handle, true, missing);
    }

    // This family's library log is on only when asked for.
    void switchLibraryLogOn(bool (*requested)()) const override {
        if (requested()) EPSON(EPSON_Sys_Log)("C:\\EPSON", 1);
    }

    void openDayIfClosed() const override {}

    void closeLeftDocuments() const override {
        (void)EPSON(EPSON_ESC_ECF_NaoFiscal_Fechar_ComprovanteEX)("1", "");
        (void)EPSON(EPSON_ESC_ECF_NaoFiscal_Fechar_CCD_RGEX)("1");
    }

    size_t clockReplySize() const override { return 14; }

    Sent openReceipt(const std::string &cpf, const std::string &name,
                     const std::string &address) const override {
        const std::string c = copyText(cpf, 1, 20), n = copyText(name, 1, 30),
                          a = copyText(address, 1, 40);
        return openingSent(
            EPSON(EPSON_ESC_ECF_Fiscal_Abrir_CupomEX)(c.c_str(), n.c_str(), a.c_str()), cpf, name,
            address);
    }

    std::string_view itemAdjustmentMask() const override { return "000000.00"; }

    Sent sellItem(const ItemLine &item) const override {
        const std::string code = tivhost::Ajusta(item.code, 3);
        const std::string unit = copyText(item.unit, 1, 3);
        const std::string tax = escEcfTaxName(item.taxCode);
        const int32_t rc = EPSON(EPSON_ESC_ECF_Fiscal_Vender_ItemEX)(
            code.c_str(), item.description.c_str(), tax.c_str(), unit.c_str(),
            item.quantity.c_str(), "3", item.price.c_str(), "3", "T");
        return {rc,
                "EPSON_ESC_ECF_Fiscal_Vender_ItemEX : " + code + " - " + item.description + " - " +
                    tax + " - " + item.unit + " - " + item.quantity + " - 3 - " + item.price +
                    " - 3 - T",
                command_name::kSellItem};
    }

    Sent adjustItem(const std::string &digits, bool discount) const override {
        return {EPSON(EPSON_ESC_ECF_Desconto_Acrescimo_ItemEX)(discount ? "0" : "1", "1",
                                                               digits.c_str(), ""),
                "", command_name::kAdjustItem};
    }

    Sent adjustSubtotal(const std::string &digits, bool discount) const override {
        return subtotalSent(EPSON(EPSON_ESC_ECF_Desconto_Acrescimo_SubtotalEX)(discount ? "0" : "1",
                                                                               "1", digits.c_str()),
                            digits);
    }

    // Never a payment under an empty or wrong code.
    std::optional<std::string> paymentReference(const PaymentMethod &method) const override {
        std::string code = paymentCode(method);
        if (code.empty()) return std::nullopt;
        return code;
    }

    Sent pay(const PaymentMethod &method, const std::string &reference, const std::string &amount,
             int position) const override {
        keepCardPlace(method, position);
        return paymentSent(EPSON(EPSON_ESC_ECF_Fiscal_PagamentoEX)(reference.c_str(),
                                                                   amount.c_str(), "1", "",
                                                                   escKind(method.kind).c_str()),
                           method, amount);
    }

    // A card payment's place is kept for the card voucher linked to it.
    void keepCardPlace(const PaymentMethod &method, int position) const override {
        if (method.kind == "1" || method.kind == "2") inIndiceReceb = position;
    }

    Sent closeReceipt() const override {
        return namedSent(EPSON(EPSON_ESC_ECF_Fiscal_Fechar_CupomEX)("0", "1", ""),
                         command_name::kCloseReceipt);
    }
    int receiptNumberWidth() const override { return 9; }
    Sent reduceZ() const override {
        return namedSent(EPSON(EPSON_ESC_ECF_RelatorioFiscal_RZEX)("", "", "0"),
                         command_name::kReduceZ);
    }
    Sent printFiscalMemoryReading(bool complete, bool byDates, const std::string &start,
                                  const std::string &end, const std::string &) const override {
        const int32_t rc = EPSON(EPSON_ESC_ECF_RelatorioFiscal_Leitura_MFEX)(
            complete ? "1" : "2", byDates ? "1" : "2", start.c_str(), end.c_str());
        return {rc, fiscalMemoryReadingLine(start, end, byDates, rc),
                command_name::kFiscalMemoryReading};
    }
    // The printer switches on its own, no reduction needed.
    bool switchDaylightSaving(bool inForce, const std::string &colourScheme) const override {
        return analyse({colourScheme, true},
                       namedSent(EPSON(EPSON_ESC_ECF_Config_Horario_Verao)(inForce ? "1" : "0"),
                                 "EPSON_ESC_ECF_Config_Horario_Verao"));
    }
    Sent cashMovement(bool supply, const std::string &cents) const override {
        return cashSent(EPSON(EPSON_ESC_ECF_NaoFiscal_Sangria_Fundo_TrocoEX)(supply ? "1" : "2",
                                                                             cents.c_str(), ""),
                        supply, cents);
    }
    Sent cancelItem(const std::string &number) const override {
        return cancelItemSent(EPSON(EPSON_ESC_ECF_Fiscal_Cancelar_ItemEX)(number.c_str()), number);
    }

    Sent openReport() const override {
        return namedSent(EPSON(EPSON_ESC_ECF_NaoFiscal_Abrir_Relatorio_GerencialEX)("1"),
                         command_name::kOpenReport);
    }

    Sent printReportLines(const std::string &text) const override {
        return reportLinesSent(EPSON(EPSON_ESC_ECF_NaoFiscal_Imprimir_Linha)(text.c_str()), text);
    }

    Sent closeReport() const override {
        return namedSent(EPSON(EPSON_ESC_ECF_NaoFiscal_Fechar_CCD_RGEX)("1"),
                         command_name::kCloseReport);
    }

    // Each step is logged with its answer; the closing's is judged. The
    // payment goes through the classic entry point, as the library takes it.
    VoucherRun issueUnlinkedVoucher(const std::string &totalizerName,
                                    const std::string &amountCents, const std::string &paymentName,
                                    const std::string &payment, VoucherStep from) const override {
        VoucherRun run;
        auto step = [&](VoucherStep s, auto &&send) { return voucherStep(run, from, s, send); };
        if (from <= VoucherStep::Open) {
            const int32_t rc = step(VoucherStep::Open, [] {
                return EPSON(EPSON_ESC_ECF_NaoFiscal_Abrir_ComprovanteEX)("", "", "");
            });
            logDebug("EPSON_ESC_ECF_NaoFiscal_Abrir_ComprovanteEX: " + std::to_string(rc));
        }
        if (from <= VoucherStep::Sell) {
            const int32_t rc = step(VoucherStep::Sell, [&] {
                return EPSON(EPSON_ESC_ECF_NaoFiscal_Vender_ItemEX)(totalizerName.c_str(),
                                                                    amountCents.c_str());
            });
            logDebug("EPSON_ESC_ECF_NaoFiscal_Vender_ItemEX: " + std::to_string(rc));
        }
        (void)step(VoucherStep::Pay, [&] {
            return EPSON(EPSON_NaoFiscal_Pagamento)(paymentName.c_str(), payment.c_str(), 2, "",
                                                    "");
        });
        run.judged = step(VoucherStep::Close, [] {
            return EPSON(EPSON_ESC_ECF_NaoFiscal_Fechar_ComprovanteEX)("1", "");
        });
        stImpDebug = "EPSON_ESC_ECF_NaoFiscal_Fechar_ComprovanteEX: " + std::to_string(run.judged);
        logDebug(stImpDebug);
        return run;
    }

    // The voucher is linked to its payment and takes no amount of its own.
    std::optional<std::string> cardVoucherAmount(double amount) const override {
        return tryPrinterAmount(amount, "00000000000.00", Truncation::None).value_or("");
    }

    // Linked to the payment at inIndiceReceb, under the method's index in
    // the printer's payment table; never under an empty or another index.
    std::optional<Sent> openCardVoucher(const std::string &paymentName,
                                        const std::string &) const override {
        const auto index = paymentIndex(paymentTable(), paymentName);
        if (!index) return std::nullopt;
        const int32_t rc = EPSON(EPSON_ESC_ECF_NaoFiscal_Abrir_CCDEX)(
            std::to_string(inIndiceReceb).c_str(), index->c_str(), "1", "1", "", "", "");
        return Sent{rc, "EPSON_ESC_ECF_NaoFiscal_Abrir_CCDEX: " + *index,
                    command_name::kOpenCardVoucher};
    }

    Sent readReceiptNumber(std::string &number) const override {
        Reply reply(counters::kEscDataSize);
        const int32_t rc = EPSON(EPSON_ESC_ECF_Obter_Dados)("1", "1", reply.data());
        number = copyText(reply.text(), counters::kEscCounterAt, counters::kEscCounterWidth);
        return {rc, replyLine(command_name::kReadCounters, reply.text()),
                command_name::kReadCounters};
    }

    Sent readFiscalReceiptCounter(std::string &counter) const override {
        Reply reply(counters::kEscDataSize);
        const int32_t rc = EPSON(EPSON_ESC_ECF_Obter_Dados)("1", "5", reply.data());
        counter = copyText(reply.text(), counters::kEscCounterAt, counters::kEscCounterWidth);
        return {rc, replyLine(command_name::kReadCounters, counter), command_name::kReadCounters};
    }

    Sent openDrawer() const override {
        return namedSent(EPSON(EPSON_ESC_ECF_Impressora_Abrir_Gaveta)(), command_name::kOpenDrawer);
    }

    int firstPaymentSlot() const override { return 2; }

    Sent programPaymentMethod(const std::string &slot, const std::string &name) const override {
        return paymentMethodSent(
            EPSON(EPSON_ESC_ECF_Config_Forma_Pagamento)(slot.c_str(), name.c_str(), "1"), slot,
            name);
    }

    Sent programTotalizer(const std::string &name, int32_t &number,
                          const char *direction) const override {
        const int32_t proposed = number;
        const std::string text = tiv::intToStr(number);
        const int32_t rc = EPSON(EPSON_ESC_ECF_Config_Totalizador_NaoFiscal)(
            text.c_str(), name.c_str(), direction);
        return totalizerSent(rc, name, number, proposed);
    }
};

} // namespace

const CommandFamily &escEcfCommands() {
    static const EscEcfCommands commands;
    return commands;
}

} // namespace tiv02000
