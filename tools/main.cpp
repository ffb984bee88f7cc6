// tiv: the command-line host of the driver module.
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <iostream>

#include <CLI/CLI.hpp>

#include "config_file.h"
#include "demo.h"
#include "ead_verify.h"
#include "image_show.h"
#include "module.h"
#include "paper_html.h"
#include "printer_control.h"
#include "procedure_describe.h"
#include "procedure_reference.h"
#include "program_folder.h"
#include "script_runner.h"
#include "serve.h"
#include "tivplatform/errors.h"
#include "tivplatform/progress.h"
#include "tivplatform/system.h"

namespace {

// The exit statuses of tiv run (docs/tiv.md lists every command's).
constexpr int exitCannotStart = 1;
constexpr int exitScriptError = 2;
constexpr int exitStepRaised = 3;
constexpr int exitStepFalse = 4;
// A command line tiv cannot read (an unknown option, a value out of range, a missing one).
constexpr int exitUsage = 64;

const char *runHelp = R"(Runs a script of steps against the driver module and prints a JSON
transcript on standard output.

A script is a JSON array of steps (or {"steps": [...]}). Steps:
  {"call": "AbreCupom", "args": [ ... ]}   call a procedure by its plain name
  {"answers": [true, false]}               queue the operator's answers to dialogs
                                           (with none queued a dialog is answered no)
  {"ecfsim": "Reset", "args": [{...}]}     a control of the virtual printer
                                           (OpenFolder, Reset, SetClock, ShiftClock,
                                           InjectFault, ClearFaults, Journal,
                                           ClearJournal, MarkPaper, PaperSince,
                                           State, Folder, LastError)

Argument forms, by the procedure's declared parameter:
  text                 "texto"                    (UTF-8; the driver gets Windows-1252)
  text out             {"out": "initial"}
  integer, real        12, 3.5
  boolean              true
  boolean out          {"out": false}
  date-time            {"datetime": "2026-12-10 14:30:00"}
  date-time out        {"out": {"datetime": "2026-12-10 00:00:00"}}
  parameter array      {"NAME": value, ...} or [["NAME", value], ...]
  argument list        [value, ...]
  result array         {"result": 10}            (10 empty elements)
  string list          ["line", ...] or null
  dataset, packet      {"fields": [{"name": "A", "type": "string", "size": 10}],
                        "rows": [["x"]]}          (types: string, integer, float,
                                                  boolean, datetime) or null

Every step is checked before the first one runs; a script error names the step
and what was expected, and nothing runs (exit status 2).

Exit status: 0 every step ran; 1 the module or printer cannot be used; 2 a
script error; 3 a procedure raised an error (its record holds "exception");
4 with --strict, a procedure returned false; 64 a wrong command line.)";

// A script is a regular file or standard input ("-", which may be a pipe),
// each of at most tiv::kMaxReadFileSize bytes.
std::string readAll(const std::string &path) {
    try {
        if (path == "-") return tiv::readStream(STDIN_FILENO, "the script from standard input");
        return tiv::readFile(path);
    } catch (const tiv::Error &e) {
        throw std::runtime_error(std::string("the script: ") + e.what());
    }
}

// The worst outcome of the steps that ran: one that raised, then (when strict) one that
// returned false. Each is named on standard error.
int stepsStatus(const tivtool::Json &transcript, bool strict) {
    int status = 0;
    for (const auto &step : transcript["steps"]) {
        const std::string name = step.value("call", std::string());
        if (step.contains("exception")) {
            std::cerr << "tiv: step " << step["step"].dump() << ": " << name
                      << " raised: " << step["exception"].dump() << '\n';
            status = exitStepRaised;
        } else if (strict && step.contains("return") && step["return"] == false) {
            std::cerr << "tiv: step " << step["step"].dump() << ": " << name << " returned false\n";
            if (status == 0) status = exitStepFalse;
        }
    }
    return status;
}

int describe(const std::string &name, bool markdown) {
    if (markdown) {
        std::cout << tivtool::referenceMarkdown();
        return 0;
    }
    if (name.empty()) {
        std::cout << tivtool::describeAll();
        return 0;
    }
    const tivtool::Json *entry = tivtool::referenceEntry(name);
    if (!entry) {
        std::cerr << "tiv describe: no procedure \"" << name
                  << "\" (tiv describe lists them all)\n";
        return exitUsage;
    }
    std::cout << tivtool::describeProcedure(*entry);
    return 0;
}

