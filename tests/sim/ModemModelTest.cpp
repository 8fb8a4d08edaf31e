// The simulated modem's dialogue, byte for byte, on made-up times.

#include "sim/ModemModel.h"

#include <gtest/gtest.h>

using std::chrono::milliseconds;

namespace {

// Hex records used below (checksums worked out by hand).
const char* const kData0 = ":10000000000102030405060708090A0B0C0D0E0F78";  // 00..0F at 0x0000
const char* const kData1 = ":10001000101112131415161718191A1B1C1D1E1F68";  // 10..1F at 0x0010
const char* const kDataF0 = ":02010000F0AA63";                             // F0 AA at 0x0100
const char* const kData0F = ":020100000FAA44";                             // 0F AA at 0x0100
const char* const kLinear1 = ":020000040001F9";                            // base 0x10000
const char* const kSegment1000 = ":020000021000EC";                        // base 0x10000
const char* const kSmall = ":020000001122CB";                              // 11 22 at 0x0000
const char* const kEnd = ":00000001FF";

class ModemModelTest : public ::testing::Test {
protected:
    // Feeds bytes at time t and returns everything the modem queued in reply.
    std::string Send(std::string_view bytes, SimTime at = SimTime{})
    {
        model().Feed(bytes, at);
        std::string all;
        for (const ScheduledOutput& out : model().TakeOutput())
            all += out.bytes;
        return all;
    }
    std::string Line(const std::string& record) { return Send(record + "\r\n"); }

    void EnterLoader() { ASSERT_EQ(Send("AT&&FGO\r"), "AT&&FGO\r\r\nFLASH LOADER Ver:4.4\r\nOK\r\n"); }

    ModemModel& model()
    {
        if (!m_model)
            m_model = std::make_unique<ModemModel>(config);
        return *m_model;
    }

