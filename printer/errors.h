#pragma once
#include <cstdint>
#include <string_view>

namespace ecfsim {

// Result codes the printer leaves in status positions 17-20 (four hexadecimal digits).
enum class Code : uint16_t {
    Ok = 0x0000,
    NotAllowed = 0x0101,       // command not allowed in the printer's present state
    DayClosed = 0x0102,        // no fiscal day open
    DayReduced = 0x0103,       // the day of this date already had its Z reduction
    ZPending = 0x0104,         // the open fiscal day is from an earlier date: Z reduction due
    DayAlreadyOpen = 0x0105,   // a fiscal day is already open
    ReceiptOpen = 0x0201,      // a fiscal receipt is open
    NoReceipt = 0x0202,        // no fiscal receipt open
    DocumentOpen = 0x0203,     // a non-fiscal document is open
    NoVoucher = 0x0204,        // no unlinked non-fiscal voucher open
    NoReport = 0x0205,         // no management report open
    NoLinkedVoucher = 0x0206,  // no linked card voucher open
    BadParameter = 0x0301,     // missing (null) or malformed argument
    TooLong = 0x0302,          // text longer than its field
    NotNumeric = 0x0303,       // amount, quantity or number with other than digits
    ZeroValue = 0x0304,        // quantity, price or amount of zero
    UnknownTax = 0x0305,       // tax code not programmed
    NoSuchItem = 0x0306,       // item number unknown or already cancelled
    OutOfRange = 0x0307,       // amount beyond what it applies to
    UnknownPayment = 0x0308,   // payment method not programmed
    UnknownTotalizer = 0x0309, // non-fiscal totalizer not programmed
    TooLarge = 0x0310,         // an amount or total beyond 64 bits or beyond its field
    NotPaid = 0x0401,          // document not paid in full
    InPayment = 0x0402,        // receipt already past its items (subtotal or payment given)
    AdjustmentGiven = 0x0403,  // subtotal discount or surcharge already given
    NothingToCancel = 0x0404,  // no receipt that can be cancelled
    NoItems = 0x0405,          // document without items
    PaymentTaken = 0x050D,     // payment method slot already programmed
    TableFull = 0x050E,        // no free slot left in the table
    BadSlot = 0x050F,          // slot number outside the table
    NameTaken = 0x0510,        // a totalizer or payment of that name exists already
    TotalizerTaken = 0x0511,   // non-fiscal totalizer slot already programmed
    Refused = 0x0601,          // refusal injected through the control API
    FilesLater = 0x0701,       // entry points that write files are not available
    NothingInRange = 0x0702,   // no record of the fiscal or detail memory in the range asked for
    FileFailed = 0x0703,       // the file asked for could not be written
    PaperOut = 0x0801,         // out of paper
    Storage = 0x0901,          // the printer's database could not be read or written
};

// Thrown by a command's rules; the command is rolled back and returns 1.
struct Refusal {
    Code code;
};

} // namespace ecfsim
