#pragma once
// The products sold, of the day or since the till opening, as a management
// report; the till closing prints it before each of its closing reports.
#include <string>
#include <vector>

#include "tivplatform/dataset.h"

namespace tiv02000 {

struct ProductReportArgs {
    std::string mode; // "D" the day's products, anything else the opening's
    std::string serialNumber;
    std::string branchCode; // printed, and the first CER key
    std::string tillCode;   // printed, and the second CER key
    tiv::TClientDataSet *products = nullptr;
    std::string confirmMode; // "N" print, "S" ask first, anything else nothing
    std::string groupByTax;  // "S" grouped with the tax summary
    std::string colourScheme;
};

// Prints the report. `reportNumber` receives the report's receipt counter
// when it is opened. When `reportOpen` is false a non-fiscal document left
// open is closed first, and the flag becomes true: the caller must open a
// report of its own for what it prints next.
void productReport(const ProductReportArgs &a, std::string &reportNumber, bool &reportOpen);

// The fields of the host's product list the report reads, plain or grouped.
std::vector<std::string> productFields(bool grouped);

// The sum of "VRTOTAL" over every row of the host's product list.
double salesTotal(tiv::TClientDataSet &products);

} // namespace tiv02000
