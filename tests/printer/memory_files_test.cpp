// The files the printer writes from its fiscal memory and its detail memory: the national ECF
// file of either memory, the detail memory's mirror, and what the detail memory keeps.
#include <fstream>
#include <sstream>
#include <vector>

#include <sqlite3.h>

#include "fixture.h"

namespace {

using nlohmann::json;

// The records of a file, each checked to end in CR LF.
std::vector<std::string> records(const std::string &text) {
    std::vector<std::string> out;
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find("\r\n", at);
        EXPECT_NE(end, std::string::npos) << "a record without CR LF";
        if (end == std::string::npos) break;
        out.push_back(text.substr(at, end - at));
        at = end + 2;
    }
    return out;
}

std::vector<std::string> ofType(const std::vector<std::string> &recs, const std::string &type) {
    std::vector<std::string> out;
    for (const auto &r : recs)
        if (r.compare(0, 3, type) == 0) out.push_back(r);
    return out;
}

std::string num(int64_t v, int width) {
    std::string s = std::to_string(v);
    return std::string(static_cast<std::size_t>(width) - s.size(), '0') + s;
}

std::string blankFilled(const std::string &s, std::size_t width) {
    return s + std::string(width - s.size(), ' ');
}

// ddmmyyyy to yyyymmdd
std::string key(const std::string &d) {
    return d.substr(4, 4) + d.substr(2, 2) + d.substr(0, 2);
}

class MemoryFilesTest : public PrinterTest {
  protected:
    // A sale of two items, the second cancelled, paid with change; prices in thousandths.
    void sale(const char *cpf, const char *name) {
        ASSERT_EQ(EPSON_Fiscal_Abrir_Cupom(cpf, name, "", "", 2), 0);
        ASSERT_EQ(
            EPSON_Fiscal_Vender_Item("7891", "ARROZ", "0002000", 3, "UN", "00010000", 3, "Ta", 1),
            0);
        ASSERT_EQ(
            EPSON_Fiscal_Vender_Item("7892", "FEIJAO", "0001000", 3, "KG", "00005500", 3, "Tb", 1),
            0);
        ASSERT_EQ(EPSON_Fiscal_Cancelar_Item("0002"), 0);
        ASSERT_EQ(EPSON_Fiscal_Pagamento("Dinheiro", "0000000005000", 2, "", ""), 0);
        ASSERT_EQ(EPSON_Fiscal_Fechar_Cupom(1, 0), 0);
    }
    // Two days, each with a sale and its Z reduction; the second also sells at the exempt code.
    void twoDays() {
        ASSERT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
        sale("12345678909", "FULANO");
        ASSERT_EQ(EPSON_RelatorioFiscal_RZEx(2), 0);
        ASSERT_EQ(ECFSIM_SetClock("2024-03-02 10:00:00"), 0);
        ASSERT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
        sale("", "");
        ASSERT_EQ(EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2), 0);
        ASSERT_EQ(EPSON_Fiscal_Vender_Item("9", "LEITE", "0001000", 3, "UN", "00004000", 3, "I", 1),
                  0);
        ASSERT_EQ(EPSON_Fiscal_Pagamento("Dinheiro", "0000000000400", 2, "", ""), 0);
        ASSERT_EQ(EPSON_Fiscal_Fechar_Cupom(1, 0), 0);
        ASSERT_EQ(EPSON_RelatorioFiscal_RZEx(2), 0);
    }
    int32_t file(const char *from, const char *to, int32_t range, int32_t mirror, int32_t kind,
                 const std::string &path) {
        return EPSON_Obter_Dados_MF_MFD(from, to, range, mirror, kind, 0, path.c_str());
    }
    json detailMemory() { return json::parse(ECFSIM_DetailMemory()); }
};

