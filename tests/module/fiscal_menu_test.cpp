// The fiscal menu: fiscal-memory readings, the detail memory's mirror, the Ato Cotepe files and
// the memory images, with the names and folder the host expects.
#include <filesystem>
#include <fstream>
#include <sstream>

#include "fixture.h"
#include "sale_helpers.h"
#include "tivplatform/system.h"
#include "vendor_entry_points.h"

namespace {

using nlohmann::json;
namespace fs = std::filesystem;

// `text` is `head`, then a run of `fewest` to `most` digits, then `tail` (std::regex is left
// out: the sanitizer build's compiler rejects its code).
bool shaped(const std::string &text, const std::string &head, size_t fewest, size_t most,
            const std::string &tail) {
    if (text.rfind(head, 0) != 0 || text.size() < head.size() + tail.size()) return false;
    if (text.compare(text.size() - tail.size(), tail.size(), tail) != 0) return false;
    const std::string middle = text.substr(head.size(), text.size() - head.size() - tail.size());
    return middle.size() >= fewest && middle.size() <= most &&
           middle.find_first_not_of("0123456789") == std::string::npos;
}

class FiscalMenuTest : public DriverTest {
  protected:
    void SetUp() override {
        DriverTest::SetUp();
        ASSERT_EQ(ECFSIM_SetClock("2026-12-10 10:00:00"), 0) << ECFSIM_LastError();
        ASSERT_EQ(ECFSIM_RecordReduction(R"({"date": "2026-12-08"})"), 0) << ECFSIM_LastError();
        ASSERT_EQ(ECFSIM_RecordReduction(R"({"date": "2026-12-09"})"), 0) << ECFSIM_LastError();
        menu = programDir + "/Dados/MenuFiscal";
    }
    // The one call of `entry` since the journal was cleared.
    json onlyCall(const std::string &entry) const {
        const auto calls = sale::callsOf(journal(), entry);
        EXPECT_EQ(calls.size(), 1u) << entry;
        return calls.empty() ? json::object() : calls.front();
    }
    bool logged(const std::string &text) const {
        const auto lines = logTexts();
        return std::find(lines.begin(), lines.end(), text) != lines.end();
    }
    std::string menu;
};

TEST_F(FiscalMenuTest, ReadingsSendTheirCodesAndSelectorsAndAreRecorded) {
    struct Case {
        const char *kind, *range, *start, *end;
        int code;                // classic
        const char *sel1, *sel2; // ESC/ECF
        const char *file;        // classic file prefix; "" for none
        const char *sentStart;
    };
    const Case cases[] = {
        {"c", "DATA", "08/12/2026", "09/12/2026", 5, "1", "1", "LMFC_", "08122026"},
        {"s", "DATA", "08/12/2026", "09/12/2026", 7, "2", "1", "LMFS_", "08122026"},
        {"c", "CRZ", "1", "2", 4, "1", "2", "", "1"},
        {"s", "CRZ", "1", "2", 6, "2", "2", "", "1"},
    };
    for (int type : {31, 33}) {
        ASSERT_TRUE(start(type));
        for (const Case &c : cases) {
            SCOPED_TRACE(std::to_string(type) + " " + c.kind + " " + c.range);
            clearJournal();
            const size_t recorded = sale::recordedCodes().size();
            const bool done =
                EmiteLeituraMemoriaFiscal("001", c.start, c.end, c.kind, c.range, "EP0123456789");
            if (type == 31) {
                const json call = onlyCall("EPSON_RelatorioFiscal_Leitura_MF");
                const json &args = call.at("args");
                EXPECT_EQ(args[0], c.sentStart);
                EXPECT_EQ(args[2], c.code);
                EXPECT_EQ(args[5], 0);
                EXPECT_EQ(args[6], 1024);
                const std::string file = args[4];
                if (*c.file)
                    EXPECT_TRUE(shaped(file, menu + "/" + c.file, 13, 14, ".txt")) << file;
                else
                    EXPECT_EQ(file, "");
                EXPECT_EQ(done, call.at("return") == 0);
            } else {
                const json call = onlyCall("EPSON_ESC_ECF_RelatorioFiscal_Leitura_MFEX");
                EXPECT_EQ(call.at("args"),
                          json::array({c.sel1, c.sel2, c.sentStart,
                                       std::string(c.range) == "DATA" ? "09122026" : "2"}));
                EXPECT_EQ(done, call.at("return") == 0);
            }
            EXPECT_TRUE(done) << "the printer prints every reading of its memory";
            const auto codes = sale::recordedCodes();
            ASSERT_EQ(codes.size(), recorded + 1);
            EXPECT_EQ(codes.back(), "MF");
            const std::string five = std::string(c.range) == "DATA" ? "5" : "4";
            EXPECT_TRUE(logged(std::string("EPSON_RelatorioFiscal_Leitura_MF :  - ") + c.sentStart +
                               " - " + (five == "5" ? "09122026" : "2") + " - " + five + "\r"));
        }
        StopImpFiscal();
    }
    EXPECT_TRUE(logged("Retorno da Impressora : 0"));
}

TEST_F(FiscalMenuTest, TheSerialReadingAlwaysNamesAFileAndRecordsNothing) {
    struct Case {
        const char *kind, *range;
        int code;
        const char *file;
    };
    for (int type : {31, 33}) {
        ASSERT_TRUE(start(type));
        for (const Case &c : {Case{"c", "DATA", 17, "LMFC_"}, Case{"s", "DATA", 19, "LMFS_"},
                              Case{"c", "", 16, "LMFC_"}, Case{"s", "", 18, "LMFS_"}}) {
            SCOPED_TRACE(std::to_string(type) + " " + c.kind + " " + c.range);
            clearJournal();
            const size_t recorded = sale::recordedCodes().size();
            tiv::Variant result = tiv::Variant::array(1);
            const bool done = EmiteLeituraMemoriaFiscalSerial(
                tiv::Variant(std::vector<tiv::Variant>{"001", *c.range ? "08/12/2026" : "1",
                                                       *c.range ? "09/12/2026" : "2", c.kind,
                                                       c.range}),
                result);
            const json call = onlyCall("EPSON_RelatorioFiscal_Leitura_MF");
            EXPECT_EQ(call.at("args")[2], c.code);
            const std::string file = call.at("args")[4];
            EXPECT_TRUE(shaped(file, menu + "/" + c.file, 13, 14, ".txt")) << file;
            EXPECT_EQ(done, call.at("return") == 0);
            EXPECT_EQ(sale::recordedCodes().size(), recorded);
            EXPECT_TRUE(result.at(0).isEmpty());
        }
        StopImpFiscal();
    }
}

TEST_F(FiscalMenuTest, TheMirrorIsAskedByDatesOrByNumbers) {
    ASSERT_TRUE(start(31));
    struct Case {
        const char *start, *end, *kind;
        json sent;
        const char *name;
    };
    const Case cases[] = {
        {"08/12/2026", "09/12/2026", "1", {"08122026", "09122026", 0}, "ESP0812202609122026"},
        {"12", "345", "2", {"000012", "000345", 2}, "ESP000012000345"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        clearJournal();
        tiv::Variant result = tiv::Variant::array(1);
        const bool done = geraEspelhoMfd(tiv::Variant(std::vector<tiv::Variant>{
                                             "001", "", "", "", "", "ESP", c.start, c.end, c.kind}),
                                         result);
        const json call = onlyCall("EPSON_Obter_Dados_MF_MFD");
        json expected = c.sent;
        for (const json &v : {json(255), json(0), json(0), json(menu + "/" + c.name)})
            expected.push_back(v);
        EXPECT_EQ(call.at("args"), expected);
        EXPECT_EQ(result.at(0), tiv::Variant(c.name));
        EXPECT_EQ(done, call.at("return") == 0);
    }
    EXPECT_TRUE(fs::is_directory(menu));
    // A date that does not convert asks the printer nothing.
    clearJournal();
    tiv::Variant result = tiv::Variant::array(1);
    EXPECT_FALSE(geraEspelhoMfd(tiv::Variant(std::vector<tiv::Variant>{
                                    "001", "", "", "", "", "ESP", "31/02/2026", "09/12/2026", "1"}),
                                result));
    EXPECT_TRUE(journal().empty());
}

// The library's file gets its final name; an older file under that name is replaced, so the
// inspector never receives the old one.
TEST_F(FiscalMenuTest, AtoCotepeFilesTakeTheirNamesAndReplaceOlderOnes) {
    ASSERT_TRUE(start(31));
    ASSERT_TRUE(sale::closedSalePaidWith(31, "Dinheiro", "01")) << "a sale on the 10th";
    fs::create_directories(menu);
    auto args = [](const char *start, const char *end, const char *source) {
        return tiv::Variant(std::vector<tiv::Variant>{"D", start, end, source, "CTP", "001"});
    };

    // From the fiscal memory: "Ato_Cotepe1.txt", the two reductions in it.
    std::ofstream(menu + "/Ato_Cotepe1.txt") << "antigo";
    clearJournal();
    tiv::Variant result = tiv::Variant::array(1);
    const bool mf = Gera_ArquivoMFD(args("08/12/2026", "09/12/2026", "MF"), result);
    EXPECT_EQ(onlyCall("EPSON_Obter_Dados_MF_MFD").at("args"),
              json::array({"08122026", "09122026", 0, 0, 3, 0, menu + "/CTP0812202609122026"}));
    const json image = onlyCall("EPSON_Obter_Arquivo_Binario_MFD");
    EXPECT_EQ(image.at("args"), json::array({menu + "/MFDFISCAL.MFD"}));
    EXPECT_EQ(mf, image.at("return") == 0) << "the image decides the result";
    EXPECT_TRUE(mf);
    EXPECT_TRUE(fs::is_regular_file(menu + "/MFDFISCAL.MFD"));
    EXPECT_EQ(result.at(0), tiv::Variant("CTP0812202609122026_CTP.txt"));
    const std::string fromMf = tiv::readFile(menu + "/Ato_Cotepe1.txt");
    EXPECT_EQ(fromMf.rfind("E01", 0), 0u) << fromMf;
    EXPECT_NE(fromMf.find("\r\nE12"), std::string::npos);
    const std::string written = menu + "/CTP0812202609122026_CTP.txt";
    EXPECT_FALSE(fs::exists(written));
    EXPECT_TRUE(logged("Arquivo " + menu + "/Ato_Cotepe1.txt substituido por " + written));

    // From the detail memory: the name without an extension, the day's receipt in it.
    const std::string named = menu + "/CTP1012202610122026";
    std::ofstream(named) << "antigo";
    clearJournal();
    EXPECT_TRUE(Gera_ArquivoMFD(args("10/12/2026", "10/12/2026", "MFD"), result));
    EXPECT_EQ(onlyCall("EPSON_Obter_Dados_MF_MFD").at("args")[4], 2);
    const std::string fromMfd = tiv::readFile(named);
    EXPECT_NE(fromMfd.find("\r\nE14"), std::string::npos) << fromMfd;
    EXPECT_FALSE(fs::exists(named + "_CTP.txt"));
}

TEST_F(FiscalMenuTest, WithoutDatesOnlyTheImageIsMade) {
    ASSERT_TRUE(start(31));
    for (const char *source : {"MF", "MFD"}) {
        SCOPED_TRACE(source);
        clearJournal();
        dialogs.clear();
        tiv::Variant result = tiv::Variant::array(1);
        const bool done = Gera_ArquivoMFD(
            tiv::Variant(std::vector<tiv::Variant>{"", "", "", source, "CTP", "001"}), result);
        EXPECT_TRUE(sale::callsOf(journal(), "EPSON_Obter_Dados_MF_MFD").empty());
        const json image = onlyCall("EPSON_Obter_Arquivo_Binario_MFD");
        EXPECT_EQ(done, image.at("return") == 0);
        EXPECT_TRUE(done) << "the detail memory's image is made all the same";
        EXPECT_TRUE(fs::is_regular_file(menu + "/MFDFISCAL.MFD"));
        const std::string name = result.at(0).toString();
        EXPECT_TRUE(name.size() == 31 && shaped(name.substr(0, 12), "CTP_", 8, 8, "") &&
                    shaped(name.substr(12), "_", 6, 6, ".txt_CTP.txt"))
            << name;
        if (std::string(source) == "MFD") {
            ASSERT_EQ(dialogs.size(), 1u);
            EXPECT_EQ(dialogs[0].text,
                      "Fun\xE7\xE3o n\xE3o suportada pela impressora fiscal EPSON.");
            EXPECT_EQ(dialogs[0].kind, 3);
        } else {
            EXPECT_TRUE(dialogs.empty());
        }
    }
    // A date that does not convert ends it before any call.
    clearJournal();
    tiv::Variant result = tiv::Variant::array(1);
    EXPECT_FALSE(Gera_ArquivoMFD(tiv::Variant(std::vector<tiv::Variant>{
                                     "D", "08/13/2026", "09/12/2026", "MF", "CTP", "001"}),
                                 result));
    EXPECT_TRUE(journal().empty());
}

TEST_F(FiscalMenuTest, MemoryImageFolderAndTheMonthsFiles) {
    ASSERT_TRUE(start(31));
    clearJournal();
    const std::string path = folder + "/memoria.mf";
    const bool done = GERA_MF("", path);
    const json call = onlyCall("EPSON_Obter_Arquivo_Binario_MF");
    EXPECT_EQ(call.at("args"), json::array({path}));
    EXPECT_EQ(done, call.at("return") == 0);
    EXPECT_TRUE(logged("EPSON_Obter_Arquivo_Binario_MF: " + path));

    clearJournal();
    EXPECT_TRUE(GeraBinMes(0, 0, ""));
    EXPECT_TRUE(journal().empty());

    // A folder that cannot be made is told, and the procedure carries on.
    std::ofstream(programDir + "/Dados") << "not a folder";
    dialogs.clear();
    tiv::Variant result = tiv::Variant::array(1);
    (void)geraEspelhoMfd(
        tiv::Variant(std::vector<tiv::Variant>{"001", "", "", "", "", "ESP", "1", "2", "2"}),
        result);
    ASSERT_FALSE(dialogs.empty());
    EXPECT_EQ(dialogs[0].text, "N\xE3o foi poss\xEDvel criar o diret\xF3rio: " + menu);
    EXPECT_EQ(result.at(0), tiv::Variant("ESP000001000002"));
}

} // namespace
