#pragma once
#include <string>

#include "tivplatform/datetime.h"

namespace tiv02000 {

// Path of the debug log of `when`'s month: folder + "/impdebug" + MMYY +
// ".txt". Inline, so that the tests read the very file the driver writes.
inline std::string debugLogPath(const std::string &programFolder, tiv::TDateTime when) {
    return programFolder + "/impdebug" + tiv::formatDateTime("MMYY", when) + ".txt";
}

// Appends one entry. A log that cannot be written never fails the
// operation: the printer has already done the work, and a host that
// retried would repeat it. The first failure of a run of failures is
// reported on standard error; the rest are swallowed.
void logDebug(const std::string &text);

// "NAME" CR LF "Retorno da Impressora : " reply -- the entry every printer
// call with a reply buffer leaves.
void logReply(const std::string &entryPoint, const std::string &reply);

} // namespace tiv02000
