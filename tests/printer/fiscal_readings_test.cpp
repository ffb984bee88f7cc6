// Fiscal-memory readings by date and by CRZ, complete and simplified, on both command families:
// printed as a document with its COO and, for the codes that name a file, written to it.
#include <fstream>
#include <sstream>

#include "fixture.h"

namespace {

using nlohmann::json;

class FiscalReadingsTest : public PrinterTest {
  protected:
    // Two reduced days, CRZ 1 on 1 March and CRZ 2 on 2 March; the clock then on 3 March.
    void SetUp() override {
        PrinterTest::SetUp();
        for (const char *day : {"2024-03-01", "2024-03-02"}) {
            ASSERT_EQ(ECFSIM_SetClock((std::string(day) + " 10:00:00").c_str()), 0);
            ASSERT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
            ASSERT_EQ(EPSON_Fiscal_Abrir_Cupom("", "", "", "", 2), 0);
            ASSERT_EQ(
                EPSON_Fiscal_Vender_Item("1", "A", "0001000", 3, "UN", "00012340", 3, "Ta", 1), 0);
            ASSERT_EQ(EPSON_Fiscal_Pagamento("Dinheiro", "0000000001234", 2, "", ""), 0);
            ASSERT_EQ(EPSON_Fiscal_Fechar_Cupom(1, 0), 0);
            ASSERT_EQ(EPSON_RelatorioFiscal_RZEx(2), 0);
        }
        ASSERT_EQ(ECFSIM_SetClock("2024-03-03 10:00:00"), 0);
    }
    std::vector<std::string> paperSince(int64_t mark) {
        std::vector<std::string> out;
        const json paper = json::parse(ECFSIM_PaperSince(mark));
        for (const auto &l : paper.at("lines"))
            out.push_back(l.get<std::string>());
        return out;
    }
    static std::string joined(const std::vector<std::string> &lines) {
        std::string s;
        for (const auto &l : lines)
            s += l + "\r\n";
        return s;
    }
    static bool has(const std::vector<std::string> &lines, const std::string &text) {
        for (const auto &l : lines)
            if (l.find(text) != std::string::npos) return true;
        return false;
    }
    int32_t classic(const char *from, const char *to, int32_t code, const std::string &file) {
        std::string buffer(1024, ' ');
        return EPSON_RelatorioFiscal_Leitura_MF(from, to, code, buffer.data(), file.c_str(), 0,
                                                1024);
    }
};

TEST_F(FiscalReadingsTest, EveryCaseOfBothFamiliesPrintsItsReading) {
    struct Case {
        int32_t code; // classic code; 0: the ESC/ECF entry point
        const char *sel1, *sel2;
        const char *from, *to;
        bool complete, toFile;
        const char *crzIn, *crzOut; // a reduction that must show, one that must not
    } cases[] = {
        {5, "", "", "02032024", "03032024", true, false, "CRZ:0002", "CRZ:0001"},
        {7, "", "", "01032024", "01032024", false, false, "CRZ:0001", "CRZ:0002"},
        {4, "", "", "1", "1", true, false, "CRZ:0001", "CRZ:0002"},
        {6, "", "", "2", "9", false, false, "CRZ:0002", "CRZ:0001"},
        {17, "", "", "02032024", "02032024", true, true, "CRZ:0002", "CRZ:0001"},
        {19, "", "", "01032024", "01032024", false, true, "CRZ:0001", "CRZ:0002"},
        {16, "", "", "000001", "000001", true, true, "CRZ:0001", "CRZ:0002"},
        {18, "", "", "2", "2", false, true, "CRZ:0002", "CRZ:0001"},
        {0, "1", "1", "02032024", "02032024", true, false, "CRZ:0002", "CRZ:0001"},
        {0, "2", "1", "01032024", "01032024", false, false, "CRZ:0001", "CRZ:0002"},
        {0, "1", "2", "1", "1", true, false, "CRZ:0001", "CRZ:0002"},
        {0, "2", "2", "2", "2", false, false, "CRZ:0002", "CRZ:0001"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.code) + c.sel1 + c.sel2 + " " + c.from);
        const int64_t coo = counter("coo");
        const int64_t mark = ECFSIM_MarkPaper();
        const std::string file = dir + "/LMF_" + std::to_string(c.code) + c.sel1 + c.sel2 + ".txt";
        const int32_t r =
            c.code ? classic(c.from, c.to, c.code, file)
                   : EPSON_ESC_ECF_RelatorioFiscal_Leitura_MFEX(c.sel1, c.sel2, c.from, c.to);
        ASSERT_EQ(r, 0) << result();
        EXPECT_EQ(counter("coo"), coo + 1) << "a document of its own";
        const auto lines = paperSince(mark);
        EXPECT_TRUE(has(lines, "LEITURA DA MEMORIA FISCAL"));
        EXPECT_TRUE(has(lines, "COO:" + std::string(6 - std::to_string(coo + 1).size(), '0') +
                                   std::to_string(coo + 1)));
        EXPECT_TRUE(has(lines, c.complete ? "COMPLETA" : "SIMPLIFICADA"));
        EXPECT_TRUE(has(lines, c.crzIn));
        EXPECT_FALSE(has(lines, c.crzOut));
        EXPECT_EQ(has(lines, "VENDA BRUTA"), c.complete);
        EXPECT_EQ(has(lines, "12,34"), c.complete) << "the day's gross sales";
        if (c.toFile)
            EXPECT_EQ(readFile(file), joined(lines)) << "the file holds the reading as printed";
        else
            EXPECT_FALSE(std::filesystem::exists(file));
    }
    // Each reading is kept in the detail memory.
    int readings = 0;
    for (const auto &d : json::parse(ECFSIM_DetailMemory()))
        readings += d["kind"] == "MF";
    EXPECT_EQ(readings, 12);
}