TEST_F(MemoryFilesTest, FiscalMemoryFileOfTwoDaysMatchesTheReductions) {
    twoDays();
    if (HasFatalFailure()) return;
    const std::string path = dir + "/MF0103";
    ASSERT_EQ(file("01032024", "02032024", 0, 0, 3, path), 0) << result();
    EXPECT_FALSE(std::filesystem::exists(path)) << "the file is named with _CTP.txt";
    const auto recs = records(readFile(path + "_CTP.txt"));
    ASSERT_GE(recs.size(), 4u);
    // Each record type in its order, at its width.
    const std::map<std::string, std::size_t> widths{
        {"E01", 166}, {"E02", 272}, {"E12", 104}, {"E13", 72}};
    std::string order;
    for (const auto &r : recs) {
        ASSERT_TRUE(widths.count(r.substr(0, 3))) << r;
        EXPECT_EQ(r.size(), widths.at(r.substr(0, 3))) << r;
        if (order.empty() || order.substr(order.size() - 3) != r.substr(0, 3))
            order += r.substr(0, 3);
    }
    EXPECT_EQ(order, "E01E02E12E13");
    const std::string serial = blankFilled("EP0000000000000001", 20);
    EXPECT_EQ(recs[0].substr(3, 20), serial);
    EXPECT_EQ(recs[0].substr(115, 28), "0000010000022024030120240302") << "CRZ and date range";
    EXPECT_EQ(recs[1].substr(44, 28), "00000000000191111111111111  ") << "CNPJ and IE, digits";

    const json memory = json::parse(ECFSIM_FiscalMemory());
    ASSERT_EQ(memory.size(), 2u);
    const auto e12 = ofType(recs, "E12");
    ASSERT_EQ(e12.size(), 2u);
    for (std::size_t i = 0; i < 2; ++i) {
        const json &z = memory[i];
        const std::string &r = e12[i];
        EXPECT_EQ(r.substr(3, 20), serial);
        EXPECT_EQ(r.substr(46, 6), num(z["crz"], 6)) << "CRZ";
        EXPECT_EQ(r.substr(52, 9), num(z["coo"], 9)) << "COO";
        EXPECT_EQ(r.substr(61, 6), num(z["cro"], 6)) << "CRO";
        EXPECT_EQ(r.substr(67, 8), key(z["date"])) << "day";
        EXPECT_EQ(r.substr(75, 8), key(z["madeOn"])) << "made on";
        EXPECT_EQ(r.substr(83, 6), z["madeAt"].get<std::string>()) << "made at";
        EXPECT_EQ(r.substr(89, 14), num(z["day"]["gross"], 14)) << "gross sales";
    }
    // What the two days sold, worked out by hand: day 1 20.00 at Ta and 5.50 at Tb cancelled;
    // day 2 the same and 4.00 exempt. The reductions were COO 2 and 5.
    EXPECT_EQ(e12[0].substr(46, 37), "000001"
                                     "000000002"
                                     "000001"
                                     "20240301"
                                     "20240301");
    EXPECT_EQ(e12[1].substr(46, 15), "000002000000005");
    EXPECT_EQ(e12[0].substr(89, 14), num(2550, 14));
    EXPECT_EQ(e12[1].substr(89, 14), num(2950, 14));

    // E13: every partial totalizer of each reduction, with the reduction's figures.
    const auto e13 = ofType(recs, "E13");
    std::map<std::string, std::string> day2;
    for (const auto &r : e13) {
        EXPECT_EQ(r.substr(3, 20), serial);
        if (r.substr(46, 6) == "000002") day2[r.substr(52, 7)] = r.substr(59, 13);
    }
    EXPECT_EQ(e13.size() % 2, 0u);
    const json &z2 = memory[1];
    EXPECT_EQ(day2.at("01T1800"), num(z2["rates"][0]["base"], 13));
    EXPECT_EQ(day2.at("01T1800"), num(2000, 13));
    EXPECT_EQ(day2.at("02T1200"), num(0, 13));
    EXPECT_EQ(day2.at("04S0500"), num(0, 13));
    EXPECT_EQ(day2.at("I1     "), num(400, 13));
    EXPECT_EQ(day2.at("I1     "), num(z2["day"]["exempt"], 13));
    EXPECT_EQ(day2.at("Can-T  "), num(z2["day"]["cancelled"], 13));
    EXPECT_EQ(day2.at("Can-T  "), num(550, 13));
    EXPECT_EQ(day2.at("F1     "), num(0, 13));

    // By CRZ: the second reduction alone.
    ASSERT_EQ(file("2", "2", 2, 0, 3, dir + "/MFCRZ"), 0);
    const auto byCrz = records(readFile(dir + "/MFCRZ_CTP.txt"));
    ASSERT_EQ(ofType(byCrz, "E12").size(), 1u);
    EXPECT_EQ(ofType(byCrz, "E12")[0], e12[1]);
}

