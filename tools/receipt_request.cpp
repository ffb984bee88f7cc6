#include "receipt_request.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

namespace tivtool {

namespace {

// The widest values the driver's fixed-width fields carry: beyond them a digit would be lost
// on the way to the printer instead of the value refused.
constexpr int64_t kMaxQuantity = 9'999'999;                // 9999.999
constexpr int64_t kMaxPrice = 9'999'999;                   // 99999.99
constexpr int64_t kMaxItemAdjustment = 99'999'999;         // 999999.99
constexpr int64_t kMaxSubtotalAdjustment = 99'999'999'999; // 999999999.99
constexpr int64_t kMaxPayment = 9'999'999'999'999;         // 99999999999.99
constexpr size_t kMaxItems = 999;                          // the item number printed has 3 digits

const std::set<std::string> kTaxCodes = {"01", "02", "03", "04", "05", "06", "07",
                                         "08", "09", "10", "11", "FF", "II", "NN"};

std::string at(const std::string &parent, const std::string &member) {
    return parent.empty() ? member : parent + "." + member;
}

std::string at(const std::string &parent, size_t index) {
    return parent + "[" + std::to_string(index) + "]";
}

// Characters, not bytes: the printer counts them in Windows-1252, one byte each.
size_t characters(const std::string &utf8) {
    size_t n = 0;
    for (const char c : utf8)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++n;
    return n;
}

void onlyMembers(const Json &object, const std::string &where, std::set<std::string> known) {
    for (const auto &[name, value] : object.items())
        if (!known.count(name))
            throw ReceiptInputError(at(where, name), "is not a member of a receipt request");
}

std::string text(const Json &object, const std::string &where, const std::string &name,
                 bool required, size_t maxChars, const std::string &fallback = "") {
    const std::string field = at(where, name);
    if (!object.contains(name)) {
        if (required) throw ReceiptInputError(field, "is required");
        return fallback;
    }
    const Json &value = object[name];
    if (!value.is_string()) throw ReceiptInputError(field, "is a text");
    const std::string s = value.get<std::string>();
    if (required && s.find_first_not_of(' ') == std::string::npos)
        throw ReceiptInputError(field, "is empty");
    for (const char c : s)
        if (static_cast<unsigned char>(c) < 0x20 && !(maxChars == 0 && c == '\n'))
            throw ReceiptInputError(field, "holds a control character");
    if (maxChars && characters(s) > maxChars)
        throw ReceiptInputError(field, "has more than " + std::to_string(maxChars) +
                                           " characters, the most the printer takes");
    return s;
}

// A number of at most `decimals` decimals, scaled to a whole number (cents, thousandths), within
// [min, max] after scaling.
int64_t scaled(const Json &object, const std::string &where, const std::string &name, bool required,
               int decimals, int64_t min, int64_t max) {
    const std::string field = at(where, name);
    if (!object.contains(name)) {
        if (required) throw ReceiptInputError(field, "is required");
        return 0;
    }
    const Json &value = object[name];
    // A text such as "12.90" is refused rather than read: the request's numbers are JSON numbers.
    if (!value.is_number()) throw ReceiptInputError(field, "is a number");
    const double scale = decimals == 3 ? 1000.0 : 100.0;
    const double v = value.get<double>() * scale;
    const auto shown = [&](int64_t n) {
        const int64_t unit = static_cast<int64_t>(scale), magnitude = n < 0 ? -n : n;
        const std::string digits = (n < 0 ? "-" : "") + std::to_string(magnitude / unit);
        std::string frac = std::to_string(magnitude % unit);
        frac.insert(0, static_cast<size_t>(decimals) - frac.size(), '0');
        return digits + "." + frac;
    };
    if (!std::isfinite(v) || v < static_cast<double>(min) - 0.5 ||
        v > static_cast<double>(max) + 0.5)
        throw ReceiptInputError(field, "is a number from " + shown(min) + " to " + shown(max));
    const int64_t whole = std::llround(v);
    // More decimals than the printer keeps would be cut off there, and the receipt would not
    // say what the request did.
    if (std::fabs(v - static_cast<double>(whole)) > 1e-6 * std::max(1.0, std::fabs(v)))
        throw ReceiptInputError(field, "has more than " + std::to_string(decimals) + " decimals");
    if (whole < min || whole > max)
        throw ReceiptInputError(field, "is a number from " + shown(min) + " to " + shown(max));
    return whole;
}

const Json &array(const Json &request, const std::string &name) {
    if (!request.contains(name)) throw ReceiptInputError(name, "is required");
    const Json &list = request[name];
    if (!list.is_array()) throw ReceiptInputError(name, "is a list");
    if (list.empty()) throw ReceiptInputError(name, "is empty");
    return list;
}

const Json &object(const Json &value, const std::string &where) {
    if (!value.is_object()) throw ReceiptInputError(where, "is an object");
    return value;
}

ReceiptItem readItem(const Json &value, const std::string &where) {
    const Json &o = object(value, where);
    onlyMembers(
        o, where,
        {"code", "description", "quantity", "price", "tax", "unit", "discount", "surcharge"});
    ReceiptItem item;
    item.code = text(o, where, "code", true, 20);
    item.description = text(o, where, "description", true, 233);
    item.quantity = scaled(o, where, "quantity", true, 3, 1, kMaxQuantity);
    item.price = scaled(o, where, "price", true, 2, 1, kMaxPrice);
    item.tax = text(o, where, "tax", true, 2);
    if (!kTaxCodes.count(item.tax))
        throw ReceiptInputError(at(where, "tax"), "is one of 01 to 11, FF, II or NN");
    item.unit = text(o, where, "unit", false, 3, "UN");
    if (item.unit.find_first_not_of(' ') == std::string::npos)
        throw ReceiptInputError(at(where, "unit"), "is empty");
    item.discount = scaled(o, where, "discount", false, 2, 0, kMaxItemAdjustment);
    item.surcharge = scaled(o, where, "surcharge", false, 2, 0, kMaxItemAdjustment);
    if (item.amount() == 0)
        throw ReceiptInputError(at(where, "quantity"), "times the price is less than 0.01");
    if (item.discount >= item.amount())
        throw ReceiptInputError(at(where, "discount"), "is not less than the item's amount");
    return item;
}

double reais(int64_t cents) {
    return static_cast<double>(cents) / 100.0;
}

} // namespace

int64_t ReceiptItem::amount() const {
    // Thousandths times cents, in thousandths of a cent: cut to the cent, as the printer does
    // for an item sold with truncation.
    return quantity * price / 1000;
}

int64_t Receipt::itemsTotal() const {
    int64_t total = 0;
    for (const ReceiptItem &item : items)
        total += item.amount() - item.discount + item.surcharge;
    return total;
}

int64_t Receipt::paid() const {
    int64_t total = 0;
    for (const ReceiptPayment &p : payments)
        total += p.amount;
    return total;
}

Receipt parseReceipt(const Json &request) {
    if (!request.is_object()) throw ReceiptInputError("receipt", "is an object");
    onlyMembers(request, "", {"customer", "items", "adjustment", "payments", "footer"});
    Receipt receipt;
    if (request.contains("customer")) {
        const Json &c = object(request["customer"], "customer");
        onlyMembers(c, "customer", {"document", "name", "address"});
        receipt.document = text(c, "customer", "document", false, 20);
        receipt.name = text(c, "customer", "name", false, 30);
        receipt.address = text(c, "customer", "address", false, 40);
    }
    const Json &items = array(request, "items");
    if (items.size() > kMaxItems)
        throw ReceiptInputError("items", "has more than " + std::to_string(kMaxItems) + " items");
    for (size_t i = 0; i < items.size(); ++i)
        receipt.items.push_back(readItem(items[i], at("items", i)));

    receipt.adjustment = scaled(request, "", "adjustment", false, 2, -kMaxSubtotalAdjustment,
                                kMaxSubtotalAdjustment);
    if (receipt.due() <= 0)
        throw ReceiptInputError("adjustment", "leaves nothing to pay: the items come to " +
                                                  Json(reais(receipt.itemsTotal())).dump());

    const Json &payments = array(request, "payments");
    std::map<std::string, std::string> cardOf; // one kind of payment per method
    for (size_t i = 0; i < payments.size(); ++i) {
        const std::string where = at("payments", i);
        const Json &o = object(payments[i], where);
        onlyMembers(o, where, {"method", "amount", "card"});
        ReceiptPayment p;
        // The printer's payment table holds names of 15 characters.
        p.method = text(o, where, "method", true, 15);
        p.amount = scaled(o, where, "amount", true, 2, 1, kMaxPayment);
        p.card = text(o, where, "card", false, 6);
        if (!p.card.empty() && p.card != "credit" && p.card != "debit")
            throw ReceiptInputError(at(where, "card"), "is \"credit\" or \"debit\"");
        const auto [known, added] = cardOf.emplace(p.method, p.card);
        if (!added && known->second != p.card)
            throw ReceiptInputError(at(where, "card"),
                                    "differs from an earlier payment of \"" + p.method + "\"");
        receipt.payments.push_back(std::move(p));
    }
    if (receipt.paid() < receipt.due())
        throw ReceiptInputError(
            "payments", "pay less than the receipt's total: " + Json(reais(receipt.paid())).dump() +
                            " of " + Json(reais(receipt.due())).dump());
    receipt.footer = text(request, "", "footer", false, 0);
    return receipt;
}

namespace {

constexpr const char *kScheme = "001";

Json call(const char *procedure, Json args) {
    return Json{{"call", procedure}, {"args", std::move(args)}};
}

Json field(const char *name, const char *type, int size = 0) {
    Json f{{"name", name}, {"type", type}};
    if (size > 0) f["size"] = size;
    return f;
}

// The payment methods as the host's table gives them: a code of three digits per method, in
// the order the request first names them, and the method's kind (cash unless a card).
std::vector<std::string> methodsInOrder(const Receipt &receipt) {
    std::vector<std::string> methods;
    for (const ReceiptPayment &p : receipt.payments)
        if (std::find(methods.begin(), methods.end(), p.method) == methods.end())
            methods.push_back(p.method);
    return methods;
}

std::string methodCode(size_t index) {
    std::string code = std::to_string(index + 1);
    return std::string(3 - code.size(), '0') + code;
}

} // namespace

Json openingCall(const Receipt &receipt) {
    return call("AbreCupom", Json::array({Json{{"ESQUEMACOR", kScheme},
                                               {"INTTEFERRO", 0},
                                               {"INCLUICPF", receipt.document},
                                               {"INCLUINOME", receipt.name},
                                               {"INCLUIENDERECO", receipt.address},
                                               {"CUPNR", ""},
                                               {"CONTCUPOM", ""},
                                               {"IDUTILTEF", "N"},
                                               {"UTILTEF", false}}}));
}

Json itemCall(const Receipt &receipt, size_t index) {
    const ReceiptItem &item = receipt.items.at(index);
    return call("VendaItem", Json::array({Json{{"ESQUEMACOR", kScheme},
                                               {"INTEFERRO", 0},
                                               {"CDARVPROD", item.code},
                                               {"NMPROD", item.description},
                                               {"CDALIQ", item.tax},
                                               {"QTDE", static_cast<double>(item.quantity) / 1000},
                                               {"VALOR", reais(item.price)},
                                               {"DESCONT", reais(item.discount)},
                                               {"UNIDADE", item.unit},
                                               {"IDUTILTEF", "N"},
                                               {"UTILTEF", false},
                                               {"ACRESCIMO", reais(item.surcharge)}}}));
}

Json closingCall(const Receipt &receipt) {
    const std::vector<std::string> methods = methodsInOrder(receipt);
    Json movements = Json::array();
    int order = 0;
    for (const ReceiptPayment &p : receipt.payments) {
        const size_t m = std::find(methods.begin(), methods.end(), p.method) - methods.begin();
        movements.push_back(Json::array({"E", methodCode(m), reais(p.amount), nullptr, ++order}));
    }
    Json table = Json::array();
    for (size_t m = 0; m < methods.size(); ++m) {
        const auto paid = std::find_if(receipt.payments.begin(), receipt.payments.end(),
                                       [&](const auto &p) { return p.method == methods[m]; });
        // The driver sends a credit card ("1") and a debit card ("2") as such; "4" is cash.
        const char *kind = paid->card == "credit" ? "1" : paid->card == "debit" ? "2" : "4";
        table.push_back(Json::array({methodCode(m), methods[m], kind, methods[m], ""}));
    }
    Json args = Json::array();
    for (int i = 0; i < 62; ++i)
        args.push_back(nullptr);
    args[0] = ""; // no change voucher: the change is given on the receipt
    args[1] = "";
    args[2] = kScheme;
    args[4] = false;
    args[5] = true;
    args[6] = reais(receipt.adjustment < 0 ? -receipt.adjustment : 0);
    args[7] = 0.0;
    args[8] = reais(receipt.adjustment > 0 ? receipt.adjustment : 0);
    args[9] = "N";
    args[10] = receipt.footer;
    args[11] = false;
    args[13] = Json{
        {"fields", Json::array({field("IDTIPOMOVIVE", "string", 1),
                                field("CDTIPORECE", "string", 3), field("VRMOVIVEND", "float"),
                                field("DTHRINCMOV", "datetime"), field("NRORDTROCO", "integer")})},
        {"rows", std::move(movements)}};
    args[14] =
        Json{{"fields",
              Json::array({field("CDTIPORECE", "string", 3), field("NMTIPORECE", "string", 40),
                           field("IDTIPORECE", "string", 1), field("DSIMPFISCAL", "string", 50),
                           field("CDFPIMPFIS", "string", 10)})},
             {"rows", std::move(table)}};
    for (const int i : {15, 16, 17, 18, 19, 21, 22, 23})
        args[i] = "";
    args[60] = false; // no consumer code to print
    return call("FechaCupom", Json::array({std::move(args), nullptr, Json{{"result", 4}}}));
}

namespace {

bool succeeded(const Json &record) {
    return !record.contains("error") && !record.contains("exception") &&
           record.contains("return") && record["return"] == Json(true);
}

// Why a step did not succeed, in the words that reached the caller.
std::string why(const Json &record) {
    if (record.contains("error")) return record["error"].value("message", std::string());
    if (record.contains("exception")) return record["exception"].get<std::string>();
    if (record.contains("variables")) {
        const std::string said = record["variables"].value("stMensagemTaa", std::string());
        if (said.find_first_not_of(' ') != std::string::npos)
            return said.substr(said.find_first_not_of(' '));
    }
    return "it returned false";
}

Json summary(const Receipt &receipt, const ReceiptProgress &progress) {
    return Json{{"coo", progress.coo},
                {"ccf", progress.ccf},
                {"closed", progress.closed},
                {"itemsSold", progress.itemsSold},
                {"totals",
                 {{"items", reais(receipt.itemsTotal())},
                  {"adjustment", reais(receipt.adjustment)},
                  {"due", reais(receipt.due())},
                  {"paid", reais(receipt.paid())},
                  {"change", reais(receipt.paid() - receipt.due())}}}};
}

Json answer(const Receipt &receipt, const ReceiptProgress &progress) {
    return Json{{"receipt", summary(receipt, progress)}, {"steps", progress.steps}};
}

Json stopped(const Receipt &receipt, const ReceiptProgress &progress, const std::string &what) {
    Json a = answer(receipt, progress);
    a["error"] = {{"kind", "receipt"}, {"message", what}, {"argument", nullptr}};
    return a;
}

} // namespace

Json runReceipt(const Receipt &receipt, ReceiptProgress &progress,
                const std::function<Json(const Json &)> &call) {
    const std::string again = "; the same request with the same id goes on from there";
    const auto step = [&](const Json &request) {
        Json record = call(request);
        progress.steps.push_back(record);
        return record;
    };
    if (progress.closed) return answer(receipt, progress);

    if (progress.opened) {
        // Going on with a receipt opened before: only while it is still the printer's document,
        // never onto another that took its place.
        const Json now = step(tivtool::call("Nr_Cupom", Json::array({"", kScheme})));
        const std::string coo = now.contains("return") && now["return"].is_string()
                                    ? now["return"].get<std::string>()
                                    : std::string();
        if (coo != progress.coo)
            return stopped(receipt, progress,
                           "the printer's receipt number is " + (coo.empty() ? why(now) : coo) +
                               ", not this sale's " + progress.coo +
                               ": nothing more was sent for it");
    } else {
        const Json opened = step(openingCall(receipt));
        if (!succeeded(opened))
            return stopped(receipt, progress,
                           "the receipt was not opened (AbreCupom): " + why(opened) + again);
        progress.opened = true;
        const Json params =
            opened.contains("out") ? opened["out"].value("params", Json::object()) : Json::object();
        progress.coo = params.value("CUPNR", std::string());
        progress.ccf = params.value("CONTCUPOM", std::string());
    }
    for (; progress.itemsSold < receipt.items.size(); ++progress.itemsSold) {
        const Json sold = step(itemCall(receipt, progress.itemsSold));
        if (!succeeded(sold))
            return stopped(receipt, progress,
                           "item " + std::to_string(progress.itemsSold + 1) +
                               " was not sold (VendaItem): " + why(sold) + again);
    }
    const Json closed = step(closingCall(receipt));
    if (!succeeded(closed))
        return stopped(receipt, progress,
                       "the receipt was not closed (FechaCupom): " + why(closed) + again);
    progress.closed = true;
    return answer(receipt, progress);
}

} // namespace tivtool
