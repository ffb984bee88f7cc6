// The classic command family (printer type 31).
#include <string>

#include "core/amounts.h"
#include "core/binding.h"
#include "core/carried_out.h"
#include "core/command_family.h"
#include "core/counters_reply.h"
#include "core/data_module.h"
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

class ClassicCommands final : public CommandFamily {
  public:
    bool bindLibrary(uintptr_t handle, std::string &missing) const override {
        return bindEntryPoints(handle, false, missing);
    }

    // This family's library log is always on.
    void switchLibraryLogOn(bool (*)()) const override {
        EPSON(EPSON_Sys_Log)("C:\\EPSON", 1);
    }

    void openDayIfClosed() const override {
        Reply journey(67);
        (void)EPSON(EPSON_Obter_Dados_Jornada)(journey.data());
        if (copyText(journey.text(), 65, 1) == "0") (void)EPSON(EPSON_RelatorioFiscal_Abrir_Dia)();
    }

    void closeLeftDocuments() const override {
        (void)EPSON(EPSON_NaoFiscal_Fechar_Comprovante)(1);
        (void)EPSON(EPSON_NaoFiscal_Fechar_Relatorio_Gerencial)(1);
    }

    size_t clockReplySize() const override { return 15; }

    Sent openReceipt(const std::string &cpf, const std::string &name,
                     const std::string &address) const override {
        const std::string c = copyText(cpf, 1, 20), n = copyText(name, 1, 30),
                          a = copyText(address, 1, 40);
        return openingSent(EPSON(EPSON_Fiscal_Abrir_Cupom)(c.c_str(), n.c_str(), a.c_str(), "", 2),
                           cpf, name, address);
    }

    std::string_view itemAdjustmentMask() const override { return "000000.000"; }

    Sent sellItem(const ItemLine &item) const override {
        const std::string unit = copyText(item.unit, 1, 2);
        const std::string tax = classicTaxName(item.taxCode);
        const int32_t rc = EPSON(EPSON_Fiscal_Vender_Item)(
            item.code.c_str(), item.description.c_str(), item.quantity.c_str(), 3, unit.c_str(),
            item.price.c_str(), 3, tax.c_str(), 1);
        return {rc,
                "EPSON_Fiscal_Vender_Item : " + item.code + " - " + item.description + " - " +
                    item.quantity + " - 3 - " + item.unit + " - " + item.price + " - 3 - " +
                    item.taxCode + " - 1",
                command_name::kSellItem};
    }

    Sent adjustItem(const std::string &digits, bool discount) const override {
        return {EPSON(EPSON_Fiscal_Desconto_Acrescimo_Item)(digits.c_str(), 3, discount ? 1 : 0, 0),
                "", command_name::kAdjustItem};
    }

    Sent adjustSubtotal(const std::string &digits, bool discount) const override {
        return subtotalSent(
            EPSON(EPSON_Fiscal_Desconto_Acrescimo_Subtotal)(digits.c_str(), 2, discount ? 1 : 0, 0),
            digits);
    }

    // Paid under the method's fiscal name (its name when it has none).
    std::optional<std::string> paymentReference(const PaymentMethod &method) const override {
        return copyText(method.fiscalName.empty() ? method.name : method.fiscalName, 1, 15);
    }

    Sent pay(const PaymentMethod &method, const std::string &reference, const std::string &amount,
             int) const override {
        return paymentSent(
            EPSON(EPSON_Fiscal_Pagamento)(reference.c_str(), amount.c_str(), 2, "", ""), method,
            amount);
    }

    // No card voucher of this family is linked by the payment's place.
    void keepCardPlace(const PaymentMethod &, int) const override {}

    Sent closeReceipt() const override {
        return namedSent(EPSON(EPSON_Fiscal_Fechar_Cupom)(1, 0), command_name::kCloseReceipt);
    }
    int receiptNumberWidth() const override { return 6; }
    Sent reduceZ() const override {
        return namedSent(EPSON(EPSON_RelatorioFiscal_RZEx)(2), command_name::kReduceZ);
    }
    Sent printFiscalMemoryReading(bool complete, bool byDates, const std::string &start,
                                  const std::string &end, const std::string &file) const override {
        const int32_t code = byDates ? (complete ? 5 : 7) : (complete ? 4 : 6);
        Reply buffer(1024);
        const int32_t rc = EPSON(EPSON_RelatorioFiscal_Leitura_MF)(
            start.c_str(), end.c_str(), code, buffer.data(), file.c_str(), 0, 1024);
        return {rc, fiscalMemoryReadingLine(start, end, byDates, rc),
                command_name::kFiscalMemoryReading};
    }

    // The switch comes only with a Z reduction, which the operator confirms first; the
    // reduction is a fiscal record, sent once, and the next day is opened whatever it answered.
    bool switchDaylightSaving(bool inForce, const std::string &colourScheme) const override {
        ensureDataModule();
        if (!tivhost::Mensagem(msg2("ConfRedZ"), "", "N", "S", 1, "", colourScheme, 0, nullptr))
            return false;
        const bool ok = sendOnce({"Muda_Horario", command_name::kReduceZ, witness::reductions},
                                 {colourScheme, true}, [&] {
                                     return namedSent(EPSON(EPSON_RelatorioFiscal_RZEx)(inForce),
                                                      command_name::kReduceZ);
                                 });
        (void)EPSON(EPSON_RelatorioFiscal_Abrir_Dia)();
        return ok;
    }

