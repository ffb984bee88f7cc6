// The program's identification report: every printed text, in order, from
// the host's two packets and the two files of the installation.
#include <sqlite3.h>

#include <algorithm>
#include <filesystem>

#include "fixture.h"
#include "tivplatform/cp1252.h"
#include "tivplatform/dataset.h"

namespace fs = std::filesystem;

namespace {

constexpr int kKey = 2000; // the host's fixed encoding key
const std::string kRule(48, '-');

tiv::Variant pafPacket() {
    tiv::TClientDataSet ds("cdsDadosPaf");
    const std::vector<std::pair<std::string, std::string>> fields = {
        {"NRLAUDO", "UN0123456789"},
        {"NRCNPJTOLVERA", "12.345.678/0001-90"},
        {"DSRAZAOSOCITOL", "Tolvera Sistemas Ltda"},
        {"DSENDETOLVERA", "Rua das Flores, 10 - São Paulo"},
        {"DSTELEFONETOL", "(11) 5555-0101"},
        {"NMRESPONSIST", "Ana Souza"},
        {"DSNOMECOMERCIAL", "Quorin PDV"},
        {"DSVERSAOPRAVELL", "4.2.1"},
        {"NMEXEPRAVELL", "Quorin.exe"}};
    for (const auto &f : fields)
        ds.addFieldDef(f.first, tiv::FieldType::String, 120);
    ds.createDataSet();
    ds.append();
    for (const auto &f : fields)
        ds.fieldByName(f.first).setAsString(tivhost::Cripto(tiv::utf8ToCp1252(f.second), kKey));
    ds.post();
    return ds.data();
}

tiv::Variant printersPacket(const std::vector<std::string> &serials) {
    tiv::TClientDataSet ds("cdsBuscaNrSerieEcf");
    ds.addFieldDef("NRSERIEIMPRPERS", tiv::FieldType::String, 20);
    ds.createDataSet();
    for (const auto &s : serials) {
        ds.append();
        ds.fieldByName("NRSERIEIMPRPERS").setAsString(s);
        ds.post();
    }
    return ds.data();
}

// "Data Emissão: dd/mm/yyyy hh:nn:ss" and two line ends (UTF-8, as the
// journal shows it).
bool isIssueLine(const std::string &line) {
    const std::string label = "Data Emissão: ";
    const std::string form = "99/99/9999 99:99:99\n\n";
    if (line.size() != label.size() + form.size() || !line.starts_with(label)) return false;
    for (size_t i = 0; i < form.size(); ++i) {
        const char c = line[label.size() + i];
        if (form[i] == '9' ? (c < '0' || c > '9') : c != form[i]) return false;
    }
    return true;
}

// One column of every row of a table of the host's database.
std::vector<std::string> hostColumn(const std::string &table, const std::string &column) {
    sqlite3 *db = nullptr;
    std::vector<std::string> rows;
    if (sqlite3_open_v2(tivhost::hostDatabasePath().c_str(), &db, SQLITE_OPEN_READONLY, nullptr) ==
        SQLITE_OK) {
        sqlite3_stmt *st = nullptr;
        if (sqlite3_prepare_v2(db, ("SELECT " + column + " FROM " + table).c_str(), -1, &st,
                               nullptr) == SQLITE_OK) {
            while (sqlite3_step(st) == SQLITE_ROW) {
                const auto *text = sqlite3_column_text(st, 0);
                rows.emplace_back(text ? reinterpret_cast<const char *>(text) : "");
            }
        }
        sqlite3_finalize(st);
    }
    sqlite3_close(db);
    return rows;
}

class IdentificationReportTest : public DriverTest {
  protected:
    void SetUp() override {
        DriverTest::SetUp();
        ASSERT_TRUE(start(31));
        fs::create_directories(programDir + "/Dados/Cadastros");
        clearJournal();
    }

    void writeDigests() const {
        tiv::TClientDataSet ds("cdsArquivosQelMd5");
        ds.addFieldDef("DSARQUIVO", tiv::FieldType::String, 60);
        ds.addFieldDef("NUMEROMD5", tiv::FieldType::String, 32);
        ds.createDataSet();
        for (const auto &[name, md5] :
             {std::pair{"Quorin.exe", "9E107D9D372BB6826BD81D3542A419D6"},
              std::pair{"Tiv02000.bpl", "E4D909C290D0FB1CA068FFADDF22CBD0"}}) {
            ds.append();
            ds.fieldByName("DSARQUIVO").setAsString(name);
            ds.fieldByName("NUMEROMD5").setAsString(md5);
            ds.post();
        }
        ds.saveToFile(programDir + "/Dados/Cadastros/ArquivosQelMd5.cds");
    }
    void writeConfig() const {
        tiv::TClientDataSet ds("Pravell");
        ds.addFieldDef("CDFILIAL", tiv::FieldType::String, 10);
        ds.addFieldDef("MD5ARQUIVOTXT", tiv::FieldType::String, 100);
        ds.createDataSet();
        ds.append();
        ds.fieldByName("CDFILIAL").setAsString("0001");
        ds.fieldByName("MD5ARQUIVOTXT")
            .setAsString(tivhost::Cripto("0CC175B9C0F1B6A831C399E269772661", kKey));
        ds.post();
        ds.saveToFile(programDir + "/Pravell.cds");
    }

