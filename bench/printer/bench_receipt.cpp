// A 1,000-item receipt through the entry points, against the wire time of a real printer:
// an item command of about 100 bytes takes about 8.7 ms at 115,200 baud.
#include <cstdlib>
#include <filesystem>
#include <string>

#include <benchmark/benchmark.h>

#include "ecfsim/ecfsim.h"
#include "epson/entry_points.h"

#define ECFSIM_BENCH_DECLARE(name, params, args) extern "C" int32_t name params;
EPSON_ENTRY_POINTS(ECFSIM_BENCH_DECLARE)
#undef ECFSIM_BENCH_DECLARE

namespace {

constexpr int kItems = 1000;
constexpr double kWireSecondsPerItem = 0.0087;

void ThousandItemReceipt(benchmark::State &state) {
    char tmpl[] = "/tmp/ecfsim-bench-XXXXXX";
    if (!mkdtemp(tmpl)) {
        state.SkipWithError("no temporary folder");
        return;
    }
    if (ECFSIM_OpenFolder(tmpl) != 0 || ECFSIM_Reset(R"({"dayOpen":true})") != 0) {
        state.SkipWithError("printer not ready");
        return;
    }
    int64_t items = 0;
    for (auto _ : state) {
        bool ok = EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2) == 0;
        for (int i = 0; ok && i < kItems; ++i)
            ok = EPSON_Fiscal_Vender_Item("7891234567890", "PRODUTO DE TESTE COM DESCRICAO",
                                          "0001000", 3, "UN", "00001990", 3, "Ta", 1) == 0;
        // 1,000 items of 1.99
        ok = ok && EPSON_Fiscal_Pagamento("Dinheiro", "0000000199000", 2, "", "") == 0;
        ok = ok && EPSON_Fiscal_Fechar_Cupom(1, 0) == 0;
        if (!ok) {
            state.SkipWithError("the receipt was refused");
            break;
        }
        items += kItems;
        state.PauseTiming();
        ECFSIM_ClearJournal(); // the journal would otherwise only grow
        state.ResumeTiming();
    }
    state.counters["items_per_second"] =
        benchmark::Counter(static_cast<double>(items), benchmark::Counter::kIsRate);
    state.counters["wire_ratio"] = benchmark::Counter(
        static_cast<double>(items) * kWireSecondsPerItem, benchmark::Counter::kIsRate);
    std::filesystem::remove_all(tmpl);
}

} // namespace

BENCHMARK(ThousandItemReceipt)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2.0);
BENCHMARK_MAIN();
