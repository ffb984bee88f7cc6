#pragma once
// A printer folder as the section layout stores it, kept as a JSON fixture
// (data/section_layout.json): every row of the database in hexadecimal, and the state the
// printer showed when it wrote them. Shared by the tests through the library and the tests of
// the printer's own units.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

#include <nlohmann/json.hpp>
#include <sqlite3.h>

namespace stored {

inline std::string hex(const std::string &bytes) {
    static const char *digits = "0123456789abcdef";
    std::string out;
    for (unsigned char c : bytes) {
        out += digits[c >> 4];
        out += digits[c & 15];
    }
    return out;
}

inline std::string unhex(const std::string &text) {
    std::string out;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2)
        out += static_cast<char>(std::stoi(text.substr(i, 2), nullptr, 16));
    return out;
}

inline nlohmann::json fixture() {
    std::ifstream in(std::string(ECFSIM_TEST_DATA_DIR) + "/section_layout.json");
    return nlohmann::json::parse(in);
}

// Writes the fixture's rows into `folder`/ecf.sqlite, with the tables of the section layout.
inline bool writeFolder(const nlohmann::json &f, const std::string &folder) {
    std::filesystem::create_directories(folder);
    sqlite3 *db = nullptr;
    if (sqlite3_open((folder + "/ecf.sqlite").c_str(), &db) != SQLITE_OK) return false;
    bool ok = sqlite3_exec(db,
                           "CREATE TABLE section(name TEXT PRIMARY KEY, data BLOB NOT NULL) "
                           "WITHOUT ROWID;"
                           "CREATE TABLE item(n INTEGER PRIMARY KEY, data BLOB NOT NULL);"
                           "CREATE TABLE reduction(crz INTEGER PRIMARY KEY, data BLOB NOT NULL);"
                           "CREATE TABLE paper(seq INTEGER PRIMARY KEY, line BLOB NOT NULL);",
                           nullptr, nullptr, nullptr) == SQLITE_OK;
    auto insert = [&](const char *sql, const auto &key, const std::string &blob) {
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) != SQLITE_OK) {
            ok = false;
            return;
        }
        if constexpr (std::is_same_v<std::decay_t<decltype(key)>, std::string>)
            sqlite3_bind_text(s, 1, key.c_str(), -1, SQLITE_TRANSIENT);
        else
            sqlite3_bind_int64(s, 1, key);
        sqlite3_bind_blob(s, 2, blob.data(), static_cast<int>(blob.size()), SQLITE_TRANSIENT);
        ok = ok && sqlite3_step(s) == SQLITE_DONE;
        sqlite3_finalize(s);
    };
    for (const auto &[name, data] : f.at("sections").items())
        insert("INSERT INTO section(name, data) VALUES(?, ?)", name, unhex(data));
    for (const auto &row : f.at("items"))
        insert("INSERT INTO item(n, data) VALUES(?, ?)", row.at("n").get<int64_t>(),
               unhex(row.at("data")));
    for (const auto &row : f.at("reductions"))
        insert("INSERT INTO reduction(crz, data) VALUES(?, ?)", row.at("crz").get<int64_t>(),
               unhex(row.at("data")));
    int64_t seq = 0;
    for (const auto &line : f.at("paper"))
        insert("INSERT INTO paper(seq, line) VALUES(?, ?)", ++seq, unhex(line));
    sqlite3_close(db);
    return ok;
}

// The rows of one table as {key: hex}, keys as text.
inline nlohmann::json readTable(const std::string &folder, const char *sql) {
    nlohmann::json out = nlohmann::json::object();
    sqlite3 *db = nullptr;
    if (sqlite3_open_v2((folder + "/ecf.sqlite").c_str(), &db, SQLITE_OPEN_READONLY, nullptr) !=
        SQLITE_OK)
        return out;
    sqlite3_stmt *s = nullptr;
    if (sqlite3_prepare_v2(db, sql, -1, &s, nullptr) == SQLITE_OK) {
        while (sqlite3_step(s) == SQLITE_ROW) {
            const auto *p = static_cast<const char *>(sqlite3_column_blob(s, 1));
            std::string blob =
                p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(s, 1)))
                  : std::string();
            out[reinterpret_cast<const char *>(sqlite3_column_text(s, 0))] = hex(blob);
        }
    }
    sqlite3_finalize(s);
    sqlite3_close(db);
    return out;
}

} // namespace stored
