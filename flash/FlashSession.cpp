#include "flash/FlashSession.h"

#include "app/AppState.h"
#include "app/LastSelection.h"
#include "app/Paths.h"
#include "app/Text.h"
#include "resources/StringTable.h"

#include <cstdio>

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

FlashSession::FlashSession(FlashReporter& reporter, FlashTarget target)
    : m_reporter(reporter), m_target(std::move(target))
{
}

FlashSession::~FlashSession()
{
    m_link.ClosePort(m_port);
}

FlashSession::CheckResult FlashSession::CheckAtOpening()
{
    if (m_link.ReadFileInfo(m_target.imagePath, m_loaderFileInfo))
        m_reporter.ShowFileInfo(FormatInfoRow(m_loaderFileInfo, m_loaderFileInfo.sectorSize != 0));

    int failure = 0;
    LineSettings settings;
    settings.BaudRate = static_cast<std::uint32_t>(m_target.baudRate);
    if (m_link.OpenPort(m_target.port, settings, m_port) < 0) {
        failure = IDS_PORT_OPEN_FAILED;
    } else {
        m_plan = m_link.IdentifyModem(m_port, m_modemInfo);
        if (m_plan == NoModem)
            failure = IDS_NO_MODEM;
    }
    if (failure != 0) {
        m_reporter.Beep(BeepKind::IconHand);
        m_reporter.ShowMessage("Error", Str(failure), MsgIcon::Question);
        return failure == IDS_PORT_OPEN_FAILED ? CheckResult::PortFailed : CheckResult::NoModem;
    }

    m_reporter.ShowModemInfo(FormatInfoRow(m_modemInfo, m_plan != LoadComplete));
    if (Mismatches() != 0)
        m_reporter.Beep(BeepKind::IconHand);
    m_reporter.SetRunState(RunState::Ready);
    return CheckResult::Ready;
}

bool FlashSession::Fail(const std::string& reason)
{
    m_reason = reason;
    m_reporter.SetRunState(RunState::Failed);
    ShowStatus(reason + "\n" + Str(IDS_FAILED_TRY_AGAIN), StatusKind::Stop);
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

    // The image is read and checked whole before anything else: a file that
    // breaks off half way must not leave a half-written flash, and a file
    // that is no image at all is better named as such than as a modem of
    // another type.
    std::string error;
    HexFile image;
    if (!LoadHexFile(m_target.imagePath, kMaxImageDataBytes, image, error))
        return Fail(error);

    std::uint16_t flags = Mismatches();
    if (flags != 0) {
        if (flags & (MismatchSectorSize | MismatchType))
            return Fail(IncompatibilityText(flags));
        m_plan = LoadComplete;  // only the resident loader differs: replace it
    }
    if (m_plan == LoadNormal && (m_modemInfo.sectorSize == 0 || m_loaderFileInfo.sectorSize == 0))
        m_plan = LoadComplete;
    m_reporter.Repaint();

    // The loader file is read and checked whole too before the modem is
    // touched.
    HexFile loader;
    if (m_plan == LoadComplete && !LoadHexFile(m_target.loaderPath, kMaxLoaderDataBytes, loader, error))
        return Fail(error);

    ReplyBuffer reply;
    if (m_plan == LoadNormal) {
        ShowStatus(Str(IDS_ERASING), StatusKind::Info);
        if (m_link.SendCommand(m_port, "AT&&FGO\r", reply, "OK", kReplyLimit, 2) != kReplyOk) {
            m_detail = "The modem did not answer AT&&FGO with OK within 2 seconds.";
            return Fail(Str(IDS_START_FAILED));
        }
    } else {
        ShowStatus(Str(IDS_COMPLETE_LOAD), StatusKind::Info);
        m_reporter.SetProgressCaption("Done (FLASHLDR.HEX)");
        if (!DownloadHexFile(loader, LoaderDownload, reply))
            return Fail(Str(IDS_LOADER_DOWNLOAD_FAILED));
        ShowStatus(Str(IDS_LOADER_DONE), StatusKind::Info);
        m_reporter.SetPercentText("0%");
        m_reporter.SetProgressCaption("Done");
        m_reporter.SetProgressPos(0);
    }

    // Version 4.4 of the loader serves every modem type, 4.3 all but USB.
    bool versionOk = reply.Contains("Ver:4.4") || (reply.Contains("Ver:4.3") && m_modemInfo.typeCode != kTypeUsb);
    if (!versionOk) {
        m_detail = "The loader's answer was: " + std::string(reply.Text());
        return Fail(Str(IDS_WRONG_VERSION));
    }

    if (!DownloadHexFile(image, ImageDownload, reply))
        return Fail(Str(IDS_IMAGE_DOWNLOAD_FAILED));
    m_reporter.SetProgressCaption(FormatElapsed(serial_platform::TickCount() - start));

    m_reporter.SetRunState(RunState::Succeeded);
    ShowStatus(Str(IDS_SUCCESS), StatusKind::Info);
    m_reporter.Beep(BeepKind::Ok);
    return true;
}

