#include "flash/FlashSession.h"

#include "app/AppState.h"
#include "app/LastSelection.h"
#include "app/Paths.h"
#include "app/Text.h"
#include "resources/StringTable.h"

#include <cstdio>

namespace mp = modem_protocol;

namespace {

constexpr char kLoaderFileName[] = "FLASHLDR.HEX";
constexpr char kLoadingTitle[] = "Modem Flash Loader - Loading...";

std::string Str(int id)
{
    return LoadResString(id);
}

std::string LineOf(const HexRecord& record, const std::string& what)
{
    return "Line " + std::to_string(record.lineNumber) + " " + what + ".";
}

} // namespace

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

FlashTarget TargetFromSelection()
{
    FlashTarget target;
    target.port = FieldText(FlashSelection.PortName);
    target.baudRate = FlashSelection.BaudRate;
    target.imagePath = FieldText(FlashSelection.HexFilePath);
    target.loaderPath = JoinPath(StartDirectory, kLoaderFileName);
    return target;
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

FlashSession::~FlashSession()
{
    m_link.ClosePort(m_port);
}

FlashSession::CheckResult FlashSession::CheckAtOpening()
{
    if (!m_files.image || !m_files.loader)
        m_files = ReadTargetFiles(m_target);
    if (ModemLink::FileInfoOf(*m_files.image, m_loaderFileInfo))
        m_reporter.ShowFileInfo(FormatInfoRow(m_loaderFileInfo, m_loaderFileInfo.sectorSize != 0));

    int failure = 0;
    LineSettings settings;
    settings.BaudRate = static_cast<std::uint32_t>(m_target.baudRate);
    if (m_link.OpenPort(m_target.port, settings, m_port) != OpenStatus::Ok) {
        failure = IDS_PORT_OPEN_FAILED;
    } else {
        m_plan = m_link.IdentifyModem(m_port, m_modemInfo);
        // A stop asked for meanwhile cut the dialogue short: that says
        // nothing about the modem.
        if (SerialLink::StopRequested() || m_reporter.QuitRequested())
            return CheckResult::Stopped;
        if (m_plan == NoModem)
            failure = IDS_NO_MODEM;
    }
    if (failure != 0) {
        m_reporter.Beep(BeepKind::IconHand);
        m_reporter.ShowMessage("Error", Str(failure), MsgIcon::Question);
        if (failure == IDS_NO_MODEM && m_link.PortGone(m_port))
            m_reporter.ShowFailureDetail("The port went away while the modem was being identified: is the modem "
                                         "still connected?");
        return failure == IDS_PORT_OPEN_FAILED ? CheckResult::PortFailed : CheckResult::NoModem;
    }

    m_reporter.ShowModemInfo(FormatInfoRow(m_modemInfo, m_plan != LoadComplete));
    if (Mismatches() != 0)
        m_reporter.Beep(BeepKind::IconHand);
    m_reporter.SetRunState(RunState::Ready);
    return CheckResult::Ready;
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
    if (run.plan == LoadNormal && (m_modemInfo.sectorSize == 0 || m_loaderFileInfo.sectorSize == 0))
        run.plan = LoadComplete;
    if (run.plan == LoadComplete &&
        !CheckHexContents(loader, m_target.loaderPath, kMaxLoaderDataBytes, run.loader, error)) {
        run.verdict = RunPlan::LoaderRefused;
        run.reason = Str(IDS_LOADER_DOWNLOAD_FAILED);
        run.detail = error;
    }
    return run;
}

bool FlashSession::Fail(const std::string& reason, const std::string& detail)
{
    m_reason = reason;
    if (!detail.empty())
        m_detail = detail;
    m_reporter.SetRunState(RunState::Failed);
    ShowStatus(reason + "\n" + Str(IDS_FAILED_TRY_AGAIN), StatusKind::Stop);
    if (!m_detail.empty())
        m_reporter.ShowFailureDetail(m_detail);
    m_reporter.Beep(BeepKind::IconHand);
    m_reporter.SetPercentText(" ");
    m_reporter.SetProgressCaption(" ");
    return false;
}

bool FlashSession::OnPerformLoading()
{
    m_reason.clear();
    m_detail.clear();
    m_reporter.SetRunState(RunState::Running);
    m_reporter.SetPercentText("0%");
    m_reporter.SetProgressCaption("Done");
    const std::uint32_t start = serial_platform::TickCount();
    ShowStatus(Str(IDS_GATHERING), StatusKind::Info);
    m_reporter.Repaint();

    RunPlan run = PlanRun();
    if (run.verdict == RunPlan::Incompatible || run.verdict == RunPlan::ImageRefused)
        return Fail(run.reason, run.detail);
    m_plan = run.plan;
    m_reporter.Repaint();

    // The last moment at which a stop leaves the modem as it was: from the
    // start command on, its flash is erased.
    if (m_reporter.QuitRequested() || SerialLink::StopRequested())
        return Fail(Str(m_plan == LoadNormal ? IDS_START_FAILED : IDS_LOADER_DOWNLOAD_FAILED),
                    "Stopped at your request before anything was sent to the modem; its flash is as it was.");

    ReplyBuffer reply;
    if (m_plan == LoadNormal) {
        ShowStatus(Str(IDS_ERASING), StatusKind::Info);
        LineAck started = m_link.StartFlash(m_port, reply);
        if (started.kind != LineAck::Accepted)
            return Fail(Str(IDS_START_FAILED), AckWords(started, AckExchange::StartCommand, m_link.Limits().start));
    } else {
        ShowStatus(Str(IDS_COMPLETE_LOAD), StatusKind::Info);
        m_reporter.SetProgressCaption("Done (FLASHLDR.HEX)");
        if (run.verdict == RunPlan::LoaderRefused)
            return Fail(run.reason, run.detail);
        if (!DownloadHexFile(run.loader, LoaderDownload, reply))
            return Fail(Str(IDS_LOADER_DOWNLOAD_FAILED));
        ShowStatus(Str(IDS_LOADER_DONE), StatusKind::Info);
        m_reporter.SetPercentText("0%");
        m_reporter.SetProgressCaption("Done");
        m_reporter.SetProgressPos(0);
    }

    // Version 4.4 of the loader serves every modem type, 4.3 all but USB.
    bool versionOk = reply.Contains("Ver:4.4") || (reply.Contains("Ver:4.3") && m_modemInfo.typeCode != kTypeUsb);
    if (!versionOk)
        return Fail(Str(IDS_WRONG_VERSION), "The loader's answer was: " + std::string(reply.Text()));

    if (!DownloadHexFile(run.image, ImageDownload, reply))
        return Fail(Str(IDS_IMAGE_DOWNLOAD_FAILED));
    m_reporter.SetProgressCaption(FormatElapsed(serial_platform::TickCount() - start));

    m_reporter.SetRunState(RunState::Succeeded);
    ShowStatus(Str(IDS_SUCCESS), StatusKind::Info);
    m_reporter.Beep(BeepKind::Ok);
    return true;
}

std::string FlashSession::Interruption(const HexRecord& record)
{
    const std::string line = std::to_string(record.lineNumber);
    if (SerialLink::StopRequested() || m_reporter.QuitRequested())
        return "Stopped at your request at line " + line +
               "; the modem's flash is only partly written: flash it again before using it.";
    if (m_link.PortGone(m_port))
        return "Line " + line + " was not acknowledged: the port went away. Is the modem still connected?";
    return {};
}

bool FlashSession::SendLoaderLine(const HexRecord& record, const std::string& sendText, bool last,
                                  ReplyBuffer& reply)
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
        erasing = [this](std::uint32_t waitedMs) { m_reporter.OnModemWait(ModemWait::Erasing, waitedMs); };
    LineAck ack = m_link.WaitForAck(m_port, reply, limit, kImageAck, erasing);
    if (ack.kind == LineAck::Accepted)
        return true;
    std::string why;
    LineCounts counts;
    ModemLink::WaitProgress restarting = [this](std::uint32_t waitedMs) {
        m_reporter.OnModemWait(ModemWait::Restarting, waitedMs);
    };
    const bool settled = ack.kind == LineAck::Refused && m_link.HandleNok(m_port, ack, reply, record.line, addressRecord,
                                                                         m_reporter, why, &counts, restarting);
    m_counts.refusals += counts.refusals;
    m_counts.restarts += counts.restarts;
    if (settled)
        return true;

    if (std::string interrupted = Interruption(record); !interrupted.empty())
        m_detail = interrupted;
    else if (ack.kind == LineAck::Refused)
        m_detail = LineOf(record, AckWords(ack, AckExchange::ImageLine, limit) + " and not accepted afterwards: " + why);
    else
        m_detail = LineOf(record, AckWords(ack, AckExchange::ImageLine, limit));
    return false;
}

