#include "sale_track.h"

namespace tiv02000 {

bool PendingItem::sameAs(const ItemLine &l, const std::string &d, const std::string &s) const {
    return line.code == l.code && line.description == l.description &&
           line.quantity == l.quantity && line.price == l.price && line.unit == l.unit &&
           line.taxCode == l.taxCode && discount == d && surcharge == s;
}

SaleTrack &saleTrack() {
    static SaleTrack track;
    static uint64_t session = 0;
    if (session != printerSession()) {
        session = printerSession();
        track = SaleTrack{};
    }
    return track;
}

bool sameReceipt(SaleTrack &t, const DocumentProgress &p) {
    if (!p.receiptOpen()) return false;
    if (!t.coo) t.coo = p.coo;
    return *t.coo == p.coo;
}

} // namespace tiv02000
