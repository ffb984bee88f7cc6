// A 100-item sale made through the driver, against the same sale made by
// calling the virtual printer's entry points directly. The difference is
// the driver's own cost per item (formatting, return analysis, debug log).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "ecfsim/ecfsim.h"
#include "epson/entry_points.h"
#include "tiv02000/tiv02000.h"
#include "tivhost/host.h"
#include "tivplatform/dataset.h"
#include "tivplatform/params.h"

extern "C" {
#define DECLARE_ENTRY(name, params, args) int32_t name params;
EPSON_CLASSIC_ENTRY_POINTS(DECLARE_ENTRY)
EPSON_ESC_ECF_ENTRY_POINTS(DECLARE_ENTRY)
#undef DECLARE_ENTRY
}

namespace {

constexpr int kItems = 100;

std::string scratchFolder() {
    static std::string folder = [] {
        char pattern[] = "/tmp/tiv-bench-XXXXXX";
        return std::string(mkdtemp(pattern));
    }();
    return folder;
}

void freshPrinter() {
    const std::string folder = scratchFolder();
    setenv("TIV_PROGRAM_DIR", folder.c_str(), 1);
    ECFSIM_OpenFolder((folder + "/ecf").c_str());
    ECFSIM_Reset(nullptr);
    ECFSIM_ClearJournal();
}

tiv::Variant closingArgs(double total) {
    tiv::TClientDataSet movements;
    movements.addFieldDef("IDTIPOMOVIVE", tiv::FieldType::String, 1);
    movements.addFieldDef("CDTIPORECE", tiv::FieldType::String, 3);
    movements.addFieldDef("VRMOVIVEND", tiv::FieldType::Float);
    movements.createDataSet();
    movements.append();
    movements.fieldByName("IDTIPOMOVIVE").setAsString("E");
    movements.fieldByName("CDTIPORECE").setAsString("001");
    movements.fieldByName("VRMOVIVEND").setAsFloat(total);
    movements.post();
    tiv::TClientDataSet methods;
    methods.addFieldDef("CDTIPORECE", tiv::FieldType::String, 3);
    methods.addFieldDef("NMTIPORECE", tiv::FieldType::String, 40);
    methods.addFieldDef("IDTIPORECE", tiv::FieldType::String, 1);
    methods.addFieldDef("DSIMPFISCAL", tiv::FieldType::String, 50);
    methods.createDataSet();
    methods.append();
    methods.fieldByName("CDTIPORECE").setAsString("001");
    methods.fieldByName("NMTIPORECE").setAsString("Dinheiro");
    methods.fieldByName("IDTIPORECE").setAsString("4");
    methods.fieldByName("DSIMPFISCAL").setAsString("Dinheiro");
    methods.post();
    std::vector<tiv::Variant> args(62);
    args[2] = "001";
    args[13] = movements.data();
    args[14] = methods.data();
    return tiv::Variant(std::move(args));
}

void BM_SaleThroughDriver(benchmark::State &state) {
    freshPrinter();
    tivhost::setDialogHandler([](const tivhost::Dialog &) { return false; });
    StartImpFiscal(tiv::makeParams({{"IDTIPOIMPFIS", 31}, {"BOUTILTAA", false}}));
    for (auto _ : state) {
        tiv::Variant open = tiv::makeParams({{"ESQUEMACOR", "001"}});
        if (!AbreCupom(open)) state.SkipWithError("receipt not opened");
        for (int i = 0; i < kItems; ++i) {
            tiv::Variant item = tiv::makeParams({{"ESQUEMACOR", "001"},
                                                 {"CDARVPROD", std::to_string(1000 + i)},
                                                 {"NMPROD", "PRODUTO DE TESTE"},
                                                 {"CDALIQ", "01"},
                                                 {"QTDE", 1.0},
                                                 {"VALOR", 1.25},
                                                 {"UNIDADE", "UN"}});
            if (!VendaItem(item)) state.SkipWithError("item refused");
        }
        tiv::Variant result = tiv::Variant::array(4);
        if (!FechaCupom(closingArgs(kItems * 1.25), nullptr, result))
            state.SkipWithError("receipt not closed");
        ECFSIM_ClearJournal();
    }
    StopImpFiscal();
    state.counters["items/s"] = benchmark::Counter(static_cast<double>(state.iterations() * kItems),
                                                   benchmark::Counter::kIsRate);
}

void BM_SaleThroughEntryPoints(benchmark::State &state) {
    freshPrinter();
    EPSON_RelatorioFiscal_Abrir_Dia();
    char status[21];
    for (auto _ : state) {
        EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2);
        for (int i = 0; i < kItems; ++i) {
            const std::string code = std::to_string(1000 + i);
            EPSON_Fiscal_Vender_Item(code.c_str(), "PRODUTO DE TESTE", "0001000", 3, "UN",
                                     "00001250", 3, "Ta", 1);
            EPSON_Obter_Estado_Impressora(status);
        }
        EPSON_Fiscal_Pagamento("Dinheiro", "0000000012500", 2, "", "");
        EPSON_Fiscal_Imprimir_MensagemEX("Obrigado");
        EPSON_Fiscal_Fechar_Cupom(1, 0);
        ECFSIM_ClearJournal();
    }
    state.counters["items/s"] = benchmark::Counter(static_cast<double>(state.iterations() * kItems),
                                                   benchmark::Counter::kIsRate);
}

} // namespace

BENCHMARK(BM_SaleThroughDriver)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SaleThroughEntryPoints)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