TEST_F(FiscalReadingsTest, MalformedRangesAndCodesAreRefused) {
    const std::string file = dir + "/LMFC.txt";
    struct Case {
        int32_t code;
        const char *sel1, *sel2, *from, *to, *file, *result;
    } cases[] = {
        {8, "", "", "01032024", "01032024", "", "0301"},
        {20, "", "", "01032024", "01032024", file.c_str(), "0301"},
        {5, "", "", "0103202", "01032024", "", "0301"},
        {5, "", "", "01/03/24", "01032024", "", "0303"},
        {4, "", "", "1234567", "1", "", "0302"},
        {17, "", "", "01032024", "01032024", "", "0301"},      // no file named
        {17, "", "", "01032024", "01032024", nullptr, "0301"}, // nor any pointer
        {17, "", "", "01032024", "01032024", "/nonexistent-folder/x.txt", "0703"},
        {0, "3", "1", "01032024", "01032024", nullptr, "0301"},
        {0, "1", "", "01032024", "01032024", nullptr, "0301"},
        {0, "1", "2", "A", "2", nullptr, "0303"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.code) + c.sel1 + c.sel2 + " " + c.from);
        const int64_t coo = counter("coo");
        const int64_t mark = ECFSIM_MarkPaper();
        std::string buffer(1024, ' ');
        const int32_t r =
            c.code ? EPSON_RelatorioFiscal_Leitura_MF(c.from, c.to, c.code, buffer.data(), c.file,
                                                      0, 1024)
                   : EPSON_ESC_ECF_RelatorioFiscal_Leitura_MFEX(c.sel1, c.sel2, c.from, c.to);
        EXPECT_EQ(r, 1);
        EXPECT_EQ(result(), c.result);
        EXPECT_EQ(counter("coo"), coo) << "nothing printed";
        EXPECT_TRUE(paperSince(mark).empty());
    }
    EXPECT_FALSE(std::filesystem::exists(file));
}

} // namespace
