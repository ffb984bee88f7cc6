// Set-up controls: counters and GT, table slots, forced replies and Z reductions put the printer
// into a given state, durably, without running the days that lead there.
#include <functional>
#include <utility>

#include "fixture.h"

namespace {

using nlohmann::json;

class SetupTest : public PrinterTest {
  protected:
    int32_t setCounters(const json &c) { return ECFSIM_SetCounters(c.dump().c_str()); }
    int32_t setTables(const json &t) { return ECFSIM_SetTables(t.dump().c_str()); }
    int32_t record(const json &r) { return ECFSIM_RecordReduction(r.dump().c_str()); }
    std::string lastError() { return json::parse(ECFSIM_LastError()).at("error"); }
    // Reopening the folder reads everything back from the database.
    void reopen() { ASSERT_EQ(ECFSIM_OpenFolder(dir.c_str()), 0) << ECFSIM_LastError(); }
    std::string gt() {
        return reply(20, [](char *b) { return EPSON_Obter_GT(b); });
    }
    std::string escData(const char *index) {
        return reply(1024, [index](char *b) { return EPSON_ESC_ECF_Obter_Dados("1", index, b); });
    }
    std::string taxTable() {
        return reply(553, [](char *b) { return EPSON_Obter_Tabela_Aliquotas(b); });
    }
    std::string lastZ() {
        return reply(1167, [](char *b) { return EPSON_Obter_Dados_Ultima_RZ(b); });
    }
    // The two buffers of the gross-sales reply: the day's, the last reduction's.
    std::pair<std::string, std::string> grossSales() {
        std::string b1(16, ' '), b2(16, ' ');
        EXPECT_EQ(EPSON_Obter_Venda_Bruta(b1.data(), b2.data()), 0);
        return {b1.c_str(), b2.c_str()};
    }
    void sellOne() {
        ASSERT_EQ(EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2), 0);
        ASSERT_EQ(EPSON_Fiscal_Vender_Item("1", "A", "0001000", 3, "UN", "00010000", 3, "Ta", 1),
                  0);
        ASSERT_EQ(EPSON_Fiscal_Pagamento("Dinheiro", "0000000001000", 2, "", ""), 0);
        ASSERT_EQ(EPSON_Fiscal_Fechar_Cupom(1, 0), 0);
    }
};

TEST_F(SetupTest, EveryCounterAndTheGtSetOnItsOwnAndKept) {
    ASSERT_EQ(setCounters({{"coo", 1234},
                           {"ccf", 567},
                           {"gnf", 89},
                           {"grg", 12},
                           {"cdc", 3},
                           {"crz", 41},
                           {"cro", 2},
                           {"cfc", 7},
                           {"lx", 9},
                           {"gt", 987654321}}),
              0)
        << ECFSIM_LastError();
    reopen();
    EXPECT_EQ(counters().substr(0, 54), "001234000041000002000089000003000007000012000567000009");
    EXPECT_EQ(gt(), "000000000987654321");
    EXPECT_EQ(escData("05"), "05000000567");

    // One counter changed alone leaves the others as they were; the printer counts on from
    // the values set.
    ASSERT_EQ(setCounters({{"gnf", 500}}), 0);
    EXPECT_EQ(counter("ccf"), 567);
    EXPECT_EQ(counter("gnf"), 500);
    ASSERT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
    sellOne();
    EXPECT_EQ(counter("coo"), 1235);
    EXPECT_EQ(counter("ccf"), 568);
    EXPECT_EQ(gt(), "000000000987655321");
}

