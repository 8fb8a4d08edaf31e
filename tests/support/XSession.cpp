#include "tests/support/XSession.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>

#include <unistd.h>

namespace {

const char kXvfb[] = "/usr/bin/Xvfb";
const char kXdotool[] = "/usr/bin/xdotool";
const char kOpenbox[] = "/usr/bin/openbox";
const char kXprop[] = "/usr/bin/xprop";

using Clock = std::chrono::steady_clock;

}  // namespace

std::string XSession::MissingTool()
{
    for (const char* tool : {kXvfb, kXdotool, kOpenbox, kXprop})
        if (::access(tool, X_OK) != 0)
            return tool;
    return {};
}

bool XSession::Start(const std::string& home, std::string& error)
{
    // The server picks a free display (-displayfd) and writes its number
    // once it takes connections: a number chosen here could be that of
    // another test's server that is still going away.
    std::string numberFile = m_dir.File("display");
    if (!m_server.Start("/bin/sh",
                        {"-c", std::string("exec ") + kXvfb + " -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>'" +
                                   numberFile + "'"})) {
        error = "the X server could not be started";
        return false;
    }
    auto deadline = Clock::now() + std::chrono::seconds(30);
    while (m_display.empty() && Clock::now() < deadline) {
        std::string written = ReadFileBytes(numberFile);
        int code = 0;
        if (!written.empty() && written.back() == '\n')
            m_display = ":" + written.substr(0, written.size() - 1);
        else if (m_server.Wait(0, code)) {
            error = "the X server ended with status " + std::to_string(code);
            return false;
        } else
            ::usleep(20 * 1000);
    }
    if (m_display.empty()) {
        error = "the X server did not come up";
        return false;
    }

    // A window manager, as on a desktop: it places, focuses and decorates
    // the windows. On a loaded machine it can take seconds to claim the
    // screen.
    // What it says goes to a log of the session's own, for the error below.
    const std::string managerLog = m_dir.File("openbox.log");
    if (!m_manager.Start("/bin/sh", {"-c", std::string("exec ") + kOpenbox + " --sm-disable 2>'" + managerLog + "'"},
                         home, {DisplayVariable(), "HOME=" + home})) {
        error = "the window manager could not be started";
        return false;
    }
    deadline = Clock::now() + std::chrono::seconds(30);
    while (Clock::now() < deadline) {
        if (Prop("-root", "_NET_SUPPORTING_WM_CHECK").find("window id") != std::string::npos)
            return true;
        int code = 0;
        if (m_manager.Wait(0, code)) {
            error = "the window manager ended with status " + std::to_string(code) +
                    " before it managed the screen on " + m_display + "; it said: " + ReadFileBytes(managerLog);
            return false;
        }
        ::usleep(50 * 1000);
    }
    error = "the window manager did not come up";
    return false;
}

std::string XSession::Prop(const std::string& window, const std::string& name)
{
    std::vector<std::string> args = {"10", kXprop};
    if (window == "-root")
        args.push_back("-root");
    else
        args.insert(args.end(), {"-id", window});
    args.push_back(name);
    return RunProcess("/usr/bin/timeout", args, {}, {DisplayVariable()}).out;
}

// The search is repeated rather than left to xdotool's own waiting, which
// ends at once when a window it looks at goes away meanwhile (the search
// notice, say).
std::string XSession::Await(const std::string& title, int timeoutSeconds)
{
    auto deadline = Clock::now() + std::chrono::seconds(timeoutSeconds);
    std::string visible;
    // Looked for at least once, also with no time to wait.
    do {
        ProcessResult found = X({"search", "--onlyvisible", "--name", "^" + title + "$"});
        visible = found.out.substr(0, found.out.find('\n'));
        if (!visible.empty()) {
            // A person types once the window has the focus: a window that
            // is there but not yet given it (just mapped, or behind one that
            // is closing) would lose the keys. The input focus, not the
            // window manager's active window: the manager marks a window
            // active at once, and the program takes the focus when it has
            // handled the manager's offer, only then reading keys.
            ProcessResult active = X({"getwindowfocus"});
            const std::string focused = active.out.substr(0, active.out.find('\n'));
            if (!focused.empty() && ("\n" + found.out).find("\n" + focused + "\n") != std::string::npos)
                return focused;
        }
        ::usleep(100 * 1000);
    } while (Clock::now() < deadline);
    return visible;
}

namespace {

// The desktop processes of this prefix that have no display.
std::vector<int> DesktopsWithoutDisplay()
{
    const char* prefix = std::getenv("WINEPREFIX");
    std::vector<int> found;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        if (ReadFileBytes(entry.path().string() + "/cmdline").find("explorer.exe") == std::string::npos)
            continue;
        std::string environment = ReadFileBytes(entry.path().string() + "/environ");
        environment.insert(environment.begin(), '\0');
        if (prefix != nullptr &&
            environment.find(std::string(1, '\0') + "WINEPREFIX=" + prefix + '\0') == std::string::npos)
            continue;
        if (environment.find(std::string(1, '\0') + "DISPLAY=") == std::string::npos)
            found.push_back(std::stoi(name));
    }
    return found;
}

}  // namespace

void XSession::EndWineDesktopsWithoutDisplay()
{
    auto deadline = Clock::now() + std::chrono::seconds(20);
    while (!DesktopsWithoutDisplay().empty() && Clock::now() < deadline)
        ::usleep(100 * 1000);
    for (int pid : DesktopsWithoutDisplay())
        ::kill(pid, SIGKILL);
    ::usleep(200 * 1000);
}

ProcessResult XSession::X(std::vector<std::string> args)
{
    args.insert(args.begin(), {"30", kXdotool});
    return RunProcess("/usr/bin/timeout", args, {}, {DisplayVariable()});
}
