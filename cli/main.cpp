// flashloader-cli: the command-line front end, for scripts and factory
// benches. Exit status (see kExitCodes): 0 success, 1 a run failed or the
// modem refused the image, 2 usage, 3 a port problem, 4 a file problem,
// 128 + the signal after a stop by Ctrl-C, SIGTERM or SIGHUP.

#include "app/LastSelection.h"
#include "app/LoaderApp.h"
#include "base/Paths.h"
#include "base/ProcessSetup.h"
#include "app/ProductTexts.h"
#include "base/Text.h"
#include "base/Version.h"
#include "cli/Commands.h"
#include "cli/Printable.h"
#include "cli/Records.h"
#include "cli/Suggestions.h"
#include "cli/TerminalUi.h"
#include "ports/ModemScan.h"
#include "ports/PortDevice.h"
#include "ports/PortTable.h"
#include "serial/PortDiagnosis.h"

#include <CLI/CLI.hpp>

#include <cstdio>

// The About box's three lines, from "tarnix.ini" in the current directory.
int RunAbout()
{
    TerminalUi ui;
    if (!LoadProductTexts(ui, SettingsReader::Cli))
        return kExitFailed;
    std::printf("%s %s\n%s\n%s\n", Printable(ProductTexts.ProductName).c_str(),
                Printable(ProductTexts.VersionString).c_str(), Printable(ProductTexts.CompanyName).c_str(),
                Printable(ProductTexts.CompanySlogen).c_str());
    return kExitOk;
}

// The selection that a plain start in the current directory begins with.
int RunSelection()
{
    LoadLastSelection();
    if (FileContents stored = ReadRegularFile(kLastSelectionFileName, 0); stored.result == FileContents::NotAFile)
        std::fprintf(stderr, "%s is %s, not a file: it is read as no selection, and a run does not replace it.\n",
                     kLastSelectionFileName, stored.what.c_str());
    std::string port = Printable(FieldText(FlashSelection.PortName));
    std::printf("Port:         %s\n", port.empty() ? "(none)" : port.c_str());
    std::printf("Baud Rate:    %d\n", static_cast<int>(FlashSelection.BaudRate));
    std::printf("Loading File: %s\n", Printable(FieldText(FlashSelection.HexFilePath)).c_str());
    return kExitOk;
}

// What the handshake found on a port, in a few words: a modem, no answer,
// or why the port could not be tried.
std::string PortState(bool modemFound, const PortProblem& problem)
{
    return modemFound ? "modem" : problem.brief.empty() ? "no modem" : problem.brief;
}

// A port as the JSON answers and the records give it: its name, the
// device behind it, and what the handshake found.
nlohmann::json PortJson(const std::string& port, bool modemFound, const std::string& identification,
                        const PortProblem& problem)
{
    nlohmann::json modem = nullptr;
    if (modemFound)
        modem = {{"identification", identification}};
    return {{"port", port},
            {"device", DeviceRecord(DescribePortDevice(port))},
            {"modem", modem},
            {"state", PortState(modemFound, problem)},
            {"problem", modemFound ? nlohmann::json() : NullWhenEmpty(problem.text)}};
}

// The modem handshake on one port; prints the identification text.
int RunProbe(const std::string& port, bool json)
{
    PrintStaleLockNote(port);
    std::string identification;
    const bool found = CLoaderApp::ProbeModem(port, identification) == 1;
    PortProblem problem;
    if (!found) {
        problem = DiagnosePort(port);
        if (problem.text.empty())
            problem.text = "No supported modem answered on " + port + ".";
    }
    if (json) {
        nlohmann::json answer = RecordHeader();
        answer.update(PortJson(port, found, identification, problem));
        std::printf("%s\n", JsonText(answer, 2).c_str());
    } else if (found) {
        std::printf("%s\n", Printable(identification).c_str());
    }
    if (found)
        return kExitOk;
    std::fprintf(stderr, "%s\n", Printable(problem.text, true).c_str());
    return kExitPort;
}

// Every port with a modem or without, one line each: name, what the
// handshake found (modem, no modem, or why the port could not be tried),
// the port's description and the modem's identification, separated by
// tabs; or all of it as JSON.
int RunScan(bool json)
{
    TerminalScanUi ui;
    const std::vector<PortEntry> ports = modem_scan::ScanAllPorts(ui);
    nlohmann::json list = nlohmann::json::array();
    bool found = false;
    for (const PortEntry& row : ports) {
        PortProblem problem;
        if (!row.modemFound)
            problem = DiagnosePort(row.portName);
        found = found || row.modemFound;
        if (json) {
            nlohmann::json entry = PortJson(row.portName, row.modemFound, row.identification, problem);
            entry["description"] = row.displayText;
            list.push_back(entry);
            continue;
        }
        std::printf("%s\t%s\t%s\t%s\n", Printable(row.portName).c_str(),
                    Printable(PortState(row.modemFound, problem)).c_str(), Printable(row.displayText).c_str(),
                    Printable(row.identification).c_str());
    }
    if (json) {
        nlohmann::json answer = RecordHeader();
        answer["ports"] = list;
        std::printf("%s\n", JsonText(answer, 2).c_str());
    }
    if (!found)
        std::fprintf(stderr, "%s\n", NoModemFound(ports, ".").c_str());
    return found ? kExitOk : kExitPort;
}

