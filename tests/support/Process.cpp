#include "tests/support/Process.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <csignal>
#include <poll.h>
#include <stdexcept>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

#ifndef FL_BIN_DIR
#error FL_BIN_DIR must name the directory of the built programs
#endif

namespace {

// In a forked child: goes to dir, adds env, runs program; never returns.
[[noreturn]] void ExecChild(const std::string& program, const std::vector<std::string>& args, const std::string& dir,
                            const std::vector<std::string>& env)
{
    if (!dir.empty() && ::chdir(dir.c_str()) != 0)
        ::_exit(127);
    for (const std::string& setting : env)
        ::putenv(const_cast<char*>(setting.c_str()));
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args)
        argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
}

}  // namespace

std::string BuiltProgram(const std::string& name) { return std::string(FL_BIN_DIR) + "/" + name; }

ProcessResult RunProcess(const std::string& program, const std::vector<std::string>& args, const std::string& dir,
                         const std::vector<std::string>& env, const std::string& input,
                         const std::function<void(int pid)>& started)
{
    int inPipe[2], outPipe[2], errPipe[2];
    if (::pipe2(inPipe, O_CLOEXEC) != 0 || ::pipe2(outPipe, O_CLOEXEC) != 0 || ::pipe2(errPipe, O_CLOEXEC) != 0)
        throw std::runtime_error("pipe failed");

    pid_t pid = ::fork();
    if (pid < 0)
        throw std::runtime_error("fork failed");
    if (pid == 0) {
        ::dup2(inPipe[0], 0);
        ::dup2(outPipe[1], 1);
        ::dup2(errPipe[1], 2);
        ExecChild(program, args, dir, env);
    }
    ::close(inPipe[0]);
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    std::thread actor;
    if (started)
        actor = std::thread(started, static_cast<int>(pid));
    if (!input.empty()) {
        ssize_t ignored = ::write(inPipe[1], input.data(), input.size());
        (void)ignored;
    }
    ::close(inPipe[1]);

    ProcessResult result;
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open = 2;
    while (open > 0) {
        if (::poll(fds, 2, -1) < 0 && errno != EINTR)
            break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0)
                continue;
            char buffer[4096];
            ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                sinks[i]->append(buffer, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    int status = 0;
    struct rusage usage {};
    while (::wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    if (actor.joinable())
        actor.join();
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    result.cpuSeconds = seconds(usage.ru_utime) + seconds(usage.ru_stime);
    return result;
}

BackgroundProcess::~BackgroundProcess() { Kill(); }

bool BackgroundProcess::Start(const std::string& program, const std::vector<std::string>& args, const std::string& dir,
                              const std::vector<std::string>& env)
{
    pid_t pid = ::fork();
    if (pid < 0)
        return false;
    if (pid == 0) {
        int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ExecChild(program, args, dir, env);
    }
    m_pid = pid;
    return true;
}

bool BackgroundProcess::Wait(int timeoutMs, int& exitCode)
{
    for (int waited = 0; m_pid > 0; waited += 20) {
        int status = 0;
        pid_t done = ::waitpid(m_pid, &status, WNOHANG);
        if (done == m_pid) {
            m_pid = -1;
            exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            return true;
        }
        if (waited >= timeoutMs)
            return false;
        ::usleep(20 * 1000);
    }
    return false;
}

void BackgroundProcess::Kill()
{
    if (m_pid <= 0)
        return;
    ::kill(m_pid, SIGTERM);
    int code = 0;
    if (!Wait(3000, code)) {
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
        m_pid = -1;
    }
}
