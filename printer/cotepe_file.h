#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

// The files the printer writes from its memories: the national ECF file (fixed-width records
// E01, E02, E12, E13 from the fiscal memory; E14, E15, E16, E21 from the detail memory) and the
// detail memory's mirror.
namespace ecfsim::files {

// A range of the memories: dates (yyyymmdd keys) or numbers (CRZ for the fiscal memory, COO for
// the detail memory).
struct Range {
    bool byDate = true;
    std::string fromDate, toDate; // yyyymmdd
    int64_t from = 0, to = 0;
};
// From the entry point's arguments; dates "ddmmyyyy". A malformed one throws Refusal.
Range parseRange(const char *start, const char *end, bool byDate);

// The Z-reduction records (fiscal memory) in the range: by their day's date or their CRZ.
std::vector<nlohmann::json> reductionsIn(const Range &r);
// The complete records of the detail memory in the range: by the date they began or by COO.
std::vector<nlohmann::json> documentsIn(const Range &r);

// The file's text (CP1252, CR LF); an empty selection gives an empty text.
std::string memoryFile(const Range &r);   // from the fiscal memory
std::string detailFile(const Range &r);   // from the detail memory
std::string detailMirror(const Range &r); // every document of the range as it printed

} // namespace ecfsim::files
