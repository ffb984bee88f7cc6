#include "fixture.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "core/debug_log.h"
#include "tivhost/host.h"
#include "tivplatform/settings.h"

namespace fs = std::filesystem;

void DriverTest::SetUp() {
    programDir = folder + "/program";
    fs::create_directories(programDir);
    setenv("TIV_PROGRAM_DIR", programDir.c_str(), 1);
    setenv("TIV_REGISTRY", (folder + "/registry.ini").c_str(), 1);
    setenv("ECFSIM_DIR", (folder + "/ecf").c_str(), 1);
    ASSERT_EQ(startVirtualPrinter(folder + "/ecf", nullptr), "");
    tiv::resetFormatSettings();
    tivhost::setDelayUnitMs(0);
    tivhost::setDialogHandler([this](const tivhost::Dialog &d) {
        dialogs.push_back({d.text, d.askMark, d.kind});
        if (answers.empty()) return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    });
    inTipoImpFis = 0;
    boNUtilTaa = true;
    boClieUtil = false;
    boImpFiscalOK = false;
    inIndiceReceb = 0;
    stMensagemTaa.clear();
    stImpDebug.clear();
}

void DriverTest::TearDown() {
    StopImpFiscal();
    tivhost::setDialogHandler({});
    ECFSIM_ClearFaults();
}

tiv::Variant DriverTest::startParams(int printerType, bool selfService) {
    return tiv::makeParams({{"CDFILIAL", "0001"},
                            {"CDCAIXA", "001"},
                            {"NRSERIEIMP", "EP0123456789"},
                            {"ESQUEMA", "001"},
                            {"CDPORTAIMPFIS", "COM1"},
                            {"IDTIPOIMPFIS", printerType},
                            {"BOUTILTAA", selfService}});
}

bool DriverTest::start(int printerType, bool selfService) {
    return StartImpFiscal(startParams(printerType, selfService));
}

nlohmann::json DriverTest::journal() const {
    return nlohmann::json::parse(ECFSIM_Journal());
}

std::vector<std::string> DriverTest::journalEntries() const {
    std::vector<std::string> names;
    for (const auto &call : journal())
        names.push_back(call.at("entry").get<std::string>());
    return names;
}

std::vector<std::string> DriverTest::logLines() const {
    std::vector<std::string> lines;
    std::ifstream in(tiv02000::debugLogPath(programDir, tiv::now()), std::ios::binary);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::vector<std::string> DriverTest::logTexts() const {
    std::vector<std::string> texts;
    for (const auto &line : logLines()) {
        const auto at = line.find(" - ");
        texts.push_back(at == std::string::npos ? line : line.substr(at + 3));
    }
    return texts;
}

nlohmann::json DriverTest::printerState() const {
    return nlohmann::json::parse(ECFSIM_State());
}

void DriverTest::injectFault(const nlohmann::json &fault) const {
    ASSERT_GE(ECFSIM_InjectFault(fault.dump().c_str()), 1) << ECFSIM_LastError();
}

void DriverTest::resetPrinter(const nlohmann::json &config) const {
    ASSERT_EQ(ECFSIM_Reset(config.empty() ? nullptr : config.dump().c_str()), 0)
        << ECFSIM_LastError();
}

std::vector<std::string> DriverTest::paperSince(int64_t mark) const {
    return nlohmann::json::parse(ECFSIM_PaperSince(mark))
        .at("lines")
        .get<std::vector<std::string>>();
}
