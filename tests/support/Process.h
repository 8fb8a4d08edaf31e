#pragma once
// Runs one of the project's programs as a child process and collects what
// it printed.

#include <functional>
#include <string>
#include <vector>

struct ProcessResult {
    int exitCode = -1;      // -1 when it did not exit normally
    double cpuSeconds = 0;  // processor time of the child and its waited-for children, user and system
    std::string out;
    std::string err;
};

// Runs program with args in dir (the current directory when empty), with
// extra "NAME=value" settings added to the environment, and waits for it.
// started, when given, runs on a thread of its own with the child's pid as
// soon as the child is there, for a test that acts on it meanwhile (sends it
// a signal, say); RunProcess returns once both have ended.
ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args, const std::string& dir = {},
                         const std::vector<std::string>& env = {}, const std::string& input = {},
                         const std::function<void(int pid)>& started = {});

// The path of a program built by the project.
std::string BuiltProgram(const std::string& name);

// A program running in the background for the length of a test; killed when
// the object goes if it has not ended by then.
class BackgroundProcess {
public:
    BackgroundProcess() = default;
    ~BackgroundProcess();
    BackgroundProcess(const BackgroundProcess&) = delete;
    BackgroundProcess& operator=(const BackgroundProcess&) = delete;

    // Output goes to /dev/null. False when it could not be started.
    bool Start(const std::string& program, const std::vector<std::string>& args, const std::string& dir = {},
               const std::vector<std::string>& env = {});
    // True with its exit code once it ended within timeoutMs (-1 when it did
    // not exit normally).
    bool Wait(int timeoutMs, int& exitCode);
    void Kill();
    bool Running() const { return m_pid > 0; }

private:
    int m_pid = -1;
};
