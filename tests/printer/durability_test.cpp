// A process killed in the middle of a sale loses nothing it reported done.
#include <csignal>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

#include "fixture.h"

namespace {

std::size_t linesInFile(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    std::string line;
    std::size_t n = 0;
    while (std::getline(in, line))
        ++n;
    return n;
}

TEST_F(PrinterTest, KilledDuringASaleReopensConsistent) {
    ASSERT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
    const PrinterFolder scratch("ecfsim-scratch");
    // The child must not share this process's database connection.
    ASSERT_EQ(ECFSIM_OpenFolder(scratch.path.c_str()), 0);
    int fds[2];
    ASSERT_EQ(pipe(fds), 0);
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        close(fds[0]);
        if (ECFSIM_OpenFolder(dir.c_str()) != 0 || EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2) != 0)
            _exit(2);
        for (int32_t n = 1;; ++n) {
            if (EPSON_Fiscal_Vender_Item("7891", "ITEM", "0001000", 3, "UN", "00001000", 3, "Ta",
                                         1) != 0)
                _exit(3);
            if (write(fds[1], &n, sizeof n) != sizeof n) _exit(4);
        }
    }
    close(fds[1]);
    int32_t reported = 0, n;
    while (reported < 40 && read(fds[0], &n, sizeof n) == sizeof n)
        reported = n;
    kill(child, SIGKILL);
    int wstatus = 0;
    waitpid(child, &wstatus, 0);
    while (read(fds[0], &n, sizeof n) == sizeof n)
        reported = n; // reported before it died
    close(fds[0]);
    ASSERT_TRUE(WIFSIGNALED(wstatus)) << "child ended early with " << WEXITSTATUS(wstatus);
    ASSERT_GE(reported, 40);

    ASSERT_EQ(ECFSIM_OpenFolder(dir.c_str()), 0) << ECFSIM_LastError();
    auto s = state();
    EXPECT_EQ(s["docState"], "1");
    int64_t items = s["doc"]["items"];
    EXPECT_GE(items, reported);
    EXPECT_LE(items, reported + 1); // one more may have been done but not yet reported
    EXPECT_EQ(static_cast<int64_t>(s["items"].size()), items);
    EXPECT_EQ(s["gt"], items * 100);
    EXPECT_EQ(s["rates"][0]["base"], items * 100);
    // The paper roll caught up with the database.
    EXPECT_EQ(linesInFile(dir + "/paper.txt"), s["paperLines"].get<std::size_t>());

    ASSERT_EQ(EPSON_Fiscal_Cancelar_Cupom(), 0);
    s = state();
    EXPECT_EQ(s["docState"], "0");
    EXPECT_EQ(s["day"]["cancelled"], items * 100);
    EXPECT_EQ(s["rates"][0]["base"], 0);
    EXPECT_EQ(s["counters"]["cfc"], 1);
}

TEST_F(PrinterTest, PaperRollRepairedFromTheDatabase) {
    ASSERT_EQ(EPSON_RelatorioFiscal_LeituraX(), 0);
    int64_t lines = ECFSIM_MarkPaper();
    ASSERT_GT(lines, 5);
    // A crash that cut the file short, mid-line.
    std::filesystem::resize_file(dir + "/paper.txt", 30);
    ASSERT_EQ(ECFSIM_OpenFolder(dir.c_str()), 0);
    EXPECT_EQ(linesInFile(dir + "/paper.txt"), static_cast<std::size_t>(lines));
    auto all = nlohmann::json::parse(ECFSIM_PaperSince(0))["lines"];
    std::ifstream in(dir + "/paper.txt");
    std::string line;
    for (const auto &l : all) {
        ASSERT_TRUE(std::getline(in, line));
        EXPECT_EQ(line, l.get<std::string>());
    }
}

} // namespace
