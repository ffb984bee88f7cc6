// The kill sweep: a working day, killed (SIGKILL) at every call, in each phase of the call,
// then its folder reopened here and checked: the database is sound, the state is exactly what
// the calls before the kill (and the killed call itself, once committed) left, the paper roll
// agrees with the counters and the grand total, no document is half printed and shown closed,
// the detail memory holds every document once, and the day carries on.
#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <sqlite3.h>

#include "../../common/printer_folder.h"
#include "ecfsim/ecfsim.h"
#include "epson/entry_points.h"

#define ECFSIM_SWEEP_DECLARE(name, params, args) extern "C" int32_t name params;
EPSON_ENTRY_POINTS(ECFSIM_SWEEP_DECLARE)
#undef ECFSIM_SWEEP_DECLARE

namespace {

namespace fs = std::filesystem;
using nlohmann::json;

struct DayRun {
    bool killed = false; // by SIGKILL
    int exitStatus = -1;
    std::vector<std::string> lines; // what the day printed, one line per call done
};

// Runs the working day in a child process, with ECFSIM_KILL_AT set when kill is not empty.
DayRun runDay(const fs::path &folder, const std::string &scenario, const std::string &kill,
              bool trace) {
    DayRun run;
    int fds[2];
    if (pipe(fds) != 0) return run;
    pid_t child = fork();
    if (child == 0) {
        dup2(fds[1], STDOUT_FILENO);
        close(fds[0]);
        close(fds[1]);
        if (!kill.empty()) setenv("ECFSIM_KILL_AT", kill.c_str(), 1);
        std::string dir = folder.string();
        const char *args[] = {ECFSIM_WORKING_DAY, dir.c_str(), scenario.c_str(),
                              trace ? "--trace" : nullptr, nullptr};
        execv(ECFSIM_WORKING_DAY, const_cast<char **>(args));
        _exit(127);
    }
    close(fds[1]);
    std::string out;
    char buf[65536];
    ssize_t n;
    while ((n = read(fds[0], buf, sizeof buf)) > 0)
        out.append(buf, static_cast<std::size_t>(n));
    close(fds[0]);
    int wstatus = 0;
    waitpid(child, &wstatus, 0);
    run.killed = WIFSIGNALED(wstatus) && WTERMSIG(wstatus) == SIGKILL;
    run.exitStatus = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : -1;
    std::size_t start = 0, end;
    while ((end = out.find('\n', start)) != std::string::npos) {
        run.lines.push_back(out.substr(start, end - start));
        start = end + 1;
    }
    return run;
}

// What a call leaves that must survive a kill; times of day and the clock's offset from the
// host's (which differ from run to run) left out.
json digest(json state) {
    for (const char *volatileMember : {"status", "folder", "clockOffset"})
        state.erase(volatileMember);
    state["day"].erase("openedAt");
    state["lastZ"] = state["lastZ"].is_null() ? json() : state["lastZ"]["crz"];
    return state;
}

int64_t cents(std::string money) {
    int64_t v = 0;
    for (char c : money)
        if (c >= '0' && c <= '9') v = v * 10 + (c - '0');
    return v;
}

std::string trimmed(const std::string &s) {
    auto b = s.find_first_not_of(' ');
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

bool digitsAt(const std::string &s, std::size_t at, std::size_t n) {
    if (at + n > s.size()) return false;
    for (std::size_t i = at; i < at + n; ++i)
        if (s[i] < '0' || s[i] > '9') return false;
    return true;
}

// A document's header line, "dd/mm/yyyy hh:mm:ss   [CCF:nnnnnn ]COO:nnnnnn": its COO and CCF
// (0 when it has none).
bool header(const std::string &l, int64_t &coo, int64_t &ccf) {
    const std::string when = "nn/nn/nnnn nn:nn:nn";
    if (l.size() < when.size() + 11) return false;
    for (std::size_t i = 0; i < when.size(); ++i)
        if (when[i] == 'n' ? !digitsAt(l, i, 1) : l[i] != when[i]) return false;
    const std::size_t at = l.size() - 10;
    if (l.compare(at, 4, "COO:") != 0 || !digitsAt(l, at + 4, 6)) return false;
    coo = std::stoll(l.substr(at + 4));
    ccf = 0;
    std::size_t gap = at;
    if (at >= when.size() + 12 && l.compare(at - 11, 4, "CCF:") == 0 && digitsAt(l, at - 7, 6) &&
        l[at - 1] == ' ') {
        ccf = std::stoll(l.substr(at - 7, 6));
        gap = at - 11;
    }
    return l.find_first_not_of(' ', when.size()) == gap;
}

struct Document {
    int64_t coo = 0, ccf = 0; // ccf 0: none
    std::string title;
    std::vector<std::string> lines;
};

// The paper roll against the state; each fault found is added to `faults`.
void checkPaper(const fs::path &folder, const json &st, std::vector<std::string> &faults) {
    std::ifstream in(folder / "paper.txt", std::ios::binary);
    std::vector<std::string> roll;
    for (std::string line; std::getline(in, line);)
        roll.push_back(line);
    if (static_cast<int64_t>(roll.size()) != st["paperLines"].get<int64_t>())
        faults.push_back("paper.txt has " + std::to_string(roll.size()) + " lines, the state " +
                         st["paperLines"].dump());
    std::vector<Document> docs;
    for (std::size_t i = 0; i < roll.size(); ++i) {
        Document d;
        if (header(roll[i], d.coo, d.ccf)) {
            d.title = i + 1 < roll.size() ? trimmed(roll[i + 1]) : "";
            docs.push_back(d);
        } else if (!docs.empty()) {
            docs.back().lines.push_back(roll[i]);
        }
    }
    const json &n = st["counters"];
    int64_t ccf = 0, gnf = 0, gt = 0;
    for (std::size_t i = 0; i < docs.size(); ++i) {
        const Document &d = docs[i];
        if (d.coo != static_cast<int64_t>(i) + 1)
            faults.push_back("document " + std::to_string(i + 1) + " on paper has COO " +
                             std::to_string(d.coo));
        if (d.ccf != 0 && d.ccf != ++ccf)
            faults.push_back("CCF " + std::to_string(d.ccf) + " on paper, expected " +
                             std::to_string(ccf));
        for (const char *t : {"COMPROVANTE NAO-FISCAL", "COMPROVANTE CREDITO OU DEBITO",
                              "RELATORIO GERENCIAL", "SUPRIMENTO", "SANGRIA"})
            if (d.title == t) ++gnf;
        bool trailer = false;
        for (const auto &l : d.lines) {
            trailer = trailer || (l.starts_with("ECF:") && l.find("FAB:") != std::string::npos);
            if (d.title != "CUPOM FISCAL") continue;
            // What a receipt adds to the GT: its items, item surcharges and subtotal surcharge.
            if (l.starts_with("    ") && l.find(" X ") != std::string::npos)
                gt += cents(l.substr(l.rfind(' ')));
            else if (l.starts_with("acrescimo item") || l.starts_with("ACRESCIMO R$"))
                gt += cents(l.substr(l.rfind('+')));
        }
        const bool last = i + 1 == docs.size();
        const bool open = last && st["docState"] != "0";
        if (trailer == open)
            faults.push_back("document COO " + std::to_string(d.coo) +
                             (open ? " is open but printed whole" : " is closed but half printed"));
        if (open && st["doc"]["coo"] != d.coo)
            faults.push_back("the open document is COO " + st["doc"]["coo"].dump() +
                             ", the paper's last " + std::to_string(d.coo));
    }
    if (static_cast<int64_t>(docs.size()) != n["coo"].get<int64_t>())
        faults.push_back(std::to_string(docs.size()) + " documents on paper, COO " +
                         n["coo"].dump());
    if (ccf != n["ccf"])
        faults.push_back("CCF " + n["ccf"].dump() + ", paper " + std::to_string(ccf));
    if (gnf != n["gnf"])
        faults.push_back("GNF " + n["gnf"].dump() + ", paper " + std::to_string(gnf));
    if (gt != st["gt"]) faults.push_back("GT " + st["gt"].dump() + ", paper " + std::to_string(gt));
}

// The detail memory against the state: every document printed recorded once, in COO order,
// its lines following the one before, only the document still open left open.
void checkDetail(const json &st, std::vector<std::string> &faults) {
    const json docs = json::parse(ECFSIM_DetailMemory());
    if (!docs.is_array()) {
        faults.push_back("detail memory: " + docs.dump());
        return;
    }
    const json &n = st["counters"];
    if (static_cast<int64_t>(docs.size()) != n["coo"].get<int64_t>())
        faults.push_back(std::to_string(docs.size()) + " documents in the detail memory, COO " +
                         n["coo"].dump());
    int64_t receipts = 0, line = 0;
    for (std::size_t i = 0; i < docs.size(); ++i) {
        const json &d = docs[i];
        const std::string at = "detail record " + std::to_string(i + 1);
        if (d["coo"] != static_cast<int64_t>(i) + 1)
            faults.push_back(at + " has COO " + d["coo"].dump());
        if (d["firstLine"] != line + 1)
            faults.push_back(at + " begins at line " + d["firstLine"].dump() + ", expected " +
                             std::to_string(line + 1));
        const bool open = d.value("open", false);
        const bool last = i + 1 == docs.size();
        if (open != (last && st["docState"] != "0"))
            faults.push_back(at + (open ? " is open" : " is complete") + ", the state's document " +
                             st["docState"].dump());
        if (!open) line = d["lastLine"].get<int64_t>();
        if (d["kind"] == "CF") ++receipts; // an open receipt has its CCF already
    }
    if (receipts != n["ccf"])
        faults.push_back(std::to_string(receipts) + " receipts recorded, CCF " + n["ccf"].dump());
    if (st["docState"] == "0" && line != st["paperLines"])
        faults.push_back("the detail memory ends at line " + std::to_string(line) +
                         ", the paper at " + st["paperLines"].dump());
}

std::string integrity(const fs::path &db) {
    if (!fs::exists(db)) return "ok"; // killed before the folder was made
    sqlite3 *c = nullptr;
    std::string answer = "cannot open";
    if (sqlite3_open_v2(db.c_str(), &c, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *s = nullptr;
        if (sqlite3_prepare_v2(c, "PRAGMA integrity_check", -1, &s, nullptr) == SQLITE_OK &&
            sqlite3_step(s) == SQLITE_ROW)
            answer = reinterpret_cast<const char *>(sqlite3_column_text(s, 0));
        sqlite3_finalize(s);
    }
    sqlite3_close(c);
    return answer;
}

json state() {
    return json::parse(ECFSIM_State());
}

// Whatever document the kill left open is finished, and the day goes on with a sale.
void carryOn(std::vector<std::string> &faults) {
    json st = state();
    const std::string doc = st["docState"];
    auto must = [&](int32_t r, const char *what) {
        if (r != 0) faults.push_back(std::string("carrying on: ") + what + " refused");
    };
    if (doc == "1" || doc == "3") must(EPSON_Fiscal_Cancelar_Cupom(), "cancelling the receipt");
    if (doc == "2") {
        if (st["doc"]["total"] == 0)
            must(EPSON_NaoFiscal_Vender_Item("RECEBIMENTO", "100", 2), "a voucher entry");
        st = state();
        int64_t due = st["doc"]["total"].get<int64_t>();
        for (const auto &p : st["doc"]["payments"])
            due -= p["amount"].get<int64_t>();
        if (due > 0)
            must(EPSON_NaoFiscal_Pagamento("Dinheiro", std::to_string(due).c_str(), 2, "", ""),
                 "the voucher's payment");
        must(EPSON_NaoFiscal_Fechar_Comprovante(1), "closing the voucher");
    }
    if (doc == "4") must(EPSON_NaoFiscal_Fechar_CCD(1), "closing the card voucher");
    if (doc == "5") must(EPSON_NaoFiscal_Fechar_Relatorio_Gerencial(1), "closing the report");
    if (!state()["day"]["open"].get<bool>() && EPSON_RelatorioFiscal_Abrir_Dia() != 0) {
        must(ECFSIM_ShiftClock(86400), "the next day"); // this date was reduced
        must(EPSON_RelatorioFiscal_Abrir_Dia(), "opening the day");
    }
    must(EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2), "a new receipt");
    must(EPSON_Fiscal_Vender_Item("7", "AGUA", "0001000", 3, "UN", "00000300", 3, "Ta", 1),
         "an item");
    must(EPSON_Fiscal_Pagamento("Dinheiro", "300", 2, "", ""), "the payment");
    must(EPSON_Fiscal_Fechar_Cupom(1, 0), "closing the receipt");
}

struct Sweep {
    const char *scenario;
    const char *phase;
};

void PrintTo(const Sweep &s, std::ostream *os) {
    *os << s.scenario << ":" << s.phase;
}

class KillSweep : public ::testing::TestWithParam<Sweep> {
  protected:
    void TearDown() override {
        // Let go of the last folder before it goes.
        ECFSIM_OpenFolder((root / "idle").c_str());
    }
    const PrinterFolder folder{"ecfsim-sweep"};
    const fs::path root = folder.path;
};

TEST_P(KillSweep, EveryCallKilledLeavesASoundPrinterThatCarriesOn) {
    const Sweep &sweep = GetParam();
    const auto started = std::chrono::steady_clock::now();
    // The day run whole, its state after every call.
    DayRun whole = runDay(root / "whole", sweep.scenario, "", true);
    ASSERT_EQ(whole.exitStatus, 0) << "the working day itself failed";
    std::vector<json> after(1); // after[k]: the state after call k
    for (const auto &line : whole.lines)
        after.push_back(digest(json::parse(line.substr(line.find('\t') + 1))));
    const std::size_t calls = whole.lines.size();
    ASSERT_GT(calls, 5u);

    const std::string phase = sweep.phase;
    std::size_t failures = 0;
    for (std::size_t n = 1; n <= calls; ++n) {
        const std::string label = std::to_string(n) + ":" + phase;
        const fs::path folder = root / ("run" + std::to_string(n));
        DayRun run = runDay(folder, sweep.scenario, label, false);
        std::vector<std::string> faults;
        if (!run.killed)
            faults.push_back("not killed (exit " + std::to_string(run.exitStatus) + ")");
        if (run.lines.size() != n - 1)
            faults.push_back("killed after " + std::to_string(run.lines.size()) + " calls done");
        const std::string check = integrity(folder / "ecf.sqlite");
        if (check != "ok") faults.push_back("integrity_check: " + check);
        if (ECFSIM_OpenFolder(folder.c_str()) != 0) {
            faults.push_back(std::string("reopening: ") + ECFSIM_LastError());
        } else {
            json st = state();
            // Killed before or inside its transaction: as the calls before left it; after
            // the commit: as the call itself left it.
            const json &expected = phase == "reply" ? after[n] : after[n - 1];
            // Killed at the opening itself, the folder is made on reopening: a fresh printer.
            const json &want = n == 1 ? after[1] : expected;
            if (digest(st) != want)
                faults.push_back("state differs: " + digest(st).dump() + "\nexpected " +
                                 want.dump());
            checkPaper(folder, st, faults);
            checkDetail(st, faults);
            carryOn(faults);
            checkPaper(folder, state(), faults);
            checkDetail(state(), faults);
        }
        for (const auto &f : faults)
            ADD_FAILURE() << sweep.scenario << " killed at " << label << ": " << f;
        failures += faults.size();
        fs::remove_all(folder);
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    std::printf("kill sweep %s:%s: %zu runs, %zu invariant failures, %.2f s\n", sweep.scenario,
                sweep.phase, calls, failures, seconds);
}

INSTANTIATE_TEST_SUITE_P(Day, KillSweep,
                         ::testing::Values(Sweep{"day", "before"}, Sweep{"day", "commit"},
                                           Sweep{"day", "reply"}, Sweep{"reset", "before"},
                                           Sweep{"reset", "commit"}, Sweep{"reset", "reply"}),
                         [](const auto &info) {
                             return std::string(info.param.scenario) + "_" + info.param.phase;
                         });

} // namespace