TEST_F(SetupTest, RefusedSetUpsChangeNothingAndSayWhy) {
    const json before = state();
    const struct {
        const char *name;
        std::function<int32_t()> call;
        std::string why;
    } cases[] = {
        {"UnknownCounter",
         [&] {
             return setCounters({{"coo", 1}, {"xyz", 2}});
         },
         "\"xyz\""},
        {"CounterTooLarge",
         [&] {
             return setCounters({{"coo", 1000000}});
         },
         "coo"},
        {"Negative",
         [&] {
             return setCounters({{"gt", -1}});
         },
         "gt"},
        {"NotAnObject", [] { return ECFSIM_SetCounters("[1]"); }, "object"},
        {"BadJson", [] { return ECFSIM_SetTables("{"); }, "parse"},
        {"SlotOutside",
         [&] {
             return setTables({{"payments", {{{"slot", 21}, {"name", "X"}}}}});
         },
         "slot 21"},
        {"KindNotALetter",
         [&] {
             return setTables({{"taxRates", {{{"slot", 1}, {"kind", "1"}, {"rate", 5}}}}});
         },
         "letter"},
        {"NameTooLong",
         [&] {
             return setTables({{"nonFiscal", {{{"slot", 1}, {"name", std::string(16, 'N')}}}}});
         },
         "longer than 15"},
        // The first slot is valid, the second is not: neither is kept.
        {"HalfValid",
         [&] {
             return setTables(
                 {{"payments", {{{"slot", 5}, {"name", "Pix"}}, {{"slot", 6}, {"name", 3}}}}});
         },
         "type"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(c.call(), -1) << c.name;
        EXPECT_NE(lastError().find(c.why), std::string::npos) << c.name << ": " << lastError();
        EXPECT_EQ(state(), before) << c.name;
    }

    ASSERT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
    ASSERT_EQ(EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2), 0);
    EXPECT_EQ(setCounters({{"coo", 5}}), -1);
    EXPECT_NE(lastError().find("document is open"), std::string::npos);
    EXPECT_EQ(result(), "0000") << "a set-up leaves the last command's result";
}

TEST_F(SetupTest, TableSlotsBlankOfAnyKindAndRateZero) {
    ASSERT_EQ(
        setTables(
            {{"taxRates",
              {{{"slot", 2}},
               {{"slot", 3}, {"kind", "X"}, {"rate", 0}},
               {{"slot", 6}, {"kind", "S"}, {"rate", 250}, {"base", 1234}}}},
             {"payments",
              {{{"slot", 1}}, {{"slot", 4}, {"name", "Pix"}, {"linked", true}, {"total", 990}}}},
             {"nonFiscal", {{{"slot", 3}, {"name", "TROCO"}, {"direction", "S"}, {"count", 2}}}}}),
        0)
        << ECFSIM_LastError();
    reopen();
    const std::string taxes = taxTable();
    // Slot 1 as it was, 2 blank, 3 of kind X at 00.00, 4 as it was, 5 blank, 6 of kind S.
    EXPECT_EQ(taxes.substr(0, 6), "Ta1800");
    EXPECT_EQ(taxes.substr(23, 6), "Tb0000");
    EXPECT_EQ(taxes.substr(46, 6), "Xc0000");
    EXPECT_EQ(taxes.substr(69, 6), "Sd0500");
    EXPECT_EQ(taxes.substr(92, 6), "Te0000");
    EXPECT_EQ(taxes.substr(115, 23), "Sf025000000000000001234");
    EXPECT_EQ(taxes.substr(138, 2), "F1");

    const std::string pays = reply(881, [](char *b) { return EPSON_Obter_Tabela_Pagamentos(b); });
    EXPECT_EQ(pays.substr(0, 2), "02") << "slot 1 is blank now";
    EXPECT_EQ(pays.substr(44, 30), "04Pix            0000000000990");
    EXPECT_EQ(pays.substr(44 + 30, 1), "1");

    const std::string nf = reply(681, [](char *b) { return EPSON_Obter_Tabela_NaoFiscais(b); });
    EXPECT_EQ(nf.substr(0, 17), "01RECEBIMENTO    ");
    EXPECT_EQ(nf.substr(34, 17), "02               ");
    EXPECT_EQ(nf.substr(68, 34), "03TROCO          00000000000000002");

    // The fiscal rules work on what was set: the blank rate slot cannot be sold at, the rate of
    // kind X can, and a payment goes to the new slot by name.
    ASSERT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
    ASSERT_EQ(EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2), 0);
    EXPECT_EQ(EPSON_Fiscal_Vender_Item("1", "A", "0001000", 3, "UN", "00001000", 3, "Tb", 1), 1);
    EXPECT_EQ(result(), "0305");
    EXPECT_EQ(EPSON_Fiscal_Vender_Item("1", "A", "0001000", 3, "UN", "00001000", 3, "Tc", 1), 0);
    EXPECT_EQ(EPSON_Fiscal_Pagamento("PIX", "0000000000100", 2, "", ""), 0);
    EXPECT_EQ(EPSON_Fiscal_Fechar_Cupom(1, 0), 0);
}

