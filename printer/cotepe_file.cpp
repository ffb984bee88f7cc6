#include "cotepe_file.h"

#include "detail_memory.h"
#include "entry_impl.h"
#include "file_output.h"
#include "fiscal_rules.h"
#include "state_json.h"
#include "text.h"

namespace ecfsim::files {

using nlohmann::json;
using rules::P;
using rules::S;

namespace {

constexpr const char *kEnd = "\r\n";
constexpr const char *kLayoutVersion = "AC1704 01.00.00";
constexpr const char *kLibraryVersion = "01.00.00";

// Fixed-width fields: texts left-aligned and blank-filled, numbers right-aligned and
// zero-filled; both cut to their width.
std::string X(std::string_view text, std::size_t width) {
    std::string s(text.substr(0, width));
    s.resize(width, ' ');
    return s;
}
std::string N(int64_t value, int width) {
    return zeros(value, width);
}
std::string onlyDigits(std::string_view text) {
    std::string s;
    for (char c : text)
        if (c >= '0' && c <= '9') s += c;
    return s;
}
// A registration number without its punctuation, so that it fits its field whole.
std::string unpunctuated(std::string_view text) {
    std::string s;
    for (char c : text)
        if (c != '.' && c != '-' && c != '/') s += c;
    return s;
}
std::string N(std::string_view digitsText, int width) {
    std::string s = onlyDigits(digitsText);
    if (s.size() > static_cast<std::size_t>(width)) s = s.substr(s.size() - width);
    return std::string(width - s.size(), '0') + s;
}
// ddmmyyyy to yyyymmdd
std::string dateKey(const std::string &ddmmyyyy) {
    if (ddmmyyyy.size() != 8) return "00000000";
    return ddmmyyyy.substr(4, 4) + ddmmyyyy.substr(2, 2) + ddmmyyyy.substr(0, 2);
}
int64_t num(const json &j, const char *key) {
    return j.value(key, int64_t{0});
}
std::string text(const json &j, const char *key) {
    return j.value(key, std::string());
}

bool validDate(const std::string &key) {
    int y = std::stoi(key.substr(0, 4)), m = std::stoi(key.substr(4, 2)),
        d = std::stoi(key.substr(6, 2));
    static const int days[] = {31, 29, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (y < 1900 || m < 1 || m > 12 || d < 1 || d > days[m - 1]) return false;
    bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return !(m == 2 && d == 29 && !leap);
}

// The identification of the printer every record begins with: serial, additional memory
// letter, model, user number.
std::string printerId(bool withUser) {
    const Identity &id = S().id;
    return X(id.serial, 20) + X("", 1) + X(id.model, 20) + (withUser ? N(1, 2) : "");
}

std::string e01(const std::string &command, int64_t firstCrz, int64_t lastCrz,
                const std::string &firstDate, const std::string &lastDate) {
    const Identity &id = S().id;
    return "E01" + X(id.serial, 20) + X("", 1) + X(id.type, 7) + X(id.brand, 20) + X(id.model, 20) +
           X(id.version, 10) + N(dateKey(id.versionDate), 8) + N(id.versionTime, 6) + N(id.ecf, 3) +
           N(id.cnpj, 14) + X(command, 3) + N(firstCrz, 6) + N(lastCrz, 6) + N(firstDate, 8) +
           N(lastDate, 8) + X(kLibraryVersion, 8) + X(kLayoutVersion, 15) + kEnd;
}

std::string e02() {
    const State &st = S();
    const Identity &id = st.id;
    std::string address;
    for (std::size_t i = 1; i < id.header.size(); ++i)
        address += (i > 1 ? " " : "") + id.header[i];
    return "E02" + X(id.serial, 20) + X("", 1) + X(id.model, 20) + N(id.cnpj, 14) +
           X(unpunctuated(id.ie), 14) + X(id.header.empty() ? "" : id.header[0], 40) +
           X(address, 120) + N(dateKey(id.versionDate), 8) + N(id.versionTime, 6) + N(st.n.cro, 6) +
           N(st.gt, 18) + N(1, 2) + kEnd;
}

std::string e12(const json &z) {
    return "E12" + printerId(true) + N(num(z, "crz"), 6) + N(num(z, "coo"), 9) +
           N(num(z, "cro"), 6) + N(dateKey(text(z, "date")), 8) + N(dateKey(text(z, "madeOn")), 8) +
           N(text(z, "madeAt"), 6) + N(z.at("day").value("gross", int64_t{0}), 14) + X("N", 1) +
           kEnd;
}

// The partial totalizers of a reduction, in the order the fiscal memory keeps them.
std::vector<std::pair<std::string, int64_t>> totalizers(const json &z) {
    std::vector<std::pair<std::string, int64_t>> out;
    const json &rates = z.at("rates");
    for (std::size_t i = 0; i < rates.size(); ++i) {
        std::string kind = text(rates[i], "kind");
        if (kind.empty()) continue;
        out.emplace_back(N(static_cast<int64_t>(i) + 1, 2) + kind + N(num(rates[i], "rate"), 4),
                         num(rates[i], "base"));
    }
    const json &day = z.at("day");
    out.emplace_back("F1", num(day, "substitution"));
    out.emplace_back("I1", num(day, "exempt"));
    out.emplace_back("N1", num(day, "notTaxed"));
    out.emplace_back("Can-T", num(day, "cancelled"));
    out.emplace_back("DT", num(day, "discounts"));
    out.emplace_back("AT", num(day, "surcharges"));
    int64_t nonFiscal = 0;
    for (const auto &t : z.value("nonFiscal", json::array()))
        nonFiscal += num(t, "total");
    out.emplace_back("OPNF", nonFiscal);
    return out;
}

std::string e13(const json &z, const std::string &name, int64_t value) {
    return "E13" + printerId(true) + N(num(z, "crz"), 6) + X(name, 7) + N(value, 13) + kEnd;
}

std::string e14(const json &d) {
    const int64_t discount = num(d, "discount"), surcharge = num(d, "surcharge");
    std::string order = discount ? "D" : surcharge ? "A" : " ";
    return "E14" + printerId(true) + N(num(d, "ccf"), 9) + N(num(d, "coo"), 9) +
           N(text(d, "date"), 8) + N(num(d, "subtotal"), 14) + N(discount, 13) + X("V", 1) +
           N(surcharge, 13) + X("V", 1) + N(num(d, "total"), 14) +
           X(d.value("cancelled", false) ? "S" : "N", 1) + N(0, 13) + X(order, 1) +
           X(text(d, "name"), 40) + N(text(d, "cpf"), 14) + kEnd;
}

std::string e15(const json &d, const json &it) {
    const bool cancelled = it.value("cancelled", false);
    const int64_t net = num(it, "amount") - num(it, "discount") + num(it, "surcharge");
    return "E15" + printerId(true) + N(num(d, "coo"), 9) + N(num(d, "ccf"), 9) +
           N(num(it, "n"), 3) + X(text(it, "code"), 14) + X(text(it, "description"), 100) +
           N(num(it, "quantity"), 7) + X(text(it, "unit"), 3) + N(num(it, "price"), 8) +
           N(num(it, "discount"), 8) + N(num(it, "surcharge"), 8) + N(net, 14) +
           X(text(it, "totalizer"), 7) + X(cancelled ? "S" : "N", 1) +
           N(cancelled ? num(it, "quantity") : 0, 7) + N(cancelled ? net : 0, 13) + N(0, 13) +
           X("T", 1) + N(3, 1) + N(3, 1) + kEnd;
}

std::string e16(const json &d) {
    return "E16" + printerId(true) + N(num(d, "coo"), 9) + N(num(d, "gnf"), 6) +
           N(num(d, "grg"), 6) + N(num(d, "cdc"), 4) + N(num(d, "crz"), 6) + X(text(d, "kind"), 2) +
           N(text(d, "endDate"), 8) + N(text(d, "endTime"), 6) + kEnd;
}

std::string e21(const json &d, const json &pm) {
    return "E21" + printerId(true) + N(num(d, "coo"), 9) + N(num(d, "ccf"), 9) +
           N(num(d, "gnf"), 6) + X(text(pm, "name"), 15) + N(num(pm, "amount"), 13) + X("N", 1) +
           N(0, 13) + kEnd;
}

} // namespace

Range parseRange(const char *start, const char *end, bool byDate) {
    Range r;
    r.byDate = byDate;
    if (byDate) {
        std::string_view a = need(start, 8), b = need(end, 8);
        if (a.size() != 8 || b.size() != 8) throw Refusal{Code::BadParameter};
        digits(start, 8);
        digits(end, 8);
        r.fromDate = dateKey(std::string(a));
        r.toDate = dateKey(std::string(b));
        if (!validDate(r.fromDate) || !validDate(r.toDate)) throw Refusal{Code::BadParameter};
    } else {
        r.from = digits(start, 9);
        r.to = digits(end, 9);
    }
    return r;
}

std::vector<json> reductionsIn(const Range &r) {
    std::vector<json> out;
    for (const auto &row : P().reductions()) {
        json z = fromCbor(row);
        bool in = r.byDate ? dateKey(text(z, "date")) >= r.fromDate &&
                                 dateKey(text(z, "date")) <= r.toDate
                           : num(z, "crz") >= r.from && num(z, "crz") <= r.to;
        if (in) out.push_back(std::move(z));
    }
    return out;
}

std::vector<json> documentsIn(const Range &r) {
    std::vector<json> out;
    for (auto &d : mfd::records()) {
        if (d.value("open", false)) continue; // still printing
        bool in = r.byDate ? text(d, "date") >= r.fromDate && text(d, "date") <= r.toDate
                           : num(d, "coo") >= r.from && num(d, "coo") <= r.to;
        if (in) out.push_back(std::move(d));
    }
    return out;
}

std::string memoryFile(const Range &r) {
    const auto zs = reductionsIn(r);
    if (zs.empty()) return {};
    std::string out = e01("MF", num(zs.front(), "crz"), num(zs.back(), "crz"),
                          r.byDate ? r.fromDate : dateKey(text(zs.front(), "date")),
                          r.byDate ? r.toDate : dateKey(text(zs.back(), "date")));
    out += e02();
    for (const auto &z : zs)
        out += e12(z);
    for (const auto &z : zs)
        for (const auto &[name, value] : totalizers(z))
            out += e13(z, name, value);
    return out;
}

std::string detailFile(const Range &r) {
    const auto ds = documentsIn(r);
    if (ds.empty()) return {};
    int64_t firstCrz = 0, lastCrz = 0;
    for (const auto &d : ds) {
        if (num(d, "crz") == 0) continue;
        if (firstCrz == 0) firstCrz = num(d, "crz");
        lastCrz = num(d, "crz");
    }
    std::string out =
        e01("MFD", firstCrz, lastCrz, r.byDate ? r.fromDate : text(ds.front(), "date"),
            r.byDate ? r.toDate : text(ds.back(), "date"));
    out += e02();
    for (const auto &d : ds)
        if (text(d, "kind") == mfd::kReceipt) out += e14(d);
    for (const auto &d : ds)
        if (text(d, "kind") == mfd::kReceipt)
            for (const auto &it : d.value("items", json::array()))
                out += e15(d, it);
    for (const auto &d : ds)
        if (text(d, "kind") != mfd::kReceipt) out += e16(d);
    for (const auto &d : ds)
        for (const auto &pm : d.value("payments", json::array()))
            out += e21(d, pm);
    return out;
}

std::string detailMirror(const Range &r) {
    const auto ds = documentsIn(r);
    if (ds.empty()) return {};
    int64_t first = 0;
    for (const auto &d : ds)
        if (num(d, "firstLine") > 0 && (first == 0 || num(d, "firstLine") < first))
            first = num(d, "firstLine");
    const std::vector<std::string> lines =
        first > 0 ? P().paperSince(first - 1) : std::vector<std::string>{};
    const Identity &id = S().id;
    std::string out = "ESPELHO DA MFD - " + id.brand + " " + id.model + " FAB:" + id.serial + kEnd;
    for (const auto &d : ds) {
        const std::string date = text(d, "date"), time = text(d, "time");
        out += std::string(kColumns, '=') + kEnd;
        out += "COO:" + N(num(d, "coo"), 6) + " " + text(d, "kind") + " " + date.substr(6, 2) +
               "/" + date.substr(4, 2) + "/" + date.substr(0, 4) + " " + time.substr(0, 2) + ":" +
               time.substr(2, 2) + ":" + time.substr(4, 2) +
               (d.value("cancelled", false) ? " CANCELADO" : "") + kEnd;
        out += std::string(kColumns, '=') + kEnd;
        const int64_t from = num(d, "firstLine"), to = num(d, "lastLine");
        if (from <= 0) {
            out += "(linhas nao guardadas)" + std::string(kEnd);
            continue;
        }
        for (int64_t n = from; n <= to; ++n) {
            const auto at = static_cast<std::size_t>(n - first);
            if (at < lines.size()) out += lines[at] + kEnd;
        }
    }
    return out;
}

} // namespace ecfsim::files

namespace ecfsim {

// Range kinds: 0 dates, 2 numbers. The fourth argument 255 asks for the mirror; otherwise the
// fifth names the file (3 from the fiscal memory, 2 from the detail memory), written with
// "_CTP.txt" after the path.
int32_t impl::EPSON_Obter_Dados_MF_MFD(const char *pszInicio, const char *pszFim,
                                       int32_t dwTipoFaixa, int32_t dwEspelho,
                                       int32_t dwTipoArquivo, int32_t dwReservado,
                                       const char *pszArquivo) {
    return rules::P().query([&] {
        if (dwTipoFaixa != 0 && dwTipoFaixa != 2) throw Refusal{Code::BadParameter};
        if (dwEspelho != 0 && dwEspelho != 255) throw Refusal{Code::BadParameter};
        if (dwReservado != 0) throw Refusal{Code::BadParameter};
        if (dwEspelho == 0 && dwTipoArquivo != 2 && dwTipoArquivo != 3)
            throw Refusal{Code::BadParameter};
        std::string path(need(pszArquivo, 4096));
        if (path.empty()) throw Refusal{Code::BadParameter};
        const files::Range range = files::parseRange(pszInicio, pszFim, dwTipoFaixa == 0);
        std::string body;
        if (dwEspelho == 255) {
            body = files::detailMirror(range);
        } else {
            body = dwTipoArquivo == 3 ? files::memoryFile(range) : files::detailFile(range);
            path += "_CTP.txt";
        }
        if (body.empty()) throw Refusal{Code::NothingInRange};
        writeFileAtomically(path, body);
    });
}

} // namespace ecfsim
