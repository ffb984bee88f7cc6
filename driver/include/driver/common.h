#pragma once
// Helpers every procedure of the driver shares.
#include <string>

#include "tiv02000/variables.h"

namespace tiv02000 {

// The dialog rule of procedures that read both flags.
inline bool dialogsAllowed() {
    return boNUtilTaa || !boClieUtil;
}

// 1-based substring as the driver reads fixed positions; positions past the
// end read as empty, never out of bounds.
std::string copyText(const std::string &s, size_t pos1, size_t len);
std::string trim(const std::string &s);
std::string upper(const std::string &s);
bool isBlank(const std::string &s);

// Notice through the host's dialog (ask mark "N").
void notice(const std::string &text, int kind, const std::string &colourScheme);

} // namespace tiv02000

#include "tivplatform/errors.h"

namespace tiv02000 {

// A bound entry point, or an error naming it when the vendor library is not
// bound (a host calling before StartImpFiscal gets an error, not a crash).
template <typename Fn> Fn bound(Fn fn, const char *name) {
    if (fn == nullptr)
        throw tiv::Error(std::string("vendor library entry point not bound: ") + name);
    return fn;
}
#define EPSON(name) ::tiv02000::bound(::tiv02000::epson().name, #name)

// The notice shown when a procedure cannot read its named parameters.
void parameterNotice(const std::exception &error, const std::string &procedure);

} // namespace tiv02000

namespace tiv02000 {
// Exactly four hexadecimal digits, letters in either case; anything else
// raises ConversionError, as the host platform's conversion does.
unsigned hexWord(const std::string &text);
} // namespace tiv02000