TEST_F(SetupTest, ForcedReplyForTheNextCallsThenThePrintersOwn) {
    const std::string own = counters();
    const std::string forced = "  weird \x01 text";
    ASSERT_GE(ECFSIM_InjectFault(json({{"kind", "reply"},
                                       {"entry", "EPSON_Obter_Contadores"},
                                       {"text", forced},
                                       {"count", 2}})
                                     .dump()
                                     .c_str()),
              1)
        << ECFSIM_LastError();
    EXPECT_EQ(counters(), forced);
    EXPECT_EQ(counters(), forced);
    EXPECT_EQ(counters(), own);

    // Every buffer of a multi-buffer reply, a NUL inside a text, a chosen return code, and
    // until cleared.
    ASSERT_GE(ECFSIM_InjectFault(json({{"kind", "reply"},
                                       {"entry", "EPSON_Obter_Venda_Bruta"},
                                       {"texts",
                                        {std::string("12\0"
                                                     "34",
                                                     5),
                                         "000000000000099"}},
                                       {"persistent", true},
                                       {"return", 1}})
                                     .dump()
                                     .c_str()),
              1);
    for (int i = 0; i < 3; ++i) {
        std::string b1(16, '#'), b2(16, '#');
        EXPECT_EQ(EPSON_Obter_Venda_Bruta(b1.data(), b2.data()), 1);
        EXPECT_EQ(b1.substr(0, 6), std::string("12\0"
                                               "34\0",
                                               6));
        EXPECT_EQ(b1.substr(6), std::string(10, '#')) << "nothing past the text and its NUL";
        EXPECT_EQ(std::string(b2.c_str()), "000000000000099");
    }
    ASSERT_EQ(ECFSIM_ClearFaults(), 0);
    EXPECT_EQ(grossSales().first, "00000000000000");

    // The whole status text, flags of the daylight-saving byte.
    ASSERT_GE(ECFSIM_InjectFault(R"({"kind":"reply","entry":"EPSON_Obter_Estado_Impressora",
                                     "text":"                    "})"),
              1);
    EXPECT_EQ(status(), std::string(20, ' '));
    ASSERT_GE(ECFSIM_InjectFault(
                  R"({"kind":"reply","entry":"EPSON_Obter_Estado_Horario_Verao","text":"1"})"),
              1);
    uint8_t dst = 0;
    EXPECT_EQ(EPSON_Obter_Estado_Horario_Verao(&dst), 0);
    EXPECT_EQ(dst, 1);
    const json journal = json::parse(ECFSIM_Journal());
    EXPECT_EQ(journal.back().at("fault"), "reply");
}

TEST_F(SetupTest, ForcedRepliesThatCouldNotBeWrittenAreRefused) {
    for (const char *bad : {
             R"({"kind":"reply","entry":"EPSON_Obter_GT","text":"123456789012345678901"})",
             R"({"kind":"reply","entry":"EPSON_Obter_Hora_Relogio","text":"010320240930001"})",
             R"({"kind":"reply","entry":"EPSON_Obter_GT","texts":["1","2"]})",
             R"({"kind":"reply","entry":"EPSON_Fiscal_Abrir_Cupom","text":"x"})",
             R"({"kind":"reply","text":"x"})",
             R"({"kind":"reply","entry":"EPSON_Obter_GT"})",
             R"({"kind":"reply","entry":"EPSON_Obter_Estado_Horario_Verao","text":"2"})",
         }) {
        EXPECT_EQ(ECFSIM_InjectFault(bad), -1) << bad;
        EXPECT_FALSE(lastError().empty()) << bad;
    }
    EXPECT_EQ(gt(), "000000000000000000");
}

