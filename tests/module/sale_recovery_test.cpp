// A whole sale with one fault on its Nth printer call, for every N: each fault kind, both
// command families, an operator who answers yes, one who is never asked, and a host that calls
// a failed procedure again. Whatever the fault, no item or payment is registered twice, every
// procedure's result says whether the printer did the work, the receipt can be finished
// afterwards, and the day's totals agree with what was sold.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <condition_variable>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "fixture.h"
#include "sale_helpers.h"
#include "sale_packets.h"
#include "tiv02000/tiv02000.h"
#include "vendor_entry_points.h"

namespace {

using nlohmann::json;

enum class Host { OperatorYes, OperatorNo, NoQuestions, CallsAgain };

struct SweepCase {
    int printerType;
    const char *fault;
    Host host;
};

std::string caseName(const SweepCase &c) {
    const char *host = c.host == Host::OperatorYes   ? "OperatorYes"
                       : c.host == Host::OperatorNo  ? "OperatorNo"
                       : c.host == Host::NoQuestions ? "NoQuestions"
                                                     : "CallsAgain";
    return "Type" + std::to_string(c.printerType) + "_" + c.fault + "_" + host;
}

// The sale: two items (the second with a discount), paid by card and cash.
struct SaleItem {
    const char *code, *description;
    double quantity, price, discount;
    int64_t cents; // what it adds to the day's gross sales
};
const SaleItem kItems[] = {{"A1", "ARROZ", 1, 20.0, 0, 2000}, {"B2", "FEIJAO", 2, 7.5, 1.0, 1500}};
constexpr int64_t kDiscountCents = 100;
constexpr int64_t kSubtotalDiscountCents = 50; // given at the closing

// Figures of the whole sweep, reported once and asserted zero.
struct Tally {
    int runs = 0, falseSuccesses = 0, falseFailures = 0, doubles = 0, inconsistencies = 0;
};
std::map<std::string, Tally> &tallies() {
    static std::map<std::string, Tally> t;
    return t;
}

// The host's side of a sale: the parameters it passes, and its calls.
class SaleRun : public DriverTest {
  protected:
    bool tefSale = false;    // the operator is asked to repeat (a TEF sale)
    bool operatorYes = true; // and answers yes
    int hostAttempts = 1;    // calls of a procedure while it fails
    bool tef() const { return tefSale; }
    int attempts() const { return hostAttempts; }

    tiv::Variant openingParams() const {
        return tiv::makeParams({{"ESQUEMACOR", "001"},
                                {"INTTEFERRO", 0},
                                {"INCLUICPF", ""},
                                {"INCLUINOME", ""},
                                {"INCLUIENDERECO", ""},
                                {"CUPNR", ""},
                                {"CONTCUPOM", ""},
                                {"IDUTILTEF", tef() ? "T" : "N"},
                                {"UTILTEF", tef()}});
    }

    tiv::Variant itemParams(const SaleItem &item) const {
        return tiv::makeParams({{"ESQUEMACOR", "001"},
                                {"INTEFERRO", 0},
                                {"CDARVPROD", item.code},
                                {"NMPROD", item.description},
                                {"CDALIQ", "01"},
                                {"QTDE", item.quantity},
                                {"VALOR", item.price},
                                {"DESCONT", item.discount},
                                {"UNIDADE", "UN"},
                                {"TIPOTICKET", ""},
                                {"VRPERCALIQ", ""},
                                {"IDUTILTEF", tef() ? "T" : "N"},
                                {"UTILTEF", tef()},
                                {"ACRESCIMO", 0.0}});
    }

    tiv::Variant closingArgs(const std::vector<sale::Movement> &rows,
                             double subtotalDiscount = 0) const {
        tiv::Variant a = tiv::Variant::array(62);
        a.at(2) = "001";
        a.at(6) = subtotalDiscount;
        a.at(9) = tef() ? "S" : "N";
        a.at(11) = tef();
        a.at(13) = sale::movementsPacket(rows);
        a.at(14) = sale::methodsPacket();
        a.at(22) = "7";
        a.at(23) = "Rui";
        a.at(51) = 1.23;
        a.at(58) = 0.45;
        return a;
    }

