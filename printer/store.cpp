#include "store.h"

#include <cstdlib>
#include <string_view>

#include <sqlite3.h>

#include "kill_switch.h"

namespace ecfsim {

namespace {

enum Slot {
    kBegin,
    kCommit,
    kLoadSections,
    kSaveSection,
    kLoadItems,
    kPutItem,
    kClearItems,
    kAddReduction,
    kReductions,
    kAddDetail,
    kCloseDetail,
    kCancelDetail,
    kDetails,
    kLastDetail,
    kAddPaper,
    kPaperCount,
    kPaperSince,
    kSlots
};

// Reset on scope exit so a statement never stays busy after an exception.
struct Use {
    sqlite3_stmt *s;
    ~Use() {
        sqlite3_reset(s);
        sqlite3_clear_bindings(s);
    }
};

const char *synchronousSetting() {
    // NORMAL in WAL mode: a commit is in the operating system's hands once it returns, so a
    // killed process loses nothing. FULL adds an fsync per command for power loss as well.
    const char *env = std::getenv("ECFSIM_SYNCHRONOUS");
    if (env && std::string_view(env) == "FULL") return "PRAGMA synchronous=FULL";
    return "PRAGMA synchronous=NORMAL";
}

} // namespace

Store::~Store() {
    close();
}

void Store::fail(const char *what) {
    std::string msg = what;
    if (db_) msg += std::string(": ") + sqlite3_errmsg(db_);
    throw StoreError{msg};
}

void Store::open(const std::string &path) {
    close();
    if (sqlite3_open_v2(path.c_str(), &db_, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr) !=
        SQLITE_OK) {
        std::string msg = db_ ? sqlite3_errmsg(db_) : "out of memory";
        close();
        throw StoreError{"cannot open " + path + ": " + msg};
    }
    sqlite3_busy_timeout(db_, 2000); // a process closing the folder lets go within that
    try {
        // The printer belongs to one process at a time, as a printer on a serial port does: the
        // connection keeps its lock, so a command takes no file locks and the log's index lives
        // in memory. Must come before the log is first opened.
        exec("PRAGMA locking_mode=EXCLUSIVE");
        exec("PRAGMA journal_mode=WAL");
        exec(synchronousSetting());
        exec("CREATE TABLE IF NOT EXISTS section(name TEXT PRIMARY KEY, data BLOB NOT NULL) "
             "WITHOUT ROWID;"
             "CREATE TABLE IF NOT EXISTS item(n INTEGER PRIMARY KEY, data BLOB NOT NULL);"
             "CREATE TABLE IF NOT EXISTS reduction(crz INTEGER PRIMARY KEY, data BLOB NOT NULL);"
             "CREATE TABLE IF NOT EXISTS paper(seq INTEGER PRIMARY KEY, line BLOB NOT NULL);"
             "CREATE TABLE IF NOT EXISTS detail(seq INTEGER PRIMARY KEY, coo INTEGER NOT NULL, "
             "kind TEXT NOT NULL, open INTEGER NOT NULL, cancelled INTEGER NOT NULL DEFAULT 0, "
             "data BLOB NOT NULL);");
    } catch (const StoreError &) {
        bool busy = (sqlite3_errcode(db_) & 0xFF) == SQLITE_BUSY;
        close();
        if (busy) throw StoreError{path + " is in use by another process", true};
        throw;
    }
    stmts_.assign(kSlots, nullptr);
    // The printer decides when to checkpoint (between documents), instead of SQLite doing it
    // in the middle of a sale.
    walFrames_ = 0;
    sqlite3_wal_hook(
        db_,
        [](void *self, sqlite3 *, const char *, int frames) {
            static_cast<Store *>(self)->walFrames_ = frames;
            return SQLITE_OK;
        },
        this);
}

void Store::checkpoint() noexcept {
    // PASSIVE never waits for readers; what it cannot copy now is copied next time.
    if (db_ && sqlite3_wal_checkpoint_v2(db_, nullptr, SQLITE_CHECKPOINT_PASSIVE, nullptr,
                                         nullptr) == SQLITE_OK)
        walFrames_ = 0;
}

void Store::close() {
    for (auto *s : stmts_)
        sqlite3_finalize(s);
    stmts_.clear();
    if (db_) sqlite3_close(db_);
    db_ = nullptr;
}

void Store::exec(const char *sql) {
    char *err = nullptr;
    if (sqlite3_exec(db_, sql, nullptr, nullptr, &err) != SQLITE_OK) {
        std::string msg = err ? err : "error";
        sqlite3_free(err);
        throw StoreError{std::string(sql) + ": " + msg};
    }
}

sqlite3_stmt *Store::prepare(int slot, const char *sql) {
    if (!db_) throw StoreError{"printer folder not open"};
    if (!stmts_[slot] && sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmts_[slot],
                                            nullptr) != SQLITE_OK)
        fail("prepare");
    return stmts_[slot];
}

