#pragma once
// The host platform's XML data packet: what a client dataset hands across as
// its data and keeps in its ".cds" files.
#include <string>
#include <string_view>
#include <vector>

#include "dataset_cell.h"

namespace tiv::detail {

struct Table {
    std::vector<FieldDef> fields;
    std::vector<RowPtr> rows;
};

// Reads a packet; `source` names it in messages (a file path or "data
// packet"). Raises DataError saying what is wrong; never a partial table.
Table readPacket(std::string_view xml, const std::string &source);

// Writes the packet of these fields and rows (UTF-8, standalone).
std::string writePacket(const std::vector<FieldDef> &fields, const std::vector<RowPtr> &rows);

} // namespace tiv::detail
