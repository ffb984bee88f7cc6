#include "state.h"

namespace ecfsim {

int64_t Document::gross() const {
    int64_t sum = 0;
    for (const auto &[tax, net] : taxNet)
        sum += net;
    return sum;
}

int64_t Document::due() const {
    return gross() - discount + surcharge;
}

int64_t Document::paid() const {
    int64_t sum = 0;
    for (const auto &p : payments)
        sum += p.amount;
    return sum;
}

char docStateCode(DocState s) {
    switch (s) {
    case DocState::ReceiptSale:
        return '1';
    case DocState::ReceiptPayment:
        return '3';
    case DocState::Voucher:
        return '2';
    case DocState::CardVoucher:
        return '4';
    case DocState::Report:
        return '5';
    case DocState::None:
        break;
    }
    return '0';
}

DocState docStateOf(char code) {
    for (DocState s : {DocState::ReceiptSale, DocState::ReceiptPayment, DocState::Voucher,
                       DocState::CardVoucher, DocState::Report})
        if (docStateCode(s) == code) return s;
    return DocState::None;
}

State freshState() {
    State s;
    s.rates.assign(kRateSlots, {});
    s.rates[0] = {"T", 1800, 0};
    s.rates[1] = {"T", 1200, 0};
    s.rates[2] = {"T", 700, 0};
    s.rates[3] = {"S", 500, 0};
    s.payments.assign(kPaymentSlots, {});
    s.payments[0].name = "Dinheiro";
    return s;
}

void to_json(nlohmann::json &j, const State &s) {
    j = nlohmann::json{{"id", s.id},
                       {"counters", s.n},
                       {"day", s.day},
                       {"doc", s.doc},
                       {"docState", std::string(1, docStateCode(s.doc.state))},
                       {"last", s.last},
                       {"gt", s.gt},
                       {"rates", s.rates},
                       {"payments", s.payments},
                       {"nonFiscal", s.nonFiscal},
                       {"reducedDate", s.reducedDate},
                       {"lastZ", s.lastZ},
                       {"dst", s.dst},
                       {"drawerOpen", s.drawerOpen},
                       {"clockOffset", s.clockOffset}};
}

void from_json(const nlohmann::json &j, State &s) {
    s = freshState();
    s.id = j.value("id", s.id);
    s.n = j.value("counters", s.n);
    s.day = j.value("day", s.day);
    s.doc = j.value("doc", s.doc);
    std::string st = j.value("docState", std::string("0"));
    s.doc.state = st.empty() ? DocState::None : docStateOf(st[0]);
    s.last = j.value("last", s.last);
    s.gt = j.value("gt", int64_t{0});
    s.rates = j.value("rates", s.rates);
    s.payments = j.value("payments", s.payments);
    s.nonFiscal = j.value("nonFiscal", s.nonFiscal);
    s.reducedDate = j.value("reducedDate", std::string());
    s.lastZ = j.value("lastZ", nlohmann::json());
    s.dst = j.value("dst", false);
    s.drawerOpen = j.value("drawerOpen", false);
    s.clockOffset = j.value("clockOffset", int64_t{0});
    s.rates.resize(kRateSlots);
    s.payments.resize(kPaymentSlots);
}

} // namespace ecfsim

namespace ecfsim {

namespace {

template <auto Member> StateSection memberSection(const char *name) {
    return {name, [](const State &a, const State &b) { return a.*Member == b.*Member; },
            [](const State &s) { return toCbor(s.*Member); },
            [](const nlohmann::json &j, State &s) {
                s.*Member = j.get<std::remove_reference_t<decltype(s.*Member)>>();
            },
            [](const State &from, State &to) { to.*Member = from.*Member; }};
}

// The document's state character is kept beside its record.
StateSection documentSection() {
    return {"doc", [](const State &a, const State &b) { return a.doc == b.doc; },
            [](const State &s) {
                CborWriter w;
                w.head(4, 2); // [record, state character]
                cbor(w, s.doc);
                cbor(w, std::string(1, docStateCode(s.doc.state)));
                return w.bytes();
            },
            [](const nlohmann::json &j, State &s) {
                s.doc = j.at(0).get<Document>();
                std::string c = j.at(1).get<std::string>();
                s.doc.state = c.empty() ? DocState::None : docStateOf(c[0]);
            },
            [](const State &from, State &to) { to.doc = from.doc; }};
}

bool sameFlags(const State &a, const State &b) {
    return a.gt == b.gt && a.reducedDate == b.reducedDate && a.dst == b.dst &&
           a.drawerOpen == b.drawerOpen && a.clockOffset == b.clockOffset;
}

StateSection flagsSection() {
    return {"flags", sameFlags,
            [](const State &s) {
                CborWriter w;
                w.head(5, 5);
                cbor(w, std::string_view("gt"));
                cbor(w, s.gt);
                cbor(w, std::string_view("reducedDate"));
                cbor(w, s.reducedDate);
                cbor(w, std::string_view("dst"));
                cbor(w, s.dst);
                cbor(w, std::string_view("drawerOpen"));
                cbor(w, s.drawerOpen);
                cbor(w, std::string_view("clockOffset"));
                cbor(w, s.clockOffset);
                return w.bytes();
            },
            [](const nlohmann::json &j, State &s) {
                s.gt = j.at("gt");
                s.reducedDate = j.at("reducedDate");
                s.dst = j.at("dst");
                s.drawerOpen = j.at("drawerOpen");
                s.clockOffset = j.at("clockOffset");
            },
            [](const State &from, State &to) {
                to.gt = from.gt;
                to.reducedDate = from.reducedDate;
                to.dst = from.dst;
                to.drawerOpen = from.drawerOpen;
                to.clockOffset = from.clockOffset;
            }};
}

} // namespace

const std::vector<StateSection> &stateSections() {
    static const std::vector<StateSection> sections{
        memberSection<&State::id>("id"),
        memberSection<&State::n>("counters"),
        memberSection<&State::day>("day"),
        documentSection(),
        memberSection<&State::last>("last"),
        memberSection<&State::rates>("rates"),
        memberSection<&State::payments>("payments"),
        memberSection<&State::nonFiscal>("nonFiscal"),
        memberSection<&State::lastZ>("lastZ"),
        flagsSection(),
    };
    return sections;
}

} // namespace ecfsim