    void print(const std::vector<std::string> &printers) {
        tiv::Variant result;
        ImprimeDadosPaf(
            tiv::Variant(std::vector<tiv::Variant>{"K1", "001", "002", pafPacket(),
                                                   printersPacket(printers), "EP0123456789"}),
            result);
        EXPECT_TRUE(result.isUnassigned());
    }
    // The texts printed, one per print call (UTF-8, as the journal shows them).
    std::vector<std::string> printed() const {
        std::vector<std::string> out;
        for (const auto &call : journal())
            if (call.at("entry") == "EPSON_NaoFiscal_Imprimir_LinhaEX")
                out.push_back(call.at("args").at(0));
        return out;
    }
    std::string docState() const { return printerState()["docState"]; }
    static std::vector<std::string> recorded() {
        return hostColumn("doc_nao_fiscais_ecf", "document_code");
    }

    // Every text up to the digest line, the date line's time left out.
    static std::vector<std::string> head() {
        return {"\n",
                "          Identificação do Paf-Ecf\n",
                kRule + "\n\n",
                "Data Emissão: ",
                "Nr do Laudo :  UN0123456789\n\n",
                "Identificação da Empresa: \n",
                kRule + "\n\n",
                "CNPJ         : 12.345.678/0001-90\n",
                "Razão Social : Tolvera Sistemas Ltda\n",
                "Endereço     : Rua das Flores, 10 - São Paulo\n",
                "Telefone     : (11) 5555-0101\n",
                "Resp.Técnico : Ana Souza\n\n",
                "Identificação PAF-ECF: \n",
                "Nome Comercial: Quorin PDV\n",
                "Versão        : 4.2.1\n\n",
                "Principal Exe : Quorin.exe\n"};
    }
    static std::vector<std::string> fileList() {
        return {"Relação de Arquivos\n",       kRule + "\n\n",
                "Arquivo: Quorin.exe\n",       "MD5    : 9E107D9D372BB6826BD81D3542A419D6\n\n",
                "Arquivo: Tiv02000.bpl\n",     "MD5    : E4D909C290D0FB1CA068FFADDF22CBD0\n\n",
                "Versao ER PAF-ECF: 02.06\n\n"};
    }
    // The texts printed, the date line checked and cut to its label.
    std::vector<std::string> printedWithoutTime() const {
        std::vector<std::string> out = printed();
        if (out.size() > 3) {
            EXPECT_TRUE(isIssueLine(out[3])) << out[3];
            out[3] = "Data Emissão: ";
        }
        return out;
    }
};

std::vector<std::string> operator+(std::vector<std::string> a, const std::vector<std::string> &b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST_F(IdentificationReportTest, EveryLineOfTheReportInOrder) {
    writeDigests();
    writeConfig();
    print({"EP0123456789012345", "BE0987654321000001"});
    const std::vector<std::string> expected =
        head() +
        std::vector<std::string>{"MD5           : 9E107D9D372BB6826BD81D3542A419D6\n\n",
                                 "Arquivo Texto : ARQUIVOSQELMD5.TXT\n",
                                 "MD-5          : 0CC175B9C0F1B6A831C399E269772661\n\n"} +
        fileList() +
        std::vector<std::string>{"Relação de Ecf's\n", kRule + "\n\n", "EP0123456789012345\n",
                                 "BE0987654321000001\n"};
    EXPECT_EQ(printedWithoutTime(), expected);
    // The report is opened without a CER, closed, and recorded once.
    const auto names = journalEntries();
    EXPECT_EQ(std::count(names.begin(), names.end(), "EPSON_NaoFiscal_Abrir_Relatorio_Gerencial"),
              1);
    EXPECT_EQ(std::count(names.begin(), names.end(), "EPSON_NaoFiscal_Fechar_Relatorio_Gerencial"),
              1);
    EXPECT_EQ(docState(), "0");
    EXPECT_EQ(recorded(), std::vector<std::string>{"RG"});
    EXPECT_TRUE(hostColumn("grava_cer", "*").empty()) << "no CER for this report";
    EXPECT_TRUE(dialogs.empty());
}

TEST_F(IdentificationReportTest, WithoutTheConfigurationFileOrAnyPrinterTheirBlocksAreLeftOut) {
    writeDigests();
    print({});
    const std::vector<std::string> expected =
        head() + std::vector<std::string>{"MD5           : 9E107D9D372BB6826BD81D3542A419D6\n\n"} +
        fileList();
    EXPECT_EQ(printedWithoutTime(), expected);
    EXPECT_EQ(docState(), "0");
    EXPECT_EQ(recorded(), std::vector<std::string>{"RG"});
}

TEST_F(IdentificationReportTest, WithoutTheDigestFileTheReportIsClosedAndTheOperatorTold) {
    writeDigests();
    print({"EP0123456789012345"}); // a first report leaves its rows in the data module
    ASSERT_EQ(recorded(), std::vector<std::string>{"RG"});
    fs::remove(programDir + "/Dados/Cadastros/ArquivosQelMd5.cds");
    writeConfig();
    clearJournal();
    print({"EP0123456789012345"});

    EXPECT_EQ(printedWithoutTime(), head()) << "no digest from an earlier report is printed";
    const auto names = journalEntries();
    EXPECT_EQ(std::count(names.begin(), names.end(), "EPSON_NaoFiscal_Fechar_Relatorio_Gerencial"),
              1);
    EXPECT_EQ(docState(), "0") << "the report is not left open";
    EXPECT_EQ(recorded(), std::vector<std::string>{"RG"}) << "nothing more is recorded";
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].askMark, "N");
    EXPECT_EQ(dialogs[0].kind, 3);
    EXPECT_NE(dialogs[0].text.find("ArquivosQelMd5.cds n\xE3o encontrado"), std::string::npos)
        << dialogs[0].text;
}

} // namespace
