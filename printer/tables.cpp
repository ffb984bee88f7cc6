// Programming the tables: tax rates, payment methods, non-fiscal totalizers.
#include "document.h"
#include "entry_impl.h"
#include "text.h"

namespace ecfsim {

using namespace rules;

namespace {

void programPayment(int64_t slot, std::string_view name, bool linked) {
    if (slot < 1 || slot > kPaymentSlots) throw Refusal{Code::BadSlot};
    if (trim(name).empty()) throw Refusal{Code::BadParameter};
    requirePaymentProgrammable(slot, name);
    S().payments[slot - 1] = PaymentMethod{trim(name), linked, 0, 0};
}

// Programs a totalizer at `slot` (1-based), or at the first free slot when slot is 0. Slots
// left between the last programmed one and `slot` stay blank.
int32_t programTotalizer(int64_t slot, std::string_view name, std::string direction) {
    if (trim(name).empty()) throw Refusal{Code::BadParameter};
    if (slot < 0 || slot > kNonFiscalSlots) throw Refusal{Code::BadSlot};
    slot = requireTotalizerProgrammable(slot, name);
    auto &tots = S().nonFiscal;
    if (tots.size() < static_cast<std::size_t>(slot)) tots.resize(slot);
    tots[slot - 1] = NonFiscalTotalizer{trim(name), std::move(direction), 0, 0};
    return static_cast<int32_t>(slot);
}

void programRate(int64_t rate, const std::string &kind) {
    if (rate == 0 || rate > 9999) throw Refusal{Code::OutOfRange};
    S().rates[requireRateProgrammable()] = TaxRate{kind, static_cast<int32_t>(rate), 0};
}

} // namespace

int32_t impl::EPSON_Config_Forma_Pagamento(int32_t bVinculado, const char *pszNumero,
                                           const char *pszDescricao) {
    return P().command([&] {
        int64_t slot = digits(pszNumero, 2);
        programPayment(slot, need(pszDescricao, 15), bVinculado != 0);
    });
}

int32_t impl::EPSON_ESC_ECF_Config_Forma_Pagamento(const char *pszNumero, const char *pszDescricao,
                                                   const char *pszVinculado) {
    return P().command([&] {
        int64_t slot = digits(pszNumero, 2);
        std::string_view name = need(pszDescricao, 15);
        programPayment(slot, name, flagText(pszVinculado) == 1);
    });
}

int32_t impl::EPSON_Config_Totalizador_NaoFiscal(const char *pszDescricao,
                                                 int32_t *pdwTotalizador) {
    return P().command([&] {
        if (!pdwTotalizador) throw Refusal{Code::BadParameter};
        int32_t n = programTotalizer(0, need(pszDescricao, 15), "E");
        *pdwTotalizador = n;
    });
}

int32_t impl::EPSON_ESC_ECF_Config_Totalizador_NaoFiscal(const char *pszNumero,
                                                         const char *pszDescricao,
                                                         const char *pszTipo) {
    return P().command([&] {
        int64_t n = digits(pszNumero, 2);
        if (n < 1 || n > kNonFiscalSlots) throw Refusal{Code::BadSlot};
        std::string_view name = need(pszDescricao, 15);
        std::string_view dir = need(pszTipo, 1);
        if (dir != "E" && dir != "S" && !dir.empty()) throw Refusal{Code::BadParameter};
        programTotalizer(n, name, dir.empty() ? "E" : std::string(dir));
    });
}

int32_t impl::EPSON_Config_Aliquota(const char *pszAliquota, int32_t bISS) {
    return P().command([&] { programRate(digits(pszAliquota, 4), bISS ? "S" : "T"); });
}

int32_t impl::EPSON_ESC_ECF_Config_Aliquota(const char *pszAliquota, const char *pszTipo) {
    return P().command([&] {
        int64_t rate = digits(pszAliquota, 4);
        std::string_view kind = need(pszTipo, 1);
        if (kind != "T" && kind != "S") throw Refusal{Code::BadParameter};
        programRate(rate, std::string(kind));
    });
}

} // namespace ecfsim
