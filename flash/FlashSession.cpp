#include "flash/FlashSession.h"

#include "base/Paths.h"
#include "base/Text.h"
#include "resources/StringTable.h"

#include <cstdio>

namespace mp = modem_protocol;

namespace {

std::string Str(int id) { return LoadResString(id); }

std::string LineOf(const HexRecord& record, const std::string& what)
{
    return "Line " + std::to_string(record.lineNumber) + " " + what + ".";
}

}  // namespace

std::string FormatElapsed(std::uint32_t elapsedMs)
{
    std::uint32_t seconds = elapsedMs / 1000;
    std::uint32_t minutes = seconds / 60;
    std::string text = "Done in ";
    if (minutes > 0)
        text += std::to_string(minutes) + " minute(s) and ";
    text += std::to_string(seconds % 60) + " second(s).";
    return text;
}

std::string RunResultStatus(const RunResult& result)
{
    if (result.outcome == RunOutcome::Succeeded)
        return Str(IDS_SUCCESS);
    return result.reason + "\n" + Str(IDS_FAILED_TRY_AGAIN);
}

std::string RestartAdvice(const RunResult& result)
{
    // A stop says so itself.
    if (result.reason.find("restart the modem") != std::string::npos ||
        result.detail.find("restart the modem") != std::string::npos)
        return {};
    switch (result.outcome) {
    case RunOutcome::StartFailed:
    case RunOutcome::LoaderFailed:
    case RunOutcome::WrongVersion:
    case RunOutcome::ImageFailed:
        return "The modem may be left in its loader, where it answers no check: restart it (switch it off and on, "
               "or unplug it and plug it in again), then flash it again.";
    case RunOutcome::Succeeded:
    case RunOutcome::Incompatible:
    case RunOutcome::ImageRefused:
    case RunOutcome::LoaderRefused:
    case RunOutcome::Stopped:
        break;
    }
    return {};
}

std::string CommandLineText(const std::string& text)
{
    // The sentence that begins "You may exit now by clicking on", up to and
    // with the blank after it.
    const std::size_t start = text.find("You may exit now by clicking");
    if (start == std::string::npos)
        return text;
    std::size_t end = text.find(". ", start);
    end = end == std::string::npos ? text.size() : end + 2;
    return text.substr(0, start) + text.substr(end);
}

StatusKind RunResultKind(const RunResult& result)
{
    return result.outcome == RunOutcome::Succeeded ? StatusKind::Info : StatusKind::Stop;
}

std::string LoaderFileProblem(const FileContents& contents, const std::string& path, const std::string& error)
{
    const std::size_t split = path.find_last_of(kPathSeparator == '/' ? "/" : "\\/");
    const std::string name = split == std::string::npos ? path : path.substr(split + 1);
    std::string folder = "the current folder";
    if (split != std::string::npos) {
        // A root keeps its separator: "/", "C:\".
        folder = path.substr(0, split);
        if (folder.empty() || folder.back() == ':')
            folder += path[split];
    }
    if (contents.result == FileContents::OpenFailed && contents.absent)
        return name + " was looked for in " + folder +
               " and is not there. It comes with the modem's firmware: put it in that folder, then try again.";
    // The check says only that the file did not open; the system says why.
    std::string problem = error;
    if (contents.result == FileContents::OpenFailed && !contents.what.empty())
        problem = "The file " + path + " could not be opened: " + contents.what + ".";
    return problem + " Put the " + name + " that comes with the modem's firmware in its place, then try again.";
}

std::string IncompatibilityText(std::uint16_t flags)
{
    std::string text = Str(IDS_INCOMPATIBLE);
    const char* separator = "";
    for (auto [flag, id] : {std::pair{MismatchSectorSize, IDS_SECTOR_SIZES}, std::pair{MismatchType, IDS_TYPES},
                            std::pair{MismatchChecksum, IDS_CHECKSUMS}}) {
        if (flags & flag) {
            text += separator + Str(id);
            separator = ", ";
        }
    }
    return text + ". ";
}