TEST_F(MemoryFilesTest, DetailFileHoldsTheSaleWithItsCancelledItemAndPayments) {
    ASSERT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
    sale("12345678909", "FULANO DE TAL");
    if (HasFatalFailure()) return;
    ASSERT_EQ(EPSON_NaoFiscal_Abrir_Relatorio_Gerencial("1"), 0);
    ASSERT_EQ(EPSON_NaoFiscal_Imprimir_LinhaEX("LINHA"), 0);
    ASSERT_EQ(EPSON_NaoFiscal_Fechar_Relatorio_Gerencial(1), 0);
    const std::string path = dir + "/MFD";
    ASSERT_EQ(file("01032024", "01032024", 0, 0, 2, path), 0) << result();
    const auto recs = records(readFile(path + "_CTP.txt"));
    const std::map<std::string, std::size_t> widths{{"E01", 166}, {"E02", 272}, {"E14", 197},
                                                    {"E15", 273}, {"E16", 93},  {"E21", 112}};
    for (const auto &r : recs) {
        ASSERT_TRUE(widths.count(r.substr(0, 3))) << r;
        EXPECT_EQ(r.size(), widths.at(r.substr(0, 3))) << r;
    }
    const auto e14 = ofType(recs, "E14");
    ASSERT_EQ(e14.size(), 1u);
    const std::string &c = e14[0];
    EXPECT_EQ(c.substr(46, 9), num(1, 9)) << "CCF";
    EXPECT_EQ(c.substr(55, 9), num(1, 9)) << "COO";
    EXPECT_EQ(c.substr(64, 8), "20240301");
    EXPECT_EQ(c.substr(72, 14), num(2000, 14)) << "subtotal";
    EXPECT_EQ(c.substr(114, 14), num(2000, 14)) << "total";
    EXPECT_EQ(c.substr(128, 1), "N") << "not cancelled";
    EXPECT_EQ(c.substr(143, 40), blankFilled("FULANO DE TAL", 40));
    EXPECT_EQ(c.substr(183, 14), "00012345678909");

    const auto e15 = ofType(recs, "E15");
    ASSERT_EQ(e15.size(), 2u);
    EXPECT_EQ(e15[0].substr(64, 3), "001");
    EXPECT_EQ(e15[0].substr(67, 14), blankFilled("7891", 14));
    EXPECT_EQ(e15[0].substr(81, 100), blankFilled("ARROZ", 100));
    EXPECT_EQ(e15[0].substr(181, 7), "0002000") << "quantity";
    EXPECT_EQ(e15[0].substr(188, 3), "UN ");
    EXPECT_EQ(e15[0].substr(191, 8), "00010000") << "unit price";
    EXPECT_EQ(e15[0].substr(215, 14), num(2000, 14));
    EXPECT_EQ(e15[0].substr(229, 8), "01T1800N");
    EXPECT_EQ(e15[1].substr(64, 3), "002");
    EXPECT_EQ(e15[1].substr(181, 7), "0001000");
    EXPECT_EQ(e15[1].substr(229, 8), "02T1200S") << "the cancelled item";
    EXPECT_EQ(e15[1].substr(237, 7), "0001000") << "quantity cancelled";
    EXPECT_EQ(e15[1].substr(244, 13), num(550, 13)) << "amount cancelled";

    const auto e21 = ofType(recs, "E21");
    ASSERT_EQ(e21.size(), 1u);
    EXPECT_EQ(e21[0].substr(46, 18), num(1, 9) + num(1, 9));
    EXPECT_EQ(e21[0].substr(70, 15), blankFilled("Dinheiro", 15));
    EXPECT_EQ(e21[0].substr(85, 13), num(5000, 13));

    const auto e16 = ofType(recs, "E16");
    ASSERT_EQ(e16.size(), 1u);
    EXPECT_EQ(e16[0].substr(46, 9), num(2, 9));
    EXPECT_EQ(e16[0].substr(55, 16), "0000010000010000") << "GNF, GRG, CDC";
    EXPECT_EQ(e16[0].substr(77, 10), "RG20240301");
}