    bool closeWith(const tiv::Variant &args) {
        tiv::Variant result = tiv::Variant::array(4);
        return FechaCupom(args, nullptr, result);
    }

    // Calls a procedure as the host does: once, or again while it fails.
    template <class F> bool call(F &&procedure) {
        bool ok = false;
        for (int i = 0; i < attempts() && !ok; ++i) {
            answers.assign(tef() ? 4 : 0, operatorYes);
            ok = procedure();
        }
        return ok;
    }

    // A started printer of `type` with the sale's payment methods, the day open.
    void startSale(int type) {
        StopImpFiscal();
        resetPrinter({{"payments", sale::kPrinterPayments}});
        ASSERT_TRUE(start(type));
        (void)EPSON_RelatorioFiscal_Abrir_Dia();
        clearJournal();
    }
};

class FaultSweepTest : public SaleRun, public ::testing::WithParamInterface<SweepCase> {
  protected:
    void SetUp() override {
        SaleRun::SetUp();
        tefSale = GetParam().host == Host::OperatorYes || GetParam().host == Host::OperatorNo;
        operatorYes = GetParam().host == Host::OperatorYes;
        hostAttempts = GetParam().host == Host::CallsAgain ? 3 : 1;
    }

    // The items the printer holds for the receipt, by description.
    static std::map<std::string, std::vector<json>> itemsOnPrinter(const json &state) {
        std::map<std::string, std::vector<json>> out;
        for (const auto &it : state.at("items"))
            if (!it.value("cancelled", false))
                out[it.at("description").get<std::string>()].push_back(it);
        return out;
    }

