#pragma once
// The positional arguments of a receipt closing, read once.
#include <string>

#include "tivplatform/variant.h"

namespace tiv02000 {

struct ClosingArgs {
    std::string changeTotalizer;                        // 0
    std::string firstLine;                              // 1
    std::string colourScheme;                           // 2
    bool issueChange = false;                           // 4
    bool show = false;                                  // 5
    double subtotalDiscount = 0;                        // 6
    double changeAmount = 0;                            // 7
    double subtotalSurcharge = 0;                       // 8
    std::string tefMarker;                              // 9
    std::string freeMessage;                            // 10
    bool tefInUse = false;                              // 11
    tiv::Variant movements;                             // 13
    tiv::Variant paymentMethods;                        // 14
    std::string customerCode, customerName;             // 15, 16
    std::string consumerCode, consumerName;             // 17, 18
    std::string receiptNumber;                          // 19
    std::string tableNumber;                            // 21
    std::string operatorCode, operatorName;             // 22, 23
    std::string familyMode;                             // 27
    std::string conferenceCoo;                          // 28
    std::string conferenceCer;                          // 29
    std::string password;                               // 31
    tiv::Variant creditBalances, familyBalances, loans; // 32, 33, 34
    std::string conferenceVariant;                      // 35
    std::string balanceMode;                            // 36
    double familyBalanceBase = 0;                       // 37
    double subsidisedPrice = 0;                         // 38
    std::string tefList;                                // 40
    std::string printerNumber;                          // 41
    tiv::Variant passThrough;                           // 42
    std::string stateCode;                              // 43
    std::string companyCnpj;                            // 44
    double federalTax = 0;                              // 51
    double points = 0;                                  // 52
    double extraPoints = 0;                             // 54
    double stateTax = 0;                                // 58
    bool printConsumer = true;                          // 60
    double fidelityDiscount = 0;                        // 61

    bool tefSale() const { return tefMarker == "S" || tefMarker == "T"; }
};

// Reads the positions in order; a position that cannot be read (the list
// ends, a value of the wrong kind) stops the reading and the rest keep
// their defaults.
ClosingArgs readClosingArgs(const tiv::Variant &args);

} // namespace tiv02000
