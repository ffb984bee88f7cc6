// Replies: every query writes its fixed-length text and a NUL, nothing more.
#include <cstring>

#include "document.h"
#include "entry_impl.h"
#include "faults.h"
#include "state_json.h"
#include "text.h"

namespace ecfsim {

using namespace rules;

namespace {

void reply(char *buffer, const std::string &text) {
    std::memcpy(buffer, text.data(), text.size());
    buffer[text.size()] = '\0';
}

void needBuffer(const void *buffer) {
    if (!buffer) throw Refusal{Code::BadParameter};
}

// A query writing one text into one buffer.
int32_t simple(char *buffer, const std::function<std::string()> &make) {
    return P().query([&] {
        needBuffer(buffer);
        reply(buffer, make());
    });
}

std::string amount17(int64_t v) {
    return zeros(v, 17);
}

std::string taxTable() {
    const State &st = S();
    int highest = 0;
    for (int i = 0; i < kRateSlots; ++i)
        if (!st.rates[i].kind.empty()) highest = i + 1;
    std::string out;
    for (int i = 0; i < highest; ++i) {
        const TaxRate &r = st.rates[i];
        out += (r.kind.empty() ? std::string("T") : r.kind) + static_cast<char>('a' + i);
        out += zeros(r.rate, 4) + amount17(r.base);
    }
    out += "F1    " + amount17(st.day.substitution);
    out += "I1    " + amount17(st.day.exempt);
    out += "N1    " + amount17(st.day.notTaxed);
    return out;
}

std::string paymentTable() {
    const State &st = S();
    std::string out;
    for (int i = 0; i < kPaymentSlots; ++i) {
        const PaymentMethod &m = st.payments[i];
        if (m.name.empty()) continue;
        out += zeros(i + 1, 2) + padRight(m.name, 15) + zeros(m.total, 13) +
               (m.linked ? "1" : "0") + zeros(m.uses, 13);
    }
    return out;
}

std::string nonFiscalTable() {
    const State &st = S();
    std::string out;
    for (std::size_t i = 0; i < st.nonFiscal.size(); ++i) {
        const auto &t = st.nonFiscal[i];
        out += zeros(static_cast<int64_t>(i) + 1, 2) + padRight(t.name, 15) + zeros(t.total, 13) +
               zeros(t.count, 4);
    }
    return out;
}

std::string counters() {
    const Counters &n = S().n;
    return zeros(n.coo, 6) + zeros(n.crz, 6) + zeros(n.cro, 6) + zeros(n.gnf, 6) + zeros(n.cdc, 6) +
           zeros(n.cfc, 6) + zeros(n.grg, 6) + zeros(n.ccf, 6) + zeros(n.lx, 6) +
           std::string(30, '0');
}

void put(std::string &s, std::size_t position, const std::string &field) {
    s.replace(position - 1, field.size(), field);
}

std::string lastReduction() {
    std::string s(1167, '0');
    const nlohmann::json z = zRecord(S().lastZ);
    auto num = [](const nlohmann::json &j, const char *k) {
        return j.is_object() ? j.value(k, int64_t{0}) : int64_t{0};
    };
    nlohmann::json day =
        z.is_object() ? z.value("day", nlohmann::json::object()) : nlohmann::json::object();
    nlohmann::json cnt =
        z.is_object() ? z.value("counters", nlohmann::json::object()) : nlohmann::json::object();
    std::string date = z.is_object() ? z.value("date", std::string("00000000")) : "00000000";
    std::string madeOn = z.is_object() ? z.value("madeOn", std::string("00000000")) : "00000000";
    std::string madeAt = z.is_object() ? z.value("madeAt", std::string("000000")) : "000000";
    put(s, 1, madeOn + madeAt);
    put(s, 15, zeros(num(z, "firstCoo"), 6));
    put(s, 21, zeros(num(z, "coo"), 6));
    put(s, 29, zeros(num(z, "crz"), 4));
    put(s, 33, zeros(num(cnt, "ccf"), 6));
    put(s, 39, zeros(num(cnt, "gnf"), 6));
    put(s, 45, zeros(num(cnt, "grg"), 6));
    put(s, 51, zeros(num(cnt, "cdc"), 6));
    put(s, 57, zeros(num(cnt, "cfc"), 6));
    put(s, 63, zeros(num(cnt, "lx"), 6));
    put(s, 69, zeros(num(z, "cro"), 4));
    put(s, 87, zeros(num(z, "gt"), 18));
    put(s, 105, amount17(num(day, "cancelled")));
    put(s, 156, amount17(num(day, "discounts")));
    put(s, 207, amount17(num(day, "surcharges")));
    std::size_t n = 0;
    if (z.is_object() && z.contains("rates")) {
        std::vector<TaxRate> rates = z.at("rates").get<std::vector<TaxRate>>();
        std::size_t highest = 0;
        for (std::size_t i = 0; i < rates.size(); ++i)
            if (!rates[i].kind.empty()) highest = i + 1;
        n = std::min<std::size_t>(highest, 25);
        for (std::size_t i = 0; i < n; ++i) {
            put(s, 258 + 5 * i,
                (rates[i].kind.empty() ? std::string("T") : rates[i].kind) +
                    zeros(rates[i].rate, 4));
            put(s, 384 + 17 * i, amount17(rates[i].base));
        }
    }
    put(s, 384 + 17 * n, amount17(num(day, "substitution")));
    put(s, 401 + 17 * n, amount17(num(day, "exempt")));
    put(s, 418 + 17 * n, amount17(num(day, "notTaxed")));
    put(s, 1158, zeros(static_cast<int64_t>(n), 2));
    put(s, 1160, date);
    return s;
}

std::string escData(int64_t index) {
    const Counters &n = S().n;
    int64_t v;
    switch (index) {
    case 1:
        v = n.coo;
        break;
    case 2:
        v = n.gnf;
        break;
    case 3:
        v = n.grg;
        break;
    case 4:
        v = n.cdc;
        break;
    case 5:
        v = n.ccf;
        break;
    case 6:
        v = n.crz;
        break;
    case 7:
        v = n.cro;
        break;
    case 8:
        v = n.cfc;
        break;
    default:
        throw Refusal{Code::BadParameter};
    }
    return zeros(index, 2) + zeros(v, 9);
}

} // namespace

int32_t impl::EPSON_Obter_Estado_Impressora(char *pszEstado) {
    // The status reports on the last command and leaves its result as it was.
    Printer &p = P();
    if (!pszEstado) return 1;
    if (!p.ensureOpen()) p.lastResult = Code::Storage;
    reply(pszEstado, statusOverlay().apply(p.status()));
    return 0;
}

int32_t impl::EPSON_Obter_GT(char *pszGT) {
    return simple(pszGT, [] { return zeros(S().gt, 18); });
}

int32_t impl::EPSON_Obter_Dados_Jornada(char *pszDados) {
    return simple(pszDados, [] {
        const State &st = S();
        std::string s(67, '0');
        const std::string &d = st.day.date;
        if (d.size() == 8) put(s, 1, d.substr(6, 2) + d.substr(4, 2) + d.substr(0, 4));
        if (st.day.openedAt.size() == 6) put(s, 9, st.day.openedAt);
        put(s, 15, zeros(st.day.firstCoo, 6));
        put(s, 21, zeros(st.n.crz, 4));
        put(s, 25, zeros(st.day.gross, 14));
        put(s, 65, st.day.open ? "1" : "0");
        put(s, 66, st.reducedDate == P().dateKey() ? "1" : "0");
        put(s, 67, std::string(1, docStateCode(st.doc.state)));
        return s;
    });
}

int32_t impl::EPSON_Obter_Hora_Relogio(char *pszDataHora) {
    return simple(pszDataHora, [] { return P().date8() + P().time6(); });
}

int32_t impl::EPSON_Obter_Data_Hora_Jornada(char *pszDataHora) {
    return simple(pszDataHora, [] {
        const Day &d = S().day;
        if (d.date.size() != 8) return std::string(14, '0');
        return d.date.substr(6, 2) + d.date.substr(4, 2) + d.date.substr(0, 4) +
               (d.openedAt.size() == 6 ? d.openedAt : std::string("000000"));
    });
}

int32_t impl::EPSON_Obter_Venda_Bruta(char *pszVendaBruta, char *pszVendaBrutaUltimaRZ) {
    return P().query([&] {
        needBuffer(pszVendaBruta);
        needBuffer(pszVendaBrutaUltimaRZ);
        const nlohmann::json z = zRecord(S().lastZ);
        int64_t last = z.is_object() && z.contains("day") ? z["day"].value("gross", int64_t{0}) : 0;
        reply(pszVendaBruta, zeros(S().day.gross, 14));
        reply(pszVendaBrutaUltimaRZ, zeros(last, 14));
    });
}

int32_t impl::EPSON_Obter_Numero_ECF_Loja(char *pszNumero) {
    return simple(pszNumero, [] { return S().id.ecf + S().id.shop; });
}

int32_t impl::EPSON_Obter_Dados_Impressora(char *pszDados) {
    return simple(pszDados, [] {
        const Identity &id = S().id;
        return padRight(id.serial, 20) + padRight(id.cnpj, 20) + padRight(id.model, 20) +
               padRight(id.brand, 20) + padRight(id.type, 20) + padRight(id.version, 10);
    });
}

int32_t impl::EPSON_Obter_Contadores(char *pszContadores) {
    return simple(pszContadores, counters);
}

int32_t impl::EPSON_Obter_Total_Cancelado(char *pszTotal) {
    return simple(pszTotal, [] { return amount17(S().day.cancelled); });
}

int32_t impl::EPSON_Obter_Total_Descontos(char *pszTotal) {
    return simple(pszTotal, [] { return amount17(S().day.discounts); });
}

int32_t impl::EPSON_Obter_Total_Acrescimos(char *pszTotal) {
    return simple(pszTotal, [] { return amount17(S().day.surcharges); });
}

int32_t impl::EPSON_Obter_Total_Troco(char *pszTotal) {
    return simple(pszTotal, [] { return amount17(S().day.change); });
}

int32_t impl::EPSON_Obter_Total_Bruto(char *pszTotal) {
    return simple(pszTotal, [] { return amount17(S().day.gross); });
}

int32_t impl::EPSON_Obter_Tabela_Aliquotas(char *pszTabela) {
    return simple(pszTabela, taxTable);
}

int32_t impl::EPSON_Obter_Tabela_Pagamentos(char *pszTabela) {
    return simple(pszTabela, paymentTable);
}

int32_t impl::EPSON_Obter_Tabela_NaoFiscais(char *pszTabela) {
    return simple(pszTabela, nonFiscalTable);
}

int32_t impl::EPSON_ESC_ECF_Obter_Tabela_NaoFiscais(char *pszTabela) {
    return simple(pszTabela, nonFiscalTable);
}

int32_t impl::EPSON_ESC_ECF_Obter_Dados(const char *pszGrupo, const char *pszIndice,
                                        char *pszDados) {
    return P().query([&] {
        needBuffer(pszDados);
        if (need(pszGrupo, 1) != "1") throw Refusal{Code::BadParameter};
        reply(pszDados, escData(digits(pszIndice, 2)));
    });
}

int32_t impl::EPSON_Obter_Dados_Ultima_RZ(char *pszDados) {
    return simple(pszDados, lastReduction);
}

int32_t impl::EPSON_Obter_Versao_SWBasico(char *pszVersao, char *pszData, char *pszHora) {
    return P().query([&] {
        needBuffer(pszVersao);
        const Identity &id = S().id;
        reply(pszVersao, padRight(id.version, 9));
        if (pszData) reply(pszData, padRight(id.versionDate, 8));
        if (pszHora) reply(pszHora, padRight(id.versionTime, 6));
    });
}

int32_t impl::EPSON_Obter_Codigo_Nacional_ECF(char *pszCodigo, char *pszDescricao) {
    return P().query([&] {
        needBuffer(pszCodigo);
        const Identity &id = S().id;
        reply(pszCodigo, padRight(id.nationalCode, 7));
        if (pszDescricao) reply(pszDescricao, padRight(id.brand + " " + id.model, 33));
    });
}

int32_t impl::EPSON_Obter_Estado_Cupom(char *pszEstado) {
    return simple(pszEstado, [] {
        const State &st = S();
        char day = st.day.open ? '1' : (st.reducedDate == P().dateKey() ? '2' : '0');
        return std::string(1, day) + std::string(1, docStateCode(st.doc.state)) +
               zeros(st.doc.state == DocState::None ? 0 : st.doc.coo, 6);
    });
}

// How far the open document has come, and which receipt was closed last: what a point of sale
// reads after an unanswered command to learn whether the printer carried it out.
int32_t impl::EPSON_Obter_Informacao_Ultimo_Documento(char *pszDados) {
    return simple(pszDados, [] {
        const State &st = S();
        const Document &d = st.doc;
        const bool receipt = isReceipt(d.state);
        // An unlinked voucher reports its entries and payments as a receipt does, and a
        // management report the blocks of lines it printed.
        const bool counted = receipt || d.state == DocState::Voucher || d.state == DocState::Report;
        const auto &items = P().items;
        const Item *lastItem = receipt && !items.empty() ? &items.back() : nullptr;
        auto flag = [](bool b) { return std::string(1, b ? '1' : '0'); };
        return std::string(1, docStateCode(d.state)) +
               zeros(d.state == DocState::None ? 0 : d.coo, 6) + zeros(st.last.coo, 6) +
               zeros(counted ? d.items : 0, 4) + flag(lastItem && lastItem->discount != 0) +
               flag(lastItem && lastItem->surcharge != 0) +
               flag(receipt && (d.discount != 0 || d.surcharge != 0)) +
               zeros(counted ? static_cast<int64_t>(d.payments.size()) : 0, 2) +
               zeros(counted ? d.paid() : 0, 14) + flag(receipt && !d.footer.empty());
    });
}

int32_t impl::EPSON_Obter_Estado_Horario_Verao(uint8_t *pbHorarioVerao) {
    return P().query([&] {
        needBuffer(pbHorarioVerao);
        *pbHorarioVerao = S().dst ? 1 : 0;
    });
}

} // namespace ecfsim