    ModemConfig config;

private:
    std::unique_ptr<ModemModel> m_model;
};

TEST_F(ModemModelTest, HandshakeWithEchoRepliesByteExact)
{
    EXPECT_EQ(Send("AT\r"), "AT\r\r\nOK\r\n");
    EXPECT_EQ(Send("ATI\r"), "ATI\r\r\nKT-56 V.92 Data/Fax Modem\r\n\r\nOK\r\n");
    EXPECT_EQ(Send("ATI5\r"), "ATI5\r\r\nS-56K RRFL,40,1A2B,00\r\n\r\nOK\r\n");
    EXPECT_EQ(Send("AT&&FFL\r"), "AT&&FFL\r\r\n1A2B,40,\r\n\r\nOK\r\n");
    EXPECT_EQ(Send("AT&&F\r"), "AT&&F\r\r\nOK\r\n");
    EXPECT_EQ(Send("ATX\r"), "ATX\r\r\nERROR\r\n");
    EXPECT_EQ(Send("hello\r"), "hello\r");  // echoed, but no command in it
}

TEST_F(ModemModelTest, EchoOffCaseAndLineFraming)
{
    EXPECT_EQ(Send("ate0\r"), "ate0\r\r\nOK\r\n");  // the command's own line still echoes
    EXPECT_EQ(Send("\nAAAAT\r"), "\r\nOK\r\n");
    EXPECT_EQ(Send("at&&f\r"), "\r\nOK\r\n");
    EXPECT_FALSE(model().EchoOn());
    EXPECT_EQ(Send("A"), "");
    EXPECT_EQ(Send("TI"), "");
    EXPECT_EQ(Send("\r"), "\r\nKT-56 V.92 Data/Fax Modem\r\n\r\nOK\r\n");
    EXPECT_EQ(Send("noise\r"), "");
    EXPECT_EQ(Send("ATE1\r"), "\r\nOK\r\n");
    EXPECT_EQ(Send("\n\nAT\r"), "AT\r\r\nOK\r\n");
    // Too long to be a command: dropped whole, and the next line is fine.
    EXPECT_EQ(Send("AT" + std::string(600, 'X') + "\r"), "");
    EXPECT_EQ(Send("AT\r"), "AT\r\r\nOK\r\n");
}

TEST_F(ModemModelTest, IdentificationFollowsConfiguration)
{
    config.typeLetter = 'c';
    config.sectorKb = 16;
    config.loaderChecksum = 0xBEEF;
    config.ident = "Other Modem";
    EXPECT_EQ(Send("ATE0\r"), "ATE0\r\r\nOK\r\n");
    EXPECT_EQ(Send("ATI5\r"), "\r\nC-56K RRFL,10,BEEF,00\r\n\r\nOK\r\n");
    EXPECT_EQ(Send("ATI\r"), "\r\nOther Modem\r\n\r\nOK\r\n");
    EXPECT_EQ(Send("AT&&FFL\r"), "\r\nBEEF,10,\r\n\r\nOK\r\n");
}

TEST_F(ModemModelTest, IdentificationWithoutSectorOrResidentLoader)
{
    config.sectorKb = 0;
    EXPECT_EQ(Send("ATE0\r"), "ATE0\r\r\nOK\r\n");
    EXPECT_EQ(Send("ATI5\r"), "\r\nS-56K RRFL\r\n\r\nOK\r\n");
    EXPECT_EQ(Send("AT&&FFL\r"), "\r\nFL\r\n\r\nOK\r\n");

    ModemConfig old;
    old.rrfl = false;
    old.fflAnswers = false;
    ModemModel oldModem(old);
    oldModem.Feed("ATI5\rAT&&FFL\r", SimTime{});
    std::string replies;
    for (const ScheduledOutput& out : oldModem.TakeOutput())
        replies += out.bytes;
    EXPECT_EQ(replies, "ATI5\r\r\nS-56K 5.2.1\r\n\r\nOK\r\nAT&&FFL\r\r\nERROR\r\n");
}

TEST_F(ModemModelTest, NoAnswerLineIsEchoedButIgnored)
{
    config.noAnswer = {"AAAAT", "ATE0"};
    EXPECT_EQ(Send("aaaat\r"), "aaaat\r");
    EXPECT_EQ(Send("ATE0\r"), "ATE0\r");
    EXPECT_TRUE(model().EchoOn());
    EXPECT_EQ(Send("AT\r"), "AT\r\r\nOK\r\n");
}

TEST_F(ModemModelTest, LoaderFileIsTakenWithoutEchoAndStartsTheLoader)
{
    EXPECT_EQ(Send(std::string("at&&f") + kData0 + "\r"), "\r\nOK\r\n");
    EXPECT_EQ(Send("\nAT&&F:0201000F0AA63\r"), "\r\nERROR\r\n");   // odd digit count
    EXPECT_EQ(Send("\nAT&&F:02010000F0AA64\r"), "\r\nERROR\r\n");  // checksum
    EXPECT_EQ(Send("\nAT&&F:03010000F0AA63\r"), "\r\nERROR\r\n");  // length
    EXPECT_FALSE(model().InLoaderMode());
    EXPECT_EQ(Send(std::string("\nat&&f") + kEnd + "\r"), "\r\nFLASH LOADER Ver:4.4\r\nOK\r\n");
    EXPECT_TRUE(model().InLoaderMode());
    EXPECT_EQ(model().LoaderRecordsTaken(), 2);
    // The LF of the last loader line is an empty image line: ignored.
    EXPECT_EQ(Send("\n"), "");
    EXPECT_EQ(Line(kSmall), "OK\r\n");
}

TEST_F(ModemModelTest, LoaderBannerVersion)
{
    config.loaderVersion = "4.3";
    EXPECT_EQ(Send("AT&&FGO\r"), "AT&&FGO\r\r\nFLASH LOADER Ver:4.3\r\nOK\r\n");
    ModemConfig none;
    none.loaderVersion.clear();
    ModemModel bare(none);
    bare.Feed("AT&&FGO\rZ", SimTime{});
    std::vector<ScheduledOutput> out = bare.TakeOutput();
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[1].bytes, "\r\nOK\r\n");
    EXPECT_EQ(out[2].bytes, "\r\nOK\r\n");  // restart: no banner either
}

TEST_F(ModemModelTest, ImageSessionProgramsFlashAndReturnsToCommandMode)
{
    model().Flash().Program(0x5000, 0x42);  // old content: erased on entry
    EnterLoader();
    EXPECT_EQ(model().Flash().WrittenCount(), 0u);
    EXPECT_EQ(Line(kData0), "OK\r\n");
    EXPECT_EQ(Line(kLinear1), "OK\r\n");
    EXPECT_EQ(Line(kData1), "OK\r\n");
    EXPECT_EQ(Line(kSegment1000), "OK\r\n");
    EXPECT_EQ(Line(kSmall), "OK\r\n");
    EXPECT_EQ(Line(":0400000305000000F4"), "OK\r\n");  // start address: ignored
    EXPECT_FALSE(model().TakeImageComplete());
    EXPECT_EQ(Line(kEnd), "OK\r\n");
    EXPECT_TRUE(model().TakeImageComplete());
    EXPECT_FALSE(model().TakeImageComplete());
    EXPECT_FALSE(model().InLoaderMode());

    const sim::FlashMemory& flash = model().Flash();
    EXPECT_EQ(flash.WrittenCount(), 34u);
    EXPECT_EQ(flash.Read(0x0000), 0x00);
    EXPECT_EQ(flash.Read(0x000F), 0x0F);
    EXPECT_EQ(flash.Read(0x10010), 0x10);
    EXPECT_EQ(flash.Read(0x1001F), 0x1F);
    // Segment base 0x1000 * 16 is 0x10000 as well.
    EXPECT_EQ(flash.Read(0x10000), 0x11);
    EXPECT_EQ(flash.Read(0x10001), 0x22);
    EXPECT_FALSE(flash.Read(0x5000).has_value());
    EXPECT_EQ(Send("AT\r"), "AT\r\r\nOK\r\n");  // echo on again
}

