#include "ui/win32/WinPictures.h"

#include "resources/DialogTemplates.h"
#include "ui/win32/WinWindows.h"

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

namespace {

std::string Upper(const char* text)
{
    std::string upper(text);
    for (char& c : upper)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return upper;
}

struct Candidates {
    std::string prefix;              // "P130_": the names of the other sizes
    std::vector<std::string> names;  // the other sizes found
};

BOOL CALLBACK CollectSize(HMODULE, LPCSTR, LPSTR name, LONG_PTR param)
{
    auto* found = reinterpret_cast<Candidates*>(param);
    // Numbered resources have no name to compare; the sizes are named ones.
    if (!IS_INTRESOURCE(name) && Upper(name).rfind(found->prefix, 0) == 0)
        found->names.push_back(name);
    return TRUE;
}

// A bitmap resource's size, from its header: the bitmaps of the choice are
// measured, and only the one chosen is made.
bool PictureSize(LPCSTR name, SIZE& size)
{
    const std::span<const char> bytes = ResourceBytes(name, MAKEINTRESOURCEA(2) /* RT_BITMAP */);
    if (bytes.size() < sizeof(BITMAPINFOHEADER))
        return false;
    BITMAPINFOHEADER header{};
    std::memcpy(&header, bytes.data(), sizeof header);
    size = {header.biWidth, header.biHeight < 0 ? -header.biHeight : header.biHeight};
    return true;
}

}  // namespace

HBITMAP LoadPictureToFit(const char* name, int width, int height)
{
    Candidates found{"P" + Upper(name) + "_", {}};
    ::EnumResourceNamesA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(2) /* RT_BITMAP */, CollectSize,
                         reinterpret_cast<LONG_PTR>(&found));
    LPCSTR bestName = nullptr;
    SIZE bestSize{};
    bool bestFits = false;
    auto consider = [&](LPCSTR resource) {
        SIZE size{};
        if (!PictureSize(resource, size))
            return;
        const bool fits = size.cx <= width && size.cy <= height;
        // A size that fits beats one that does not; among those that fit the
        // largest wins, among those that do not the smallest.
        if (bestName == nullptr || (fits && !bestFits) ||
            (fits == bestFits && (fits ? size.cy > bestSize.cy : size.cy < bestSize.cy))) {
            bestName = resource;
            bestSize = size;
            bestFits = fits;
        }
    };
    consider(ResourceName(name));
    for (const std::string& other : found.names)
        consider(other.c_str());
    if (bestName == nullptr)
        return nullptr;
    return static_cast<HBITMAP>(
        ::LoadImageA(::GetModuleHandleA(nullptr), bestName, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
}

namespace {

// Calls visit with every bitmap control of a dialog made from the template
// templateId, and its entry in the template. The controls come in the
// template's order; a control without an id is found by that order.
template <typename Visit>
void ForEachPictureControl(HWND dialog, int templateId, Visit visit)
{
    const DialogTemplate* dialogTemplate = FindDialogTemplate(templateId);
    if (dialogTemplate == nullptr)
        return;
    HWND control = ::GetWindow(dialog, GW_CHILD);
    for (const ControlTemplate& entry : dialogTemplate->controls) {
        if (control == nullptr)
            break;
        if (entry.kind == ControlKind::Bitmap)
            visit(control, entry);
        control = ::GetWindow(control, GW_HWNDNEXT);
    }
}

}  // namespace

void FitDialogPictures(HWND dialog, int templateId)
{
    ForEachPictureControl(dialog, templateId, [dialog](HWND control, const ControlTemplate& entry) {
        RECT room{entry.x, entry.y, entry.x + entry.width, entry.y + entry.height};
        ::MapDialogRect(dialog, &room);
        HBITMAP picture = LoadPictureToFit(entry.text, room.right - room.left, room.bottom - room.top);
        if (picture == nullptr)
            return;
        auto old = reinterpret_cast<HBITMAP>(
            ::SendMessageA(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(picture)));
        // The picture the template named was loaded by the control, which
        // gives it up here.
        if (old != nullptr && old != picture)
            ::DeleteObject(old);
    });
}

void ReleaseDialogPictures(HWND dialog, int templateId)
{
    ForEachPictureControl(dialog, templateId, [](HWND control, const ControlTemplate&) {
        auto picture = reinterpret_cast<HBITMAP>(::SendMessageA(control, STM_SETIMAGE, IMAGE_BITMAP, 0));
        if (picture != nullptr)
            ::DeleteObject(picture);
    });
}
