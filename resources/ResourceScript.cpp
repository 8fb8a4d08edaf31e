#include "resources/ResourceScript.h"

#include "base/Version.h"

#include <charconv>
#include <string_view>
#include <utility>

namespace {

constexpr ProgramResources kPrograms[] = {
    {"flashloader", "Modem Flash Loader wizard", true},
    {"flashloader-cli", "Modem Flash Loader command line", false},
};

// The icons; the bitmaps come from pictures/bitmaps.txt.
constexpr PictureResource kPictures[] = {
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
        if (control.style & kData)
            AddStyle(styles, "SS_NOPREFIX");
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

bool ReadBitmapList(std::string_view text, std::vector<BitmapLine>& bitmaps)
{
    bitmaps.clear();
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.empty() || line.front() == '#')
            continue;
        std::string fields[4];
        std::size_t count = 0;
        for (std::size_t at = 0; at < line.size();) {
            if (line[at] == ' ' || line[at] == '\t') {
                ++at;
                continue;
            }
            const std::size_t next = line.find_first_of(" \t", at);
            const std::string_view field =
                line.substr(at, next == std::string_view::npos ? line.size() - at : next - at);
            if (count == 4)
                return false;
            fields[count++] = std::string(field);
            at += field.size();
        }
        BitmapLine bitmap{fields[0], fields[1], 0, 0};
        auto number = [](const std::string& field, int& value) {
            auto [end, failure] = std::from_chars(field.data(), field.data() + field.size(), value);
            return failure == std::errc() && end == field.data() + field.size() && value > 0 && value <= 4096;
        };
        if (count != 4 || !IsBareName(bitmap.name) || !number(fields[2], bitmap.width) ||
            !number(fields[3], bitmap.height))
            return false;
        bitmaps.push_back(std::move(bitmap));
    }
    return true;
}

std::string BitmapFileName(const BitmapLine& bitmap)
{
    return bitmap.drawing + "-" + std::to_string(bitmap.width) + "x" + std::to_string(bitmap.height) + ".bmp";
}

std::span<const ProgramResources> WindowsPrograms() { return kPrograms; }

const ProgramResources* FindWindowsProgram(std::string_view name)
{
    for (const ProgramResources& program : kPrograms)
        if (name == program.name)
            return &program;
    return nullptr;
}

bool ParseVersion(std::string_view text, VersionNumber& version)
{
    unsigned* parts[] = {&version.major, &version.minor, &version.patch};
    const char* at = text.data();
    const char* end = text.data() + text.size();
    for (std::size_t i = 0; i < 3; ++i) {
        if (i > 0 && (at == end || *at++ != '.'))
            return false;
        // Digits only: from_chars would take no sign, but the check keeps
        // "+1" and " 1" out all the same, as the numbers of the file
        // properties are 16 bits each.
        if (at == end || *at < '0' || *at > '9')
            return false;
        auto [next, failure] = std::from_chars(at, end, *parts[i]);
        if (failure != std::errc() || *parts[i] > 65535)
            return false;
        at = next;
    }
    return at == end;
}

std::string CopyrightLine(std::string_view licence)
{
    while (!licence.empty()) {
        std::size_t lineEnd = licence.find('\n');
        std::string_view line = licence.substr(0, lineEnd);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        if (line.rfind("Copyright", 0) == 0)
            return std::string(line);
        if (lineEnd == std::string_view::npos)
            break;
        licence.remove_prefix(lineEnd + 1);
    }
    return {};
}

bool WriteVersionResource(std::ostream& out, const VersionResource& resource)
{
    VersionNumber number;
    if (resource.program == nullptr || !ParseVersion(resource.version, number))
        return false;
    const std::string name = resource.program->name;
    const std::string numbers = std::to_string(number.major) + ", " + std::to_string(number.minor) + ", " +
                                std::to_string(number.patch) + ", 0";
    const std::pair<const char*, std::string> values[] = {
        {"CompanyName", "The Modem Flash Loader developers"},
        {"FileDescription", resource.program->description},
        {"FileVersion", resource.version},
        {"InternalName", name},
        {"LegalCopyright", resource.copyright},
        {"OriginalFilename", name + ".exe"},
        {"ProductName", kProductDisplayName},
        {"ProductVersion", resource.version},
    };
    out << "\n// What the file's properties show of the program.\n"
        << "1 VERSIONINFO\n"
        << "FILEVERSION " << numbers << '\n'
        << "PRODUCTVERSION " << numbers << '\n'
        << "FILEFLAGSMASK VS_FFI_FILEFLAGSMASK\n"
           "FILEFLAGS 0\n"
           "FILEOS VOS_NT_WINDOWS32\n"
           "FILETYPE VFT_APP\n"
           "FILESUBTYPE VFT2_UNKNOWN\n"
           "BEGIN\n"
           "    BLOCK \"StringFileInfo\"\n"
           "    BEGIN\n"
           // US English, the texts in UTF-16 as the resource keeps them.
           "        BLOCK \"040904B0\"\n"
           "        BEGIN\n";
    for (const auto& [key, value] : values)
        if (!value.empty())
            out << "            VALUE " << Quoted(key) << ", " << Quoted(value) << '\n';
    out << "        END\n"
           "    END\n"
           "    BLOCK \"VarFileInfo\"\n"
           "    BEGIN\n"
           "        VALUE \"Translation\", 0x409, 1200\n"
           "    END\n"
           "END\n";
    return true;
}

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
