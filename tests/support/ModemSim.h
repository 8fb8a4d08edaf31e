#pragma once
// Runs the simulated modem (build/bin/modemsim) in the background for a
// test: starts it, learns the device path it sits on, and stops it again.

#include <string>
#include <sys/types.h>
#include <vector>

class ModemSimProcess {
public:
    ModemSimProcess() = default;
    ~ModemSimProcess();  // stops the simulator if it still runs
    ModemSimProcess(const ModemSimProcess&) = delete;
    ModemSimProcess& operator=(const ModemSimProcess&) = delete;

    // Starts modemsim with args, and "NAME=value" settings added to (or
    // replacing those of) the environment. True once it printed its device
    // path; false if it did not within a few seconds (it is then stopped).
    bool Start(const std::vector<std::string>& args, const std::vector<std::string>& env = {});

    // The terminal device to open, /dev/pts/N.
    const std::string& DevicePath() const { return m_devicePath; }

    // Sends SIGTERM and waits for the simulator to end (killing it if it
    // does not within ten seconds). Returns its exit status, -1 when it did
    // not exit normally. When it is not running (after a failed Start, say):
    // the status it ended with last time.
    int Stop();

    bool Running() const { return m_pid > 0; }
    pid_t Pid() const { return m_pid; }

    // What the simulator wrote to stderr so far: its diagnostics, and with
    // --verbose its log of the dialogue.
    std::string ErrorOutput() const;

private:
    pid_t m_pid = -1;
    int m_stdout = -1;
    int m_stderr = -1;  // an anonymous file that collects stderr
    int m_exitCode = -1;
    std::string m_devicePath;
};
