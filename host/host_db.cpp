#include "host_db.h"

#include <cmath>
#include <memory>
#include <sqlite3.h>

#include "tivhost/host.h"
#include "tivplatform/system.h"

namespace tivhost {

namespace {

const char *const kSchema = R"sql(
CREATE TABLE IF NOT EXISTS grava_cer (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    key1 TEXT NOT NULL,
    key2 TEXT NOT NULL,
    fiscal_date TEXT,
    fiscal_date_serial REAL,
    recorded_at TEXT NOT NULL
);
CREATE TABLE IF NOT EXISTS doc_nao_fiscais_ecf (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    serial_number TEXT NOT NULL,
    receipt_counter TEXT NOT NULL,
    nonfiscal_counter TEXT NOT NULL,
    report_counter TEXT NOT NULL,
    credit_counter TEXT NOT NULL,
    document_code TEXT NOT NULL,
    extra_key TEXT NOT NULL,
    issued_at TEXT,
    issued_at_serial REAL,
    fiscal_date TEXT,
    fiscal_date_serial REAL,
    note TEXT NOT NULL,
    recorded_at TEXT NOT NULL
);
)sql";

std::string folderOf(const std::string &path) {
    return path.substr(0, path.rfind('/'));
}

class Connection {
  public:
    explicit Connection(std::string path) : path_(std::move(path)) {
        std::string folder = folderOf(path_);
        if (!tiv::forceDirectories(folder))
            throw tiv::Error("host database " + path_ + ": cannot create the folder " + folder);
        sqlite3 *raw = nullptr;
        int rc = sqlite3_open_v2(path_.c_str(), &raw, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE,
                                 nullptr);
        db_.reset(raw); // closed even when opening failed
        if (rc != SQLITE_OK) fail("cannot open it");
        // Another process of the host may be writing at the same moment.
        sqlite3_busy_timeout(db_.get(), 5000);
        exec(kSchema, "cannot create its tables");
    }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    void exec(const char *sql, const char *what) {
        char *message = nullptr;
        if (sqlite3_exec(db_.get(), sql, nullptr, nullptr, &message) != SQLITE_OK) {
            std::string text = message ? message : "unknown error";
            sqlite3_free(message);
            throw tiv::Error("host database " + path_ + ": " + what + ": " + text);
        }
    }

    void insert(const std::string &sql, const std::vector<db::Value> &values) {
        sqlite3_stmt *stmt = nullptr;
        if (sqlite3_prepare_v2(db_.get(), sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK)
            fail("cannot prepare a row");
        int rc = SQLITE_OK;
        for (size_t i = 0; i < values.size() && rc == SQLITE_OK; ++i) {
            const db::Value &v = values[i];
            int col = static_cast<int>(i + 1);
            if (v.text)
                rc = sqlite3_bind_text(stmt, col, v.text->data(), static_cast<int>(v.text->size()),
                                       SQLITE_TRANSIENT);
            else if (v.real && std::isfinite(*v.real))
                rc = sqlite3_bind_double(stmt, col, *v.real);
            else
                rc = sqlite3_bind_null(stmt, col);
        }
        if (rc == SQLITE_OK) rc = sqlite3_step(stmt);
        sqlite3_finalize(stmt);
        if (rc != SQLITE_DONE) fail("cannot write a row");
    }

  private:
    [[noreturn]] void fail(const char *what) {
        std::string text = db_ ? sqlite3_errmsg(db_.get()) : "out of memory";
        throw tiv::Error("host database " + path_ + ": " + what + ": " + text);
    }

    std::string path_;
    struct Closer {
        void operator()(sqlite3 *db) const { sqlite3_close(db); }
    };
    std::unique_ptr<sqlite3, Closer> db_;
};

} // namespace

std::string hostDatabasePath() {
    return tiv::programFolder() + "/Dados/host.db";
}

void db::insertRow(const std::string &sql, const std::vector<Value> &values) {
    Connection(hostDatabasePath()).insert(sql, values);
}

} // namespace tivhost
