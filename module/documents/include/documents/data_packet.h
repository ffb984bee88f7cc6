#pragma once
// A data packet the host hands over, loaded into a dataset of the data module.
#include "tivplatform/dataset.h"
#include "tivplatform/variant.h"

namespace tiv02000 {

// The packet's fields and rows replace the dataset's and it is opened; an
// unassigned packet leaves the dataset closed (nothing to read). A packet
// that is not one raises tiv::DataError.
void loadDataPacket(tiv::TClientDataSet &dataset, const tiv::Variant &packet);

} // namespace tiv02000
