#pragma once
// Every procedure of the module's header, with what the script engine needs
// to check and make a call to it.
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "procedure_call.h"

namespace tivtool {

struct ProcedureEntry {
    std::string_view name;
    size_t arity;
    const char *declaredParams; // the header's parameter list, as written
    const char *declaredReturn;
    void (*validate)(const Json &args, const std::vector<ArgInfo> &infos);
    CallOutcome (*call)(void *symbol, const Json &args, const std::vector<ArgInfo> &infos,
                        bool dateTimeReturn);
};

std::span<const ProcedureEntry> procedureTable();
// nullptr when the header declares no procedure of that name.
const ProcedureEntry *findProcedure(std::string_view name);

// The names and declared types of a parameter list such as
// "(const std::string& colourScheme, tiv::TDateTime& movementDate)".
std::vector<ArgInfo> parseDeclaredParams(std::string_view declared);
bool returnsDateTime(const ProcedureEntry &entry);

} // namespace tivtool
