#include "app/LastSelection.h"

#include "app/AppState.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "tests/support/AppFixture.h"

#include <cstring>
#include <filesystem>
#include <random>
#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

class LastSelectionTest : public AppFixture {
protected:
    // A record image with the given fields; every byte not set is 'x', so
    // that kept tails are visible.
    static std::string Image(std::int32_t rate, std::string_view port, std::string_view path)
    {
        FlashSelectionRecord record;
        std::memset(&record, 'x', sizeof record);
        record.BaudRate = rate;
        SetField(record.PortName, port);
        SetField(record.HexFilePath, path);
        auto bytes = SelectionToBytes(record);
        return std::string(bytes.begin(), bytes.end());
    }
};

std::string Port() { return std::string(FieldText(FlashSelection.PortName)); }
std::string Path() { return std::string(FieldText(FlashSelection.HexFilePath)); }

TEST_F(LastSelectionTest, ByteImageIsLittleEndianWithUnalignedFields)
{
    FlashSelectionRecord record{};
    record.BaudRate = 0x01020304;
    SetField(record.PortName, "COM7");
    SetField(record.HexFilePath, "/fw/a.hex");
    auto bytes = SelectionToBytes(record);
    EXPECT_EQ(bytes[0], 0x04);
    EXPECT_EQ(bytes[3], 0x01);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[4]), 5), std::string("COM7\0", 5));
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(&bytes[9])), "/fw/a.hex");
}

TEST_F(LastSelectionTest, NoFileGivesTheDefaults)
{
    DeveloperMode = true;
    LoadLastSelection();
    EXPECT_EQ(FlashSelection.BaudRate, 57600);
    EXPECT_EQ(Port(), "");
    EXPECT_EQ(Path(), dir.File("MODEM.HEX"));
    EXPECT_FALSE(DeveloperMode);
}

TEST_F(LastSelectionTest, ExactRecordIsTakenWholeAndKeepsDeveloperMode)
{
    WriteFileBytes(dir.File("lastsel.dat"), Image(12345, "COM3", "/fw/MODEM.HEX"));
    DeveloperMode = true;
    LoadLastSelection();
    EXPECT_EQ(FlashSelection.BaudRate, 12345);  // nothing is checked on loading
    EXPECT_EQ(Port(), "COM3");
    EXPECT_EQ(Path(), "/fw/MODEM.HEX");
    EXPECT_TRUE(DeveloperMode);
}

TEST_F(LastSelectionTest, LongerFileGivesItsFirst132Bytes)
{
    std::string image = Image(19200, "COM2", "/a.hex");
    WriteFileBytes(dir.File("lastsel.dat"), image + std::string(68, '\x7f'));
    LoadLastSelection();
    auto bytes = SelectionToBytes(FlashSelection);
    EXPECT_EQ(std::string(bytes.begin(), bytes.end()), image);
}

TEST_F(LastSelectionTest, SevenByteFileKeepsWhatArrivedUnderTheDefaults)
{
    WriteFileBytes(dir.File("lastsel.dat"), std::string("\x00\x96\x00\x00"
                                                        "COM",
                                                        7));
    DeveloperMode = true;
    LoadLastSelection();
    EXPECT_EQ(FlashSelection.BaudRate, 57600);
    EXPECT_EQ(std::string(FlashSelection.PortName, 5), std::string("COM\0\0", 5));
    EXPECT_EQ(Path(), dir.File("MODEM.HEX"));
    EXPECT_FALSE(DeveloperMode);
}

TEST_F(LastSelectionTest, FieldsWithoutTerminatorAreReadWithinTheirBounds)
{
    WriteFileBytes(dir.File("lastsel.dat"), std::string(kSelectionSize, 'A'));
    LoadLastSelection();
    EXPECT_EQ(Port(), "AAAAA");
    EXPECT_EQ(Path(), std::string(123, 'A'));
}

TEST_F(LastSelectionTest, ShorterValueKeepsTheTailOfTheEarlierOne)
{
    WriteFileBytes(dir.File("lastsel.dat"), Image(57600, "COM1", "C:\\FIRMWARE\\OLD\\MODEM.HEX"));
    LoadLastSelection();
    StartDirectory = dir.Path();
    ASSERT_TRUE(SetField(FlashSelection.HexFilePath, "D:\\A.HEX"));
    StoreLastSelection();

    std::string stored = ReadFileBytes(dir.File("lastsel.dat"));
    ASSERT_EQ(stored.size(), kSelectionSize);
    std::string path = stored.substr(9);
    EXPECT_EQ(path.substr(0, 9), std::string("D:\\A.HEX\0", 9));
    EXPECT_EQ(path.substr(9, 19), std::string("RE\\OLD\\MODEM.HEX\0xx", 19));

    ResetProgramState();
    LoadLastSelection();
    EXPECT_EQ(Path(), "D:\\A.HEX");
}

