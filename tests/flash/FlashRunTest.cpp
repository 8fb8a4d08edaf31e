// Whole flashing runs against the simulated modem over a real
// pseudo-terminal: what the window is told, what goes over the line, and
// what ends up in the modem's flash. The runs give the modem short limits,
// so that an answer that never comes costs a fraction of a second; the few
// that measure time against the line's own limits say so.

#include "flash/FlashSession.h"

#include "resources/StringTable.h"
#include "tests/support/HexImage.h"
#include "tests/support/ModemSim.h"
#include "tests/support/RecordingReporter.h"
#include "tests/support/ShortLimits.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <chrono>
#include <deque>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using Memory = std::map<std::uint32_t, std::uint8_t>;

std::string FailureStatus(const std::string& reason) { return reason + "\n" + LoadResString(IDS_FAILED_TRY_AGAIN); }

class FlashRunTest : public ::testing::Test {
protected:
    void TearDown() override { SerialLink::SetTrace(nullptr); }

    void StartModem(std::vector<std::string> args)
    {
        args.insert(args.end(), {"--flash-out", dir.File("flashed.hex"), "--restart-delay", "0.05"});
        ASSERT_TRUE(sim.Start(args));
    }

    void WriteImage(const ImageSpec& spec) { WriteFileBytes(dir.File("MODEM.HEX"), MakeImage(spec)); }

    FlashTarget Target() { return {sim.DevicePath(), 115200, dir.File("MODEM.HEX"), dir.File("FLASHLDR.HEX")}; }

    // The check at opening, then the run; records what was sent during
    // the run alone.
    bool Flash()
    {
        FlashSession session(reporter, Target(), {}, limits);
        if (session.CheckAtOpening() != FlashSession::CheckResult::Ready) {
            ADD_FAILURE() << "the check at opening failed";
            return false;
        }
        SerialLink::SetTrace([this](TraceDirection direction, const char* bytes, std::size_t count) {
            if (direction == TraceDirection::Sent)
                sentDuringRun.append(bytes, count);
        });
        bool ok = session.OnPerformLoading();
        SerialLink::SetTrace(nullptr);
        plan = session.Plan();
        detail = session.FailureDetail();
        return ok;
    }

    Memory Flashed()
    {
        sim.Stop();
        return FileExists(dir.File("flashed.hex")) ? HexMemory(ReadFileBytes(dir.File("flashed.hex"))) : Memory{};
    }
    Memory Image() { return HexMemory(ReadFileBytes(dir.File("MODEM.HEX"))); }

    bool Said(int id) const
    {
        return std::find(reporter.statuses.begin(), reporter.statuses.end(), LoadResString(id)) !=
               reporter.statuses.end();
    }

    ScopedTempDir dir;
    modem_protocol::LineTimeLimits limits = ShortLimits();
    ModemSimProcess sim;
    RecordingReporter reporter;
    std::string sentDuringRun;
    LoadPlan plan = NoModem;
    std::string detail;
};

TEST_F(FlashRunTest, NormalLoadFlashesTheImageAcrossA64KiBBoundary)
{
    StartModem({});
    ImageSpec spec;
    spec.base = 0xFF00;  // the data runs on past 0x10000, behind an address record
    spec.dataBytes = 1024;
    WriteImage(spec);
    ASSERT_TRUE(Flash()) << reporter.LastStatus() << detail;
    EXPECT_EQ(plan, LoadNormal);
    EXPECT_TRUE(Said(IDS_GATHERING));
    EXPECT_TRUE(Said(IDS_ERASING));
    EXPECT_TRUE(Said(IDS_NORMAL_LOAD));
    EXPECT_EQ(reporter.LastStatus(), LoadResString(IDS_SUCCESS));
    EXPECT_EQ(sentDuringRun.substr(0, 8), "AT&&FGO\r");
    EXPECT_EQ(reporter.title, "Modem Flash Loader - Loading...");
    EXPECT_EQ(reporter.percentTexts.back(), "100%");
    EXPECT_EQ(reporter.progress, 100);
    EXPECT_EQ(reporter.captions.back().rfind("Done in ", 0), 0u);
    EXPECT_EQ(reporter.states, (std::vector<RunState>{RunState::Ready, RunState::Running, RunState::Succeeded}));
    EXPECT_EQ(reporter.beeps.back(), BeepKind::Ok);
    EXPECT_EQ(Flashed(), Image());
}