InfoRow FormatInfoRow(const ModemInfo& info, bool known)
{
    InfoRow row;
    row.type = info.typeName;
    if (known) {
        char checksum[8];
        std::snprintf(checksum, sizeof checksum, "%04XH", static_cast<unsigned>(info.checksum));
        row.sectorSize = std::to_string(info.sectorSize);
        row.checksum = checksum;
    } else {
        row.sectorSize = "NA";
        row.checksum = "NA";
    }
    return row;
}

TargetFiles ReadTargetFiles(const FlashTarget& target)
{
    return {std::make_shared<const FileContents>(ReadRegularFile(target.imagePath, kMaxHexFileBytes)),
            std::make_shared<const FileContents>(ReadRegularFile(target.loaderPath, kMaxHexFileBytes))};
}

FlashSession::FlashSession(FlashReporter& reporter, FlashTarget target, TargetFiles files,
                           const modem_protocol::LineTimeLimits& limits)
    : m_reporter(reporter), m_target(std::move(target)), m_files(std::move(files)), m_link(limits)
{
}

FlashSession::~FlashSession() { m_link.ClosePort(m_port); }

FlashSession::CheckResult FlashSession::CheckAtOpening()
{
    EnterPhase(RunPhase::Checking);
    if (!m_files.image || !m_files.loader)
        m_files = ReadTargetFiles(m_target);
    if (ModemLink::FileInfoOf(*m_files.image, m_imageInfo))
        m_reporter.ShowFileInfo(FormatInfoRow(m_imageInfo, m_imageInfo.sectorSize != 0));

    int failure = 0;
    LineSettings settings;
    settings.BaudRate = static_cast<std::uint32_t>(m_target.baudRate);
    if (m_link.OpenPort(m_target.port, settings, m_port) != OpenStatus::Ok) {
        failure = IDS_PORT_OPEN_FAILED;
    } else {
        m_plan = m_link.IdentifyModem(m_port, m_modemInfo);
        // A stop asked for meanwhile cut the dialogue short: that says
        // nothing about the modem.
        if (SerialLink::StopRequested() || AskGoOn() != GoOnAnswer::GoOn) {
            m_reporter.OnChecked({CheckResult::Stopped, 0, {}});
            return CheckResult::Stopped;
        }
        if (m_plan == NoModem)
            failure = IDS_NO_MODEM;
    }
    if (failure != 0) {
        CheckOutcome outcome;
        outcome.result = failure == IDS_PORT_OPEN_FAILED ? CheckResult::PortFailed : CheckResult::NoModem;
        if (failure == IDS_NO_MODEM && m_link.PortGone(m_port))
            outcome.detail = "The port went away while the modem was being identified: is the modem still connected?";
        m_detail = outcome.detail;
        m_reporter.OnChecked(outcome);
        m_reporter.ShowMessage("Error", Str(failure), MsgIcon::Question);
        return outcome.result;
    }

    m_reporter.ShowModemInfo(FormatInfoRow(m_modemInfo, m_plan != LoadComplete));
    m_reporter.OnChecked({CheckResult::Ready, Mismatches(), {}});
    return CheckResult::Ready;
}

std::string FlashSession::AskIdentification()
{
    if (m_port == kInvalidPort)
        return {};
    ReplyBuffer reply;
    if (m_link.SendCommand(m_port, mp::kIdentify, reply, mp::kCommandOk, kReplyLimit, m_link.Limits().command) !=
        ReplyStatus::Ok)
        return {};
    // Echo is on since the check.
    return mp::CutIdentification(reply.Text());
}

