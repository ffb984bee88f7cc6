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
//             "reply" (the call answers "text", or "texts" one per reply buffer, instead of its
//             own reply: any text up to the buffer's size, blanks and NULs included, written
//             with a NUL after it; the printer's state is not consulted)
//   "entry":  entry point name the fault applies to (default: every entry point; "reply"
//             needs one whose reply the driver reads, e.g. "EPSON_Obter_Contadores")
//   "at":     fire on the Nth matching call from now (default 1)
//   "count":  fire on that many matching calls from "at" on (default 1)
//   "persistent": true fires from "at" on until ECFSIM_ClearFaults
//   "return": the return code of a faulted call (default 1; 0 for "reply")
// Returns a fault id (>= 1) or -1.
int32_t ECFSIM_InjectFault(const char *fault);
int32_t ECFSIM_ClearFaults(void);

// Set-up of a given fiscal state, on a fresh or a used printer, stored as any command is.
// Members left out keep their values; an unknown member, a value out of range or a document in
// progress refuses the whole call (-1) and nothing of it stays. Amounts are integers in cents.
//
// Counters, each on its own (0..999999), and the grand total (0..18 digits):
//   {"coo":120,"ccf":80,"gnf":30,"grg":12,"cdc":3,"crz":41,"cro":2,"cfc":1,"lx":5,"gt":987654}
int32_t ECFSIM_SetCounters(const char *counters);
// Any slot (1..20) of the tax-rate, payment and non-fiscal totalizer tables; a slot given
// without "kind" (or "name") is left blank. A tax rate's kind is any letter, its rate 0..9999
// hundredths of a percent:
//   {"taxRates":[{"slot":3,"kind":"S","rate":0},{"slot":5}],
//    "payments":[{"slot":2,"name":"Pix","linked":false,"total":1500,"uses":1}],
//    "nonFiscal":[{"slot":4,"name":"TROCO","direction":"S","total":0,"count":0}]}
int32_t ECFSIM_SetTables(const char *tables);
// A Z reduction as the printer would have made it, kept in its fiscal memory, without printing:
// the record holds the counters, GT, day totals and tables, and the day is left as that
// reduction leaves it (closed, totals zero, the record the last reduction). CRZ and COO
// advance by one unless given. Dates follow one another and none is after the printer's clock;
// an open fiscal day can only be reduced under its own date.
//   {"date":"2024-02-28","crz":40,"coo":1180,"gt":1234567,
//    "counters":{"ccf":900,"gnf":77,"grg":30,"cdc":4,"cfc":2,"lx":9},
//    "day":{"gross":150000,"cancelled":1000,"discounts":500,"surcharges":200,"exempt":0,
//           "notTaxed":0,"substitution":3000,"supply":10000,"withdrawal":5000,"change":700},
//    "rates":[{"slot":1,"kind":"T","rate":1800,"base":120000}],"madeAt":"235900"}
int32_t ECFSIM_RecordReduction(const char *reduction);
// The fiscal memory: every Z reduction record, oldest first, as a JSON array.
const char *ECFSIM_FiscalMemory(void);
// The detail memory: every document printed, in the order it began, as a JSON array. Each
// record: "coo", "kind" ("CF" fiscal receipt, "CN" non-fiscal voucher, supply or withdrawal,
// "CC" card voucher, "RG" management report, "LX" X reading, "RZ" Z reduction, "MF"
// fiscal-memory reading, "CA" cancellation of the last receipt), "title", "date"/"time" it
// began (yyyymmdd, hhmmss), "endDate"/"endTime", "ccf", "gnf", "grg", "cdc", "crz" (0 where
// they do not apply), "cancelled", "firstLine"/"lastLine" (of the paper roll, from 1; 0 when
// unknown) and "payments" [{"name","amount"}]; a fiscal receipt adds "cpf", "name", "items"
// (the item records with their "totalizer"), "subtotal", "discount", "surcharge", "total"; a
// voucher "total". A document still printing shows its head with "open": true.
const char *ECFSIM_DetailMemory(void);

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
