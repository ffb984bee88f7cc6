// Binary images of the fiscal memory and the detail memory: read back whole, equal to what the
// printer holds, and refused once damaged.
#include <fstream>
#include <sstream>

#include "ecfsim/memory_image.h"
#include "fixture.h"

namespace {

using nlohmann::json;

class MemoryImagesTest : public PrinterTest {
  protected:
    void dayWithSale() {
        ASSERT_EQ(EPSON_RelatorioFiscal_Abrir_Dia(), 0);
        // Texts in CP1252, as the driver sends them.
        ASSERT_EQ(EPSON_Fiscal_Abrir_Cupom("12345678909", "JOS\xC9", "", "", 2), 0);
        ASSERT_EQ(
            EPSON_Fiscal_Vender_Item("1", "P\xC3O", "0002000", 3, "UN", "00001000", 3, "Ta", 1), 0);
        ASSERT_EQ(EPSON_Fiscal_Pagamento("Dinheiro", "0000000000200", 2, "", ""), 0);
        ASSERT_EQ(EPSON_Fiscal_Fechar_Cupom(1, 0), 0);
        ASSERT_EQ(EPSON_RelatorioFiscal_RZEx(2), 0);
    }
    std::vector<json> recordsOf(const ecfsim::image::Image &img) {
        std::vector<json> out;
        for (const auto &r : img.records)
            out.push_back(json::from_cbor(r));
        return out;
    }
};

TEST_F(MemoryImagesTest, ImagesReadBackEqualToThePrintersRecords) {
    dayWithSale();
    if (HasFatalFailure()) return;
    const std::string mf = dir + "/MF.bin", mfd = dir + "/MFDFISCAL.MFD";
    ASSERT_EQ(EPSON_Obter_Arquivo_Binario_MF(mf.c_str()), 0) << result();
    ASSERT_EQ(EPSON_Obter_Arquivo_Binario_MFD(mfd.c_str()), 0) << result();

    const auto fiscal = ecfsim::image::parse(readFile(mf));
    EXPECT_EQ(fiscal.kind, ecfsim::image::kFiscalMemory);
    EXPECT_EQ(fiscal.version, 1);
    EXPECT_EQ(fiscal.serial, "EP0000000000000001");
    // The control API shows texts in UTF-8; the image keeps the printer's CP1252.
    const json memory = json::parse(ECFSIM_FiscalMemory());
    const auto z = recordsOf(fiscal);
    ASSERT_EQ(z.size(), memory.size());
    ASSERT_EQ(z.size(), 1u);
    EXPECT_EQ(z[0], memory[0]);

    const auto detail = ecfsim::image::parse(readFile(mfd));
    EXPECT_EQ(detail.kind, ecfsim::image::kDetailMemory);
    const json docs = json::parse(ECFSIM_DetailMemory());
    auto d = recordsOf(detail);
    ASSERT_EQ(d.size(), 2u) << "the receipt and the reduction";
    ASSERT_EQ(d.size(), docs.size());
    EXPECT_EQ(d[0]["items"][0]["description"], "P\xC3O") << "CP1252 as printed";
    d[0]["items"][0]["description"] = "PÃO";
    d[0]["name"] = "JOSÉ";
    EXPECT_EQ(d[0], docs[0]);
    EXPECT_EQ(d[1], docs[1]);
}

TEST_F(MemoryImagesTest, ADamagedImageIsRefused) {
    dayWithSale();
    if (HasFatalFailure()) return;
    const std::string path = dir + "/MFD.bin";
    ASSERT_EQ(EPSON_Obter_Arquivo_Binario_MFD(path.c_str()), 0);
    const std::string good = readFile(path);
    ASSERT_NO_THROW(ecfsim::image::parse(good));
    std::string flipped = good;
    flipped[good.size() / 2] ^= 0x01;
    std::string badLength = good;
    badLength[36] = '\xFF'; // the first record's length
    struct Case {
        const char *what;
        std::string bytes, message;
    } cases[] = {
        {"a byte changed", flipped, "checksum"},
        {"cut short", good.substr(0, good.size() - 10), "checksum"},
        {"empty", "", "not a memory image"},
        {"another file", std::string(100, 'x'), "not a memory image"},
        {"a length past the end, checksum made again",
         badLength.substr(0, badLength.size() - 32) +
             ecfsim::image::sha256(badLength.substr(0, badLength.size() - 32)),
         "cut short"},
    };
    for (const auto &c : cases) {
        try {
            ecfsim::image::parse(c.bytes);
            ADD_FAILURE() << c.what << ": accepted";
        } catch (const std::runtime_error &e) {
            EXPECT_NE(std::string(e.what()).find(c.message), std::string::npos)
                << c.what << ": " << e.what();
        }
    }
}

TEST_F(MemoryImagesTest, AnImageThatCannotBeWrittenIsRefused) {
    EXPECT_EQ(EPSON_Obter_Arquivo_Binario_MF(""), 1);
    EXPECT_EQ(result(), "0301");
    EXPECT_EQ(EPSON_Obter_Arquivo_Binario_MFD((dir + "/no/such/MFD").c_str()), 1);
    EXPECT_EQ(result(), "0703");
    // A new printer's memories are empty, and their images say so.
    const std::string path = dir + "/empty.bin";
    ASSERT_EQ(EPSON_Obter_Arquivo_Binario_MF(path.c_str()), 0);
    EXPECT_TRUE(ecfsim::image::parse(readFile(path)).records.empty());
}

} // namespace