RunPlan FlashSession::PlanRun() const
{
    RunPlan run;
    run.plan = m_plan;
    std::string error;
    // The image is read and checked whole before anything else: a file that
    // breaks off half way must not leave a half-written flash.
    // Before the check there are no bytes: an image not read is none.
    static const FileContents kUnread;
    const FileContents& image = m_files.image ? *m_files.image : kUnread;
    const FileContents& loader = m_files.loader ? *m_files.loader : kUnread;
    bool imageSound = CheckHexContents(image, m_target.imagePath, kMaxImageDataBytes, run.image, error);

    std::uint16_t flags = Mismatches();
    if (flags & (MismatchSectorSize | MismatchType)) {
        // An unreadable image names no modem, and so differs in type from
        // any modem that names itself; the file's own fault is the detail.
        run.verdict = RunPlan::Incompatible;
        run.reason = IncompatibilityText(flags);
        if (!imageSound)
            run.detail = error;
        return run;
    }
    if (!imageSound) {
        run.verdict = RunPlan::ImageRefused;
        run.reason = Str(IDS_IMAGE_DOWNLOAD_FAILED);
        run.detail = error;
        return run;
    }
    if (flags != 0)
        run.plan = LoadComplete;  // only the resident loader differs: replace it
    if (run.plan == LoadNormal && (m_modemInfo.sectorSize == 0 || m_imageInfo.sectorSize == 0))
        run.plan = LoadComplete;
    if (run.plan == LoadComplete &&
        !CheckHexContents(loader, m_target.loaderPath, kMaxLoaderDataBytes, run.loader, error)) {
        run.verdict = RunPlan::LoaderRefused;
        run.reason = Str(IDS_LOADER_DOWNLOAD_FAILED);
        run.detail = LoaderFileProblem(loader, m_target.loaderPath, error);
    }
    return run;
}

void FlashSession::EnterPhase(RunPhase phase)
{
    m_phase = phase;
    m_reporter.OnPhase(phase);
}

GoOnAnswer FlashSession::AskGoOn()
{
    GoOnAnswer answer = m_reporter.ShouldGoOn();
    if (answer == GoOnAnswer::Stop)
        m_stopAsked = true;
    return answer;
}

bool FlashSession::Fail(RunOutcome outcome, const std::string& reason, const std::string& detail)
{
    m_reason = reason;
    m_outcome = outcome;
    if (!detail.empty())
        m_detail = detail;
    EnterPhase(RunPhase::Done);
    m_reporter.OnResult({outcome, m_reason, m_detail, serial_platform::TickCount() - m_start});
    return false;
}

bool FlashSession::OnPerformLoading()
{
    m_reason.clear();
    m_detail.clear();
    m_start = serial_platform::TickCount();
    EnterPhase(RunPhase::Starting);
    ShowStatus(Str(IDS_GATHERING), StatusKind::Info);

    RunPlan run = PlanRun();
    if (run.verdict == RunPlan::Incompatible)
        return Fail(RunOutcome::Incompatible, run.reason, run.detail);
    if (run.verdict == RunPlan::ImageRefused)
        return Fail(RunOutcome::ImageRefused, run.reason, run.detail);
    m_plan = run.plan;

    // The last moment at which a stop leaves the modem as it was: from the
    // start command on, its flash is erased.
    if (AskGoOn() != GoOnAnswer::GoOn || SerialLink::StopRequested())
        return Fail(RunOutcome::Stopped, Str(m_plan == LoadNormal ? IDS_START_FAILED : IDS_LOADER_DOWNLOAD_FAILED),
                    "Stopped at your request before anything was sent to the modem; its flash is as it was.");

    ReplyBuffer reply;
    if (m_plan == LoadNormal) {
        ShowStatus(Str(IDS_ERASING), StatusKind::Info);
        EnterPhase(RunPhase::Erasing);
        LineAck started = m_link.StartFlash(m_port, reply);
        if (started.kind != LineAck::Accepted)
            return Fail(RunOutcome::StartFailed, Str(IDS_START_FAILED),
                        AckWords(started, AckExchange::StartCommand, m_link.Limits().start));
    } else {
        ShowStatus(Str(IDS_COMPLETE_LOAD), StatusKind::Info);
        EnterPhase(RunPhase::LoadingLoader);
        if (run.verdict == RunPlan::LoaderRefused)
            return Fail(RunOutcome::LoaderRefused, run.reason, run.detail);
        if (!DownloadHexFile(run.loader, LoaderDownload, reply))
            return Fail(RunOutcome::LoaderFailed, Str(IDS_LOADER_DOWNLOAD_FAILED));
        ShowStatus(Str(IDS_LOADER_DONE), StatusKind::Info);
    }

    // Version 4.4 of the loader serves every modem type, 4.3 all but USB.
    bool versionOk = reply.Contains("Ver:4.4") || (reply.Contains("Ver:4.3") && m_modemInfo.typeCode != kTypeUsb);
    if (!versionOk)
        return Fail(RunOutcome::WrongVersion, Str(IDS_WRONG_VERSION),
                    "The loader's answer was: " + std::string(reply.Text()));

    EnterPhase(RunPhase::LoadingImage);
    if (!DownloadHexFile(run.image, ImageDownload, reply))
        return Fail(RunOutcome::ImageFailed, Str(IDS_IMAGE_DOWNLOAD_FAILED));

    EnterPhase(RunPhase::Done);
    m_reporter.OnResult({RunOutcome::Succeeded, {}, {}, serial_platform::TickCount() - m_start});
    return true;
}

