#pragma once
#include <cstdint>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace ecfsim {

// The printer's database (records in CBOR, texts in CP1252): one row of state, the items of the
// current (or last) receipt, the Z reductions and every printed line. Any failure throws
// StoreError.
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

    // Changes whenever another connection commits.
    int64_t dataVersion();

    bool loadState(std::string &json);
    void saveState(const std::string &json);
    std::vector<std::string> loadItems();
    void putItem(int32_t n, const std::string &json);
    void clearItems();
    void addReduction(int64_t crz, const std::string &json);
    std::vector<std::string> reductions();
    void addPaper(int64_t seq, const std::string &line);
    int64_t paperCount();
    std::vector<std::string> paperSince(int64_t seq);

  private:
    sqlite3_stmt *prepare(int slot, const char *sql);
    void exec(const char *sql);
    [[noreturn]] void fail(const char *what);

    sqlite3 *db_ = nullptr;
    std::vector<sqlite3_stmt *> stmts_;
};

struct StoreError {
    std::string what;
};

} // namespace ecfsim