TEST_F(ModemModelTest, ReprogrammingAndsOldAndNewValues)
{
    EnterLoader();
    EXPECT_EQ(Line(kDataF0), "OK\r\n");
    EXPECT_EQ(Line(kDataF0), "OK\r\n");  // same data again: harmless
    EXPECT_EQ(model().Flash().Read(0x100), 0xF0);
    EXPECT_EQ(Line(kData0F), "OK\r\n");  // different data: F0 & 0F
    EXPECT_EQ(model().Flash().Read(0x100), 0x00);
    EXPECT_EQ(model().Flash().Read(0x101), 0xAA);
}

TEST_F(ModemModelTest, BadImageLinesAreRefusedWithTheirCodes)
{
    EnterLoader();
    EXPECT_EQ(Line("hello"), "NOK\r\nNOK2\r\n");
    EXPECT_EQ(Line(":02010000F0AA64"), "NOK\r\nNOK3\r\n");  // checksum
    EXPECT_EQ(Line(":03010000F0AA62"), "NOK\r\nNOK3\r\n");  // count says 3, 2 there
    EXPECT_EQ(Line(":0201000xF0AA63"), "NOK\r\nNOK3\r\n");  // not hex
    EXPECT_EQ(Line(":00000006FA"), "NOK\r\nNOK3\r\n");      // no such record type
    EXPECT_EQ(Send("\r\n\r\n"), "");                        // empty lines
    EXPECT_EQ(model().Flash().WrittenCount(), 0u);
    EXPECT_EQ(Line(kSmall), "OK\r\n");  // codes 2 and 3 need no restart
}

TEST_F(ModemModelTest, RefusalCodeFirstOrder)
{
    config.nokCodeFirst = true;
    EnterLoader();
    EXPECT_EQ(Line("hello"), "NOK2\r\nNOK\r\n");
}

TEST_F(ModemModelTest, NokFourRefusesEverythingUntilRestart)
{
    config.nokAt = {{1, 4}};
    EnterLoader();
    EXPECT_EQ(Line(kData0), "OK\r\n");
    EXPECT_EQ(Line(kData1), "NOK\r\nNOK4\r\n");
    EXPECT_EQ(Line(kDataF0), "NOK\r\nNOK4\r\n");
    EXPECT_EQ(Line("hello"), "NOK\r\nNOK4\r\n");
    EXPECT_FALSE(model().Flash().Read(0x100).has_value());

    SimTime t{milliseconds(1000)};
    model().Feed("Z", t);
    std::vector<ScheduledOutput> restart = model().TakeOutput();
    ASSERT_EQ(restart.size(), 1u);
    EXPECT_EQ(restart[0].bytes, "\r\nFLASH LOADER Ver:4.4\r\nOK\r\n");
    EXPECT_EQ(restart[0].notBefore, t + milliseconds(200));

    // Flash kept; the line refused once goes through now.
    EXPECT_EQ(model().Flash().Read(0x000F), 0x0F);
    EXPECT_EQ(Line(kData0), "OK\r\n");
    EXPECT_EQ(Line(kData1), "OK\r\n");
    EXPECT_EQ(model().Flash().Read(0x001F), 0x1F);
    EXPECT_TRUE(model().InLoaderMode());
}

TEST_F(ModemModelTest, NokOneNeedsRestartButRefusalWithoutCodeDoesNot)
{
    config.nokAt = {{0, 0}, {2, 1}};
    EnterLoader();
    EXPECT_EQ(Line(kData0), "NOK\r\n");
    EXPECT_EQ(Line(kData0), "OK\r\n");  // resent: same index, fault already spent
    EXPECT_EQ(Line(kData1), "OK\r\n");
    EXPECT_EQ(Line(kSmall), "NOK\r\nNOK1\r\n");
    EXPECT_EQ(Line(kSmall), "NOK\r\nNOK1\r\n");
    EXPECT_EQ(Send("Z"), "\r\nFLASH LOADER Ver:4.4\r\nOK\r\n");
    EXPECT_EQ(Line(kSmall), "OK\r\n");
}

