// A module with a few procedures under their real signatures, for the tests
// of tiv. Each one writes what it received to a record the tests read back,
// and gives back something recognisable through every way a procedure can.
#include <dlfcn.h>

#include <cstdio>
#include <string>

#include "tiv02000/procedures.h"
#include "tiv02000/variables.h"
#include "tivhost/host.h"
#include "tivplatform/errors.h"
#include "tivplatform/params.h"
#include "tivplatform/system.h"

namespace {

std::string received;

std::string describe(const tiv::Variant &v) {
    using K = tiv::Variant::Kind;
    switch (v.kind()) {
    case K::Empty:
        return "empty";
    case K::Null:
        return "null";
    case K::Boolean:
        return v.toBoolean() ? "b:true" : "b:false";
    case K::Integer:
        return "i:" + std::to_string(v.toInteger());
    case K::Real: {
        char buf[40];
        std::snprintf(buf, sizeof buf, "r:%g", v.toReal());
        return buf;
    }
    case K::Text:
        return "'" + v.toString() + "'";
    case K::DateTime:
        return "d:" + tiv::formatDateTime("yyyy-mm-dd hh:nn:ss", v.toDateTime());
    case K::Array: {
        std::string s = "[";
        for (size_t i = 0; i < v.size(); ++i)
            s += (i ? "," : "") + describe(v.at(i));
        return s + "]";
    }
    }
    return "?";
}

std::string describe(const tiv::TStringList *list) {
    if (!list) return "absent";
    std::string s = "(";
    for (size_t i = 0; i < list->count(); ++i)
        s += (i ? "," : "") + list->at(i);
    return s + ")";
}

std::string describe(tiv::TClientDataSet *ds) {
    if (!ds) return "absent";
    std::string s = "{";
    for (ds->first(); !ds->eof(); ds->next()) {
        s += "<";
        for (size_t i = 0; i < ds->fieldDefs().size(); ++i)
            s += (i ? "," : "") + ds->fieldByName(ds->fieldDefs()[i].name).asString();
        s += ">";
    }
    return s + "}";
}

void record(const std::string &line) {
    received += line + "\n";
}

void log(const std::string &text) {
    tiv::appendLine(tiv::programFolder() + "/impdebug" + tiv::formatDateTime("mmyy", tiv::now()) +
                        ".txt",
                    tiv::formatDateTime("dd/mm/yyyy hh:nn:ss", tiv::now()) + " - " + text);
}

} // namespace

