// What the confirmation window draws for the events of a check and a run,
// as both windows take it from the presenter, and when the window may
// handle its messages or end the run. The same tables on Linux and Windows.

#include "flash/FlashSession.h"
#include "resources/StringTable.h"
#include "ui/rules/RunPresenter.h"

#include <functional>
#include <gtest/gtest.h>

namespace {

// Everything drawn, a line per call, in order.
struct DrawingLog : RunView {
    MsgResult ShowMessage(const std::string&, const std::string&, MsgIcon, MsgButtons) override
    {
        return MsgResult::No;
    }
    void ShowStatus(const std::string& text, StatusKind kind) override
    {
        Add((kind == StatusKind::Stop ? "stop " : "info ") + text);
    }
    void ShowFileInfo(const InfoRow&) override {}
    void ShowModemInfo(const InfoRow&) override {}
    void SetPercentText(const std::string& text) override { Add("percent " + text); }
    void SetProgressCaption(const std::string& text) override { Add("caption " + text); }
    void SetProgressPos(int percent) override { Add("bar " + std::to_string(percent)); }
    void SetBusyBar(bool busy) override { Add(busy ? "busy bar" : "bar again"); }
    void SetRunState(RunState state) override { Add("state " + std::to_string(static_cast<int>(state))); }
    void SetTitle(const std::string& title) override { Add("title " + title); }
    void SetBusy(bool busy) override { Add(busy ? "wait cursor" : "arrow"); }
    void Beep(BeepKind kind) override { Add(kind == BeepKind::Ok ? "beep ok" : "beep hand"); }
    void Repaint() override { Add("repaint"); }
    bool PumpMessages() override { return Add("pump"), !quitting; }
    bool QuitRequested() override { return stopAsked; }
    void ShowFailureDetail(const std::string& detail) override { Add("detail " + detail); }
    void ShowFileProblem(const std::string& text) override { Add("problem " + text); }
    void Add(const std::string& line) { lines.push_back(line); }

