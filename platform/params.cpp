#include "tivplatform/params.h"

#include <cctype>

#include "text_case.h"

namespace tiv {

namespace {

// Empty when the array is well formed, else what is wrong with it.
std::string whatIsWrong(const Variant &params) {
    if (!params.isArray()) return "the parameter array is " + params.describe() + ", not an array";
    const auto &items = params.items();
    for (size_t i = 0; i < items.size(); ++i) {
        const Variant &pair = items[i];
        if (!pair.isArray() || pair.size() != 2)
            return "element " + std::to_string(i) + " of the parameter array is " +
                   pair.describe() + ", not a [name, value] pair";
        if (pair.at(0).kind() != Variant::Kind::Text)
            return "element " + std::to_string(i) + " of the parameter array has the name " +
                   pair.at(0).describe() + ", not a text";
    }
    return {};
}

void requireWellFormed(const Variant &params) {
    std::string wrong = whatIsWrong(params);
    if (!wrong.empty()) throw DataError(wrong);
}

} // namespace

ParamArray makeParams(std::initializer_list<std::pair<std::string, Variant>> pairs) {
    std::vector<Variant> items;
    items.reserve(pairs.size());
    for (const auto &[name, value] : pairs)
        items.emplace_back(std::vector<Variant>{Variant(name), value});
    return Variant(std::move(items));
}

bool isWellFormedParams(const Variant &params) {
    return whatIsWrong(params).empty();
}

const Variant *findParam(const ParamArray &params, const std::string &name) {
    requireWellFormed(params);
    for (const Variant &pair : params.items())
        if (detail::sameTextNoCase(pair.at(0).toString(), name)) return &pair.at(1);
    return nullptr;
}

void setParam(ParamArray &params, const std::string &name, Variant value) {
    if (params.isUnassigned()) params = Variant(std::vector<Variant>{});
    requireWellFormed(params);
    for (Variant &pair : params.items())
        if (detail::sameTextNoCase(pair.at(0).toString(), name)) {
            pair.at(1) = std::move(value);
            return;
        }
    params.items().emplace_back(std::vector<Variant>{Variant(name), std::move(value)});
}

const Variant &argAt(const ArgList &args, size_t i) {
    if (!args.isArray())
        throw RangeError("argument " + std::to_string(i) + " asked of " + args.describe() +
                         ", which is not an argument list");
    if (i >= args.size())
        throw RangeError("argument " + std::to_string(i) + " is out of range: the list has " +
                         std::to_string(args.size()) + " arguments");
    return args.at(i);
}

void setResult(ResultArray &result, size_t i, Variant value) {
    if (!result.isArray())
        throw RangeError("result element " + std::to_string(i) + " written to " +
                         result.describe() + ", which is not a result array");
    if (i >= result.size())
        throw RangeError("result element " + std::to_string(i) +
                         " is out of range: the result array has " + std::to_string(result.size()) +
                         " elements");
    result.at(i) = std::move(value);
}

} // namespace tiv
