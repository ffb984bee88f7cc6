#include "procedure_table.h"

#include <cctype>

#include "tiv02000/procedures.h"

namespace tivtool {

namespace {

#define TIVTOOL_ENTRY(ret, name, params, args)                                                     \
    ProcedureEntry{#name, Thunk<tiv02000::fn::name>::arity,     #params,                           \
                   #ret,  &Thunk<tiv02000::fn::name>::validate, &Thunk<tiv02000::fn::name>::call},
const ProcedureEntry table[] = {TIV02000_PROCEDURES(TIVTOOL_ENTRY)};
#undef TIVTOOL_ENTRY

static_assert(std::size(table) == tiv02000::procedureNames.size());

std::string_view trim(std::string_view s) {
    while (!s.empty() && s.front() == ' ')
        s.remove_prefix(1);
    while (!s.empty() && s.back() == ' ')
        s.remove_suffix(1);
    return s;
}

} // namespace

std::span<const ProcedureEntry> procedureTable() {
    return table;
}

const ProcedureEntry *findProcedure(std::string_view name) {
    for (const ProcedureEntry &e : table)
        if (e.name == name) return &e;
    return nullptr;
}

std::vector<ArgInfo> parseDeclaredParams(std::string_view declared) {
    declared = trim(declared);
    if (declared.size() >= 2 && declared.front() == '(' && declared.back() == ')')
        declared = declared.substr(1, declared.size() - 2);
    std::vector<ArgInfo> out;
    while (!trim(declared).empty()) {
        const size_t comma = declared.find(',');
        std::string_view one = trim(declared.substr(0, comma));
        declared =
            comma == std::string_view::npos ? std::string_view{} : declared.substr(comma + 1);
        size_t cut = one.size();
        while (cut > 0 &&
               (std::isalnum(static_cast<unsigned char>(one[cut - 1])) || one[cut - 1] == '_'))
            --cut;
        ArgInfo info;
        info.name = std::string(one.substr(cut));
        info.declared = std::string(trim(one.substr(0, cut)));
        info.dateTime = info.declared.find("TDateTime") != std::string::npos;
        out.push_back(std::move(info));
    }
    return out;
}

bool returnsDateTime(const ProcedureEntry &entry) {
    return std::string_view(entry.declaredReturn).find("TDateTime") != std::string_view::npos;
}

} // namespace tivtool
