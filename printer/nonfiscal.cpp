// Non-fiscal documents: unlinked voucher, linked card voucher, management report, cash supply
// and withdrawal.
#include "amounts.h"
#include "document.h"
#include "entry_impl.h"
#include "text.h"

namespace ecfsim {

using namespace rules;

namespace {

int32_t openVoucher(const char *cpf, const char *name, const char *address, bool esc) {
    return P().command([&] {
        std::string_view c = need(cpf, 20), n = need(name, 30), a = need(address, 40);
        requireNewDocument(esc);
        countNonFiscal(DocState::Voucher);
        beginDocument(DocState::Voucher, "COMPROVANTE NAO-FISCAL");
        if (!trim(c).empty()) P().print("CPF/CNPJ consumidor: " + trim(c));
        if (!trim(n).empty()) P().print("NOME: " + trim(n));
        if (!trim(a).empty()) P().print("END: " + trim(a));
    });
}

int32_t voucherEntry(const char *totalizerKey, const char *amountText, int32_t decimals) {
    return P().command([&] {
        std::string_view key = need(totalizerKey, 40);
        int64_t amount = scaled(amountText, 14, decimals, 2);
        if (amount == 0) throw Refusal{Code::ZeroValue};
        requireVoucherEntry();
        State &st = S();
        int32_t n = totalizer(key);
        postNonFiscal(n, amount);
        st.doc.total = amounts::add(st.doc.total, amount);
        ++st.doc.items;
        P().print(spread(zeros(n, 2) + " " + st.nonFiscal[n - 1].name, money(amount)));
    });
}

int32_t closeVoucher() {
    return P().command([] {
        requireVoucherPaid();
        State &st = S();
        int64_t paid = st.doc.paid();
        if (paid > st.doc.total) {
            P().print(spread("TROCO R$", money(paid - st.doc.total)));
            postChange(paid - st.doc.total);
        }
        printTrailer();
        st.doc = Document{};
    });
}

int32_t openLinkedVoucher(std::size_t paymentIndex, int64_t amount) {
    State &st = S();
    Payment &pm = st.last.payments[paymentIndex];
    pm.voucherIssued = true;
    countNonFiscal(DocState::CardVoucher);
    beginDocument(DocState::CardVoucher, "COMPROVANTE CREDITO OU DEBITO");
    st.doc.total = amount;
    st.doc.paymentRef = static_cast<int32_t>(paymentIndex);
    Printer &p = P();
    p.print(spread("COO do documento vinculado:", zeros(st.last.coo, 6)));
    p.print(spread(st.payments[pm.slot - 1].name, money(amount)));
    return 0;
}

int32_t closeReport() {
    return P().command([] {
        requireReport();
        printTrailer();
        S().doc = Document{};
    });
}

int32_t printLines(const char *block) {
    return P().command([&] {
        if (!block) throw Refusal{Code::BadParameter};
        requireReportLines();
        P().printBlock(block);
        ++S().doc.items;
    });
}

int32_t openReport(const char *number, bool esc) {
    return P().command([&] {
        int64_t n = digits(number, 2);
        if (n < 1 || n > 20) throw Refusal{Code::BadSlot};
        requireNewDocument(esc);
        countNonFiscal(DocState::Report);
        beginDocument(DocState::Report, "RELATORIO GERENCIAL");
        P().print(center(n == 1 ? std::string("GERAL") : "RELATORIO " + zeros(n, 2)));
    });
}

int32_t cash(const char *amountText, int32_t decimals, bool supply, bool esc) {
    return P().command([&] {
        int64_t amount = scaled(amountText, 14, decimals, 2);
        if (amount == 0) throw Refusal{Code::ZeroValue};
        requireNewDocument(esc);
        countNonFiscal(DocState::Voucher);
        beginDocument(DocState::Voucher, supply ? "SUPRIMENTO" : "SANGRIA");
        postCash(supply, amount);
        P().print(spread(supply ? "Suprimento" : "Sangria", money(amount)));
        printTrailer();
        S().doc = Document{};
    });
}

} // namespace

int32_t impl::EPSON_NaoFiscal_Abrir_Comprovante(const char *pszCNPJ_CPF, const char *pszRazaoSocial,
                                                const char *pszEndereco1, const char *, int32_t) {
    return openVoucher(pszCNPJ_CPF, pszRazaoSocial, pszEndereco1, false);
}

int32_t impl::EPSON_ESC_ECF_NaoFiscal_Abrir_ComprovanteEX(const char *pszCNPJ_CPF,
                                                          const char *pszNome,
                                                          const char *pszEndereco) {
    return openVoucher(pszCNPJ_CPF, pszNome, pszEndereco, true);
}

int32_t impl::EPSON_ESC_ECF_NaoFiscal_Abrir_Comprovante() {
    return openVoucher("", "", "", true);
}

int32_t impl::EPSON_NaoFiscal_Vender_Item(const char *pszTotalizador, const char *pszValor,
                                          int32_t dwCasasDecimais) {
    return voucherEntry(pszTotalizador, pszValor, dwCasasDecimais);
}

int32_t impl::EPSON_ESC_ECF_NaoFiscal_Vender_ItemEX(const char *pszTotalizador,
                                                    const char *pszValor) {
    return voucherEntry(pszTotalizador, pszValor, 2);
}

int32_t impl::EPSON_ESC_ECF_NaoFiscal_Vender_Item(const char *pszTotalizador,
                                                  const char *pszValor) {
    return voucherEntry(pszTotalizador, pszValor, 2);
}

int32_t impl::EPSON_NaoFiscal_Pagamento(const char *pszNumeroPagamento,
                                        const char *pszValorPagamento, int32_t dwCasasDecimais,
                                        const char *, const char *) {
    return P().command([&] {
        std::string_view name = need(pszNumeroPagamento, 40);
        int64_t amount = scaled(pszValorPagamento, 14, dwCasasDecimais, 2);
        if (amount == 0) throw Refusal{Code::ZeroValue};
        requireVoucherPayable();
        State &st = S();
        int32_t slot = paymentByName(name);
        st.doc.payments.push_back({slot, amount, false});
        postPayment(slot, amount);
        P().print(spread(st.payments[slot - 1].name, money(amount)));
    });
}

int32_t impl::EPSON_NaoFiscal_Fechar_Comprovante(int32_t) {
    return closeVoucher();
}

int32_t impl::EPSON_ESC_ECF_NaoFiscal_Fechar_ComprovanteEX(const char *pszCortarPapel,
                                                           const char *) {
    if (!pszCortarPapel) return P().command([] { throw Refusal{Code::BadParameter}; });
    return closeVoucher();
}

int32_t impl::EPSON_ESC_ECF_NaoFiscal_Fechar_Comprovante() {
    return closeVoucher();
}

int32_t impl::EPSON_NaoFiscal_Abrir_CCD(const char *pszNumeroPagamento, const char *pszValor,
                                        int32_t dwCasasDecimais, const char *pszParcelas) {
    return P().command([&] {
        std::string_view name = need(pszNumeroPagamento, 40);
        int64_t amount = scaled(pszValor, 14, dwCasasDecimais, 2);
        need(pszParcelas, 2);
        if (amount == 0) throw Refusal{Code::ZeroValue};
        requireLinkable();
        std::size_t payment = requireVoucherPayment(paymentByName(name));
        requireVoucherWithin(payment, amount);
        openLinkedVoucher(payment, amount);
    });
}

int32_t impl::EPSON_ESC_ECF_NaoFiscal_Abrir_CCDEX(const char *pszIndice, const char *pszPagamento,
                                                  const char *pszParcelas, const char *pszParcela,
                                                  const char *pszCPF, const char *pszNome,
                                                  const char *pszEndereco) {
    return P().command([&] {
        int64_t index = digits(pszIndice, 3);
        std::string_view code = need(pszPagamento, 2);
        need(pszParcelas, 2);
        need(pszParcela, 2);
        need(pszCPF, 20);
        need(pszNome, 30);
        need(pszEndereco, 40);
        requireLinkable();
        std::size_t payment = requireVoucherPayment(paymentByCode(code), index);
        openLinkedVoucher(payment, S().last.payments[payment].amount);
    });
}

int32_t impl::EPSON_ESC_ECF_NaoFiscal_Abrir_CCD(const char *pszIndice, const char *pszPagamento,
                                                const char *pszParcelas) {
    return impl::EPSON_ESC_ECF_NaoFiscal_Abrir_CCDEX(pszIndice, pszPagamento, pszParcelas, "1", "",
                                                     "", "");
}

int32_t impl::EPSON_NaoFiscal_Fechar_CCD(int32_t) {
    return P().command([] {
        requireCardVoucher();
        printTrailer();
        S().doc = Document{};
    });
}

int32_t impl::EPSON_NaoFiscal_Cancelar_CCD(const char *, const char *, int32_t, const char *,
                                           const char *) {
    // Whatever receipt number comes with it, the voucher that is open is the one cancelled. It
    // stays open, marked cancelled, until EPSON_NaoFiscal_Fechar_CCD ends it, as the point of
    // sale's cancellation of a receipt expects (cancel, then close).
    return P().command([] {
        requireCardVoucherCancellable();
        State &st = S();
        int32_t ref = st.doc.paymentRef;
        if (ref >= 0 && ref < static_cast<int32_t>(st.last.payments.size()))
            st.last.payments[ref].voucherIssued = false;
        st.doc.paymentRef = Document::kCancelledVoucher;
        P().print(center("COMPROVANTE CANCELADO"));
    });
}

int32_t impl::EPSON_ESC_ECF_NaoFiscal_Cancelar_CCD() {
    return impl::EPSON_NaoFiscal_Cancelar_CCD("", "", 0, "", "");
}

int32_t impl::EPSON_ESC_ECF_NaoFiscal_Cancelar_CCDEX(const char *pszNumeroCupom) {
    return impl::EPSON_NaoFiscal_Cancelar_CCD("", "", 0, "", pszNumeroCupom);
}

int32_t impl::EPSON_NaoFiscal_Abrir_Relatorio_Gerencial(const char *pszNumeroRelatorio) {
    return openReport(pszNumeroRelatorio, false);
}

int32_t impl::EPSON_ESC_ECF_NaoFiscal_Abrir_Relatorio_GerencialEX(const char *pszNumero) {
    return openReport(pszNumero, true);
}

int32_t impl::EPSON_ESC_ECF_NaoFiscal_Abrir_Relatorio_Gerencial(const char *pszNumero) {
    return openReport(pszNumero, true);
}

int32_t impl::EPSON_NaoFiscal_Imprimir_LinhaEX(const char *pszLinhas) {
    return printLines(pszLinhas);
}

int32_t impl::EPSON_NaoFiscal_Imprimir_Linha(const char *pszLinha) {
    return printLines(pszLinha);
}

int32_t impl::EPSON_NaoFiscal_Imprimir_15Linhas(const char *pszLinhas) {
    return printLines(pszLinhas);
}

int32_t impl::EPSON_ESC_ECF_NaoFiscal_Imprimir_Linha(const char *pszLinhas) {
    return printLines(pszLinhas);
}

int32_t impl::EPSON_NaoFiscal_Fechar_Relatorio_Gerencial(int32_t) {
    // The classic close ends whichever of the two documents printed as
    // report lines is open, as the ESC/ECF one does: the host closes a TEF
    // slip's card voucher with it.
    if (S().doc.state == DocState::CardVoucher) return impl::EPSON_NaoFiscal_Fechar_CCD(1);
    return closeReport();
}

int32_t impl::EPSON_ESC_ECF_NaoFiscal_Fechar_CCD_RGEX(const char *pszCortarPapel) {
    if (!pszCortarPapel) return P().command([] { throw Refusal{Code::BadParameter}; });
    if (S().doc.state == DocState::CardVoucher) return impl::EPSON_NaoFiscal_Fechar_CCD(1);
    return closeReport();
}

int32_t impl::EPSON_ESC_ECF_NaoFiscal_Fechar_CCD_RG() {
    return impl::EPSON_ESC_ECF_NaoFiscal_Fechar_CCD_RGEX("1");
}

int32_t impl::EPSON_NaoFiscal_Sangria(const char *pszValor, int32_t dwCasasDecimais) {
    return cash(pszValor, dwCasasDecimais, false, false);
}

int32_t impl::EPSON_NaoFiscal_Fundo_Troco(const char *pszValor, int32_t dwCasasDecimais) {
    return cash(pszValor, dwCasasDecimais, true, false);
}

int32_t impl::EPSON_ESC_ECF_NaoFiscal_Sangria_Fundo_TrocoEX(const char *pszTipo,
                                                            const char *pszValor, const char *) {
    if (pszTipo && std::string_view(pszTipo) == "1") return cash(pszValor, 2, true, true);
    if (pszTipo && std::string_view(pszTipo) == "2") return cash(pszValor, 2, false, true);
    return P().command([] { throw Refusal{Code::BadParameter}; });
}

int32_t impl::EPSON_ESC_ECF_NaoFiscal_Sangria_Fundo_Troco(const char *pszTipo,
                                                          const char *pszValor) {
    return impl::EPSON_ESC_ECF_NaoFiscal_Sangria_Fundo_TrocoEX(pszTipo, pszValor, "");
}

} // namespace ecfsim