TEST_F(LastSelectionTest, StoreGoesToTheStartDirectoryWhateverTheCurrentOne)
{
    StartDirectory = dir.Path();
    FlashSelection.BaudRate = 38400;
    SetField(FlashSelection.PortName, "COM9");
    ScopedTempDir elsewhere;
    {
        ScopedChdir moved(elsewhere.Path());
        StoreLastSelection();
    }
    EXPECT_FALSE(FileExists(elsewhere.File("lastsel.dat")));
    ResetProgramState();
    LoadLastSelection();
    EXPECT_EQ(FlashSelection.BaudRate, 38400);
    EXPECT_EQ(Port(), "COM9");
}

TEST_F(LastSelectionTest, StoreReplacesTheFileWholeAndLeavesNoTemporaryFiles)
{
    WriteFileBytes(dir.File("lastsel.dat"), std::string(300, 'z'));
    StartDirectory = dir.Path();
    FlashSelection.BaudRate = 9600;
    StoreLastSelection();
    EXPECT_EQ(ReadFileBytes(dir.File("lastsel.dat")).size(), kSelectionSize);
    EXPECT_EQ(ListDirectory(dir.Path()), std::vector<std::string>{"lastsel.dat"});
}

#ifndef _WIN32
// The store keeps what the person made of the file: a link still leads to
// the one record, permissions stay, and a read-only file is not replaced.
TEST_F(LastSelectionTest, StoreWritesThroughLinksKeepsPermissionsAndLeavesReadOnlyFiles)
{
    const std::string earlier = Image(19200, "COM1", "/x.hex");
    StartDirectory = dir.Path();
    const std::string file = dir.File("lastsel.dat");
    const std::string kept = dir.File("kept/record.dat");
    struct Case {
        const char* what;
        mode_t mode;
        bool link;
        bool replaced;
    } cases[] = {
        {"a private file", 0600, false, true},
        {"a file others may read", 0644, false, true},
        {"a link to the record kept elsewhere", 0640, true, true},
        {"a read-only file", 0444, false, false},
        {"a link to a read-only file", 0444, true, false},
    };
    std::filesystem::create_directories(dir.File("kept"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::filesystem::remove(file);
        std::filesystem::remove(kept);
        const std::string& real = c.link ? kept : file;
        WriteFileBytes(real, earlier);
        ASSERT_EQ(::chmod(real.c_str(), c.mode), 0);
        if (c.link) {
            ASSERT_EQ(::symlink("kept/record.dat", file.c_str()), 0);
        }
        FlashSelection.BaudRate = 9600;
        StoreLastSelection();

        EXPECT_EQ(ReadFileBytes(real) == earlier, !c.replaced);
        EXPECT_EQ(ReadFileBytes(real).size(), kSelectionSize);
        struct stat info {};
        ASSERT_EQ(::lstat(file.c_str(), &info), 0);
        EXPECT_EQ(S_ISLNK(info.st_mode), c.link);
        ASSERT_EQ(::stat(real.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, c.mode);
        ::chmod(real.c_str(), 0644);
    }
    EXPECT_EQ(ListDirectory(dir.File("kept")), std::vector<std::string>{"record.dat"});
}

#endif

TEST_F(LastSelectionTest, FailedStoreKeepsTheEarlierFileAndSaysNothing)
{
    std::string earlier = Image(19200, "COM1", "/x.hex");
    WriteFileBytes(dir.File("lastsel.dat"), earlier);
    StartDirectory = dir.File("missing-directory");
    FlashSelection.BaudRate = 9600;
    StoreLastSelection();
    EXPECT_EQ(ReadFileBytes(dir.File("lastsel.dat")), earlier);
}

TEST_F(LastSelectionTest, DefaultPathThatWouldNotFitIsLeftEmptyAndTheLongStartDirectoryKept)
{
    // A directory deep enough that MODEM.HEX below it needs more than 122
    // characters, and whose own path is longer than 127.
    std::string deep = dir.Path();
    while (deep.size() <= 130)
        deep += "/deeper-directory";
    std::filesystem::create_directories(deep);
    ScopedChdir inDeep(deep);

    LoadLastSelection();
    EXPECT_EQ(FlashSelection.BaudRate, 57600);
    EXPECT_EQ(Path(), "");

    StartDirectory = deep;
    StoreLastSelection();
    EXPECT_EQ(ReadFileBytes(deep + "/lastsel.dat").size(), kSelectionSize);
}

}  // namespace

namespace {

// Files of every length from 0 to 300 bytes, of random bytes: loaded without
// reading outside the record, and never written to by loading.
TEST_F(LastSelectionTest, FilesOfEveryLengthAndRandomBytes)
{
    std::mt19937 random(300);
    for (std::size_t length = 0; length <= 300; ++length) {
        std::string bytes(length, '\0');
        for (char& c : bytes)
            c = static_cast<char>(random());
        WriteFileBytes(dir.File("lastsel.dat"), bytes);
        ResetProgramState();
        DeveloperMode = true;
        LoadLastSelection();
        EXPECT_LE(FieldText(FlashSelection.PortName).size(), 5u);
        EXPECT_LE(FieldText(FlashSelection.HexFilePath).size(), 123u);
        EXPECT_EQ(DeveloperMode, length >= kSelectionSize) << length;
        if (length < kSelectionSize) {
            EXPECT_EQ(FlashSelection.BaudRate, 57600);
        }
        EXPECT_EQ(ReadFileBytes(dir.File("lastsel.dat")), bytes);
    }
}

}  // namespace

namespace {

using namespace std::string_literals;

// Both builds write the same bytes for the same selection: the rate
// little-endian at 0, the port at 4, the path at 9 with the tail of a longer
// earlier path kept behind its terminator.
TEST_F(LastSelectionTest, StoredFileIsTheSameOnEverySystem)
{
    StartDirectory = dir.Path();
    FlashSelection.BaudRate = 115200;
    SetField(FlashSelection.PortName, "COM3");
    SetField(FlashSelection.HexFilePath, "C:\\FIRMWARE\\OLD\\MODEM.HEX");
    SetField(FlashSelection.HexFilePath, "D:\\A.HEX");
    StoreLastSelection();
    const std::string expected = "\x00\xC2\x01\x00"
                                 "COM3\0"
                                 "D:\\A.HEX\0"
                                 "RE\\OLD\\MODEM.HEX\0"s +
                                 std::string(97, '\0');
    ASSERT_EQ(expected.size(), kSelectionSize);
    EXPECT_EQ(ReadFileBytes(dir.File("lastsel.dat")), expected);
}

TEST(PathsTest, JoinPathAddsTheSystemsSeparatorOnce)
{
    struct Case {
        const char* dir;
        const char* onWindows;
        const char* onLinux;
    } cases[] = {
        {"C:\\WORK", "C:\\WORK\\MODEM.HEX", "C:\\WORK/MODEM.HEX"},
        {"C:\\", "C:\\MODEM.HEX", "C:\\/MODEM.HEX"},
        {"D:/FW/", "D:/FW/MODEM.HEX", "D:/FW/MODEM.HEX"},
        {"/home/x", "/home/x\\MODEM.HEX", "/home/x/MODEM.HEX"},
        {"", "MODEM.HEX", "MODEM.HEX"},
    };
    for (const Case& c : cases) {
#ifdef _WIN32
        EXPECT_EQ(JoinPath(c.dir, "MODEM.HEX"), c.onWindows);
#else
        EXPECT_EQ(JoinPath(c.dir, "MODEM.HEX"), c.onLinux);
#endif
    }
}

#ifdef _WIN32
TEST_F(LastSelectionTest, DefaultPathAtADrivesRoot)
{
    ScopedChdir root("C:\\");
    SetDefaultSelection();
    EXPECT_EQ(Path(), "C:\\MODEM.HEX");
}

TEST_F(LastSelectionTest, ReadOnlyRecordStaysAsItWasAndNoTemporaryFileIsLeft)
{
    const std::string earlier = Image(19200, "COM1", "C:\\x.hex");
    const std::string file = dir.File("lastsel.dat");
    WriteFileBytes(file, earlier);
    ASSERT_TRUE(::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_READONLY));
    StartDirectory = dir.Path();
    FlashSelection.BaudRate = 9600;
    StoreLastSelection();
    ::SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(ReadFileBytes(file), earlier);
    EXPECT_EQ(ListDirectory(dir.Path()), std::vector<std::string>{"lastsel.dat"});
}
#endif

}  // namespace
