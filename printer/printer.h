#pragma once
#include <algorithm>
#include <cstdint>
#include <ctime>
#include <functional>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "errors.h"
#include "paper.h"
#include "state.h"
#include "store.h"

namespace ecfsim {

// The one virtual printer of the process: its state, database, paper roll and status.
// Callers hold mutex() around every use.
class Printer {
  public:
    static Printer &instance();
    std::recursive_mutex &mutex() { return mutex_; }

    // Folder handling; errors are thrown as StoreError.
    void openFolder(const std::string &folder);
    // Wipes the folder's printer and makes a fresh one, set up by `configure` (which changes st),
    // in one transaction: either all of it is stored or the printer stays as it was.
    void reset(const std::function<void()> &configure);
    // Opens the folder when none is open. After a folder was refused as in use by another
    // process, refuses at once with the same error, without waiting, until retryFolder().
    bool ensureOpen();
    // The port opened again: the next ensureOpen() tries the refused folder again, waiting as
    // an opening does.
    void retryFolder() { retry_ = true; }
    const std::string &folder() const { return folder_; }
    static std::string defaultFolder();

    // Runs one command as one transaction. body throws Refusal to refuse; then nothing of it
    // stays. Returns the entry point's return code.
    int32_t command(const std::function<void()> &body);
    // Runs a reply; body must check everything before it writes into a buffer.
    int32_t query(const std::function<void()> &body);

    // Used by command bodies.
    void print(std::string line);
    void printBlock(std::string_view block);
    void touchItem(int32_t n) { dirtyItems_.insert(n); }
    void dropItems();
    // The fiscal memory: Z reduction records in CBOR, by CRZ.
    void recordReduction(int64_t crz, std::string cbor);
    std::vector<std::string> reductions();
    // The detail memory, written inside the running command's transaction (detail_memory.h).
    Store &store() { return store_; }
    // The paper line the next print() makes (lines counted from 1).
    int64_t nextLine() const { return paperLines_ + static_cast<int64_t>(pending_.size()) + 1; }
    // The lines the running command has printed from line `from` on.
    std::vector<std::string> pendingSince(int64_t from) const {
        const int64_t skip = std::max<int64_t>(from - paperLines_ - 1, 0);
        if (skip >= static_cast<int64_t>(pending_.size())) return {};
        return {pending_.begin() + skip, pending_.end()};
    }

    // The printer's clock: broken-down local time, with the offset set through the control API.
    std::tm clock() const;
    std::string date8() const;   // ddmmyyyy
    std::string dateKey() const; // yyyymmdd
    std::string time6() const;   // hhmmss

    // The printer's own status text (20 characters); injected faults show theirs over it
    // (StatusOverlay, faults.h).
    std::string status() const;
    Code lastResult = Code::Ok;
    std::string lastError;

    int64_t paperLines() const { return paperLines_; }
    std::vector<std::string> paperSince(int64_t mark);

    State st;
    std::vector<Item> items; // items of the open or last receipt

  private:
    Printer() = default;
    void load();
    void discard();

    std::recursive_mutex mutex_;
    std::string folder_;
    std::string refusedFolder_; // a folder refused as in use by another process
    std::string refusal_;       // and why
    bool retry_ = false;
    Store store_;
    State saved_; // the state as last committed
    PaperRoll roll_;
    int64_t paperLines_ = 0;
    std::vector<std::string> pending_;
    std::set<int32_t> dirtyItems_;
    bool itemsDropped_ = false;
    std::vector<std::pair<int64_t, std::string>> newReductions_;
};

} // namespace ecfsim
