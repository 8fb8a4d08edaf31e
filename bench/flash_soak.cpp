// flash-soak: many complete flashing runs through the simulated modem, each
// with its own seeded faults (split and paced replies, refusals NOK1 to NOK4
// and without code, lost acknowledgements, a slow first line, restarts, the
// loader path). A run may fail, but only with a reason; a run that reports
// success must have left exactly the image in the modem's flash.
//
//   flash-soak [--runs 200] [--seed 1] [--verbose]
// Exit status 1 when any run broke that rule.

#include "base/ProcessSetup.h"
#include "base/Version.h"
#include "bench/QuietReporter.h"
#include "flash/FlashSession.h"
#include "tests/support/HexImage.h"
#include "tests/support/ModemSim.h"
#include "tests/support/TestFiles.h"

#include <CLI/CLI.hpp>

#include <chrono>
#include <cstdio>
#include <map>
#include <random>

namespace {

struct Plan {
    std::vector<std::string> modem;
    ImageSpec image;
    bool complete = false;
    double yes = 1.0;
    std::string summary;
};

std::string Rate(double value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%.3f", value);
    return text;
}

Plan Draw(std::mt19937& random, unsigned seed)
{
    Plan plan;
    auto chance = [&](double p) { return std::uniform_real_distribution<double>(0, 1)(random) < p; };
    auto rate = [&](double max) { return std::uniform_real_distribution<double>(0, max)(random); };

    plan.image.dataBytes = 256 + random() % 6000;
    plan.image.recordBytes = chance(0.5) ? 16 : 32;
    plan.image.base = chance(0.3) ? 0xFF00 + random() % 0x40000 : 0x20;
    plan.image.seed = seed;
    plan.modem = {"--seed", std::to_string(seed), "--restart-delay", "0.02"};
    auto add = [&](std::string option, std::string value) {
        plan.modem.push_back(option);
        plan.modem.push_back(value);
        plan.summary += " " + option + " " + value;
    };
    if (chance(0.3))
        add("--chunk", std::to_string(1 + random() % 7));
    if (chance(0.15))
        add("--pace", chance(0.5) ? "115200" : "230400");
    if (chance(0.3))
        plan.modem.push_back("--nok-code-first");
    for (const char* nok : {"--nok1", "--nok2", "--nok3", "--nok4", "--nok-no-code"})
        if (chance(0.3))
            add(nok, Rate(rate(0.03)));
    if (chance(0.1))
        add("--drop-ack", Rate(rate(0.01)));
    if (chance(0.1))
        add("--slow-first-line", Rate(2.0 + rate(1.0)));
    if (chance(0.25)) {
        plan.complete = true;
        plan.modem.push_back("--no-rrfl");
        plan.modem.push_back("--no-ffl");
        plan.summary += " (complete load)";
        if (chance(0.3))
            add("--drop-loader-ack-at", std::to_string(random() % 20));
    }
    plan.yes = chance(0.8) ? 1.0 : 0.5;
    // Answers as terse as the line contract allows.
    if (chance(0.3))
        add("--ack", chance(0.5) ? "bare" : "lead");
    for (const char* flag : {"--one-line-banner", "--echo-loader-lines"}) {
        if (chance(0.3)) {
            plan.modem.push_back(flag);
            plan.summary += std::string(" ") + flag;
        }
    }
    return plan;
}

}  // namespace

int main(int argc, char** argv)
{
    unsigned runs = 200;
    unsigned seed = 1;
    bool verbose = false;
    CLI::App app{"Flashes the simulated modem again and again with seeded faults and checks every outcome."};
    app.set_version_flag("--version", std::string("flash-soak ") + ProgramVersion());
    app.add_option("--runs", runs, "How many runs")->capture_default_str();
    app.add_option("--seed", seed, "The first run's seed; run i uses seed + i")->capture_default_str();
    app.add_flag("--verbose", verbose, "One line per run");
    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int status = app.exit(e);
        return status == 0 ? StatusAfterOutput(0, "flash-soak") : status;
    }

    ScopedTempDir dir;
    WriteFileBytes(dir.File("FLASHLDR.HEX"), MakeLoader());
    std::map<std::string, int> outcomes;
    int broken = 0;
    auto start = std::chrono::steady_clock::now();

    for (unsigned i = 0; i < runs; ++i) {
        unsigned runSeed = seed + i;
        std::mt19937 random(runSeed);
        Plan plan = Draw(random, runSeed);
        std::string image = MakeImage(plan.image);
        WriteFileBytes(dir.File("MODEM.HEX"), image);
        std::string flashed = dir.File("flashed-" + std::to_string(i) + ".hex");
        plan.modem.insert(plan.modem.end(), {"--flash-out", flashed});

        ModemSimProcess sim;
        if (!sim.Start(plan.modem) && !sim.Start(plan.modem)) {
            std::fprintf(stderr, "run %u: modemsim did not start: %s\n", i, sim.ErrorOutput().c_str());
            return 1;
        }
        QuietReporter reporter;
        reporter.printFailures = false;
        std::bernoulli_distribution yes(plan.yes);
        reporter.answerYes = [&] { return yes(random); };
        FlashSession session(reporter, {sim.DevicePath(), 115200, dir.File("MODEM.HEX"), dir.File("FLASHLDR.HEX")});
        bool ok = session.CheckAtOpening() == FlashSession::CheckResult::Ready && session.OnPerformLoading();
        sim.Stop();

        std::string verdict;
        if (ok) {
            bool same = FileExists(flashed) && HexMemory(ReadFileBytes(flashed)) == HexMemory(image);
            verdict = same ? "succeeded, flash equals the image" : "REPORTED SUCCESS BUT THE FLASH DIFFERS";
            broken += same ? 0 : 1;
        } else if (session.FailureReason().empty()) {
            verdict = "FAILED WITHOUT A REASON";
            ++broken;
        } else {
            verdict = "failed: " + session.FailureReason();
        }
        ++outcomes[verdict];
        if (verbose || verdict[0] < 'a')
            std::printf("run %u (seed %u,%s, %d questions): %s %s\n", i, runSeed, plan.summary.c_str(),
                        reporter.questions, verdict.c_str(), session.FailureDetail().c_str());
    }

    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%u runs in %.0f s, seeds %u to %u:\n", runs, seconds, seed, seed + runs - 1);
    for (const auto& [verdict, count] : outcomes)
        std::printf("%6d  %s\n", count, verdict.c_str());
    std::printf("%d runs broke the rule\n", broken);
    return broken == 0 ? 0 : 1;
}
