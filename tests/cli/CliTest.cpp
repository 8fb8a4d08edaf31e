#include "tests/support/Process.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

namespace {

const std::string kCli = BuiltProgram("flashloader-cli");

TEST(CliTest, AboutPrintsTheProductTextsOrSaysWhatIsMissing)
{
    ScopedTempDir dir;
    ProcessResult missing = RunProcess(kCli, {"about"}, dir.Path());
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("Couldn't open file tarnix.ini"), std::string::npos) << missing.err;

    WriteFileBytes(dir.File("tarnix.ini"), "[AboutBox]\nCompanyName=Kestrolan\n");
    ProcessResult about = RunProcess(kCli, {"about"}, dir.Path());
    EXPECT_EQ(about.exitCode, 0);
    EXPECT_EQ(about.out, "Flash Loader 5.x.x\nKestrolan\n<none>\n");
}

TEST(CliTest, SelectionPrintsWhatAPlainStartBeginsWith)
{
    ScopedTempDir dir;
    ProcessResult result = RunProcess(kCli, {"selection"}, dir.Path());
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_NE(result.out.find("Baud Rate:    57600\n"), std::string::npos) << result.out;
    EXPECT_NE(result.out.find("Loading File: " + dir.File("MODEM.HEX") + "\n"), std::string::npos);
    EXPECT_FALSE(FileExists(dir.File("lastsel.dat")));
}

TEST(CliTest, UsageErrorsExitWithTwo)
{
    EXPECT_EQ(RunProcess(kCli, {}).exitCode, 2);
    EXPECT_EQ(RunProcess(kCli, {"no-such-command"}).exitCode, 2);
    EXPECT_EQ(RunProcess(kCli, {"--help"}).exitCode, 0);
}

} // namespace
