// The same script of calls (a fresh printer, a receipt of 20 items, the
// receipt number asked five times) made four ways: `tiv run` as a process,
// `tiv serve` over HTTP and over JSON lines (the service started once, as a
// till would), and the one-step engine in this process (what libtivcall
// does). Items are calls: items_per_second is calls per second.
//
// keptAnswersMemory: what tiv serve holds once its kept answers are full of
// requests of a megabyte each, sent by eight clients at once; rss_MiB against
// cap_MiB.
#include <benchmark/benchmark.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <httplib.h>
#include <nlohmann/json.hpp>

#include "call_session.h"
#include "lines_service.h"
#include "service.h"

namespace {

using Json = nlohmann::ordered_json;

std::string scratchFolder() {
    static std::string folder = [] {
        char pattern[] = "/tmp/tiv-bench-serve-XXXXXX";
        const std::string made = mkdtemp(pattern);
        setenv("TIV_PROGRAM_DIR", made.c_str(), 1);
        return made;
    }();
    return folder;
}

// The steps, each a request of the C interface's form.
Json steps() {
    Json s = Json::array();
    s.push_back({{"ecfsim", "OpenFolder"}, {"args", {scratchFolder() + "/ecf"}}});
    s.push_back({{"ecfsim", "Reset"}, {"args", Json::array()}});
    s.push_back({{"call", "StartImpFiscal"},
                 {"args", {{{"CDFILIAL", "0001"}, {"IDTIPOIMPFIS", 33}, {"BOUTILTAA", false}}}}});
    s.push_back({{"call", "AbreCupom"},
                 {"args", {{{"ESQUEMACOR", "001"}, {"IDUTILTEF", "N"}, {"UTILTEF", false}}}}});
    for (int i = 0; i < 20; ++i)
        s.push_back({{"call", "VendaItem"},
                     {"args",
                      {{{"ESQUEMACOR", "001"},
                        {"CDARVPROD", "78910001" + std::to_string(10000 + i)},
                        {"NMPROD", "ITEM " + std::to_string(i)},
                        {"CDALIQ", "01"},
                        {"QTDE", 1},
                        {"VALOR", 1.5},
                        {"DESCONT", 0},
                        {"UNIDADE", "UN"},
                        {"IDUTILTEF", "N"},
                        {"UTILTEF", false},
                        {"ACRESCIMO", 0}}}}});
    for (int i = 0; i < 5; ++i)
        s.push_back({{"call", "Nr_Cupom"}, {"args", {"", "001"}}});
    s.push_back({{"call", "StopImpFiscal"}, {"args", Json::array()}});
    return s;
}

void tivRun(benchmark::State &state) {
    const Json script = steps();
    const std::string path = scratchFolder() + "/script.json";
    std::ofstream(path) << script.dump();
    const std::string command =
        std::string("'") + TIV_EXECUTABLE + "' run '" + path + "' >/dev/null 2>&1";
    for (auto _ : state)
        if (std::system(command.c_str()) != 0) state.SkipWithError("tiv run failed");
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(script.size()));
}
BENCHMARK(tivRun)->Unit(benchmark::kMillisecond)->UseRealTime();

// tiv serve as a child on a free port; its port, or 0.
int startHttp(pid_t &child) {
    int out[2];
    if (pipe(out) != 0) return 0;
    child = fork();
    if (child == 0) {
        dup2(out[1], STDOUT_FILENO);
        execl(TIV_EXECUTABLE, TIV_EXECUTABLE, "serve", "--port", "0", static_cast<char *>(nullptr));
        _exit(127);
    }
    close(out[1]);
    FILE *from = fdopen(out[0], "r");
    char line[256] = {};
    const bool started = fgets(line, sizeof line, from) != nullptr;
    fclose(from);
    const std::string text = line;
    return started ? std::atoi(text.substr(text.rfind(':') + 1).c_str()) : 0;
}

void stop(pid_t child) {
    kill(child, SIGTERM);
    waitpid(child, nullptr, 0);
}

void serveHttp(benchmark::State &state) {
    const Json script = steps();
    pid_t child = -1;
    const int port = startHttp(child);
    if (!port) {
        state.SkipWithError("tiv serve did not start");
        return;
    }
    httplib::Client client("127.0.0.1", port);
    client.set_keep_alive(true);
    client.set_tcp_nodelay(true);
    for (auto _ : state)
        for (const Json &step : script) {
            Json body = {{"args", step["args"]}};
            const std::string path = step.contains("call")
                                         ? "/calls/" + step["call"].get<std::string>()
                                         : "/printer/" + step["ecfsim"].get<std::string>();
            auto res = client.Post(path.c_str(), body.dump(), "application/json");
            if (!res || res->status != 200) state.SkipWithError("a call failed");
        }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(script.size()));
    stop(child);
}
BENCHMARK(serveHttp)->Unit(benchmark::kMillisecond)->UseRealTime();

// The resident memory of a process, in MiB; 0 when unknown.
double residentMiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);)
        if (line.starts_with("VmRSS:")) return std::atof(line.c_str() + 6) / 1024;
    return 0;
}

void keptAnswersMemory(benchmark::State &state) {
    scratchFolder();
    constexpr int kClients = 8, kRequests = 300;
    // About a megabyte of text, refused at the boundary: kept, but the printer is never asked.
    Json big = Json::array();
    for (int i = 0; i < 340000; ++i)
        big.push_back(0);
    const Json args = {"", big};
    for (auto _ : state) {
        pid_t child = -1;
        const int port = startHttp(child);
        if (!port) {
            state.SkipWithError("tiv serve did not start");
            return;
        }
        std::vector<std::thread> clients;
        for (int c = 0; c < kClients; ++c)
            clients.emplace_back([&, c] {
                httplib::Client client("127.0.0.1", port);
                for (int i = c; i < kRequests; i += kClients)
                    client.Post("/calls/Nr_Cupom",
                                Json{{"args", args}, {"id", "k" + std::to_string(i)}}.dump(),
                                "application/json");
            });
        for (std::thread &t : clients)
            t.join();
        state.counters["rss_MiB"] = residentMiB(child);
        state.counters["cap_MiB"] = static_cast<double>(tivtool::Service::kKeptBytes >> 20);
        stop(child);
    }
}
BENCHMARK(keptAnswersMemory)->Unit(benchmark::kMillisecond)->Iterations(1)->UseRealTime();

void serveLines(benchmark::State &state) {
    const Json script = steps();
    LinesService service;
    if (!service.start(TIV_EXECUTABLE)) {
        state.SkipWithError("tiv serve --lines did not start");
        return;
    }
    for (auto _ : state)
        for (const Json &step : script) {
            const std::string answer = service.send(step.dump()) ? service.answer() : "";
            if (answer.empty() || answer.find("\"error\":") != std::string::npos) {
                state.SkipWithError("a call failed");
                break;
            }
        }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(script.size()));
}
BENCHMARK(serveLines)->Unit(benchmark::kMillisecond)->UseRealTime();

void inProcess(benchmark::State &state) {
    const Json script = steps();
    tivtool::CallSession session(Json::object(), TIV_MODULE_PATH);
    for (auto _ : state)
        for (const Json &step : script)
            if (const Json answer = session.invoke(step); answer.contains("error")) {
                state.SkipWithError(answer.dump().c_str());
                break;
            }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(script.size()));
}
BENCHMARK(inProcess)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