    Sent cashMovement(bool supply, const std::string &cents) const override {
        return cashSent(supply ? EPSON(EPSON_NaoFiscal_Fundo_Troco)(cents.c_str(), 2)
                               : EPSON(EPSON_NaoFiscal_Sangria)(cents.c_str(), 2),
                        supply, cents);
    }
    Sent cancelItem(const std::string &number) const override {
        return cancelItemSent(EPSON(EPSON_Fiscal_Cancelar_Item)(number.c_str()), number);
    }

    Sent openReport() const override {
        return namedSent(EPSON(EPSON_NaoFiscal_Abrir_Relatorio_Gerencial)("1"),
                         command_name::kOpenReport);
    }

    Sent printReportLines(const std::string &text) const override {
        return reportLinesSent(EPSON(EPSON_NaoFiscal_Imprimir_LinhaEX)(text.c_str()), text);
    }

    Sent closeReport() const override {
        return namedSent(EPSON(EPSON_NaoFiscal_Fechar_Relatorio_Gerencial)(1),
                         command_name::kCloseReport);
    }

    // The payment's answer is judged (the closing's when the payment was not sent); the
    // closing's is recorded.
    VoucherRun issueUnlinkedVoucher(const std::string &totalizerName,
                                    const std::string &amountCents, const std::string &paymentName,
                                    const std::string &payment, VoucherStep from) const override {
        VoucherRun run;
        auto step = [&](VoucherStep s, auto &&send) { return voucherStep(run, from, s, send); };
        (void)step(VoucherStep::Open,
                   [] { return EPSON(EPSON_NaoFiscal_Abrir_Comprovante)("", "", "", "", 1); });
        (void)step(VoucherStep::Sell, [&] {
            return EPSON(EPSON_NaoFiscal_Vender_Item)(totalizerName.c_str(), amountCents.c_str(),
                                                      2);
        });
        const int32_t payRc = step(VoucherStep::Pay, [&] {
            return EPSON(EPSON_NaoFiscal_Pagamento)(paymentName.c_str(), payment.c_str(), 2, "",
                                                    "");
        });
        const int32_t closeRc =
            step(VoucherStep::Close, [] { return EPSON(EPSON_NaoFiscal_Fechar_Comprovante)(1); });
        stImpDebug = "EPSON_NaoFiscal_Fechar_Comprovante: " + std::to_string(closeRc);
        run.judged = from <= VoucherStep::Pay ? payRc : closeRc;
        return run;
    }

    // The voucher is opened with the payment's amount: one that does not fit is refused.
    std::optional<std::string> cardVoucherAmount(double amount) const override {
        return tryPrinterAmount(amount, "00000000000.00", Truncation::None);
    }

    std::optional<Sent> openCardVoucher(const std::string &paymentName,
                                        const std::string &amountCents) const override {
        const std::string name = copyText(paymentName, 1, 15);
        const int32_t rc =
            EPSON(EPSON_NaoFiscal_Abrir_CCD)(name.c_str(), amountCents.c_str(), 2, "1");
        return Sent{rc, std::string(command_name::kOpenCardVoucher) + " : " + name + " -  - ",
                    command_name::kOpenCardVoucher};
    }

    Sent readReceiptNumber(std::string &number) const override {
        Reply reply(counters::kReplySize);
        const int32_t rc = EPSON(EPSON_Obter_Contadores)(reply.data());
        number = copyText(reply.text(), counters::kCooAt, counters::kWidth);
        return {rc, replyLine(command_name::kReadCounters, reply.text()),
                command_name::kReadCounters};
    }

    Sent readFiscalReceiptCounter(std::string &counter) const override {
        Reply reply(counters::kReplySize);
        const int32_t rc = EPSON(EPSON_Obter_Contadores)(reply.data());
        counter = copyText(reply.text(), counters::kCcfAt, counters::kWidth);
        return {rc, replyLine(command_name::kReadCounters, counter), command_name::kReadCounters};
    }

    Sent openDrawer() const override {
        return namedSent(EPSON(EPSON_Impressora_Abrir_Gaveta)(), command_name::kOpenDrawer);
    }

    int firstPaymentSlot() const override { return 1; }

    Sent programPaymentMethod(const std::string &slot, const std::string &name) const override {
        return paymentMethodSent(EPSON(EPSON_Config_Forma_Pagamento)(1, slot.c_str(), name.c_str()),
                                 slot, name);
    }

    Sent programTotalizer(const std::string &name, int32_t &number, const char *) const override {
        const int32_t proposed = number;
        const int32_t rc = EPSON(EPSON_Config_Totalizador_NaoFiscal)(name.c_str(), &number);
        return totalizerSent(rc, name, number, proposed);
    }
};

} // namespace

const CommandFamily &classicCommands() {
    static const ClassicCommands commands;
    return commands;
}

} // namespace tiv02000
