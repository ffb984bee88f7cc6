#include "rules.h"

#include <cctype>

#include "text.h"

namespace ecfsim::rules {

void requireNoDocument() {
    DocState s = S().doc.state;
    if (isReceipt(s)) throw Refusal{Code::ReceiptOpen};
    if (s != DocState::None) throw Refusal{Code::DocumentOpen};
}

void openDay() {
    State &st = S();
    std::string today = P().dateKey();
    if (st.day.open) throw Refusal{st.day.date != today ? Code::ZPending : Code::DayAlreadyOpen};
    if (st.reducedDate == today) throw Refusal{Code::DayReduced};
    st.day = Day{};
    st.day.open = true;
    st.day.date = today;
    st.day.openedAt = P().time6();
    st.day.firstCoo = st.n.coo + 1;
}

void requireDay(bool autoOpen) {
    State &st = S();
    std::string today = P().dateKey();
    if (st.day.open) {
        if (st.day.date != today) throw Refusal{Code::ZPending};
        return;
    }
    if (st.reducedDate == today) throw Refusal{Code::DayReduced};
    if (!autoOpen) throw Refusal{Code::DayClosed};
    openDay();
}

void beginDocument(DocState state, std::string_view title) {
    Printer &p = P();
    State &st = S();
    st.n.coo++;
    st.doc = Document{};
    st.doc.state = state;
    st.doc.coo = st.n.coo;
    for (const auto &h : st.id.header)
        p.print(center(h));
    p.print("CNPJ:" + st.id.cnpj);
    p.print("IE:" + st.id.ie + (st.id.im.empty() ? "" : " IM:" + st.id.im));
    p.print(std::string(kColumns, '-'));
    std::string d = p.date8(), t = p.time6();
    std::string when = d.substr(0, 2) + "/" + d.substr(2, 2) + "/" + d.substr(4) + " " +
                       t.substr(0, 2) + ":" + t.substr(2, 2) + ":" + t.substr(4);
    std::string counters;
    if (state == DocState::ReceiptSale) counters = "CCF:" + zeros(st.n.ccf, 6) + " ";
    counters += "COO:" + zeros(st.n.coo, 6);
    p.print(spread(when, counters));
    p.print(center(title));
}

void printTrailer() {
    Printer &p = P();
    State &st = S();
    p.print(std::string(kColumns, '-'));
    p.print(spread(st.id.brand + " " + st.id.type, st.id.model));
    p.print(spread("ECF:" + st.id.ecf + " LJ:" + st.id.shop, "FAB:" + st.id.serial));
    p.print("");
}

std::string taxKey(std::string_view code) {
    State &st = S();
    if (code == "F" || code == "F1") return "F";
    if (code == "I" || code == "I1") return "I";
    if (code == "N" || code == "N1") return "N";
    int slot = 0;
    if (code.size() == 2 && code[0] == 'T' && code[1] >= 'a' && code[1] < 'a' + kRateSlots) {
        slot = code[1] - 'a' + 1;
    } else if (code.size() >= 2 && code.size() <= 3 && code[0] == 'T') {
        for (char c : code.substr(1)) {
            if (!std::isdigit(static_cast<unsigned char>(c))) throw Refusal{Code::UnknownTax};
            slot = slot * 10 + (c - '0');
        }
    }
    if (slot < 1 || slot > kRateSlots || st.rates[slot - 1].kind.empty())
        throw Refusal{Code::UnknownTax};
    return "T" + zeros(slot, 2);
}

std::string taxLabel(const std::string &key) {
    if (key.size() == 3) {
        const TaxRate &r = S().rates[std::stoi(key.substr(1)) - 1];
        return r.kind + zeros(r.rate, 4);
    }
    return key + "1";
}

void addToTax(const std::string &key, int64_t amount) {
    State &st = S();
    if (key == "F")
        st.day.substitution += amount;
    else if (key == "I")
        st.day.exempt += amount;
    else if (key == "N")
        st.day.notTaxed += amount;
    else
        st.rates[std::stoi(key.substr(1)) - 1].base += amount;
}

int32_t paymentByName(std::string_view name) {
    const auto &pays = S().payments;
    if (trim(name).empty()) throw Refusal{Code::UnknownPayment};
    for (std::size_t i = 0; i < pays.size(); ++i)
        if (!pays[i].name.empty() && sameName(pays[i].name, name))
            return static_cast<int32_t>(i) + 1;
    throw Refusal{Code::UnknownPayment};
}

int32_t paymentByCode(std::string_view code) {
    int32_t slot = 0;
    if (code.empty() || code.size() > 2) throw Refusal{Code::UnknownPayment};
    for (char c : code) {
        if (!std::isdigit(static_cast<unsigned char>(c))) throw Refusal{Code::UnknownPayment};
        slot = slot * 10 + (c - '0');
    }
    if (slot < 1 || slot > kPaymentSlots || S().payments[slot - 1].name.empty())
        throw Refusal{Code::UnknownPayment};
    return slot;
}

int32_t totalizer(std::string_view key) {
    const auto &tots = S().nonFiscal;
    bool number = !key.empty() && key.size() <= 2;
    int32_t n = 0;
    for (char c : key) {
        if (!std::isdigit(static_cast<unsigned char>(c)))
            number = false;
        else
            n = n * 10 + (c - '0');
    }
    if (number && n >= 1 && n <= static_cast<int32_t>(tots.size()) && !tots[n - 1].name.empty())
        return n;
    if (!trim(key).empty())
        for (std::size_t i = 0; i < tots.size(); ++i)
            if (!tots[i].name.empty() && sameName(tots[i].name, key))
                return static_cast<int32_t>(i) + 1;
    throw Refusal{Code::UnknownTotalizer};
}

std::string formatQuantity(int64_t q) {
    std::string s = std::to_string(q / 1000) + "," + zeros(q % 1000, 3);
    return s;
}

nlohmann::json reductionRecord() {
    const State &st = S();
    const Printer &p = P();
    const std::string &d = st.day.date;
    nlohmann::json z;
    z["crz"] = st.n.crz;
    z["coo"] = st.n.coo;
    z["cro"] = st.n.cro;
    z["firstCoo"] = st.day.firstCoo;
    z["date"] = d.substr(6, 2) + d.substr(4, 2) + d.substr(0, 4);
    z["madeOn"] = p.date8();
    z["madeAt"] = p.time6();
    z["counters"] = st.n;
    z["gt"] = st.gt;
    z["day"] = st.day;
    z["rates"] = st.rates;
    z["payments"] = st.payments;
    z["nonFiscal"] = st.nonFiscal;
    return z;
}

void keepReduction(const nlohmann::json &z) {
    State &st = S();
    P().recordReduction(z);
    st.lastZ = z;
    const std::string date = z.at("date").get<std::string>(); // ddmmyyyy
    st.reducedDate = date.substr(4, 4) + date.substr(2, 2) + date.substr(0, 2);
    st.day = Day{};
    st.day.date = st.reducedDate;
    st.last.cancellable = false;
    for (auto &r : st.rates)
        r.base = 0;
    for (auto &m : st.payments)
        m.total = 0, m.uses = 0;
    for (auto &t : st.nonFiscal)
        t.total = 0, t.count = 0;
    st.doc = Document{};
}

} // namespace ecfsim::rules