std::string FlashSession::Interruption(const HexRecord& record)
{
    const std::string line = std::to_string(record.lineNumber);
    if (SerialLink::StopRequested() || m_stopAsked)
        return "Stopped at your request at line " + line +
               "; the modem's flash is only partly written: restart the modem, then flash it again before using it.";
    if (m_link.PortGone(m_port))
        return "Line " + line + " was not acknowledged: the port went away. Is the modem still connected?";
    return {};
}

bool FlashSession::SendLoaderLine(const HexRecord& record, const std::string& sendText, bool last, ReplyBuffer& reply)
{
    // A loader line, and the banner its last one brings, have the line's
    // time each try.
    const std::chrono::milliseconds limit = m_link.Limits().line;
    std::uint32_t sentAt = serial_platform::TickCount();
    LineAck ack = m_link.WaitForAck(m_port, reply, limit, kLineAck);
    if (ack.kind == LineAck::TimedOut) {
        // One more try, without throwing away what came meanwhile: a late
        // answer to the first one counts.
        m_link.WriteBytes(m_port, sendText.data(), sendText.size());
        sentAt = serial_platform::TickCount();
        ack = m_link.WaitForAck(m_port, reply, limit, kImageAck);
    }
    if (ack.kind == LineAck::Accepted) {
        // The loader file's last line starts the loader, whose version the
        // run checks in this answer.
        if (last)
            m_link.AwaitBanner(m_port, reply, sentAt, limit);
        return true;
    }
    if (std::string interrupted = Interruption(record); !interrupted.empty())
        m_detail = interrupted;
    else {
        if (ack.kind == LineAck::Refused)
            ++m_counts.refusals;
        m_detail = LineOf(record, AckWords(ack, AckExchange::LoaderLine, limit));
    }
    return false;
}