TEST_F(ModemModelTest, ResentLineKeepsItsIndex)
{
    config.dropAckAt = {1};
    config.nokAt = {{2, 3}};
    EnterLoader();
    EXPECT_EQ(Line(kData0), "OK\r\n");
    EXPECT_EQ(Line(kData1), "");  // programmed, acknowledgement lost
    EXPECT_EQ(model().Flash().Read(0x0010), 0x10);
    EXPECT_EQ(Line(kData1), "OK\r\n");            // the resend is still line 1
    EXPECT_EQ(Line(kDataF0), "NOK\r\nNOK3\r\n");  // so this is line 2
    EXPECT_EQ(Line(kDataF0), "OK\r\n");
    EXPECT_EQ(model().ImageRecordsTaken(), 3);
}

TEST_F(ModemModelTest, LoaderLineFaults)
{
    config.dropLoaderAckAt = {1};
    config.delayLoaderAt = {{0, milliseconds(700)}};
    SimTime t{milliseconds(50)};
    model().Feed(std::string("AT&&F") + kData0 + "\r", t);
    std::vector<ScheduledOutput> out = model().TakeOutput();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0], (ScheduledOutput{t + milliseconds(700), "\r\nOK\r\n"}));
    // Resent: same index, its delay is spent.
    model().Feed(std::string("\nAT&&F") + kData0 + "\r", t);
    out = model().TakeOutput();
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0].notBefore, t);
    // The end record is taken without a reply, and the loader starts.
    EXPECT_EQ(Send(std::string("\nAT&&F") + kEnd + "\r"), "");
    EXPECT_TRUE(model().InLoaderMode());
    EXPECT_EQ(Send("\n"), "");
    EXPECT_EQ(Line(kSmall), "OK\r\n");
}

TEST_F(ModemModelTest, DelayedAcknowledgements)
{
    config.slowFirstLine = milliseconds(1500);
    config.delayAckAt = {{1, milliseconds(300)}};
    EnterLoader();
    SimTime t{milliseconds(10)};
    model().Feed(std::string(kData0) + "\r\n" + kData1 + "\r\n" + kSmall + "\r\n", t);
    std::vector<ScheduledOutput> out = model().TakeOutput();
    ASSERT_EQ(out.size(), 3u);
    EXPECT_EQ(out[0], (ScheduledOutput{t + milliseconds(1500), "OK\r\n"}));
    EXPECT_EQ(out[1], (ScheduledOutput{t + milliseconds(300), "OK\r\n"}));
    EXPECT_EQ(out[2], (ScheduledOutput{t, "OK\r\n"}));
}

TEST_F(ModemModelTest, PacedLinesCompleteAtLineSpeed)
{
    config.paceBaud = 1000;  // 10 ms a character
    SimTime t{milliseconds(100)};
    model().Feed("AT\rAT\r", t);
    std::vector<ScheduledOutput> out = model().TakeOutput();
    ASSERT_EQ(out.size(), 4u);
    EXPECT_EQ(out[0].notBefore, t + milliseconds(30));
    EXPECT_EQ(out[1].notBefore, t + milliseconds(30));
    EXPECT_EQ(out[2].notBefore, t + milliseconds(60));  // queued behind the first line
    // A line starting after a pause counts from its own first byte.
    model().Feed("AT\r", t + milliseconds(500));
    out = model().TakeOutput();
    ASSERT_FALSE(out.empty());
    EXPECT_EQ(out[0].notBefore, t + milliseconds(530));
}

TEST_F(ModemModelTest, RandomFaultsAreRepeatableForASeed)
{
    config.nokRate[3] = 0.3;
    config.dropAckRate = 0.3;
    config.seed = 7;
    auto run = [&](const ModemConfig& c) {
        ModemModel modem(c);
        modem.Feed("AT&&FGO\r", SimTime{});
        modem.TakeOutput();
        std::string replies;
        for (int i = 0; i < 40; ++i) {
            modem.Feed(std::string(kData0) + "\r\n", SimTime{});
            std::vector<ScheduledOutput> out = modem.TakeOutput();
            replies += out.empty() ? '-' : (out[0].bytes == "OK\r\n" ? 'o' : 'n');
        }
        return replies;
    };
    std::string first = run(config);
    EXPECT_EQ(first, run(config));
    EXPECT_NE(first.find('o'), std::string::npos);
    EXPECT_NE(first.find('n'), std::string::npos);
    EXPECT_NE(first.find('-'), std::string::npos);
    ModemConfig other = config;
    other.seed = 8;
    EXPECT_NE(first, run(other));
}

TEST_F(ModemModelTest, SilentModemAnswersNothing)
{
    config.silent = true;
    EXPECT_EQ(Send("AT\rATI\rAT&&FGO\r"), "");
    EXPECT_FALSE(model().InLoaderMode());
}

}  // namespace
