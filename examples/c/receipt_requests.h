/* The requests of a receipt sold and closed, shared by the examples that send
 * them through libtivcall and through `tiv serve --lines`. */
#ifndef RECEIPT_REQUESTS_H
#define RECEIPT_REQUESTS_H

#include <stdio.h>
#include <string.h>

/* What a procedure's record holds when it returned true. */
#define RETURNED_TRUE "\"return\":true"

static const char *const start_request =
    "{\"call\": \"StartImpFiscal\", \"args\": [{\"CDFILIAL\": \"0001\","
    " \"IDTIPOIMPFIS\": 31, \"BOUTILTAA\": false}]}";

static const char *const open_request =
    "{\"call\": \"AbreCupom\", \"args\": [{\"ESQUEMACOR\": \"001\","
    " \"IDUTILTEF\": \"N\", \"UTILTEF\": false}]}";

static const char *const sell_request =
    "{\"call\": \"VendaItem\", \"args\": [{\"ESQUEMACOR\": \"001\","
    " \"CDARVPROD\": \"7891000900909\", \"NMPROD\": \"SABAO EM PO\","
    " \"CDALIQ\": \"01\", \"QTDE\": 1, \"VALOR\": 10.0, \"DESCONT\": 0,"
    " \"UNIDADE\": \"UN\", \"IDUTILTEF\": \"N\", \"UTILTEF\": false,"
    " \"ACRESCIMO\": 0}]}";

/* A request the module cannot take: its second argument is not a text. */
static const char *const wrong_request = "{\"call\": \"Nr_Cupom\", \"args\": [\"\", 42]}";

static const char *const stop_request = "{\"call\": \"StopImpFiscal\"}";

/* Cash, a thank-you line, the operator (positions 22, 23) and the sale's approximate federal
 * and state taxes (51, 58) from the host's tax table, for the receipt's footer. */
static const char *const closing_request =
    "{\"call\": \"FechaCupom\", \"args\": [["
    "\"\", \"\", \"001\", null, false, true, 0.0, 0.0, 0.0, \"N\", \"Obrigado!\", false, null,"
    " {\"fields\": [{\"name\": \"IDTIPOMOVIVE\", \"type\": \"string\", \"size\": 1},"
    "               {\"name\": \"CDTIPORECE\", \"type\": \"string\", \"size\": 3},"
    "               {\"name\": \"VRMOVIVEND\", \"type\": \"float\"},"
    "               {\"name\": \"DTHRINCMOV\", \"type\": \"datetime\"},"
    "               {\"name\": \"NRORDTROCO\", \"type\": \"integer\"}],"
    "  \"rows\": [[\"E\", \"001\", 10.0, null, 1]]},"
    " {\"fields\": [{\"name\": \"CDTIPORECE\", \"type\": \"string\", \"size\": 3},"
    "               {\"name\": \"NMTIPORECE\", \"type\": \"string\", \"size\": 40},"
    "               {\"name\": \"IDTIPORECE\", \"type\": \"string\", \"size\": 1},"
    "               {\"name\": \"DSIMPFISCAL\", \"type\": \"string\", \"size\": 50},"
    "               {\"name\": \"CDFPIMPFIS\", \"type\": \"string\", \"size\": 10}],"
    "  \"rows\": [[\"001\", \"Dinheiro\", \"4\", \"Dinheiro\", \"01\"]]},"
    /* 15-23: texts; the operator's code and name at 22 and 23 */
    " \"\", \"\", \"\", \"\", \"\", null, \"\", \"07\", \"MARIA\","
    /* 24-61: the approximate federal taxes at 51, the state taxes at 58 */
    " null, null, null, null, null, null, null, null, null, null, null, null, null, null, null,"
    " null, null, null, null, null, null, null, null, null, null, null, null, 1.35, null, null,"
    " null, null, null, null, 1.80, null, null, null], null, {\"result\": 4}]}";

/* The error answered to wrong_request names its second argument. */
static int names_the_wrong_argument(const char *answer) {
    return answer && strstr(answer, "\"kind\":\"argument\"") && strstr(answer, "\"argument\":2");
}

/* {"ecfsim": "OpenFolder", "args": [folder]} into `out`; 0 when the folder
 * is not a plain name that fits. */
static int open_folder_request(char *out, size_t size, const char *folder) {
    if (strlen(folder) + 64 > size || strchr(folder, '"') || strchr(folder, '\\')) return 0;
    snprintf(out, size, "{\"ecfsim\": \"OpenFolder\", \"args\": [\"%s\"]}", folder);
    return 1;
}

#endif