// The confirmation window may stand open for minutes between the check and
// Perform Loading: an image of another modem moved over the file meanwhile
// must not be what is flashed.
TEST_F(FlashRunTest, TheImageFlashedIsTheImageChecked)
{
    StartModem({});
    WriteImage({});
    const Memory checked = Image();
    FlashSession session(reporter, Target(), {}, limits);
    ASSERT_EQ(session.CheckAtOpening(), FlashSession::CheckResult::Ready);
    ImageSpec other;
    other.type = 'P';
    other.seed = 99;
    WriteFileBytes(dir.File("other.hex"), MakeImage(other));
    ASSERT_EQ(::rename(dir.File("other.hex").c_str(), dir.File("MODEM.HEX").c_str()), 0);
    EXPECT_TRUE(session.OnPerformLoading()) << session.FailureDetail();
    EXPECT_EQ(Flashed(), checked);
}

TEST_F(FlashRunTest, CompleteLoadSendsTheLoaderFirstAndResendsALineWhoseReplyWasLost)
{
    StartModem({"--no-rrfl", "--no-ffl", "--drop-loader-ack-at", "3"});
    WriteImage({});
    WriteFileBytes(dir.File("FLASHLDR.HEX"), MakeLoader());
    ASSERT_TRUE(Flash()) << reporter.LastStatus() << detail;
    EXPECT_EQ(plan, LoadComplete);
    EXPECT_TRUE(Said(IDS_COMPLETE_LOAD));
    EXPECT_TRUE(Said(IDS_LOADER_DONE));
    EXPECT_FALSE(Said(IDS_NORMAL_LOAD));
    EXPECT_EQ(sentDuringRun.substr(0, 6), "at&&f:");
    EXPECT_EQ(std::find(reporter.captions.begin(), reporter.captions.end(), "Done (FLASHLDR.HEX)") -
                      reporter.captions.begin() >
                  0,
              true);
    EXPECT_EQ(Flashed(), Image());
}

TEST_F(FlashRunTest, ChecksumsAloneDifferingTurnTheRunIntoACompleteLoad)
{
    StartModem({"--checksum", "BEEF"});
    WriteImage({});
    WriteFileBytes(dir.File("FLASHLDR.HEX"), MakeLoader());
    ASSERT_TRUE(Flash()) << reporter.LastStatus() << detail;
    EXPECT_EQ(plan, LoadComplete);
    EXPECT_TRUE(Said(IDS_COMPLETE_LOAD));
    EXPECT_EQ(Flashed(), Image());
}

TEST_F(FlashRunTest, DifferentTypesOrSectorSizesSendNothing)
{
    StartModem({"--type", "U"});
    WriteImage({});
    EXPECT_FALSE(Flash());
    EXPECT_EQ(reporter.LastStatus(), FailureStatus("The modem and the loader are incompatable in their types. "));
    EXPECT_EQ(reporter.statusKind, StatusKind::Stop);
    EXPECT_EQ(reporter.percentTexts.back(), " ");
    EXPECT_EQ(reporter.captions.back(), " ");
    EXPECT_EQ(reporter.states.back(), RunState::Failed);
    EXPECT_EQ(sentDuringRun, "");
    sim.Stop();

    ModemSimProcess other;
    ASSERT_TRUE(other.Start({"--sector", "16"}));
    FlashSession session(reporter, {other.DevicePath(), 57600, dir.File("MODEM.HEX"), ""}, {}, limits);
    ASSERT_EQ(session.CheckAtOpening(), FlashSession::CheckResult::Ready);
    EXPECT_FALSE(session.OnPerformLoading());
    EXPECT_EQ(reporter.LastStatus(),
              FailureStatus("The modem and the loader are incompatable in their sector sizes. "));
}

TEST_F(FlashRunTest, LoaderVersionFourThreeServesEveryTypeButUsb)
{
    StartModem({"--type", "U", "--loader-version", "4.3"});
    ImageSpec usb;
    usb.type = 'U';
    WriteImage(usb);
    EXPECT_FALSE(Flash());
    EXPECT_EQ(reporter.LastStatus(), FailureStatus(LoadResString(IDS_WRONG_VERSION)));
    EXPECT_EQ(sentDuringRun, "AT&&FGO\r");
    sim.Stop();

    ModemSimProcess serial;
    ASSERT_TRUE(serial.Start({"--loader-version", "4.3"}));
    WriteImage({});
    RecordingReporter fine;
    FlashSession session(fine, {serial.DevicePath(), 57600, dir.File("MODEM.HEX"), ""}, {}, limits);
    ASSERT_EQ(session.CheckAtOpening(), FlashSession::CheckResult::Ready);
    EXPECT_TRUE(session.OnPerformLoading()) << fine.LastStatus();
}

