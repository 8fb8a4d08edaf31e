#include "ui/win32/WinPictures.h"

#include "resources/DialogTemplates.h"
#include "ui/win32/WinWindows.h"

#include <cctype>
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

// A bitmap loaded as it is (no scaling), with its size.
HBITMAP LoadAtOwnSize(LPCSTR name, SIZE& size)
{
    auto bitmap =
        static_cast<HBITMAP>(::LoadImageA(::GetModuleHandleA(nullptr), name, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    BITMAP info{};
    if (bitmap == nullptr || ::GetObjectA(bitmap, sizeof info, &info) == 0) {
        if (bitmap != nullptr)
            ::DeleteObject(bitmap);
        return nullptr;
    }
    size = {info.bmWidth, info.bmHeight};
    return bitmap;
}

}  // namespace

HBITMAP LoadPictureToFit(const char* name, int width, int height)
{
    Candidates found{"P" + Upper(name) + "_", {}};
    ::EnumResourceNamesA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(2) /* RT_BITMAP */, CollectSize,
                         reinterpret_cast<LONG_PTR>(&found));
    HBITMAP best = nullptr;
    SIZE bestSize{};
    bool bestFits = false;
    auto consider = [&](LPCSTR resource) {
        SIZE size{};
        HBITMAP bitmap = LoadAtOwnSize(resource, size);
        if (bitmap == nullptr)
            return;
        const bool fits = size.cx <= width && size.cy <= height;
        // A size that fits beats one that does not; among those that fit the
        // largest wins, among those that do not the smallest.
        const bool better = best == nullptr || (fits && !bestFits) ||
                            (fits == bestFits && (fits ? size.cy > bestSize.cy : size.cy < bestSize.cy));
        if (!better) {
            ::DeleteObject(bitmap);
            return;
        }
        if (best != nullptr)
            ::DeleteObject(best);
        best = bitmap;
        bestSize = size;
        bestFits = fits;
    };
    consider(ResourceName(name));
    for (const std::string& other : found.names)
        consider(other.c_str());
    return best;
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
