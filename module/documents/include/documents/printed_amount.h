#pragma once
// Amounts a non-fiscal document prints as text in a column of fixed width.
// A text wider than its column would be cut or pushed past the printer's
// line, so the document would show a wrong figure: it is refused instead,
// before anything of the document is printed.
#include <cstddef>
#include <stdexcept>
#include <string>

namespace tiv02000 {

// Raised by fitAmount after the refusal was reported; the procedure that
// builds the document catches it and ends with false (or nothing).
class AmountRefused : public std::runtime_error {
  public:
    explicit AmountRefused(const std::string &text) : std::runtime_error(text) {}
};

// `text` (the printed form of `value`) when the value is a finite number and
// the text takes at most `width` columns. Otherwise the refusal is reported
// as the sale reports one (debug log, stMensagemTaa, a notice under
// boNUtilTaa), naming `what`, and AmountRefused is raised.
std::string fitAmount(const std::string &what, double value, const std::string &text, size_t width,
                      const std::string &colourScheme);

// The amount as the printer takes it on a voucher: 14 digits of cents (the
// format "000000000000.00" without its separator); refused as above.
std::string voucherCents(const std::string &what, double value, const std::string &colourScheme);

} // namespace tiv02000