TEST_F(FlashRunTest, UnansweredStartCommandFailsTheRun)
{
    StartModem({"--no-answer", "AT&&FGO"});
    WriteImage({});
    EXPECT_FALSE(Flash());
    EXPECT_EQ(reporter.LastStatus(), FailureStatus(LoadResString(IDS_START_FAILED)));
}

TEST_F(FlashRunTest, RefusedLinesAreSentAgainUntilAcceptedWithSplitAndReorderedReplies)
{
    StartModem({"--chunk", "1", "--chunk-gap-ms", "1", "--nok-code-first", "--nok-at", "2:2", "--nok-at", "5:3",
                "--nok-at", "9:0", "--nok-at", "14:4", "--nok-at", "20:1"});
    ImageSpec spec;
    spec.dataBytes = 512;
    WriteImage(spec);
    reporter.answers = {MsgResult::Yes, MsgResult::Yes};
    ASSERT_TRUE(Flash()) << reporter.LastStatus() << detail;
    ASSERT_EQ(reporter.messages.size(), 2u);
    EXPECT_EQ(reporter.messages[0].Line(), std::string("Modem Flash Loader: ") + LoadResString(IDS_NOK4_RETRY));
    EXPECT_EQ(reporter.messages[1].Line(), std::string("Modem Flash Loader: ") + LoadResString(IDS_NOK1_RETRY));
    EXPECT_EQ(reporter.messages[0].icon, MsgIcon::Question);
    EXPECT_EQ(Flashed(), Image());
}

TEST_F(FlashRunTest, RestartAfterARefusalBeyond64KiBRestoresTheAddressFirst)
{
    StartModem({"--nok-at", "8:4"});
    ImageSpec spec;
    spec.base = 0x2FFC0;
    spec.dataBytes = 256;
    WriteImage(spec);
    reporter.answers = {MsgResult::Yes};
    ASSERT_TRUE(Flash()) << reporter.LastStatus() << detail;
    EXPECT_EQ(Flashed(), Image());
}

// Modems that answer as tersely as the line contract lets them: a bare "OK"
// or "\r\nOK" for an image line, the loader's version and its OK on one
// line, echoed loader lines, replies split byte by byte or paced at the
// line's speed, and refusals of the address record sent after a restart.
TEST_F(FlashRunTest, TerseModemsWithinTheContractAreFlashedExactly)
{
    const std::vector<std::string> terse = {"--one-line-banner", "--echo-loader-lines"};
    ImageSpec beyond64k;
    beyond64k.base = 0x2FFC0;  // line 6 is the address record 0003, line 8 lies behind it
    beyond64k.dataBytes = 256;
    ImageSpec wide;
    wide.recordBytes = 32;
    struct Case {
        std::vector<std::string> modem;
        ImageSpec image;
        std::deque<MsgResult> answers;
        LoadPlan plan;
    } cases[] = {
        {{"--ack", "bare", "--pace", "115200"}, {}, {}, LoadNormal},
        {{"--ack", "lead", "--chunk", "1", "--chunk-gap-ms", "0"}, wide, {}, LoadNormal},
        {{"--ack", "bare", "--chunk", "1", "--chunk-gap-ms", "0", "--no-rrfl", "--no-ffl"}, {}, {}, LoadComplete},
        // After the restart for line 8 the address record (line index 9 on
        // the modem's count) is refused in its turn, and handled as any
        // image line: resent after NOK2, restarted for after NOK1.
        {{"--ack", "bare", "--nok-at", "8:4", "--nok-at", "9:2"}, beyond64k, {MsgResult::Yes}, LoadNormal},
        {{"--ack", "lead", "--nok-at", "8:1", "--nok-at", "9:1"},
         beyond64k,
         {MsgResult::Yes, MsgResult::Yes},
         LoadNormal},
    };
    for (const Case& c : cases) {
        std::vector<std::string> modem = c.modem;
        modem.insert(modem.end(), terse.begin(), terse.end());
        SCOPED_TRACE(::testing::PrintToString(modem));
        sim.Stop();
        ::unlink(dir.File("flashed.hex").c_str());
        reporter = RecordingReporter{};
        reporter.answers = c.answers;
        WriteImage(c.image);
        WriteFileBytes(dir.File("FLASHLDR.HEX"), MakeLoader(520, 52));  // the longest lines a loader may have
        StartModem(modem);
        EXPECT_TRUE(Flash()) << reporter.LastStatus() << "\n" << detail;
        EXPECT_EQ(plan, c.plan);
        EXPECT_EQ(reporter.messages.size(), c.answers.size());
        EXPECT_EQ(Flashed(), Image());
    }
}

