// Fiscal day, X reading, Z reduction, fiscal-memory reading, daylight-saving time.
#include "document.h"
#include "entry_impl.h"
#include "file_output.h"
#include "state_json.h"
#include "text.h"

namespace ecfsim {

using namespace rules;

namespace {

void printTotals() {
    State &st = S();
    Printer &p = P();
    p.print(spread("VENDA BRUTA DIARIA R$", money(st.day.gross)));
    p.print(spread("CANCELAMENTOS R$", money(st.day.cancelled)));
    p.print(spread("DESCONTOS R$", money(st.day.discounts)));
    p.print(spread("ACRESCIMOS R$", money(st.day.surcharges)));
    p.print(spread("VENDA LIQUIDA R$", money(st.day.gross - st.day.cancelled - st.day.discounts)));
    p.print(spread("GRANDE TOTAL R$", money(st.gt)));
    for (int i = 0; i < kRateSlots; ++i) {
        const TaxRate &r = st.rates[i];
        if (!r.kind.empty())
            p.print(spread(r.kind + zeros(i + 1, 2) + " " + money(r.rate) + "%", money(r.base)));
    }
    p.print(spread("F1 Substituicao tributaria", money(st.day.substitution)));
    p.print(spread("I1 Isento", money(st.day.exempt)));
    p.print(spread("N1 Nao incidencia", money(st.day.notTaxed)));
    for (const auto &m : st.payments)
        if (!m.name.empty()) p.print(spread(m.name, money(m.total)));
    for (std::size_t i = 0; i < st.nonFiscal.size(); ++i)
        if (!st.nonFiscal[i].name.empty())
            p.print(spread(zeros(static_cast<int64_t>(i) + 1, 2) + " " + st.nonFiscal[i].name,
                           money(st.nonFiscal[i].total)));
    p.print(spread("SUPRIMENTO R$", money(st.day.supply)));
    p.print(spread("SANGRIA R$", money(st.day.withdrawal)));
    p.print(spread("COO:" + zeros(st.n.coo, 6) + " CCF:" + zeros(st.n.ccf, 6),
                   "GNF:" + zeros(st.n.gnf, 6)));
    p.print(spread("GRG:" + zeros(st.n.grg, 6) + " CDC:" + zeros(st.n.cdc, 6),
                   "CRZ:" + zeros(st.n.crz, 4) + " CRO:" + zeros(st.n.cro, 3)));
}

int32_t reduce(int32_t dstChange) {
    return P().command([&] {
        requireReducible();
        State &st = S();
        Printer &p = P();
        if (!st.day.open) startDay(p.dateKey()); // a day without movement
        countReduction();
        beginDocument(DocState::None, "REDUCAO Z");
        std::string d = st.day.date;
        p.print(center("MOVIMENTO DO DIA: " + d.substr(6, 2) + "/" + d.substr(4, 2) + "/" +
                       d.substr(0, 4)));
        printTotals();
        printTrailer();
        keepReduction(reductionRecord());
        if (dstChange == 0 && st.dst) st.dst = false, st.clockOffset -= 3600;
        if (dstChange == 1 && !st.dst) st.dst = true, st.clockOffset += 3600;
    });
}

int32_t setDst(bool on) {
    return P().command([&] {
        requireDstSwitchable();
        State &st = S();
        if (on != st.dst) st.clockOffset += on ? 3600 : -3600;
        st.dst = on;
    });
}

bool inRange(const nlohmann::json &z, bool byDate, const std::string &from, const std::string &to) {
    if (!byDate) {
        int64_t crz = z.value("crz", int64_t{0});
        return crz >= std::stoll(from) && crz <= std::stoll(to);
    }
    auto key = [](const std::string &ddmmyyyy) {
        return ddmmyyyy.substr(4, 4) + ddmmyyyy.substr(2, 2) + ddmmyyyy.substr(0, 2);
    };
    std::string k = key(z.value("date", std::string("00000000")));
    return k >= key(from) && k <= key(to);
}

// Reading of the fiscal memory: one block per Z reduction in the range, printed as a document
// of its own; given a file name, its lines are also written to that file (CR LF), whole or not
// at all.
int32_t memoryReading(bool complete, bool byDate, const char *start, const char *end,
                      const char *fileName = nullptr) {
    return P().command([&] {
        std::string from(need(start, 8)), to(need(end, 8));
        std::size_t width = byDate ? 8 : 6;
        if (from.size() > width || to.size() > width) throw Refusal{Code::TooLong};
        digits(from.c_str(), width);
        digits(to.c_str(), width);
        if (byDate && (from.size() != 8 || to.size() != 8)) throw Refusal{Code::BadParameter};
        std::string file;
        if (fileName) {
            file = need(fileName, 4096);
            if (file.empty()) throw Refusal{Code::BadParameter};
        }
        requireNoDocument();
        Printer &p = P();
        const int64_t firstLine = p.nextLine();
        beginDocument(DocState::None, "LEITURA DA MEMORIA FISCAL");
        p.print(center(std::string(complete ? "COMPLETA" : "SIMPLIFICADA") + " - " + from + " a " +
                       to));
        for (const auto &row : p.reductions()) {
            const nlohmann::json z = fromCbor(row);
            if (!inRange(z, byDate, from, to)) continue;
            std::string d = z.value("date", std::string());
            p.print(spread("CRZ:" + zeros(z.value("crz", int64_t{0}), 4) + " " + d,
                           "COO:" + zeros(z.value("coo", int64_t{0}), 6)));
            if (complete) {
                const auto &day = z.at("day");
                p.print(spread("  VENDA BRUTA", money(day.value("gross", int64_t{0}))));
                p.print(spread("  GT", money(z.value("gt", int64_t{0}))));
                p.print(spread("  CANCELAMENTOS", money(day.value("cancelled", int64_t{0}))));
                p.print(spread("  DESCONTOS", money(day.value("discounts", int64_t{0}))));
                p.print(spread("  ACRESCIMOS", money(day.value("surcharges", int64_t{0}))));
                const auto &rates = z.at("rates");
                for (std::size_t i = 0; i < rates.size(); ++i) {
                    std::string kind = rates[i].value("kind", std::string());
                    if (kind.empty()) continue;
                    p.print(spread("  " + kind + zeros(static_cast<int64_t>(i) + 1, 2) + " " +
                                       money(rates[i].value("rate", int64_t{0})) + "%",
                                   money(rates[i].value("base", int64_t{0}))));
                }
            }
        }
        printTrailer();
        S().doc = Document{};
        if (!file.empty()) {
            std::string text;
            for (const auto &line : p.pendingSince(firstLine))
                text += line + "\r\n";
            writeFileAtomically(file, text);
        }
    });
}

} // namespace

int32_t impl::EPSON_RelatorioFiscal_Abrir_Dia() {
    return P().command([] {
        requireNoDocument();
        openDay();
    });
}

int32_t impl::EPSON_RelatorioFiscal_LeituraX() {
    return P().command([] {
        requireNoDocument();
        countXReading();
        beginDocument(DocState::None, "LEITURA X");
        printTotals();
        printTrailer();
        S().doc = Document{};
    });
}

int32_t impl::EPSON_ESC_ECF_RelatorioFiscal_LeituraXEX() {
    return impl::EPSON_RelatorioFiscal_LeituraX();
}

int32_t impl::EPSON_RelatorioFiscal_RZEx(int32_t dwHorarioVerao) {
    if (dwHorarioVerao < 0 || dwHorarioVerao > 2)
        return P().command([] { throw Refusal{Code::BadParameter}; });
    return reduce(dwHorarioVerao);
}

int32_t impl::EPSON_RelatorioFiscal_RZ() {
    return reduce(2);
}

int32_t impl::EPSON_ESC_ECF_RelatorioFiscal_RZEX(const char *pszData, const char *pszHora,
                                                 const char *pszHorarioVerao) {
    // The date and time, when given, must be well formed; the printer keeps its own clock.
    try {
        std::string_view d = need(pszData, 8), h = need(pszHora, 6);
        if (!d.empty()) digits(pszData, 8);
        if (!h.empty()) digits(pszHora, 6);
        flagText(pszHorarioVerao);
    } catch (const Refusal &r) {
        return P().command([&] { throw r; });
    }
    return reduce(2);
}

int32_t impl::EPSON_RelatorioFiscal_Leitura_MF(const char *pszInicio, const char *pszFim,
                                               int32_t dwTipo, char *, const char *pszArquivo,
                                               int32_t, int32_t) {
    switch (dwTipo) {
    case 5:
        return memoryReading(true, true, pszInicio, pszFim);
    case 7:
        return memoryReading(false, true, pszInicio, pszFim);
    case 4:
        return memoryReading(true, false, pszInicio, pszFim);
    case 6:
        return memoryReading(false, false, pszInicio, pszFim);
    // The same four readings, also written to the named file.
    case 17:
        return memoryReading(true, true, pszInicio, pszFim, pszArquivo ? pszArquivo : "");
    case 19:
        return memoryReading(false, true, pszInicio, pszFim, pszArquivo ? pszArquivo : "");
    case 16:
        return memoryReading(true, false, pszInicio, pszFim, pszArquivo ? pszArquivo : "");
    case 18:
        return memoryReading(false, false, pszInicio, pszFim, pszArquivo ? pszArquivo : "");
    default:
        return P().command([] { throw Refusal{Code::BadParameter}; });
    }
}

int32_t impl::EPSON_ESC_ECF_RelatorioFiscal_Leitura_MFEX(const char *pszTipoLeitura,
                                                         const char *pszTipoFaixa,
                                                         const char *pszInicio,
                                                         const char *pszFim) {
    std::string_view kind = pszTipoLeitura ? pszTipoLeitura : "";
    std::string_view range = pszTipoFaixa ? pszTipoFaixa : "";
    if ((kind != "1" && kind != "2") || (range != "1" && range != "2"))
        return P().command([] { throw Refusal{Code::BadParameter}; });
    return memoryReading(kind == "1", range == "1", pszInicio, pszFim);
}

int32_t impl::EPSON_ESC_ECF_Config_Horario_Verao(const char *pszHorarioVerao) {
    std::string_view v = pszHorarioVerao ? pszHorarioVerao : "";
    if (v != "0" && v != "1") return P().command([] { throw Refusal{Code::BadParameter}; });
    return setDst(v == "1");
}

// The classic family switches daylight saving only with a Z reduction (RZEx 0 or 1).
int32_t impl::EPSON_Config_Horario_Verao(int32_t) {
    return P().command([] { throw Refusal{Code::NotAllowed}; });
}

int32_t impl::EPSON_Impressora_Abrir_Gaveta() {
    return P().command([] { S().drawerOpen = true; });
}

int32_t impl::EPSON_ESC_ECF_Impressora_Abrir_Gaveta() {
    return impl::EPSON_Impressora_Abrir_Gaveta();
}

} // namespace ecfsim
