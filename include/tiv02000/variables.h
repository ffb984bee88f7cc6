#pragma once
// The driver module's exported variables, reachable by a host with dlsym of
// their plain names.
#include <cstdint>
#include <string>

#include "tivplatform/export.h"

namespace tiv02000 {
class TdtmEpson2000;
}

extern "C" {
TIV_EXPORT extern int32_t inTipoImpFis; // 31 classic, 33 ESC/ECF
TIV_EXPORT extern bool boNUtilTaa;      // dialogs allowed (not self-service)
TIV_EXPORT extern bool boClieUtil;
TIV_EXPORT extern uintptr_t ImpFisDLLHandle; // vendor library; 0 when not loaded
TIV_EXPORT extern bool boImpFiscalOK;
TIV_EXPORT extern int32_t inIndiceReceb;
TIV_EXPORT extern std::string stImpDebug;
TIV_EXPORT extern std::string stMensagemTaa;
TIV_EXPORT extern tiv02000::TdtmEpson2000 *dtmEpson2000;

// Package entry points: loading starts no work; unloading empties
// stMensagemTaa and stImpDebug (the data module stays).
TIV_EXPORT void Initialize();
TIV_EXPORT void Finalize();
}
