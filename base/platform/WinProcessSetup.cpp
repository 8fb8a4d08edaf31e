#include "base/ProcessSetup.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

UINT g_consoleOutputPage = 0;
UINT g_consoleInputPage = 0;

// The console is the user's and outlives the program: it gets its code
// pages back.
void RestoreConsolePages()
{
    if (g_consoleOutputPage != 0)
        ::SetConsoleOutputCP(g_consoleOutputPage);
    if (g_consoleInputPage != 0)
        ::SetConsoleCP(g_consoleInputPage);
}

bool Usable(HANDLE handle)
{
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

}  // namespace

void PrepareProcess()
{
    // A console program started with a standard handle closed, or a window
    // program started with none: the C library's stream would write to no
    // handle or to whatever file takes its number, so both are pointed at
    // the null device. Windows has no SIGPIPE: a write to a pipe whose
    // reader went away just fails.
    static const struct {
        DWORD which;
        std::FILE* stream;
        const char* mode;
        DWORD access;
    } kStreams[] = {{STD_INPUT_HANDLE, stdin, "r", GENERIC_READ},
                    {STD_OUTPUT_HANDLE, stdout, "w", GENERIC_WRITE},
                    {STD_ERROR_HANDLE, stderr, "w", GENERIC_WRITE}};
    for (const auto& entry : kStreams) {
        if (Usable(::GetStdHandle(entry.which)))
            continue;
        HANDLE sink = ::CreateFileA("NUL", entry.access, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
        if (sink != INVALID_HANDLE_VALUE)
            ::SetStdHandle(entry.which, sink);
        if (std::freopen("NUL", entry.mode, entry.stream) == nullptr) {
            // Nothing better is left: the stream's writes fail, harmlessly.
        }
    }
    // The program's texts are UTF-8, as the system's 8-bit functions take
    // them (the manifest says so): a console shows them as such only in its
    // UTF-8 code page, not in the OEM one it starts with.
    g_consoleOutputPage = ::GetConsoleOutputCP();
    g_consoleInputPage = ::GetConsoleCP();
    if (g_consoleOutputPage != 0 && g_consoleOutputPage != CP_UTF8) {
        ::SetConsoleOutputCP(CP_UTF8);
        ::SetConsoleCP(CP_UTF8);
        std::atexit(RestoreConsolePages);
    }
}
