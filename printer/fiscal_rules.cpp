#include "fiscal_rules.h"

#include <algorithm>
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

Item &requireLastItem() {
    auto &items = P().items;
    if (items.empty() || items.back().cancelled) throw Refusal{Code::NoSuchItem};
    return items.back();
}

Item &requireCancellableItem(int64_t n) {
    auto &items = P().items;
    if (n < 1 || n > static_cast<int64_t>(items.size()) || items[n - 1].cancelled)
        throw Refusal{Code::NoSuchItem};
    return items[n - 1];
}

int64_t requireItemAdjustment(const Item &it, int64_t value, bool discount, bool percent) {
    const bool given = (discount ? it.discount : it.surcharge) != 0;
    // Beyond 100% is out of range for either; checked before the product is taken.
    if (percent && value > 10000) throw Refusal{given ? Code::AdjustmentGiven : Code::OutOfRange};
    int64_t amount = percent ? amounts::mul(it.amount, value) / 10000 : value;
    if (amount == 0) throw Refusal{Code::ZeroValue};
    if (given) throw Refusal{Code::AdjustmentGiven};
    if (discount && amount >= it.amount) throw Refusal{Code::OutOfRange};
    return amount;
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

int64_t requireSubtotalAdjustment(int64_t value, bool discount, bool percent) {
    requireSubtotalAdjustable();
    const int64_t gross = S().doc.gross();
    // A discount of 100% or more is out of range whatever its product would be.
    if (discount && percent && value >= 10000) throw Refusal{Code::OutOfRange};
    int64_t amount = percent ? amounts::mul(gross, value) / 10000 : value;
    if (amount == 0) throw Refusal{Code::ZeroValue};
    if (discount && amount >= gross) throw Refusal{Code::OutOfRange};
    return amount;
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

std::size_t requireVoucherPayment(int32_t slot, int64_t index) {
    const auto &pays = S().last.payments;
    auto free = [&](std::size_t i) { return pays[i].slot == slot && !pays[i].voucherIssued; };
    if (index >= 1 && index <= static_cast<int64_t>(pays.size()) && free(index - 1))
        return static_cast<std::size_t>(index - 1);
    for (std::size_t i = 0; i < pays.size(); ++i)
        if (free(i)) return i;
    throw Refusal{Code::UnknownPayment};
}

void requireVoucherWithin(std::size_t payment, int64_t amount) {
    if (amount > S().last.payments[payment].amount) throw Refusal{Code::OutOfRange};
}

void requireCardVoucher() {
    if (S().doc.state != DocState::CardVoucher) throw Refusal{Code::NoLinkedVoucher};
}

void requireCardVoucherCancellable() {
    requireCardVoucher();
    if (S().doc.voucherCancelled()) throw Refusal{Code::NotAllowed};
}

void requireReport() {
    if (S().doc.state != DocState::Report) throw Refusal{Code::NoReport};
}

void requireReportLines() {
    DocState s = S().doc.state;
    if (s != DocState::Report && s != DocState::CardVoucher)
        throw Refusal{isReceipt(s) ? Code::ReceiptOpen : Code::NoReport};
}

void requireReducible() {
    requireNoDocument();
    const State &st = S();
    if (!st.day.open && st.reducedDate == P().dateKey()) throw Refusal{Code::DayReduced};
}

void requireDstSwitchable() {
    requireNoDocument();
    const State &st = S();
    if (st.day.open && st.n.coo >= st.day.firstCoo) throw Refusal{Code::NotAllowed};
}

std::size_t requireRateProgrammable() {
    requireNoDocument();
    const State &st = S();
    if (st.day.open) throw Refusal{Code::NotAllowed};
    for (std::size_t i = 0; i < st.rates.size(); ++i)
        if (st.rates[i].kind.empty()) return i;
    throw Refusal{Code::TableFull};
}

void requirePaymentProgrammable(int64_t slot, std::string_view name) {
    requireNoDocument();
    const State &st = S();
    if (!st.payments[slot - 1].name.empty()) throw Refusal{Code::PaymentTaken};
    for (const auto &m : st.payments)
        if (!m.name.empty() && sameName(m.name, name)) throw Refusal{Code::NameTaken};
}

int64_t requireTotalizerProgrammable(int64_t slot, std::string_view name) {
    requireNoDocument();
    const auto &tots = S().nonFiscal;
    for (const auto &t : tots)
        if (!t.name.empty() && sameName(t.name, name)) throw Refusal{Code::NameTaken};
    if (slot == 0) {
        auto free = std::find_if(tots.begin(), tots.end(),
                                 [](const NonFiscalTotalizer &t) { return t.name.empty(); });
        slot = free - tots.begin() + 1;
        if (slot > kNonFiscalSlots) throw Refusal{Code::TableFull};
    }
    // Slots past the table's end are free.
    if (slot <= static_cast<int64_t>(tots.size()) && !tots[slot - 1].name.empty())
        throw Refusal{Code::TotalizerTaken};
    return slot;
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

// --- Counters ------------------------------------------------------------------------------

void countDocument() {
    S().n.coo++;
}

void countReceipt() {
    S().n.ccf++;
}

void countNonFiscal(DocState state) {
    Counters &n = S().n;
    n.gnf++;
    if (state == DocState::CardVoucher) n.cdc++;
    if (state == DocState::Report) n.grg++;
}

void countCancelledReceipt() {
    S().n.cfc++;
}

void countXReading() {
    S().n.lx++;
}

void countReduction() {
    S().n.crz++;
}

// --- The last receipt ----------------------------------------------------------------------

void keepLastReceipt(int64_t due) {
    State &st = S();
    st.last = LastReceipt{};
    st.last.coo = st.doc.coo;
    st.last.cancellable = true;
    st.last.taxNet = st.doc.taxNet;
    for (const auto &[key, v] : st.doc.adjust)
        st.last.taxNet[key] += v;
    st.last.payments = st.doc.payments;
    st.last.due = due;
}

void documentBegins(DocState state) {
    if (state != DocState::CardVoucher) endLastReceipt();
}

void endLastReceipt() {
    S().last.cancellable = false;
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
    countCancelledReceipt();
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

void startDay(const std::string &date) {
    State &st = S();
    st.day = Day{};
    st.day.date = date;
    st.day.firstCoo = st.n.coo + 1;
}

void openDay() {
    State &st = S();
    std::string today = P().dateKey();
    if (st.day.open) throw Refusal{st.day.date != today ? Code::ZPending : Code::DayAlreadyOpen};
    if (st.reducedDate == today) throw Refusal{Code::DayReduced};
    startDay(today);
    st.day.open = true;
    st.day.openedAt = P().time6();
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
    st.lastZ.cbor = jsonToCbor(z);
    P().recordReduction(z.at("crz").get<int64_t>(), st.lastZ.cbor);
    const std::string date = z.at("date").get<std::string>(); // ddmmyyyy
    st.reducedDate = date.substr(4, 4) + date.substr(2, 2) + date.substr(0, 2);
    st.day = Day{};
    st.day.date = st.reducedDate;
    endLastReceipt();
    for (auto &r : st.rates)
        r.base = 0;
    for (auto &m : st.payments)
        m.total = 0, m.uses = 0;
    for (auto &t : st.nonFiscal)
        t.total = 0, t.count = 0;
    st.doc = Document{};
}

} // namespace ecfsim::rules
