#pragma once
// The reference of the procedures as text: one procedure for `tiv describe`,
// the whole of it as the Markdown of docs/procedures.md.
#include <string>

#include "json_forms.h"

namespace tivtool {

// Plain text of one entry of the reference.
std::string describeProcedure(const Json &entry);
// Names and summaries of every procedure, one a line.
std::string describeAll();
// docs/procedures.md, whole.
std::string referenceMarkdown();

} // namespace tivtool
