/* The driver module's procedures from any language: one JSON request in, one
 * JSON answer out, the same as one step of `tiv run` (docs/hosts.md).
 *
 *   char *answer = NULL;
 *   tiv_invoke("{\"call\": \"Nr_Cupom\", \"args\": [\"\", \"001\"]}", &answer);
 *   ...
 *   tiv_free(answer);
 *
 * Calls are made one at a time (the printer is one serial device); a second
 * thread waits for the first. */
#ifndef TIVCALL_H
#define TIVCALL_H

#ifdef __cplusplus
extern "C" {
#endif

/* Optional, before the first call: {"module": "path/libtiv02000.so",
 * "printer": "path/libInterfaceEpson.so"}. By default the module beside this
 * library ($TIV_MODULE overrides it) and the virtual printer already loaded,
 * else the one beside the module. Returns 0, or -1 with the reason in
 * tiv_last_error(). A second tiv_open() replaces the first; one that fails
 * leaves none, and the next call opens the default again. */
int tiv_open(const char *options_json);

/* One call: {"call": "Procedure", "args": [...], "answers": [true, ...]} or
 * a printer control {"ecfsim": "Control", "args": [...]}. "answers" are the
 * operator's answers to the call's dialogs, in order; without them every
 * dialog is answered no. *response_json receives the call's record ("return",
 * "out", "dialogs", "log", "variables" with stMensagemTaa, "messages" this
 * call wrote there, "journal", "printer" with the code of a refused command,
 * "paper") or {"error": {"kind", "message", "argument"}}; free it with
 * tiv_free(). Returns 0 for a record, 1 for an error, -1 when response_json
 * is NULL.
 *
 * A whole sale: {"receipt": {"items": [...], "payments": [...], ...},
 * "id": "..."} opens the receipt, sells every item and closes it, answering
 * {"receipt": {"coo", "ccf", "closed", "itemsSold", "totals"}, "steps"}.
 * Sent again under its id it is never sold twice: a closed sale answers what
 * it answered, one that stopped part-way goes on where the printer stands
 * (docs/hosts.md). */
int tiv_invoke(const char *request_json, char **response_json);

void tiv_free(char *text);

/* Why this thread's last tiv_open() failed; empty after a success. */
const char *tiv_last_error(void);

/* Releases the module and the printer; the next call opens them again. */
void tiv_close(void);

#ifdef __cplusplus
}
#endif

#endif