    // One sale with the fault on call `n`; false when the fault never fired (the sale is
    // shorter than n calls).
    bool runOnce(int n, Tally &tally) {
        const SweepCase &c = GetParam();
        startSale(c.printerType);
        if (HasFatalFailure()) return false;
        boNUtilTaa = tef();
        const int64_t mark = ECFSIM_MarkPaper();
        injectFault({{"kind", c.fault}, {"at", n}});
        auto fired = [&] {
            for (const auto &e : journal())
                if (e.contains("fault") && !e.at("fault").is_null()) return true;
            return false;
        };
        auto fail = [&](int &counter, const std::string &what) {
            ++counter;
            ADD_FAILURE() << caseName(c) << " N=" << n << ": " << what;
        };

        // The sale as the host runs it.
        const bool opened = call([&] {
            tiv::Variant p = openingParams();
            return AbreCupom(p);
        });
        bool sold[2] = {false, false};
        bool closed = false;
        if (opened) {
            for (int i = 0; i < 2; ++i)
                sold[i] = call([&] {
                    tiv::Variant p = itemParams(kItems[i]);
                    return VendaItem(p);
                });
            // The host pays what it believes sold.
            const int64_t due = (sold[0] ? 2000 : 0) + (sold[1] ? 1500 - kDiscountCents : 0) -
                                kSubtotalDiscountCents;
            if (due > 0) {
                std::vector<sale::Movement> rows;
                const int64_t card = std::min<int64_t>(due, 2000);
                rows.push_back({"002", static_cast<double>(card) / 100});
                if (due > card) rows.push_back({"001", static_cast<double>(due - card) / 100});
                const tiv::Variant args = closingArgs(rows, kSubtotalDiscountCents / 100.0);
                closed = call([&] { return closeWith(args); });
            }
        }
        const bool didFire = fired();
        ECFSIM_ClearFaults();

        // Each result against what the printer holds.
        json st = printerState();
        const bool receiptOpened = st.at("counters").at("ccf") == 1;
        if (opened != receiptOpened)
            fail(opened ? tally.falseSuccesses : tally.falseFailures, "AbreCupom");
        auto items = itemsOnPrinter(st);
        for (int i = 0; i < 2 && receiptOpened; ++i) {
            const auto &held = items[kItems[i].description];
            if (held.size() > 1) fail(tally.doubles, std::string("item ") + kItems[i].code);
            const bool whole =
                held.size() == 1 && (kItems[i].discount == 0 || held[0].at("discount") != 0);
            if (sold[i] != whole)
                fail(sold[i] ? tally.falseSuccesses : tally.falseFailures,
                     std::string("VendaItem ") + kItems[i].code);
        }
        const bool receiptClosed = receiptOpened && st.at("docState") == "0";
        if (opened && closed != receiptClosed)
            fail(closed ? tally.falseSuccesses : tally.falseFailures, "FechaCupom");

        // The host finishes what is left: the receipt closes, or is cancelled when it holds
        // nothing to pay.
        boNUtilTaa = false;
        if (receiptOpened && !receiptClosed) {
            int64_t due = -kSubtotalDiscountCents;
            for (const auto &[name, held] : items)
                for (const auto &it : held)
                    due += it.at("amount").get<int64_t>() - it.at("discount").get<int64_t>();
            if (due <= 0) {
                if (EPSON_Fiscal_Cancelar_Cupom() != 0) fail(tally.inconsistencies, "cancel");
            } else {
                std::vector<sale::Movement> rows;
                int64_t paid = 0;
                for (const auto &p : st.at("doc").at("payments")) {
                    rows.push_back(
                        {p.at("slot") == 2 ? "002" : "001", p.at("amount").get<double>() / 100});
                    paid += p.at("amount").get<int64_t>();
                }
                if (due > paid) rows.push_back({"001", static_cast<double>(due - paid) / 100});
                if (!closeWith(closingArgs(rows, kSubtotalDiscountCents / 100.0)))
                    fail(tally.inconsistencies, "the receipt could not be finished");
            }
            st = printerState();
            if (st.at("docState") != "0") fail(tally.inconsistencies, "receipt left open");
            items = itemsOnPrinter(st);
        }

        // The paper shows each item the printer holds, once.
        const auto paper = paperSince(mark);
        for (const auto &item : kItems) {
            const std::string tail = std::string(" ") + item.description;
            const auto printed = std::count_if(paper.begin(), paper.end(), [&](const auto &l) {
                return l.size() > tail.size() + 4 &&
                       std::isdigit(static_cast<unsigned char>(l[0])) && l[3] == ' ' &&
                       l.compare(l.size() - tail.size(), tail.size(), tail) == 0;
            });
            if (static_cast<size_t>(printed) !=
                (receiptOpened ? items[item.description].size() : 0))
                fail(tally.inconsistencies, std::string("paper lines of ") + item.code);
        }

        // The day's figures agree with the one receipt.
        int64_t gross = 0;
        for (const auto &[name, held] : items) {
            if (held.size() > 1) fail(tally.doubles, "item " + name + " after finishing");
            for (const auto &it : held)
                gross += it.at("amount").get<int64_t>();
        }
        if (!receiptOpened) gross = 0;
        const json &day = st.at("day");
        if (day.at("gross") != gross || st.at("gt") != gross)
            fail(tally.inconsistencies, "gross " + day.at("gross").dump() + ", GT " +
                                            st.at("gt").dump() + ", items " +
                                            std::to_string(gross));
        std::map<int, int> uses;
        int64_t paidTotal = 0;
        for (const auto &p : st.at("last").at("payments")) {
            ++uses[p.at("slot").get<int>()];
            paidTotal += p.at("amount").get<int64_t>();
        }
        for (const auto &[slot, count] : uses)
            if (count > 1) fail(tally.doubles, "payment slot " + std::to_string(slot));
        if (receiptOpened && st.at("counters").at("ccf") != 1) fail(tally.inconsistencies, "CCF");
        if (st.at("last").at("coo") != 0 &&
            paidTotal - day.at("change").get<int64_t>() != st.at("last").at("due").get<int64_t>())
            fail(tally.inconsistencies, "payments do not match the receipt's due");
        ++tally.runs;
        return didFire;
    }
};

TEST_P(FaultSweepTest, EveryCallOfASaleSurvivesTheFault) {
    Tally &tally = tallies()[caseName(GetParam())];
    int n = 1;
    // Past the sale's last call the fault no longer fires: the sweep ends there.
    while (runOnce(n, tally) && n < 200)
        ++n;
    EXPECT_GT(n, 20) << "a whole sale makes more calls than that";
    std::cout << "[ sweep ] " << caseName(GetParam()) << ": " << tally.runs << " runs, "
              << tally.falseSuccesses << " false successes, " << tally.falseFailures
              << " false failures, " << tally.doubles << " double registrations, "
              << tally.inconsistencies << " inconsistencies\n";
}

std::vector<SweepCase> sweepCases() {
    std::vector<SweepCase> out;
    for (int type : {31, 33})
        for (const char *fault : {"comm", "noanswer", "lost", "paper"})
            for (Host host :
                 {Host::OperatorYes, Host::OperatorNo, Host::NoQuestions, Host::CallsAgain})
                out.push_back({type, fault, host});
    return out;
}

INSTANTIATE_TEST_SUITE_P(Sweep, FaultSweepTest, ::testing::ValuesIn(sweepCases()),
                         [](const auto &info) { return caseName(info.param); });

// Focused cases of the rule the sweep proves.
class RecoveryTest : public SaleRun {
  protected:
    void SetUp() override {
        SaleRun::SetUp();
        sale::answerOnlyQuestions(dialogs, answers);
    }
    json items() const { return printerState().at("items"); }
    bool logHas(const std::string &piece) const {
        for (const auto &l : logTexts())
            if (l.find(piece) != std::string::npos) return true;
        return false;
    }
};

// The item command answered 0 and the status read after it failed: the operator's yes does
// not sell the item a second time, and the call is a success.
TEST_F(RecoveryTest, AnItemWhoseStatusWasLostIsNotSoldAgain) {
    for (int type : {31, 33}) {
        SCOPED_TRACE(type);
        startSale(type);
        tiv::Variant open = openingParams();
        ASSERT_TRUE(AbreCupom(open));
        // The first status read after the item is the one that fails.
        const std::string item =
            type == 31 ? "EPSON_Fiscal_Vender_Item" : "EPSON_ESC_ECF_Fiscal_Vender_ItemEX";
        clearJournal();
        injectFault({{"kind", "comm"}, {"entry", "EPSON_Obter_Estado_Impressora"}});
        answers = {true, true};
        tiv::Variant p = itemParams(kItems[0]);
        EXPECT_TRUE(VendaItem(p));
        EXPECT_EQ(items().size(), 1u);
        EXPECT_EQ(sale::callsOf(journal(), item).size(), 1u);
        EXPECT_TRUE(logHas("executado pela impressora")) << "the log says why it was not sent";
        // The host calling again after a true answer sells a second unit, as it asks.
        p = itemParams(kItems[0]);
        EXPECT_TRUE(VendaItem(p));
        EXPECT_EQ(items().size(), 2u);
    }
}

// A discount the printer refuses leaves the item sold without it: false with the reason, and
// a repeat of the call does not sell the item again.
TEST_F(RecoveryTest, ARefusedItemDiscountIsAFailureAndTheItemIsNotSoldAgain) {
    for (int type : {31, 33}) {
        SCOPED_TRACE(type);
        startSale(type);
        tiv::Variant open = openingParams();
        ASSERT_TRUE(AbreCupom(open));
        SaleItem tooMuch = kItems[0];
        tooMuch.discount = 25.0; // more than the item's 20,00
        for (int call = 0; call < 2; ++call) {
            stMensagemTaa.clear();
            tiv::Variant p = itemParams(tooMuch);
            EXPECT_FALSE(VendaItem(p));
            EXPECT_NE(stMensagemTaa.find("Desconto do item A1"), std::string::npos)
                << stMensagemTaa;
            ASSERT_EQ(items().size(), 1u) << "call " << call;
            EXPECT_EQ(items()[0].at("discount"), 0);
        }
    }
}

// A closing that stopped after the card payment resumes with the cash: nothing paid twice, and
// the card payment it skipped keeps its place for the card voucher as one it sent would (the
// ESC/ECF family links the voucher by it; the classic one does not keep it). The card's row
// counts as paid whether the host marks it a cash-desk or a TEF movement.
TEST_F(RecoveryTest, AClosingCalledAgainResumesAfterThePaymentsTheReceiptHolds) {
    for (const auto &[type, cardRow] :
         {std::pair<int, const char *>{31, "E"}, {33, "E"}, {31, "T"}, {33, "T"}}) {
        SCOPED_TRACE(std::to_string(type) + " " + cardRow);
        startSale(type);
        tiv::Variant open = openingParams();
        ASSERT_TRUE(AbreCupom(open));
        tiv::Variant p = itemParams(kItems[0]);
        ASSERT_TRUE(VendaItem(p));
        const std::string pay =
            type == 31 ? "EPSON_Fiscal_Pagamento" : "EPSON_ESC_ECF_Fiscal_PagamentoEX";
        injectFault({{"kind", "noanswer"}, {"entry", pay}, {"at", 2}});
        const tiv::Variant args = closingArgs({{"002", 15.0, cardRow}, {"001", 5.0}});
        EXPECT_FALSE(closeWith(args));
        EXPECT_EQ(printerState().at("doc").at("payments").size(), 1u);
        clearJournal();
        inIndiceReceb = 0; // as a new session would find it
        EXPECT_TRUE(closeWith(args));
        EXPECT_EQ(inIndiceReceb, type == 31 ? 0 : 1);
        const auto sent = sale::callsOf(journal(), pay);
        ASSERT_EQ(sent.size(), 1u) << "only the cash is sent";
        EXPECT_EQ(printerState().at("docState"), "0");
        EXPECT_EQ(printerState().at("last").at("payments").size(), 2u);
    }
}

// A closing whose closing command's answer is lost is a sale done: true, and a second call
// sends nothing.
TEST_F(RecoveryTest, AClosingThePrinterCarriedOutIsASuccess) {
    startSale(33);
    tiv::Variant open = openingParams();
    ASSERT_TRUE(AbreCupom(open));
    tiv::Variant p = itemParams(kItems[0]);
    ASSERT_TRUE(VendaItem(p));
    injectFault({{"kind", "lost"}, {"entry", "EPSON_ESC_ECF_Fiscal_Fechar_CupomEX"}});
    const tiv::Variant args = closingArgs({{"002", 20.0}});
    EXPECT_TRUE(closeWith(args));
    EXPECT_EQ(printerState().at("docState"), "0");
    EXPECT_EQ(printerState().at("counters").at("ccf"), 1);
}

// What a closing refuses before anything reaches the printer.
TEST_F(RecoveryTest, ABrokenClosingCallIsRefusedBeforeAnyPrinterCall) {
    startSale(33);
    tiv::Variant open = openingParams();
    ASSERT_TRUE(AbreCupom(open));
    tiv::Variant p = itemParams(kItems[0]);
    ASSERT_TRUE(VendaItem(p));
    tiv::Variant nanTax = closingArgs({{"002", 20.0}});
    nanTax.at(51) = std::nan("");
    // (The sale's datasets refuse such a number themselves.)
    tiv::Variant infiniteDiscount = closingArgs({{"002", 20.0}});
    infiniteDiscount.at(6) = HUGE_VAL;
    struct Case {
        const char *name;
        tiv::Variant args, result;
        const char *named;
    } cases[] = {
        {"EmptyList", tiv::Variant::array(0), tiv::Variant::array(4), "lista de argumentos"},
        {"NotAList", tiv::Variant("x"), tiv::Variant::array(4), "lista de argumentos"},
        {"ShortResult", closingArgs({{"002", 20.0}}), tiv::Variant::array(3), "4 elementos"},
        {"NoResult", closingArgs({{"002", 20.0}}), tiv::Variant(), "4 elementos"},
        {"NotANumberTax", nanTax, tiv::Variant::array(4), "Tributo federal"},
        {"InfiniteDiscount", infiniteDiscount, tiv::Variant::array(4), "Desconto do subtotal"},
    };
    for (auto &c : cases) {
        SCOPED_TRACE(c.name);
        clearJournal();
        stMensagemTaa.clear();
        EXPECT_FALSE(FechaCupom(c.args, nullptr, c.result));
        EXPECT_EQ(journal(), json::array());
        EXPECT_NE(stMensagemTaa.find(c.named), std::string::npos) << stMensagemTaa;
        EXPECT_EQ(printerState().at("docState"), "1");
    }
}

// Amounts that are not numbers never reach the printer or the paper.
TEST_F(RecoveryTest, AnItemWithAnAmountThatIsNotANumberIsRefused) {
    startSale(31);
    tiv::Variant open = openingParams();
    ASSERT_TRUE(AbreCupom(open));
    for (double SaleItem::*field : {&SaleItem::quantity, &SaleItem::price, &SaleItem::discount}) {
        for (double bad : {std::nan(""), HUGE_VAL, -HUGE_VAL}) {
            SaleItem item = kItems[0];
            item.*field = bad;
            clearJournal();
            tiv::Variant p = itemParams(item);
            EXPECT_FALSE(VendaItem(p));
            EXPECT_EQ(journal(), json::array());
        }
    }
    EXPECT_EQ(items().size(), 0u);
}

// A host calling from two threads gets one call after the other: a second call waits while
// the first one waits for the operator.
TEST_F(RecoveryTest, CallsFromTwoThreadsRunOneAfterTheOther) {
    startSale(31);
    boNUtilTaa = true;
    std::mutex m;
    std::condition_variable cv;
    bool inDialog = false, release = false;
    std::atomic<bool> secondDone{false};
    tivhost::setDialogHandler([&](const tivhost::Dialog &) {
        std::unique_lock lock(m);
        inDialog = true;
        cv.notify_all();
        cv.wait(lock, [&] { return release; });
        return false;
    });
    // No receipt is open: the item is refused and the operator is asked.
    std::thread first([&] {
        tiv::Variant p = itemParams(kItems[0]);
        (void)VendaItem(p);
    });
    {
        std::unique_lock lock(m);
        cv.wait(lock, [&] { return inDialog; });
    }
    std::thread second([&] {
        std::string number;
        (void)ContadorCupomFiscalMFD("001", number);
        secondDone = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_FALSE(secondDone) << "the second call ran while the first was in progress";
    {
        std::lock_guard lock(m);
        release = true;
    }
    cv.notify_all();
    first.join();
    second.join();
    EXPECT_TRUE(secondDone);
}

// The printer's account of the document is read strictly: a reply that is not the documented
// one, or an item count that is neither the count before the item nor after it, leaves the
// outcome unknown, so the item is not sent again, though the operator asks for it; once the
// printer answers properly, the host's repeat finds the item sold.
TEST_F(RecoveryTest, AnUnreadableAccountOfTheReceiptSendsNothingAgain) {
    const std::string good = "1000001000000000100000000000000000000";
    ASSERT_EQ(good.size(), 37u);
    const std::string replies[] = {
        good.substr(0, 36),                      // short
        "1000001000000000X00000000000000000000", // a letter among the digits
        "1000001000000000120000000000000000000", // a flag that is not 0 or 1
        "9000001000000000100000000000000000000", // no such document state
        std::string(37, ' '),                    // blanks
        "1000001000000000300000000000000000000", // three items where one is pending
    };
    for (const auto &reply : replies) {
        SCOPED_TRACE(reply);
        startSale(31);
        tiv::Variant open = openingParams();
        ASSERT_TRUE(AbreCupom(open));
        injectFault({{"kind", "lost"}, {"entry", "EPSON_Fiscal_Vender_Item"}});
        injectFault({{"kind", "reply"},
                     {"entry", "EPSON_Obter_Informacao_Ultimo_Documento"},
                     {"text", reply},
                     {"persistent", true}});
        answers = {true};
        tiv::Variant p = itemParams(kItems[0]);
        EXPECT_FALSE(VendaItem(p));
        ECFSIM_ClearFaults();
        clearJournal();
        p = itemParams(kItems[0]);
        EXPECT_TRUE(VendaItem(p));
        EXPECT_TRUE(sale::callsOf(journal(), "EPSON_Fiscal_Vender_Item").empty());
        EXPECT_EQ(items().size(), 1u);
    }
}

} // namespace
