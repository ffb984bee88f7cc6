// The fiscal receipt: opening, items, adjustments, payments, footer, closing, cancellations.
#include <algorithm>

#include "amounts.h"
#include "detail_memory.h"
#include "document.h"
#include "entry_impl.h"
#include "text.h"

namespace ecfsim {

using namespace rules;

namespace {

int32_t openReceipt(const char *cpf, const char *name, const char *address, bool esc) {
    return P().command([&] {
        std::string_view c = need(cpf, 20), n = need(name, 30), a = need(address, 40);
        requireNewDocument(esc);
        State &st = S();
        countReceipt();
        P().dropItems();
        beginDocument(DocState::ReceiptSale, "CUPOM FISCAL");
        st.doc.cpf = trim(c);
        st.doc.name = trim(n);
        st.doc.address = trim(a);
        if (!st.doc.cpf.empty()) P().print("CPF/CNPJ consumidor: " + st.doc.cpf);
        if (!st.doc.name.empty()) P().print("NOME: " + st.doc.name);
        if (!st.doc.address.empty()) P().print("END: " + st.doc.address);
        // The item heading in two lines, laid out as each item prints (its number, code and
        // description; then quantity, unit and price, tax code and amount): one line of it
        // would not fit the 48 columns.
        P().print("ITEM CODIGO DESCRICAO");
        P().print(spread("    QTD UN VL UNIT(R$)", "ST VL ITEM(R$)"));
    });
}

struct ItemArgs {
    const char *code, *description, *tax, *unit, *quantity, *price;
    int32_t quantityDecimals, priceDecimals;
    bool round;
    std::size_t unitMax;
};

int32_t sellItem(const ItemArgs &a) {
    return P().command([&] {
        std::string_view code = need(a.code, 20), desc = need(a.description, 233);
        std::string_view tax = need(a.tax, 3), unit = need(a.unit, a.unitMax);
        if (trim(desc).empty()) throw Refusal{Code::BadParameter};
        if (a.quantityDecimals > 3 || a.priceDecimals > 3) throw Refusal{Code::BadParameter};
        int64_t qty = scaled(a.quantity, 7, a.quantityDecimals, 3);
        int64_t price = scaled(a.price, 9, a.priceDecimals, 3);
        if (qty == 0 || price == 0) throw Refusal{Code::ZeroValue};
        std::string key = taxKey(tax);
        requireItemRoom();
        State &st = S();
        // thousandths times thousandths: 10^-6 currency units, 10^-4 cents
        const int64_t product = amounts::mul(qty, price);
        int64_t amount = product / 10000;
        if (a.round && product % 10000 >= 5000) amount++;
        if (amount == 0) throw Refusal{Code::ZeroValue};
        Item it;
        it.n = ++st.doc.items;
        it.code = trim(code);
        it.description = trim(desc);
        it.unit = trim(unit);
        it.tax = key;
        it.quantity = qty;
        it.price = price;
        it.amount = amount;
        P().items.push_back(it);
        P().touchItem(it.n);
        amounts::addTo(st.doc.taxNet[key], amount, amounts::kGross);
        post(Posting::Sale, key, amount);
        Printer &p = P();
        p.print(zeros(it.n, 3) + " " + it.code + " " + it.description);
        p.print(spread("    " + formatQuantity(qty) + " " + it.unit + " X " + formatQuantity(price),
                       taxLabel(key) + "  " + money(amount)));
    });
}

// Discount or surcharge on the last item; value is money in cents or hundredths of a percent.
int32_t adjustItem(const char *valueText, int32_t decimals, bool discount, bool percent,
                   std::size_t maxDigits) {
    return P().command([&] {
        int64_t value = scaled(valueText, maxDigits, decimals, 2);
        if (value == 0) throw Refusal{Code::ZeroValue};
        requireSale();
        Item &it = requireLastItem();
        int64_t amount = requireItemAdjustment(it, value, discount, percent);
        State &st = S();
        if (discount) {
            it.discount = amount;
            amounts::addTo(st.doc.taxNet[it.tax], -amount, amounts::kGross);
            post(Posting::Discount, it.tax, amount);
        } else {
            it.surcharge = amount;
            amounts::addTo(st.doc.taxNet[it.tax], amount, amounts::kGross);
            post(Posting::Surcharge, it.tax, amount);
        }
        P().touchItem(it.n);
        P().print(
            spread(std::string(discount ? "desconto" : "acrescimo") + " item " + zeros(it.n, 3),
                   (discount ? "-" : "+") + money(amount)));
    });
}

void cancelItem(Item &it) {
    State &st = S();
    int64_t net = it.net();
    it.cancelled = true;
    P().touchItem(it.n);
    st.doc.taxNet[it.tax] -= net;
    reverse({{it.tax, net}}, net);
    P().print(spread("cancelamento item " + zeros(it.n, 3), "-" + money(net)));
}

int32_t cancelItemNumber(const char *number) {
    return P().command([&] {
        int64_t n = digits(number, 4);
        requireSale();
        cancelItem(requireCancellableItem(n));
    });
}

// Subtotal discount or surcharge, shared over the tax codes in proportion to their amounts.
void adjustSubtotal(int64_t value, bool discount, bool percent) {
    if (value == 0) throw Refusal{Code::ZeroValue};
    const int64_t amount = requireSubtotalAdjustment(value, discount, percent);
    State &st = S();
    const int64_t gross = st.doc.gross();
    const Posting kind = discount ? Posting::Discount : Posting::Surcharge;
    int64_t left = amount;
    std::string biggest;
    for (const auto &[key, net] : st.doc.taxNet) {
        if (net <= 0) continue;
        int64_t share = amounts::share(amount, net, gross);
        st.doc.adjust[key] += discount ? -share : share;
        post(kind, key, share);
        left -= share;
        if (biggest.empty() || net > st.doc.taxNet[biggest]) biggest = key;
    }
    st.doc.adjust[biggest] += discount ? -left : left;
    post(kind, biggest, left);
    (discount ? st.doc.discount : st.doc.surcharge) = amount;
    st.doc.state = DocState::ReceiptPayment;
    Printer &p = P();
    p.print(spread("SUBTOTAL R$", money(gross)));
    p.print(
        spread(discount ? "DESCONTO R$" : "ACRESCIMO R$", (discount ? "-" : "+") + money(amount)));
}

void pay(int32_t slot, int64_t amount) {
    if (amount == 0) throw Refusal{Code::ZeroValue};
    int64_t due = requirePayable();
    State &st = S();
    Printer &p = P();
    if (st.doc.state == DocState::ReceiptSale) p.print(spread("TOTAL R$", money(due)));
    st.doc.state = DocState::ReceiptPayment;
    st.doc.payments.push_back({slot, amount, false});
    postPayment(slot, amount);
    p.print(spread(st.payments[slot - 1].name, money(amount)));
}

int32_t closeReceipt() {
    return P().command([&] {
        int64_t due = requireReceiptPaid();
        State &st = S();
        int64_t paid = st.doc.paid();
        Printer &p = P();
        if (paid > due) {
            p.print(spread("TROCO R$", money(paid - due)));
            postChange(paid - due);
        }
        if (!st.doc.footer.empty()) {
            p.print(std::string(kColumns, '-'));
            p.printBlock(st.doc.footer);
        }
        printTrailer();
        keepLastReceipt(due);
        st.doc = Document{};
    });
}

int32_t cancelReceipt() {
    return P().command([&] {
        State &st = S();
        Printer &p = P();
        if (requireCancellableReceipt()) {
            // The open receipt: its amounts leave the day's totals.
            int64_t due = st.doc.due();
            std::map<std::string, int64_t> shares = st.doc.taxNet;
            for (const auto &[key, v] : st.doc.adjust)
                shares[key] += v;
            rules::cancelReceipt(shares, st.doc.payments, due);
            p.print(center("CUPOM FISCAL CANCELADO"));
            p.print(spread("TOTAL CANCELADO R$", money(due)));
            printTrailer(true);
            st.doc = Document{};
            return;
        }
        rules::cancelReceipt(st.last.taxNet, st.last.payments, st.last.due);
        int64_t coo = st.last.coo;
        int64_t due = st.last.due;
        endLastReceipt();
        st.last.payments.clear();
        mfd::cancelReceipt(coo);
        beginDocument(DocState::None, "CANCELAMENTO");
        st.doc = Document{};
        p.print(spread("COO do cupom cancelado:", zeros(coo, 6)));
        p.print(spread("Valor da operacao R$", money(due)));
        printTrailer();
    });
}

// A footer of any length is kept whole and printed, wrapped at 48 columns, when the receipt
// closes.
int32_t footer(const char *lines) {
    return P().command([&] {
        if (!lines) throw Refusal{Code::BadParameter};
        requireReceipt();
        S().doc.footer = lines;
    });
}

} // namespace

int32_t impl::EPSON_Fiscal_Abrir_Cupom(const char *pszCNPJ_CPF, const char *pszRazaoSocial,
                                       const char *pszEndereco1, const char *pszEndereco2,
                                       int32_t) {
    if (pszEndereco2 && *pszEndereco2 && pszEndereco1 && !*pszEndereco1)
        return openReceipt(pszCNPJ_CPF, pszRazaoSocial, pszEndereco2, false);
    return openReceipt(pszCNPJ_CPF, pszRazaoSocial, pszEndereco1, false);
}

int32_t impl::EPSON_ESC_ECF_Fiscal_Abrir_CupomEX(const char *pszCNPJ_CPF, const char *pszNome,
                                                 const char *pszEndereco) {
    return openReceipt(pszCNPJ_CPF, pszNome, pszEndereco, true);
}

int32_t impl::EPSON_Fiscal_Vender_Item(const char *pszCodigo, const char *pszDescricao,
                                       const char *pszQuantidade, int32_t dwQuantCasasDecimais,
                                       const char *pszUnidade, const char *pszPrecoUnidade,
                                       int32_t dwPrecoCasasDecimais, const char *pszAliquotas,
                                       int32_t) {
    return sellItem({pszCodigo, pszDescricao, pszAliquotas, pszUnidade, pszQuantidade,
                     pszPrecoUnidade, dwQuantCasasDecimais, dwPrecoCasasDecimais, false, 2});
}

int32_t impl::EPSON_ESC_ECF_Fiscal_Vender_ItemEX(
    const char *pszCodigo, const char *pszDescricao, const char *pszAliquota,
    const char *pszUnidade, const char *pszQuantidade, const char *pszCasasQuantidade,
    const char *pszPrecoUnidade, const char *pszCasasPreco, const char *pszArredondamento) {
    int32_t qd, pd;
    bool round;
    try {
        qd = static_cast<int32_t>(digits(pszCasasQuantidade, 1));
        pd = static_cast<int32_t>(digits(pszCasasPreco, 1));
        std::string_view r = need(pszArredondamento, 1);
        if (r != "T" && r != "A") throw Refusal{Code::BadParameter};
        round = r == "A";
    } catch (const Refusal &r) {
        return P().command([&] { throw r; });
    }
    return sellItem({pszCodigo, pszDescricao, pszAliquota, pszUnidade, pszQuantidade,
                     pszPrecoUnidade, qd, pd, round, 3});
}

int32_t impl::EPSON_ESC_ECF_Fiscal_Vender_Item_Detalhado(
    const char *pszCodigo, const char *pszDescricao, const char *pszAliquota,
    const char *pszUnidade, const char *pszQuantidade, const char *pszCasasQuantidade,
    const char *pszPrecoUnidade, const char *pszCasasPreco, const char *pszArredondamento,
    const char *) {
    return impl::EPSON_ESC_ECF_Fiscal_Vender_ItemEX(
        pszCodigo, pszDescricao, pszAliquota, pszUnidade, pszQuantidade, pszCasasQuantidade,
        pszPrecoUnidade, pszCasasPreco, pszArredondamento);
}

int32_t impl::EPSON_Fiscal_Desconto_Acrescimo_Item(const char *pszValor, int32_t dwCasasDecimais,
                                                   int32_t bDesconto, int32_t bPercentagem) {
    return adjustItem(pszValor, dwCasasDecimais, bDesconto != 0, bPercentagem != 0, 11);
}

int32_t impl::EPSON_ESC_ECF_Desconto_Acrescimo_ItemEX(const char *pszTipo, const char *pszFlag,
                                                      const char *pszValor, const char *) {
    int32_t kind, amount;
    try {
        kind = flagText(pszTipo);
        amount = flagText(pszFlag);
    } catch (const Refusal &r) {
        return P().command([&] { throw r; });
    }
    return adjustItem(pszValor, 2, kind == 0, amount == 0, 11);
}

int32_t impl::EPSON_Fiscal_Desconto_Acrescimo_Subtotal(const char *pszValor,
                                                       int32_t dwCasasDecimais, int32_t bDesconto,
                                                       int32_t bPercentagem) {
    return P().command([&] {
        adjustSubtotal(scaled(pszValor, 13, dwCasasDecimais, 2), bDesconto != 0, bPercentagem != 0);
    });
}

int32_t impl::EPSON_ESC_ECF_Desconto_Acrescimo_SubtotalEX(const char *pszTipo, const char *pszFlag,
                                                          const char *pszValor) {
    return P().command([&] {
        int32_t kind = flagText(pszTipo), amount = flagText(pszFlag);
        adjustSubtotal(scaled(pszValor, 13, 2, 2), kind == 0, amount == 0);
    });
}

int32_t impl::EPSON_Fiscal_Pagamento(const char *pszNumeroPagamento, const char *pszValorPagamento,
                                     int32_t dwCasasDecimais, const char *, const char *) {
    return P().command([&] {
        std::string_view name = need(pszNumeroPagamento, 40);
        int64_t amount = scaled(pszValorPagamento, 13, dwCasasDecimais, 2);
        pay(paymentByName(name), amount);
    });
}

int32_t impl::EPSON_ESC_ECF_Fiscal_PagamentoEX(const char *pszCodigo, const char *pszValor,
                                               const char *pszFlag, const char *pszDescricao,
                                               const char *pszTipo) {
    return P().command([&] {
        std::string_view code = need(pszCodigo, 2);
        int64_t amount = scaled(pszValor, 13, 2, 2);
        need(pszFlag, 1);
        need(pszDescricao, 80);
        need(pszTipo, 1);
        pay(paymentByCode(code), amount);
    });
}

int32_t impl::EPSON_Fiscal_Imprimir_MensagemEX(const char *pszLinhas) {
    return footer(pszLinhas);
}

int32_t impl::EPSON_Fiscal_Fechar_Cupom(int32_t, int32_t) {
    return closeReceipt();
}

int32_t impl::EPSON_Fiscal_Fechar_CupomEx(int32_t, int32_t) {
    return closeReceipt();
}

int32_t impl::EPSON_ESC_ECF_Fiscal_Fechar_CupomEX(const char *pszCortarPapel,
                                                  const char *pszAdicional, const char *) {
    if (!pszCortarPapel || !pszAdicional)
        return P().command([] { throw Refusal{Code::BadParameter}; });
    return closeReceipt();
}

int32_t impl::EPSON_Fiscal_Cancelar_Cupom() {
    return cancelReceipt();
}

int32_t impl::EPSON_ESC_ECF_Fiscal_Cancelar_Cupom() {
    return cancelReceipt();
}

int32_t impl::EPSON_Fiscal_Cancelar_Item(const char *pszNumeroItem) {
    return cancelItemNumber(pszNumeroItem);
}

int32_t impl::EPSON_ESC_ECF_Fiscal_Cancelar_ItemEX(const char *pszNumeroItem) {
    return cancelItemNumber(pszNumeroItem);
}

int32_t impl::EPSON_Fiscal_Cancelar_Ultimo_Item() {
    return P().command([] {
        requireSale();
        cancelItem(requireLastItem());
    });
}

} // namespace ecfsim
