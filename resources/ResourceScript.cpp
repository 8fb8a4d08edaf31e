#include "resources/ResourceScript.h"

#include <string_view>

namespace {

constexpr PictureResource kPictures[] = {
    {kBitmapWizard, PictureType::Bitmap, "wizard.bmp"},
    {kBitmapAboutUp, PictureType::Bitmap, "about-up.bmp"},
    {kBitmapAboutDown, PictureType::Bitmap, "about-down.bmp"},
    {kIconApplication, PictureType::Icon, "app-icon.ico"},
    {kIconInformation, PictureType::Icon, "status-info.ico"},
    {kIconQuestion, PictureType::Icon, "status-question.ico"},
    {kIconStop, PictureType::Icon, "status-stop.ico"},
};

// A text as a resource-script string: the quote doubled, the backslash and
// the control characters as escapes; every other byte as it is, so that the
// windows show the tables' texts unchanged.
std::string Quoted(std::string_view text)
{
    std::string quoted = "\"";
    for (char c : text) {
        switch (c) {
        case '"':
            quoted += "\"\"";
            break;
        case '\\':
            quoted += "\\\\";
            break;
        case '\n':
            quoted += "\\n";
            break;
        case '\t':
            quoted += "\\t";
            break;
        default:
            quoted += c;
        }
    }
    return quoted + '"';
}

bool IsNumber(std::string_view name)
{
    return !name.empty() && name.find_first_not_of("0123456789") == std::string_view::npos;
}

// A resource name where the script expects a text: digits only make a
// numeric id, which must be written as a number (as a text it would name
// another resource).
std::string ResourceName(std::string_view name) { return IsNumber(name) ? std::string(name) : Quoted(name); }

// A picture's name at the start of its statement must go bare: a quoted
// name would be joined to the text that ends the line before it (the
// compiler joins adjacent texts). The resource compilers upper-case a bare
// name, as the system does when it looks one up.
bool IsBareName(std::string_view name)
{
    return IsNumber(name) ||
           (!name.empty() && !IsNumber(name.substr(0, 1)) &&
            name.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789_") ==
                std::string_view::npos);
}

void AddStyle(std::string& styles, const char* style)
{
    if (!styles.empty())
        styles += " | ";
    styles += style;
}

std::string DialogStyle(const DialogTemplate& dialog)
{
    const unsigned style = dialog.windowStyle;
    std::string styles;
    // A property sheet makes its pages children of itself and enables the
    // current one; the caption of a page's template is what the sheet shows.
    if (style & kPage) {
        AddStyle(styles, "WS_CHILD");
        AddStyle(styles, "WS_DISABLED");
    }
    if (style & kPopup)
        AddStyle(styles, "WS_POPUP");
    if (style & kVisible)
        AddStyle(styles, "WS_VISIBLE");
    if (style & kCaption)
        AddStyle(styles, "WS_CAPTION");
    else if (style & kDialogFrame)
        AddStyle(styles, "WS_DLGFRAME");
    if (style & kSystemMenu)
        AddStyle(styles, "WS_SYSMENU");
    if (style & kModalFrame)
        AddStyle(styles, "DS_MODALFRAME");
    if (style & kSystemModal)
        AddStyle(styles, "DS_SYSMODAL");
    if (style & kScreenCentre)
        AddStyle(styles, "DS_CENTER");
    AddStyle(styles, "DS_SETFONT");
    return styles;
}

const char* ClassOf(ControlKind kind)
{
    switch (kind) {
    case ControlKind::PushButton:
    case ControlKind::DefPushButton:
    case ControlKind::OwnerDrawButton:
    case ControlKind::RadioButton:
        return "Button";
    case ControlKind::Edit:
        return "Edit";
    case ControlKind::DropDownList:
        return "ComboBox";
    case ControlKind::OwnerDrawListBox:
        return "ListBox";
    case ControlKind::ProgressBar:
        return "msctls_progress32";
    case ControlKind::Static:
    case ControlKind::Bitmap:
    case ControlKind::Icon:
    case ControlKind::EtchedLine:
        break;
    }
    return "Static";
}

std::string ControlStyle(const ControlTemplate& control)
{
    std::string styles;
    switch (control.kind) {
    case ControlKind::Static:
        AddStyle(styles, (control.style & kCenter) ? "SS_CENTER" : (control.style & kRight) ? "SS_RIGHT" : "SS_LEFT");
        break;
    case ControlKind::Bitmap:
        AddStyle(styles, "SS_BITMAP");
        break;
    case ControlKind::Icon:
        AddStyle(styles, "SS_ICON");
        break;
    case ControlKind::PushButton:
        AddStyle(styles, "BS_PUSHBUTTON");
        break;
    case ControlKind::DefPushButton:
        AddStyle(styles, "BS_DEFPUSHBUTTON");
        break;
    case ControlKind::OwnerDrawButton:
        AddStyle(styles, "BS_OWNERDRAW");
        break;
    case ControlKind::RadioButton:
        AddStyle(styles, "BS_AUTORADIOBUTTON");
        break;
    case ControlKind::Edit:
        AddStyle(styles, "ES_LEFT");
        AddStyle(styles, "ES_AUTOHSCROLL");
        AddStyle(styles, "WS_BORDER");
        break;
    case ControlKind::DropDownList:
        AddStyle(styles, "CBS_DROPDOWNLIST");
        AddStyle(styles, "WS_VSCROLL");
        break;
    case ControlKind::OwnerDrawListBox:
        // The list keeps its items in text order by itself, each item as
        // high as the program measures it, and its height as laid out.
        AddStyle(styles, "LBS_SORT");
        AddStyle(styles, "LBS_NOTIFY");
        AddStyle(styles, "LBS_OWNERDRAWVARIABLE");
        AddStyle(styles, "LBS_HASSTRINGS");
        AddStyle(styles, "LBS_NOINTEGRALHEIGHT");
        AddStyle(styles, "WS_VSCROLL");
        AddStyle(styles, "WS_BORDER");
        break;
    case ControlKind::ProgressBar:
        AddStyle(styles, "0");
        break;
    case ControlKind::EtchedLine:
        AddStyle(styles, "SS_ETCHEDHORZ");
        break;
    }
    if (control.style & kGroup)
        AddStyle(styles, "WS_GROUP");
    if (control.style & kTabStop)
        AddStyle(styles, "WS_TABSTOP");
    if (control.style & kDisabled)
        AddStyle(styles, "WS_DISABLED");
    // A control of the script is a visible child unless it says otherwise.
    if (control.style & kHidden)
        AddStyle(styles, "NOT WS_VISIBLE");
    return styles;
}

void WriteControl(std::ostream& out, const ControlTemplate& control)
{
    bool picture = control.kind == ControlKind::Bitmap || control.kind == ControlKind::Icon;
    out << "    CONTROL " << (picture ? ResourceName(control.text) : Quoted(control.text)) << ", "
        << (control.id == kNoId ? std::string("IDC_STATIC") : std::to_string(control.id)) << ", "
        << Quoted(ClassOf(control.kind)) << ", " << ControlStyle(control) << ", " << control.x << ", " << control.y
        << ", " << control.width << ", " << control.height << '\n';
}

void WriteDialog(std::ostream& out, const DialogTemplate& dialog)
{
    out << dialog.id << " DIALOGEX 0, 0, " << dialog.width << ", " << dialog.height << '\n';
    out << "STYLE " << DialogStyle(dialog) << '\n';
    // The script's CAPTION gives the window a title bar of its own accord.
    if (dialog.windowStyle & kCaption)
        out << "CAPTION " << Quoted(dialog.caption) << '\n';
    out << "FONT " << dialog.pointSize << ", " << Quoted(dialog.fontName) << '\n';
    out << "BEGIN\n";
    for (const ControlTemplate& control : dialog.controls)
        WriteControl(out, control);
    out << "END\n\n";
}

}  // namespace

