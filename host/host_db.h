#pragma once
// The host's own SQLite database, Dados/host.db under the program folder.
#include <optional>
#include <string>
#include <vector>

namespace tivhost::db {

// One bound value: text, real or SQL NULL.
struct Value {
    std::optional<std::string> text;
    std::optional<double> real;
    static Value ofText(std::string s) { return Value{std::move(s), std::nullopt}; }
    static Value ofReal(double d) { return Value{std::nullopt, d}; }
    static Value null() { return Value{}; }
};

// Runs one INSERT with its values in its own transaction, creating the
// folder, the file and the tables on first use. Raises tiv::Error naming the
// database path when it cannot.
void insertRow(const std::string &sql, const std::vector<Value> &values);

} // namespace tivhost::db
