#pragma once
// The receipt footer: the lines under the totals, within a line budget.
#include <cstdint>
#include <string>

#include "tivplatform/dataset.h"
#include "tivplatform/stringlist.h"

namespace tiv02000 {

struct Footer {
    int32_t maxLines = 0;
    std::string balanceMode{}; // "1" or "2": how the consumer's balance is shown
    std::string firstLine{}, secondLine{}, taxLine{}, lotteryLine{};
    std::string customerCode{}, customerName{};
    std::string consumerCode{}, consumerName{};
    std::string operatorCode{}, operatorName{};
    std::string tableLine{}, passwordLine{};
    std::string freeMessage{};
    std::string ecfNumber{}, cerCounter{}, receiptNumber{}; // the table-conference line
    std::string familyMode{};
    std::string layout{}; // "1" agreement, "2" the usual footer, anything else: no more lines
    double familyBalanceTotal = 0;
    double subsidisedPrice = 0;
    tiv::TClientDataSet *balances = nullptr;
    tiv::TClientDataSet *familyBalances = nullptr;
    tiv::TClientDataSet *familyMovements = nullptr;
    bool printExtraLines = false;
    tiv::TStringList *extraLines = nullptr;
    std::string pointsLine{}, extraPointsLine{};
    std::string afterFamilyText{};
    std::string dailyConsumptionBalance{};
    std::string fidelityDiscountLine{};
};

// The footer text, every line ending in LF.
std::string formatFooter(const Footer &f);

} // namespace tiv02000