bool FlashSession::SendLoaderLine(const HexRecord& record, const std::string& sendText, ReplyBuffer& reply)
{
    LineAck ack = m_link.WaitForAck(m_port, reply, 2);
    if (ack.kind == LineAck::TimedOut) {
        // One more try, without throwing away what came meanwhile: a late
        // answer to the first one counts.
        m_link.WriteBytes(m_port, sendText.data(), sendText.size());
        ack = m_link.WaitForAck(m_port, reply, 2);
    }
    if (ack.kind == LineAck::Accepted)
        return true;
    m_detail = LineOf(record, ack.kind == LineAck::TooLong ? "got an answer longer than 128 bytes"
                                                            : "was not acknowledged, also when sent again");
    return false;
}

bool FlashSession::SendImageLine(const HexRecord& record, unsigned seconds, const std::string& addressRecord,
                                 ReplyBuffer& reply)
{
    LineAck ack = m_link.WaitForAck(m_port, reply, seconds);
    switch (ack.kind) {
    case LineAck::Accepted:
        return true;
    case LineAck::TimedOut:
        m_detail = LineOf(record, "was not acknowledged within " + std::to_string(seconds) + " seconds");
        return false;
    case LineAck::TooLong:
        m_detail = LineOf(record, "got an answer longer than 128 bytes");
        return false;
    case LineAck::Refused:
        break;
    }
    if (m_link.HandleNok(m_port, ack, record.line, addressRecord, m_reporter))
        return true;
    m_detail = LineOf(record, "was refused by the modem (" +
                                  (ack.code != 0 ? "NOK" + std::to_string(ack.code) : std::string("NOK")) +
                                  ") and not accepted afterwards");
    return false;
}

bool FlashSession::DownloadHexFile(const HexFile& file, DownloadMode mode, ReplyBuffer& reply)
{
    unsigned seconds = mode == LoaderDownload ? 2 : 180;
    m_reporter.SetBusy(true);
    m_reporter.SetTitle(kLoadingTitle);

    std::uint64_t sent = 0;
    int lastShown = 1;
    bool ok = true;
    std::string sendText;
    std::string addressRecord;  // the last extended address record the modem took
    for (std::size_t index = 0; index < file.records.size() && ok; ++index) {
        const HexRecord& record = file.records[index];
        sendText = (mode == LoaderDownload ? "at&&f" : "") + record.line;
        m_link.DrainInput(m_port);
        if (m_link.WriteBytes(m_port, sendText.data(), sendText.size()) != kReplyOk) {
            m_detail = LineOf(record, "could not be written to the port");
            ok = false;
            break;
        }
        if (mode == LoaderDownload) {
            ok = SendLoaderLine(record, sendText, reply);
        } else {
            // The first line waits for the flash to be erased; from the
            // second on, answers come at once.
            if (index == 1) {
                if (m_plan == LoadNormal)
                    ShowStatus(Str(IDS_NORMAL_LOAD), StatusKind::Info);
                seconds = 2;
            }
            ok = SendImageLine(record, seconds, addressRecord, reply);
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
