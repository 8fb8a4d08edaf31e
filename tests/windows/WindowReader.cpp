// window-reader.exe: what the windows on the desktop show, read through the
// system's own calls, for the tests that drive the Windows programs from
// outside. For every visible top-level window (those titled TITLE when it is
// given) and every window inside it, depth first, one line of tab-separated
// fields:
//   DEPTH ID CLASS STYLE LEFT TOP RIGHT BOTTOM TEXT
// with the style in hexadecimal, the rectangle in screen pixels and the text
// in UTF-8 (line breaks as \n). Texts are asked of the window itself
// (WM_GETTEXT, as a screen reader would), so a window that does not answer
// within two seconds shows "<busy>" in place of its text. Last, a line
//   dpi DOTS_PER_INCH
// Exit status 0 when a window was found, 1 when none.

#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const wchar_t* text, int length)
{
    if (length <= 0)
        return {};
    int size = ::WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, length, out.data(), size, nullptr, nullptr);
    std::string escaped;
    for (char c : out) {
        if (c == '\n')
            escaped += "\\n";
        else if (c == '\r')
            escaped += "\\r";
        else if (c == '\t')
            escaped += "\\t";
        else
            escaped += c;
    }
    return escaped;
}

std::string Text(HWND window)
{
    wchar_t buffer[4096] = {};
    DWORD_PTR got = 0;
    if (!::SendMessageTimeoutW(window, WM_GETTEXT, sizeof buffer / sizeof buffer[0], reinterpret_cast<LPARAM>(buffer),
                               SMTO_ABORTIFHUNG | SMTO_BLOCK, 2000, &got))
        return "<busy>";
    return Utf8(buffer, static_cast<int>(got));
}

void Print(HWND window, int depth)
{
    char className[256] = {};
    ::GetClassNameA(window, className, sizeof className);
    RECT rect{};
    ::GetWindowRect(window, &rect);
    std::printf("%d\t%d\t%s\t%08lx\t%ld\t%ld\t%ld\t%ld\t%s\n", depth, ::GetDlgCtrlID(window), className,
                static_cast<unsigned long>(::GetWindowLongW(window, GWL_STYLE)), rect.left, rect.top, rect.right,
                rect.bottom, Text(window).c_str());
    for (HWND child = ::GetWindow(window, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT))
        Print(child, depth + 1);
}

struct Search {
    const wchar_t* title;
    int found;
};

BOOL CALLBACK EachTopLevel(HWND window, LPARAM param)
{
    auto* search = reinterpret_cast<Search*>(param);
    if (!::IsWindowVisible(window))
        return TRUE;
    if (search->title != nullptr) {
        wchar_t title[512] = {};
        ::GetWindowTextW(window, title, 512);
        if (std::wstring(title) != search->title)
            return TRUE;
    }
    ++search->found;
    Print(window, 0);
    return TRUE;
}

}  // namespace

int main()
{
    // The title from the wide command line: it may be in any script.
    int count = 0;
    wchar_t** args = ::CommandLineToArgvW(::GetCommandLineW(), &count);
    Search search{count > 1 ? args[1] : nullptr, 0};
    ::EnumWindows(EachTopLevel, reinterpret_cast<LPARAM>(&search));
    HDC screen = ::GetDC(nullptr);
    std::printf("dpi\t%d\n", ::GetDeviceCaps(screen, LOGPIXELSY));
    ::ReleaseDC(nullptr, screen);
    std::fflush(stdout);
    return search.found > 0 ? 0 : 1;
}
