#pragma once
// The withdrawal receipt: what leaves the till, by envelope, in two copies
// signed by the supervisor and by the operator.
#include <string>

#include "tivplatform/dataset.h"

namespace tiv02000 {

struct WithdrawalReceipt {
    std::string colourScheme;
    bool envelopeColumn = false; // the column header shows the envelope column
    bool typedValues = false;    // "VRFECHADIG" instead of "VRFECHAINF"
};

// Prints both copies into the open report from the data module's
// `cdsMovFecha` and the first row of `cdsOperadorSup`.
void printWithdrawalCopies(const WithdrawalReceipt &r);

} // namespace tiv02000
