// The module's exported variables with their load-time values, and the
// package entry points the platform's loader calls.
#include "tiv02000/variables.h"

extern "C" {
int32_t inTipoImpFis = 0;
bool boNUtilTaa = true;
bool boClieUtil = false;
uintptr_t ImpFisDLLHandle = 0;
bool boImpFiscalOK = false;
int32_t inIndiceReceb = 0;
std::string stImpDebug;
std::string stMensagemTaa;
tiv02000::TdtmEpson2000 *dtmEpson2000 = nullptr;

// Loading starts no work.
TIV_EXPORT void Initialize() {}

// Unloading empties the two texts; the data module is not destroyed.
TIV_EXPORT void Finalize() {
    stMensagemTaa.clear();
    stImpDebug.clear();
}
}

namespace {
// Defined after the texts, so destroyed before them: unloading the module
// runs Finalize while the texts still exist.
struct Finalizer {
    ~Finalizer() { Finalize(); }
} finalizer;
} // namespace
