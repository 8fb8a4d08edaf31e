#include "tests/support/ModemSim.h"

#include "tests/support/Process.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

constexpr int kStartTimeoutMs = 10000;
constexpr int kStopTimeoutMs = 10000;

// The current environment with the given "NAME=value" settings put in.
std::vector<std::string> MergedEnvironment(const std::vector<std::string>& settings)
{
    std::vector<std::string> merged;
    for (char** entry = environ; *entry != nullptr; ++entry)
        merged.emplace_back(*entry);
    for (const std::string& setting : settings) {
        std::string name = setting.substr(0, setting.find('=') + 1);
        bool replaced = false;
        for (std::string& existing : merged) {
            if (existing.compare(0, name.size(), name) == 0) {
                existing = setting;
                replaced = true;
            }
        }
        if (!replaced)
            merged.push_back(setting);
    }
    return merged;
}

// Waits up to timeoutMs for the child to end and reaps it; false if it did
// not end in time.
bool WaitFor(pid_t pid, int timeoutMs, int& status)
{
    int pidFd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    if (pidFd >= 0) {
        pollfd fd{pidFd, POLLIN, 0};
        int ready;
        while ((ready = ::poll(&fd, 1, timeoutMs)) < 0 && errno == EINTR) {
        }
        ::close(pidFd);
        if (ready == 0)
            return false;
    }
    while (::waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR)
            return false;
    }
    return true;
}

}  // namespace

ModemSimProcess::~ModemSimProcess()
{
    Stop();
    if (m_stderr >= 0)
        ::close(m_stderr);
}

bool ModemSimProcess::Start(const std::vector<std::string>& args, const std::vector<std::string>& env)
{
    if (Running())
        return false;
    m_exitCode = -1;
    if (m_stderr >= 0)
        ::close(m_stderr);
    m_stderr = ::memfd_create("modemsim-stderr", MFD_CLOEXEC);
    int outPipe[2];
    if (m_stderr < 0 || ::pipe2(outPipe, O_CLOEXEC) != 0)
        return false;

    // Everything exec needs is made before the fork.
    std::string program = BuiltProgram("modemsim");
    std::vector<std::string> environment = MergedEnvironment(env);
    std::vector<char*> argv{program.data()};
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (std::string& setting : environment)
        envp.push_back(setting.data());
    envp.push_back(nullptr);

    pid_t parent = ::getpid();
    pid_t pid = ::fork();
    if (pid < 0) {
        ::close(outPipe[0]);
        ::close(outPipe[1]);
        return false;
    }
    if (pid == 0) {
        // A test that dies must not leave simulators behind.
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (::getppid() != parent)
            ::_exit(127);
        int devNull = ::open("/dev/null", O_RDONLY);
        ::dup2(devNull, 0);
        ::dup2(outPipe[1], 1);
        ::dup2(m_stderr, 2);
        ::execve(program.c_str(), argv.data(), envp.data());
        ::_exit(127);
    }
    ::close(outPipe[1]);
    m_pid = pid;
    m_stdout = outPipe[0];
    m_devicePath.clear();

    std::string line;
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStartTimeoutMs);
    while (line.find('\n') == std::string::npos) {
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            break;
        pollfd fd{m_stdout, POLLIN, 0};
        int ready = ::poll(&fd, 1, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break;
        char buffer[256];
        ssize_t n = ::read(m_stdout, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;  // it ended without a path
        line.append(buffer, static_cast<std::size_t>(n));
    }
    std::size_t end = line.find('\n');
    if (end == std::string::npos || end == 0) {
        Stop();
        return false;
    }
    m_devicePath = line.substr(0, end);
    return true;
}

int ModemSimProcess::Stop()
{
    if (!Running())
        return m_exitCode;
    ::kill(m_pid, SIGTERM);
    int status = 0;
    bool exited = WaitFor(m_pid, kStopTimeoutMs, status);
    if (!exited) {
        ::kill(m_pid, SIGKILL);
        while (::waitpid(m_pid, &status, 0) < 0 && errno == EINTR) {
        }
    }
    m_pid = -1;
    if (m_stdout >= 0)
        ::close(m_stdout);
    m_stdout = -1;
    m_exitCode = (exited && WIFEXITED(status)) ? WEXITSTATUS(status) : -1;
    return m_exitCode;
}

std::string ModemSimProcess::ErrorOutput() const
{
    if (m_stderr < 0)
        return {};
    struct stat info {};
    if (::fstat(m_stderr, &info) != 0)
        return {};
    std::string text(static_cast<std::size_t>(info.st_size), '\0');
    ssize_t n = ::pread(m_stderr, text.data(), text.size(), 0);
    text.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    return text;
}
