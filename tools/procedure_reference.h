#pragma once
// The reference of every procedure: what each argument takes (the keys of a
// parameter array, the positions of an argument list, the elements of a result
// array, the fields of a dataset), what the result means, what fails, and a
// step that calls it. It is one table (tools/reference/*.json, built into tiv)
// read by `tiv describe`, by the generated docs/procedures.md, by the checks
// every call passes before the module sees it, and by the test that runs each
// example, so none of them can drift from the others.
#include <string>
#include <string_view>

#include "json_forms.h"

namespace tivtool {

// Every entry, in the order of the module's header.
const Json &procedureReference();
// Null when the reference has no entry of that name.
const Json *referenceEntry(std::string_view procedure);

// Refuses values whose type or form the procedure cannot take: a parameter
// array's key of the wrong type or a required key left out, an argument list
// too short or holding a value of the wrong type at a position, a dataset
// without a field the procedure needs. Throws ShapeError naming the argument,
// the key or position, and the expected form. `args` already passed the
// header's own checks (count and JSON form of each argument).
void checkReferenceForms(std::string_view procedure, const Json &args);

} // namespace tivtool
