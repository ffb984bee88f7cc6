#include "detail_memory.h"

#include "fiscal_rules.h"
#include "state_json.h"
#include "text.h"

#include <map>

namespace ecfsim::mfd {

using rules::P;
using rules::S;

namespace {

const char *kindOf(std::string_view title) {
    if (title == "CUPOM FISCAL") return kReceipt;
    if (title == "COMPROVANTE CREDITO OU DEBITO") return kCardVoucher;
    if (title == "RELATORIO GERENCIAL") return kReport;
    if (title == "LEITURA X") return kXReading;
    if (title == "REDUCAO Z") return kZReduction;
    if (title == "LEITURA DA MEMORIA FISCAL") return kMemoryReading;
    if (title == "CANCELAMENTO") return kCancellation;
    return kVoucher; // the voucher, the supply and the withdrawal
}

// The partial totalizer an item's tax code posts to, as the fiscal memory names it: "01T1800"
// for the programmed rates, "F1", "I1", "N1".
std::string totalizer(const std::string &key) {
    if (key.size() == 3) {
        int slot = std::stoi(key.substr(1));
        const TaxRate &r = S().rates[static_cast<std::size_t>(slot - 1)];
        return zeros(slot, 2) + r.kind + zeros(r.rate, 4);
    }
    return key + "1";
}

} // namespace

void begin(std::string_view title) {
    Printer &p = P();
    const State &st = S();
    nlohmann::json head;
    head["coo"] = st.n.coo;
    head["kind"] = kindOf(title);
    head["title"] = std::string(title);
    head["date"] = p.dateKey();
    head["time"] = p.time6();
    head["firstLine"] = p.nextLine();
    p.store().addDetail(st.n.coo, kindOf(title), true, jsonToCbor(head));
}

void end(bool cancelled) {
    Printer &p = P();
    const State &st = S();
    const Document &d = st.doc;
    nlohmann::json r;
    auto last = p.store().lastDetail();
    if (last && last->open) {
        nlohmann::json head = fromCbor(last->data);
        if (head.value("coo", int64_t{-1}) == st.n.coo) r = head;
    }
    if (r.is_null()) {
        // A document begun before the printer kept its detail memory: what it still knows.
        static const std::map<DocState, const char *> byState{
            {DocState::ReceiptSale, kReceipt}, {DocState::ReceiptPayment, kReceipt},
            {DocState::Voucher, kVoucher},     {DocState::CardVoucher, kCardVoucher},
            {DocState::Report, kReport},       {DocState::None, kVoucher}};
        r["coo"] = st.n.coo;
        r["kind"] = byState.at(d.state);
        r["title"] = "";
        r["date"] = p.dateKey();
        r["time"] = p.time6();
        r["firstLine"] = 0;
    }
    const std::string kind = r["kind"].get<std::string>();
    r.erase("open");
    r["endDate"] = p.dateKey();
    r["endTime"] = p.time6();
    r["lastLine"] = p.nextLine() - 1;
    const bool receipt = kind == kReceipt;
    r["ccf"] = receipt ? st.n.ccf : 0;
    r["gnf"] = kind == kVoucher || kind == kCardVoucher || kind == kReport ? st.n.gnf : 0;
    r["grg"] = kind == kReport ? st.n.grg : 0;
    r["cdc"] = kind == kCardVoucher ? st.n.cdc : 0;
    r["crz"] = kind == kZReduction ? st.n.crz : 0;
    r["cancelled"] = cancelled || (kind == kCardVoucher && d.voucherCancelled());
    if (receipt) {
        r["cpf"] = d.cpf;
        r["name"] = d.name;
        nlohmann::json items = nlohmann::json::array();
        for (const Item &it : p.items) {
            nlohmann::json i = it;
            i["totalizer"] = totalizer(it.tax);
            items.push_back(std::move(i));
        }
        r["items"] = std::move(items);
        r["subtotal"] = d.gross();
        r["discount"] = d.discount;
        r["surcharge"] = d.surcharge;
        r["total"] = d.due();
    } else if (kind == kVoucher || kind == kCardVoucher) {
        r["total"] = d.total;
    }
    nlohmann::json payments = nlohmann::json::array();
    for (const Payment &pm : d.payments) {
        const auto slot = static_cast<std::size_t>(pm.slot);
        payments.push_back(
            {{"name",
              slot >= 1 && slot <= st.payments.size() ? st.payments[slot - 1].name : std::string()},
             {"amount", pm.amount}});
    }
    r["payments"] = std::move(payments);
    const std::string cbor = jsonToCbor(r);
    if (!p.store().closeDetail(st.n.coo, kind, cbor))
        p.store().addDetail(st.n.coo, kind, false, cbor);
}

void cancelReceipt(int64_t coo) {
    P().store().cancelDetail(coo, kReceipt);
}

nlohmann::json records() {
    nlohmann::json out = nlohmann::json::array();
    for (const auto &row : P().store().details()) {
        nlohmann::json r = fromCbor(row.data);
        if (row.open) r["open"] = true;
        if (row.cancelled) r["cancelled"] = true;
        out.push_back(std::move(r));
    }
    return out;
}

} // namespace ecfsim::mfd
