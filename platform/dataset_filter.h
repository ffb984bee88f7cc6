#pragma once
// Filter expressions of the client dataset, parsed once into a tree whose
// field references are already resolved, then evaluated per row.
#include <string>
#include <vector>

#include "dataset_cell.h"

namespace tiv::detail {

class Filter {
  public:
    // Raises DataError naming the expression when it is malformed, names an
    // unknown field or compares values of types that cannot meet.
    Filter(const std::string &expression, const std::vector<FieldDef> &fields);
    bool matches(const Row &row) const;

    enum class Op { Eq, Ne, Lt, Gt, Le, Ge };
    enum class Mode { Text, Number, Boolean };
    struct Operand {
        int field = -1; // index of the field, or -1 for the literal below
        Cell literal;
    };
    struct Node {
        enum class Kind { And, Or, Not, Compare, IsNull, IsNotNull } kind = Kind::Compare;
        int left = -1, right = -1; // child nodes
        Op op = Op::Eq;
        Mode mode = Mode::Text;
        Operand a, b;
    };

  private:
    bool eval(int node, const Row &row) const;
    std::vector<Node> nodes_;
    int root_ = -1;
};

} // namespace tiv::detail
