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
#include "cli/Suggestions.h"
#include "cli/TerminalUi.h"
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

// The modem handshake on one port; prints the identification text.
int RunProbe(const std::string& port)
{
    PrintStaleLockNote(port);
    std::string identification;
    if (CLoaderApp::ProbeModem(port, identification) == 1) {
        std::printf("%s\n", Printable(identification).c_str());
        return kExitOk;
    }
    std::string problem = DescribePortProblem(port);
    if (problem.empty())
        problem = "No supported modem answered on " + port + ".";
    std::fprintf(stderr, "%s\n", Printable(problem, true).c_str());
    return kExitPort;
}

// Every port with a modem or without, one line each: name, whether a modem
// answered, the port list's text and the modem's identification, separated
// by tabs.
int RunScan()
{
    TerminalScanUi ui;
    int found = CLoaderApp::ScanForModems(ui);
    for (const PortEntry& row : PortTable) {
        if (row.portName.empty())
            break;
        std::printf("%s\t%s\t%s\t%s\n", Printable(row.portName).c_str(), row.modemFound ? "modem" : "no modem",
                    Printable(row.displayText).c_str(), Printable(row.identification).c_str());
    }
    return found == 1 ? kExitOk : kExitPort;
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
        auto* ports = command->add_option(
            "-p,--port", options.ports, "COM1 to COM9, or a device path; several flash their modems at the same time");
        auto* all =
            command->add_flag("--all", options.all, "Every port on which the handshake finds a supported modem");
        ports->excludes(all);
        all->excludes(ports);
    } else {
        command->add_option("-p,--port", options.port, "COM1 to COM9, or a device path")->required();
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
    app.footer(kExitCodes);

    auto* about = app.add_subcommand("about", "Print the product texts of tarnix.ini in the current directory");
    auto* selection =
        app.add_subcommand("selection", "Print the last selection (lastsel.dat) of the current directory");

    std::string probePort;
    auto* probe = app.add_subcommand("probe", "Run the modem handshake on a port and print the modem's identification");
    probe->add_option("-p,--port", probePort, "COM1 to COM9, or a device path")->required();

    auto* scan = app.add_subcommand("scan", "Probe every serial port for a supported modem");

    FlashOptions infoOptions;
    auto* info = app.add_subcommand("info", "Compare what the image and the modem say about themselves");
    AddTargetOptions(info, infoOptions);

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
        return StatusAfterOutput(RunProbe(probePort), "flashloader-cli");
    if (scan->parsed())
        return StatusAfterOutput(RunScan(), "flashloader-cli");
    if (info->parsed())
        return StatusAfterStop(RunInfo(infoOptions));
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
