#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json_fwd.hpp>

#include "printer.h"

// The printer's fiscal rules in one place: what each command requires of the printer's state
// before it acts, and the only code that moves the day's totals, the rates' bases and the
// grand total. Every command calls these; each check throws Refusal with its code.
namespace ecfsim::rules {

inline Printer &P() {
    return Printer::instance();
}
inline State &S() {
    return Printer::instance().st;
}

// --- Preconditions, in the order the commands check them -------------------------------------

// No document open (reports, readings, programming, a new document).
void requireNoDocument();
// A fiscal day of today's date open. autoOpen: the ESC/ECF family opens the day by itself with
// its first document.
void requireDay(bool autoOpen);
// A new document: none open and a day open (or opened, for the ESC/ECF family).
void requireNewDocument(bool autoOpen);
// A fiscal receipt still taking items.
void requireSale();
// Another item: the receipt takes items and has fewer than the most it holds.
void requireItemRoom();
// The receipt's last item, when it is not cancelled (its adjustment, cancelling the last item).
Item &requireLastItem();
// Item n (1-based) of the receipt, when it is not cancelled.
Item &requireCancellableItem(int64_t n);
// A discount or surcharge on an item, `value` in cents or hundredths of a percent: the item
// had none of that kind, a percent is at most 100% and a discount less than the item. Returns
// its amount.
int64_t requireItemAdjustment(const Item &it, int64_t value, bool discount, bool percent);
// A fiscal receipt, taking items or in payment.
void requireReceipt();
// A subtotal adjustment: the receipt takes items, has some, and had no adjustment yet.
void requireSubtotalAdjustable();
// The same, for `value` (as an item's): a discount is less than the subtotal, and less than
// 100% whatever its product would be. Returns its amount.
int64_t requireSubtotalAdjustment(int64_t value, bool discount, bool percent);
// A payment: the receipt has something due that is not paid yet. Returns what is due.
int64_t requirePayable();
// The close of a receipt: paid in full. Returns what was due.
int64_t requireReceiptPaid();
// Cancelling a receipt: true for the open one, false for the last one (when it may still be).
bool requireCancellableReceipt();
// An unlinked voucher.
void requireVoucher();
// A voucher entry: a voucher open and not yet paid.
void requireVoucherEntry();
// A voucher payment: a voucher with entries not paid in full.
void requireVoucherPayable();
// The close of a voucher: entries paid in full.
void requireVoucherPaid();
// A card voucher for the last receipt's payments: no document, the day open, a receipt to
// link to.
void requireLinkable();
// The last receipt's payment a card voucher is for: one by method `slot` with no voucher yet,
// the index-th (1-based) when it is such, else the first. Refuses UnknownPayment.
std::size_t requireVoucherPayment(int32_t slot, int64_t index = 0);
// A card voucher's amount: not beyond its payment's.
void requireVoucherWithin(std::size_t payment, int64_t amount);
// A card voucher open (its close or cancellation).
void requireCardVoucher();
// Cancelling the open card voucher: not cancelled already.
void requireCardVoucherCancellable();
// A management report open (its close).
void requireReport();
// Lines for the body of a management report or card voucher.
void requireReportLines();
// A Z reduction: no document, and the day of this date not reduced already.
void requireReducible();
// Daylight saving switched: no document, and the open day has printed none (it changes only
// between days, and a day that printed waits for its Z reduction).
void requireDstSwitchable();
// A new tax rate: no document, no day open (the totals per rate belong to the day). Returns
// the first free slot (0-based); refuses a full table.
std::size_t requireRateProgrammable();
// A payment method `name` at `slot` (1-based): no document, the slot free, no method of that
// name.
void requirePaymentProgrammable(int64_t slot, std::string_view name);
// A non-fiscal totalizer `name` at `slot` (1-based; 0: the first free one): no document, no
// totalizer of that name, the slot free. Returns the slot.
int64_t requireTotalizerProgrammable(int64_t slot, std::string_view name);

// Table lookups: each refuses what the tables do not hold.
// "Ta".."Tt", "T1".."T20", "F"/"F1", "I"/"I1", "N"/"N1" to the internal key "T01".."T20",
// "F", "I", "N"; refuses UnknownTax for anything else or an empty rate slot.
std::string taxKey(std::string_view code);
int32_t paymentByName(std::string_view name); // slot (1-based); refuses UnknownPayment
int32_t paymentByCode(std::string_view code);
int32_t totalizer(std::string_view nameOrNumber); // 1-based; refuses UnknownTotalizer

// --- Counters: each advances here, and nowhere else ----------------------------------------

// A document begins: COO.
void countDocument();
// A fiscal receipt opens: CCF.
void countReceipt();
// A non-fiscal document opens (a voucher, supply or withdrawal, a card voucher, a management
// report): GNF, and CDC for a card voucher, GRG for a management report.
void countNonFiscal(DocState state);
// A fiscal receipt cancelled: CFC.
void countCancelledReceipt();
// An X reading: its count.
void countXReading();
// A Z reduction: CRZ.
void countReduction();

// --- The last receipt: what may still be cancelled -----------------------------------------

// The receipt just paid and closed becomes the last receipt: it may be cancelled, and take
// card vouchers for its payments, until another document begins, it is cancelled or the day
// is reduced.
void keepLastReceipt(int64_t due);
// A document begins: only a card voucher of the last receipt leaves it cancellable.
void documentBegins(DocState state);
// The last receipt cancelled or its day reduced: nothing is left to cancel.
void endLastReceipt();

// --- Postings -----------------------------------------------------------------------------

enum class Posting {
    Sale,      // gross sales, the grand total and the rate
    Surcharge, // the same, and the day's surcharges
    Discount,  // the day's discounts, off the rate
};
// Posts an amount at a tax code ("T01".."T20", "F", "I", "N") to the day's totals and the GT.
void post(Posting kind, const std::string &key, int64_t amount);
// Takes back what was posted: each tax code's share leaves its rate and `total` joins the
// day's cancellations. The grand total never falls.
void reverse(const std::map<std::string, int64_t> &shares, int64_t total);
// A receipt cancelled: its amounts reversed, its payments out of the methods' totals, one
// more receipt cancelled.
void cancelReceipt(const std::map<std::string, int64_t> &shares,
                   const std::vector<Payment> &payments, int64_t due);
// A payment taken by a method (slot 1-based).
void postPayment(int32_t slot, int64_t amount);
// Change given back on a receipt or voucher paid beyond what it was due.
void postChange(int64_t amount);
// An entry of a non-fiscal voucher under totalizer n (1-based).
void postNonFiscal(int32_t n, int64_t amount);
// Cash put into the drawer (supply) or taken out of it (withdrawal).
void postCash(bool supply, int64_t amount);

// --- The fiscal day -----------------------------------------------------------------------

// Starts the fiscal day of `date` (yyyymmdd): its totals at zero, its first document the next
// COO. Not yet open: openDay() opens it; a Z reduction of a day without movement and a
// reduction recorded through the control API only start it.
void startDay(const std::string &date);
// Opens the fiscal day of today's date; refuses a day open (or due its Z) or reduced already.
void openDay();
// The fiscal-memory record a Z reduction makes of the day in progress (its CRZ already
// advanced), and what keeping it leaves: the record stored as the last reduction, the day's
// totals back to zero, the day closed, nothing left to cancel.
nlohmann::json reductionRecord();
void keepReduction(const nlohmann::json &z);

} // namespace ecfsim::rules
