#include "amounts.h"
#include "state_json.h"

namespace ecfsim {

int64_t Document::gross() const {
    int64_t sum = 0;
    for (const auto &[tax, net] : taxNet)
        sum = amounts::add(sum, net);
    return sum;
}

int64_t Document::due() const {
    return gross() - discount + surcharge;
}

int64_t Document::paid() const {
    int64_t sum = 0;
    for (const auto &p : payments)
        sum = amounts::add(sum, p.amount);
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

namespace {

// A member shown in the state's JSON under `name`; the document adds its state character.
template <class T> void putMember(nlohmann::json &j, const char *name, const T &v) {
    j[name] = v;
}
void putMember(nlohmann::json &j, const char *name, const Document &d) {
    j[name] = d;
    j["docState"] = std::string(1, docStateCode(d.state));
}
void putMember(nlohmann::json &j, const char *name, const ZRecord &z) {
    j[name] = zRecord(z);
}
// A member in a section of its own, as stored: its record; the document as [record, state
// character].
template <class T> void putSection(CborWriter &w, const T &v) {
    cbor(w, v);
}
void putSection(CborWriter &w, const Document &d) {
    w.head(4, 2);
    cbor(w, d);
    cbor(w, std::string(1, docStateCode(d.state)));
}
// The record of the last reduction is kept as stored; JSON null (as a fresh printer stores it)
// is none.
void putSection(CborWriter &w, const ZRecord &z) {
    if (z.cbor.empty())
        w.head(7, 22);
    else
        w.raw(z.cbor);
}
template <class T> void takeSection(std::string_view bytes, T &v) {
    v = fromCbor(bytes).get<T>();
}
void takeSection(std::string_view bytes, ZRecord &z) {
    nlohmann::json j = fromCbor(bytes); // checked whole, as the other sections are
    z.cbor = j.is_null() ? std::string() : std::string(bytes);
}
void takeSection(std::string_view bytes, Document &d) {
    nlohmann::json j = fromCbor(bytes);
    d = j.at(0).get<Document>();
    std::string c = j.at(1).get<std::string>();
    d.state = c.empty() ? DocState::None : docStateOf(c[0]);
}

} // namespace

#define ECFSIM_NOTHING(...)

void to_json(nlohmann::json &j, const State &s) {
    j = nlohmann::json::object();
#define ECFSIM_PUT_SECTION(type, member, name) putMember(j, name, s.member);
#define ECFSIM_PUT_FLAG(type, member) j[#member] = s.member;
    ECFSIM_STATE_MEMBERS(ECFSIM_PUT_SECTION, ECFSIM_PUT_FLAG)
}

namespace {

template <auto Member> StateSection memberSection(const char *name) {
    return {name, [](const State &a, const State &b) { return a.*Member == b.*Member; },
            [](const State &s) {
                CborWriter w;
                putSection(w, s.*Member);
                return w.bytes();
            },
            [](std::string_view bytes, State &s) { takeSection(bytes, s.*Member); },
            [](const State &from, State &to) { to.*Member = from.*Member; }};
}

// The flags: a map of the members' names to their values.
StateSection flagsSection() {
    return {"flags",
            [](const State &a, const State &b) {
                return true
#define ECFSIM_SAME_FLAG(type, member) &&a.member == b.member
                    ECFSIM_STATE_MEMBERS(ECFSIM_NOTHING, ECFSIM_SAME_FLAG);
            },
            [](const State &s) {
                CborWriter w;
#define ECFSIM_COUNT_FLAG(type, member) +1
                w.head(5, 0 ECFSIM_STATE_MEMBERS(ECFSIM_NOTHING, ECFSIM_COUNT_FLAG));
#define ECFSIM_SAVE_FLAG(type, member)                                                             \
    cbor(w, std::string_view(#member));                                                            \
    cbor(w, s.member);
                ECFSIM_STATE_MEMBERS(ECFSIM_NOTHING, ECFSIM_SAVE_FLAG)
                return w.bytes();
            },
            [](std::string_view bytes, State &s) {
                nlohmann::json j = fromCbor(bytes);
#define ECFSIM_RESTORE_FLAG(type, member) s.member = j.at(#member).get<type>();
                ECFSIM_STATE_MEMBERS(ECFSIM_NOTHING, ECFSIM_RESTORE_FLAG)
            },
            [](const State &from, State &to) {
#define ECFSIM_COPY_FLAG(type, member) to.member = from.member;
                ECFSIM_STATE_MEMBERS(ECFSIM_NOTHING, ECFSIM_COPY_FLAG)
            }};
}

} // namespace

const std::vector<StateSection> &stateSections() {
    static const std::vector<StateSection> sections{
#define ECFSIM_SECTION(type, member, name) memberSection<&State::member>(name),
        ECFSIM_STATE_MEMBERS(ECFSIM_SECTION, ECFSIM_NOTHING) flagsSection(),
    };
    return sections;
}

} // namespace ecfsim
