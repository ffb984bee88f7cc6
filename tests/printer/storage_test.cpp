// The state as stored: read back whole after a reopen, kept by one process at a time.
#include <sys/wait.h>
#include <unistd.h>

#include <sqlite3.h>

#include "busy_printer.h"
#include "fixture.h"

namespace {

TEST_F(PrinterTest, EveryPartOfTheStateIsReadBackAfterAReopen) {
    busyPrinter();
    if (HasFatalFailure()) return;
    nlohmann::json before = state();
    ASSERT_EQ(before["docState"], "3");
    ASSERT_FALSE(before["lastZ"].is_null());
    ASSERT_EQ(ECFSIM_OpenFolder(dir.c_str()), 0) << ECFSIM_LastError();
    EXPECT_EQ(state(), before);
    // And it goes on from there: the receipt can be paid and closed.
    EXPECT_EQ(EPSON_Fiscal_Pagamento("Dinheiro", "0000000005000", 2, "", ""), 0);
    EXPECT_EQ(EPSON_Fiscal_Fechar_Cupom(1, 0), 0);
}

TEST_F(PrinterTest, ARefusedCommandLeavesTheStateAsItWas) {
    busyPrinter();
    if (HasFatalFailure()) return;
    nlohmann::json before = state();
    // Closing with too little paid, an item with an unknown tax code.
    EXPECT_EQ(EPSON_Fiscal_Fechar_Cupom(1, 0), 1);
    EXPECT_EQ(EPSON_Fiscal_Vender_Item("004", "X", "0001000", 3, "UN", "00001000", 3, "Zz", 1), 1);
    nlohmann::json after = state();
    EXPECT_NE(after["status"], before["status"]); // the refusal's code, only
    after.erase("status");
    before.erase("status");
    EXPECT_EQ(after, before);
    ASSERT_EQ(ECFSIM_OpenFolder(dir.c_str()), 0) << ECFSIM_LastError();
    after = state();
    after.erase("status");
    EXPECT_EQ(after, before);
}

TEST_F(PrinterTest, AFolderInUseIsRefusedToASecondProcess) {
    ASSERT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
    auto tryFromChild = [this] {
        pid_t child = fork();
        if (child == 0) {
            int32_t r = ECFSIM_OpenFolder(dir.c_str());
            std::string error = ECFSIM_LastError();
            _exit(r == 0                                                         ? 0
                  : error.find("in use by another process") != std::string::npos ? 1
                                                                                 : 2);
        }
        int wstatus = 0;
        waitpid(child, &wstatus, 0);
        return WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    };
    EXPECT_EQ(tryFromChild(), 1);
    // Once this process lets go, the other gets the printer with everything done so far.
    const PrinterFolder other("ecfsim-other");
    ASSERT_EQ(ECFSIM_OpenFolder(other.path.c_str()), 0);
    EXPECT_EQ(tryFromChild(), 0);
    ASSERT_EQ(ECFSIM_OpenFolder(dir.c_str()), 0) << ECFSIM_LastError();
    EXPECT_EQ(state()["day"]["open"], true);
}

// After a folder is refused as in use, every call is refused at once with the same error, even
// once the other holder let go: it tries no opening (and so waits for none) until the port is
// opened again.
TEST_F(PrinterTest, AFolderInUseIsRefusedAtOnceUntilThePortOpensAgain) {
    ASSERT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
    const PrinterFolder other("ecfsim-other");
    ASSERT_EQ(ECFSIM_OpenFolder(other.path.c_str()), 0);
    // A second connection holds the folder as another process's printer does.
    sqlite3 *holder = nullptr;
    ASSERT_EQ(sqlite3_open((dir + "/ecf.sqlite").c_str(), &holder), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(holder, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE; COMMIT;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    auto inUse = [] {
        return std::string(ECFSIM_LastError()).find("in use by another process") !=
               std::string::npos;
    };
    EXPECT_EQ(ECFSIM_OpenFolder(dir.c_str()), -1);
    EXPECT_TRUE(inUse()) << ECFSIM_LastError();
    sqlite3_close(holder); // the other process lets go

    EXPECT_EQ(EPSON_RelatorioFiscal_LeituraX(), 1);
    EXPECT_TRUE(inUse()) << ECFSIM_LastError();
    EXPECT_EQ(EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2), 1);
    EXPECT_TRUE(inUse()) << ECFSIM_LastError();
    EXPECT_TRUE(nlohmann::json::parse(ECFSIM_State()).contains("error"));
    EXPECT_EQ(result(), "0901"); // the status still answers, with the storage error

    // Opening the port tries the same folder again, and gets it with its state.
    EXPECT_EQ(EPSON_Serial_Abrir_PortaEx(), 0);
    EXPECT_EQ(nlohmann::json::parse(ECFSIM_Folder())["folder"], dir);
    EXPECT_EQ(state()["day"]["open"], true);
    EXPECT_EQ(EPSON_RelatorioFiscal_LeituraX(), 0);
    EXPECT_EQ(result(), "0000");
}

} // namespace
