#include "document.h"

#include "detail_memory.h"
#include "text.h"

namespace ecfsim::rules {

void beginDocument(DocState state, std::string_view title) {
    Printer &p = P();
    State &st = S();
    countDocument();
    documentBegins(state);
    st.doc = Document{};
    st.doc.state = state;
    st.doc.coo = st.n.coo;
    mfd::begin(title);
    for (const auto &h : st.id.header)
        p.print(center(h));
    p.print("CNPJ:" + st.id.cnpj);
    p.print("IE:" + st.id.ie + (st.id.im.empty() ? "" : " IM:" + st.id.im));
    p.print(std::string(kColumns, '-'));
    std::string d = p.date8(), t = p.time6();
    std::string when = d.substr(0, 2) + "/" + d.substr(2, 2) + "/" + d.substr(4) + " " +
                       t.substr(0, 2) + ":" + t.substr(2, 2) + ":" + t.substr(4);
    std::string counters;
    if (state == DocState::ReceiptSale) counters = "CCF:" + zeros(st.n.ccf, 6) + " ";
    counters += "COO:" + zeros(st.n.coo, 6);
    p.print(spread(when, counters));
    p.print(center(title));
}

void printTrailer(bool cancelled) {
    Printer &p = P();
    State &st = S();
    p.print(std::string(kColumns, '-'));
    const std::string maker = st.id.brand + " " + st.id.type;
    if (maker.size() + 1 + st.id.model.size() <= kColumns) {
        p.print(spread(maker, st.id.model));
    } else { // long names set by the control API: the model on a line of its own
        p.print(maker);
        p.print(std::string(kColumns - st.id.model.size(), ' ') + st.id.model);
    }
    p.print(spread("ECF:" + st.id.ecf + " LJ:" + st.id.shop, "FAB:" + st.id.serial));
    p.print("");
    mfd::end(cancelled);
}

std::string taxLabel(const std::string &key) {
    if (key.size() == 3) {
        const TaxRate &r = S().rates[std::stoi(key.substr(1)) - 1];
        return r.kind + zeros(r.rate, 4);
    }
    return key + "1";
}

std::string formatQuantity(int64_t q) {
    std::string s = std::to_string(q / 1000) + "," + zeros(q % 1000, 3);
    return s;
}

} // namespace ecfsim::rules