int run(const std::string &scriptPath, const std::string &modulePath,
        const std::string &printerPath, bool strict) {
    using tivtool::Json;
    Json script;
    try {
        script = tivtool::parseJsonText(readAll(scriptPath));
    } catch (const tivtool::JsonTextError &e) {
        std::cerr << "tiv: the script: " << e.what() << '\n';
        return exitScriptError;
    } catch (const std::exception &e) {
        std::cerr << "tiv: " << e.what() << '\n';
        return exitScriptError;
    }

    std::unique_ptr<tivtool::Module> module;
    try {
        module = std::make_unique<tivtool::Module>(
            modulePath.empty() ? tivtool::Module::defaultPath() : modulePath);
    } catch (const std::exception &e) {
        std::cerr << "tiv: " << e.what() << '\n';
        return exitCannotStart;
    }

    std::string why;
    auto printer = tivtool::PrinterControl::open(printerPath, module->folder(), why);
    if (!printer && !printerPath.empty()) {
        std::cerr << "tiv: cannot use the virtual printer: " << why << '\n';
        return exitCannotStart;
    }

    tivtool::ScriptRunner runner(*module, printer.get());
    // A person watching a long script sees it move; a pipe or a file gets the transcript alone.
    std::unique_ptr<tiv::Progress> progress;
    runner.setProgress([&](size_t step, size_t steps, const std::string &what) {
        if (!progress)
            progress = std::make_unique<tiv::Progress>("tiv", "step", static_cast<long>(steps));
        progress->step(static_cast<long>(step), what);
    });
    bool failed = false;
    Json transcript = runner.run(script, failed);
    progress.reset(); // the line cleared
    std::cout << transcript.dump(2) << '\n';
    if (failed) {
        const Json &error = transcript["error"];
        std::cerr << "tiv: "
                  << (error["step"].get<size_t>() ? "step " + error["step"].dump() + ": " : "")
                  << error["message"].get<std::string>() << '\n';
        return exitScriptError;
    }
    return stepsStatus(transcript, strict);
}

} // namespace