bool FlashSession::DownloadHexFile(const HexFile& file, DownloadMode mode, ReplyBuffer& reply)
{
    std::chrono::milliseconds limit = mode == LoaderDownload ? m_link.Limits().line : m_link.Limits().erase;
    m_reporter.SetBusy(true);
    m_reporter.SetTitle(kLoadingTitle);

    std::uint64_t sent = 0;
    int lastShown = 1;
    bool ok = true;
    std::string sendText;
    std::string addressRecord;  // the last extended address record the modem took
    for (std::size_t index = 0; index < file.records.size() && ok; ++index) {
        const HexRecord& record = file.records[index];
        if (m_reporter.QuitRequested()) {
            m_detail = Interruption(record);
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

        sent += record.line.size();
        m_reporter.OnBytesSent(sent, file.wireBytes);
        int percent = static_cast<int>(sent * 100 / file.wireBytes);
        if (percent != lastShown) {
            lastShown = percent;
            m_reporter.SetPercentText(std::to_string(percent) + "%");
            m_reporter.SetProgressPos(percent);
            if (!m_reporter.PumpMessages()) {
                m_detail = "The program was told to quit.";
                ok = false;
            }
        }
    }
    if (ok)
        m_reporter.SetProgressPos(100);
    m_reporter.SetBusy(false);
    return ok;
}
