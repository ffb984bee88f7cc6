#pragma once
// What the driver knows, from one call to the next, of the receipt it sells into: enough to
// tell, after an answer that was lost, whether the printer carried the command out.
#include <cstdint>
#include <optional>
#include <string>

#include "core/command_family.h"
#include "core/document_progress.h"

namespace tiv02000 {

// An item whose registration did not end in a confirmed success: a repeat of the same item
// (the operator's yes, or the host calling again) resumes it instead of selling it again.
struct PendingItem {
    ItemLine line;
    std::string discount, surcharge; // digit texts; empty when none
    std::optional<int> number;       // the number it takes in the receipt, when known
    // Per part (the item, its discount, its surcharge): sent at least once; registered.
    bool sent[3] = {false, false, false};
    bool done[3] = {false, false, false};

    bool sameAs(const ItemLine &l, const std::string &d, const std::string &s) const;
};

struct SaleTrack {
    std::optional<int64_t> coo;      // the open receipt's COO, once read
    std::optional<int> items;        // items registered in it, when known
    std::optional<PendingItem> item; // see PendingItem
    bool closing = false;            // a closing of this receipt started and did not end
};

SaleTrack &saleTrack();

// What the printer showed decides a command: carried out, not carried out, or unknown (no
// answer): an unknown outcome is never sent again.
enum class Carried { Yes, No, Unknown };

// True when the progress belongs to the receipt the track follows (or the track has not read
// its COO yet, and then it learns it).
bool sameReceipt(SaleTrack &t, const DocumentProgress &p);

} // namespace tiv02000
