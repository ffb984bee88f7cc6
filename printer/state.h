#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "cbor.h"

namespace ecfsim {

// Amounts are integers: money in cents, quantities and unit prices in thousandths.

constexpr int kRateSlots = 20;       // tax rates, "Ta".."Tt" / "T1".."T20"
constexpr int kPaymentSlots = 20;    // payment methods, "01".."20"
constexpr int kNonFiscalSlots = 20;  // non-fiscal totalizers, "01".."20"
constexpr std::size_t kColumns = 48; // printed columns

struct TaxRate {
    std::string kind; // "T" (ICMS) or "S" (ISS); empty slot: ""
    int32_t rate = 0; // hundredths of a percent
    int64_t base = 0; // day's net sales at this rate
    friend bool operator==(const TaxRate &, const TaxRate &) = default;
};

struct PaymentMethod {
    std::string name; // empty: free slot
    bool linked = false;
    int64_t total = 0; // day's total received
    int64_t uses = 0;
    friend bool operator==(const PaymentMethod &, const PaymentMethod &) = default;
};

struct NonFiscalTotalizer {
    std::string name;
    std::string direction = "E"; // "E" money in, "S" money out
    int64_t total = 0;
    int64_t count = 0;
    friend bool operator==(const NonFiscalTotalizer &, const NonFiscalTotalizer &) = default;
};

struct Payment {
    int32_t slot = 0;
    int64_t amount = 0;
    bool voucherIssued = false; // a linked card voucher was printed for it
    friend bool operator==(const Payment &, const Payment &) = default;
};

struct Item {
    int32_t n = 0;
    std::string code, description, unit, tax; // tax: "T01".."T20", "F", "I", "N"
    int64_t quantity = 0, price = 0;          // thousandths
    int64_t amount = 0, discount = 0, surcharge = 0;
    bool cancelled = false;
    int64_t net() const { return cancelled ? 0 : amount - discount + surcharge; }
    friend bool operator==(const Item &, const Item &) = default;
};

// What document is open. The replies and the stored state show it as one character, which
// docStateCode() alone gives.
enum class DocState {
    None,           // '0'
    ReceiptSale,    // '1' fiscal receipt taking items
    ReceiptPayment, // '3' fiscal receipt past its items (subtotal adjustment or payment)
    Voucher,        // '2' unlinked non-fiscal voucher
    CardVoucher,    // '4' linked card voucher
    Report,         // '5' management report
};
char docStateCode(DocState s);
DocState docStateOf(char code); // a character docStateCode() does not give is None
inline bool isReceipt(DocState s) {
    return s == DocState::ReceiptSale || s == DocState::ReceiptPayment;
}

// The document in progress.
struct Document {
    DocState state = DocState::None;
    int64_t coo = 0;
    std::string cpf, name, address;
    int32_t items = 0;                     // items registered (rows of the item table)
    int64_t discount = 0, surcharge = 0;   // on the subtotal
    std::map<std::string, int64_t> taxNet; // net amount of the items per tax code
    std::map<std::string, int64_t> adjust; // subtotal discount/surcharge shares per tax code
    std::vector<Payment> payments;
    std::string footer;
    int64_t total = 0;      // voucher: sum of its entries; card voucher: its amount
    int32_t paymentRef = 0; // card voucher: index in lastReceipt.payments, or kCancelledVoucher
    int32_t lines = 0;      // lines printed in the document body

