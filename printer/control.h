#pragma once
// Shared by the files of the control API.
#include <cstdint>
#include <functional>
#include <string>

#include <nlohmann/json.hpp>

#include "printer.h"
#include "state_json.h"

namespace ecfsim::control {

// Why the last failed control call failed.
std::string &lastError();
int32_t failed(const std::string &why); // records why, returns -1
// A JSON answer, kept until the next control call.
const char *give(const nlohmann::json &j);
nlohmann::json parse(const char *json);       // NULL or "": null
nlohmann::json utf8(const nlohmann::json &j); // CP1252 texts of the state to UTF-8

// Runs a change of state outside the fiscal rules as one transaction, keeping the result of the
// last command in the status.
int32_t change(const std::function<void(Printer &)> &f);
// The same for a set-up whose input is checked as it is applied: a std::invalid_argument (or a
// JSON type error) thrown by f refuses the whole set-up with its message, and nothing of it stays.
int32_t setUp(const std::function<void(Printer &)> &f);

} // namespace ecfsim::control