bool FlashSession::SendImageLine(const HexRecord& record, std::chrono::milliseconds limit,
                                 const std::string& addressRecord, ReplyBuffer& reply, bool first)
{
    ModemLink::WaitProgress erasing;
    if (first)
        erasing = [this](std::uint32_t waitedMs, std::uint32_t limitMs) {
            m_reporter.OnWait({ModemWait::Erasing, waitedMs, limitMs});
        };
    LineAck ack = m_link.WaitForAck(m_port, reply, limit, kImageAck, erasing);
    if (ack.kind == LineAck::Accepted)
        return true;
    std::string why;
    LineCounts counts;
    ModemLink::WaitProgress restarting = [this](std::uint32_t waitedMs, std::uint32_t limitMs) {
        if (waitedMs == 0 && m_phase != RunPhase::RestartingLoader)
            EnterPhase(RunPhase::RestartingLoader);
        m_reporter.OnWait({ModemWait::Restarting, waitedMs, limitMs});
    };
    const bool settled =
        ack.kind == LineAck::Refused &&
        m_link.HandleNok(m_port, ack, reply, record.line, addressRecord, m_reporter, why, &counts, restarting);
    m_counts.refusals += counts.refusals;
    m_counts.restarts += counts.restarts;
    if (settled) {
        // A restarted loader goes on with the image.
        if (m_phase == RunPhase::RestartingLoader)
            EnterPhase(RunPhase::LoadingImage);
        return true;
    }

    if (std::string interrupted = Interruption(record); !interrupted.empty())
        m_detail = interrupted;
    else if (ack.kind == LineAck::Refused)
        m_detail =
            LineOf(record, AckWords(ack, AckExchange::ImageLine, limit) + " and not accepted afterwards: " + why);
    else
        m_detail = LineOf(record, AckWords(ack, AckExchange::ImageLine, limit));
    return false;
}

bool FlashSession::DownloadHexFile(const HexFile& file, DownloadMode mode, ReplyBuffer& reply)
{
    std::chrono::milliseconds limit = mode == LoaderDownload ? m_link.Limits().line : m_link.Limits().erase;
    RunProgress progress;
    progress.file = mode == LoaderDownload ? RunFile::Loader : RunFile::Image;
    progress.bytesTotal = file.wireBytes;
    progress.linesTotal = static_cast<std::uint32_t>(file.records.size());
    m_reporter.OnProgress(progress);

    bool ok = true;
    std::string sendText;
    std::string addressRecord;  // the last extended address record the modem took
    // Before every line, and after the last: the front end may end the run.
    // A stop asked for once the file's last line was acknowledged keeps
    // nothing from the modem: the file is whole, and what follows (the
    // image after the loader) asks again before its first line.
    auto goOn = [this](const HexRecord* next) {
        GoOnAnswer answer = AskGoOn();
        if (answer == GoOnAnswer::Quit)
            m_detail = "The program was told to quit.";
        else if (answer == GoOnAnswer::Stop && next != nullptr)
            m_detail = Interruption(*next);
        else
            return true;
        return false;
    };
    for (std::size_t index = 0; index < file.records.size() && ok; ++index) {
        const HexRecord& record = file.records[index];
        if (!goOn(&record)) {
            ok = false;
            break;
        }
        sendText = std::string(mode == LoaderDownload ? mp::kLoaderLinePrefix : "") + record.line;
        m_link.DrainInput(m_port);
        if (m_link.WriteBytes(m_port, sendText.data(), sendText.size()) != ReplyStatus::Ok) {
            m_detail = Interruption(record);
            if (m_detail.empty())
                m_detail = LineOf(record, "could not be written to the port");
            ok = false;
            break;
        }
        ++m_counts.linesSent;
        if (mode == LoaderDownload) {
            ok = SendLoaderLine(record, sendText, index + 1 == file.records.size(), reply);
        } else {
            // The first line waits for the flash to be erased; from the
            // second on, answers come at once.
            if (index == 1) {
                if (m_plan == LoadNormal)
                    ShowStatus(Str(IDS_NORMAL_LOAD), StatusKind::Info);
                limit = m_link.Limits().line;
            }
            ok = SendImageLine(record, limit, addressRecord, reply, index == 0);
            if (ok && (record.type == 2 || record.type == 4))
                addressRecord = record.line;
        }
        if (!ok)
            break;

        progress.bytesSent += record.line.size();
        ++progress.linesSent;
        m_reporter.OnProgress(progress);
    }
    if (ok && !goOn(nullptr))
        ok = false;
    return ok;
}
