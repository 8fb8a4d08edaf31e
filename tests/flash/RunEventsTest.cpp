// The events whole runs tell their front end, against the simulated modem:
// the phases in order, each file's progress from nothing to all of it, the
// long waits with their limits, and how the run ended and why.

#include "flash/FlashSession.h"

#include "resources/StringTable.h"
#include "tests/support/HexImage.h"
#include "tests/support/ModemSim.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

namespace {

using P = RunPhase;

TEST(RunEventsTest, PhasesProgressWaitsAndResultOfWholeRuns)
{
    const std::string image = LoadResString(IDS_IMAGE_DOWNLOAD_FAILED);
    const struct {
        const char* name;
        std::vector<std::string> modem;
        std::vector<RunPhase> phases;
        std::vector<RunFile> files;  // in the order they were begun
        std::vector<ModemWait> waits;
        RunOutcome outcome;
        std::string reason;
        std::string detail;  // a part of it
    } cases[] = {
        {"normal load",
         {},
         {P::Checking, P::Starting, P::Erasing, P::LoadingImage, P::Done},
         {RunFile::Image},
         {ModemWait::Erasing},
         RunOutcome::Succeeded,
         "",
         ""},
        {"complete load",
         {"--no-rrfl", "--no-ffl"},
         {P::Checking, P::Starting, P::LoadingLoader, P::LoadingImage, P::Done},
         {RunFile::Loader, RunFile::Image},
         {ModemWait::Erasing},
         RunOutcome::Succeeded,
         "",
         ""},
        {"restarted loader",
         {"--nok-at", "6:1", "--restart-delay", "0.05"},
         {P::Checking, P::Starting, P::Erasing, P::LoadingImage, P::RestartingLoader, P::LoadingImage, P::Done},
         {RunFile::Image},
         {ModemWait::Erasing, ModemWait::Restarting},
         RunOutcome::Succeeded,
         "",
         ""},
        {"restart declined",
         {"--nok-at", "6:4"},
         {P::Checking, P::Starting, P::Erasing, P::LoadingImage, P::Done},
         {RunFile::Image},
         {ModemWait::Erasing},
         RunOutcome::ImageFailed,
         image,
         "refused by the modem (NOK4)"},
        {"types differ",
         {"--type", "U"},
         {P::Checking, P::Starting, P::Done},
         {},
         {},
         RunOutcome::Incompatible,
         "The modem and the loader are incompatable in their types. ",
         ""},
        {"start unanswered",
         {"--no-answer", "AT&&FGO"},
         {P::Checking, P::Starting, P::Erasing, P::Done},
         {},
         {},
         RunOutcome::StartFailed,
         LoadResString(IDS_START_FAILED),
         "AT&&FGO"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedTempDir dir;
        ModemSimProcess sim;
        ASSERT_TRUE(sim.Start(c.modem));
        WriteFileBytes(dir.File("MODEM.HEX"), MakeImage({}));
        WriteFileBytes(dir.File("FLASHLDR.HEX"), MakeLoader());
        RecordingReporter reporter;
        reporter.answers = {MsgResult::Yes};  // a restart, and only for NOK1
        if (c.outcome != RunOutcome::Succeeded)
            reporter.answers.clear();
        FlashSession session(reporter, {sim.DevicePath(), 115200, dir.File("MODEM.HEX"), dir.File("FLASHLDR.HEX")});
        ASSERT_EQ(session.CheckAtOpening(), FlashSession::CheckResult::Ready);
        EXPECT_EQ(session.OnPerformLoading(), c.outcome == RunOutcome::Succeeded);

        EXPECT_EQ(reporter.phases, c.phases);
        // Each file starts with nothing sent, gains a line at a time and,
        // when the run succeeds, ends whole.
        std::vector<RunFile> files;
        for (std::size_t i = 0; i < reporter.steps.size(); ++i) {
            const RunProgress& step = reporter.steps[i];
            if (step.linesSent == 0) {
                files.push_back(step.file);
                EXPECT_EQ(step.bytesSent, 0u);
                continue;
            }
            EXPECT_EQ(step.linesSent, reporter.steps[i - 1].linesSent + 1);
            EXPECT_GT(step.bytesSent, reporter.steps[i - 1].bytesSent);
            const bool last = i + 1 == reporter.steps.size() || reporter.steps[i + 1].linesSent == 0;
            if (last && c.outcome == RunOutcome::Succeeded)
                EXPECT_TRUE(step.linesSent == step.linesTotal && step.bytesSent == step.bytesTotal);
            else
                EXPECT_LT(step.bytesSent, step.bytesTotal);
        }
        EXPECT_EQ(files, c.files);
        EXPECT_EQ(reporter.waits, c.waits);
        // The erase and a restarted loader may take minutes.
        for (const RunWait& wait : reporter.waitEvents)
            EXPECT_EQ(wait.limitMs, 180000u);

        ASSERT_EQ(reporter.results.size(), 1u);
        const RunResult& result = reporter.results[0];
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.reason, c.reason);
        EXPECT_NE(result.detail.find(c.detail), std::string::npos) << result.detail;
        EXPECT_EQ(RunResultStatus(result), c.reason.empty() ? LoadResString(IDS_SUCCESS)
                                                            : c.reason + "\n" + LoadResString(IDS_FAILED_TRY_AGAIN));
    }
}

// A front end that asks to stop as soon as one of the files has been sent
// whole, before the engine next asks whether to go on.
class StopOnceSent : public FlashReporter {
public:
    explicit StopOnceSent(RunFile file) : m_file(file) {}
    MsgResult ShowMessage(const std::string&, const std::string&, MsgIcon, MsgButtons) override
    {
        return MsgResult::No;
    }
    void OnProgress(const RunProgress& p) override
    {
        if (p.file == m_file && p.linesTotal != 0 && p.linesSent == p.linesTotal)
            m_stop = true;
    }
    void OnResult(const RunResult& result) override { results.push_back(result); }
    GoOnAnswer ShouldGoOn() override { return m_stop ? GoOnAnswer::Stop : GoOnAnswer::GoOn; }
    std::vector<RunResult> results;

private:
    RunFile m_file;
    bool m_stop = false;
};

TEST(RunEventsTest, StopAfterAFilesLastLineEndsTheRunOnlyWhereSomethingIsLeftToSend)
{
    const struct {
        const char* name;
        std::vector<std::string> modem;
        RunFile stopAfter;
        RunOutcome outcome;
        std::string detail;  // a part of it
    } cases[] = {
        // Every line of the image acknowledged: the modem is whole.
        {"image sent", {}, RunFile::Image, RunOutcome::Succeeded, ""},
        // The loader is in, the image not begun: it stops before its first line.
        {"loader sent",
         {"--no-rrfl", "--no-ffl"},
         RunFile::Loader,
         RunOutcome::ImageFailed,
         "Stopped at your request at line 1;"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedTempDir dir;
        ModemSimProcess sim;
        ASSERT_TRUE(sim.Start(c.modem));
        WriteFileBytes(dir.File("MODEM.HEX"), MakeImage({}));
        WriteFileBytes(dir.File("FLASHLDR.HEX"), MakeLoader());
        StopOnceSent reporter(c.stopAfter);
        FlashSession session(reporter, {sim.DevicePath(), 115200, dir.File("MODEM.HEX"), dir.File("FLASHLDR.HEX")});
        ASSERT_EQ(session.CheckAtOpening(), FlashSession::CheckResult::Ready);
        EXPECT_EQ(session.OnPerformLoading(), c.outcome == RunOutcome::Succeeded);
        ASSERT_EQ(reporter.results.size(), 1u);
        EXPECT_EQ(reporter.results[0].outcome, c.outcome);
        EXPECT_NE(reporter.results[0].detail.find(c.detail), std::string::npos) << reporter.results[0].detail;
    }
}

}  // namespace
