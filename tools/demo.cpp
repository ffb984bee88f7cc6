#include "demo.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>

#include "module.h"
#include "printer_control.h"
#include "script_runner.h"
#include "tivhost/host.h"

namespace tivtool {

namespace {

std::string makeFolder(const std::string &wanted) {
    if (!wanted.empty()) {
        std::filesystem::create_directories(wanted);
        return std::filesystem::absolute(wanted).string();
    }
    char pattern[] = "/tmp/tiv-demo-XXXXXX";
    if (mkdtemp(pattern) == nullptr) throw std::runtime_error("cannot make a temporary folder");
    return pattern;
}

std::string money(int64_t cents) {
    std::ostringstream out;
    out << "R$ " << cents / 100 << ',' << std::setw(2) << std::setfill('0')
        << std::abs(cents % 100);
    return out.str();
}

// A step that did not do its work: an exception, or a procedure that
// reports success answering false.
bool stepFailed(const Json &step) {
    if (step.contains("exception")) return true;
    return step.contains("return") && step["return"].is_boolean() && !step["return"].get<bool>();
}

} // namespace

int runDemo(const DemoOptions &options) {
    if (options.printerType != 31 && options.printerType != 33)
        throw std::runtime_error("--type must be 31 or 33");
    const std::string folder = makeFolder(options.stateFolder);
    // The driver's debug log and the host's database go to the demo's folder.
    setenv("TIV_PROGRAM_DIR", folder.c_str(), 1);
    setenv("ECFSIM_DIR", (folder + "/ecf").c_str(), 1);
    tivhost::setDelayUnitMs(0);

    Module module(options.modulePath.empty() ? Module::defaultPath() : options.modulePath);
    std::string why;
    auto printer = PrinterControl::open("", module.folder(), why);
    if (!printer) throw std::runtime_error("cannot use the virtual printer: " + why);
    printer->run("OpenFolder", Json::array({folder + "/ecf"}));
    printer->run(
        "Reset",
        Json::array(
            {Json{{"serial", "EP0808080800000001"},
                  {"header", Json::array({"MERCADO BOA VISTA LTDA", "RUA DAS FLORES, 120 - CENTRO",
                                          "SAO PAULO - SP", "CNPJ 12.345.678/0001-90"})}}}));
    const int64_t mark = printer->markPaper();

    ScriptRunner runner(module, printer.get());
    bool failed = false;
    const Json transcript = runner.run(Json::parse(demoScript(options.printerType)), failed);
    if (!options.transcriptPath.empty())
        std::ofstream(options.transcriptPath) << transcript.dump(2) << '\n';

    for (const auto &line : printer->paperSince(mark))
        std::cout << line.get<std::string>() << '\n';

    int failures = failed ? 1 : 0;
    for (const auto &step : transcript.at("steps"))
        if (stepFailed(step)) {
            ++failures;
            std::cerr << "tiv demo: " << step.value("call", std::string("step")) << " failed";
            if (step.contains("exception")) std::cerr << ": " << step["exception"].dump();
            std::cerr << '\n';
        }

    const Json state = printer->run("State", Json::array());
    const Json &last = state.at("last");
    int64_t paid = 0;
    for (const auto &p : last.at("payments"))
        paid += p.at("amount").get<int64_t>();
    const int64_t due = last.at("due").get<int64_t>();
    std::cout << "\n---- resumo do dia ----\n"
              << "COO do cupom : " << last.at("coo") << '\n'
              << "CCF          : " << state.at("counters").at("ccf") << '\n'
              << "Total        : " << money(due) << '\n'
              << "Pago         : " << money(paid) << '\n'
              << "Troco        : " << money(paid - due) << '\n'
              << "Pasta        : " << folder << '\n';
    return failures == 0 ? 0 : 1;
}

} // namespace tivtool