void Store::begin() {
    // Prepared once: parsing the two statements anew was a tenth of a command's time.
    auto *s = prepare(kBegin, "BEGIN IMMEDIATE");
    Use u{s};
    if (sqlite3_step(s) != SQLITE_DONE) fail("begin");
}
void Store::commit() {
    kill::beforeCommit();
    auto *s = prepare(kCommit, "COMMIT");
    Use u{s};
    if (sqlite3_step(s) != SQLITE_DONE) fail("commit");
    kill::afterCommit();
}
void Store::rollback() noexcept {
    if (db_ && !sqlite3_get_autocommit(db_))
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
}

static std::string columnText(sqlite3_stmt *s, int col) {
    const auto *p = static_cast<const char *>(sqlite3_column_blob(s, col));
    return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(s, col)))
             : std::string();
}

std::vector<std::pair<std::string, std::string>> Store::loadSections() {
    auto *s = prepare(kLoadSections, "SELECT name, data FROM section");
    Use u{s};
    std::vector<std::pair<std::string, std::string>> out;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW)
        out.emplace_back(columnText(s, 0), columnText(s, 1));
    if (rc != SQLITE_DONE) fail("load state");
    return out;
}

void Store::saveSection(const std::string &name, const std::string &data) {
    auto *s = prepare(kSaveSection, "INSERT OR REPLACE INTO section(name, data) VALUES(?, ?)");
    Use u{s};
    sqlite3_bind_text(s, 1, name.data(), static_cast<int>(name.size()), SQLITE_STATIC);
    sqlite3_bind_blob(s, 2, data.data(), static_cast<int>(data.size()), SQLITE_STATIC);
    if (sqlite3_step(s) != SQLITE_DONE) fail("save state");
}

std::vector<std::string> Store::loadItems() {
    auto *s = prepare(kLoadItems, "SELECT data FROM item ORDER BY n");
    Use u{s};
    std::vector<std::string> out;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW)
        out.push_back(columnText(s, 0));
    if (rc != SQLITE_DONE) fail("load items");
    return out;
}

void Store::putItem(int32_t n, const std::string &json) {
    auto *s = prepare(kPutItem, "INSERT OR REPLACE INTO item(n, data) VALUES(?, ?)");
    Use u{s};
    sqlite3_bind_int(s, 1, n);
    sqlite3_bind_blob(s, 2, json.data(), static_cast<int>(json.size()), SQLITE_STATIC);
    if (sqlite3_step(s) != SQLITE_DONE) fail("put item");
}

void Store::clearItems() {
    auto *s = prepare(kClearItems, "DELETE FROM item");
    Use u{s};
    if (sqlite3_step(s) != SQLITE_DONE) fail("clear items");
}

void Store::wipe() {
    exec("DELETE FROM section; DELETE FROM item; DELETE FROM reduction; DELETE FROM paper; "
         "DELETE FROM detail;");
}

void Store::addReduction(int64_t crz, const std::string &json) {
    auto *s = prepare(kAddReduction, "INSERT INTO reduction(crz, data) VALUES(?, ?)");
    Use u{s};
    sqlite3_bind_int64(s, 1, crz);
    sqlite3_bind_blob(s, 2, json.data(), static_cast<int>(json.size()), SQLITE_STATIC);
    if (sqlite3_step(s) != SQLITE_DONE) fail("add reduction");
}

std::vector<std::string> Store::reductions() {
    auto *s = prepare(kReductions, "SELECT data FROM reduction ORDER BY crz");
    Use u{s};
    std::vector<std::string> out;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW)
        out.push_back(columnText(s, 0));
    if (rc != SQLITE_DONE) fail("reductions");
    return out;
}

