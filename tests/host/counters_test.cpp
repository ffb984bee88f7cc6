#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <sqlite3.h>

#include "tivhost/host.h"

using namespace tivhost;
namespace fs = std::filesystem;

namespace {

using Row = std::vector<std::optional<std::string>>;

bool isIsoDateTime(const std::string &s) {
    const std::string shape = "9999-99-99 99:99:99";
    if (s.size() != shape.size()) return false;
    for (size_t i = 0; i < s.size(); ++i)
        if (shape[i] == '9' ? !std::isdigit(static_cast<unsigned char>(s[i])) : s[i] != shape[i])
            return false;
    return true;
}

// Each test gets its own program folder.
class HostCounters : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "tivhost-XXXXXX").string();
        ASSERT_NE(mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        setenv("TIV_PROGRAM_DIR", folder_.c_str(), 1);
    }
    void TearDown() override {
        unsetenv("TIV_PROGRAM_DIR");
        fs::remove_all(folder_);
    }

    // Every row of a query as texts (NULL as nullopt).
    std::vector<Row> rows(const std::string &sql) {
        std::vector<Row> out;
        sqlite3 *db = nullptr;
        EXPECT_EQ(sqlite3_open_v2((folder_ / "Dados" / "host.db").c_str(), &db,
                                  SQLITE_OPEN_READONLY, nullptr),
                  SQLITE_OK);
        sqlite3_stmt *stmt = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db);
        while (stmt && sqlite3_step(stmt) == SQLITE_ROW) {
            Row row;
            for (int i = 0; i < sqlite3_column_count(stmt); ++i) {
                const unsigned char *t = sqlite3_column_text(stmt, i);
                row.push_back(t ? std::optional<std::string>(reinterpret_cast<const char *>(t))
                                : std::nullopt);
            }
            out.push_back(row);
        }
        sqlite3_finalize(stmt);
        sqlite3_close(db);
        return out;
    }

    static std::string iso(TDateTime dt) {
        tiv::DateParts d = tiv::decodeDate(dt);
        tiv::TimeParts t = tiv::decodeTime(dt);
        char text[32];
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", d.year, d.month, d.day,
                      t.hour, t.minute, t.second);
        return text;
    }

    fs::path folder_;
};

} // namespace

TEST_F(HostCounters, GravaCERWritesOneRowPerCallCreatingTheDatabase) {
    ASSERT_FALSE(fs::exists(folder_ / "Dados"));
    EXPECT_EQ(hostDatabasePath(), (folder_ / "Dados" / "host.db").string());
    TDateTime fiscal = tiv::encodeDate(2026, 12, 5);
    std::string before = iso(tiv::now());
    GravaCER("CER\xC7", "0001", fiscal);
    GravaCER("b", "", std::numeric_limits<double>::quiet_NaN());
    std::string after = iso(tiv::now());

    auto got = rows("SELECT key1, key2, fiscal_date, fiscal_date_serial, recorded_at "
                    "FROM grava_cer ORDER BY id");
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0][0], "CER\xC3\x87");
    EXPECT_EQ(got[0][1], "0001");
    EXPECT_EQ(got[0][2], "2026-12-05 00:00:00");
    ASSERT_TRUE(got[0][3]);
    EXPECT_DOUBLE_EQ(std::stod(*got[0][3]), fiscal);
    ASSERT_TRUE(got[0][4]);
    EXPECT_LE(before, *got[0][4]);
    EXPECT_GE(after, *got[0][4]);
    EXPECT_EQ(got[1][0], "b");
    EXPECT_EQ(got[1][1], "") << "an empty key is stored, not NULL";
    EXPECT_EQ(got[1][2], std::nullopt) << "a serial that is no date has no date text";
    EXPECT_EQ(got[1][3], std::nullopt);
}

TEST_F(HostCounters, SetDocNaoFiscaisECFStoresEveryValue) {
    TDateTime issued = tiv::encodeDateTime(2026, 12, 5, 14, 30, 15);
    TDateTime fiscal = tiv::encodeDate(2026, 12, 4);
    setDocNaoFiscaisECF(L"EP0123456789", L"000123", L"000045", L"000006", L"", L"RG",
                        L"CHAVE \u00C7\U0001F600", issued, fiscal, "nota \xE9");
    auto got = rows("SELECT serial_number, receipt_counter, nonfiscal_counter, report_counter, "
                    "credit_counter, document_code, extra_key, issued_at, issued_at_serial, "
                    "fiscal_date, fiscal_date_serial, note, recorded_at "
                    "FROM doc_nao_fiscais_ecf");
    ASSERT_EQ(got.size(), 1u);
    const Row &r = got[0];
    std::vector<std::optional<std::string>> texts(r.begin(), r.begin() + 8);
    EXPECT_EQ(texts, (Row{"EP0123456789", "000123", "000045", "000006", "", "RG",
                          "CHAVE \xC3\x87\xF0\x9F\x98\x80", "2026-12-05 14:30:15"}));
    ASSERT_TRUE(r[8] && r[10]);
    EXPECT_NEAR(std::stod(*r[8]), issued, 1e-9);
    EXPECT_EQ(r[9], "2026-12-04 00:00:00");
    EXPECT_DOUBLE_EQ(std::stod(*r[10]), fiscal);
    EXPECT_EQ(r[11], "nota \xC3\xA9");
    ASSERT_TRUE(r[12]);
    EXPECT_TRUE(isIsoDateTime(*r[12])) << *r[12];
}

TEST_F(HostCounters, UnwritableDatabaseRaisesWithThePath) {
    struct Case {
        const char *what;
        void (*spoil)(const fs::path &);
    } cases[] = {
        {"Dados is a file", [](const fs::path &f) { std::ofstream(f / "Dados") << "x"; }},
        {"host.db is a folder",
         [](const fs::path &f) { fs::create_directories(f / "Dados" / "host.db"); }},
    };
    for (const auto &c : cases) {
        fs::remove_all(folder_ / "Dados");
        c.spoil(folder_);
        try {
            GravaCER("a", "b", 1.0);
            ADD_FAILURE() << c.what << ": no error";
        } catch (const tiv::Error &e) {
            EXPECT_NE(std::string(e.what()).find(hostDatabasePath()), std::string::npos)
                << c.what << ": " << e.what();
        }
        EXPECT_THROW(setDocNaoFiscaisECF(L"", L"", L"", L"", L"", L"", L"", 1.0, 1.0, ""),
                     tiv::Error)
            << c.what;
    }
}
