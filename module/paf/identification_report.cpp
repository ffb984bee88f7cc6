// The program's identification report: certification, developer, program,
// the digests of its files and the printers authorised for the shop.
#include <string>

#include "core/call_guard.h"
#include "core/data_module.h"
#include "core/dialogs.h"
#include "documents/documents.h"
#include "tiv02000/config_file.h"
#include "tiv02000/procedures.h"
#include "tivhost/host.h"
#include "tivplatform/datetime.h"
#include "tivplatform/errors.h"
#include "tivplatform/system.h"

namespace tiv02000 {

namespace {

constexpr const char *kDigestsFile = "Dados/Cadastros/ArquivosQelMd5.cds";
const std::string kRule(48, '-');

struct Report {
    std::string colourScheme;
    // One print call per text, as the report is laid out.
    void print(const std::string &text) const { (void)printReportText(colourScheme, text); }
};

std::string decoded(tiv::TClientDataSet &ds, const char *field) {
    return tivhost::Uncripto(ds.fieldByName(field).asString(), config_file::kKey);
}

void loadFile(tiv::TClientDataSet &ds, const std::string &path) {
    ds.loadFromFile(path);
    ds.open();
    ds.first();
}

void printIdentification(const Report &report, TdtmEpson2000 &module) {
    tiv::TClientDataSet &paf = module.dataset("cdsDadosPaf");
    tiv::TClientDataSet &digests = module.dataset("cdsArquivosQelMd5");
    tiv::TClientDataSet &printers = module.dataset("cdsBuscaNrSerieEcf");
    const std::string folder = tiv::shortPathName(tiv::programFolder()) + "/";
    const std::string digestsPath = folder + kDigestsFile;
    const std::string configPath = folder + config_file::kName;

    report.print("\n");
    report.print("          Identifica\xE7\xE3o do Paf-Ecf\n");
    report.print(kRule + "\n\n");
    report.print("Data Emiss\xE3o: " + tiv::formatDateTime("dd/mm/yyyy hh:nn:ss", tiv::now()) +
                 "\n\n");
    report.print("Nr do Laudo :  " + decoded(paf, "NRLAUDO") + "\n\n");
    report.print("Identifica\xE7\xE3o da Empresa: \n");
    report.print(kRule + "\n\n");
    report.print("CNPJ         : " + decoded(paf, "NRCNPJTOLVERA") + "\n");
    report.print("Raz\xE3o Social : " + decoded(paf, "DSRAZAOSOCITOL") + "\n");
    report.print("Endere\xE7o     : " + decoded(paf, "DSENDETOLVERA") + "\n");
    report.print("Telefone     : " + decoded(paf, "DSTELEFONETOL") + "\n");
    report.print("Resp.T\xE9"
                 "cnico : " +
                 decoded(paf, "NMRESPONSIST") + "\n\n");
    report.print("Identifica\xE7\xE3o PAF-ECF: \n");
    report.print("Nome Comercial: " + decoded(paf, "DSNOMECOMERCIAL") + "\n");
    report.print("Vers\xE3o        : " + decoded(paf, "DSVERSAOPRAVELL") + "\n\n");

    // The digest line reads this call's file, never rows a previous call left.
    const bool haveDigests = tiv::fileExists(digestsPath);
    if (haveDigests) loadFile(digests, digestsPath);
    report.print("Principal Exe : " + decoded(paf, "NMEXEPRAVELL") + "\n");
    if (!haveDigests)
        throw OperatorError("Arquivo " + digestsPath +
                            " n\xE3o encontrado: o relat\xF3rio foi "
                            "encerrado sem os digests MD5 dos arquivos do programa.");
    report.print("MD5           : " + digests.fieldByName("NUMEROMD5").asString() + "\n\n");

    if (tiv::fileExists(configPath)) {
        loadFile(digests, configPath);
        report.print("Arquivo Texto : ARQUIVOSQELMD5.TXT\n");
        report.print("MD-5          : " + decoded(digests, "MD5ARQUIVOTXT") + "\n\n");
    }

    loadFile(digests, digestsPath);
    report.print("Rela\xE7\xE3o de Arquivos\n");
    report.print(kRule + "\n\n");
    for (; !digests.eof(); digests.next()) {
        report.print("Arquivo: " + digests.fieldByName("DSARQUIVO").asString() + "\n");
        report.print("MD5    : " + digests.fieldByName("NUMEROMD5").asString() + "\n\n");
    }

    report.print("Versao ER PAF-ECF: 02.06\n\n");

    if (!printers.isEmpty()) {
        report.print("Rela\xE7\xE3o de Ecf's\n");
        report.print(kRule + "\n\n");
        for (printers.first(); !printers.eof(); printers.next())
            report.print(printers.fieldByName("NRSERIEIMPRPERS").asString() + "\n");
    }
}

} // namespace

} // namespace tiv02000

using namespace tiv02000;

extern "C" TIV_EXPORT void ImprimeDadosPaf(const tiv::Variant &args, tiv::Variant & /*result*/) {
    const tiv02000::CallGuard guard;
    std::string colourScheme;
    bool reportOpen = false;
    try {
        colourScheme = args.at(2).toString();
        const Report report{colourScheme};
        TdtmEpson2000 &module = ensureDataModule();
        for (const auto &[name, at] :
             {std::pair{"cdsDadosPaf", 3}, std::pair{"cdsBuscaNrSerieEcf", 4}}) {
            tiv::TClientDataSet &ds = module.dataset(name);
            ds.setData(args.at(at));
            ds.open();
            ds.first();
        }

        (void)openManagementReport(colourScheme, args.at(0).toString(), args.at(1).toString(), "");
        reportOpen = true;
        printIdentification(report, module);
        (void)closeManagementReport(colourScheme, true, false);
        reportOpen = false;
        recordDocument(args.at(5).toString(), colourScheme, "RG", "");
    } catch (const std::exception &e) {
        // A report left open would hold the printer: it is closed before the
        // operator is told, and nothing is recorded.
        if (reportOpen) {
            try {
                (void)closeManagementReport(colourScheme, true, false);
            } catch (const std::exception &) {
            }
        }
        notice(operatorText(e, "ImprimeDadosPaf"), 3, colourScheme);
    }
}