extern "C" {

// Three of the module variables, which the transcript shows after each call.
std::string stMensagemTaa;
bool boClieUtil = true;
int32_t inIndiceReceb = 0;

TIV_EXPORT const char *FakeModule_Received() {
    return received.c_str();
}
TIV_EXPORT void FakeModule_Clear() {
    received.clear();
}

bool VerificaData(const std::string &colourScheme, tiv::TDateTime &movementDate,
                  const std::string &clock, const std::string &fiscalDate, bool readClock) {
    record("VerificaData|" + colourScheme + "|" +
           tiv::formatDateTime("yyyy-mm-dd hh:nn:ss", movementDate) + "|" + clock + "|" +
           fiscalDate + "|" + (readClock ? "true" : "false"));
    movementDate += 1;
    return readClock;
}

bool Carrega_Dados_Impressora(tiv::Variant &params) {
    record("Carrega_Dados_Impressora|" + describe(params));
    log("EPSON_Obter_Numero_ECF_Loja");
    log("Retorno da Impressora : 001 opera\xE7\xE3o");
    params = tiv::makeParams({{"DATAATUIMP", "10122026143000"}, {"ECFIMP", "001"}});
    return true;
}

bool FechaCupom(const tiv::Variant &args, tiv::TStringList *lines, tiv::Variant &result) {
    record("FechaCupom|" + describe(args) + "|" + describe(lines) + "|" + describe(result));
    const bool yes =
        tivhost::Mensagem("Confirma o fechamento?", "", "N", "S", 1, "", "001", 0, nullptr);
    tiv::setResult(result, 0, 1);
    tiv::setResult(result, 3, tiv::Variant(std::string(" Impressora fiscal sem papel\xE7")));
    return yes;
}

bool GeraCatGenerica(const tiv::Variant &args, tiv::TStringList *&fileList) {
    record("GeraCatGenerica|" + describe(args) + "|" + describe(fileList));
    // The caller owns the new list, as it owns the one it passed.
    fileList = new tiv::TStringList({"/tmp/a.txt", "/tmp/b.txt"});
    return true;
}

void CarregaAliquota(const std::string &colourScheme, tiv::TClientDataSet *&taxRates) {
    record("CarregaAliquota|" + colourScheme + "|" + describe(taxRates));
    if (!taxRates) return;
    taxRates->append();
    taxRates->fieldByName(taxRates->fieldDefs()[0].name).setAsString("Tb");
    taxRates->post();
}

bool Cancela_ItGenerico(const std::string &colourScheme, const std::string &item,
                        const std::wstring &unused3, const std::wstring &unused4,
                        const std::wstring &unused5, const std::wstring &unused6,
                        const std::wstring &unused7, const std::wstring &unused8,
                        const std::wstring &unused9, double unused10, double unused11) {
    std::string wide;
    for (const std::wstring *w :
         {&unused3, &unused4, &unused5, &unused6, &unused7, &unused8, &unused9}) {
        wide += "|";
        for (wchar_t c : *w)
            wide += std::to_string(static_cast<uint32_t>(c)) + ".";
    }
    char reals[64];
    std::snprintf(reals, sizeof reals, "|%g|%g", unused10, unused11);
    record("Cancela_ItGenerico|" + colourScheme + "|" + item + wide + reals);
    return false;
}

std::string Nr_Cupom(const std::string &unused1, const std::string &colourScheme) {
    record("Nr_Cupom|" + unused1 + "|" + colourScheme);
    return "00012\xE7";
}

bool Atu_TotGeral(const tiv::Variant &params) {
    record("Atu_TotGeral|" + describe(params));
    return true;
}

// Calls back into the host's procedure variables, as the driver's
// cancellation does, and leaves its mark on the module variables.
bool Cancela_Cupom_Imp(const tiv::Variant &args, tiv::Variant &result) {
    record("Cancela_Cupom_Imp|" + describe(args));
    bool reconciled = false;
    if (tivhost::Atu_TotGeral())
        reconciled = tivhost::Atu_TotGeral()(tiv::makeParams({{"GT", 1.5}}));
    std::string date = "own";
    if (tivhost::DataMoviFiscal())
        date = tiv::formatDateTime("yyyy-mm-dd", tivhost::DataMoviFiscal()("001"));
    tiv::setResult(result, 0, tiv::Variant(date));
    stMensagemTaa = " cancelado\xE7";
    boClieUtil = false;
    inIndiceReceb = 3;
    return reconciled;
}

tiv::TDateTime DataMoviFiscal(const std::string &colourScheme) {
    record("DataMoviFiscal|" + colourScheme);
    return tiv::encodeDateTime(2026, 12, 10, 14, 30, 0);
}

double GetValue(const std::string &text) {
    record("GetValue|" + text);
    if (text.empty()) throw tiv::ConversionError("'' is not a valid floating point value");
    return 12.5;
}

void Relatorio_Produto(const std::string &, const std::string &mode, const std::string &,
                       const std::string &, const std::string &, std::string &reportNumber,
                       tiv::TClientDataSet *products, const std::string &, const std::string &,
                       const std::string &colourScheme, bool &reportOpen) {
    record("Relatorio_Produto|" + mode + "|" + reportNumber + "|" + describe(products) + "|" +
           colourScheme + "|" + (reportOpen ? "true" : "false"));
    reportNumber = "000042";
    reportOpen = !reportOpen;
}

void StopImpFiscal() {
    record("StopImpFiscal");
}

// Prints through the printer library the way the driver reaches it: found by
// name in the library already loaded.
bool Leitura_X_Imp(const std::string &serialNumber, const std::string &,
                   const std::string &colourScheme, const std::string &) {
    record("Leitura_X_Imp|" + serialNumber + "|" + colourScheme);
    void *printer = dlopen(TIV_FAKE_PRINTER, RTLD_NOW | RTLD_NOLOAD);
    if (!printer) return false;
    auto leituraX =
        reinterpret_cast<int32_t (*)()>(dlsym(printer, "EPSON_RelatorioFiscal_LeituraX"));
    const bool ok = leituraX && leituraX() == 0;
    dlclose(printer);
    return ok;
}
}
