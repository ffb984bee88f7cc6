/* Sells and closes a receipt on a fresh virtual printer through libtivcall.
 *
 *   cc sell_receipt.c $(pkg-config --cflags --libs tivcall) -o sell_receipt
 *   ./sell_receipt /tmp/tiv-c-example
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "receipt_requests.h"
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

int main(int argc, char **argv) {
    const char *folder = argc > 1 ? argv[1] : "/tmp/tiv-c-example";
    char open[1024];
    if (!open_folder_request(open, sizeof open, folder)) {
        fprintf(stderr, "sell_receipt: give a plain folder name\n");
        return 2;
    }
    int ok = call(open, NULL, 0) && call("{\"ecfsim\": \"Reset\"}", NULL, 0) &&
             call(start_request, RETURNED_TRUE, 0) && call(open_request, RETURNED_TRUE, 0) &&
             call(sell_request, RETURNED_TRUE, 0) && call(closing_request, RETURNED_TRUE, 1);
    /* A request the module cannot take is answered with an error, never a crash. */
    char *answer = NULL;
    ok = ok && tiv_invoke(wrong_request, &answer) == 1 && names_the_wrong_argument(answer);
    tiv_free(answer);
    call(stop_request, NULL, 0);
    tiv_close();
    printf(ok ? "receipt closed\n" : "the receipt was not closed\n");
    return ok ? 0 : 1;
}
