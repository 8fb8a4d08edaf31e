#include "flash/FlashSession.h"
#include "flash/ModemLink.h"

#include "tests/support/HexImage.h"
#include "tests/support/ModemSim.h"
#include "tests/support/ScriptedModem.h"
#include "tests/support/SerialResults.h"
#include "tests/support/ShortLimits.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

namespace {

// A first record whose characters 65 to 72 (the checksum's low and high
// byte, the type code and the sector size) are the given eight.
std::string FirstRecordWith(const std::string& eight)
{
    std::string line = ":20000000" + std::string(56, '0') + eight + "00\r\n";
    return line;
}

class ReadFileInfoTest : public ::testing::Test {
protected:
    bool Read(const std::string& contents)
    {
        WriteFileBytes(dir.File("image.hex"), contents);
        return link.ReadFileInfo(dir.File("image.hex"), info);
    }
    ScopedTempDir dir;
    ModemLink link;
    ModemInfo info;
};

TEST_F(ReadFileInfoTest, CentralSiteWithSectorSizeAndChecksum)
{
    ASSERT_TRUE(Read(FirstRecordWith("2B1A4340")));
    EXPECT_EQ(info.typeCode, 1);
    EXPECT_EQ(info.typeName, "Central Site");
    EXPECT_EQ(info.sectorSize, 64);
    EXPECT_EQ(info.checksum, 0x1A2B);
    InfoRow row = FormatInfoRow(info, info.sectorSize != 0);
    EXPECT_EQ(row.sectorSize, "64");
    EXPECT_EQ(row.checksum, "1A2BH");
}

TEST_F(ReadFileInfoTest, DigitsAreReadOnTheirCharacterCodes)
{
    ASSERT_TRUE(Read(FirstRecordWith("00003C10")));  // 10*3 + ('C'-'0') = 49
    EXPECT_EQ(info.typeName, "ISA");
    EXPECT_EQ(info.sectorSize, 16);
}

TEST_F(ReadFileInfoTest, ErasedAreaAndShortOrMissingFiles)
{
    ASSERT_TRUE(Read(FirstRecordWith("FFFFFFFF")));
    EXPECT_EQ(info.typeCode, 0);
    EXPECT_EQ(info.typeName, "");
    InfoRow row = FormatInfoRow(info, info.sectorSize != 0);
    EXPECT_EQ(row.sectorSize, "NA");
    EXPECT_EQ(row.checksum, "NA");

    EXPECT_FALSE(Read(FirstRecordWith("2B1A4340").substr(0, 74)));
    EXPECT_FALSE(link.ReadFileInfo(dir.File("missing.hex"), info));
    EXPECT_EQ(info.typeName, "");
}

TEST(ModemInfoTest, CompareInfoFlags)
{
    ModemInfo file{64, 3, 0x1111, "Serial"};
    ModemInfo modem{16, 3, 0x2222, "Serial"};
    EXPECT_EQ(ModemLink::CompareInfo(file, modem), MismatchSectorSize | MismatchChecksum);
    modem.sectorSize = 64;
    EXPECT_EQ(ModemLink::CompareInfo(file, modem), MismatchChecksum);
    file.sectorSize = 0;  // unknown on one side: only the types count
    modem.typeCode = 5;
    EXPECT_EQ(ModemLink::CompareInfo(file, modem), MismatchType);
    modem.typeCode = 3;
    EXPECT_EQ(ModemLink::CompareInfo(file, modem), 0);
}

TEST(ModemInfoTest, DecodeAndParse)
{
    ModemInfo info;
    ModemLink::DecodeModemType('p', 0, info);
    EXPECT_EQ(info.typeCode, 4);
    EXPECT_EQ(info.typeName, "PC Card");
    ModemLink::DecodeModemType('0', 55, info);
    EXPECT_EQ(info.typeName, "USB");
    ModemLink::DecodeModemType('X', 0, info);
    EXPECT_EQ(info.typeCode, 0);
    EXPECT_EQ(info.typeName, "an unknown");

    EXPECT_EQ(ModemLink::ParseHex4("1A2B"), 0x1A2B);
    EXPECT_EQ(ModemLink::ParseHex4("ffff"), 0xFFFF);
    EXPECT_EQ(ModemLink::ParseHex4("000G"), 'G');  // not a digit: its own code
    EXPECT_EQ(ModemLink::ParseHex4("1"), 0x1000);  // missing characters count as zero
}

TEST(ReportTextTest, TimeReport)
{
    EXPECT_EQ(FormatElapsed(45000), "Done in 45 second(s).");
    EXPECT_EQ(FormatElapsed(59900), "Done in 59 second(s).");
    EXPECT_EQ(FormatElapsed(60000), "Done in 1 minute(s) and 0 second(s).");
    EXPECT_EQ(FormatElapsed(120000), "Done in 2 minute(s) and 0 second(s).");
    EXPECT_EQ(FormatElapsed(200000), "Done in 3 minute(s) and 20 second(s).");
}

TEST(ReportTextTest, IncompatibilityText)
{
    EXPECT_EQ(IncompatibilityText(MismatchType), "The modem and the loader are incompatable in their types. ");
    EXPECT_EQ(IncompatibilityText(MismatchSectorSize | MismatchChecksum),
              "The modem and the loader are incompatable in their sector sizes, checksums. ");
    EXPECT_EQ(IncompatibilityText(MismatchSectorSize | MismatchType | MismatchChecksum),
              "The modem and the loader are incompatable in their sector sizes, types, checksums. ");
}

// IdentifyModem against the simulated modem's answers, with limits short
// enough that an unanswered command costs a fraction of a second.
class IdentifyModemTest : public ::testing::Test {
protected:
    LoadPlan Identify(const std::vector<std::string>& args)
    {
        EXPECT_TRUE(sim.Start(args));
        LineSettings settings;
        settings.BaudRate = 115200;
        EXPECT_EQ(link.OpenPort(sim.DevicePath(), settings, port), OpenStatus::Ok);
        LoadPlan plan = link.IdentifyModem(port, info);
        link.ClosePort(port);
        return plan;
    }
    ModemSimProcess sim;
    ModemLink link{ShortLimits()};
    PortHandle port = kInvalidPort;
    ModemInfo info;
};

TEST_F(IdentifyModemTest, ResidentLoaderReportedInTheIdentification)
{
    EXPECT_EQ(Identify({"--type", "U", "--sector", "16", "--checksum", "1A2B"}), LoadNormal);
    EXPECT_EQ(info.typeName, "USB");
    EXPECT_EQ(info.sectorSize, 16);
    EXPECT_EQ(info.checksum, 0x1A2B);
}

TEST_F(IdentifyModemTest, ResidentLoaderAnsweringItsOwnCommand)
{
    EXPECT_EQ(Identify({"--type", "c", "--no-rrfl", "--checksum", "BEEF"}), LoadNormal);
    EXPECT_EQ(info.typeName, "Central Site");
    EXPECT_EQ(info.sectorSize, 64);
    EXPECT_EQ(info.checksum, 0xBEEF);
}

TEST_F(IdentifyModemTest, NoResidentLoaderMeansACompleteLoad)
{
    EXPECT_EQ(Identify({"--no-rrfl", "--no-ffl"}), LoadComplete);
    EXPECT_EQ(info.typeName, "Serial");
    EXPECT_EQ(info.sectorSize, 0);
    EXPECT_EQ(FormatInfoRow(info, false).checksum, "NA");
}

TEST_F(IdentifyModemTest, SilentPortIsNoModem) { EXPECT_EQ(Identify({"--silent"}), NoModem); }

}  // namespace