// Each item record carries its discount and surcharge, and its net amount after both, the
// amount a cancelled item took back included.
TEST_F(MemoryFilesTest, DetailFileItemsCarryTheirAdjustments) {
    ASSERT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
    ASSERT_EQ(EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2), 0);
    ASSERT_EQ(EPSON_Fiscal_Vender_Item("1", "ARROZ", "0002000", 3, "UN", "00010000", 3, "Ta", 1),
              0);
    ASSERT_EQ(EPSON_Fiscal_Desconto_Acrescimo_Item("150", 2, 0, 0), 0) << result();
    ASSERT_EQ(EPSON_Fiscal_Vender_Item("2", "FEIJAO", "0001000", 3, "KG", "00005500", 3, "Tb", 1),
              0);
    ASSERT_EQ(EPSON_Fiscal_Desconto_Acrescimo_Item("50", 2, 1, 0), 0) << result();
    ASSERT_EQ(EPSON_Fiscal_Vender_Item("3", "LEITE", "0001000", 3, "UN", "00004000", 3, "Ta", 1),
              0);
    ASSERT_EQ(EPSON_Fiscal_Desconto_Acrescimo_Item("25", 2, 0, 0), 0) << result();
    ASSERT_EQ(EPSON_Fiscal_Cancelar_Item("0003"), 0) << result();
    ASSERT_EQ(EPSON_Fiscal_Pagamento("Dinheiro", "2650", 2, "", ""), 0) << result();
    ASSERT_EQ(EPSON_Fiscal_Fechar_Cupom(1, 0), 0) << result();
    const std::string path = dir + "/MFD";
    ASSERT_EQ(file("01032024", "01032024", 0, 0, 2, path), 0) << result();
    const auto e15 = ofType(records(readFile(path + "_CTP.txt")), "E15");
    const struct {
        int64_t discount, surcharge, net;
        bool cancelled;
    } expected[] = {{0, 150, 2150, false}, {50, 0, 500, false}, {0, 25, 425, true}};
    ASSERT_EQ(e15.size(), std::size(expected));
    for (std::size_t i = 0; i < e15.size(); ++i) {
        SCOPED_TRACE(i + 1);
        const auto &e = expected[i];
        EXPECT_EQ(e15[i].substr(199, 8), num(e.discount, 8)) << "discount";
        EXPECT_EQ(e15[i].substr(207, 8), num(e.surcharge, 8)) << "surcharge";
        EXPECT_EQ(e15[i].substr(215, 14), num(e.net, 14)) << "net";
        EXPECT_EQ(e15[i].substr(236, 1), e.cancelled ? "S" : "N");
        EXPECT_EQ(e15[i].substr(244, 13), num(e.cancelled ? e.net : 0, 13)) << "cancelled";
    }
}

