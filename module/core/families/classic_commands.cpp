// The classic command family (printer type 31).
#include <string>

#include "core/binding.h"
#include "core/command_family.h"
#include "core/counters_reply.h"
#include "core/reply.h"
#include "core/text.h"
#include "tax_codes.h"
#include "tiv02000/variables.h"

namespace tiv02000 {

namespace {

class ClassicCommands final : public CommandFamily {
  public:
    bool needsEscEcfEntryPoints() const override { return false; }
    bool libraryLogOnRequest() const override { return false; }

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

    int32_t openReceipt(const std::string &cpf, const std::string &name,
                        const std::string &address) const override {
        return EPSON(EPSON_Fiscal_Abrir_Cupom)(cpf.c_str(), name.c_str(), address.c_str(), "", 2);
    }

    std::string_view itemAdjustmentMask() const override { return "000000.000"; }

    Sent sellItem(const ItemLine &item) const override {
        const std::string unit = copyText(item.unit, 1, 2);
        const std::string tax = classicTaxName(item.taxCode);
        const int32_t rc = EPSON(EPSON_Fiscal_Vender_Item)(
            item.code.c_str(), item.description.c_str(), item.quantity.c_str(), 3, unit.c_str(),
            item.price.c_str(), 3, tax.c_str(), 1);
        return {rc, "EPSON_Fiscal_Vender_Item : " + item.code + " - " + item.description + " - " +
                        item.quantity + " - 3 - " + item.unit + " - " + item.price + " - 3 - " +
                        item.taxCode + " - 1"};
    }

    int32_t adjustItem(const std::string &digits, bool discount) const override {
        return EPSON(EPSON_Fiscal_Desconto_Acrescimo_Item)(digits.c_str(), 3, discount ? 1 : 0, 0);
    }

    int32_t adjustSubtotal(const std::string &digits, bool discount) const override {
        return EPSON(EPSON_Fiscal_Desconto_Acrescimo_Subtotal)(digits.c_str(), 2, discount ? 1 : 0,
                                                               0);
    }

    // Paid under the method's fiscal name (its name when it has none).
    std::optional<std::string> paymentReference(const PaymentMethod &method) const override {
        return copyText(method.fiscalName.empty() ? method.name : method.fiscalName, 1, 15);
    }

    int32_t pay(const PaymentMethod &, const std::string &reference, const std::string &amount,
                int) const override {
        return EPSON(EPSON_Fiscal_Pagamento)(reference.c_str(), amount.c_str(), 2, "", "");
    }

    int32_t closeReceipt() const override { return EPSON(EPSON_Fiscal_Fechar_Cupom)(1, 0); }
    int receiptNumberWidth() const override { return 6; }
    int32_t reduceZ() const override { return EPSON(EPSON_RelatorioFiscal_RZEx)(2); }
    int32_t printFiscalMemoryReading(bool complete, bool byDates, const std::string &start,
                                     const std::string &end,
                                     const std::string &file) const override {
        const int32_t code = byDates ? (complete ? 5 : 7) : (complete ? 4 : 6);
        Reply buffer(1024);
        return EPSON(EPSON_RelatorioFiscal_Leitura_MF)(start.c_str(), end.c_str(), code,
                                                       buffer.data(), file.c_str(), 0, 1024);
    }
    std::optional<int32_t> switchDaylightSaving(bool) const override { return std::nullopt; }
    int32_t cashMovement(bool supply, const std::string &cents) const override {
        return supply ? EPSON(EPSON_NaoFiscal_Fundo_Troco)(cents.c_str(), 2)
                      : EPSON(EPSON_NaoFiscal_Sangria)(cents.c_str(), 2);
    }
    int32_t cancelItem(const std::string &number) const override {
        return EPSON(EPSON_Fiscal_Cancelar_Item)(number.c_str());
    }

    int32_t openReport() const override {
        return EPSON(EPSON_NaoFiscal_Abrir_Relatorio_Gerencial)("1");
    }

    int32_t printReportLines(const std::string &text) const override {
        return EPSON(EPSON_NaoFiscal_Imprimir_LinhaEX)(text.c_str());
    }

    int32_t closeReport() const override {
        return EPSON(EPSON_NaoFiscal_Fechar_Relatorio_Gerencial)(1);
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

    bool cardVoucherCarriesAmount() const override { return true; }

    std::optional<Sent> openCardVoucher(const std::string &paymentName,
                                        const std::string &amountCents) const override {
        const std::string name = copyText(paymentName, 1, 15);
        const int32_t rc =
            EPSON(EPSON_NaoFiscal_Abrir_CCD)(name.c_str(), amountCents.c_str(), 2, "1");
        return Sent{rc, "EPSON_NaoFiscal_Abrir_CCD : " + name + " -  - "};
    }

    Sent readReceiptNumber(std::string &number) const override {
        Reply reply(counters::kReplySize);
        const int32_t rc = EPSON(EPSON_Obter_Contadores)(reply.data());
        number = copyText(reply.text(), counters::kCooAt, counters::kWidth);
        return {rc, replyLine("EPSON_Obter_Contadores", reply.text())};
    }

    Sent readFiscalReceiptCounter(std::string &counter) const override {
        Reply reply(counters::kReplySize);
        const int32_t rc = EPSON(EPSON_Obter_Contadores)(reply.data());
        counter = copyText(reply.text(), counters::kCcfAt, counters::kWidth);
        return {rc, replyLine("EPSON_Obter_Contadores", counter)};
    }

    int32_t openDrawer() const override { return EPSON(EPSON_Impressora_Abrir_Gaveta)(); }

    int firstPaymentSlot() const override { return 1; }

    int32_t programPaymentMethod(const std::string &slot, const std::string &name) const override {
        return EPSON(EPSON_Config_Forma_Pagamento)(1, slot.c_str(), name.c_str());
    }

    int32_t programTotalizer(const std::string &name, int32_t &number,
                             const char *) const override {
        return EPSON(EPSON_Config_Totalizador_NaoFiscal)(name.c_str(), &number);
    }
};

} // namespace

const CommandFamily &classicCommands() {
    static const ClassicCommands commands;
    return commands;
}

} // namespace tiv02000