int main(int argc, char **argv) {
    CLI::App app{"tiv: the command-line host of the Tiv02000 fiscal-printer driver module.\n"
                 "Loads libtiv02000.so as a point-of-sale host does and calls its procedures by "
                 "their plain names."};
    app.require_subcommand(1);

    std::string scriptPath, modulePath, printerPath;
    CLI::App *runCmd = app.add_subcommand("run", "Run a JSON script of procedure calls and print "
                                                 "the transcript");
    runCmd->footer(runHelp);
    runCmd->add_option("script", scriptPath, "Script file (JSON); - reads standard input")
        ->required();
    runCmd->add_option("--module", modulePath,
                       "The driver module (default: libtiv02000.so beside tiv)");
    bool strict = false;
    runCmd->add_flag("--strict", strict,
                     "Exit with status 4 when a procedure returned false (3 when one raised is "
                     "always on)");
    runCmd->add_option("--printer", printerPath,
                       "The virtual printer library with its ECFSIM_ controls (default: the one "
                       "already loaded, else libInterfaceEpson.so beside the module)");

    tivtool::DemoOptions demo;
    CLI::App *demoCmd = app.add_subcommand(
        "demo", "A working day on a fresh virtual printer: identity and clock, tables in step, "
                "a sale with discounts, two payments and change, the footer and a TEF slip; "
                "prints the paper roll and a summary");
    demoCmd->add_option("--state", demo.stateFolder,
                        "Folder for the printer's state, paper roll and logs (default: a new "
                        "temporary folder)");
    demoCmd->add_option("--type", demo.printerType, "Printer type: 31 classic, 33 ESC/ECF")
        ->check(CLI::IsMember({31, 33}))
        ->default_val(33);
    demoCmd->add_option("--module", demo.modulePath,
                        "The driver module (default: libtiv02000.so beside tiv)");
    demoCmd->add_option("--transcript", demo.transcriptPath,
                        "Also write the JSON transcript of every call to this file");
    demoCmd->add_option("--html", demo.htmlPath,
                        "Also write the day's paper as a page that looks like the roll (UTF-8 "
                        "HTML)");

    std::string paperHtmlPath, paperFolder;
    demoCmd->add_option("--script", demo.scriptPath,
                        "Also write the day's script, every step with its inputs, to this file "
                        "(JSON that tiv run takes)");

    std::string describeName;
    bool describeMarkdown = false;
    CLI::App *describeCmd = app.add_subcommand(
        "describe", "What a procedure takes and answers: each argument's form (parameter-array "
                    "keys, list positions, dataset fields), the result, what fails, and a "
                    "script that calls it; without a name, every procedure in one line");
    describeCmd->add_option("procedure", describeName, "The procedure's plain name");
    describeCmd->add_flag("--markdown", describeMarkdown,
                          "The whole reference as Markdown (docs/procedures.md)");

    CLI::App *paperCmd = app.add_subcommand(
        "paper", "The virtual printer's paper roll as a page that looks like thermal paper");
    bool paperText = false;
    CLI::Option *paperHtml =
        paperCmd->add_option("--html", paperHtmlPath, "The page to write (UTF-8 HTML)");
    paperCmd
        ->add_flag("--text", paperText,
                   "Print the roll on standard output as text in UTF-8 (the roll file is "
                   "Windows-1252)")
        ->excludes(paperHtml);
    paperCmd->add_option("--state", paperFolder,
                         "The printer's folder, or a folder given to tiv demo --state (default: "
                         "the printer's own, $ECFSIM_DIR or ~/.local/state/tiv/ecfsim)");

    CLI::App *configCmd = app.add_subcommand(
        "config", "Write or show the till's configuration file (Pravell.cds): the printers a "
                  "till may use, each with the grand total (GT) last seen");
    configCmd->require_subcommand(1);
    std::string configPath;
    tivtool::ConfigRowOptions row;
    bool noGtCheck = false;
    CLI::App *configWrite = configCmd->add_subcommand(
        "write", "Add the row of a branch, till and printer (or replace it); the other rows are "
                 "kept");
    configWrite->add_option("--branch", row.branch, "Branch code (CDFILIAL)")->required();
    configWrite->add_option("--till", row.till, "Till code (CDCAIXA)")->required();
    configWrite->add_option("--serial", row.serial, "The printer's serial number")->required();
    configWrite->add_option("--gt", row.gt,
                            "The grand total, in the system's decimal form (default: not "
                            "recorded yet; the driver records the printer's at its next check)");
    configWrite->add_flag("--no-gt-check", noGtCheck, "Do not check this row's grand total");
    CLI::App *configShow = configCmd->add_subcommand("show", "Print every row in plain text");
    for (CLI::App *sub : {configWrite, configShow})
        sub->add_option("--file", configPath,
                        "The file (default: Pravell.cds in the program folder, the folder of "
                        "tiv or $TIV_PROGRAM_DIR)");

    CLI::App *imageCmd = app.add_subcommand(
        "image", "Binary images of the virtual printer's fiscal memory (MF) and detail memory "
                 "(MFD), as EPSON_Obter_Arquivo_Binario_MF and _MFD write them");
    imageCmd->require_subcommand(1);
    std::string imagePath;
    CLI::App *imageShow = imageCmd->add_subcommand(
        "show", "Check an image (layout and SHA-256 checksum) and print its header and every "
                "record as a line of JSON; a damaged image is refused (exit status 1)");
    imageShow->add_option("file", imagePath, "The image file")->required();
    CLI::App *eadCmd =
        app.add_subcommand("ead", "The EAD record of signed fiscal files (see docs/ead.md)");
    eadCmd->require_subcommand(1);
    std::string eadFile;
    tivtool::EadKey eadKey = tivtool::programPublicKey();
    CLI::App *eadVerify = eadCmd->add_subcommand(
        "verify", "Check the file's EAD signature: prints valid (exit 0), invalid with the "
                  "reason (exit 3) or unsigned (exit 4); exit 1 when it cannot be checked");
    eadVerify->add_option("file", eadFile, "The signed file")->required();
    eadVerify->add_option("--modulus", eadKey.modulus,
                          "The public key's modulus, 256 hexadecimal digits (default: the "
                          "program's own key)");
    eadVerify->add_option("--exponent", eadKey.exponent,
                          "The public exponent in hexadecimal (default: 010001)");

    tivtool::ServeOptions serveOptions;
    if (const char *token = std::getenv("TIV_SERVE_TOKEN")) serveOptions.token = token;
    CLI::App *serveCmd = app.add_subcommand(
        "serve", "The procedures as a local service, one call at a time: HTTP with JSON on a "
                 "loopback address (POST /calls/{Procedure}), or JSON lines on standard "
                 "input/output (see docs/hosts.md)");
    serveCmd->add_flag("--lines", serveOptions.lines,
                       "JSON lines on standard input/output instead of HTTP: one request per "
                       "line, one answer per line");
    serveCmd
        ->add_option("--address", serveOptions.address,
                     "The address to listen on; one that is not loopback needs a token")
        ->default_val("127.0.0.1");
    serveCmd->add_option("--port", serveOptions.port, "The port; 0 picks a free one")
        ->check(CLI::Range(0, 65535))
        ->default_val(8765);
    serveCmd->add_option("--token", serveOptions.token,
                         "Every request must bear \"Authorization: Bearer TOKEN\" (default: "
                         "$TIV_SERVE_TOKEN; none on loopback)");
    serveCmd
        ->add_option("--allow-origin", serveOptions.allowOrigins,
                     "Let web pages of this origin call the service (repeatable), e.g. "
                     "http://localhost:3000; the token is still needed off loopback")
        ->check([](const std::string &origin) { return tivtool::originProblem(origin); });
    // Seconds, fractions allowed.
    const auto seconds = [&](const char *name, std::chrono::milliseconds &into, const char *what) {
        serveCmd
            ->add_option_function<double>(
                name,
                [&into](double s) {
                    into = std::chrono::milliseconds(static_cast<long long>(s * 1000));
                },
                what)
            ->check(CLI::Range(0.01, 86400.0))
            ->default_str(std::to_string(into.count() / 1000));
    };
    seconds("--idle-timeout", serveOptions.limits.idle,
            "Seconds a connection may wait for its next request before it is closed");
    seconds("--header-timeout", serveOptions.limits.header,
            "Seconds a request's header may take from its first byte (then 408)");
    seconds("--body-timeout", serveOptions.limits.body,
            "Seconds a request's body may take after its header (then 408)");
    serveCmd
        ->add_option("--max-connections", serveOptions.limits.maxConnections,
                     "Open connections at most; the longest idle makes room for a new one")
        ->check(CLI::Range(1, 100000))
        ->capture_default_str();
    serveCmd->add_option("--module", serveOptions.modulePath,
                         "The driver module (default: libtiv02000.so beside tiv)");
    serveCmd->add_option("--printer", serveOptions.printerPath,
                         "The virtual printer library (default: the one beside the module)");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError &e) {
        // Help and version are no error; every wrong command line exits with one status.
        const int status = app.exit(e);
        return status == 0 ? 0 : exitUsage;
    }
    // An installed tiv may not write beside itself: the driver's files go to the user's
    // state folder then.
    tivtool::settleProgramFolder(tiv::programFolder());
    try {
        if (demoCmd->parsed()) return tivtool::runDemo(demo);
        if (serveCmd->parsed()) return tivtool::serve(serveOptions);
        if (describeCmd->parsed()) return describe(describeName, describeMarkdown);
        if (paperCmd->parsed()) {
            if (!paperText && paperHtmlPath.empty()) {
                std::cerr << "tiv paper: give --html FILE or --text\n";
                return exitUsage;
            }
            const std::string roll = tivtool::findPaperRoll(paperFolder);
            if (paperText) {
                for (const std::string &line : tivtool::readPaperRoll(roll))
                    std::cout << line << '\n';
                return 0;
            }
            tivtool::writePaperHtml(paperHtmlPath, tivtool::readPaperRoll(roll), roll);
            return 0;
        }
        if (imageCmd->parsed()) {
            tivtool::showMemoryImage(imagePath, std::cout);
            return 0;
        }
        if (eadCmd->parsed()) return tivtool::verifyEad(eadFile, eadKey, std::cout);
        if (configCmd->parsed()) {
            const std::string path = configPath.empty() ? tivtool::defaultConfigPath() : configPath;
            if (configWrite->parsed()) {
                row.checkGt = !noGtCheck;
                tivtool::writeConfigRow(path, row);
            }
            tivtool::showConfig(path, std::cout);
            return 0;
        }
        return run(scriptPath, modulePath, printerPath, strict);
    } catch (const std::exception &e) {
        std::cerr << "tiv: " << e.what() << '\n';
        return exitCannotStart;
    }
}
