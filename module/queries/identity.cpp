// The printer's identity: model fields, basic-software version, national code.
#include <algorithm>

#include "core/binding.h"
#include "core/call_guard.h"
#include "core/command.h"
#include "core/reply.h"
#include "core/text.h"
#include "queries/queries.h"
#include "tiv02000/procedures.h"

using namespace tiv02000;

namespace tiv02000 {

std::string FormataCNPJ(const std::string &text) {
    std::string out = text;
    std::erase_if(out, [](char c) { return c == '.' || c == '/' || c == '-'; });
    return out;
}

bool printerModel(const std::string &colourScheme, std::string &field1, std::string &field2,
                  std::string &field3) {
    Reply reply(110);
    const int32_t rc = EPSON(EPSON_Obter_Dados_Impressora)(reply.data());
    field1 = trim(copyText(reply.text(), 41, 20));
    field2 = trim(copyText(reply.text(), 61, 20));
    field3 = trim(copyText(reply.text(), 81, 20));
    return analyse({colourScheme, true}, {rc, replyLine("EPSON_Obter_Dados_Impressora",
                                                        field1 + " - " + field2 + " - " + field3)});
}

} // namespace tiv02000

extern "C" TIV_EXPORT bool Modelo_Impressora(const std::string &colourScheme, std::string &field1,
                                             std::string &field2, std::string &field3) {
    const tiv02000::CallGuard guard;
    return printerModel(colourScheme, field1, field2, field3);
}

extern "C" TIV_EXPORT bool Versao_Software_Basico(const std::string &colourScheme,
                                                  std::string &version) {
    const tiv02000::CallGuard guard;
    Reply text(9), date(9), time(7);
    const int32_t rc = EPSON(EPSON_Obter_Versao_SWBasico)(text.data(), date.data(), time.data());
    version = text.text();
    return analyse({colourScheme, true}, {rc, replyLine("EPSON_Obter_Versao_SWBasico", version)});
}

extern "C" TIV_EXPORT std::string Codigo_Nacional_ECF(int32_t /*unused1*/,
                                                      const std::string & /*unused2*/) {
    const tiv02000::CallGuard guard;
    Reply code(7), description(33);
    (void)EPSON(EPSON_Obter_Codigo_Nacional_ECF)(code.data(), description.data());
    return code.text();
}
