// Cost of the client dataset's bulk operations; each should grow linearly
// with the number of rows.
#include <benchmark/benchmark.h>

#include <map>
#include <memory>

#include "tivplatform/dataset.h"

namespace {

using tiv::FieldType;
using tiv::TClientDataSet;

// A cash-movement table of `rows` rows, built once per size.
TClientDataSet &table(int rows) {
    static std::map<int, std::unique_ptr<TClientDataSet>> cache;
    auto &slot = cache[rows];
    if (!slot) {
        slot = std::make_unique<TClientDataSet>("cdsMovimento");
        TClientDataSet &ds = *slot;
        ds.addFieldDef("CDFILIAL", FieldType::String, 4);
        ds.addFieldDef("CDCAIXA", FieldType::String, 3);
        ds.addFieldDef("IDTIPOMOVIVE", FieldType::String, 1);
        ds.addFieldDef("CDTIPORECE", FieldType::String, 10);
        ds.addFieldDef("NRSEQ", FieldType::Integer);
        ds.addFieldDef("VRMOVIVEND", FieldType::Float);
        ds.addFieldDef("DTHRINCMOV", FieldType::DateTime);
        ds.createDataSet();
        for (int i = 0; i < rows; ++i) {
            ds.append();
            ds.fieldByName("CDFILIAL").setAsString(i % 2 ? "0001" : "0002");
            ds.fieldByName("CDCAIXA").setAsString(i % 3 ? "001" : "002");
            ds.fieldByName("IDTIPOMOVIVE").setAsString(i % 5 ? "A" : "B");
            ds.fieldByName("CDTIPORECE").setAsString("R" + std::to_string(i));
            ds.fieldByName("NRSEQ").setAsInteger(i);
            ds.fieldByName("VRMOVIVEND").setAsFloat(i * 0.25);
            ds.fieldByName("DTHRINCMOV").setAsDateTime(46000.5 + i / 1000.0);
            ds.post();
        }
    }
    return *slot;
}

void BM_Load(benchmark::State &state) {
    const int rows = static_cast<int>(state.range(0));
    const std::string packet = table(rows).dataPacket();
    TClientDataSet ds("cdsCarga");
    for (auto _ : state) {
        ds.setDataPacket(packet);
        benchmark::DoNotOptimize(ds.recordCount());
    }
    state.SetComplexityN(rows);
}

void BM_Filter(benchmark::State &state) {
    const int rows = static_cast<int>(state.range(0));
    TClientDataSet &ds = table(rows);
    ds.setFilter("IDTIPOMOVIVE = 'A' AND CDFILIAL = '0001' AND CDCAIXA = '001'");
    for (auto _ : state) {
        ds.setFiltered(true);
        benchmark::DoNotOptimize(ds.recordCount());
        ds.setFiltered(false);
    }
    state.SetComplexityN(rows);
}

void BM_Locate(benchmark::State &state) {
    const int rows = static_cast<int>(state.range(0));
    TClientDataSet &ds = table(rows);
    // The last row: the whole table is scanned.
    const tiv::Variant key(std::vector<tiv::Variant>{"r" + std::to_string(rows - 1), "a"});
    for (auto _ : state) {
        ds.first();
        if (!ds.locate("CDTIPORECE;IDTIPOMOVIVE", key, {true, false}))
            state.SkipWithError("row not found");
    }
    state.SetComplexityN(rows);
}

void BM_Copy(benchmark::State &state) {
    const int rows = static_cast<int>(state.range(0));
    TClientDataSet &src = table(rows);
    TClientDataSet dst("cdsCopia");
    dst.copyFrom(src);
    for (auto _ : state) {
        dst.emptyDataSet();
        dst.copyRowsFrom(src);
        benchmark::DoNotOptimize(dst.recordCount());
    }
    state.SetComplexityN(rows);
}

BENCHMARK(BM_Load)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity();
BENCHMARK(BM_Filter)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity();
BENCHMARK(BM_Locate)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity();
BENCHMARK(BM_Copy)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->Complexity();

} // namespace

BENCHMARK_MAIN();
