#pragma once
// The flashing engine's display on a terminal: status texts as lines, the
// identification rows kept for printing, and the progress as a live line on
// a terminal or as plain lines in a log.

#include "cli/TerminalUi.h"
#include "base/FlashReporter.h"

#include <chrono>
#include <cstdio>
#include <string>

class TerminalReporter : public FlashReporter {
public:
    // assumeYes: answer the retry questions with Yes without asking.
    explicit TerminalReporter(bool assumeYes);

    MsgResult ShowMessage(const std::string& caption, const std::string& text, MsgIcon icon,
                          MsgButtons buttons = MsgButtons::Ok) override;
    void ShowStatus(const std::string& text, StatusKind kind) override;
    void ShowFileInfo(const InfoRow& row) override { m_file = row; }
    void ShowModemInfo(const InfoRow& row) override { m_modem = row; }
    void OnPhase(RunPhase phase) override;
    void OnProgress(const RunProgress& progress) override;
    void OnWait(const RunWait& wait) override;
    void OnResult(const RunResult& result) override;
    GoOnAnswer ShouldGoOn() override;

    const InfoRow& FileRow() const { return m_file; }
    const InfoRow& ModemRow() const { return m_modem; }

    // From now on Ctrl-C, SIGTERM and SIGHUP ask the run to stop: every wait
    // ends at once, the modem is left as it was if nothing has been sent
    // yet, and the run reports its failure and releases the port. A second
    // signal of the same kind ends the program at once.
    static void StopOnSignals();
    // The signal that asked for the stop (on Windows: 2 for Ctrl-C and
    // Ctrl-Break, 1 for the console closed or the session ended); 0 when
    // none came.
    static int StopSignal();

private:
    void EndProgressLine();
    // The file the progress line names, with its figures from the start.
    void StartLabel(const char* label);

    TerminalUi m_ui;
    bool m_assumeYes;
    bool m_live;  // stdout is a terminal: one line redrawn in place
    InfoRow m_file;
    InfoRow m_modem;
    std::string m_label = "Done";
    std::chrono::steady_clock::time_point m_fileStart;
    std::chrono::steady_clock::time_point m_lastDraw;
    int m_lastPercent = -1;
    int m_percent = 0;         // of the file being sent, shown while a wait goes on
    unsigned m_waitShown = 0;  // whole seconds of a long wait last shown
    bool m_lineOpen = false;
};