void Store::addDetail(int64_t coo, const std::string &kind, bool open, const std::string &cbor) {
    auto *s = prepare(kAddDetail, "INSERT INTO detail(coo, kind, open, data) VALUES(?, ?, ?, ?)");
    Use u{s};
    sqlite3_bind_int64(s, 1, coo);
    sqlite3_bind_text(s, 2, kind.data(), static_cast<int>(kind.size()), SQLITE_STATIC);
    sqlite3_bind_int(s, 3, open ? 1 : 0);
    sqlite3_bind_blob(s, 4, cbor.data(), static_cast<int>(cbor.size()), SQLITE_STATIC);
    if (sqlite3_step(s) != SQLITE_DONE) fail("add detail");
}

bool Store::closeDetail(int64_t coo, const std::string &kind, const std::string &cbor) {
    auto *s = prepare(kCloseDetail, "UPDATE detail SET kind = ?, open = 0, data = ? WHERE seq = "
                                    "(SELECT MAX(seq) FROM detail) AND open = 1 AND coo = ?");
    Use u{s};
    sqlite3_bind_text(s, 1, kind.data(), static_cast<int>(kind.size()), SQLITE_STATIC);
    sqlite3_bind_blob(s, 2, cbor.data(), static_cast<int>(cbor.size()), SQLITE_STATIC);
    sqlite3_bind_int64(s, 3, coo);
    if (sqlite3_step(s) != SQLITE_DONE) fail("close detail");
    return sqlite3_changes(db_) == 1;
}

void Store::cancelDetail(int64_t coo, const std::string &kind) {
    auto *s = prepare(kCancelDetail,
                      "UPDATE detail SET cancelled = 1 WHERE seq = (SELECT MAX(seq) FROM detail "
                      "WHERE coo = ? AND kind = ? AND open = 0)");
    Use u{s};
    sqlite3_bind_int64(s, 1, coo);
    sqlite3_bind_text(s, 2, kind.data(), static_cast<int>(kind.size()), SQLITE_STATIC);
    if (sqlite3_step(s) != SQLITE_DONE) fail("cancel detail");
}

std::vector<Store::DetailRow> Store::details() {
    auto *s = prepare(kDetails, "SELECT seq, open, cancelled, data FROM detail ORDER BY seq");
    Use u{s};
    std::vector<DetailRow> out;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW)
        out.push_back({sqlite3_column_int64(s, 0), sqlite3_column_int(s, 1) != 0,
                       sqlite3_column_int(s, 2) != 0, columnText(s, 3)});
    if (rc != SQLITE_DONE) fail("detail memory");
    return out;
}

std::optional<Store::DetailRow> Store::lastDetail() {
    auto *s = prepare(kLastDetail, "SELECT seq, open, cancelled, data FROM detail "
                                   "ORDER BY seq DESC LIMIT 1");
    Use u{s};
    int rc = sqlite3_step(s);
    if (rc == SQLITE_DONE) return std::nullopt;
    if (rc != SQLITE_ROW) fail("detail memory");
    return DetailRow{sqlite3_column_int64(s, 0), sqlite3_column_int(s, 1) != 0,
                     sqlite3_column_int(s, 2) != 0, columnText(s, 3)};
}

void Store::addPaper(int64_t seq, const std::string &line) {
    auto *s = prepare(kAddPaper, "INSERT INTO paper(seq, line) VALUES(?, ?)");
    Use u{s};
    sqlite3_bind_int64(s, 1, seq);
    sqlite3_bind_blob(s, 2, line.data(), static_cast<int>(line.size()), SQLITE_STATIC);
    if (sqlite3_step(s) != SQLITE_DONE) fail("add paper");
}

int64_t Store::paperCount() {
    auto *s = prepare(kPaperCount, "SELECT COALESCE(MAX(seq), 0) FROM paper");
    Use u{s};
    if (sqlite3_step(s) != SQLITE_ROW) fail("paper count");
    return sqlite3_column_int64(s, 0);
}

std::vector<std::string> Store::paperSince(int64_t seq) {
    auto *s = prepare(kPaperSince, "SELECT line FROM paper WHERE seq > ? ORDER BY seq");
    Use u{s};
    sqlite3_bind_int64(s, 1, seq);
    std::vector<std::string> out;
    int rc;
    while ((rc = sqlite3_step(s)) == SQLITE_ROW)
        out.push_back(columnText(s, 0));
    if (rc != SQLITE_DONE) fail("paper");
    return out;
}

} // namespace ecfsim
