// Folders written by the section layout open unchanged: the fixture holds the rows a printer
// wrote (data/section_layout.json) and the state it showed then.
#include "busy_printer.h"
#include "fixture.h"
#include "stored_folder.h"

namespace {

using nlohmann::json;

// What the state shows that depends on the folder or on the hour it is read.
json comparable(json state) {
    for (const char *k : {"folder", "paperLines", "status"})
        state.erase(k);
    return state;
}

TEST_F(PrinterTest, AFolderOfTheSectionLayoutOpensUnchanged) {
    json f = stored::fixture();
    std::string old = dir + "/stored";
    ASSERT_TRUE(stored::writeFolder(f, old));
    ASSERT_EQ(ECFSIM_OpenFolder(old.c_str()), 0) << ECFSIM_LastError();
    EXPECT_EQ(comparable(state()), f.at("state"));
    EXPECT_EQ(state().at("docState"), "3");
    json lines = json::parse(ECFSIM_PaperSince(0)).at("lines");
    ASSERT_EQ(lines.size(), f.at("paper").size());
    EXPECT_EQ(lines, f.at("paperText"));
    // Opening it rewrote nothing, and it goes on from where it was.
    ASSERT_EQ(ECFSIM_OpenFolder(dir.c_str()), 0);
    EXPECT_EQ(stored::readTable(old, "SELECT name, data FROM section"), f.at("sections"));
    ASSERT_EQ(ECFSIM_OpenFolder(old.c_str()), 0) << ECFSIM_LastError();
    EXPECT_EQ(EPSON_Fiscal_Pagamento("Dinheiro", "0000000005000", 2, "", ""), 0);
    EXPECT_EQ(EPSON_Fiscal_Fechar_Cupom(1, 0), 0);
    EXPECT_EQ(state().at("docState"), "0");
}

// Wrote the fixture, with the printer of the layout it records; run as
//   ECFSIM_FIXTURE_OUT=tests/printer/data/section_layout.json build/bin/printer_tests
//   --gtest_also_run_disabled_tests --gtest_filter='*WriteTheLayout*'
TEST_F(PrinterTest, DISABLED_WriteTheLayoutFixture) {
    const char *out = std::getenv("ECFSIM_FIXTURE_OUT");
    ASSERT_NE(out, nullptr);
    busyPrinter();
    if (HasFatalFailure()) return;
    json f;
    f["state"] = comparable(state());
    f["paperText"] = json::parse(ECFSIM_PaperSince(0)).at("lines");
    std::string other = dir + "/other";
    ASSERT_EQ(ECFSIM_OpenFolder(other.c_str()), 0); // lets go of the database
    f["sections"] = stored::readTable(dir, "SELECT name, data FROM section");
    const json items = stored::readTable(dir, "SELECT n, data FROM item");
    f["items"] = json::array();
    for (const auto &[n, data] : items.items())
        f["items"].push_back({{"n", std::stoll(n)}, {"data", data}});
    const json reductions = stored::readTable(dir, "SELECT crz, data FROM reduction");
    f["reductions"] = json::array();
    for (const auto &[crz, data] : reductions.items())
        f["reductions"].push_back({{"crz", std::stoll(crz)}, {"data", data}});
    const json paper = stored::readTable(dir, "SELECT printf('%08d', seq), line FROM paper");
    f["paper"] = json::array();
    for (const auto &[seq, line] : paper.items())
        f["paper"].push_back(line);
    std::ofstream(out) << f.dump(1) << "\n";
}

} // namespace
