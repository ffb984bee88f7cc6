#pragma once
// Pieces of the management report that every non-fiscal print is built from.
#include <string>
#include <vector>

#include "documents/report_chunks.h"
#include "tivplatform/datetime.h"

namespace tiv02000 {

// The fiscal movement date the host keeps its document counters under: the
// host's own routine when it set one, otherwise the printer's fiscal day.
tiv::TDateTime hostFiscalDate(const std::string &colourScheme);

// The standard 48-column heading: title, till code and `when`, every line
// ending in LF, not yet cut to the printer's block size.
std::string standardHeading(const std::string &title, const std::string &tillCode,
                            tiv::TDateTime when);

// The most a heading or a built block hands to the printer in one call.
constexpr size_t kBlockLimit = 620;

} // namespace tiv02000
