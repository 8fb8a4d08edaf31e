// The simulated modem's flash model and its Intel HEX reading and writing.

#include "sim/FlashMemory.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

namespace {

using namespace sim;

TEST(ModemSimFlashMemory, ParsesRecordsAndNamesWhatIsWrong)
{
    HexRecord record;
    ASSERT_EQ(ParseHexRecord("10001000101112131415161718191A1B1C1D1E1F68", record), HexParseResult::Ok);
    EXPECT_EQ(record.type, 0);
    EXPECT_EQ(record.address, 0x0010);
    ASSERT_EQ(record.data.size(), 16u);
    EXPECT_EQ(record.data.back(), 0x1F);
    ASSERT_EQ(ParseHexRecord("020000040001f9", record), HexParseResult::Ok);  // lower case digits
    EXPECT_EQ(record.type, 4);

    EXPECT_EQ(ParseHexRecord("020000040001F", record), HexParseResult::NotHex);
    EXPECT_EQ(ParseHexRecord("02000004000GF9", record), HexParseResult::NotHex);
    EXPECT_EQ(ParseHexRecord("020000040001F9 ", record), HexParseResult::NotHex);
    EXPECT_EQ(ParseHexRecord("030000040001F8", record), HexParseResult::BadLength);
    EXPECT_EQ(ParseHexRecord("00000001", record), HexParseResult::BadLength);
    EXPECT_EQ(ParseHexRecord("020000040001F8", record), HexParseResult::BadChecksum);
    EXPECT_EQ(ParseHexRecord("00000006FA", record), HexParseResult::BadType);
    EXPECT_EQ(ParseHexRecord("0100000401FA", record), HexParseResult::BadType);  // address record of 1 byte
}

TEST(ModemSimFlashMemory, FormatsRecordsWithTheirChecksum)
{
    HexRecord record;
    record.type = 0;
    record.address = 0xFFFC;
    record.data = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(FormatHexRecord(record), ":08FFFC000102030405060708D9");
    EXPECT_EQ(FormatHexRecord(HexRecord{1, 0, {}}), ":00000001FF");
}

TEST(ModemSimFlashMemory, ProgrammingClearsBitsOnly)
{
    FlashMemory flash;
    flash.Program(7, 0xF0);
    flash.Program(7, 0xF0);
    EXPECT_EQ(flash.Read(7), 0xF0);
    flash.Program(7, 0x3C);
    EXPECT_EQ(flash.Read(7), 0x30);
    EXPECT_FALSE(flash.Read(8).has_value());
    flash.Erase();
    EXPECT_EQ(flash.WrittenCount(), 0u);
}

TEST(ModemSimFlashMemory, WritesSixteenByteLinesWithLinearAddressRecords)
{
    FlashMemory flash;
    EXPECT_EQ(flash.ToIntelHex(), ":00000001FF\r\n");
    for (std::uint8_t i = 0; i < 8; ++i)
        flash.Program(0x0008 + i, static_cast<std::uint8_t>(i + 1));  // 8 bytes up to a line end
    for (std::uint8_t i = 0; i < 4; ++i)
        flash.Program(0x20000 + i, static_cast<std::uint8_t>(i + 9));  // above 64 KiB
    flash.Program(0x20028, 0x09);                                      // after a gap
    EXPECT_EQ(flash.ToIntelHex(), ":080008000102030405060708CC\r\n"
                                  ":020000040002F8\r\n"
                                  ":04000000090A0B0CD2\r\n"
                                  ":0100280009CE\r\n"
                                  ":00000001FF\r\n");

    // A run across a 16-byte line is split there.
    FlashMemory run;
    for (std::uint8_t i = 0; i < 16; ++i)
        run.Program(0x0008 + i, static_cast<std::uint8_t>(0x20 + i));
    std::string text = run.ToIntelHex();
    EXPECT_EQ(text.substr(0, text.find('\r')), ":080008002021222324252627D4");
}

TEST(ModemSimFlashMemory, LoadsAHexFileWithBothAddressKinds)
{
    FlashMemory flash;
    std::string error;
    ASSERT_TRUE(LoadIntelHex(":020000021000EC\n:020000001122CB\r\n\r\n:020000040002F8\r\n"
                             ":02010000F0AA63\r\n:00000001FF\r\n:garbage after the end\r\n",
                             flash, error))
        << error;
    EXPECT_EQ(flash.Read(0x10000), 0x11);
    EXPECT_EQ(flash.Read(0x20101), 0xAA);
    EXPECT_EQ(flash.WrittenCount(), 4u);

    EXPECT_FALSE(LoadIntelHex(":020000001122CB\n020000001122CB\n", flash, error));
    EXPECT_EQ(error, "line 2 is no valid Intel HEX record");
}

TEST(ModemSimFlashMemory, WritesTheFileWholeAndLeavesNothingElse)
{
    ScopedTempDir dir;
    FlashMemory flash;
    flash.Program(0x0100, 0xF0);
    flash.Program(0x0101, 0xAA);
    std::string path = dir.File("flash.hex");
    WriteFileBytes(path, "old content");
    std::string error;
    ASSERT_TRUE(WriteIntelHexFile(flash, path, error)) << error;
    EXPECT_EQ(ReadFileBytes(path), ":02010000F0AA63\r\n:00000001FF\r\n");
    EXPECT_EQ(ListDirectory(dir.Path()), std::vector<std::string>{"flash.hex"});
    EXPECT_FALSE(WriteIntelHexFile(flash, dir.File("missing/flash.hex"), error));
    EXPECT_FALSE(error.empty());
}

}  // namespace
