#include "fiscal_rules.h"

#include <cctype>

#include "amounts.h"
#include "state_json.h"
#include "text.h"

namespace ecfsim::rules {

namespace {

using amounts::addTo;

constexpr int32_t kMaxItems = 9999;

// The one place a rate's base or the day's totals per untaxed code move.
void addToTax(const std::string &key, int64_t amount) {
    State &st = S();
    if (key == "F")
        addTo(st.day.substitution, amount, amounts::kTotal);
    else if (key == "I")
        addTo(st.day.exempt, amount, amounts::kTotal);
    else if (key == "N")
        addTo(st.day.notTaxed, amount, amounts::kTotal);
    else
        addTo(st.rates[std::stoi(key.substr(1)) - 1].base, amount, amounts::kTotal);
}

} // namespace

// --- Preconditions -------------------------------------------------------------------------

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

void requireNewDocument(bool autoOpen) {
    requireNoDocument();
    requireDay(autoOpen);
}

void requireSale() {
    DocState s = S().doc.state;
    if (s == DocState::ReceiptPayment) throw Refusal{Code::InPayment};
    if (s != DocState::ReceiptSale)
        throw Refusal{s == DocState::None ? Code::NoReceipt : Code::DocumentOpen};
}

void requireItemRoom() {
    requireSale();
    if (S().doc.items >= kMaxItems) throw Refusal{Code::NotAllowed};
}

void requireReceipt() {
    DocState s = S().doc.state;
    if (!isReceipt(s)) throw Refusal{s == DocState::None ? Code::NoReceipt : Code::DocumentOpen};
}

void requireSubtotalAdjustable() {
    requireSale();
    const Document &doc = S().doc;
    if (doc.gross() <= 0) throw Refusal{Code::NoItems};
    if (doc.discount || doc.surcharge) throw Refusal{Code::AdjustmentGiven};
}

int64_t requirePayable() {
    requireReceipt();
    const Document &doc = S().doc;
    int64_t due = doc.due();
    if (due <= 0) throw Refusal{Code::NoItems};
    if (doc.paid() >= due) throw Refusal{Code::NotAllowed};
    return due;
}

int64_t requireReceiptPaid() {
    requireReceipt();
    const Document &doc = S().doc;
    int64_t due = doc.due();
    if (due <= 0) throw Refusal{Code::NoItems};
    if (doc.payments.empty() || doc.paid() < due) throw Refusal{Code::NotPaid};
    return due;
}

bool requireCancellableReceipt() {
    DocState s = S().doc.state;
    if (isReceipt(s)) return true;
    if (s != DocState::None) throw Refusal{Code::DocumentOpen};
    if (!S().last.cancellable) throw Refusal{Code::NothingToCancel};
    requireDay(false);
    return false;
}

void requireVoucher() {
    DocState s = S().doc.state;
    if (s != DocState::Voucher) throw Refusal{isReceipt(s) ? Code::ReceiptOpen : Code::NoVoucher};
}

void requireVoucherEntry() {
    requireVoucher();
    if (!S().doc.payments.empty()) throw Refusal{Code::InPayment};
}

void requireVoucherPayable() {
    requireVoucher();
    const Document &doc = S().doc;
    if (doc.total == 0) throw Refusal{Code::NoItems};
    if (doc.paid() >= doc.total) throw Refusal{Code::NotAllowed};
}

void requireVoucherPaid() {
    requireVoucher();
    const Document &doc = S().doc;
    if (doc.total == 0) throw Refusal{Code::NoItems};
    if (doc.paid() < doc.total) throw Refusal{Code::NotPaid};
}

void requireLinkable() {
    requireNoDocument();
    requireDay(false);
    if (!S().last.cancellable) throw Refusal{Code::NothingToCancel};
}

void requireCardVoucher() {
    if (S().doc.state != DocState::CardVoucher) throw Refusal{Code::NoLinkedVoucher};
}

void requireReport() {
    if (S().doc.state != DocState::Report) throw Refusal{Code::NoReport};
}

void requireReportLines() {
    DocState s = S().doc.state;
    if (s != DocState::Report && s != DocState::CardVoucher)
        throw Refusal{isReceipt(s) ? Code::ReceiptOpen : Code::NoReport};
}

void requireRateProgrammable() {
    requireNoDocument();
    if (S().day.open) throw Refusal{Code::NotAllowed};
}

// --- Table lookups -------------------------------------------------------------------------

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

// --- Postings ------------------------------------------------------------------------------

void post(Posting kind, const std::string &key, int64_t amount) {
    State &st = S();
    switch (kind) {
    case Posting::Surcharge:
        addTo(st.day.surcharges, amount, amounts::kTotal);
        [[fallthrough]];
    case Posting::Sale:
        addTo(st.day.gross, amount, amounts::kGross);
        addTo(st.gt, amount, amounts::kGt);
        addToTax(key, amount);
        break;
    case Posting::Discount:
        addTo(st.day.discounts, amount, amounts::kTotal);
        addToTax(key, -amount);
        break;
    }
}

void reverse(const std::map<std::string, int64_t> &shares, int64_t total) {
    for (const auto &[key, v] : shares)
        addToTax(key, -v);
    addTo(S().day.cancelled, total, amounts::kTotal);
}

void cancelReceipt(const std::map<std::string, int64_t> &shares,
                   const std::vector<Payment> &payments, int64_t due) {
    State &st = S();
    reverse(shares, due);
    for (const auto &pm : payments)
        addTo(st.payments[pm.slot - 1].total, -pm.amount, amounts::kTable);
    st.n.cfc++;
}

void postPayment(int32_t slot, int64_t amount) {
    PaymentMethod &m = S().payments[slot - 1];
    addTo(m.total, amount, amounts::kTable);
    m.uses++;
}

void postChange(int64_t amount) {
    addTo(S().day.change, amount, amounts::kTotal);
}

void postNonFiscal(int32_t n, int64_t amount) {
    NonFiscalTotalizer &t = S().nonFiscal[n - 1];
    addTo(t.total, amount, amounts::kTable);
    t.count++;
}

void postCash(bool supply, int64_t amount) {
    Day &day = S().day;
    addTo(supply ? day.supply : day.withdrawal, amount, amounts::kTotal);
}

// --- The fiscal day ------------------------------------------------------------------------

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
    st.lastZ.cbor = jsonToCbor(z);
    P().recordReduction(z.at("crz").get<int64_t>(), st.lastZ.cbor);
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