    int64_t gross() const; // receipt: sum of item nets
    int64_t due() const;   // receipt: what must be paid
    int64_t paid() const;
    // A card voucher cancelled and waiting for its close: its reference points at no payment.
    static constexpr int32_t kCancelledVoucher = -1;
    bool voucherCancelled() const { return paymentRef < 0; }
    friend bool operator==(const Document &, const Document &) = default;
};

struct LastReceipt {
    int64_t coo = 0;
    bool cancellable = false;
    std::map<std::string, int64_t> taxNet;
    std::vector<Payment> payments;
    int64_t due = 0;
    friend bool operator==(const LastReceipt &, const LastReceipt &) = default;
};

struct Day {
    bool open = false;
    std::string date;     // yyyymmdd of the fiscal day (the last one once reduced)
    std::string openedAt; // hhmmss
    int64_t firstCoo = 0;
    int64_t gross = 0, cancelled = 0, discounts = 0, surcharges = 0;
    int64_t exempt = 0, notTaxed = 0, substitution = 0; // "I", "N", "F"
    int64_t supply = 0, withdrawal = 0;
    int64_t change = 0;
    friend bool operator==(const Day &, const Day &) = default;
};

struct Counters {
    int64_t coo = 0, ccf = 0, gnf = 0, grg = 0, cdc = 0, crz = 0, cro = 1;
    int64_t cfc = 0; // fiscal receipts cancelled
    int64_t lx = 0;  // X readings
    friend bool operator==(const Counters &, const Counters &) = default;
};

struct Identity {
    std::string serial = "EP0000000000000001";
    std::string model = "TM-T900FA";
    std::string brand = "EPSON";
    std::string type = "ECF-IF";
    std::string ecf = "001";
    std::string shop = "0001";
    std::string cnpj = "00.000.000/0001-91";
    std::string ie = "111.111.111.111";
    std::string im = "";
    std::vector<std::string> header = {"LOJA EXEMPLO LTDA", "RUA DAS FLORES, 100 - CENTRO",
                                       "SAO PAULO - SP"};
    std::string version = "01.00.000";
    std::string versionDate = "01012024";
    std::string versionTime = "120000";
    std::string nationalCode = "0101010";
    friend bool operator==(const Identity &, const Identity &) = default;
};

// A Z reduction's record as the fiscal memory keeps it: its CBOR, read where it is shown
// (state_json.h). Empty before the first reduction.
struct ZRecord {
    std::string cbor;
    friend bool operator==(const ZRecord &, const ZRecord &) = default;
};

// Every member of the state, declared once: this list makes State's members, its stored
// sections and its JSON (ECFSIM_State), so a member cannot be kept in memory and forgotten in
// the database.
//   SECTION(type, member, name): a section of its own, `name`, stored as the member's record
//   and shown under `name` (the document also shows its state character as "docState").
//   FLAG(type, member): one of the small members kept together in the section "flags", a map
//   keyed by the member's name, each shown under its name.
#define ECFSIM_STATE_MEMBERS(SECTION, FLAG)                                                        \
    SECTION(Identity, id, "id")                                                                    \
    SECTION(Counters, n, "counters")                                                               \
    SECTION(Day, day, "day")                                                                       \
    SECTION(Document, doc, "doc")                                                                  \
    SECTION(LastReceipt, last, "last")                                                             \
    SECTION(std::vector<TaxRate>, rates, "rates")             /* kRateSlots entries */             \
    SECTION(std::vector<PaymentMethod>, payments, "payments") /* kPaymentSlots entries */          \
    /* in number order; a blank name is a free slot */                                             \
    SECTION(std::vector<NonFiscalTotalizer>, nonFiscal, "nonFiscal")                               \
    SECTION(ZRecord, lastZ, "lastZ") /* the last Z reduction's record */                           \
    FLAG(int64_t, gt)                                                                              \
    FLAG(std::string, reducedDate) /* yyyymmdd of the last day reduced */                          \
    FLAG(bool, dst)                                                                                \
    FLAG(bool, drawerOpen)                                                                         \
    FLAG(int64_t, clockOffset) /* seconds added to the host's local time */

struct State {
#define ECFSIM_STATE_DECLARE(type, member, ...) type member{};
    ECFSIM_STATE_MEMBERS(ECFSIM_STATE_DECLARE, ECFSIM_STATE_DECLARE)
#undef ECFSIM_STATE_DECLARE
};

ECFSIM_RECORD(TaxRate, kind, rate, base)
ECFSIM_RECORD(PaymentMethod, name, linked, total, uses)
ECFSIM_RECORD(NonFiscalTotalizer, name, direction, total, count)
ECFSIM_RECORD(Payment, slot, amount, voucherIssued)
// The document's state is stored beside its record, as its state character (state.cpp).
ECFSIM_RECORD_BESIDE(Document, state)
ECFSIM_RECORD(Document, coo, cpf, name, address, items, discount, surcharge, taxNet, adjust,
              payments, footer, total, paymentRef, lines)
ECFSIM_RECORD(LastReceipt, coo, cancellable, taxNet, payments, due)
ECFSIM_RECORD(Day, open, date, openedAt, firstCoo, gross, cancelled, discounts, surcharges, exempt,
              notTaxed, substitution, supply, withdrawal, change)
ECFSIM_RECORD(Counters, coo, ccf, gnf, grg, cdc, crz, cro, cfc, lx)
ECFSIM_RECORD(Item, n, code, description, unit, tax, quantity, price, amount, discount, surcharge,
              cancelled)
ECFSIM_RECORD(Identity, serial, model, brand, type, ecf, shop, cnpj, ie, im, header, version,
              versionDate, versionTime, nationalCode)

State freshState();

// The state is stored as named sections, so that a command rewrites only the sections it
// changed: an item sold touches the document, the day and the rates, never the identity or
// the tables of the last reduction.
struct StateSection {
    const char *name;
    bool (*same)(const State &a, const State &b);
    std::string (*save)(const State &s); // CBOR
    // From the stored CBOR; damaged data throws nlohmann::json::exception.
    void (*restore)(std::string_view cbor, State &s);
    void (*copy)(const State &from, State &to);
};
const std::vector<StateSection> &stateSections();

} // namespace ecfsim
