#include "printer.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "faults.h"
#include "state_json.h"
#include "text.h"

namespace ecfsim {

namespace fs = std::filesystem;

namespace {
constexpr const char *kDatabase = "ecf.sqlite";
constexpr const char *kRoll = "paper.txt";
constexpr int kCheckpointIdle = 1000;    // log frames (pages)
constexpr int kCheckpointAlways = 16000; // about 64 MB of log

} // namespace

Printer &Printer::instance() {
    static Printer *p = new Printer(); // never destroyed: entry points may run during exit
    return *p;
}

std::string Printer::defaultFolder() {
    if (const char *d = std::getenv("ECFSIM_DIR"); d && *d) return d;
    if (const char *x = std::getenv("XDG_STATE_HOME"); x && *x)
        return (fs::path(x) / "tiv" / "ecfsim").string();
    const char *home = std::getenv("HOME");
    return (fs::path(home && *home ? home : ".") / ".local" / "state" / "tiv" / "ecfsim").string();
}

void Printer::openFolder(const std::string &folder) {
    std::string target = folder.empty() ? defaultFolder() : folder;
    roll_.close();
    store_.close();
    folder_.clear();
    refusedFolder_.clear();
    refusal_.clear();
    retry_ = false;
    std::error_code ec;
    fs::create_directories(target, ec);
    if (ec) throw StoreError{"cannot create " + target + ": " + ec.message()};
    try {
        store_.open((fs::path(target) / kDatabase).string());
    } catch (const StoreError &e) {
        if (e.inUse) refusedFolder_ = target, refusal_ = e.what;
        throw;
    }
    folder_ = target;
    if (store_.loadSections().empty()) {
        // A new printer: write its sections.
        st = freshState();
        store_.begin();
        try {
            for (const auto &section : stateSections())
                store_.saveSection(section.name, section.save(st));
            store_.commit();
        } catch (...) {
            store_.rollback();
            throw;
        }
    }
    load();
    roll_.open((fs::path(target) / kRoll).string(), store_);
    paperLines_ = store_.paperCount();
    statusOverlay().clearWords();
    lastResult = Code::Ok;
}

void Printer::reset(const std::function<void()> &configure) {
    if (!ensureOpen()) throw StoreError{lastError};
    discard();
    store_.begin();
    try {
        store_.wipe();
        items.clear();
        st = freshState();
        configure();
        for (const auto &section : stateSections())
            store_.saveSection(section.name, section.save(st));
        store_.commit();
    } catch (...) {
        store_.rollback();
        discard();
        try {
            load();
        } catch (const StoreError &) {
            store_.close();
        }
        throw;
    }
    saved_ = st;
    paperLines_ = 0;
    // The old roll is longer than the database's (now empty) one, so it is written anew; a
    // crash before this does the same when the folder is next opened.
    roll_.open((fs::path(folder_) / kRoll).string(), store_);
    store_.checkpoint();
    statusOverlay().clearWords();
    lastResult = Code::Ok;
}

bool Printer::ensureOpen() {
    if (store_.isOpen()) return true;
    if (!refusedFolder_.empty() && !retry_) {
        // Another process holds it: waiting again on every call would make each one as slow as
        // the opening was.
        lastError = refusal_;
        return false;
    }
    try {
        openFolder(refusedFolder_);
        return true;
    } catch (const StoreError &e) {
        lastError = e.what;
        return false;
    }
}

void Printer::load() {
    auto stored = store_.loadSections();
    if (stored.empty()) throw StoreError{"no printer state"};
    try {
        st = freshState();
        for (const auto &[name, bytes] : stored) {
            for (const auto &section : stateSections())
                if (name == section.name) section.restore(bytes, st);
        }
        st.rates.resize(kRateSlots);
        st.payments.resize(kPaymentSlots);
        items.clear();
        for (const auto &row : store_.loadItems())
            items.push_back(fromCbor(row).get<Item>());
    } catch (const nlohmann::json::exception &e) {
        throw StoreError{std::string("damaged printer state: ") + e.what()};
    }
    saved_ = st;
}

void Printer::discard() {
    pending_.clear();
    dirtyItems_.clear();
    itemsDropped_ = false;
    newReductions_.clear();
}

int32_t Printer::command(const std::function<void()> &body) {
    if (!ensureOpen()) {
        lastResult = Code::Storage;
        return 1;
    }
    Code outcome = Code::Ok;
    std::vector<std::size_t> changed;
    try {
        store_.begin();
        try {
            body();
            if (itemsDropped_) store_.clearItems();
            for (int32_t n : dirtyItems_) {
                if (n >= 1 && n <= static_cast<int32_t>(items.size()))
                    store_.putItem(n, toCbor(items[n - 1]));
            }
            for (const auto &[crz, z] : newReductions_)
                store_.addReduction(crz, z);
            int64_t seq = paperLines_;
            for (const auto &line : pending_)
                store_.addPaper(++seq, line);
            changed.clear();
            const auto &sections = stateSections();
            for (std::size_t i = 0; i < sections.size(); ++i) {
                if (sections[i].same(st, saved_)) continue;
                store_.saveSection(sections[i].name, sections[i].save(st));
                changed.push_back(i);
            }
            store_.commit();
        } catch (...) {
            store_.rollback();
            throw;
        }
    } catch (const Refusal &r) {
        outcome = r.code;
    } catch (const StoreError &e) {
        lastError = e.what;
        outcome = Code::Storage;
    } catch (const std::exception &e) {
        lastError = e.what();
        outcome = Code::Storage;
    }
    if (outcome != Code::Ok) {
        discard();
        try {
            load(); // the state in memory may hold half of the refused command
        } catch (const StoreError &e) {
            lastError = e.what;
            store_.close();
        }
        lastResult = outcome;
        return 1;
    }
    for (std::size_t i : changed)
        stateSections()[i].copy(st, saved_);
    // Copy the log into the database between documents, or mid-document once it grows large.
    if ((st.doc.state == DocState::None && store_.walFrames() >= kCheckpointIdle) ||
        store_.walFrames() >= kCheckpointAlways)
        store_.checkpoint();
    roll_.append(pending_);
    paperLines_ += static_cast<int64_t>(pending_.size());
    discard();
    lastResult = Code::Ok;
    return 0;
}

int32_t Printer::query(const std::function<void()> &body) {
    if (!ensureOpen()) {
        lastResult = Code::Storage;
        return 1;
    }
    try {
        body();
    } catch (const Refusal &r) {
        lastResult = r.code;
        return 1;
    } catch (const StoreError &e) {
        lastError = e.what;
        lastResult = Code::Storage;
        return 1;
    } catch (const std::exception &e) {
        // A stored record that does not read back (the files read every one), or memory
        // running out: refused, as a command would be, rather than thrown at the caller.
        lastError = e.what();
        lastResult = Code::Storage;
        return 1;
    }
    lastResult = Code::Ok;
    return 0;
}

void Printer::print(std::string line) {
    if (line.size() <= kColumns) {
        pending_.push_back(std::move(line));
        return;
    }
    printBlock(line);
}

void Printer::printBlock(std::string_view block) {
    for (auto &l : wrap(block))
        pending_.push_back(std::move(l));
}

void Printer::dropItems() {
    items.clear();
    dirtyItems_.clear();
    itemsDropped_ = true;
}

void Printer::recordReduction(int64_t crz, std::string cbor) {
    newReductions_.emplace_back(crz, std::move(cbor));
}

std::vector<std::string> Printer::reductions() {
    return store_.reductions();
}

std::vector<std::string> Printer::paperSince(int64_t mark) {
    return store_.paperSince(mark);
}

std::tm Printer::clock() const {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    std::time_t shifted = now + local.tm_gmtoff + st.clockOffset;
    std::tm out{};
    gmtime_r(&shifted, &out);
    return out;
}

std::string Printer::date8() const {
    std::tm t = clock();
    return zeros(t.tm_mday, 2) + zeros(t.tm_mon + 1, 2) + zeros(t.tm_year + 1900, 4);
}

std::string Printer::dateKey() const {
    std::tm t = clock();
    return zeros(t.tm_year + 1900, 4) + zeros(t.tm_mon + 1, 2) + zeros(t.tm_mday, 2);
}

std::string Printer::time6() const {
    std::tm t = clock();
    return zeros(t.tm_hour, 2) + zeros(t.tm_min, 2) + zeros(t.tm_sec, 2);
}

std::string Printer::status() const {
    // Fiscal state bits: 0001 fiscal receipt open, 0002 unlinked voucher, 0004 card voucher,
    // 0008 management report, 0080 receipt in payment, 8000 fiscal day open,
    // 4000 day of this date reduced, 1000 daylight-saving time.
    unsigned bits = 0;
    switch (st.doc.state) {
    case DocState::ReceiptSale:
        bits |= 0x0001;
        break;
    case DocState::ReceiptPayment:
        bits |= 0x0081;
        break;
    case DocState::Voucher:
        bits |= 0x0002;
        break;
    case DocState::CardVoucher:
        bits |= 0x0004;
        break;
    case DocState::Report:
        bits |= 0x0008;
        break;
    case DocState::None:
        break;
    }
    if (st.day.open) bits |= 0x8000;
    if (!st.reducedDate.empty() && st.reducedDate == dateKey()) bits |= 0x4000;
    if (st.dst) bits |= 0x1000;
    char hex[8];
    std::snprintf(hex, sizeof hex, "%04X", bits);
    char code[8];
    std::snprintf(code, sizeof code, "%04X", static_cast<unsigned>(lastResult));
    return std::string("00000000") + (st.drawerOpen ? "1000" : "1001") + hex + code;
}

} // namespace ecfsim