// Answers that stop half way and go on 200 ms later, longer than the quiet
// that decides a refusal without a code: a refusal cut behind the "N" of its
// second "NOK", a loader's banner coming after its OK; and answers trickling
// in pieces. The rest of a refusal is never taken for the answer to the line
// sent next (which would shift every answer after it onto the wrong line),
// and a banner within the command's time is seen.
TEST_F(FlashRunTest, AnswersThatPauseHalfWayAreReadWhole)
{
    // Answers that trickle in take their time: the line's own limits.
    limits = {};
    ImageSpec beyond64k;
    beyond64k.base = 0x2FFC0;
    beyond64k.dataBytes = 256;
    ImageSpec small;
    small.dataBytes = 160;
    using W = ModemWait;
    auto lines = [](const std::string& text) {
        std::size_t count = 0;
        for (std::size_t at = text.find("\r\n"); at != std::string::npos; at = text.find("\r\n", at + 1))
            ++count;
        return count;
    };
    struct Case {
        std::vector<std::string> modem;
        ImageSpec image;
        std::deque<MsgResult> answers;
        std::vector<ModemWait> waits;
        int resent;  // lines sent beyond the image's own; -1: not counted
    } cases[] = {
        {{"--nok-at", "3:3", "--nok-at", "6:2"}, {}, {}, {W::Erasing}, 2},
        {{"--nok-code-first", "--nok-at", "3:3", "--nok-at", "4:0"}, {}, {}, {W::Erasing}, 2},
        {{"--ack", "bare", "--nok-at", "8:4"}, beyond64k, {MsgResult::Yes}, {W::Erasing, W::Restarting}, -1},
        {{"--nok-code-first", "--nok-at", "5:1"}, {}, {MsgResult::Yes}, {W::Erasing, W::Restarting}, -1},
        {{"--no-rrfl", "--no-ffl", "--nok-at", "2:3"}, {}, {}, {W::Erasing}, -1},
        // Every answer in pieces of four bytes, 60 ms apart: longer than the
        // quiet that ends a refusal without a code, so only a refusal that
        // is whole ends the wait for it.
        {{"--chunk", "4", "--chunk-gap-ms", "60", "--nok-code-first", "--nok-at", "3:3", "--nok-at", "6:2"},
         small,
         {},
         {W::Erasing},
         2},
    };
    for (const Case& c : cases) {
        std::vector<std::string> modem = c.modem;
        modem.insert(modem.end(), {"--split-replies-ms", "200"});
        SCOPED_TRACE(::testing::PrintToString(modem));
        sim.Stop();
        ::unlink(dir.File("flashed.hex").c_str());
        reporter = RecordingReporter{};
        reporter.answers = c.answers;
        sentDuringRun.clear();
        WriteImage(c.image);
        WriteFileBytes(dir.File("FLASHLDR.HEX"), MakeLoader(260, 16));
        StartModem(modem);
        EXPECT_TRUE(Flash()) << reporter.LastStatus() << "\n" << detail;
        EXPECT_EQ(reporter.messages.size(), c.answers.size());
        EXPECT_EQ(reporter.waits, c.waits);
        // Each refused line once more, and no line a third time.
        if (c.resent >= 0) {
            EXPECT_EQ(lines(sentDuringRun), lines(ReadFileBytes(dir.File("MODEM.HEX"))) + c.resent);
        }
        EXPECT_EQ(Flashed(), Image());
    }
}

