#pragma once
// A desktop of a test's own: an X server on a free display (Xvfb) with a
// window manager (openbox), and the tools that look at its windows and
// type on them (xprop, xdotool), as a person would use them.

#include "tests/support/Process.h"
#include "tests/support/TestFiles.h"

#include <string>
#include <vector>

class XSession {
public:
    // Empty when every tool is installed; otherwise the one missing.
    static std::string MissingTool();

    // Starts the server and the window manager (whose home is home); false
    // with why in error when either does not come up.
    bool Start(const std::string& home, std::string& error);

    // ":N", once started.
    const std::string& Display() const { return m_display; }
    std::string DisplayVariable() const { return "DISPLAY=" + m_display; }

    // One property of a window (or of the root with "-root"), as xprop prints it.
    std::string Prop(const std::string& window, const std::string& name);

    // Waits up to timeoutSeconds for the visible window with this title to
    // have the focus, without touching the focus: the window manager gives
    // it, and a person waits for that before typing. A window that is there
    // but never got the focus is given at the end of the wait; empty when
    // none came. Looks at least once, also with no time to wait.
    std::string Await(const std::string& title, int timeoutSeconds = 30);

    // xdotool, given at most 30 seconds.
    ProcessResult X(std::vector<std::string> args);

    // Wine draws every window of a prefix through the driver of the desktop
    // process that the prefix's first windowed program started; one started
    // without a display (by wineboot, say) makes the windows of programs
    // started meanwhile invisible. Waits until such a desktop has ended as
    // it does once its last program went, and ends it after a while.
    static void EndWineDesktopsWithoutDisplay();

private:
    std::string m_display;
    ScopedTempDir m_dir;
    BackgroundProcess m_server;
    BackgroundProcess m_manager;
};
