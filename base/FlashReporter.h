#pragma once
// What the flashing engine shows while it checks and flashes: the window
// implements it with its controls, the command line with terminal output,
// the tests with a recorder.

#include "base/UserInterface.h"

#include <cstdint>
#include <string>

enum class StatusKind { Stop = 1, Question = 2, Info = 3 };
enum class BeepKind { Ok, IconHand };
// What the modem is busy with while the program waits long for its answer.
enum class ModemWait { Erasing, Restarting };

// Ready: the check is done and the run can start or the inputs be changed.
// Running: only the progress is live; Close is shown but not usable.
// Succeeded, Failed: only Close is usable.
enum class RunState { Ready, Running, Succeeded, Failed };

// One row of the identification table: type name, sector size, checksum.
struct InfoRow {
    std::string type;
    std::string sectorSize;
    std::string checksum;
};

class FlashReporter : public MessageUi {
public:
    // The status area: text with the icon of its kind.
    virtual void ShowStatus(const std::string& text, StatusKind kind) = 0;
    virtual void ShowFileInfo(const InfoRow& row) = 0;
    virtual void ShowModemInfo(const InfoRow& row) = 0;

    // The percentage label, the caption beside it, the progress bar (0-100).
    virtual void SetPercentText(const std::string& text) = 0;
    virtual void SetProgressCaption(const std::string& text) = 0;
    virtual void SetProgressPos(int percent) = 0;

    virtual void SetRunState(RunState state) = 0;
    virtual void SetTitle(const std::string& title) = 0;
    // The wait cursor while a file is being sent.
    virtual void SetBusy(bool busy) = 0;
    virtual void Beep(BeepKind kind) = 0;
    // Draws the window now, without handling any input.
    virtual void Repaint() = 0;
    // Handles the window's waiting messages; false when the application has
    // been told to quit, which ends the download.
    virtual bool PumpMessages() = 0;

    // While the program waits long for the modem, which may take minutes:
    // for the answer to the image's first line (the modem erases its flash
    // first), or for a restarted loader. How long it has waited so far,
    // from 0 on, about four times a second. The next acknowledged line
    // (OnBytesSent) or the run's end ends the wait. A window shows that it
    // is alive by it; the texts stay as they are.
    virtual void OnModemWait(ModemWait /*what*/, std::uint32_t /*waitedMs*/) {}

    // After every line the modem acknowledged: bytes of the file sent so
    // far, out of all. For live figures; windows need not care.
    virtual void OnBytesSent(std::uint64_t /*sent*/, std::uint64_t /*total*/) {}

    // True once the person has asked to stop (Ctrl-C on a terminal). Read
    // before the modem is changed and before every line, so that a stop
    // before the start leaves the modem as it was.
    virtual bool QuitRequested() { return false; }

    // After a failure: what exactly went wrong (which file, which line,
    // which answer), shown below the failure status.
    virtual void ShowFailureDetail(const std::string& /*detail*/) {}
};
