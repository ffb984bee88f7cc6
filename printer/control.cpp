// The ECFSIM_ control API.
#include <cstring>
#include <ctime>
#include <mutex>
#include <stdexcept>

#include "control.h"
#include "document.h"
#include "ecfsim/ecfsim.h"
#include "faults.h"
#include "kill_switch.h"
#include "printer.h"
#include "text.h"
#include "tivplatform/export.h"

namespace ecfsim {

namespace control {

namespace {
std::string &out() {
    static std::string *s = new std::string();
    return *s;
}
} // namespace

std::string &lastError() {
    static std::string *s = new std::string();
    return *s;
}

const char *give(const nlohmann::json &j) {
    out() = j.dump();
    return out().c_str();
}

int32_t failed(const std::string &why) {
    lastError() = why;
    return -1;
}

nlohmann::json utf8(const nlohmann::json &j) {
    if (j.is_string()) return cp1252ToUtf8(j.get_ref<const std::string &>());
    if (j.is_array()) {
        nlohmann::json a = nlohmann::json::array();
        for (const auto &e : j)
            a.push_back(utf8(e));
        return a;
    }
    if (j.is_object()) {
        nlohmann::json o = nlohmann::json::object();
        for (auto it = j.begin(); it != j.end(); ++it)
            o[it.key()] = utf8(it.value());
        return o;
    }
    return j;
}

nlohmann::json parse(const char *json) {
    if (!json || !*json) return nullptr;
    return nlohmann::json::parse(json);
}

int32_t change(const std::function<void(Printer &)> &f) {
    Printer &p = Printer::instance();
    Code before = p.lastResult;
    int32_t r = p.command([&] { f(p); });
    p.lastResult = before;
    if (r != 0) return failed("could not store the change: " + p.lastError);
    return 0;
}

int32_t setUp(const std::function<void(Printer &)> &f) {
    Printer &p = Printer::instance();
    Code before = p.lastResult;
    std::string invalid;
    int32_t r = p.command([&] {
        try {
            f(p);
        } catch (const std::invalid_argument &e) {
            invalid = e.what();
            throw Refusal{Code::BadParameter};
        } catch (const nlohmann::json::exception &e) {
            invalid = e.what();
            throw Refusal{Code::BadParameter};
        }
    });
    p.lastResult = before;
    if (r == 0) return 0;
    return failed(!invalid.empty() ? invalid : "could not store the change: " + p.lastError);
}

} // namespace control

namespace {

using namespace control;

std::string text(const nlohmann::json &j, const char *key, std::size_t max,
                 const std::string &fallback) {
    if (!j.contains(key)) return fallback;
    std::string t = utf8ToCp1252(j.at(key).get<std::string>());
    if (t.size() > max)
        throw std::invalid_argument(std::string(key) + " longer than " + std::to_string(max));
    return t;
}

bool allDigits(const std::string &s) {
    if (s.empty()) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    return true;
}

// Seconds to add to the host's local time so that the printer's clock shows `when`.
int64_t offsetFor(const std::string &when) {
    std::tm t{};
    if (!strptime(when.c_str(), "%Y-%m-%d %H:%M:%S", &t))
        throw std::invalid_argument("clock must be \"YYYY-MM-DD HH:MM:SS\"");
    std::time_t target = timegm(&t);
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return static_cast<int64_t>(target) - (now + local.tm_gmtoff);
}

State configured(const nlohmann::json &c) {
    State s = freshState();
    if (c.is_null()) return s;
    if (!c.is_object()) throw std::invalid_argument("configuration must be a JSON object");
    Identity &id = s.id;
    id.serial = text(c, "serial", 20, id.serial);
    id.model = text(c, "model", 20, id.model);
    id.brand = text(c, "brand", 20, id.brand);
    id.type = text(c, "type", 20, id.type);
    id.ecf = text(c, "ecf", 3, id.ecf);
    if (id.ecf.size() != 3 || !allDigits(id.ecf)) throw std::invalid_argument("ecf: 3 digits");
    id.shop = text(c, "shop", 4, id.shop);
    if (id.shop.size() != 4 || !allDigits(id.shop)) throw std::invalid_argument("shop: 4 digits");
    id.cnpj = text(c, "cnpj", 20, id.cnpj);
    id.ie = text(c, "ie", 20, id.ie);
    id.im = text(c, "im", 20, id.im);
    id.version = text(c, "version", 9, id.version);
    id.nationalCode = text(c, "nationalCode", 7, id.nationalCode);
    if (c.contains("header")) {
        id.header.clear();
        for (const auto &l : c.at("header")) {
            std::string line = utf8ToCp1252(l.get<std::string>());
            if (line.size() > kColumns) throw std::invalid_argument("header line over 48");
            id.header.push_back(line);
        }
        if (id.header.size() > 8) throw std::invalid_argument("header over 8 lines");
    }
    if (c.contains("taxRates")) {
        const auto &rates = c.at("taxRates");
        if (rates.size() > static_cast<std::size_t>(kRateSlots))
            throw std::invalid_argument("too many tax rates");
        s.rates.assign(kRateSlots, {});
        for (std::size_t i = 0; i < rates.size(); ++i) {
            std::string kind = rates[i].value("kind", std::string("T"));
            int32_t rate = rates[i].value("rate", int32_t{0});
            if ((kind != "T" && kind != "S") || rate < 1 || rate > 9999)
                throw std::invalid_argument("tax rate: kind T or S, rate 1..9999 hundredths");
            s.rates[i] = TaxRate{kind, rate, 0};
        }
    }
    if (c.contains("payments")) {
        const auto &pays = c.at("payments");
        if (pays.size() > static_cast<std::size_t>(kPaymentSlots))
            throw std::invalid_argument("too many payment methods");
        s.payments.assign(kPaymentSlots, {});
        for (std::size_t i = 0; i < pays.size(); ++i) {
            PaymentMethod m;
            if (pays[i].is_string()) {
                m.name = utf8ToCp1252(pays[i].get<std::string>());
            } else {
                m.name = text(pays[i], "name", 15, "");
                m.linked = pays[i].value("linked", false);
            }
            if (m.name.empty() || m.name.size() > 15)
                throw std::invalid_argument("payment name: 1 to 15 characters");
            s.payments[i] = m;
        }
    }
    if (c.contains("nonFiscal")) {
        const auto &tots = c.at("nonFiscal");
        if (tots.size() > static_cast<std::size_t>(kNonFiscalSlots))
            throw std::invalid_argument("too many non-fiscal totalizers");
        for (const auto &t : tots) {
            NonFiscalTotalizer n;
            if (t.is_string()) {
                n.name = utf8ToCp1252(t.get<std::string>());
            } else {
                n.name = text(t, "name", 15, "");
                n.direction = t.value("direction", std::string("E"));
            }
            if (n.name.empty() || n.name.size() > 15 || (n.direction != "E" && n.direction != "S"))
                throw std::invalid_argument("non-fiscal totalizer: name of 1 to 15, direction E/S");
            s.nonFiscal.push_back(n);
        }
    }
    s.dst = c.value("daylightSaving", false);
    if (c.contains("clock")) s.clockOffset = offsetFor(c.at("clock").get<std::string>());
    return s;
}

} // namespace

} // namespace ecfsim

