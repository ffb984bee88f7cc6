#include "state.h"

namespace ecfsim {

int64_t Document::gross() const {
    int64_t sum = 0;
    for (const auto &[tax, net] : taxNet)
        sum += net;
    return sum;
}

int64_t Document::due() const {
    return gross() - discount + surcharge;
}

int64_t Document::paid() const {
    int64_t sum = 0;
    for (const auto &p : payments)
        sum += p.amount;
    return sum;
}

State freshState() {
    State s;
    s.rates.assign(kRateSlots, {});
    s.rates[0] = {"T", 1800, 0};
    s.rates[1] = {"T", 1200, 0};
    s.rates[2] = {"T", 700, 0};
    s.rates[3] = {"S", 500, 0};
    s.payments.assign(kPaymentSlots, {});
    s.payments[0].name = "Dinheiro";
    return s;
}

void to_json(nlohmann::json &j, const Item &i) {
    j = nlohmann::json{{"n", i.n},
                       {"code", i.code},
                       {"description", i.description},
                       {"unit", i.unit},
                       {"tax", i.tax},
                       {"quantity", i.quantity},
                       {"price", i.price},
                       {"amount", i.amount},
                       {"discount", i.discount},
                       {"surcharge", i.surcharge},
                       {"cancelled", i.cancelled}};
}

void from_json(const nlohmann::json &j, Item &i) {
    i.n = j.at("n");
    i.code = j.at("code");
    i.description = j.at("description");
    i.unit = j.at("unit");
    i.tax = j.at("tax");
    i.quantity = j.at("quantity");
    i.price = j.at("price");
    i.amount = j.at("amount");
    i.discount = j.at("discount");
    i.surcharge = j.at("surcharge");
    i.cancelled = j.at("cancelled");
}

void to_json(nlohmann::json &j, const State &s) {
    j = nlohmann::json{{"id", s.id},
                       {"counters", s.n},
                       {"day", s.day},
                       {"doc", s.doc},
                       {"docState", std::string(1, s.doc.state)},
                       {"last", s.last},
                       {"gt", s.gt},
                       {"rates", s.rates},
                       {"payments", s.payments},
                       {"nonFiscal", s.nonFiscal},
                       {"reducedDate", s.reducedDate},
                       {"lastZ", s.lastZ},
                       {"dst", s.dst},
                       {"drawerOpen", s.drawerOpen},
                       {"clockOffset", s.clockOffset}};
}

void from_json(const nlohmann::json &j, State &s) {
    s = freshState();
    s.id = j.value("id", s.id);
    s.n = j.value("counters", s.n);
    s.day = j.value("day", s.day);
    s.doc = j.value("doc", s.doc);
    std::string st = j.value("docState", std::string("0"));
    s.doc.state = st.empty() ? '0' : st[0];
    s.last = j.value("last", s.last);
    s.gt = j.value("gt", int64_t{0});
    s.rates = j.value("rates", s.rates);
    s.payments = j.value("payments", s.payments);
    s.nonFiscal = j.value("nonFiscal", s.nonFiscal);
    s.reducedDate = j.value("reducedDate", std::string());
    s.lastZ = j.value("lastZ", nlohmann::json());
    s.dst = j.value("dst", false);
    s.drawerOpen = j.value("drawerOpen", false);
    s.clockOffset = j.value("clockOffset", int64_t{0});
    s.rates.resize(kRateSlots);
    s.payments.resize(kPaymentSlots);
}

} // namespace ecfsim
