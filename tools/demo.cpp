#include "demo.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <iostream>
#include <sstream>

#include "config_file.h"
#include "module.h"
#include "paper_html.h"
#include "printer_control.h"
#include "script_runner.h"
#include "tivhost/host.h"
#include "tivplatform/system.h"

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
// The demo printer's identity and header.
Json demoPrinterSetting() {
    return Json{{"serial", kDemoSerial},
                {"header", Json::array({"MERCADO BOA VISTA LTDA", "RUA DAS FLORES, 120 - CENTRO",
                                        "SAO PAULO - SP", "CNPJ 12.345.678/0001-90"})}};
}

// The day as a script `tiv run` takes on its own: the printer's reset first, so it starts
// from the fresh printer the demo starts from.
void writeDemoScript(const std::string &path, const Json &script) {
    Json steps = Json::array({Json{{"comment", "a fresh demo printer"},
                                   {"ecfsim", "Reset"},
                                   {"args", Json::array({demoPrinterSetting()})}}});
    for (const Json &step : script.is_object() ? script.at("steps") : script)
        steps.push_back(step);
    const Json whole{{"comment", "The working day of tiv demo. Run it with tiv run on a fresh "
                                 "printer; VerificaSerialImp reads the till's configuration "
                                 "file from the folder its DSDIRCAD names."},
                     {"steps", steps}};
    tiv::writeFileAtomic(path, whole.dump(1) + "\n");
}

bool stepFailed(const Json &step) {
    if (step.contains("exception")) return true;
    // The till closing answers whether the till is to be opened again (false
    // here); whether the closing went through is its out flag.
    if (step.value("call", std::string()) == "GeraReciboSangria")
        return !(step.contains("out") && step["out"].value("closingReached", false));
    return step.contains("return") && step["return"].is_boolean() && !step["return"].get<bool>();
}

// The printer's date (yyyymmdd): the computer's clock moved by the printer's own offset.
std::string printerDate(int64_t offsetSeconds) {
    const std::time_t at = std::time(nullptr) + static_cast<std::time_t>(offsetSeconds);
    std::tm local{};
    localtime_r(&at, &local);
    char text[9];
    std::strftime(text, sizeof text, "%Y%m%d", &local);
    return text;
}

// After a day ended with its Z reduction the printer sells again only on a later date: its
// clock is moved on a day, as the night would.
void moveToNextDay(PrinterControl &printer) {
    const Json state = printer.run("State", Json::array());
    const std::string reduced = state.value("reducedDate", std::string());
    const int64_t offset = state.value("clockOffset", int64_t{0});
    if (!reduced.empty() && printerDate(offset) <= reduced)
        printer.run("ShiftClock", Json::array({24 * 3600}));
}

// Whether the printer has made any document: a printer whose set-up was cut short has not.
bool printerHasDocuments(PrinterControl &printer) {
    const Json state = printer.run("State", Json::array());
    if (!state.contains("counters"))
        throw std::runtime_error("the printer's state cannot be read: " + state.dump());
    const Json &n = state.at("counters");
    return n.value("coo", int64_t{0}) > 0 || n.value("crz", int64_t{0}) > 0 ||
           state.value("paperLines", int64_t{0}) > 0;
}

// A used folder runs its next day only on the demo's own printer: another one would fail the
// till's serial check on every run.
void requireDemoPrinter(PrinterControl &printer, const std::string &folder) {
    const Json state = printer.run("State", Json::array());
    const std::string serial = state.at("id").value("serial", std::string());
    if (serial != kDemoSerial)
        throw std::runtime_error("the printer in " + folder + "/ecf is " + serial +
                                 ", not the demo's " + kDemoSerial +
                                 ": run tiv demo with a new --state folder, or remove this one "
                                 "to start again");
}