// A refusal without a code is decided once the line goes quiet, not after
// waiting the whole time limit for a code that does not come. On the line's
// own limits, which make the difference plain.
TEST_F(FlashRunTest, RefusalsWithoutCodeCostNoWaitForTheCode)
{
    limits = {};
    std::vector<std::string> modem;
    for (int line : {3, 5, 7, 9, 11, 13})
        modem.insert(modem.end(), {"--nok-at", std::to_string(line) + ":0"});
    StartModem(modem);
    ImageSpec spec;
    spec.dataBytes = 512;
    WriteImage(spec);
    auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(Flash()) << reporter.LastStatus() << "\n" << detail;
    // Six refusals at 2 s each took 12 s; deciding from the quiet line
    // takes a small fraction of that.
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(5));
    EXPECT_EQ(Flashed(), Image());
}

TEST_F(FlashRunTest, RefusalAnsweredNoFailsTheDownload)
{
    StartModem({"--nok-at", "3:4"});
    WriteImage({});
    reporter.answers = {MsgResult::No};
    EXPECT_FALSE(Flash());
    EXPECT_EQ(reporter.messages.size(), 1u);
    EXPECT_EQ(reporter.LastStatus(), FailureStatus(LoadResString(IDS_IMAGE_DOWNLOAD_FAILED)));
    EXPECT_NE(detail.find("Line 4 was refused by the modem (NOK4)"), std::string::npos) << detail;
}

TEST_F(FlashRunTest, LostAcknowledgementOfAnImageLineFailsTheRun)
{
    StartModem({"--drop-ack-at", "6"});
    WriteImage({});
    EXPECT_FALSE(Flash());
    EXPECT_EQ(reporter.LastStatus(), FailureStatus(LoadResString(IDS_IMAGE_DOWNLOAD_FAILED)));
    EXPECT_NE(detail.find("Line 7 was not acknowledged within 500 milliseconds"), std::string::npos) << detail;
}

// The first line waits for the erase: longer than any other line may take.
TEST_F(FlashRunTest, FirstImageLineMayTakeLongerThanTheLinesLimit)
{
    ASSERT_LT(limits.line * 2, limits.erase);
    StartModem({"--slow-first-line", std::to_string(2.0 * Ms(limits.line) / 1000)});
    ImageSpec spec;
    spec.dataBytes = 64;
    WriteImage(spec);
    ASSERT_TRUE(Flash()) << reporter.LastStatus() << detail;
    EXPECT_EQ(Flashed(), Image());
}

TEST_F(FlashRunTest, BrokenOrMissingFilesFailWithTheRunsOwnReasonAndSendNothing)
{
    std::string image = MakeImage({});
    std::size_t third = image.find("\r\n", image.find("\r\n") + 2) + 2;
    std::string broken = image;
    broken[third + 12] = broken[third + 12] == 'A' ? 'B' : 'A';  // a data digit: the checksum no longer fits
    const std::vector<std::string> complete = {"--no-rrfl", "--no-ffl"};
    const std::string advice =
        " Put the FLASHLDR.HEX that comes with the modem's firmware in its place, then try again.";
    enum Place { AsFile, AsFolder, Unreadable };  // what stands at the loader's path
    struct Case {
        std::vector<std::string> modem;
        std::string image;   // empty: no image file
        std::string loader;  // empty: no loader file
        std::string reason;
        std::string detail;
        bool completeLoadSaid;  // and the detail is in sight under the status
        Place place = AsFile;
    } cases[] = {
        {{},
         broken,
         "",
         LoadResString(IDS_IMAGE_DOWNLOAD_FAILED),
         "MODEM.HEX is not a valid Intel HEX file: line 3: wrong checksum",
         false},
        {{},
         "",
         "",
         "The modem and the loader are incompatable in their types. ",
         "MODEM.HEX could not be opened",
         false},
        {complete, image, broken, LoadResString(IDS_LOADER_DOWNLOAD_FAILED),
         "FLASHLDR.HEX is not a valid Intel HEX file: line 3: wrong checksum", true},
        {complete, image, "", LoadResString(IDS_LOADER_DOWNLOAD_FAILED),
         "FLASHLDR.HEX was looked for in " + dir.Path() +
             " and is not there. It comes with the modem's firmware: put it in that folder, then try again.",
         true},
        {complete, image, "", LoadResString(IDS_LOADER_DOWNLOAD_FAILED),
         "FLASHLDR.HEX could not be opened: it is a directory, not a file." + advice, true, AsFolder},
        {complete, image, MakeLoader(), LoadResString(IDS_LOADER_DOWNLOAD_FAILED),
         "FLASHLDR.HEX could not be opened: Permission denied." + advice, true, Unreadable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.detail);
        if (c.place == Unreadable && ::geteuid() == 0)
            continue;  // root reads it all the same
        sim.Stop();
        reporter = RecordingReporter{};
        sentDuringRun.clear();
        ::unlink(dir.File("MODEM.HEX").c_str());
        ::unlink(dir.File("FLASHLDR.HEX").c_str());
        ::rmdir(dir.File("FLASHLDR.HEX").c_str());
        ::unlink(dir.File("flashed.hex").c_str());
        if (!c.image.empty())
            WriteFileBytes(dir.File("MODEM.HEX"), c.image);
        if (!c.loader.empty())
            WriteFileBytes(dir.File("FLASHLDR.HEX"), c.loader);
        if (c.place == AsFolder) {
            ASSERT_EQ(::mkdir(dir.File("FLASHLDR.HEX").c_str(), 0755), 0);
        }
        if (c.place == Unreadable) {
            ASSERT_EQ(::chmod(dir.File("FLASHLDR.HEX").c_str(), 0), 0);
        }
        StartModem(c.modem);
        EXPECT_FALSE(Flash());
        EXPECT_EQ(reporter.LastStatus(), FailureStatus(c.reason));
        EXPECT_NE(detail.find(c.detail), std::string::npos) << detail;
        EXPECT_EQ(reporter.fileProblem, c.completeLoadSaid ? detail : "");
        EXPECT_EQ(Said(IDS_COMPLETE_LOAD), c.completeLoadSaid);
        EXPECT_EQ(sentDuringRun, "");
        EXPECT_TRUE(Flashed().empty());
    }
}

