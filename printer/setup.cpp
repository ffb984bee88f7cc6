// Control calls that put the printer into a given fiscal state without running the days that
// would lead there: counters and GT, table slots, Z reductions in the fiscal memory.
#include <cctype>
#include <ctime>
#include <limits>
#include <mutex>
#include <stdexcept>

#include "amounts.h"
#include "control.h"
#include "detail_memory.h"
#include "document.h"
#include "ecfsim/ecfsim.h"
#include "kill_switch.h"
#include "text.h"
#include "tivplatform/export.h"

namespace ecfsim {

namespace {

using nlohmann::json;

constexpr int64_t kMaxCounter = 999999; // six digits in the counters reply
// The fields the printer keeps amounts in, as the fiscal rules hold them (amounts.h).
constexpr int64_t kMaxAmount = amounts::kTotal; // day totals and rate bases
constexpr int64_t kMaxGt = amounts::kGt;

void onlyMembers(const json &j, std::initializer_list<const char *> known, const char *what) {
    if (!j.is_object()) throw std::invalid_argument(std::string(what) + " must be a JSON object");
    for (const auto &[key, value] : j.items()) {
        bool ok = false;
        for (const char *k : known)
            ok = ok || key == k;
        if (!ok) throw std::invalid_argument("unknown member \"" + key + "\" in " + what);
    }
}

// An integer member within 0..max, written into `into` when present.
void number(const json &j, const char *key, int64_t max, int64_t &into) {
    if (!j.contains(key)) return;
    const json &v = j.at(key);
    if (!v.is_number_integer() || v.get<int64_t>() < 0 || v.get<int64_t>() > max)
        throw std::invalid_argument(std::string(key) + " must be an integer from 0 to " +
                                    std::to_string(max));
    into = v.get<int64_t>();
}

void requireNoDocumentOpen(const State &st) {
    if (st.doc.state != DocState::None)
        throw std::invalid_argument("a document is open: set the printer up between documents");
}

void setCounters(const json &c, State &st) {
    onlyMembers(c, {"coo", "ccf", "gnf", "grg", "cdc", "crz", "cro", "cfc", "lx", "gt"},
                "counters");
    Counters &n = st.n;
    number(c, "coo", kMaxCounter, n.coo);
    number(c, "ccf", kMaxCounter, n.ccf);
    number(c, "gnf", kMaxCounter, n.gnf);
    number(c, "grg", kMaxCounter, n.grg);
    number(c, "cdc", kMaxCounter, n.cdc);
    number(c, "crz", kMaxCounter, n.crz);
    number(c, "cro", kMaxCounter, n.cro);
    number(c, "cfc", kMaxCounter, n.cfc);
    number(c, "lx", kMaxCounter, n.lx);
    number(c, "gt", kMaxGt, st.gt);
}

int slotOf(const json &entry, int slots) {
    if (!entry.is_object() || !entry.contains("slot") || !entry.at("slot").is_number_integer())
        throw std::invalid_argument("each table entry is an object with \"slot\" (1 to " +
                                    std::to_string(slots) + ")");
    int64_t slot = entry.at("slot").get<int64_t>();
    if (slot < 1 || slot > slots)
        throw std::invalid_argument("slot " + std::to_string(slot) + " outside 1 to " +
                                    std::to_string(slots));
    return static_cast<int>(slot);
}

std::string name15(const json &entry, const char *what) {
    std::string name = utf8ToCp1252(entry.at("name").get<std::string>());
    if (name.size() > 15) throw std::invalid_argument(std::string(what) + " longer than 15");
    return name;
}

// A slot without "kind" (or "name") is left blank, as a slot never programmed.
void setTaxRate(const json &e, State &st) {
    onlyMembers(e, {"slot", "kind", "rate", "base"}, "a tax-rate slot");
    TaxRate r;
    int slot = slotOf(e, kRateSlots);
    if (e.contains("kind") && !e.at("kind").is_null()) {
        r.kind = e.at("kind").get<std::string>();
        if (r.kind.size() != 1 || !std::isupper(static_cast<unsigned char>(r.kind[0])))
            throw std::invalid_argument("a tax rate's kind is one letter from A to Z");
    }
    int64_t rate = 0;
    number(e, "rate", 9999, rate);
    r.rate = static_cast<int32_t>(rate);
    number(e, "base", kMaxAmount, r.base);
    st.rates[slot - 1] = r;
}

void setPayment(const json &e, State &st) {
    onlyMembers(e, {"slot", "name", "linked", "total", "uses"}, "a payment slot");
    PaymentMethod m;
    int slot = slotOf(e, kPaymentSlots);
    if (e.contains("name") && !e.at("name").is_null()) m.name = name15(e, "payment name");
    m.linked = e.value("linked", false);
    number(e, "total", amounts::kTable, m.total);
    number(e, "uses", kMaxAmount, m.uses);
    st.payments[slot - 1] = m;
}

void setTotalizer(const json &e, State &st) {
    onlyMembers(e, {"slot", "name", "direction", "total", "count"}, "a non-fiscal slot");
    NonFiscalTotalizer t;
    int slot = slotOf(e, kNonFiscalSlots);
    if (e.contains("name") && !e.at("name").is_null()) t.name = name15(e, "totalizer name");
    t.direction = e.value("direction", std::string("E"));
    if (t.direction != "E" && t.direction != "S")
        throw std::invalid_argument("a totalizer's direction is \"E\" or \"S\"");
    number(e, "total", amounts::kTable, t.total);
    number(e, "count", 9999, t.count);
    if (st.nonFiscal.size() < static_cast<std::size_t>(slot)) st.nonFiscal.resize(slot);
    st.nonFiscal[slot - 1] = t;
    // Blank slots at the end are no part of the table.
    while (!st.nonFiscal.empty() && st.nonFiscal.back().name.empty())
        st.nonFiscal.pop_back();
}

void setTables(const json &t, State &st) {
    onlyMembers(t, {"taxRates", "payments", "nonFiscal"}, "tables");
    auto each = [&](const char *key, void (*set)(const json &, State &)) {
        if (!t.contains(key)) return;
        if (!t.at(key).is_array())
            throw std::invalid_argument(std::string(key) + " must be an array of slots");
        for (const auto &e : t.at(key))
            set(e, st);
    };
    each("taxRates", setTaxRate);
    each("payments", setPayment);
    each("nonFiscal", setTotalizer);
}

// "YYYY-MM-DD" to yyyymmdd, refusing what is not a date.
std::string dateKeyOf(const std::string &text) {
    std::tm t{};
    const char *end = strptime(text.c_str(), "%Y-%m-%d", &t);
    std::tm normal = t;
    bool ok = end && !*end && text.size() == 10;
    if (ok) {
        std::time_t at = timegm(&normal); // 30 February comes back as 1 March
        ok = at != -1 && normal.tm_mday == t.tm_mday && normal.tm_mon == t.tm_mon;
    }
    if (!ok) throw std::invalid_argument("date must be \"YYYY-MM-DD\", got \"" + text + "\"");
    return text.substr(0, 4) + text.substr(5, 2) + text.substr(8, 2);
}

// The day's totals a reduction records; members not given keep the day's own.
void setDayTotals(const json &d, Day &day) {
    onlyMembers(d,
                {"gross", "cancelled", "discounts", "surcharges", "exempt", "notTaxed",
                 "substitution", "supply", "withdrawal", "change"},
                "day");
    number(d, "gross", amounts::kGross, day.gross);
    number(d, "cancelled", kMaxAmount, day.cancelled);
    number(d, "discounts", kMaxAmount, day.discounts);
    number(d, "surcharges", kMaxAmount, day.surcharges);
    number(d, "exempt", kMaxAmount, day.exempt);
    number(d, "notTaxed", kMaxAmount, day.notTaxed);
    number(d, "substitution", kMaxAmount, day.substitution);
    number(d, "supply", kMaxAmount, day.supply);
    number(d, "withdrawal", kMaxAmount, day.withdrawal);
    number(d, "change", kMaxAmount, day.change);
}

// The record a Z reduction of that day would make, kept in the fiscal memory, and the day
// closed as that reduction leaves it. Nothing is printed.
void recordReduction(const json &r, Printer &p) {
    onlyMembers(r,
                {"date", "crz", "coo", "cro", "firstCoo", "counters", "gt", "day", "rates",
                 "payments", "nonFiscal", "madeAt"},
                "reduction");
    State &st = p.st;
    requireNoDocumentOpen(st);
    const std::string today = p.dateKey();
    std::string date = r.contains("date") ? dateKeyOf(r.at("date").get<std::string>())
                                          : (st.day.open ? st.day.date : today);
    if (st.day.open && date != st.day.date)
        throw std::invalid_argument("the fiscal day of " + st.day.date +
                                    " is open: its reduction carries that date");
    if (date > today)
        throw std::invalid_argument("date " + date + " is after the printer's clock (" + today +
                                    ")");
    int64_t lastCrz = 0;
    std::string lastDate;
    for (const auto &row : p.reductions()) {
        const json z = fromCbor(row);
        lastCrz = std::max(lastCrz, z.value("crz", int64_t{0}));
        const std::string d = z.value("date", std::string("00000000"));
        lastDate = std::max(lastDate, d.substr(4, 4) + d.substr(2, 2) + d.substr(0, 2));
    }
    if (!lastDate.empty() && date <= lastDate)
        throw std::invalid_argument("date " + date + " is not after the last reduction's " +
                                    lastDate);
    if (!st.day.open) rules::startDay(date); // a day whose movement the record gives
    rules::countReduction();
    rules::countDocument(); // the reduction's own report
    number(r, "crz", kMaxCounter, st.n.crz);
    number(r, "coo", kMaxCounter, st.n.coo);
    number(r, "cro", kMaxCounter, st.n.cro);
    number(r, "firstCoo", kMaxCounter, st.day.firstCoo);
    if (st.n.crz <= lastCrz)
        throw std::invalid_argument("crz " + std::to_string(st.n.crz) +
                                    " is not past the last reduction's " + std::to_string(lastCrz));
    if (r.contains("counters")) {
        json c = r.at("counters");
        if (c.is_object())
            for (const char *own : {"crz", "coo", "cro", "gt"})
                if (c.contains(own))
                    throw std::invalid_argument(std::string("give ") + own +
                                                " beside \"counters\", not inside it");
        setCounters(c, st);
    }
    number(r, "gt", kMaxGt, st.gt);
    if (r.contains("day")) setDayTotals(r.at("day"), st.day);
    if (r.contains("rates") || r.contains("payments") || r.contains("nonFiscal")) {
        json tables = json::object();
        for (const char *key : {"rates", "payments", "nonFiscal"})
            if (r.contains(key)) tables[key == std::string("rates") ? "taxRates" : key] = r.at(key);
        setTables(tables, st);
    }
    json z = rules::reductionRecord();
    z["madeOn"] = date.substr(6, 2) + date.substr(4, 2) + date.substr(0, 4);
    if (r.contains("madeAt")) {
        std::string at = r.at("madeAt").get<std::string>();
        if (at.size() != 6 || at.find_first_not_of("0123456789") != std::string::npos)
            throw std::invalid_argument("madeAt must be six digits, hhmmss");
        z["madeAt"] = at;
    }
    rules::keepReduction(z);
}

// Parses the caller's JSON and applies it as one set-up, under the printer's lock.
int32_t setUpWith(const char *text, void (*apply)(const json &, Printer &)) {
    Printer &p = Printer::instance();
    std::lock_guard lock(p.mutex());
    kill::Call sweepPoint;
    try {
        json j = control::parse(text);
        return control::setUp([&](Printer &pr) { apply(j, pr); });
    } catch (const std::exception &e) {
        return control::failed(e.what());
    }
}

} // namespace

} // namespace ecfsim

