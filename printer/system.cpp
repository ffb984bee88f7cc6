// Port, log and file options: the virtual printer has no port or log of its own, so these only
// check their arguments.
#include "document.h"
#include "entry_impl.h"
#include "text.h"

namespace ecfsim {

using namespace rules;

int32_t impl::EPSON_Serial_Abrir_PortaEx() {
    // Opening the port tries again a folder refused as in use, waiting as an opening does.
    P().retryFolder();
    return P().query([] {});
}

int32_t impl::EPSON_Sys_Bloquear_Entradas(int32_t) {
    return P().query([] {});
}

int32_t impl::EPSON_Sys_Log(const char *pszPasta, int32_t) {
    return P().query([&] { need(pszPasta, 260); });
}

int32_t impl::EPSON_Config_Habilita_EAD(int32_t) {
    return P().query([] {});
}

int32_t impl::EPSON_Config_Habilita_CAT52_Auto(int32_t) {
    return P().query([] {});
}

} // namespace ecfsim
