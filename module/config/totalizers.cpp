// The non-fiscal totalizers the driver's documents are registered under:
// found in the printer's table or programmed, and their codes handed back.
#include <algorithm>
#include <array>
#include <cstdio>

#include "core/binding.h"
#include "core/call_guard.h"
#include "core/command.h"
#include "core/command_family.h"
#include "core/data_module.h"
#include "core/debug_log.h"
#include "core/reply.h"
#include "core/text.h"
#include "tiv02000/procedures.h"
#include "tivplatform/numbers.h"

using namespace tiv02000;

namespace {

constexpr size_t kTableSize = 681;
constexpr size_t kRecordSize = 34;

std::string code2(int32_t n) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%02d", n);
    return buf;
}

struct Totalizer {
    const char *key;       // catalogue key of its name
    std::string *code;     // the host's output argument
    const char *direction; // ESC/ECF: "E" money in, "S" money out
};

} // namespace

extern "C" TIV_EXPORT void CarregaTotalizador(std::string &cvEmi, std::string &vendaCons,
                                              std::string &compraCred, std::string &cancCred,
                                              std::string &relatorio,
                                              const std::string &colourScheme, int32_t /*unused7*/,
                                              tiv::TClientDataSet *& /*unused8*/) {
    const tiv02000::CallGuard guard;
    ensureDataModule();

    // In the order they are programmed.
    const std::array<Totalizer, 5> totalizers{{
        {"CV-EMI", &cvEmi, "S"},
        {"Compra-Cred", &compraCred, "E"},
        {"RELATORIO", &relatorio, "E"},
        {"VENDA-CONS", &vendaCons, "E"},
        {"Canc-Cred", &cancCred, "S"},
    }};

    Reply reply(kTableSize);
    const Analysis quiet{colourScheme, false};
    const int32_t rc = EPSON(EPSON_Obter_Tabela_NaoFiscais)(reply.data());
    // An unreadable table leaves every totalizer missing.
    (void)analyse(quiet, {rc, replyLine("EPSON_Obter_Tabela_NaoFiscais", reply.text())});

    // The reply is cut at its first NUL, which ends the table as well.
    std::string rest = reply.text();
    int32_t counter = 1;
    for (std::string name; !(name = trim(copyText(rest, 3, 15))).empty(); ++counter) {
        for (const Totalizer &t : totalizers) {
            // Letter case counts: the printer's name must be the catalogue's.
            // A code already known, or found in an earlier record, stays.
            if (t.code->empty() && name == trim(copyText(msg(t.key), 1, 15)))
                *t.code = code2(counter);
        }
        rest.erase(0, std::min(kRecordSize, rest.size()));
    }

    // Each missing one gets a number of its own: the first is one past the
    // records read, each next one past the number the one before was given
    // (the classic library may hand back another number than proposed).
    for (const Totalizer &t : totalizers) {
        if (!t.code->empty()) continue;
        const std::string name = msg(t.key);
        const Sent sent = family().programTotalizer(name, counter, t.direction);
        *t.code = code2(counter);
        // The code is handed back even when programming failed.
        (void)analyse(quiet, sent);
        ++counter;
    }
}

extern "C" TIV_EXPORT void CarregaRelatorioGer(std::string & /*unused1*/, std::string & /*unused2*/,
                                               std::string & /*unused3*/, std::string & /*unused4*/,
                                               std::string & /*unused5*/, std::string & /*unused6*/,
                                               const std::string & /*unused7*/,
                                               int32_t /*unused8*/) {
    const tiv02000::CallGuard guard;
    // Management-report names are not programmed by this driver.
}