// The day as its Z reduction recorded it in the fiscal memory.
void printSummary(PrinterControl &printer, const std::string &folder) {
    const Json records = printer.run("FiscalMemory", Json::array());
    std::cout << "\n---- resumo do dia (reducao Z) ----\n";
    if (!records.is_array() || records.empty()) {
        std::cout << "Nenhuma reducao Z registrada.\nPasta        : " << folder << '\n';
        return;
    }
    const Json &z = records.back();
    const Json &day = z.at("day");
    auto cents = [&](const char *name) { return day.value(name, int64_t{0}); };
    const std::string date = z.value("date", std::string("00000000"));
    std::cout << "Movimento    : " << date.substr(0, 2) << '/' << date.substr(2, 2) << '/'
              << date.substr(4) << '\n'
              << "Venda bruta  : " << money(cents("gross")) << '\n'
              << "Cancelamentos: " << money(cents("cancelled")) << '\n'
              << "Descontos    : " << money(cents("discounts")) << '\n'
              << "Acrescimos   : " << money(cents("surcharges")) << '\n'
              << "Venda liquida: "
              << money(cents("gross") - cents("cancelled") - cents("discounts")) << '\n';
    int slot = 0;
    for (const auto &rate : z.at("rates")) {
        ++slot;
        const std::string kind = rate.value("kind", std::string());
        if (kind.empty() || rate.value("base", int64_t{0}) == 0) continue;
        std::cout << "  " << kind << std::setw(2) << std::setfill('0') << slot << std::setfill(' ')
                  << ' ' << rate.value("rate", int64_t{0}) / 100 << ',' << std::setw(2)
                  << std::setfill('0') << rate.value("rate", int64_t{0}) % 100 << std::setfill(' ')
                  << "%  : " << money(rate.value("base", int64_t{0})) << '\n';
    }
    std::cout << "  F (subst.)  : " << money(cents("substitution")) << '\n'
              << "  I (isento)  : " << money(cents("exempt")) << '\n'
              << "Suprimento   : " << money(cents("supply")) << '\n'
              << "Sangria      : " << money(cents("withdrawal")) << '\n'
              << "COO          : " << z.value("coo", int64_t{0}) << '\n'
              << "CRZ          : " << z.value("crz", int64_t{0}) << '\n'
              << "GT           : " << money(z.value("gt", int64_t{0})) << '\n'
              << "Pasta        : " << folder << '\n';
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
    // A folder whose printer has made documents runs its next day; a new one, or one whose
    // set-up was cut short before the printer made any document (a kill at the first calls),
    // gets a fresh printer: there is nothing on it to lose.
    const bool printerFolder = std::filesystem::exists(folder + "/ecf/ecf.sqlite");
    printer->run("OpenFolder", Json::array({folder + "/ecf"}));
    const bool usedPrinter = printerFolder && printerHasDocuments(*printer);
    const std::string configPath = folder + "/Pravell.cds";
    if (usedPrinter) {
        requireDemoPrinter(*printer, folder);
        moveToNextDay(*printer);
    } else {
        printer->run("Reset", Json::array({demoPrinterSetting()}));
    }
    // The till's configuration file names the printer; its grand total is recorded at the
    // day's first check. A used folder that lost it gets it again, and is told so.
    if (!std::filesystem::exists(configPath)) {
        writeConfigRow(configPath, {"0001", "001", kDemoSerial, "", true});
        if (usedPrinter)
            std::cerr << "tiv demo: " << configPath
                      << " was missing; written again for the printer " << kDemoSerial
                      << " (its grand total is recorded at the day's first check)\n";
    }
    const int64_t mark = printer->markPaper();

    const Json script = Json::parse(demoScript(options.printerType, folder));
    if (!options.scriptPath.empty()) writeDemoScript(options.scriptPath, script);
    ScriptRunner runner(module, printer.get());
    bool failed = false;
    const Json transcript = runner.run(script, failed);
    if (!options.transcriptPath.empty())
        std::ofstream(options.transcriptPath) << transcript.dump(2) << '\n';

    std::vector<std::string> paper;
    for (const auto &line : printer->paperSince(mark))
        paper.push_back(line.get<std::string>());
    for (const auto &line : paper)
        std::cout << line << '\n';
    if (!options.htmlPath.empty()) writePaperHtml(options.htmlPath, paper, "tiv demo: " + folder);

    int failures = failed ? 1 : 0;
    for (const auto &step : transcript.at("steps")) {
        // On a later day the printer's clock runs ahead of the computer's on purpose: the
        // clock check says so, and that is no failure of the day.
        if (usedPrinter && step.value("call", std::string()) == "VerificaData") continue;
        if (stepFailed(step)) {
            ++failures;
            std::cerr << "tiv demo: " << step.value("call", std::string("step")) << " failed";
            if (step.contains("exception")) std::cerr << ": " << step["exception"].dump();
            std::cerr << '\n';
        }
    }

    printSummary(*printer, folder);
    for (const auto &step : transcript.at("steps"))
        if (step.value("call", std::string()) == "Atu_TotGeral")
            std::cout << "GT x Pravell : "
                      << (step.value("return", false) ? "confere" : "NAO CONFERE") << '\n';
    return failures == 0 ? 0 : 1;
}

} // namespace tivtool
