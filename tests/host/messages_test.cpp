#include <gtest/gtest.h>

#include "tivhost/host.h"

using namespace tivhost;

TEST(HostMessages, LooksUpKeysWithoutRegardToCase) {
    TMessages msg({
        "Imp_N_Resp|Impressora n\xE3o responde. Imprimir novamente?",
        "Datadif|first text",
        "DATADIF|second text",
        "Titulo|  RELAT\xD3RIO  ",
        "No bar on this line",
        "Pipe|a|b",
        "Vazio|",
    });
    struct Case {
        const char *key;
        const char *want;
    } cases[] = {
        {"Imp_N_Resp", "Impressora n\xE3o responde. Imprimir novamente?"},
        {"IMP_N_RESP", "Impressora n\xE3o responde. Imprimir novamente?"},
        {"datadif", "first text"},
        {"Titulo", "  RELAT\xD3RIO  "},
        {"Pipe", "a|b"},
        {"Vazio", ""},
        {"Unknown_Key", "Unknown_Key"},
        {"No bar on this line", "No bar on this line"},
        {"Imp_N", "Imp_N"},
    };
    for (const auto &c : cases)
        EXPECT_EQ(msg.Msg(c.key), c.want) << c.key;
}

TEST(HostMessages, EmptyCatalogueAnswersTheKey) {
    TMessages msg;
    EXPECT_EQ(msg.Msg("FimPapel"), "FimPapel");
    msg.setLines({"fimpapel|Fim de papel"});
    EXPECT_EQ(msg.Msg("FimPapel"), "Fim de papel");
}
