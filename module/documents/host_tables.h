#pragma once
// The host's datasets as the till-closing prints take them in: checked for
// the fields they read before anything is printed, then copied into the
// data module's tables.
#include <string>
#include <vector>

#include "tivplatform/dataset.h"

namespace tiv02000 {

// The host's dataset `host` must exist and hold every field of `fields`;
// otherwise tiv::DataError names the procedure, the dataset and what is missing.
const tiv::TClientDataSet &requireFields(const char *procedure, const char *dataset,
                                         const tiv::TClientDataSet *host,
                                         const std::vector<std::string> &fields);

// `table` takes the rows of `host`. With `declared` fields the table keeps
// that structure (texts cut to their size, values converted); without, it
// takes the host's structure.
void loadTable(tiv::TClientDataSet &table, const tiv::TClientDataSet &host,
               const std::vector<tiv::FieldDef> &declared = {});

// The current row's field; an empty or never loaded table reads as blank.
std::string text(tiv::TClientDataSet &table, const char *field);
double value(tiv::TClientDataSet &table, const char *field);

} // namespace tiv02000
