// Fiscal-memory readings of the fiscal menu: complete or simplified, by dates
// or by document numbers; printed, and written to a file where the reading
// names one.
#include "core/binding.h"
#include "core/call_guard.h"
#include "core/carried_out.h"
#include "core/command.h"
#include "core/command_family.h"
#include "core/debug_log.h"
#include "core/reply.h"
#include "core/text.h"
#include "documents/documents.h"
#include "fiscal_menu.h"
#include "tiv02000/procedures.h"
#include "tivplatform/numbers.h"
#include "tivplatform/params.h"

using namespace tiv02000;

namespace {

struct Reading {
    std::string colourScheme, start, end;
    bool complete = false, byDates = false;
};

Reading reading(const std::string &colourScheme, const std::string &start, const std::string &end,
                const std::string &readingKind, const std::string &rangeKind) {
    Reading r{colourScheme, start, end, readingKind == "c", rangeKind == "DATA"};
    // "dd/mm/yyyy" goes to the printer as "ddmmyyyy"; numbers as they are.
    if (r.byDates) {
        r.start = copyText(start, 1, 2) + copyText(start, 4, 2) + copyText(start, 7, 4);
        r.end = copyText(end, 1, 2) + copyText(end, 4, 2) + copyText(end, 7, 4);
    }
    return r;
}

std::string readingFile(bool complete) {
    return fiscalMenuFolder() + "/" + (complete ? "LMFC_" : "LMFS_") + readingStamp() + ".txt";
}

} // namespace

extern "C" TIV_EXPORT bool
EmiteLeituraMemoriaFiscal(const std::string &colourScheme, const std::string &start,
                          const std::string &end, const std::string &readingKind,
                          const std::string &rangeKind, const std::string &serialNumber) {
    const tiv02000::CallGuard guard;
    try {
        const Reading r = reading(colourScheme, start, end, readingKind, rangeKind);
        // A reading by dates is also written to a file; its folder must be there.
        if (r.byDates) ensureFiscalMenuFolder();
        const std::string file = r.byDates ? readingFile(r.complete) : "";
        // A printed reading is a document: the printer's document count tells whether it
        // printed, so the host's repeat never prints a second reading.
        const OnceCommand command{"EmiteLeituraMemoriaFiscal " + r.start + " " + r.end + " " +
                                      readingKind + " " + rangeKind,
                                  command_name::kFiscalMemoryReading, witness::documents};
        if (!sendOnce(command, {r.colourScheme, false}, [&] {
                return family().printFiscalMemoryReading(r.complete, r.byDates, r.start, r.end,
                                                         file);
            }))
            return false;
        recordDocument(serialNumber, colourScheme, "MF", "");
        return true;
    } catch (const std::exception &e) {
        logDebug(std::string("EmiteLeituraMemoriaFiscal: ") + e.what());
        return false;
    }
}

extern "C" TIV_EXPORT bool EmiteLeituraMemoriaFiscalSerial(const tiv::Variant &args,
                                                           tiv::Variant & /*result*/) {
    const tiv02000::CallGuard guard;
    try {
        auto text = [&](size_t i) { return tiv::argAt(args, i).toString(); };
        const Reading r = reading(text(0), text(1), text(2), text(3), text(4));
        ensureFiscalMenuFolder();
        // Always to a file, with the same entry point whatever the printer.
        const int32_t code = r.byDates ? (r.complete ? 17 : 19) : (r.complete ? 16 : 18);
        const std::string file = readingFile(r.complete);
        Reply buffer(1024);
        const int32_t rc = EPSON(EPSON_RelatorioFiscal_Leitura_MF)(
            r.start.c_str(), r.end.c_str(), code, buffer.data(), file.c_str(), 0, 1024);
        return analyse({r.colourScheme, false},
                       {rc, fiscalMemoryReadingLine(r.start, r.end, r.byDates, rc)});
    } catch (const std::exception &e) {
        logDebug(std::string("EmiteLeituraMemoriaFiscalSerial: ") + e.what());
        return false;
    }
}
