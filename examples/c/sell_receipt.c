/* Sells and closes a receipt on a fresh virtual printer through libtivcall.
 *
 *   cc sell_receipt.c $(pkg-config --cflags --libs tivcall) -o sell_receipt
 *   ./sell_receipt /tmp/tiv-c-example
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "tivcall/tivcall.h"

/* One request; the answer is printed when `show` and must hold `expect`. */
static int call(const char *request, const char *expect, int show) {
    char *answer = NULL;
    const int rc = tiv_invoke(request, &answer);
    const int ok = rc == 0 && answer && (!expect || strstr(answer, expect));
    if (show || !ok) printf("%s\n", answer ? answer : "(no answer)");
    tiv_free(answer);
    return ok;
}

static const char *closing =
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
    " \"\", \"\", \"\", \"\", \"\", null, \"\", null, null, null, null, null, null, null, null,"
    " null, null, null, null, null, null, null, null, null, null, null, null, null, null, null,"
    " null, null, null, null, null, null, null, null, null, null, null, null, null, null, null,"
    " null, null], null, {\"result\": 4}]}";

int main(int argc, char **argv) {
    const char *folder = argc > 1 ? argv[1] : "/tmp/tiv-c-example";
    char open[1024];
    if (strlen(folder) > 900 || strchr(folder, '"') || strchr(folder, '\\')) {
        fprintf(stderr, "sell_receipt: give a plain folder name\n");
        return 2;
    }
    snprintf(open, sizeof open, "{\"ecfsim\": \"OpenFolder\", \"args\": [\"%s\"]}", folder);
    int ok = call(open, NULL, 0) && call("{\"ecfsim\": \"Reset\"}", NULL, 0) &&
             call("{\"call\": \"StartImpFiscal\", \"args\": [{\"CDFILIAL\": \"0001\","
                  " \"IDTIPOIMPFIS\": 31, \"BOUTILTAA\": false}]}",
                  "\"return\":true", 0) &&
             call("{\"call\": \"AbreCupom\", \"args\": [{\"ESQUEMACOR\": \"001\","
                  " \"IDUTILTEF\": \"N\", \"UTILTEF\": false}]}",
                  "\"return\":true", 0) &&
             call("{\"call\": \"VendaItem\", \"args\": [{\"ESQUEMACOR\": \"001\","
                  " \"CDARVPROD\": \"7891000900909\", \"NMPROD\": \"SABAO EM PO\","
                  " \"CDALIQ\": \"01\", \"QTDE\": 1, \"VALOR\": 10.0, \"DESCONT\": 0,"
                  " \"UNIDADE\": \"UN\", \"IDUTILTEF\": \"N\", \"UTILTEF\": false,"
                  " \"ACRESCIMO\": 0}]}",
                  "\"return\":true", 0) &&
             call(closing, "\"return\":true", 1);
    /* A request the module cannot take is answered with an error, never a crash. */
    char *answer = NULL;
    ok = ok && tiv_invoke("{\"call\": \"Nr_Cupom\", \"args\": [\"\", 42]}", &answer) == 1 &&
         strstr(answer, "\"kind\":\"argument\"") != NULL &&
         strstr(answer, "\"argument\":2") != NULL;
    tiv_free(answer);
    call("{\"call\": \"StopImpFiscal\"}", NULL, 0);
    tiv_close();
    printf(ok ? "receipt closed\n" : "the receipt was not closed\n");
    return ok ? 0 : 1;
}
