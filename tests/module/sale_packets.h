#pragma once
// The datasets a closing takes from the host: its payment methods and the sale's cash
// movements, as data packets.
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tivplatform/dataset.h"

namespace sale {

// The host's payment methods (cdsRecebAux); the printer holds every one
// but "Vale Refeicao".
struct Method {
    std::string code, name, kind, fiscal;
};
inline const std::vector<Method> kMethods = {
    {"001", "Dinheiro", "4", ""},      {"002", "Cartao Credito", "1", ""},
    {"003", "Cartao Debito", "2", ""}, {"004", "Cheque", "3", ""},
    {"005", "Vale", "X", ""},          {"006", "Convenio", "8", ""},
    {"007", "Outros", "", ""},         {"008", "Cartao VISA 12x parcelado", "1", "Cartao Credito"},
    {"009", "Vale Refeicao", "5", ""},
};
inline const nlohmann::json kPrinterPayments = {
    "Dinheiro", "Cartao Credito", "Cartao Debito", "Cheque", "Vale", "Convenio", "Outros"};

struct Movement {
    std::string method;
    double amount;
    std::string kind = "E";
};

inline tiv::Variant methodsPacket() {
    tiv::TClientDataSet ds("cdsRecebAux");
    ds.addFieldDef("CDFILIAL", tiv::FieldType::String, 4);
    ds.addFieldDef("CDTIPORECE", tiv::FieldType::String, 3);
    ds.addFieldDef("NMTIPORECE", tiv::FieldType::String, 40);
    ds.addFieldDef("IDTIPORECE", tiv::FieldType::String, 1);
    ds.addFieldDef("DSIMPFISCAL", tiv::FieldType::String, 50);
    ds.addFieldDef("CDFPIMPFIS", tiv::FieldType::String, 10);
    ds.createDataSet();
    for (const auto &m : kMethods) {
        ds.append();
        ds.fieldByName("CDFILIAL").setAsString("0001");
        ds.fieldByName("CDTIPORECE").setAsString(m.code);
        ds.fieldByName("NMTIPORECE").setAsString(m.name);
        ds.fieldByName("IDTIPORECE").setAsString(m.kind);
        ds.fieldByName("DSIMPFISCAL").setAsString(m.fiscal);
        ds.post();
    }
    return ds.data();
}

inline tiv::Variant movementsPacket(const std::vector<Movement> &rows) {
    tiv::TClientDataSet ds("cdsMovCaixa");
    for (const char *f : {"CDFILIAL", "IDTIPOMOVIVE", "CDTIPORECE", "DTHRINCMOV", "NRORDTROCO",
                          "CDBANCARTCR", "CDTIPORECEORIG", "NMTIPORECE"})
        ds.addFieldDef(f, tiv::FieldType::String, 40);
    ds.addFieldDef("VRMOVIVEND", tiv::FieldType::Float);
    ds.createDataSet();
    int n = 0;
    for (const auto &r : rows) {
        ds.append();
        ds.fieldByName("CDFILIAL").setAsString("0001");
        ds.fieldByName("IDTIPOMOVIVE").setAsString(r.kind);
        ds.fieldByName("CDTIPORECE").setAsString(r.method);
        ds.fieldByName("DTHRINCMOV").setAsString("2024-03-01 10:00:0" + std::to_string(n));
        ds.fieldByName("NRORDTROCO").setAsString(std::to_string(++n));
        ds.fieldByName("VRMOVIVEND").setAsFloat(r.amount);
        ds.post();
    }
    return ds.data();
}

} // namespace sale
