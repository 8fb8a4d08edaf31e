// The resource script of the Windows programs as written from dialog
// tables: one statement per control, the styles each kind and flag stands
// for, the texts as the tables hold them, and the pictures. (The windows'
// own styles are checked as the system reads them, in the Windows build.)

#include "resources/ResourceScript.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace {

using K = ControlKind;

// The script's statements from the dialog 7 on, blank lines left out.
std::vector<std::string> Statements(const DialogTemplate& dialog, std::span<const PictureResource> pictures = {})
{
    std::ostringstream out;
    EXPECT_TRUE(WriteResourceScript(out, {&dialog, 1}, pictures, {"C:/out\\pictures", ""}));
    std::vector<std::string> lines;
    std::istringstream in(out.str());
    bool started = false;
    for (std::string line; std::getline(in, line);) {
        started = started || line.rfind("7 DIALOGEX", 0) == 0;
        if (started && !line.empty())
            lines.push_back(line);
    }
    return lines;
}

TEST(ResourceScriptTest, EveryKindWithItsClassAndStyle)
{
    const struct {
        ControlTemplate control;
        const char* line;
    } cases[] = {
        {{-1, K::Static, "L", 1, 2, 3, 4, kLeft}, R"("L", IDC_STATIC, "Static", SS_LEFT)"},
        {{5, K::Static, "C", 1, 2, 3, 4, kCenter | kGroup}, R"("C", 5, "Static", SS_CENTER | WS_GROUP)"},
        {{5, K::Static, "R", 1, 2, 3, 4, kRight | kHidden}, R"("R", 5, "Static", SS_RIGHT | NOT WS_VISIBLE)"},
        {{5, K::Static, "", 1, 2, 3, 4, kLeft | kData}, R"("", 5, "Static", SS_LEFT | SS_NOPREFIX)"},
        {{-1, K::Bitmap, "130", 1, 2, 3, 4, 0}, R"(130, IDC_STATIC, "Static", SS_BITMAP)"},
        {{-1, K::Bitmap, "AboutU", 1, 2, 3, 4, 0}, R"("AboutU", IDC_STATIC, "Static", SS_BITMAP)"},
        {{13, K::Icon, "133", 1, 2, 3, 4, 0}, R"(133, 13, "Static", SS_ICON)"},
        {{1, K::PushButton, "&Close", 1, 2, 3, 4, kTabStop}, R"("&Close", 1, "Button", BS_PUSHBUTTON | WS_TABSTOP)"},
        {{1, K::DefPushButton, "OK", 1, 2, 3, 4, 0}, R"("OK", 1, "Button", BS_DEFPUSHBUTTON)"},
        {{4, K::OwnerDrawButton, "ABOUT", 1, 2, 3, 4, kTabStop | kDisabled},
         R"("ABOUT", 4, "Button", BS_OWNERDRAW | WS_TABSTOP | WS_DISABLED)"},
        {{9, K::RadioButton, "A", 1, 2, 3, 4, kGroup | kTabStop | kHidden},
         R"("A", 9, "Button", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP | NOT WS_VISIBLE)"},
        {{6, K::Edit, "", 1, 2, 3, 4, kTabStop}, R"("", 6, "Edit", ES_LEFT | ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP)"},
        {{5, K::DropDownList, "", 1, 2, 3, 4, 0}, R"("", 5, "ComboBox", CBS_DROPDOWNLIST | WS_VSCROLL)"},
        {{20, K::OwnerDrawListBox, "", 1, 2, 3, 4, 0},
         R"("", 20, "ListBox", LBS_SORT | LBS_NOTIFY | LBS_OWNERDRAWVARIABLE | LBS_HASSTRINGS | )"
         R"(LBS_NOINTEGRALHEIGHT | WS_VSCROLL | WS_BORDER)"},
        {{14, K::ProgressBar, "", 1, 2, 3, 4, 0}, R"("", 14, "msctls_progress32", 0)"},
        {{-1, K::EtchedLine, "", 1, 2, 3, 4, 0}, R"("", IDC_STATIC, "Static", SS_ETCHEDHORZ)"},
        // The texts byte for byte: the quote doubled, the backslash and line
        // ends as escapes, UTF-8 as it is.
        {{-1, K::Static, "say \"yes\"", 1, 2, 3, 4, 0}, R"("say ""yes""", IDC_STATIC, "Static", SS_LEFT)"},
        {{-1, K::Static, "C:\\FW\\M.HEX\n\tGr\u00fc\u00dfe  ", 1, 2, 3, 4, 0},
         "\"C:\\\\FW\\\\M.HEX\\n\\tGr\u00fc\u00dfe  \", IDC_STATIC, \"Static\", SS_LEFT"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> lines = Statements({7, kPopup, "", "System", 10, 100, 50, {c.control}});
        ASSERT_EQ(lines.size(), 6u);
        EXPECT_EQ(lines[4], std::string("    CONTROL ") + c.line + ", 1, 2, 3, 4");
    }
}

TEST(ResourceScriptTest, AMovedControlMovesInItsLineOnly)
{
    DialogTemplate dialog{7,
                          kPage | kCaption,
                          "Path",
                          "System",
                          10,
                          100,
                          50,
                          {{IDC_PATH_EDIT, K::Edit, "", 88, 101, 189, 12, kTabStop},
                           {IDC_PATH_BROWSE, K::PushButton, "Browse", 218, 118, 59, 14, kTabStop}}};
    std::vector<std::string> before = Statements(dialog);
    dialog.controls[1].x = 200;
    dialog.controls[1].height = 16;
    std::vector<std::string> after = Statements(dialog);
    ASSERT_EQ(after.size(), 8u);
    EXPECT_EQ(after[6], R"(    CONTROL "Browse", 1007, "Button", BS_PUSHBUTTON | WS_TABSTOP, 200, 118, 59, 16)");
    after[6] = before[6];
    EXPECT_EQ(after, before);
}

TEST(ResourceScriptTest, Pictures)
{
    const PictureResource pictures[] = {{"130", PictureType::Bitmap, "wizard.bmp"},
                                        {"AboutU", PictureType::Bitmap, "about-up.bmp"},
                                        {"128", PictureType::Icon, "app-icon.ico"}};
    std::vector<std::string> lines = Statements({7, kPopup, "", "System", 10, 100, 50, {}}, pictures);
    EXPECT_EQ(std::vector<std::string>(lines.end() - 3, lines.end()),
              (std::vector<std::string>{R"(130 BITMAP "C:/out\\pictures/wizard.bmp")",
                                        R"(AboutU BITMAP "C:/out\\pictures/about-up.bmp")",
                                        R"(128 ICON "C:/out\\pictures/app-icon.ico")"}));
    // Names that would need quotes, which would join them to the text that
    // ends the line before.
    for (const char* name : {"Two words", "2nd", "a-b", ""}) {
        const PictureResource odd[] = {{name, PictureType::Icon, "x.ico"}};
        std::ostringstream out;
        EXPECT_FALSE(WriteResourceScript(out, {}, odd, {"/p", ""})) << name;
        EXPECT_EQ(out.str(), "");
    }
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// The file properties of each program: the numbers from the version, the
// texts the system's property page shows.
TEST(ResourceScriptTest, VersionResourceOfEachProgram)
{
    const struct {
        const char* program;
        const char* version;
        const char* numbers;
        const char* description;
    } cases[] = {
        {"flashloader", "5.0.0", "5, 0, 0, 0", "Modem Flash Loader wizard"},
        {"flashloader-cli", "12.34.65535", "12, 34, 65535, 0", "Modem Flash Loader command line"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program);
        std::ostringstream out;
        ASSERT_TRUE(WriteVersionResource(out, {FindWindowsProgram(c.program), c.version, "Copyright (c) 2026 \"Us\""}));
        std::vector<std::string> lines = Lines(out.str());
        auto has = [&](const std::string& line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); };
        EXPECT_TRUE(has("1 VERSIONINFO"));
        EXPECT_TRUE(has(std::string("FILEVERSION ") + c.numbers));
        EXPECT_TRUE(has(std::string("PRODUCTVERSION ") + c.numbers));
        EXPECT_TRUE(has("FILETYPE VFT_APP"));
        const std::string program = c.program, version = c.version;
        auto value = [](const std::string& key, const std::string& text) {
            return "            VALUE \"" + key + "\", \"" + text + "\"";
        };
        for (const std::string& line :
             {value("CompanyName", "The Modem Flash Loader developers"), value("FileDescription", c.description),
              value("FileVersion", version), value("InternalName", program),
              value("LegalCopyright", "Copyright (c) 2026 \"\"Us\"\""), value("OriginalFilename", program + ".exe"),
              value("ProductName", "Modem Flash Loader"), value("ProductVersion", version),
              std::string("        VALUE \"Translation\", 0x409, 1200")})
            EXPECT_TRUE(has(line)) << line << "\n" << out.str();
    }
}

TEST(ResourceScriptTest, OnlyThreeSixteenBitNumbersAreAVersion)
{
    VersionNumber number;
    ASSERT_TRUE(ParseVersion("5.0.12", number));
    EXPECT_EQ(number.major, 5u);
    EXPECT_EQ(number.minor, 0u);
    EXPECT_EQ(number.patch, 12u);
    for (const char* odd : {"", "5", "5.0", "5.0.0.0", "5.0.0-rc1", "5..0", "5.0.", ".5.0", "+5.0.0", " 5.0.0",
                            "5.0.65536", "5.0.99999999999"}) {
        SCOPED_TRACE(odd);
        EXPECT_FALSE(ParseVersion(odd, number));
        std::ostringstream out;
        EXPECT_FALSE(WriteVersionResource(out, {FindWindowsProgram("flashloader"), odd, "Copyright"}));
        EXPECT_EQ(out.str(), "");
    }
    std::ostringstream out;
    EXPECT_FALSE(WriteVersionResource(out, {FindWindowsProgram("flash-bench"), "5.0.0", "Copyright"}));
    EXPECT_EQ(out.str(), "");
}

TEST(ResourceScriptTest, TheCopyrightLineOfTheLicence)
{
    const struct {
        const char* licence;
        const char* line;
    } cases[] = {
        {"MIT License\n\nCopyright (c) 2026 Us\n\nPermission is hereby granted", "Copyright (c) 2026 Us"},
        {"MIT License\r\n\r\nCopyright (c) 2026 Us\r\n", "Copyright (c) 2026 Us"},
        {"Copyright 2026 Us", "Copyright 2026 Us"},
        {"MIT License\n  Copyright indented is prose\n", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CopyrightLine(c.licence), c.line) << c.licence;
}

}  // namespace
