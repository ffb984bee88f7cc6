// Cancellations: the last receipt (also without a readable receipt number), one item by its
// number, and the last item.
#include <algorithm>

#include "fixture.h"
#include "sale_helpers.h"

namespace {

using nlohmann::json;

class CancellationTest : public DriverTest {
  protected:
    void SetUp() override {
        DriverTest::SetUp();
        sale::answerOnlyQuestions(dialogs, answers);
        tivhost::Atu_TotGeral() = [this](const tiv::ParamArray &params) {
            reconciled.push_back(params);
            return true;
        };
    }
    void TearDown() override {
        tivhost::Atu_TotGeral() = nullptr;
        DriverTest::TearDown();
    }
    void startPrinter(int type) {
        StopImpFiscal();
        resetPrinter(sale::cardPrinter());
        ASSERT_TRUE(start(type));
        (void)EPSON_RelatorioFiscal_Abrir_Dia();
    }
    // The argument list of Cancela_Cupom_Imp, `size` elements long.
    static tiv::Variant cancelArgs(size_t size = 8, const char *record = "N") {
        tiv::Variant a = tiv::Variant::array(size);
        a.at(0) = "001";
        a.at(1) = true;
        a.at(2) = false;
        a.at(4) = "0001";
        a.at(5) = "002";
        a.at(6) = "EP0123456789";
        if (size > 7) a.at(7) = record;
        return a;
    }
    std::vector<tiv::Variant> reconciled;
};

TEST_F(CancellationTest, TheLastReceiptIsCancelledAndItsNumberHandedBack) {
    struct Case {
        int type;
        const char *number;
    } cases[] = {{31, "000001"}, {33, "000000001"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.type);
        startPrinter(c.type);
        reconciled.clear();
        ASSERT_TRUE(sale::closedSalePaidWith(c.type, "Dinheiro", "01"));
        clearJournal();
        tiv::Variant result = tiv::Variant::array(1);
        EXPECT_TRUE(Cancela_Cupom_Imp(cancelArgs(), result));
        EXPECT_EQ(result.at(0).toString(), c.number);
        EXPECT_EQ(printerState().at("counters").at("cfc"), 1) << "the printer cancelled it";
        EXPECT_EQ(sale::callsOf(journal(), "EPSON_Fiscal_Cancelar_Cupom").size(), 1u);
        EXPECT_EQ(sale::callsOf(journal(), "EPSON_NaoFiscal_Cancelar_CCD")[0].at("args"),
                  json({"", "", 0, "", c.number}));
        ASSERT_EQ(reconciled.size(), 1u);
        EXPECT_EQ(sale::paramNames(reconciled[0]),
                  (std::vector<std::string>{"CDFILIAL", "CDCAIXA", "NRSERIEIMP", "ESQUEMACOR",
                                            "IDVALIDA"}));
        EXPECT_EQ(sale::param(reconciled[0], "IDVALIDA"), "N");
        EXPECT_EQ(sale::recordedCodes().back(), "NC");
        const auto log = logTexts();
        EXPECT_NE(std::find(log.begin(), log.end(), "EPSON_Fiscal_Cancelar_Cupom"), log.end());
    }
}

// A card voucher left open after the receipt is cancelled and closed first; the receipt is
// then the one before the number read, and a list of seven elements records the cancellation.
TEST_F(CancellationTest, AnOpenCardVoucherIsClosedAndTheNumberBeforeItIsHandedBack) {
    for (int type : {31, 33}) {
        SCOPED_TRACE(type);
        startPrinter(type);
        ASSERT_TRUE(sale::closedSalePaidWith(type, "Cartao Credito", "02"));
        ASSERT_EQ(EPSON_NaoFiscal_Abrir_CCD("Cartao Credito", "0000000001000", 2, "1"), 0);
        ASSERT_EQ(sale::documentState(), "4");
        tiv::Variant result = tiv::Variant::array(1);
        EXPECT_TRUE(Cancela_Cupom_Imp(cancelArgs(7), result));
        EXPECT_EQ(result.at(0).toString(), type == 31 ? "000001" : "000000001");
        EXPECT_EQ(sale::documentState(), "0");
        EXPECT_EQ(printerState().at("counters").at("cfc"), 1);
        EXPECT_EQ(sale::recordedCodes().back(), "NC");
    }
}

// An unreadable receipt number cancels nothing; the host's reconciliation and the record still
// run.
TEST_F(CancellationTest, WithoutAReceiptNumberNothingIsCancelled) {
    startPrinter(31);
    ASSERT_TRUE(sale::closedSalePaidWith(31, "Dinheiro", "01"));
    injectFault({{"kind", "comm"}, {"entry", "EPSON_Obter_Contadores"}});
    clearJournal();
    tiv::Variant result = tiv::Variant::array(1);
    EXPECT_FALSE(Cancela_Cupom_Imp(cancelArgs(8, "S"), result));
    EXPECT_EQ(result.at(0).toString(), "");
    EXPECT_TRUE(sale::callsOf(journal(), "EPSON_Fiscal_Cancelar_Cupom").empty());
    EXPECT_EQ(reconciled.size(), 1u);
    EXPECT_TRUE(sale::recordedCodes().empty()) << "\"S\" records nothing";
}

// The printer refuses the cancellation (nothing to cancel): false, shown under the list's show
// flag, and the host's reconciliation and the record are still made.
TEST_F(CancellationTest, ARefusedCancellationStillReconcilesAndRecords) {
    for (int type : {31, 33}) {
        SCOPED_TRACE(type);
        startPrinter(type);
        reconciled.clear();
        dialogs.clear();
        tiv::Variant result = tiv::Variant::array(1);
        EXPECT_FALSE(Cancela_Cupom_Imp(cancelArgs(), result));
        EXPECT_FALSE(dialogs.empty());
        EXPECT_EQ(result.at(0).toString(), type == 31 ? "000000" : "000000000");
        EXPECT_EQ(printerState().at("counters").at("cfc"), 0);
        EXPECT_EQ(reconciled.size(), 1u);
        EXPECT_EQ(sale::recordedCodes().back(), "NC");
    }
}

TEST_F(CancellationTest, AnItemIsCancelledByTheFourCharactersFromPositionTwo) {
    for (int type : {31, 33}) {
        SCOPED_TRACE(type);
        startPrinter(type);
        ASSERT_EQ(EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2), 0);
        for (int i = 0; i < 2; ++i)
            ASSERT_EQ(
                EPSON_Fiscal_Vender_Item("1", "ITEM", "0001000", 3, "UN", "00010000", 3, "Ta", 1),
                0);
        clearJournal();
        EXPECT_TRUE(
            Cancela_ItGenerico("001", "X0002rest", L"", L"", L"", L"", L"", L"", L"", 0.0, 0.0));
        const char *entry =
            type == 31 ? "EPSON_Fiscal_Cancelar_Item" : "EPSON_ESC_ECF_Fiscal_Cancelar_ItemEX";
        ASSERT_EQ(sale::callsOf(journal(), entry).size(), 1u);
        EXPECT_EQ(sale::callsOf(journal(), entry)[0].at("args"), json({"0002"}));
        EXPECT_EQ(logTexts().back().substr(0, 35), "EPSON_Fiscal_Cancelar_Item : 0002");
        // The same item again is refused, without a dialog.
        EXPECT_FALSE(
            Cancela_ItGenerico("001", "X0002", L"", L"", L"", L"", L"", L"", L"", 0.0, 0.0));
        EXPECT_TRUE(dialogs.empty());
        const json items = printerState().at("items");
        EXPECT_FALSE(items[0].at("cancelled"));
        EXPECT_TRUE(items[1].at("cancelled"));
    }
}

// The last item: cancelled once; a second cancellation is refused and always shown.
TEST_F(CancellationTest, TheLastItemIsCancelledOnce) {
    startPrinter(31);
    ASSERT_EQ(EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2), 0);
    ASSERT_EQ(EPSON_Fiscal_Vender_Item("1", "ITEM", "0001000", 3, "UN", "00010000", 3, "Ta", 1), 0);
    boNUtilTaa = false;
    EXPECT_TRUE(Cancela_UltimoItem("001"));
    EXPECT_EQ(logTexts().back(), "EPSON_Fiscal_Cancelar_Ultimo_Item");
    EXPECT_FALSE(Cancela_UltimoItem("001"));
    EXPECT_FALSE(dialogs.empty()) << "the operator always sees the error";
    EXPECT_EQ(printerState().at("day").at("cancelled"), 1000);
}

} // namespace
