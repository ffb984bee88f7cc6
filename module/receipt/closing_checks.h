#pragma once
// What a closing checks before it sends anything to the printer.
#include <string>

#include "closing_args.h"
#include "payments.h"
#include "tivplatform/variant.h"

namespace tiv02000 {

// The host's argument list and result array can carry a closing: a non-empty list, and a
// result array of at least the four elements the closing writes. Reports what is wrong.
bool closingCallValid(const tiv::Variant &args, const tiv::Variant &result);

// Every amount the closing sends or prints is a number (not NaN nor infinite): the host's
// amounts and every real field of the sale's datasets. Reports the first one that is not.
bool closingAmountsFinite(const ClosingArgs &a, const PaymentDatasets &d);

} // namespace tiv02000
