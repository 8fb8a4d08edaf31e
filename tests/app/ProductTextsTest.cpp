#include "app/ProductTexts.h"

#include "app/AppState.h"
#include "base/Paths.h"
#include "tests/support/AppFixture.h"
#include "tests/support/ScriptedUi.h"

#include <filesystem>
#include <random>
#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#endif

namespace {

class ProductTextsTest : public AppFixture {
protected:
    bool LoadFrom(std::string_view contents)
    {
        WriteFileBytes(dir.File("tarnix.ini"), contents);
        return LoadProductTexts(ui);
    }
    ScriptedUi ui;
};

TEST_F(ProductTextsTest, MissingFileShowsOnlyTheErrorBoxAndRecordsNothing)
{
    EXPECT_FALSE(LoadProductTexts(ui));
    ASSERT_EQ(ui.messages.size(), 1u);
    EXPECT_EQ(ui.messages[0].caption, "File Open Error");
    EXPECT_EQ(ui.messages[0].text, "Couldn't open file tarnix.ini");
    EXPECT_EQ(ui.messages[0].icon, MsgIcon::Stop);
    EXPECT_EQ(ui.messages[0].buttons, MsgButtons::Ok);
    EXPECT_EQ(StartDirectory, "");
}

TEST_F(ProductTextsTest, DirectoryOfThatNameIsNoSettingsFile)
{
    std::filesystem::create_directory(dir.File("tarnix.ini"));
    EXPECT_FALSE(LoadProductTexts(ui));
    EXPECT_EQ(ui.messages.size(), 1u);
}

TEST_F(ProductTextsTest, EmptyFileGivesTheDefaultsAndRecordsTheStartDirectory)
{
    EXPECT_TRUE(LoadFrom(""));
    EXPECT_TRUE(ui.messages.empty());
    EXPECT_EQ(ProductTexts.ProductName, "Flash Loader");
    EXPECT_EQ(ProductTexts.VersionString, "5.x.x");
    EXPECT_EQ(ProductTexts.CompanyName, "<none>");
    EXPECT_EQ(ProductTexts.CompanySlogen, "<none>");
    EXPECT_EQ(StartDirectory, dir.Path());
}

TEST_F(ProductTextsTest, VersionSectionOnly)
{
    EXPECT_TRUE(LoadFrom("[Version]\nProductName=Modem Flash Loader\nVersionString=5.2.1\n"));
    EXPECT_EQ(ProductTexts.ProductName, "Modem Flash Loader");
    EXPECT_EQ(ProductTexts.VersionString, "5.2.1");
    EXPECT_EQ(ProductTexts.CompanyName, "<none>");
    EXPECT_EQ(ProductTexts.CompanySlogen, "<none>");
}

TEST_F(ProductTextsTest, LongValuesAreCutToTheirHolders)
{
    std::string name(50, 'N');
    EXPECT_TRUE(LoadFrom("[Version]\nProductName=" + name +
                         "\nVersionString=123456789012\n[AboutBox]\n"
                         "CompanyName=" +
                         std::string(45, 'C') + "\n"));
    EXPECT_EQ(ProductTexts.ProductName, std::string(39, 'N'));
    EXPECT_EQ(ProductTexts.VersionString, "123456789");
    EXPECT_EQ(ProductTexts.CompanyName, std::string(39, 'C'));
}

#ifndef _WIN32
// Linux texts are UTF-8. On Windows every character of the 8-bit code page is
// one byte, and the system's reader cuts there.
TEST_F(ProductTextsTest, CutNeverSplitsACharacter)
{
    // 38 ASCII bytes, then a two-byte character that would straddle byte 39.
    EXPECT_TRUE(LoadFrom("[AboutBox]\nCompanyName=" + std::string(38, 'a') + "\xc3\xa9z\n"));
    EXPECT_EQ(ProductTexts.CompanyName, std::string(38, 'a'));
}
#endif

TEST_F(ProductTextsTest, ProfileReaderRules)
{
    EXPECT_TRUE(LoadFrom("; a comment line\r\n"
                         "[aboutbox]\r\n"
                         "  companyname   =   Kestrolan Technologies  \r\n"
                         "COMPANYSLOGEN = \"Fast; reliable ; small\"\r\n"
                         "CompanyName = second value is not taken\r\n"
                         "[VERSION]\r\n"
                         "ProductName=\r\n"));
    EXPECT_EQ(ProductTexts.CompanyName, "Kestrolan Technologies");
    EXPECT_EQ(ProductTexts.CompanySlogen, "Fast; reliable ; small");
    EXPECT_EQ(ProductTexts.ProductName, "");  // present but empty: no default
    EXPECT_EQ(ProductTexts.VersionString, "5.x.x");
}

TEST_F(ProductTextsTest, LargeFileIsReadWhole)
{
    // More than the 65,535 bytes a 16-bit length could hold, with the
    // section at the very end.
    std::string padding;
    while (padding.size() < 70000)
        padding += "; padding line of the settings file\n";
    EXPECT_TRUE(LoadFrom(padding + "[Version]\nVersionString=9.9.9\n"));
    EXPECT_EQ(ProductTexts.VersionString, "9.9.9");
}

TEST_F(ProductTextsTest, RestOfAnOverlongLineIsNotReadAsALineOfItsOwn)
{
    std::string line = "CompanySlogen=" + std::string(300, 's') + "ProductName=Wrong\n";
    EXPECT_TRUE(LoadFrom("[Version]\n" + line + "[AboutBox]\n" + line));
    EXPECT_EQ(ProductTexts.ProductName, "Flash Loader");
    EXPECT_EQ(ProductTexts.CompanySlogen, std::string(39, 's'));
}

TEST_F(ProductTextsTest, CarriageReturnOnlyLineEndsAndNulBytes)
{
    const char raw[] = "[Version]\rProductName=Old Mac\rVersionString=1.0\0junk\r";
    EXPECT_TRUE(LoadFrom(std::string(raw, sizeof raw - 1)));
    EXPECT_EQ(ProductTexts.ProductName, "Old Mac");
    EXPECT_EQ(ProductTexts.VersionString, "1.0");
}

}  // namespace