using namespace ecfsim;
using namespace ecfsim::control;

extern "C" {

TIV_EXPORT int32_t ECFSIM_SetCounters(const char *counters) {
    return setUpWith(counters, [](const json &c, Printer &p) {
        requireNoDocumentOpen(p.st);
        setCounters(c, p.st);
    });
}

TIV_EXPORT int32_t ECFSIM_SetTables(const char *tables) {
    return setUpWith(tables, [](const json &t, Printer &p) {
        requireNoDocumentOpen(p.st);
        setTables(t, p.st);
    });
}

TIV_EXPORT int32_t ECFSIM_RecordReduction(const char *reduction) {
    return setUpWith(reduction, [](const json &r, Printer &p) {
        recordReduction(r.is_null() ? json::object() : r, p);
    });
}

TIV_EXPORT const char *ECFSIM_FiscalMemory(void) {
    Printer &p = Printer::instance();
    std::lock_guard lock(p.mutex());
    try {
        if (!p.ensureOpen()) return give({{"error", p.lastError}});
        json records = json::array();
        for (const auto &row : p.reductions())
            records.push_back(utf8(fromCbor(row)));
        return give(records);
    } catch (const StoreError &e) {
        return give({{"error", e.what}});
    }
}

TIV_EXPORT const char *ECFSIM_DetailMemory(void) {
    Printer &p = Printer::instance();
    std::lock_guard lock(p.mutex());
    try {
        if (!p.ensureOpen()) return give({{"error", p.lastError}});
        return give(utf8(mfd::records()));
    } catch (const StoreError &e) {
        return give({{"error", e.what}});
    } catch (const std::exception &e) {
        return give({{"error", std::string("damaged detail memory: ") + e.what()}});
    }
}

} // extern "C"
