#pragma once
// Control API of the virtual fiscal printer (libInterfaceEpson.so). Tests, the demo and
// integrators drive the printer's surroundings through these calls; the driver never does.
//
// Conventions: texts in are zero-terminated; structured input is a JSON text (UTF-8). Calls
// that carry data back return a JSON text (UTF-8) owned by the library and valid until the next
// ECFSIM_ call. Calls that only act return 0 on success and -1 on failure; ECFSIM_LastError()
// then says why. Every call is safe to make before any EPSON_ entry point.
#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

// Use this folder as the printer's folder (created when missing) and load the printer kept
// there; a folder without a printer gets a fresh one with the default identity. NULL or ""
// means the default folder: $ECFSIM_DIR, else $XDG_STATE_HOME/tiv/ecfsim, else
// ~/.local/state/tiv/ecfsim.
int32_t ECFSIM_OpenFolder(const char *folder);
// The folder in use, as {"folder": "..."}.
const char *ECFSIM_Folder(void);

// Wipe the printer in the current folder (database and paper roll) and make a fresh one.
// config: NULL, "" or a JSON object whose members override the defaults, e.g.
// {"serial":"EP0123456789012345","model":"TM-T900FA","brand":"EPSON","ecf":"001",
//  "header":["LOJA EXEMPLO LTDA","RUA A, 1"],"taxRates":[{"kind":"T","rate":"1800"},
//  {"kind":"S","rate":"0500"}],"payments":["Dinheiro","Cartao"],"nonFiscal":[],
//  "clock":"2024-03-01 09:00:00","daylightSaving":false}
int32_t ECFSIM_Reset(const char *config);

// The printer clock: set it to "YYYY-MM-DD HH:MM:SS", or shift it by a number of seconds
// (negative goes back). The clock then runs on with the system clock.
int32_t ECFSIM_SetClock(const char *dateTime);
int32_t ECFSIM_ShiftClock(int64_t seconds);

// The cash drawer, as the drawer switch would report it (EPSON_Impressora_Abrir_Gaveta opens
// it; only this call closes it): status positions 9-12 read "1000" while open, "1001" closed.
int32_t ECFSIM_SetDrawer(int32_t open);

// Inject a fault. fault is a JSON object:
//   "kind":   "comm" (status positions 5-8 show "code", default "0002"), "paper" (out of paper),
//             "noanswer" (reply buffers untouched, non-zero return), "refuse" (the call is
//             refused with error "code", default "0601"), "status" (status positions
//             "position".. forced to "text" in the replies of EPSON_Obter_Estado_Impressora)
//   "entry":  entry point name the fault applies to (default: every entry point)
//   "at":     fire on the Nth matching call from now (default 1)
//   "count":  fire on that many matching calls from "at" on (default 1)
//   "persistent": true fires from "at" on until ECFSIM_ClearFaults
//   "return": the return code of a faulted call (default 1)
// Returns a fault id (>= 1) or -1.
int32_t ECFSIM_InjectFault(const char *fault);
int32_t ECFSIM_ClearFaults(void);

// Journal of every EPSON_ call since the last clear, in order:
// [{"entry":"EPSON_Fiscal_Abrir_Cupom","args":["","","","",2],"return":0,"result":"0000"},...]
// Texts are given as texts, numbers as numbers, reply buffers as null.
const char *ECFSIM_Journal(void);
int32_t ECFSIM_ClearJournal(void);

// Paper roll: a mark is the number of lines printed so far; PaperSince returns the lines
// printed after a mark as {"lines":["...", ...]}.
int64_t ECFSIM_MarkPaper(void);
const char *ECFSIM_PaperSince(int64_t mark);

// The fiscal state as JSON: counters, day totals, tables, the open document.
const char *ECFSIM_State(void);

// Why the last failed ECFSIM_ call failed, as {"error": "..."}.
const char *ECFSIM_LastError(void);

#ifdef __cplusplus
}
#endif
