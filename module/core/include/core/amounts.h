#pragma once
// Amounts and quantities as the printer takes them: fixed-width digit texts
// without a decimal separator. Shared by every procedure that sends money or
// quantities to the printer.
#include <optional>
#include <string>
#include <string_view>

namespace tiv02000 {

enum class Truncation { None, To2, To3 };

// `value` truncated as asked (None: rounded by the formatting), formatted
// with `mask` (zeros and one "." as the separator) and the separator
// removed: tryPrinterAmount(1.5, "0000.000", Truncation::To3) == "0001500".
// A value the mask cannot hold (negative, not a number, or with more whole
// digits than the mask has) answers std::nullopt: sending it would drop a
// digit instead of the separator, so it is never sent. A mask that is not
// zeros with one "." raises tiv::Error.
std::optional<std::string> tryPrinterAmount(double value, std::string_view mask,
                                            Truncation truncation);

// The refusal of an amount that does not fit: logged, appended after one
// blank to stMensagemTaa and, when `show`, shown to the operator. `what`
// names the amount ("Quantidade", "Valor do item", ...). Returns the text.
std::string reportAmountRefused(const std::string &what, double value,
                                const std::string &colourScheme, bool show);

} // namespace tiv02000
