#pragma once
// The printer's counters, totals, state and identity, as the driver's other
// subsystems read them. The exported procedures of queries/ are adapters
// over these.
#include <cstddef>
#include <string>

#include "tivplatform/datetime.h"

namespace tiv02000 {

// The receipt number (COO); "ERRO" when the printer's answer failed or was not the counter's
// digits (the reason then in stMensagemTaa).
std::string receiptNumber(const std::string &colourScheme);
// Counters handed back in `counter` even when the answer fails; true when
// the answer passed the return analysis.
bool fiscalReceiptCounter(const std::string &colourScheme, std::string &counter);
bool nonFiscalOperationCounter(const std::string &colourScheme, std::string &counter);
bool managementReportCounter(const std::string &colourScheme, std::string &counter);
bool creditVoucherCounter(const std::string &colourScheme, std::string &counter);

// The fiscal day's date; today when the printer has none.
tiv::TDateTime fiscalMovementDate(const std::string &colourScheme);
// The printer's status judged (errors shown under boNUtilTaa); also sets
// boClieUtil to the verdict.
bool printerReady(const std::string &colourScheme);

// The taxpayer number without its punctuation: every ".", "/" and "-" removed.
std::string FormataCNPJ(const std::string &text);

// The day's totals as the printer writes them (digits, two implied
// decimals), handed back even when the answer fails; true when it passed the
// return analysis (errors not shown) and is the digits of its field. A reply
// of any other form is handed back empty, with the reason in stMensagemTaa.
bool grossSales(const std::string &colourScheme, std::string &total);
bool cancelledTotal(const std::string &colourScheme, std::string &total);
bool discountTotal(const std::string &colourScheme, std::string &total);
bool surchargeTotal(const std::string &colourScheme, std::string &total);
// The grand total as the text of a number; false, and an empty text, when
// the printer's answer failed or was not digits.
bool grandTotal(const std::string &colourScheme, std::string &total);
// The printer does not report its interventions; the host gets "0000000001".
std::string interventionCounter();
// The number the next Z reduction will carry ("42" after CRZ 41).
bool nextReductionNumber(const std::string &colourScheme, std::string &counter);
// The three model fields of the printer data, trimmed; errors shown.
bool printerModel(const std::string &colourScheme, std::string &field1, std::string &field2,
                  std::string &field3);

// True when the reply, blanks aside, is exactly `width` decimal digits: the form of every
// counter and money field the printer hands over. A reply in any other form is a failure of the
// query, never a value.
bool digitsOfWidth(const std::string &reply, size_t width);

// A money text of the printer (digits with two implied decimals, blanks,
// "," and "." allowed) as a value: "1.234,56" and "123456" are both 1234.56;
// a blank text is 0. Text that is not a number raises tiv::ConversionError.
double moneyValue(const std::string &text);

} // namespace tiv02000
