// The resource script of the Windows programs as written from dialog
// tables: one statement per window and per control, the styles each kind
// and flag stands for, the texts as the tables hold them, and the pictures.

#include "resources/ResourceScript.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using K = ControlKind;

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

std::string Script(const std::vector<DialogTemplate>& dialogs, std::span<const PictureResource> pictures = {},
                   const ResourceFiles& files = {"/pictures", ""})
{
    std::ostringstream out;
    EXPECT_TRUE(WriteResourceScript(out, dialogs, pictures, files));
    return out.str();
}

std::string ControlLine(const ControlTemplate& control)
{
    DialogTemplate dialog{7, kPopup | kCaption, "Test", "System", 10, 100, 50, {control}};
    for (const std::string& line : Lines(Script({dialog})))
        if (line.rfind("    CONTROL ", 0) == 0)
            return line.substr(4);
    return {};
}

TEST(ResourceScriptTest, EveryKindWithItsClassAndStyle)
{
    const struct {
        ControlTemplate control;
        const char* line;
    } cases[] = {
        {{-1, K::Static, "Left", 1, 2, 3, 4, kLeft}, R"(CONTROL "Left", IDC_STATIC, "Static", SS_LEFT, 1, 2, 3, 4)"},
        {{5, K::Static, "C", 1, 2, 3, 4, kCenter | kGroup},
         R"(CONTROL "C", 5, "Static", SS_CENTER | WS_GROUP, 1, 2, 3, 4)"},
        {{5, K::Static, "R", 1, 2, 3, 4, kRight | kHidden},
         R"(CONTROL "R", 5, "Static", SS_RIGHT | NOT WS_VISIBLE, 1, 2, 3, 4)"},
        {{-1, K::Bitmap, "130", 7, 7, 64, 132, kLeft},
         R"(CONTROL 130, IDC_STATIC, "Static", SS_BITMAP, 7, 7, 64, 132)"},
        {{-1, K::Bitmap, "AboutU", 7, 7, 64, 132, kLeft},
         R"(CONTROL "AboutU", IDC_STATIC, "Static", SS_BITMAP, 7, 7, 64, 132)"},
        {{13, K::Icon, "133", 21, 23, 20, 20, kLeft}, R"(CONTROL 133, 13, "Static", SS_ICON, 21, 23, 20, 20)"},
        {{1, K::PushButton, "&Close", 1, 2, 3, 4, kTabStop},
         R"(CONTROL "&Close", 1, "Button", BS_PUSHBUTTON | WS_TABSTOP, 1, 2, 3, 4)"},
        {{1, K::DefPushButton, "OK", 1, 2, 3, 4, kTabStop},
         R"(CONTROL "OK", 1, "Button", BS_DEFPUSHBUTTON | WS_TABSTOP, 1, 2, 3, 4)"},
        {{4, K::OwnerDrawButton, "ABOUT", 1, 2, 3, 4, kTabStop | kDisabled},
         R"(CONTROL "ABOUT", 4, "Button", BS_OWNERDRAW | WS_TABSTOP | WS_DISABLED, 1, 2, 3, 4)"},
        {{9, K::RadioButton, "A", 1, 2, 3, 4, kGroup | kTabStop | kHidden},
         R"(CONTROL "A", 9, "Button", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP | NOT WS_VISIBLE, 1, 2, 3, 4)"},
        {{6, K::Edit, "", 1, 2, 3, 4, kTabStop},
         R"(CONTROL "", 6, "Edit", ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 1, 2, 3, 4)"},
        {{5, K::DropDownList, "", 1, 2, 3, 53, kTabStop},
         R"(CONTROL "", 5, "ComboBox", CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 1, 2, 3, 53)"},
        {{20, K::OwnerDrawListBox, "", 1, 2, 3, 4, kTabStop},
         R"(CONTROL "", 20, "ListBox", LBS_SORT | LBS_NOTIFY | LBS_OWNERDRAWVARIABLE | LBS_HASSTRINGS | )"
         R"(LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER | WS_TABSTOP, 1, 2, 3, 4)"},
        {{14, K::ProgressBar, "", 1, 2, 3, 4, kLeft}, R"(CONTROL "", 14, "msctls_progress32", 0, 1, 2, 3, 4)"},
        {{-1, K::EtchedLine, "", 7, 98, 242, 2, kLeft},
         R"(CONTROL "", IDC_STATIC, "Static", SS_ETCHEDHORZ, 7, 98, 242, 2)"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ControlLine(c.control), c.line);
}

TEST(ResourceScriptTest, TextsAsTheTablesHoldThem)
{
    const struct {
        const char* text;
        const char* quoted;
    } cases[] = {
        {"Is this the right  file?", R"("Is this the right  file?")"},
        {"say \"yes\"", R"("say ""yes""")"},
        {"C:\\FW\\MODEM.HEX", R"("C:\\FW\\MODEM.HEX")"},
        {"two\nlines\tand a tab", R"("two\nlines\tand a tab")"},
        {"Gr\xC3\xBC\xC3\x9F" "e", "\"Gr\xC3\xBC\xC3\x9F" "e\""},
        {"", R"("")"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ControlLine({-1, K::Static, c.text, 1, 2, 3, 4, kLeft}),
                  std::string("CONTROL ") + c.quoted + ", IDC_STATIC, \"Static\", SS_LEFT, 1, 2, 3, 4");
}

TEST(ResourceScriptTest, WindowFrames)
{
    const struct {
        unsigned windowStyle;
        const char* styleLine;
    } cases[] = {
        {kPage | kCaption, "STYLE WS_CHILD | WS_DISABLED | WS_CAPTION | DS_SETFONT"},
        {kPopup | kCaption | kModalFrame, "STYLE WS_POPUP | WS_CAPTION | DS_MODALFRAME | DS_SETFONT"},
        {kPopup | kCaption | kSystemMenu | kModalFrame | kVisible | kSystemModal,
         "STYLE WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SYSMODAL | DS_SETFONT"},
        {kPopup | kVisible | kDialogFrame | kScreenCentre,
         "STYLE WS_POPUP | WS_VISIBLE | WS_DLGFRAME | DS_CENTER | DS_SETFONT"},
    };
    for (const auto& c : cases) {
        DialogTemplate dialog{136, c.windowStyle, "A \"quoted\" title", "MS Sans Serif", 8, 136, 62, {}};
        std::vector<std::string> lines = Lines(Script({dialog}));
        auto header = std::find(lines.begin(), lines.end(), "136 DIALOGEX 0, 0, 136, 62");
        ASSERT_NE(header, lines.end());
        ASSERT_GE(lines.end() - header, 5);
        EXPECT_EQ(header[1], c.styleLine);
        // A caption in the script gives the window a title bar: none
        // without one.
        const bool caption = (c.windowStyle & kCaption) != 0;
        std::vector<std::string> rest(header + 2, header + (caption ? 6 : 5));
        std::vector<std::string> expected = {"FONT 8, \"MS Sans Serif\"", "BEGIN", "END"};
        if (caption)
            expected.insert(expected.begin(), R"(CAPTION "A ""quoted"" title")");
        EXPECT_EQ(rest, expected) << c.styleLine;
    }
}

TEST(ResourceScriptTest, AMovedControlChangesItsLineOnly)
{
    DialogTemplate dialog{IDD_PATH, kPage | kCaption, "Path", "System", 10, 284, 147,
                          {{-1, K::Bitmap, "130", 7, 7, 64, 133, kLeft},
                           {1006, K::Edit, "", 88, 101, 189, 12, kTabStop},
                           {1007, K::PushButton, "Browse", 218, 118, 59, 14, kTabStop}}};
    std::vector<std::string> before = Lines(Script({dialog}));
    dialog.controls[2].x = 200;
    dialog.controls[2].height = 16;
    std::vector<std::string> after = Lines(Script({dialog}));
    ASSERT_EQ(before.size(), after.size());
    std::vector<std::string> changed;
    for (size_t i = 0; i < after.size(); ++i)
        if (before[i] != after[i])
            changed.push_back(after[i]);
    EXPECT_EQ(changed, (std::vector<std::string>{
                           R"(    CONTROL "Browse", 1007, "Button", BS_PUSHBUTTON | WS_TABSTOP, 200, 118, 59, 16)"}));
    // The controls stand in table order: the tab order.
    auto bitmap = std::find_if(after.begin(), after.end(), [](auto& l) { return l.find("SS_BITMAP") != l.npos; });
    auto edit = std::find_if(after.begin(), after.end(), [](auto& l) { return l.find("\"Edit\"") != l.npos; });
    EXPECT_EQ(edit - bitmap, 1);
}

TEST(ResourceScriptTest, PicturesAndManifest)
{
    const PictureResource pictures[] = {
        {"130", PictureType::Bitmap, "wizard.bmp"},
        {"AboutU", PictureType::Bitmap, "about-up.bmp"},
        {"About_2", PictureType::Bitmap, "two.bmp"},
        {"128", PictureType::Icon, "app-icon.ico"},
    };
    std::vector<std::string> lines = Lines(Script({}, pictures, {"C:/out\\pictures", "/src/flashloader.manifest"}));
    ASSERT_GE(lines.size(), 7u);
    std::vector<std::string> tail(lines.end() - 7, lines.end());
    // Numbers and words go bare; the files in the picture folder.
    EXPECT_EQ(tail, (std::vector<std::string>{
                        R"(130 BITMAP "C:/out\\pictures/wizard.bmp")",
                        R"(AboutU BITMAP "C:/out\\pictures/about-up.bmp")",
                        R"(About_2 BITMAP "C:/out\\pictures/two.bmp")",
                        R"(128 ICON "C:/out\\pictures/app-icon.ico")",
                        "",
                        "// Common controls 6: the system's current look for the controls.",
                        R"(CREATEPROCESS_MANIFEST_RESOURCE_ID RT_MANIFEST "/src/flashloader.manifest")",
                    }));
    EXPECT_EQ(Script({}, pictures, {"/p", ""}).find("RT_MANIFEST"), std::string::npos);

    // A name that would need quotes, which would join it to the line before.
    for (const char* name : {"Two words", "2nd", "a-b", ""}) {
        const PictureResource odd[] = {{name, PictureType::Icon, "x.ico"}};
        std::ostringstream out;
        EXPECT_FALSE(WriteResourceScript(out, {}, odd, {"/p", ""})) << name;
        EXPECT_EQ(out.str(), "");
    }
}

// The program's own tables: every window once, and every picture that a
// template names among the pictures the script carries.
TEST(ResourceScriptTest, TheProgramsTables)
{
    std::vector<DialogTemplate> dialogs(AllDialogTemplates().begin(), AllDialogTemplates().end());
    std::vector<std::string> lines = Lines(Script(dialogs, ProgramPictures()));
    std::multiset<std::string> headers;
    for (const std::string& line : lines)
        if (line.find(" DIALOGEX ") != std::string::npos)
            headers.insert(line.substr(0, line.find(' ')));
    EXPECT_EQ(headers, (std::multiset<std::string>{"100", "129", "131", "132", "133", "136"}));

    std::set<std::string> pictures;
    for (const PictureResource& picture : ProgramPictures())
        pictures.insert(picture.name);
    EXPECT_EQ(pictures, (std::set<std::string>{kBitmapWizard, kBitmapAboutUp, kBitmapAboutDown, kIconApplication,
                                               kIconInformation, kIconQuestion, kIconStop}));
    for (const DialogTemplate& dialog : dialogs)
        for (const ControlTemplate& control : dialog.controls) {
            bool picture = control.kind == K::Bitmap || control.kind == K::Icon;
            EXPECT_TRUE(!picture || pictures.count(control.text) == 1) << control.text;
        }
}

} // namespace