TEST_F(MemoryFilesTest, ARangeWithNothingWritesNoFile) {
    ASSERT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
    sale("", "");
    if (HasFatalFailure()) return;
    struct Case {
        const char *from, *to;
        int32_t range, mirror, kind;
    } cases[] = {
        {"01032024", "01032024", 0, 0, 3}, // no reduction yet
        {"02032024", "31032024", 0, 0, 2}, // no document in those days
        {"5", "9", 2, 255, 0},             // no such COO
        {"02032024", "01032024", 0, 255, 0},
    };
    for (const auto &c : cases) {
        const std::string path = dir + "/none";
        EXPECT_EQ(file(c.from, c.to, c.range, c.mirror, c.kind, path), 1) << c.from;
        EXPECT_EQ(result(), "0702") << c.from;
        EXPECT_FALSE(std::filesystem::exists(path));
        EXPECT_FALSE(std::filesystem::exists(path + "_CTP.txt"));
    }
}

TEST_F(MemoryFilesTest, MalformedRequestsAreRefused) {
    ASSERT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
    sale("", "");
    if (HasFatalFailure()) return;
    const std::string p = dir + "/bad", nowhere = dir + "/no/such/folder/bad";
    struct Case {
        const char *from, *to;
        int32_t range, mirror, kind, reserved;
        const char *path, *code;
    } cases[] = {
        {"31022024", "01032024", 0, 0, 2, 0, p.c_str(), "0301"}, // no such day
        {"0103202", "01032024", 0, 0, 2, 0, p.c_str(), "0301"},  // short date
        {"01/03/24", "01032024", 0, 0, 2, 0, p.c_str(), "0303"}, // not digits
        {"1", "9", 1, 0, 2, 0, p.c_str(), "0301"},               // unknown range kind
        {"1", "9", 2, 0, 7, 0, p.c_str(), "0301"},               // unknown file kind
        {"1", "9", 2, 254, 0, 0, p.c_str(), "0301"},
        {"1", "9", 2, 255, 0, 1, p.c_str(), "0301"},
        {"1", "9", 2, 255, 0, 0, "", "0301"},
        {nullptr, "9", 2, 255, 0, 0, p.c_str(), "0301"},
        {"1", "9", 2, 255, 0, 0, nullptr, "0301"},
        {"1", "9", 2, 255, 0, 0, nowhere.c_str(), "0703"},
    };
    for (const auto &c : cases) {
        EXPECT_EQ(
            EPSON_Obter_Dados_MF_MFD(c.from, c.to, c.range, c.mirror, c.kind, c.reserved, c.path),
            1)
            << (c.from ? c.from : "null") << " " << c.range << c.mirror << c.kind;
        EXPECT_EQ(result(), c.code) << (c.from ? c.from : "null") << " " << c.kind;
    }
    // Nothing left behind, not even a temporary file.
    for (const auto &e : std::filesystem::directory_iterator(dir))
        EXPECT_EQ(e.path().filename().string().rfind("bad", 0), std::string::npos) << e.path();
}

TEST_F(MemoryFilesTest, MirrorShowsEachDocumentAsPrinted) {
    ASSERT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
    const int64_t mark = ECFSIM_MarkPaper();
    sale("", "");
    if (HasFatalFailure()) return;
    const json printed = json::parse(ECFSIM_PaperSince(mark)).at("lines");
    ASSERT_EQ(EPSON_RelatorioFiscal_LeituraX(), 0);
    ASSERT_EQ(file("1", "1", 2, 255, 0, dir + "/ESP"), 0) << result();
    const std::string mirror = readFile(dir + "/ESP");
    const auto lines = records(mirror);
    ASSERT_GE(lines.size(), printed.size() + 4);
    EXPECT_EQ(lines[2].substr(0, 16), "COO:000001 CF 01");
    // After the heading, the receipt's lines exactly as the paper roll holds them, then the end.
    for (std::size_t i = 0; i < printed.size(); ++i)
        EXPECT_EQ(lines[4 + i], printed[i].get<std::string>()) << i;
    EXPECT_EQ(lines.size(), printed.size() + 4) << "the X reading (COO 2) is outside the range";
    ASSERT_EQ(file("01032024", "01032024", 0, 255, 0, dir + "/ESP2"), 0);
    EXPECT_NE(readFile(dir + "/ESP2").find("COO:000002 LX"), std::string::npos);
}

