// Formata_rodape: the receipt footer composed within its line budget.
#include <memory>
#include <string>
#include <vector>

#include "fixture.h"
#include "tivplatform/dataset.h"
#include "tivplatform/stringlist.h"

namespace {

const std::string kContact = "Tiv02000 - suporte: suporte@tiv02000.example";

// A 100-character free message without line feeds.
std::string hundred() {
    std::string s;
    for (int i = 0; i < 10; ++i)
        s += "0123456789";
    return s;
}

std::string centred40(const std::string &s) {
    const size_t left = (40 - s.size()) / 2;
    return std::string(left, ' ') + s + std::string(40 - s.size() - left, ' ');
}

struct FooterCall {
    int maxLines = 8;
    std::string balanceMode, firstLine, secondLine, taxLine = "TAX", lotteryLine;
    std::string customerCode, customerName, consumerCode, consumerName;
    std::string operatorCode = "7", operatorName = "Rui";
    std::string tableLine, passwordLine, freeMessage;
    std::string ecfNumber, cerCounter, receiptNumber;
    std::string familyMode, layout = "2";
    double familyBalanceTotal = 0, subsidisedPrice = 0;
    tiv::TClientDataSet *balances = nullptr, *familyBalances = nullptr, *movements = nullptr;
    bool printExtraLines = false;
    tiv::TStringList *extraLines = nullptr;
    std::string pointsLine, extraPointsLine, afterFamilyText, dailyBalance, fidelityLine;
};

std::string compose(const FooterCall &f) {
    return Formata_rodape(
        f.maxLines, f.balanceMode, f.firstLine, f.secondLine, f.taxLine, f.lotteryLine,
        f.customerCode, f.customerName, f.consumerCode, f.consumerName, f.operatorCode,
        f.operatorName, f.tableLine, f.passwordLine, "u15", "u16", "u17", f.freeMessage,
        f.ecfNumber, f.cerCounter, f.receiptNumber, f.familyMode, f.layout, f.familyBalanceTotal,
        f.subsidisedPrice, 99.0, f.balances, f.familyBalances, f.movements, f.printExtraLines,
        f.extraLines, f.pointsLine, f.extraPointsLine, f.afterFamilyText, f.dailyBalance,
        f.fidelityLine);
}

// Customer, consumer and table lines: three lines of the budget.
FooterCall withPeople(FooterCall f) {
    f.customerCode = "C1";
    f.customerName = "Ana";
    f.consumerCode = "K1";
    f.consumerName = "Bia";
    f.tableLine = "MESA12";
    return f;
}

const std::string kPeople = "Cliente: C1 - Ana\nConsumidor : K1 - Bia\nMESA12\n";

struct FooterCase {
    const char *name;
    FooterCall call;
    std::string expected;
};

class FooterTest : public DriverTest, public ::testing::WithParamInterface<FooterCase> {};

TEST_P(FooterTest, ComposesWithinTheLineBudget) {
    EXPECT_EQ(compose(GetParam().call), GetParam().expected);
}

FooterCase budget(const char *name, FooterCall f, std::string expected) {
    return {name, std::move(f), std::move(expected)};
}

std::vector<FooterCase> footerCases() {
    std::vector<FooterCase> cases;
    FooterCall points = withPeople({});
    points.pointsLine = "P150";
    // Tax line alone spends 3: customer, consumer, table, points and the
    // contact line fill 8, the operator line no longer fits.
    cases.push_back(budget("TaxLineSpendsThree", points,
                           "TAX\n" + kPeople + centred40("P150") + "\n" + kContact + "\n"));
    FooterCall lottery = points;
    lottery.lotteryLine = "LOT";
    // With the lottery line 5 are spent: only three further lines fit.
    cases.push_back(budget("LotteryLineSpendsFive", lottery, "TAX\nLOT\n" + kPeople));
    FooterCall second = points;
    second.secondLine = "L2";
    cases.push_back(budget("SecondLineSpendsOneMore", second,
                           "L2\nTAX\n" + kPeople + centred40("P150") + "\n"));

    FooterCall twoFree = withPeople({});
    twoFree.freeMessage = hundred();
    cases.push_back(budget("HundredCharactersWithTwoFreeCutTo96", twoFree,
                           "TAX\n" + kPeople + hundred().substr(0, 96) + "\n"));
    FooterCall oneFree = withPeople({});
    oneFree.tableLine.clear();
    oneFree.lotteryLine = "LOT";
    oneFree.freeMessage = hundred();
    cases.push_back(budget("OneFreeLineCutTo48", oneFree,
                           "TAX\nLOT\nCliente: C1 - Ana\nConsumidor : K1 - Bia\n" +
                               hundred().substr(0, 48) + "\n"));
    FooterCall fits;
    fits.freeMessage = "Volte sempre";
    cases.push_back(budget("MessageThatFitsThenContactAndOperator", fits,
                           "TAX\nVolte sempre\n" + kContact + "\nOperador: 7 - Rui\n"));
    FooterCall shortMany = withPeople({});
    shortMany.freeMessage = "a\nb\nc\nd";
    // Four short lines counted as 3 with 2 free: printed whole, they spend
    // one line of 48 columns.
    cases.push_back(budget("ShortMessageOfManyLinesPrintedWhole", shortMany,
                           "TAX\n" + kPeople + "a\nb\nc\nd\n" + kContact + "\n"));

    FooterCall conference = points;
    conference.ecfNumber = "001";
    conference.cerCounter = "000042";
    conference.receiptNumber = "000123";
    cases.push_back(budget("ConferenceLineSpendsOne", conference,
                           "TAX\nECF:001-Conf.Mesa -CER: 000042- COO: 000123\n" + kPeople +
                               centred40("P150") + "\n"));
    FooterCall halfConference = conference;
    halfConference.cerCounter = " ";
    cases.push_back(budget("ConferenceLineNeedsCerAndCoo", halfConference,
                           "TAX\n" + kPeople + centred40("P150") + "\n" + kContact + "\n"));

    FooterCall balances;
    balances.balanceMode = "1";
    balances.familyMode = "0";
    balances.familyBalanceTotal = 12.5;
    balances.subsidisedPrice = 3;
    balances.fidelityLine = "  ";
    balances.extraPointsLine = "X20";
    cases.push_back(budget("BalanceSubsidyAndExtraPoints", balances,
                           "TAX\nSaldo Final :   12,50\nPre\xE7o subsidiado: 3,00 - \n" +
                               centred40("X20") + "\n" + kContact + "\nOperador: 7 - Rui\n"));
    FooterCall mode2 = balances;
    mode2.balanceMode = "2";
    mode2.familyMode = "1";
    mode2.subsidisedPrice = 0;
    mode2.extraPointsLine.clear();
    mode2.fidelityLine = "Desconto";
    cases.push_back(budget("BalanceModeTwo", mode2,
                           "TAX\nSaldo Final :   12,50\n" + centred40("Desconto") + "\n" +
                               kContact + "\nOperador: 7 - Rui\n"));
    FooterCall noBalance = mode2;
    noBalance.familyMode = "2";
    noBalance.fidelityLine.clear();
    cases.push_back(budget("FamilyModeTwoHasNoBalance", noBalance,
                           "TAX\n" + kContact + "\nOperador: 7 - Rui\n"));

    FooterCall agreement = withPeople({});
    agreement.layout = "1";
    agreement.lotteryLine = "LOT";
    agreement.familyBalanceTotal = 12.5;
    agreement.subsidisedPrice = 3;
    agreement.passwordLine = "PW";
    agreement.pointsLine = "P150";
    agreement.freeMessage = "Volte";
    // No budget: every line is printed; points are not part of this layout.
    const std::string agreementLines =
        "TAX\nLOT\nConv\xEAnio ..: C1 - Ana\nConsumidor : K1 - Bia\nSaldo Final :  - 12,50\n"
        "Pre\xE7o subsidiado: - 3,00\nMESA12PW\nOperador: 7 - Rui\n" +
        kContact + "\n";
    cases.push_back(budget("AgreementLayout", agreement, agreementLines + "Volte"));
    FooterCall agreementLong = agreement;
    agreementLong.freeMessage = "a\nb\nc";
    cases.push_back(budget("AgreementLayoutDropsLongMessage", agreementLong, agreementLines));

    FooterCall unknown = conference;
    unknown.firstLine = "F";
    unknown.lotteryLine = "LOT";
    unknown.layout = "3";
    unknown.freeMessage = "Volte";
    cases.push_back(budget("UnknownLayoutFirstStepsOnly", unknown,
                           "FTAX\nLOT\nECF:001-Conf.Mesa -CER: 000042- COO: 000123\n"));
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Footer, FooterTest, ::testing::ValuesIn(footerCases()),
                         [](const auto &info) { return std::string(info.param.name); });

std::unique_ptr<tiv::TClientDataSet> dataset(const std::vector<std::string> &fields,
                                             const std::vector<std::vector<tiv::Variant>> &rows) {
    auto ds = std::make_unique<tiv::TClientDataSet>("cds");
    for (const auto &f : fields)
        ds->addFieldDef(f, f.rfind("VR", 0) == 0 ? tiv::FieldType::Float : tiv::FieldType::String,
                        f.rfind("VR", 0) == 0 ? 0 : 40);
    ds->createDataSet();
    for (const auto &row : rows) {
        ds->append();
        for (size_t i = 0; i < fields.size(); ++i)
            ds->fieldByName(fields[i]).setAsVariant(row[i]);
        ds->post();
    }
    return ds;
}

std::string familyLine(const std::string &name, const std::string &balance) {
    return name + std::string(25 - name.size(), ' ') + std::string(22 - balance.size(), ' ') +
           balance + "\n";
}

class FooterFamilyTest : public DriverTest {
  protected:
    void SetUp() override {
        DriverTest::SetUp();
        balances =
            dataset({"CDFAMILISALD", "NMFAMILISALD", "VRSALDCONFAM"}, {{"F1", "Carnes", 100.0},
                                                                       {"F2", "Bebidas", 0.0},
                                                                       {"F3", "Padaria", 50.0},
                                                                       {"F4", "Frios", 20.0}});
        familyBalances = dataset({"CDFAMILISALD", "VRSALDCONFAM"}, {{"F1", 30.0}, {"F4", 2.0}});
        movements =
            dataset({"CDFAMILISALD", "IDTPMOVEXT", "VRMOVEXTCONS"},
                    {{"F1", "C", 1.0}, {"F1", "D", 5.0}, {"F3", "C", 7.0}, {"F4", "C", 3.0}});
        call.balanceMode = "1";
        call.familyMode = "1";
        call.afterFamilyText = "FIM";
        call.balances = balances.get();
        call.familyBalances = familyBalances.get();
        call.movements = movements.get();
    }
    std::unique_ptr<tiv::TClientDataSet> balances, familyBalances, movements;
    FooterCall call;
};

TEST_F(FooterFamilyTest, OneLinePerFamilyLessItsBalanceAndMovement) {
    // F1: 100 - 30 - debit 5; F2 has no balance; F3 has no family row, so
    // its credit movement is ignored; F4: 20 - 2 - credit 3.
    EXPECT_EQ(compose(call), "TAX\n" + familyLine("Carnes", "65,00") +
                                 familyLine("Padaria", "50,00") + familyLine("Frios", "15,00") +
                                 "FIM\n" + kContact + "\n");
}

TEST_F(FooterFamilyTest, LinesThatDoNotFitAreLeftOutTogether) {
    call.lotteryLine = "LOT";
    call.customerCode = "C1";
    call.customerName = "Ana";
    // Two lines left for three families: none is printed, the text after
    // them still is.
    EXPECT_EQ(compose(call), "TAX\nLOT\nCliente: C1 - Ana\nFIM\n" + kContact + "\n");
}

TEST_F(FooterFamilyTest, EmptyBalancesStillPrintTheTextAfter) {
    balances->emptyDataSet();
    EXPECT_EQ(compose(call), "TAX\nFIM\n" + kContact + "\nOperador: 7 - Rui\n");
}

class FooterExtraLinesTest : public DriverTest {};

TEST_F(FooterExtraLinesTest, EachSpendsOneLine) {
    tiv::TStringList extra;
    extra.add("E1\nE2");
    extra.add("E3");
    FooterCall f = withPeople({});
    f.printExtraLines = true;
    f.extraLines = &extra;
    // 3 + 3 extra lines leave room for customer and consumer only.
    EXPECT_EQ(compose(f), "TAX\nE1\nE2\nE3\nCliente: C1 - Ana\nConsumidor : K1 - Bia\n");
    f.printExtraLines = false;
    EXPECT_EQ(compose(f), "TAX\n" + kPeople + kContact + "\nOperador: 7 - Rui\n");
}

} // namespace
