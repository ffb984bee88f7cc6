#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace ecfsim {

// The printer's database (records in CBOR, texts in CP1252): the state in named sections, the
// items of the current (or last) receipt, the Z reductions and every printed line. Any failure
// throws StoreError.
class Store {
  public:
    Store() = default;
    Store(const Store &) = delete;
    Store &operator=(const Store &) = delete;
    ~Store();

    void open(const std::string &path);
    void close();
    bool isOpen() const { return db_ != nullptr; }

    void begin();
    void commit();
    void rollback() noexcept;

    // Frames in the write-ahead log after the last commit, and copying them into the database.
    int walFrames() const { return walFrames_; }
    void checkpoint() noexcept;

    std::vector<std::pair<std::string, std::string>> loadSections();
    void saveSection(const std::string &name, const std::string &data);
    std::vector<std::string> loadItems();
    void putItem(int32_t n, const std::string &json);
    void clearItems();
    // Deletes every record: the state, the items, the reductions and the paper.
    void wipe();
    void addReduction(int64_t crz, const std::string &json);
    std::vector<std::string> reductions();
    // The detail memory: one row per printed document, by the order it began. A document in
    // progress has its head stored (open); its trailer replaces it with the whole record.
    struct DetailRow {
        int64_t seq = 0;
        bool open = false, cancelled = false;
        std::string data; // CBOR
    };
    void addDetail(int64_t coo, const std::string &kind, bool open, const std::string &cbor);
    // Completes the last row when it is the open head of document `coo`; false when it is not.
    bool closeDetail(int64_t coo, const std::string &kind, const std::string &cbor);
    // Marks the last complete record of kind `kind` and number `coo` cancelled.
    void cancelDetail(int64_t coo, const std::string &kind);
    std::vector<DetailRow> details();
    // The last row, if any.
    std::optional<DetailRow> lastDetail();
    void addPaper(int64_t seq, const std::string &line);
    int64_t paperCount();
    std::vector<std::string> paperSince(int64_t seq);

  private:
    sqlite3_stmt *prepare(int slot, const char *sql);
    void exec(const char *sql);
    [[noreturn]] void fail(const char *what);

    sqlite3 *db_ = nullptr;
    std::vector<sqlite3_stmt *> stmts_;
    int walFrames_ = 0;
};

struct StoreError {
    std::string what;
    bool inUse = false; // the folder belongs to another process
};

} // namespace ecfsim