TEST_F(MemoryFilesTest, DetailMemoryKeepsEveryDocumentAcrossAReopen) {
    ASSERT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
    sale("12345678909", "");
    if (HasFatalFailure()) return;
    ASSERT_EQ(EPSON_Fiscal_Cancelar_Cupom(), 0); // the receipt just closed
    // A receipt cancelled while open is kept, cancelled, under its own COO.
    ASSERT_EQ(EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2), 0);
    ASSERT_EQ(EPSON_Fiscal_Vender_Item("1", "PAO", "0001000", 3, "UN", "00001000", 3, "Ta", 1), 0);
    // A refused command leaves nothing in the detail memory.
    EXPECT_EQ(EPSON_RelatorioFiscal_LeituraX(), 1);
    const json open = detailMemory();
    ASSERT_EQ(open.size(), 3u);
    EXPECT_TRUE(open[2].value("open", false)) << "the receipt still printing";
    ASSERT_EQ(EPSON_Fiscal_Cancelar_Cupom(), 0);
    ASSERT_EQ(EPSON_NaoFiscal_Sangria("1000", 2), 0);
    const json before = detailMemory();
    ASSERT_EQ(before.size(), 4u);
    EXPECT_EQ(before[0]["kind"], "CF");
    EXPECT_TRUE(before[0]["cancelled"].get<bool>()) << "cancelled after it closed";
    EXPECT_EQ(before[0]["items"].size(), 2u);
    EXPECT_EQ(before[0]["payments"][0]["name"], "Dinheiro");
    EXPECT_EQ(before[1]["kind"], "CA");
    EXPECT_EQ(before[2]["kind"], "CF");
    EXPECT_EQ(before[2]["coo"], 3);
    EXPECT_TRUE(before[2]["cancelled"].get<bool>()) << "cancelled while open";
    EXPECT_FALSE(before[2].contains("open"));
    EXPECT_EQ(before[3]["kind"], "CN");
    EXPECT_EQ(before[3]["gnf"], 1);
    // Each record's lines are the ones the document printed, one after the other.
    for (std::size_t i = 1; i < before.size(); ++i)
        EXPECT_EQ(before[i]["firstLine"], before[i - 1]["lastLine"].get<int64_t>() + 1) << i;
    std::string other = dir + "/other";
    ASSERT_EQ(ECFSIM_OpenFolder(other.c_str()), 0);
    EXPECT_TRUE(detailMemory().empty());
    ASSERT_EQ(ECFSIM_OpenFolder(dir.c_str()), 0);
    EXPECT_EQ(detailMemory(), before);
    // A reset starts a new printer with an empty detail memory.
    ASSERT_EQ(ECFSIM_Reset(config().c_str()), 0);
    EXPECT_TRUE(detailMemory().empty());
}

// A record of the detail memory that no longer reads back refuses the files made from it, with
// the storage error, instead of ending the caller.
TEST_F(MemoryFilesTest, AnUnreadableRecordRefusesTheFile) {
    ASSERT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
    sale("", "");
    if (HasFatalFailure()) return;
    const std::string other = dir + "/other";
    ASSERT_EQ(ECFSIM_OpenFolder(other.c_str()), 0); // lets go of the database
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open((dir + "/ecf.sqlite").c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, "UPDATE detail SET data = x'ff'", nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    ASSERT_EQ(ECFSIM_OpenFolder(dir.c_str()), 0) << ECFSIM_LastError();
    const std::string path = dir + "/ESP";
    EXPECT_EQ(file("1", "9", 2, 255, 0, path), 1);
    EXPECT_EQ(result(), "0901");
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(EPSON_Obter_Arquivo_Binario_MFD((dir + "/MFD.bin").c_str()), 1);
    EXPECT_EQ(result(), "0901");
    EXPECT_TRUE(detailMemory().contains("error"));
}

} // namespace