TEST_F(FlashRunTest, QuitBeforeTheStartLeavesTheModemAsItWas)
{
    StartModem({});
    WriteImage({});
    FlashSession session(reporter, Target(), {}, limits);
    ASSERT_EQ(session.CheckAtOpening(), FlashSession::CheckResult::Ready);
    reporter.quit = true;  // asked after the check, before Perform Loading
    SerialLink::SetTrace([this](TraceDirection direction, const char* bytes, std::size_t count) {
        if (direction == TraceDirection::Sent)
            sentDuringRun.append(bytes, count);
    });
    EXPECT_FALSE(session.OnPerformLoading());
    EXPECT_EQ(reporter.LastStatus(), FailureStatus(LoadResString(IDS_START_FAILED)));
    EXPECT_NE(reporter.detail.find("before anything was sent to the modem"), std::string::npos) << reporter.detail;
    EXPECT_EQ(sentDuringRun, "");
}

// The modem unplugged half a second after the start: during the first
// line's long wait, or while it is being identified. On the line's own
// limits, which are sure to outlast the half second.
TEST_F(FlashRunTest, PortGoingAwayIsSaidAsSuch)
{
    limits = {};
    for (bool duringCheck : {false, true}) {
        SCOPED_TRACE(duringCheck ? "during the check" : "during the run");
        sim.Stop();
        reporter = RecordingReporter{};
        StartModem(duringCheck ? std::vector<std::string>{"--no-answer", "ATI5"}
                               : std::vector<std::string>{"--slow-first-line", "60"});
        WriteImage({});
        std::thread unplug([this] {
            ::usleep(500 * 1000);
            sim.Stop();
        });
        auto start = std::chrono::steady_clock::now();
        if (duringCheck) {
            FlashSession session(reporter, Target(), {}, limits);
            EXPECT_EQ(session.CheckAtOpening(), FlashSession::CheckResult::NoModem);
            detail = reporter.detail;
        } else {
            EXPECT_FALSE(Flash());
            EXPECT_EQ(reporter.LastStatus(), FailureStatus(LoadResString(IDS_IMAGE_DOWNLOAD_FAILED)));
        }
        unplug.join();
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
        EXPECT_NE(detail.find(duringCheck ? "The port went away while the modem was being identified"
                                          : "Line 1 was not acknowledged: the port went away. Is the modem still "
                                            "connected?"),
                  std::string::npos)
            << detail;
    }
}

TEST_F(FlashRunTest, QuitWhileSendingEndsTheDownloadAsAFailure)
{
    StartModem({});
    WriteImage({});
    reporter.quitAtPump = 3;
    EXPECT_FALSE(Flash());
    EXPECT_EQ(reporter.LastStatus(), FailureStatus(LoadResString(IDS_IMAGE_DOWNLOAD_FAILED)));
}

}  // namespace
