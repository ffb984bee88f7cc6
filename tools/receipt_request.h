#pragma once
// A whole sale in one request: the receipt opened, every item sold and the
// receipt closed by the module's own procedures (AbreCupom, VendaItem for each
// item, FechaCupom), in that order, each step recorded as `tiv run` records it.
//
// The request is checked whole before anything reaches the printer. A sale that
// stops part-way keeps how far it went (ReceiptProgress), so that the same
// request repeated goes on from there: the steps the printer carried out are
// not sent again, and the driver's own procedures judge the one that failed
// against what the printer holds.
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "json_forms.h"

namespace tivtool {

// A request that cannot be sold; `field` names the member at fault ("items[2].price").
class ReceiptInputError : public std::invalid_argument {
  public:
    ReceiptInputError(std::string field, const std::string &why)
        : std::invalid_argument(field + ": " + why), field_(std::move(field)) {}
    const std::string &field() const { return field_; }

  private:
    std::string field_;
};

// Amounts in cents and quantities in thousandths, as the printer counts them.
struct ReceiptItem {
    std::string code, description, tax, unit;
    int64_t quantity = 0; // thousandths
    int64_t price = 0, discount = 0, surcharge = 0;
    int64_t amount() const; // what the printer charges: quantity times price, truncated
};

struct ReceiptPayment {
    std::string method, card; // card: "", "credit" or "debit"
    int64_t amount = 0;
};

struct Receipt {
    std::string document, name, address; // the consumer, all optional
    std::vector<ReceiptItem> items;
    int64_t adjustment = 0; // on the subtotal: below 0 a discount, above 0 a surcharge
    std::vector<ReceiptPayment> payments;
    std::string footer;

    int64_t itemsTotal() const;
    int64_t due() const { return itemsTotal() + adjustment; }
    int64_t paid() const;
};

// Reads and checks a request; throws ReceiptInputError for the first fault found.
Receipt parseReceipt(const Json &request);

// The calls of the sale, in the argument forms of `tiv run`.
Json openingCall(const Receipt &receipt);
Json itemCall(const Receipt &receipt, size_t index);
Json closingCall(const Receipt &receipt);

// How far a sale went; kept between a failed attempt and its repeat.
struct ReceiptProgress {
    bool opened = false;
    size_t itemsSold = 0;
    bool closed = false;
    std::string coo, ccf; // as AbreCupom answered them
    Json steps = Json::array();
};

// Runs what is left of the sale through `call` (one request of the C interface in, its answer
// out) and answers {"receipt": {"coo", "ccf", "closed", "totals"}, "steps": [...]}, or, when a
// step did not succeed, the same with an "error" of kind "receipt" naming the step.
Json runReceipt(const Receipt &receipt, ReceiptProgress &progress,
                const std::function<Json(const Json &)> &call);

} // namespace tivtool