    std::vector<std::string> lines;
    bool quitting = false, stopAsked = false;
};

RunProgress Image(std::uint32_t lines, std::uint32_t of, std::uint64_t bytes, std::uint64_t total)
{
    return {RunFile::Image, bytes, total, lines, of};
}

const std::string kTitle = std::string("title ") + kLoadingTitle;

TEST(RunPresenterTest, EventsBecomeWhatTheWindowDraws)
{
    const std::string failed = "stop Why.\n" + std::string(LoadResString(IDS_FAILED_TRY_AGAIN));
    const struct {
        const char* name;
        std::function<void(RunPresenter&, DrawingLog&)> events;
        std::vector<std::string> drawn;
    } cases[] =
        {
            {"records agree",
             [](auto& p, auto&) {
        p.OnChecked({CheckResult::Ready, 0, {}});
             },
             {"state 0"}},
            {"records differ",
             [](auto& p, auto&) {
        p.OnChecked({CheckResult::Ready, MismatchType, {}});
             },
             {"beep hand", "state 0"}},
      {"no modem",
       [](auto& p, auto&) {
        p.OnChecked({CheckResult::NoModem, 0, "gone"});
       },
       {"beep hand", "detail gone"}},
        {"stopped during the check",
         [](auto& p, auto&) {
        p.OnChecked({CheckResult::Stopped, 0, {}});
         },
         {}},
        {"the run begins, the files are checked, the modem erases",
         [](auto& p, auto&) {
        p.OnPhase(RunPhase::Starting);
        p.ShowStatus("gathering", StatusKind::Info);
        p.OnPhase(RunPhase::Erasing);
         },
         {"problem ", "state 1", "percent 0%", "caption Done", "info gathering", "repaint", "repaint"}},
        {"the loader first, then the image from 0%; a restart changes nothing",
         [](auto& p, auto&) {
        for (RunPhase phase :
             {RunPhase::LoadingLoader, RunPhase::LoadingImage, RunPhase::RestartingLoader, RunPhase::LoadingImage})
            p.OnPhase(phase);
         },
         {"caption Done (FLASHLDR.HEX)", "percent 0%", "caption Done", "bar 0"}},
        // Percents shown change only, counted from one (a first line worth
        // one percent shows nothing), each giving the window its turn.
        {"four lines",
         [](auto& p, auto& log) {
        p.OnProgress(Image(0, 4, 0, 1000));
        for (std::uint32_t line = 1; line <= 4; ++line) {
            p.OnProgress(Image(line, 4, line == 4 ? 1000 : line * 10, 1000));
            log.Add(p.ShouldGoOn() == GoOnAnswer::GoOn ? "go on" : "end");
        }
         },
         {"wait cursor", kTitle, "go on", "percent 2%", "bar 2", "pump", "go on", "percent 3%", "bar 3", "pump",
          "go on", "percent 100%", "bar 100", "pump", "bar 100", "arrow", "go on"}},
        {"a long wait runs the bar busy until the modem answers",
         [](auto& p, auto&) {
        p.OnWait({ModemWait::Erasing, 0, 180000});
        p.OnWait({ModemWait::Erasing, 250, 180000});
        p.OnProgress(Image(1, 2, 50, 100));
         },
         {"busy bar", "bar again", "bar 50", "percent 50%", "bar 50"}},
        {"success",
         [](auto& p, auto&) {
        p.OnResult({RunOutcome::Succeeded, {}, {}, 65000});
         },
         {"caption Done in 1 minute(s) and 5 second(s).", "state 2", std::string("info ") + LoadResString(IDS_SUCCESS),
          "beep ok"}},
        {"failure during a file and a wait",
         [](auto& p, auto&) {
        p.OnProgress(Image(0, 5, 0, 50));
        p.OnWait({ModemWait::Restarting, 0, 180000});
        p.OnResult({RunOutcome::ImageFailed, "Why.", "Line 3.", 10});
         },
         {"wait cursor", kTitle, "busy bar", "arrow", "state 3", "bar again", failed, "detail Line 3.", "beep hand",
          "percent  ", "caption  "}},
        // Only a loader file that cannot be sent is said in sight as well.
        {"the loader file refused",
         [](auto& p, auto&) {
        p.OnResult({RunOutcome::LoaderRefused, "Why.", "Not there.", 10});
         },
         {"state 3", failed, "detail Not there.", "beep hand", "percent  ", "caption  ", "problem Not there."}},
        {"the image file refused",
         [](auto& p, auto&) {
        p.OnResult({RunOutcome::ImageRefused, "Why.", "Line 3.", 10});
         },
         {"state 3", failed, "detail Line 3.", "beep hand", "percent  ", "caption  "}},
        };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DrawingLog log;
        RunPresenter presenter(log);
        c.events(presenter, log);
        EXPECT_EQ(log.lines, c.drawn);
    }
}

// A stop asked for ends the run before the next line, not after the last;
// an application that quits ends it either way.
TEST(RunPresenterTest, TheWindowMayEndTheRunBetweenLines)
{
    const struct {
        bool stopAsked, quitting, lastLine;
        GoOnAnswer answer;
    } cases[] = {
        {false, false, false, GoOnAnswer::GoOn}, {true, false, false, GoOnAnswer::Stop},
        {false, true, false, GoOnAnswer::Quit},  {true, false, true, GoOnAnswer::GoOn},
        {false, true, true, GoOnAnswer::Quit},
    };
    for (const auto& c : cases) {
        DrawingLog log;
        RunPresenter presenter(log);
        presenter.OnProgress(Image(0, 2, 0, 200));
        presenter.OnProgress(Image(c.lastLine ? 2 : 1, 2, c.lastLine ? 200 : 100, 200));
        log.stopAsked = c.stopAsked;
        log.quitting = c.quitting;
        EXPECT_EQ(presenter.ShouldGoOn(), c.answer) << c.stopAsked << c.quitting << c.lastLine;
    }
}

}  // namespace