TEST_F(SetupTest, ReductionsRecordedAsAZWouldLeaveThem) {
    // A new printer has no reduction: zeros throughout, its date and rate count included.
    EXPECT_EQ(lastZ(), std::string(1167, '0'));
    EXPECT_EQ(grossSales().second, "00000000000000");
    ASSERT_EQ(setCounters({{"crz", 39}, {"coo", 1000}}), 0);
    ASSERT_EQ(record({{"date", "2024-02-27"}}), 0) << ECFSIM_LastError();
    ASSERT_EQ(record({{"date", "2024-02-28"},
                      {"gt", 1234567},
                      {"counters", {{"ccf", 900}, {"gnf", 77}, {"cfc", 2}}},
                      {"day",
                       {{"gross", 150000},
                        {"cancelled", 1000},
                        {"discounts", 500},
                        {"surcharges", 200},
                        {"substitution", 3000}}},
                      {"rates", {{{"slot", 1}, {"kind", "T"}, {"rate", 1800}, {"base", 120000}}}},
                      {"madeAt", "235900"}}),
              0)
        << ECFSIM_LastError();
    reopen();

    const json memory = json::parse(ECFSIM_FiscalMemory());
    ASSERT_EQ(memory.size(), 2u);
    EXPECT_EQ(memory[0].at("crz"), 40);
    EXPECT_EQ(memory[0].at("date"), "27022024");
    EXPECT_EQ(memory[1].at("crz"), 41);
    EXPECT_EQ(memory[1].at("coo"), 1002);

    const std::string z = lastZ();
    EXPECT_EQ(z.substr(0, 14), "28022024235900");
    EXPECT_EQ(z.substr(20, 6), "001002");
    EXPECT_EQ(z.substr(28, 4), "0041");
    EXPECT_EQ(z.substr(32, 6), "000900");
    EXPECT_EQ(z.substr(38, 6), "000077");
    EXPECT_EQ(z.substr(86, 18), "000000000001234567");
    EXPECT_EQ(z.substr(104, 17), "00000000000001000");
    EXPECT_EQ(z.substr(155, 17), "00000000000000500");
    EXPECT_EQ(z.substr(206, 17), "00000000000000200");
    EXPECT_EQ(z.substr(257, 5), "T1800");
    EXPECT_EQ(z.substr(383, 17), "00000000000120000");
    EXPECT_EQ(z.substr(1159, 8), "28022024");
    EXPECT_EQ(grossSales().second, "00000000150000");
    EXPECT_EQ(grossSales().first, "00000000000000") << "the day's totals start again";

    // The printer goes on from there: today's day opens, sells and reduces as CRZ 42.
    EXPECT_EQ(counter("crz"), 41);
    ASSERT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
    sellOne();
    ASSERT_EQ(EPSON_RelatorioFiscal_RZEx(2), 0);
    EXPECT_EQ(lastZ().substr(28, 4), "0042");
    EXPECT_EQ(lastZ().substr(86, 18), "000000000001235567");
}

TEST_F(SetupTest, ReductionsOutOfOrderOrOverAnOpenDayAreRefused) {
    ASSERT_EQ(record({{"date", "2024-02-20"}}), 0) << ECFSIM_LastError();
    const json before = state();
    for (const json &bad :
         {json{{"date", "2024-02-20"}}, json{{"date", "2024-02-19"}}, json{{"date", "2024-03-02"}},
          json{{"date", "2024-02-21"}, {"crz", 1}}, json{{"date", "2024-02-30"}},
          json{{"counters", {{"crz", 5}}}}, json{{"date", "2024-02-21"}, {"madeAt", "9am"}}}) {
        EXPECT_EQ(record(bad), -1) << bad;
        EXPECT_EQ(state(), before) << bad;
    }
    EXPECT_EQ(json::parse(ECFSIM_FiscalMemory()).size(), 1u);

    // An open day is reduced under its own date, with what it sold.
    ASSERT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
    sellOne();
    EXPECT_EQ(record({{"date", "2024-02-29"}}), -1);
    EXPECT_NE(lastError().find("is open"), std::string::npos);
    ASSERT_EQ(record(json::object()), 0) << ECFSIM_LastError();
    EXPECT_EQ(lastZ().substr(1159, 8), "01032024");
    EXPECT_EQ(reply(67, [](char *b) { return EPSON_Obter_Dados_Jornada(b); })[64], '0');
    EXPECT_EQ(grossSales().second, "00000000001000");
}

} // namespace
