// The file properties of both programs as the system reads them (what the
// Explorer's property page shows), and the resources that make
// flashloader-cli.exe look and start like the wizard: its icon and its
// manifest.

#include "base/Version.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

namespace {

// A program of this build: the tests lie beside the programs.
std::string BuiltExe(const char* name)
{
    char self[MAX_PATH * 4];
    DWORD length = ::GetModuleFileNameA(nullptr, self, sizeof self);
    std::string path(self, length);
    return path.substr(0, path.find_last_of("\\/") + 1) + name;
}

struct FileVersion {
    bool read = false;
    VS_FIXEDFILEINFO fixed{};
    std::vector<char> data;

    explicit FileVersion(const std::string& file)
    {
        DWORD ignored = 0;
        DWORD size = ::GetFileVersionInfoSizeA(file.c_str(), &ignored);
        if (size == 0)
            return;
        data.resize(size);
        if (!::GetFileVersionInfoA(file.c_str(), 0, size, data.data()))
            return;
        void* value = nullptr;
        UINT valueSize = 0;
        if (!::VerQueryValueA(data.data(), "\\", &value, &valueSize) || valueSize < sizeof fixed)
            return;
        fixed = *static_cast<VS_FIXEDFILEINFO*>(value);
        read = true;
    }

    // A text of the US English block; "(none)" when it is not there.
    std::string Text(const char* key)
    {
        void* value = nullptr;
        UINT valueSize = 0;
        std::string path = std::string("\\StringFileInfo\\040904B0\\") + key;
        if (!::VerQueryValueA(data.data(), path.c_str(), &value, &valueSize) || value == nullptr)
            return "(none)";
        return static_cast<const char*>(value);
    }
};

// "5.0.0.0" from the fixed part's two double words.
std::string Numbers(DWORD high, DWORD low)
{
    return std::to_string(HIWORD(high)) + "." + std::to_string(LOWORD(high)) + "." + std::to_string(HIWORD(low)) + "." +
           std::to_string(LOWORD(low));
}

TEST(VersionInfoTest, BothProgramsCarryTheProjectsVersion)
{
    const struct {
        const char* exe;
        const char* description;
    } cases[] = {
        {"flashloader.exe", "Modem Flash Loader wizard"},
        {"flashloader-cli.exe", "Modem Flash Loader command line"},
    };
    const std::string version = ProgramVersion();
    for (const auto& c : cases) {
        SCOPED_TRACE(c.exe);
        FileVersion info(BuiltExe(c.exe));
        ASSERT_TRUE(info.read) << BuiltExe(c.exe) << ": error " << ::GetLastError();
        EXPECT_EQ(info.fixed.dwSignature, 0xFEEF04BDu);
        EXPECT_EQ(Numbers(info.fixed.dwFileVersionMS, info.fixed.dwFileVersionLS), version + ".0");
        EXPECT_EQ(Numbers(info.fixed.dwProductVersionMS, info.fixed.dwProductVersionLS), version + ".0");
        EXPECT_EQ(info.fixed.dwFileType, static_cast<DWORD>(VFT_APP));
        EXPECT_EQ(info.Text("ProductName"), kProductDisplayName);
        EXPECT_EQ(info.Text("ProductVersion"), version);
        EXPECT_EQ(info.Text("FileVersion"), version);
        EXPECT_EQ(info.Text("FileDescription"), c.description);
        EXPECT_EQ(info.Text("OriginalFilename"), c.exe);
        EXPECT_EQ(info.Text("LegalCopyright").rfind("Copyright (c) ", 0), 0u) << info.Text("LegalCopyright");
    }
}

TEST(VersionInfoTest, TheCommandLineHasTheIconAndTheManifest)
{
    HMODULE module = ::LoadLibraryExA(BuiltExe("flashloader-cli.exe").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << ::GetLastError();
    EXPECT_NE(::FindResourceA(module, MAKEINTRESOURCEA(128), MAKEINTRESOURCEA(14)), nullptr);  // RT_GROUP_ICON
    HRSRC manifest = ::FindResourceA(module, MAKEINTRESOURCEA(1), MAKEINTRESOURCEA(24));       // RT_MANIFEST
    ASSERT_NE(manifest, nullptr);
    const char* text = static_cast<const char*>(::LockResource(::LoadResource(module, manifest)));
    ASSERT_NE(text, nullptr);
    // The manifest's own version is the project's as well.
    const std::string manifestText(text, ::SizeofResource(module, manifest));
    EXPECT_NE(manifestText.find(std::string("version=\"") + ProgramVersion() + ".0\""), std::string::npos)
        << manifestText;
    ::FreeLibrary(module);
}

}  // namespace