std::span<const PictureResource> ProgramPictures() { return kPictures; }

bool WriteResourceScript(std::ostream& out, std::span<const DialogTemplate> dialogs,
                         std::span<const PictureResource> pictures, const ResourceFiles& files)
{
    for (const PictureResource& picture : pictures)
        if (!IsBareName(picture.name))
            return false;
    out << "// Written by the build from the dialog tables of resources/DialogTemplates.cpp;\n"
           "// change the tables, not this file.\n"
           "#include <windows.h>\n"
           "\n"
           "#ifndef IDC_STATIC\n"
           "#define IDC_STATIC (-1)\n"
           "#endif\n"
           "\n"
           "// The tables' texts are UTF-8.\n"
           "#pragma code_page(65001)\n"
           "\n";
    for (const DialogTemplate& dialog : dialogs)
        WriteDialog(out, dialog);
    for (const PictureResource& picture : pictures)
        out << picture.name << (picture.type == PictureType::Bitmap ? " BITMAP " : " ICON ")
            << Quoted(files.pictureFolder + "/" + picture.file) << '\n';
    if (!files.manifest.empty())
        out << "\n// Common controls 6: the system's current look for the controls.\n"
            << "CREATEPROCESS_MANIFEST_RESOURCE_ID RT_MANIFEST " << Quoted(files.manifest) << '\n';
    return true;
}
