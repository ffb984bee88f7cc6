#pragma once
// The payments of a closing: the host's movements merged into one row per
// payment and sent to the printer with its payment codes.
#include <cstdint>
#include <functional>
#include <optional>

#include "closing_args.h"
#include "sale_track.h"
#include "tivplatform/dataset.h"

namespace tiv02000 {

struct PaymentDatasets {
    tiv::TClientDataSet *movements = nullptr;      // cdsMovCaixa
    tiv::TClientDataSet *payments = nullptr;       // cdsMovCaixaTef
    tiv::TClientDataSet *methods = nullptr;        // cdsRecebAux
    tiv::TClientDataSet *creditBalances = nullptr; // cdsSaldCred
    tiv::TClientDataSet *familyBalances = nullptr; // cdsFamiliaSaldo
    tiv::TClientDataSet *loans = nullptr;          // cdsEmprestimo
};

struct PaymentRun {
    double paidTotal = 0;
    double consumptionTotal = 0; // payments of kinds "9" and "A"
    bool agreementSale = false;  // a payment of kind "8" was sent
    int rows = 0;                // payment rows (kinds "E" and "T") to send
    int sent = 0;                // payments the printer accepted
    int rowsDone = 0;            // payment rows already sent, for a retry
    int registered = 0;          // rows the printer already held when a closing resumed
    bool repeat = false;         // the row at rowsDone was sent and not confirmed
};

// Whether the printer holds the payment at a 1-based position.
using PaymentCheck = std::function<Carried(int position)>;

enum class PaymentOutcome { Done, Failed, Refused };

// Loads the sale's datasets of the data module from the host's packets.
PaymentDatasets loadPaymentDatasets(const ClosingArgs &a);
// Fills cdsMovCaixaTef from cdsMovCaixa (card payments of one method merged
// in a TEF sale) and works out the paid total.
PaymentRun aggregatePayments(const ClosingArgs &a, PaymentDatasets &d);
// Sends the payment rows from the first not yet accepted. Failed: the
// printer refused one (it may be sent again); Refused: it cannot be sent
// at all (an amount too large, a method the printer does not hold, a
// printer that cannot tell whether it holds the row). A row whose answer
// was not a success is sent again only when `check` shows the printer does
// not hold it; the first `run.registered` rows are taken as held.
PaymentOutcome sendPayments(const ClosingArgs &a, PaymentDatasets &d, PaymentRun &run,
                            const PaymentCheck &check);
// Every payment row's amount fits the printer's field; the first that does
// not is reported. Checked before anything is sent.
bool paymentAmountsFit(const ClosingArgs &a, PaymentDatasets &d);
// The amount in cents of the first `count` payment rows: what the printer
// must show as paid when it holds them. None when there are fewer rows.
std::optional<int64_t> firstRowsPaid(PaymentDatasets &d, int count);

} // namespace tiv02000
