// The driver's readers of printer replies, given any reply. This program
// stands in for the vendor library itself: it exports every entry point, and
// each one answers from the input (a return code, and bytes of any value for
// each reply buffer, up to the size in platform/interface/epson/
// reply_sizes.h). The driver is started against it and runs a sequence of
// the procedures that read the printer's answers by position: identity,
// clock, counters, totals, tables, status, a report and a sale.
#include <dlfcn.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <string_view>
#include <tuple>

#include "epson/entry_points.h"
#include "epson/reply_sizes.h"
#include "fuzz_input.h"
#include "tiv02000/procedures.h"
#include "tiv02000/variables.h"
#include "tivhost/host.h"
#include "tivplatform/dataset.h"
#include "tivplatform/errors.h"
#include "tivplatform/params.h"
#include "tivplatform/stringlist.h"

namespace {

using tivfuzz::FuzzInput;

FuzzInput *current = nullptr;       // the input the replies are read from
FuzzInput *operatorInput = nullptr; // the input the operator's answers are read from

// $TIV_FUZZ_RECORD=FILE: the replies come from the virtual printer
// (libInterfaceEpson.so in $TIV_FUZZ_PRINTER_DIR) instead of the input, and
// the input that gives the same replies is written to FILE. That is how the
// seeds of fuzz/corpus/driver_replies are real printer answers.
void *recordFrom = nullptr;
std::string recorded;

uint8_t nextByte() {
    return current ? current->byte() : 0;
}

struct Buffers {
    const epson::ReplySizes *sizes;
    size_t next = 0;
};

void fill(const char *, Buffers &) {}
void fill(int32_t, Buffers &) {}
void fill(int32_t *p, Buffers &) {
    if (p && current) *p = current->int32();
}
void fill(uint8_t *p, Buffers &) {
    if (p) *p = nextByte();
}
void fill(char *p, Buffers &b) {
    const size_t i = b.next++;
    // Only the replies the driver reads; it never calls the others.
    if (!p || !current || !b.sizes || i >= b.sizes->sizes.size() || !b.sizes->sizes[i]) return;
    const size_t size = b.sizes->sizes[i];
    const uint8_t mode = current->byte();
    if (mode < 16) return; // no answer: the buffer as the driver passed it
    std::string text = current->text(size);
    if (mode < 64) text.append(size - text.size(), ' '); // the full width, as a printer pads
    std::memcpy(p, text.data(), text.size());
    p[text.size()] = '\0';
}

// $TIV_FUZZ_TRACE set: each entry point the driver calls is shown with its
// return code, to see what an input (a crash's, say) makes the driver do.
const bool kTrace = std::getenv("TIV_FUZZ_TRACE") != nullptr;

void record(const char *, Buffers &) {}
void record(int32_t, Buffers &) {}
void record(int32_t *p, Buffers &) {
    if (p) recorded += tivfuzz::encodeInt32(*p);
}
void record(uint8_t *p, Buffers &) {
    if (p) recorded.push_back(static_cast<char>(*p));
}
void record(char *p, Buffers &b) {
    const size_t i = b.next++;
    if (!p || !b.sizes || i >= b.sizes->sizes.size() || !b.sizes->sizes[i]) return;
    recorded.push_back(static_cast<char>(0x40)); // the text as it is
    recorded += tivfuzz::encodeText(std::string(p, ::strnlen(p, b.sizes->sizes[i])));
}

template <class... A> int32_t answer(std::string_view entry, A... args) {
    [[maybe_unused]] Buffers b{epson::replySizes(entry)};
    (fill(args, b), ...);
    const uint8_t code = nextByte();
    const int32_t ret = code < 0xC0 ? 0 : (current ? current->int32() : 0);
    if (kTrace) std::fprintf(stderr, "%.*s -> %d\n", int(entry.size()), entry.data(), ret);
    return ret;
}

template <class Fn, class... A> int32_t answerFromPrinter(const char *entry, A... args) {
    const auto fn = reinterpret_cast<Fn>(::dlsym(recordFrom, entry));
    if (!fn) std::abort();
    const int32_t ret = fn(args...);
    [[maybe_unused]] Buffers b{epson::replySizes(entry)};
    (record(args, b), ...);
    if (ret == 0) {
        recorded.push_back(0);
    } else {
        recorded.push_back(static_cast<char>(0xC0));
        recorded += tivfuzz::encodeInt32(ret);
    }
    return ret;
}

} // namespace

