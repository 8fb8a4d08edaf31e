#include "app/CommandLine.h"

#include "app/AppState.h"
#include "app/LastSelection.h"
#include "base/Text.h"
#include "base/Version.h"
#include "tests/support/AppFixture.h"

#include <gtest/gtest.h>

namespace {

class CommandLineTest : public AppFixture {};

std::string Port() { return std::string(FieldText(FlashSelection.PortName)); }
std::string Path() { return std::string(FieldText(FlashSelection.HexFilePath)); }

TEST_F(CommandLineTest, DevAnywhereInAnyCaseSelectsDeveloperModeAndIgnoresTheRest)
{
    for (const char* line : {"dev", "Dev", "/DEV", "-developer", "COM1 57600 C:\\Devices\\MODEM.HEX"}) {
        ResetProgramState();
        CommandLineOutcome outcome = ClassifyCommandLine(line);
        EXPECT_EQ(outcome.mode, RunMode::Developer) << line;
        EXPECT_TRUE(DeveloperMode) << line;
        EXPECT_TRUE(UseLastSelection) << line;
        EXPECT_EQ(Port(), "") << line;
        EXPECT_EQ(FlashSelection.BaudRate, 0) << line;
    }
}

TEST_F(CommandLineTest, EmptyLineIsAPlainStart)
{
    CommandLineOutcome outcome = ClassifyCommandLine("");
    EXPECT_EQ(outcome.mode, RunMode::Plain);
    EXPECT_FALSE(DeveloperMode);
    EXPECT_TRUE(UseLastSelection);
    EXPECT_TRUE(outcome.refusal.empty());
}

TEST_F(CommandLineTest, ThreeTokensFillTheSelection)
{
    CommandLineOutcome outcome = ClassifyCommandLine("COM2 115200 C:\\FW\\MODEM.HEX");
    EXPECT_EQ(outcome.mode, RunMode::PreSelected);
    EXPECT_FALSE(UseLastSelection);
    EXPECT_FALSE(DeveloperMode);
    EXPECT_EQ(Port(), "COM2");
    EXPECT_EQ(FlashSelection.BaudRate, 115200);
    EXPECT_EQ(Path(), "C:\\FW\\MODEM.HEX");
}

TEST_F(CommandLineTest, CommasTabsAndRunsOfSeparatorsSplitTokensAndCaseIsKept)
{
    ClassifyCommandLine("com3,,38400,\tfw.hex\nignored extra");
    EXPECT_EQ(Port(), "com3");
    EXPECT_EQ(FlashSelection.BaudRate, 38400);
    EXPECT_EQ(Path(), "fw.hex");
}

TEST_F(CommandLineTest, BaudRateTable)
{
    struct Case {
        const char* token;
        int rate;
    } cases[] = {{"9600", 9600},
                 {"19200", 19200},
                 {"38400", 38400},
                 {"57600", 57600},
                 {"115200", 115200},
                 {"230400", 256000},
                 {"256000", 0},
                 {"14400", 0},
                 {"fast", 0},
                 {"57600bps", 57600},
                 {"+57600", 57600},
                 {"-9600", 0},
                 {"99999999999999999999", 0}};
    for (const Case& c : cases) {
        ResetProgramState();
        ClassifyCommandLine(std::string("COM1 ") + c.token + " x.hex");
        EXPECT_EQ(FlashSelection.BaudRate, c.rate) << c.token;
    }
}

TEST_F(CommandLineTest, FewerTokensTakeTheDefaultsForTheRest)
{
    ClassifyCommandLine("COM4");
    EXPECT_EQ(Port(), "COM4");
    EXPECT_EQ(FlashSelection.BaudRate, 57600);
    EXPECT_EQ(Path(), dir.File("MODEM.HEX"));

    ResetProgramState();
    ClassifyCommandLine("COM5 19200");
    EXPECT_EQ(Port(), "COM5");
    EXPECT_EQ(FlashSelection.BaudRate, 19200);
    EXPECT_EQ(Path(), dir.File("MODEM.HEX"));
}

TEST_F(CommandLineTest, OverlongTokensAreRefusedByNameAndTheStartIsPlain)
{
    CommandLineOutcome outcome = ClassifyCommandLine("COM12 57600 x.hex");
    EXPECT_EQ(outcome.mode, RunMode::Plain);
    EXPECT_TRUE(UseLastSelection);
    EXPECT_NE(outcome.refusal.find("\"COM12\""), std::string::npos) << outcome.refusal;
    EXPECT_NE(outcome.refusal.find("4 characters"), std::string::npos) << outcome.refusal;
    EXPECT_EQ(Port(), "");

    std::string longest(kMaxHexFilePathLength, 'a');
    ResetProgramState();
    outcome = ClassifyCommandLine("COM1 57600 " + longest);
    EXPECT_TRUE(outcome.refusal.empty());
    EXPECT_EQ(Path(), longest);

    ResetProgramState();
    outcome = ClassifyCommandLine("COM1 57600 " + longest + "b");
    EXPECT_EQ(outcome.mode, RunMode::Plain);
    EXPECT_NE(outcome.refusal.find(longest + "b"), std::string::npos);
    EXPECT_NE(outcome.refusal.find("122 characters"), std::string::npos);
    EXPECT_EQ(Path(), "");
}

TEST(ArgumentTextTest, JoinsArgumentsBySingleBlanksWithoutLeadingBlanksOrControls)
{
    const char* argv[] = {"flashloader", "\t COM1", "57600", "a,b"};
    EXPECT_EQ(ArgumentText(4, argv), "COM1 57600 a,b");
    const char* none[] = {"flashloader"};
    EXPECT_EQ(ArgumentText(1, none), "");
    const char* blanks[] = {"flashloader", "", "\x01"};
    EXPECT_EQ(ArgumentText(3, blanks), "");
}

// A Windows command line comes whole: the program's name goes as Windows
// reads it, and the rest stays as typed (quotes and runs of blanks too).
TEST(CommandTailTest, SkipsTheProgramNameAsWindowsReadsIt)
{
    const struct {
        const char* line;
        const char* tail;
    } cases[] = {
        {"flashloader.exe COM2 115200 C:\\FW\\MODEM.HEX", "COM2 115200 C:\\FW\\MODEM.HEX"},
        {"\"C:\\Program Files\\fl\\flashloader.exe\"  dev", "dev"},
        {"\"C:\\a b\\flashloader.exe\"COM1", "COM1"},
        {"flashloader.exe\tCOM3,,38400, \"my file.hex\"", "COM3,,38400, \"my file.hex\""},
        {"flashloader.exe", ""},
        {"\"unclosed name COM1", ""},
        {"", ""},
        {"flashloader.exe \t\x01 ", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(CommandTail(c.line), c.tail) << c.line;
}

}  // namespace

namespace {

TEST_F(CommandLineTest, HugeTokensAreRefusedWhole)
{
    std::string huge(100000, 'x');
    CommandLineOutcome outcome = ClassifyCommandLine(huge + " " + huge + " " + huge);
    EXPECT_EQ(outcome.mode, RunMode::Plain);
    EXPECT_NE(outcome.refusal.find("longer than 4 characters"), std::string::npos);
    EXPECT_EQ(Port(), "");
}

}  // namespace

// Only the token alone asks for it; with anything else on the line it is a
// port name like any other (and refused as too long).
TEST(StartRequestTest, OnlyASoleTokenAsksForVersionHelpOrTheMenuStart)
{
    const struct {
        const char* line;
        StartRequest request;
    } cases[] = {
        {"--version", StartRequest::Version},
        {"  --version\t", StartRequest::Version},
        {"--help", StartRequest::Help},
        {"--from-menu", StartRequest::FromMenu},
        {"", StartRequest::Run},
        {"--VERSION", StartRequest::Run},
        {"-h", StartRequest::Run},
        {"--help COM1", StartRequest::Run},
        {"COM1 57600 --version", StartRequest::Run},
        {"--version --help", StartRequest::Run},
        {"--from-menu DEV", StartRequest::Run},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ClassifyStartRequest(c.line), c.request) << '"' << c.line << '"';
}

TEST(StartRequestTest, TheVersionTextNamesTheBuildsVersion)
{
    EXPECT_EQ(WizardVersionText(), std::string("flashloader ") + ProgramVersion() + "\n");
    EXPECT_NE(WizardHelpText().find("--version"), std::string::npos);
}
