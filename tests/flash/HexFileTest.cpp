#include "flash/HexFile.h"

#include "tests/support/HexImage.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>
#include <unistd.h>

namespace {

class HexFileTest : public ::testing::Test {
protected:
    bool Load(const std::string& contents, std::size_t maxData = kMaxImageDataBytes)
    {
        WriteFileBytes(path, contents);
        return LoadHexFile(path, maxData, file, error);
    }
    ScopedTempDir dir;
    std::string path = dir.File("MODEM.HEX");
    HexFile file;
    std::string error;
};

const std::string kData = HexRecordLine(0, 0x0100, {1, 2, 3, 4});  // :0401000001020304F1
const std::string kEnd = ":00000001FF";

TEST_F(HexFileTest, SoundFilesInEveryAcceptedForm)
{
    for (const std::string& text :
         {kData + "\r\n" + kEnd + "\r\n", kData + "\n" + kEnd + "\n", kData + "\r\n" + kEnd,
          kData + "\r\n" + kEnd + "\r\n\r\n\n", kData + "\r\n" + kEnd + "\r\n\x1A", kData + "\r\n" + kEnd + "\x1A"}) {
        ASSERT_TRUE(Load(text)) << error;
        ASSERT_EQ(file.records.size(), 2u);
        EXPECT_EQ(file.records[0].line, kData + "\r\n");  // always CR LF on the wire
        EXPECT_EQ(file.records[1].type, 1);
        EXPECT_EQ(file.wireBytes, kData.size() + kEnd.size() + 4);
    }
}

TEST_F(HexFileTest, BadFilesAreRefusedNamingFileLineAndFault)
{
    std::string longest = HexRecordLine(0, 0, std::vector<std::uint8_t>(57, 0xAA));
    std::string tooLong = HexRecordLine(0, 0, std::vector<std::uint8_t>(58, 0xAA));
    struct Case {
        std::string text;
        std::string expected;
    } cases[] = {
        {"", "it is empty"},
        {std::string("\x7f"
                     "ELF\x02\x01\x01\0\0\0",
                     10),
         "line 1: the record does not start with ':'"},
        {"<!DOCTYPE html>\n<html>\n", "line 1: the record does not start with ':' (it starts with '<')"},
        {kData + "\r\n:040200", "line 2: the record is too short"},
        {kData + "\r\n", "the file ends without the end-of-file record"},
        {":0401000001020304F2\r\n" + kEnd, "line 1: wrong checksum F2 (the record's bytes give F1)"},
        {":0401000001020304F\r\n" + kEnd, "line 1: the record has an odd number of hex digits"},
        {":0501000001020304F0\r\n" + kEnd, "line 1: the byte count says 5 data bytes but the record holds 4"},
        {":04010000010203G4F1\r\n" + kEnd, "line 1: character 16 is 'G', not a hex digit"},
        {"\xEF\xBB\xBF" + kData + "\r\n" + kEnd, "line 1: the file starts with a byte-order mark"},
        {kData + "\r\n" + std::string(":00000001\0FF", 12), "line 2: character 10 is 0x00, not a hex digit"},
        {kData + "\r" + kEnd + "\r", "line 1: a line ends in a lone carriage return"},
        {tooLong + "\r\n" + kEnd, "line 1: the record holds 58 data bytes; the modem takes at most 57"},
        {kData + "\r\n" + kEnd + "\r\n" + kData + "\r\n", "line 3: data follows the end-of-file record"},
        {kData + "\r\n\r\n" + kEnd, "line 2: empty line between records"},
        {":00000006FA\r\n" + kEnd, "line 1: unknown record type 06"},
        {kData + " \r\n" + kEnd, "line 1: character 20 is ' ', not a hex digit"},
    };
    for (const Case& c : cases) {
        EXPECT_FALSE(Load(c.text)) << c.expected;
        EXPECT_EQ(error.rfind("The file " + path + " is not a valid Intel HEX file: ", 0), 0u) << error;
        EXPECT_NE(error.find(c.expected), std::string::npos) << error;
        EXPECT_TRUE(file.records.empty());
    }

    EXPECT_TRUE(Load(longest + "\r\n" + kEnd)) << error;
    // A loader line comes back echoed before its "OK": 52 data bytes fill
    // the 128 bytes of a reply, 53 would overflow it.
    EXPECT_TRUE(Load(HexRecordLine(0, 0, std::vector<std::uint8_t>(52, 1)) + "\r\n" + kEnd, kMaxLoaderDataBytes));
    for (std::size_t count : {53, 54}) {
        EXPECT_FALSE(
            Load(HexRecordLine(0, 0, std::vector<std::uint8_t>(count, 1)) + "\r\n" + kEnd, kMaxLoaderDataBytes));
        EXPECT_NE(error.find("the record holds " + std::to_string(count) + " data bytes; the modem takes at most 52"),
                  std::string::npos)
            << error;
    }
}

TEST_F(HexFileTest, MissingDirectoryAndHugeFiles)
{
    EXPECT_FALSE(LoadHexFile(dir.File("none.hex"), kMaxImageDataBytes, file, error));
    EXPECT_EQ(error, "The file " + dir.File("none.hex") + " could not be opened.");
    EXPECT_FALSE(LoadHexFile(dir.Path(), kMaxImageDataBytes, file, error));

    WriteFileBytes(path, "");
    ASSERT_EQ(::truncate(path.c_str(), static_cast<off_t>(kMaxHexFileBytes + 1)), 0);
    EXPECT_FALSE(LoadHexFile(path, kMaxImageDataBytes, file, error));
    EXPECT_NE(error.find("larger than any modem's firmware"), std::string::npos) << error;
}

}  // namespace
