#include "ui/win32/WinWindows.h"

#include <cstdlib>
#include <vector>

LPCSTR ResourceName(const char* name)
{
    for (const char* at = name; *at != '\0'; ++at)
        if (*at < '0' || *at > '9')
            return name;
    return MAKEINTRESOURCEA(std::atoi(name));
}

std::span<const char> ResourceBytes(LPCSTR name, LPCSTR type)
{
    HINSTANCE instance = ::GetModuleHandleA(nullptr);
    HRSRC found = ::FindResourceA(instance, name, type);
    HGLOBAL loaded = found != nullptr ? ::LoadResource(instance, found) : nullptr;
    const char* data = loaded != nullptr ? static_cast<const char*>(::LockResource(loaded)) : nullptr;
    if (data == nullptr)
        return {};
    return {data, ::SizeofResource(instance, found)};
}

MsgResult ShowMessageBox(HWND owner, const std::string& caption, const std::string& text, MsgIcon icon,
                         MsgButtons buttons)
{
    UINT style = buttons == MsgButtons::YesNo ? MB_YESNO | MB_DEFBUTTON2 : MB_OK;
    switch (icon) {
    case MsgIcon::Stop:
        style |= MB_ICONSTOP;
        break;
    case MsgIcon::Question:
        style |= MB_ICONQUESTION;
        break;
    case MsgIcon::Warning:
        style |= MB_ICONEXCLAMATION;
        break;
    case MsgIcon::Information:
        style |= MB_ICONINFORMATION;
        break;
    case MsgIcon::None:
        break;
    }
    if (owner == nullptr)
        owner = ::GetActiveWindow();
    // Without an owner the box would sit beside the program's windows,
    // which stay usable: the task-modal style keeps them disabled.
    if (owner == nullptr)
        style |= MB_TASKMODAL;
    int answer = ::MessageBoxA(owner, text.c_str(), caption.c_str(), style);
    if (buttons == MsgButtons::YesNo)
        return answer == IDYES ? MsgResult::Yes : MsgResult::No;
    return MsgResult::Ok;
}

bool IsPersonInput(const MSG& message)
{
    UINT m = message.message;
    return (m >= WM_KEYFIRST && m <= WM_KEYLAST) || (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST) ||
           (m >= WM_NCMOUSEMOVE && m <= WM_NCMBUTTONDBLCLK) || (m >= WM_NCXBUTTONDOWN && m <= WM_NCXBUTTONDBLCLK);
}

bool PumpDiscardingInput()
{
    MSG message;
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            ::PostQuitMessage(static_cast<int>(message.wParam));
            return false;
        }
        if (IsPersonInput(message))
            continue;
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    return true;
}

void DiscardInput()
{
    MSG message;
    while (::PeekMessageA(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE)) {
    }
    while (::PeekMessageA(&message, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE)) {
    }
    while (::PeekMessageA(&message, nullptr, WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK, PM_REMOVE)) {
    }
}

std::string WindowText(HWND window)
{
    int length = ::GetWindowTextLengthA(window);
    std::vector<char> text(static_cast<std::size_t>(length) + 2);
    int got = ::GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
    return std::string(text.data(), static_cast<std::size_t>(got > 0 ? got : 0));
}

void CentreOverOwner(HWND window)
{
    RECT own{};
    if (!::GetWindowRect(window, &own))
        return;
    HWND owner = ::GetWindow(window, GW_OWNER);
    HMONITOR monitor = ::MonitorFromWindow(owner != nullptr ? owner : window, MONITOR_DEFAULTTONEAREST);
    MONITORINFO screen{};
    screen.cbSize = sizeof screen;
    if (!::GetMonitorInfoA(monitor, &screen))
        ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &screen.rcWork, 0);
    RECT over = screen.rcWork;
    if (owner != nullptr && ::IsWindowVisible(owner) && !::IsIconic(owner))
        ::GetWindowRect(owner, &over);
    const LONG width = own.right - own.left, height = own.bottom - own.top;
    LONG left = (over.left + over.right - width) / 2;
    LONG top = (over.top + over.bottom - height) / 2;
    // Whole on the screen, the title bar first should the window be taller.
    const RECT& work = screen.rcWork;
    if (left + width > work.right)
        left = work.right - width;
    if (top + height > work.bottom)
        top = work.bottom - height;
    if (left < work.left)
        left = work.left;
    if (top < work.top)
        top = work.top;
    ::SetWindowPos(window, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