using namespace ecfsim;
using namespace ecfsim::control;

extern "C" {

TIV_EXPORT int32_t ECFSIM_OpenFolder(const char *folder) {
    Printer &p = Printer::instance();
    std::lock_guard lock(p.mutex());
    kill::Call sweepPoint;
    try {
        p.openFolder(folder ? folder : "");
        return 0;
    } catch (const StoreError &e) {
        return failed(e.what);
    }
}

TIV_EXPORT const char *ECFSIM_Folder(void) {
    Printer &p = Printer::instance();
    std::lock_guard lock(p.mutex());
    p.ensureOpen();
    return give({{"folder", p.folder()}});
}

TIV_EXPORT int32_t ECFSIM_Reset(const char *config) {
    Printer &p = Printer::instance();
    std::lock_guard lock(p.mutex());
    kill::Call sweepPoint;
    try {
        nlohmann::json c = parse(config);
        State s = configured(c);
        bool dayOpen = c.is_object() && c.value("dayOpen", false);
        p.reset([&] {
            p.st = s;
            if (dayOpen) rules::openDay();
        });
        return 0;
    } catch (const StoreError &e) {
        return failed(e.what);
    } catch (const Refusal &r) {
        return failed("the fresh printer refused its set-up (" +
                      std::to_string(static_cast<unsigned>(r.code)) + ")");
    } catch (const std::exception &e) {
        return failed(e.what());
    }
}

TIV_EXPORT int32_t ECFSIM_SetClock(const char *dateTime) {
    Printer &p = Printer::instance();
    std::lock_guard lock(p.mutex());
    kill::Call sweepPoint;
    try {
        int64_t off = offsetFor(dateTime ? dateTime : "");
        return change([&](Printer &pr) { pr.st.clockOffset = off; });
    } catch (const std::exception &e) {
        return failed(e.what());
    }
}

TIV_EXPORT int32_t ECFSIM_ShiftClock(int64_t seconds) {
    Printer &p = Printer::instance();
    std::lock_guard lock(p.mutex());
    kill::Call sweepPoint;
    if (!p.ensureOpen()) return failed(p.lastError);
    // The printed year has four digits: about ten thousand years either way is the most.
    constexpr int64_t kMaxOffset = 10000LL * 366 * 86400;
    int64_t off;
    if (__builtin_add_overflow(p.st.clockOffset, seconds, &off) || off > kMaxOffset ||
        off < -kMaxOffset)
        return failed("the clock cannot be shifted that far");
    return change([&](Printer &pr) { pr.st.clockOffset = off; });
}

TIV_EXPORT int32_t ECFSIM_SetDrawer(int32_t open) {
    Printer &p = Printer::instance();
    std::lock_guard lock(p.mutex());
    kill::Call sweepPoint;
    return change([&](Printer &pr) { pr.st.drawerOpen = open != 0; });
}

TIV_EXPORT int32_t ECFSIM_InjectFault(const char *fault) {
    Printer &p = Printer::instance();
    std::lock_guard lock(p.mutex());
    try {
        return faults().add(parse(fault));
    } catch (const std::exception &e) {
        return failed(e.what());
    }
}

TIV_EXPORT int32_t ECFSIM_ClearFaults(void) {
    Printer &p = Printer::instance();
    std::lock_guard lock(p.mutex());
    faults().clear();
    statusOverlay().clearWords();
    return 0;
}

TIV_EXPORT const char *ECFSIM_Journal(void) {
    Printer &p = Printer::instance();
    std::lock_guard lock(p.mutex());
    return give(journal().all());
}

TIV_EXPORT int32_t ECFSIM_ClearJournal(void) {
    Printer &p = Printer::instance();
    std::lock_guard lock(p.mutex());
    journal().clear();
    return 0;
}

TIV_EXPORT int64_t ECFSIM_MarkPaper(void) {
    Printer &p = Printer::instance();
    std::lock_guard lock(p.mutex());
    if (!p.ensureOpen()) return failed(p.lastError);
    return p.paperLines();
}

TIV_EXPORT const char *ECFSIM_PaperSince(int64_t mark) {
    Printer &p = Printer::instance();
    std::lock_guard lock(p.mutex());
    nlohmann::json lines = nlohmann::json::array();
    try {
        if (p.ensureOpen())
            for (const auto &l : p.paperSince(mark))
                lines.push_back(cp1252ToUtf8(l));
    } catch (const StoreError &e) {
        lastError() = e.what;
    }
    return give({{"lines", lines}});
}

TIV_EXPORT const char *ECFSIM_State(void) {
    Printer &p = Printer::instance();
    std::lock_guard lock(p.mutex());
    if (!p.ensureOpen()) return give({{"error", p.lastError}});
    nlohmann::json j = utf8(nlohmann::json(p.st));
    j["items"] = utf8(nlohmann::json(p.items));
    j["folder"] = p.folder();
    j["paperLines"] = p.paperLines();
    j["status"] = statusOverlay().apply(p.status());
    return give(j);
}

TIV_EXPORT const char *ECFSIM_LastError(void) {
    Printer &p = Printer::instance();
    std::lock_guard lock(p.mutex());
    return give({{"error", utf8(nlohmann::json(lastError()))}});
}

} // extern "C"