namespace {

// The identification runs the handshake the scan runs, up to its own type
// query: "ATI5" in place of "ATI", which it never sends; "AT&&FFL" only
// when the answer names no resident loader.
TEST(IdentifyHandshakeTest, SendsTheScansHandshakeWithTheTypeQueryInPlaceOfATI)
{
    struct Case {
        const char* typeAnswer;
        LoadPlan plan;
        std::string sent;
    } cases[] = {
        {"\r\nS-56K RRFL,40,1A2B,00\r\n", LoadNormal, "AAAAT\rAT\rAT&&F\rATE1\rATI5\r"},
        {"\r\nS-56K\r\n", LoadComplete, "AAAAT\rAT\rAT&&F\rATE1\rATI5\rAT&&FFL\r"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typeAnswer);
        auto answers = FullModem("unused");
        answers.erase("ATI\r");
        answers["ATI5\r"] = std::string(c.typeAnswer) + kOk;
        ScriptedModem modem(answers);
        ModemLink link(ShortLimits());
        LineSettings settings;
        settings.BaudRate = 57600;
        PortHandle port = kInvalidPort;
        ASSERT_EQ(link.OpenPort(modem.Path(), settings, port), OpenStatus::Ok);
        ModemInfo info;
        EXPECT_EQ(link.IdentifyModem(port, info), c.plan);
        link.ClosePort(port);
        EXPECT_EQ(info.typeName, "Serial");
        EXPECT_EQ(modem.Received(), c.sent);
    }
}

// What the run says about an acknowledgement that did not accept a line, on
// the line's own limits: the system's fixed texts.
TEST(AckWordsTest, EachExchangeSaysItInItsOwnWords)
{
    using K = LineAck::Kind;
    using E = AckExchange;
    const modem_protocol::LineTimeLimits real;
    struct Case {
        K kind;
        int code;
        E exchange;
        std::chrono::milliseconds limit;
        std::string words;
    } cases[] = {
        {K::Refused, 4, E::StartCommand, real.start, "The modem refused AT&&FGO (NOK4)."},
        {K::Refused, 0, E::StartCommand, real.start, "The modem refused AT&&FGO (NOK)."},
        {K::TooLong, 0, E::StartCommand, real.start, "The modem's answer to AT&&FGO was longer than 128 bytes."},
        {K::Stopped, 0, E::StartCommand, real.start,
         "Stopped at your request while the modem started its loader; its flash may already be erased: restart "
         "the modem, then flash it again before using it."},
        {K::PortGone, 0, E::StartCommand, real.start,
         "The port went away while the modem started its loader: is the modem still connected?"},
        {K::WriteFailed, 0, E::StartCommand, real.start, "AT&&FGO could not be written to the port."},
        {K::TimedOut, 0, E::StartCommand, real.start, "The modem did not answer AT&&FGO with OK within 2 seconds."},
        {K::Refused, 2, E::LoaderLine, real.line, "was refused by the modem"},
        {K::TooLong, 0, E::LoaderLine, real.line, "got an answer longer than 128 bytes"},
        {K::TimedOut, 0, E::LoaderLine, real.line, "was not acknowledged, also when sent again"},
        {K::Refused, 3, E::ImageLine, real.line, "was refused by the modem (NOK3)"},
        {K::TooLong, 0, E::ImageLine, real.erase, "got an answer longer than 128 bytes"},
        {K::TimedOut, 0, E::ImageLine, real.line, "was not acknowledged within 2 seconds"},
        {K::TimedOut, 0, E::ImageLine, real.erase, "was not acknowledged within 180 seconds"},
        {K::TooLong, 0, E::Settling, real.line, "got an answer longer than 128 bytes"},
        {K::Stopped, 0, E::Settling, real.line, "was stopped at your request"},
        {K::PortGone, 0, E::Settling, real.restart, "lost the port: is the modem still connected?"},
        {K::WriteFailed, 0, E::Settling, real.restart, "could not be written to the port"},
        {K::TimedOut, 0, E::Settling, real.restart, "got no answer within 180 seconds"},
        // A limit of no whole seconds, as only a test gives, in milliseconds.
        {K::TimedOut, 0, E::Settling, std::chrono::milliseconds(250), "got no answer within 250 milliseconds"},
    };
    for (const Case& c : cases) {
        LineAck ack;
        ack.kind = c.kind;
        ack.code = c.code;
        EXPECT_EQ(AckWords(ack, c.exchange, c.limit), c.words);
    }
}

}  // namespace
