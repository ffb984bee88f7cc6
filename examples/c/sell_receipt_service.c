/* Sells and closes a receipt on a fresh virtual printer through the local
 * service: `tiv serve --lines` runs as a child, each request is one line on
 * its standard input and each answer one line on its standard output.
 *
 *   cc sell_receipt_service.c -o sell_receipt_service
 *   ./sell_receipt_service /usr/local/bin/tiv /tmp/tiv-c-service
 */
#define _POSIX_C_SOURCE 200809L
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/wait.h>
#include <unistd.h>

#include "receipt_requests.h"

static FILE *to_service, *from_service;

/* One request, one answer line (the caller frees it); NULL when the service is gone. */
static char *ask(const char *request) {
    char *answer = NULL;
    size_t size = 0;
    if (fprintf(to_service, "%s\n", request) < 0 || fflush(to_service) != 0) return NULL;
    if (getline(&answer, &size, from_service) < 0) {
        free(answer);
        return NULL;
    }
    return answer;
}

/* One request; the answer is printed when `show` and must hold `expect`. */
static int call(const char *request, const char *expect, int show) {
    char *answer = ask(request);
    const int ok = answer && !strstr(answer, "\"error\":") && (!expect || strstr(answer, expect));
    if (show || !ok) printf("%s", answer ? answer : "(no answer)\n");
    free(answer);
    return ok;
}

/* Starts `tiv serve --lines` with pipes to and from it; its process id, or -1. */
static pid_t start_service(const char *tiv) {
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return -1;
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        dup2(in[0], STDIN_FILENO);
        dup2(out[1], STDOUT_FILENO);
        close(in[0]);
        close(in[1]);
        close(out[0]);
        close(out[1]);
        execl(tiv, tiv, "serve", "--lines", (char *)NULL);
        perror("sell_receipt_service: cannot start tiv");
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    to_service = fdopen(in[1], "w");
    from_service = fdopen(out[0], "r");
    return to_service && from_service ? child : -1;
}

int main(int argc, char **argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: sell_receipt_service TIV [FOLDER]\n");
        return 2;
    }
    const char *folder = argc > 2 ? argv[2] : "/tmp/tiv-c-service";
    char open[1024];
    if (!open_folder_request(open, sizeof open, folder)) {
        fprintf(stderr, "sell_receipt_service: give a plain folder name\n");
        return 2;
    }
    const pid_t service = start_service(argv[1]);
    if (service < 0) {
        perror("sell_receipt_service");
        return 1;
    }
    int ok = call(open, NULL, 0) && call("{\"ecfsim\": \"Reset\"}", NULL, 0) &&
             call(start_request, RETURNED_TRUE, 0) && call(open_request, RETURNED_TRUE, 0) &&
             call(sell_request, RETURNED_TRUE, 0) && call(closing_request, RETURNED_TRUE, 1);
    /* A request the module cannot take is answered with an error, and the service goes on. */
    char *answer = ask(wrong_request);
    ok = ok && names_the_wrong_argument(answer);
    free(answer);
    ok = call(stop_request, NULL, 0) && ok;

    /* The end of its input ends the service. */
    fclose(to_service);
    fclose(from_service);
    int status = 0;
    ok = waitpid(service, &status, 0) == service && WIFEXITED(status) && WEXITSTATUS(status) == 0 &&
         ok;
    printf(ok ? "receipt closed\n" : "the receipt was not closed\n");
    return ok ? 0 : 1;
}
