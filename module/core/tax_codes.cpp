#include "tax_codes.h"

#include <array>
#include <string_view>

namespace tiv02000 {

namespace {

struct TaxCode {
    std::string_view host, classic, escEcf;
};

constexpr std::array<TaxCode, 14> kTaxCodes{{{"01", "Ta", "T1"},
                                             {"02", "Tb", "T2"},
                                             {"03", "Tc", "T3"},
                                             {"04", "Td", "T4"},
                                             {"05", "Te", "T5"},
                                             {"06", "Tf", "T6"},
                                             {"07", "Tg", "T7"},
                                             {"08", "Th", "T8"},
                                             {"09", "Ti", "T9"},
                                             {"10", "Tj", "T10"},
                                             {"11", "Tk", "T11"},
                                             {"FF", "F", "F1"},
                                             {"II", "I", "I1"},
                                             {"NN", "N", "N1"}}};

const TaxCode *find(const std::string &hostCode) {
    for (const auto &code : kTaxCodes)
        if (code.host == hostCode) return &code;
    return nullptr;
}

} // namespace

std::string classicTaxName(const std::string &hostCode) {
    const TaxCode *code = find(hostCode);
    return code ? std::string(code->classic) : std::string();
}

std::string escEcfTaxName(const std::string &hostCode) {
    const TaxCode *code = find(hostCode);
    return code ? std::string(code->escEcf) : std::string();
}

} // namespace tiv02000
