// CarregaAliquota: the printer's tax-rate table as the host's dataset.
#include <memory>
#include <tuple>

#include <sqlite3.h>

#include "fixture.h"
#include "tivplatform/errors.h"

namespace {

using Row = std::tuple<std::string, double, std::string>; // code, rate, kind

std::vector<Row> rowsOf(tiv::TClientDataSet &ds) {
    std::vector<Row> rows;
    for (ds.first(); !ds.eof(); ds.next())
        rows.emplace_back(ds.fieldByName("CDALIQIMPFIS").asString(),
                          ds.fieldByName("VRALIQIMPFIS").asFloat(),
                          ds.fieldByName("IDALIQIMPFIS").asString());
    return rows;
}

// The reset configuration cannot leave a slot empty between two rates nor give an odd kind
// letter, so this rewrites the printer's stored rate slots while the printer has let go of its
// folder, and opens the folder again.
void storeRates(const std::string &ecfFolder, const nlohmann::json &rates) {
    ASSERT_EQ(ECFSIM_OpenFolder((ecfFolder + "-elsewhere").c_str()), 0) << ECFSIM_LastError();
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open((ecfFolder + "/ecf.sqlite").c_str(), &db), SQLITE_OK);
    std::unique_ptr<sqlite3, decltype(&sqlite3_close)> guard(db, sqlite3_close);
    sqlite3_stmt *read = nullptr;
    ASSERT_EQ(
        sqlite3_prepare_v2(db, "SELECT data FROM section WHERE name='rates'", -1, &read, nullptr),
        SQLITE_OK);
    ASSERT_EQ(sqlite3_step(read), SQLITE_ROW);
    const auto *bytes = static_cast<const uint8_t *>(sqlite3_column_blob(read, 0));
    nlohmann::json slots = nlohmann::json::from_cbor(bytes, bytes + sqlite3_column_bytes(read, 0));
    sqlite3_finalize(read);
    ASSERT_TRUE(slots.is_array());
    for (size_t i = 0; i < slots.size(); ++i)
        slots[i] = i < rates.size() ? rates[i] : nlohmann::json{{"kind", ""}};
    const std::vector<uint8_t> cbor = nlohmann::json::to_cbor(slots);
    sqlite3_stmt *write = nullptr;
    ASSERT_EQ(
        sqlite3_prepare_v2(db, "UPDATE section SET data=? WHERE name='rates'", -1, &write, nullptr),
        SQLITE_OK);
    sqlite3_bind_blob(write, 1, cbor.data(), static_cast<int>(cbor.size()), SQLITE_TRANSIENT);
    ASSERT_EQ(sqlite3_step(write), SQLITE_DONE);
    sqlite3_finalize(write);
    guard.reset();
    ASSERT_EQ(ECFSIM_OpenFolder(ecfFolder.c_str()), 0) << ECFSIM_LastError();
}

nlohmann::json rate(const std::string &kind, int hundredths) {
    return {{"kind", kind}, {"rate", hundredths}, {"base", 0}};
}

const Row kNN{"NN", 0.0, "N"}, kII{"II", 0.0, "I"}, kFF{"FF", 0.0, "F"};

struct TableCase {
    const char *name;
    nlohmann::json reset;  // ECFSIM_Reset configuration
    nlohmann::json stored; // rate slots written into the printer, or null
    std::vector<Row> expected;
};

void PrintTo(const TableCase &c, std::ostream *os) {
    *os << c.name;
}

class TaxRatesTest : public DriverTest, public ::testing::WithParamInterface<TableCase> {};

TEST_P(TaxRatesTest, HostReceivesPrinterRatesThenFixedRows) {
    const TableCase &c = GetParam();
    resetPrinter(c.reset);
    if (!c.stored.is_null()) storeRates(folder + "/ecf", c.stored);
    ASSERT_TRUE(start(31));
    clearJournal();

    // Rows already in the host's dataset are replaced.
    tiv::TClientDataSet host;
    host.addFieldDef("CDALIQIMPFIS", tiv::FieldType::String, 10);
    host.createDataSet();
    host.append();
    host.fieldByName("CDALIQIMPFIS").setAsString("XX");
    host.post();
    tiv::TClientDataSet *hostPtr = &host;

    CarregaAliquota("001", hostPtr);

    EXPECT_EQ(hostPtr, &host);
    EXPECT_EQ(rowsOf(host), c.expected);
    EXPECT_EQ(journalEntries(), (std::vector<std::string>{"EPSON_Obter_Tabela_Aliquotas",
                                                          "EPSON_Obter_Estado_Impressora"}));
    EXPECT_TRUE(dialogs.empty());
}

std::vector<Row> sixteenRates() {
    std::vector<Row> rows;
    for (int i = 1; i <= 16; ++i) {
        char code[3] = {static_cast<char>('0' + i / 10), static_cast<char>('0' + i % 10), 0};
        rows.emplace_back(code, (100 * i + i) / 100.0, i % 2 ? "T" : "S");
    }
    rows.insert(rows.end(), {kNN, kII, kFF});
    return rows;
}

nlohmann::json sixteenRatesConfig() {
    nlohmann::json rates = nlohmann::json::array();
    for (int i = 1; i <= 16; ++i)
        rates.push_back({{"kind", i % 2 ? "T" : "S"}, {"rate", 101 * i}});
    return {{"taxRates", rates}};
}

INSTANTIATE_TEST_SUITE_P(
    Tables, TaxRatesTest,
    ::testing::Values(
        TableCase{"SixteenRates", sixteenRatesConfig(), nullptr, sixteenRates()},
        // The empty third slot gives no row, and the fourth rate keeps code "04";
        // a kind letter other than "T" reads as "S".
        TableCase{
            "EmptyThirdSlot",
            nlohmann::json::object(),
            {rate("T", 1800), rate("T", 1234), {{"kind", ""}}, rate("t", 500), rate("S", 250)},
            {{"01", 18.0, "T"},
             {"02", 12.34, "T"},
             {"04", 5.0, "S"},
             {"05", 2.5, "S"},
             kNN,
             kII,
             kFF}},
        TableCase{"NoRates", nlohmann::json::object(), nlohmann::json::array(), {kNN, kII, kFF}}),
    [](const auto &info) { return std::string(info.param.name); });

using TaxRatesFailureTest = DriverTest;

TEST_F(TaxRatesFailureTest, UnansweredTableLeavesFixedRowsAndRecordsTheError) {
    ASSERT_TRUE(start(31));
    injectFault({{"kind", "noanswer"}, {"entry", "EPSON_Obter_Tabela_Aliquotas"}});
    stMensagemTaa.clear();
    tiv::TClientDataSet host;
    tiv::TClientDataSet *hostPtr = &host;

    CarregaAliquota("001", hostPtr);

    EXPECT_EQ(rowsOf(host), (std::vector<Row>{kNN, kII, kFF}));
    EXPECT_EQ(stMensagemTaa, " Erro de execu\xE7\xE3o na fun\xE7\xE3o.");
    EXPECT_TRUE(dialogs.empty());
}

TEST_F(TaxRatesFailureTest, MissingHostDatasetIsATypedError) {
    ASSERT_TRUE(start(31));
    tiv::TClientDataSet *none = nullptr;
    EXPECT_THROW(CarregaAliquota("001", none), tiv::DataError);
}

} // namespace