namespace {

// The footer of --help, and of the manual page made from it.
constexpr char kExitCodes[] = "Exit status:\n"
                              "  0    every port succeeded\n"
                              "  1    a run failed, or the modem refused the image (incompatible, refused lines, "
                              "wrong loader version)\n"
                              "  2    usage error\n"
                              "  3    port problem: missing, in use, no permission, or no modem answered\n"
                              "  4    file problem: the image or loader missing, unreadable or not valid Intel HEX, "
                              "or the report or log not writable\n"
                              "  128+N  stopped by signal N: 130 after Ctrl-C, 143 after SIGTERM, 129 after SIGHUP\n"
                              "With several ports, the highest code of a port that failed; a stop by signal first.";

void AddTargetOptions(CLI::App* command, FlashOptions& options, bool severalPorts = false)
{
    if (severalPorts) {
        auto* ports =
            command->add_option("-p,--port", options.ports,
                                "COM1 to COM256, or a device path; several flash their modems at the same time");
        auto* all =
            command->add_flag("--all", options.all, "Every port on which the handshake finds a supported modem");
        ports->excludes(all);
        all->excludes(ports);
    } else {
        command->add_option("-p,--port", options.port, "COM1 to COM256, or a device path")->required();
    }
    command->add_option("-b,--baud", options.baud, "Baud rate")->check(CLI::PositiveNumber)->capture_default_str();
    command->add_option("-f,--file", options.file, "The firmware image, an Intel HEX file")->required();
    command->add_flag("--trace", options.trace, "Print every byte sent and received, with times, to stderr");
}

}  // namespace

int main(int argc, char** argv)
{
    PrepareProcess();
    CLI::App app{"Modem Flash Loader command line: finds supported modems and flashes their firmware."};
    app.set_version_flag("--version", std::string("flashloader-cli ") + ProgramVersion());
    app.require_subcommand(1);

    auto* about = app.add_subcommand("about", "Print the product texts of tarnix.ini in the current directory");
    auto* selection =
        app.add_subcommand("selection", "Print the last selection (lastsel.dat) of the current directory");

    std::string probePort;
    auto* probe = app.add_subcommand("probe", "Run the modem handshake on a port and print the modem's identification");
    probe->add_option("-p,--port", probePort, "COM1 to COM256, or a device path")->required();
    bool probeJson = false;
    probe->add_flag("--json", probeJson, "Answer in JSON, with the report's field names");

    auto* scan = app.add_subcommand("scan", "Probe every serial port for a supported modem");
    bool scanJson = false;
    scan->add_flag("--json", scanJson, "Answer in JSON, with the report's field names");

    FlashOptions infoOptions;
    auto* info = app.add_subcommand("info", "Compare what the image and the modem say about themselves");
    AddTargetOptions(info, infoOptions);
    info->add_flag("--json", infoOptions.json, "Answer in JSON, with the report's field names");

    FlashOptions flashOptions;
    auto* flash = app.add_subcommand("flash", "Check, then flash the image into the modem");
    AddTargetOptions(flash, flashOptions, true);
    flash->add_option("-l,--loader", flashOptions.loader,
                      "The flash loader file (default: FLASHLDR.HEX in the current directory)");
    auto* yes = flash->add_flag("-y,--yes", flashOptions.yes,
                                "Answer Yes when the modem asks for a retry after a failed erase or program step "
                                "(otherwise asked on a terminal for one port, else No)");
    bool answerNo = false;
    auto* no = flash->add_flag("-n,--no", answerNo,
                               "Answer No to those questions (the default with several ports or no terminal)");
    yes->excludes(no);
    flash->add_option("--report", flashOptions.report,
                      "Write a JSON record of every port's run to FILE at the end (also after Ctrl-C)");
    flash->add_option("--log", flashOptions.log,
                      "Append a JSON record per port per run to FILE, one line each (JSON Lines), kept across runs");
    flash->add_option("--station", flashOptions.station, "The bench's name, kept in the report and the log");

    // Set after the subcommands, which would otherwise each repeat it.
    app.footer(kExitCodes);
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        // Help asked for is no error; everything else is a usage error,
        // with what was most likely meant where a name was mistyped.
        if (app.exit(e) == 0)
            return StatusAfterOutput(kExitOk, "flashloader-cli");
        std::fputs(UsageSuggestions(app, argc, argv).c_str(), stderr);
        return kExitUsage;
    }

    // What these print is their answer: one that could not be written
    // whole is no success.
    if (about->parsed())
        return StatusAfterOutput(RunAbout(), "flashloader-cli");
    if (selection->parsed())
        return StatusAfterOutput(RunSelection(), "flashloader-cli");
    if (probe->parsed())
        return StatusAfterOutput(RunProbe(probePort, probeJson), "flashloader-cli");
    if (scan->parsed())
        return StatusAfterOutput(RunScan(scanJson), "flashloader-cli");
    if (info->parsed())
        return StatusAfterOutput(StatusAfterStop(RunInfo(infoOptions)), "flashloader-cli");
    if (flash->parsed()) {
        if (flashOptions.ports.empty() && !flashOptions.all) {
            std::fprintf(stderr, "flash: give --port, several --port options, or --all\n");
            return kExitUsage;
        }
        if (flashOptions.all || flashOptions.ports.size() > 1 || !flashOptions.report.empty() ||
            !flashOptions.log.empty())
            return StatusAfterStop(RunBench(flashOptions));
        flashOptions.port = flashOptions.ports.front();
        return StatusAfterStop(RunFlash(flashOptions));
    }
    return kExitUsage;
}