namespace {

TEST_F(ProductTextsTest, FilesOfEveryLengthAndRandomBytes)
{
    std::mt19937 random(301);
    for (std::size_t length = 0; length <= 300; ++length) {
        std::string bytes(length, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random() % 4 == 0 ? "[]=\n;"[random() % 5] : random());
        ASSERT_TRUE(LoadFrom(bytes)) << length;
        EXPECT_LT(ProductTexts.ProductName.size(), kProductNameSize);
        EXPECT_LT(ProductTexts.VersionString.size(), kVersionStringSize);
        EXPECT_LT(ProductTexts.CompanyName.size(), kCompanyNameSize);
        EXPECT_LT(ProductTexts.CompanySlogen.size(), kCompanySlogenSize);
        EXPECT_EQ(ReadFileBytes(dir.File("tarnix.ini")), bytes);
    }
}

}  // namespace

#ifdef _WIN32
namespace {

std::string InWindowsDirectory(std::string_view name)
{
    char windows[MAX_PATH];
    UINT length = ::GetWindowsDirectoryA(windows, sizeof windows);
    return JoinPath(std::string_view(windows, length), name);
}

TEST_F(ProductTextsTest, WorkingCopyOfAnEarlierRunIsOverwrittenAndNoneStays)
{
    WriteFileBytes(InWindowsDirectory("~tarnix.ini"), "[Version]\nProductName=Left behind\nVersionString=0.0\n");
    EXPECT_TRUE(LoadFrom("[Version]\nProductName=Current\n"));
    EXPECT_EQ(ProductTexts.ProductName, "Current");
    EXPECT_EQ(ProductTexts.VersionString, "5.x.x");
    EXPECT_FALSE(FileExists(InWindowsDirectory("~tarnix.ini")));
}

TEST_F(ProductTextsTest, SettingsFileOnlyInTheWindowsDirectoryIsNotFound)
{
    WriteFileBytes(InWindowsDirectory("tarnix.ini"), "[Version]\nProductName=Wrong place\n");
    bool loaded = LoadProductTexts(ui);
    ::DeleteFileA(InWindowsDirectory("tarnix.ini").c_str());
    EXPECT_FALSE(loaded);
    EXPECT_EQ(ui.messages.size(), 1u);
    EXPECT_FALSE(FileExists(InWindowsDirectory("~tarnix.ini")));
}

TEST_F(ProductTextsTest, WithoutAWorkingCopyTheFileIsReadWhereItLies)
{
    // A folder of the working copy's name: no copy can be made.
    std::filesystem::create_directory(InWindowsDirectory("~tarnix.ini"));
    bool loaded = LoadFrom("[Version]\nProductName=Read in place\n");
    bool folderKept = std::filesystem::is_directory(InWindowsDirectory("~tarnix.ini"));
    std::filesystem::remove(InWindowsDirectory("~tarnix.ini"));
    EXPECT_TRUE(loaded);
    EXPECT_EQ(ProductTexts.ProductName, "Read in place");
    EXPECT_TRUE(folderKept);
}

}  // namespace
#endif