// The vendor library's entry points, found by the driver with dlsym in this
// program (linked to export them).
#define TIV_FUZZ_FAKE(name, params, args)                                                          \
    extern "C" __attribute__((visibility("default"))) int32_t name params {                        \
        if (recordFrom)                                                                            \
            return std::apply(                                                                     \
                [](auto... a) { return answerFromPrinter<int32_t(*) params>(#name, a...); },       \
                std::make_tuple args);                                                             \
        return std::apply([](auto... a) { return answer(#name, a...); }, std::make_tuple args);    \
    }
EPSON_ENTRY_POINTS(TIV_FUZZ_FAKE)
#undef TIV_FUZZ_FAKE

namespace {

const std::string kScheme = "001";

tiv::Variant startParams(int printerType) {
    return tiv::makeParams({{"CDFILIAL", "0001"},
                            {"CDCAIXA", "001"},
                            {"NRSERIEIMP", "EP0123456789"},
                            {"ESQUEMA", kScheme},
                            {"CDPORTAIMPFIS", "COM1"},
                            {"IDTIPOIMPFIS", printerType},
                            {"BOUTILTAA", false}});
}

tiv::TClientDataSet *taxTable() {
    auto *ds = new tiv::TClientDataSet("aliquotas");
    ds->addFieldDef("CDALIQIMPFIS", tiv::FieldType::String, 10);
    ds->addFieldDef("VRALIQIMPFIS", tiv::FieldType::Float);
    ds->addFieldDef("IDALIQIMPFIS", tiv::FieldType::String, 1);
    ds->createDataSet();
    return ds;
}

tiv::TClientDataSet *paymentMethods() {
    auto *ds = new tiv::TClientDataSet("recebimentos");
    for (const char *name : {"CDTIPORECE", "NMTIPORECE", "IDTIPORECE", "DSIMPFISCAL", "CDFPIMPFIS",
                             "IDTPBUTTON", "IDMOSTRARECE", "IDEMIVALE"})
        ds->addFieldDef(name, tiv::FieldType::String, 50);
    ds->createDataSet();
    for (const char *code : {"001", "002"}) {
        ds->append();
        ds->fieldByName("CDTIPORECE").setAsString(code);
        ds->fieldByName("NMTIPORECE").setAsString(code[2] == '1' ? "Dinheiro" : "Cartao");
        ds->fieldByName("IDTIPORECE").setAsString(code[2] == '1' ? "4" : "1");
        ds->fieldByName("DSIMPFISCAL").setAsString(code[2] == '1' ? "Dinheiro" : "Cartao");
        ds->post();
    }
    return ds;
}

// The procedures that read replies, each called with ordinary arguments.
void runProcedure(size_t which) {
    std::string a, b, c, d, e;
    switch (which) {
    case 0: {
        tiv::Variant p = tiv::makeParams({{"ESQUEMA", kScheme},
                                          {"DATAATUIMP", ""},
                                          {"ECFIMP", ""},
                                          {"REDIMP", "0"},
                                          {"SERIEIMP", ""},
                                          {"DATAIMP", ""}});
        Carrega_Dados_Impressora(p);
        break;
    }
    case 1: {
        tiv::TDateTime date = 0;
        VerificaData(kScheme, date, "", "", true);
        break;
    }
    case 2:
        Data_Imp(kScheme, a);
        break;
    case 3:
        Modelo_Impressora(kScheme, a, b, c);
        break;
    case 4: {
        tiv::TClientDataSet *ds = taxTable();
        CarregaAliquota(kScheme, ds);
        delete ds;
        break;
    }
    case 5: {
        tiv::TClientDataSet *ds = paymentMethods();
        CarregaRecebimento("", kScheme, 0, ds);
        delete ds;
        break;
    }
    case 6: {
        tiv::TClientDataSet *none = nullptr;
        CarregaTotalizador(a, b, c, d, e, kScheme, 0, none);
        break;
    }
    case 7:
        (void)Nr_Cupom("", kScheme);
        break;
    case 8:
        ContadorCupomFiscalMFD(kScheme, a);
        ContadorRelatoriosGerenciaisMFD(kScheme, b);
        NumeroOperacoesNaoFiscais(kScheme, c);
        break;
    case 9:
        NumeroIntervencoes(kScheme, a);
        NumeroReducoes(kScheme, b);
        NumeroSubstituicoesProprietario(kScheme, c);
        ContadorComprovantesCreditoMFD(kScheme, d);
        break;
    case 10:
        VendaBruta(kScheme, a);
        Cancelamentos(kScheme, b);
        Descontos(kScheme, c);
        Acrescimo_Imp(kScheme, d);
        BuscaTotGer(kScheme, e);
        break;
    case 11:
        Versao_Software_Basico(kScheme, a);
        (void)Codigo_Nacional_ECF(0, "");
        break;
    case 12:
        Estado_Imp(kScheme, false, false);
        (void)Estado_Gaveta_Imp("");
        (void)DataMoviFiscal(kScheme);
        break;
    case 13:
        Relatorio_Gerencial_Imp(kScheme, "", "", "", "");
        FechRelatGerenc(kScheme, true, false);
        break;
    case 14: {
        tiv::Variant open = tiv::makeParams({{"ESQUEMACOR", kScheme},
                                             {"INTTEFERRO", 0},
                                             {"INCLUICPF", ""},
                                             {"INCLUINOME", ""},
                                             {"INCLUIENDERECO", ""},
                                             {"CUPNR", ""},
                                             {"CONTCUPOM", ""},
                                             {"IDUTILTEF", "N"},
                                             {"UTILTEF", false}});
        AbreCupom(open);
        tiv::Variant item = tiv::makeParams({{"ESQUEMACOR", kScheme},
                                             {"INTEFERRO", 0},
                                             {"CDARVPROD", "7891000100103"},
                                             {"NMPROD", "ARROZ"},
                                             {"CDALIQ", "01"},
                                             {"QTDE", 1.0},
                                             {"VALOR", 24.9},
                                             {"DESCONT", 0.0},
                                             {"UNIDADE", "UN"},
                                             {"IDUTILTEF", "N"},
                                             {"UTILTEF", false},
                                             {"ACRESCIMO", 0.0}});
        VendaItem(item);
        break;
    }
    default:
        AbrePorta(startParams(33));
        break;
    }
}

std::filesystem::path folder;

void removeFolder() {
    std::error_code ec;
    if (!folder.empty()) std::filesystem::remove_all(folder, ec);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    std::string tmpl = (std::filesystem::temp_directory_path() / "tiv-fuzz-driver-XXXXXX");
    if (!::mkdtemp(tmpl.data())) std::abort();
    folder = tmpl;
    ::setenv("TIV_PROGRAM_DIR", folder.c_str(), 1);
    ::setenv("TIV_REGISTRY", (folder / "registry.ini").c_str(), 1);
    std::atexit(removeFolder);
    if (const char *dir = std::getenv("TIV_FUZZ_PRINTER_DIR");
        dir && std::getenv("TIV_FUZZ_RECORD")) {
        recordFrom = ::dlopen((std::string(dir) + "/libInterfaceEpson.so").c_str(), RTLD_NOW);
        if (!recordFrom) std::abort();
        ::setenv("ECFSIM_DIR", (folder / "printer").c_str(), 1);
        const auto reset =
            reinterpret_cast<int32_t (*)(const char *)>(::dlsym(recordFrom, "ECFSIM_Reset"));
        reset(R"({"clock":"2024-03-01 09:00:00","dayOpen":true,
                  "payments":["Dinheiro",{"name":"Cartao","linked":true}],
                  "nonFiscal":["RECEBIMENTO"]})");
    }
    tivhost::setDelayUnitMs(0);
    // The operator answers from the input too.
    tivhost::setDialogHandler(
        [](const tivhost::Dialog &) { return operatorInput && (operatorInput->byte() & 1) != 0; });
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    FuzzInput in(data, size);
    current = recordFrom ? nullptr : &in;
    recorded.clear();
    if (recordFrom) in.echoTo(&recorded);
    // The choices below and the operator's answers are read from `in` in both modes.
    FuzzInput &choices = in;
    operatorInput = &in;
    boNUtilTaa = true;
    boClieUtil = false;
    boImpFiscalOK = false;
    inIndiceReceb = 0;
    stMensagemTaa.clear();
    stImpDebug.clear();
    // The vendor library is this program.
    ImpFisDLLHandle = reinterpret_cast<uintptr_t>(::dlopen(nullptr, RTLD_NOW));
    try {
        if (StartImpFiscal(startParams(choices.byte() & 1 ? 33 : 31)))
            for (int calls = 0; calls < 8 && !choices.empty(); ++calls)
                runProcedure(choices.choice(16));
    } catch (const tiv::Error &) {
        // An error the driver lets reach the host is an answer, not a fault.
    }
    StopImpFiscal();
    current = nullptr;
    operatorInput = nullptr;
    if (recordFrom) {
        if (FILE *f = std::fopen(std::getenv("TIV_FUZZ_RECORD"), "wb")) {
            std::fwrite(recorded.data(), 1, recorded.size(), f);
            std::fclose(f);
        }
    }
    // The debug log grows with every call: each input starts without one.
    std::error_code ec;
    for (const auto &e : std::filesystem::directory_iterator(folder, ec))
        std::filesystem::remove_all(e.path(), ec);
    return 0;
}
