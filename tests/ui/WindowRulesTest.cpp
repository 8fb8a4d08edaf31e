// The windows' rules below the toolkit, on the port table and the selection
// as the windows leave them: the same tables on Linux and on Windows.

#include "app/CommandLine.h"
#include "app/LastSelection.h"
#include "base/Text.h"
#include "flash/ModemInfo.h"
#include "ports/PortTable.h"
#include "resources/DialogTemplates.h"
#include "serial/PortNames.h"
#include "tests/support/TestFiles.h"
#include "ui/rules/ConfirmRules.h"
#include "ui/rules/WizardRules.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

class WindowRulesTest : public ::testing::Test {
protected:
    void SetUp() override { Clear(); }
    void TearDown() override { Clear(); }
    static void Clear()
    {
        for (PortEntry& entry : PortTable)
            entry = PortEntry{};
        FlashSelection = FlashSelectionRecord{};
    }
    // Rows from the first on; a modem row carries an identification.
    static void Rows(const std::vector<std::pair<std::string, bool>>& rows)
    {
        int row = 0;
        for (const auto& [name, modem] : rows)
            PortTable[row++] = {modem ? "modem on " + name : "", name, name + " -- port", modem ? 1 : 0};
    }
    static std::string Port() { return std::string(FieldText(FlashSelection.PortName)); }
    static std::string Path() { return std::string(FieldText(FlashSelection.HexFilePath)); }

    ScopedTempDir dir;
};

TEST_F(WindowRulesTest, ButtonsOnArrivalAndThePathPagesHexRule)
{
    EXPECT_EQ(ButtonsOnActivation(WizardPage::Welcome), unsigned{kWizardNext});
    EXPECT_EQ(ButtonsOnActivation(WizardPage::Ports), unsigned{kWizardBack | kWizardNext});
    EXPECT_EQ(ButtonsOnActivation(WizardPage::Path), unsigned{kWizardBack | kWizardFinish});  // whatever the text
    const std::pair<const char*, bool> texts[] = {
        {"MODEM.HEX", true},  {"modem.hex", true}, {"/hexes/image.bin", true}, {"a.HeX.old", true},
        {"image.bin", false}, {"", false},         {"H E X", false},           {"HXE", false},
    };
    for (const auto& [text, hex] : texts)
        EXPECT_EQ(PathButtonsAfterChange(text), kWizardBack | (hex ? kWizardFinish : kWizardDisabledFinish)) << text;
}

TEST_F(WindowRulesTest, BaudRatesConvertBothWaysAndLeaveWhatIsNotInTheList)
{
    EXPECT_EQ(BaudRates(), (std::vector<std::int32_t>{9600, 19200, 38400, 57600, 115200}));
    const std::pair<std::int32_t, int> toIndex[] = {{9600, 0}, {57600, 3}, {115200, 4}, {256000, 7}, {0, 7}, {-1, 7}};
    for (auto [rate, index] : toIndex) {
        int at = 7;
        ConvertBaudRate(rate, at, BaudDirection::RateToIndex);
        EXPECT_EQ(at, index) << rate;
    }
    const std::pair<int, std::int32_t> toRate[] = {{0, 9600}, {4, 115200}, {5, 256000}, {-1, 256000}};
    for (auto [index, rate] : toRate) {
        std::int32_t value = 256000;
        ConvertBaudRate(value, index, BaudDirection::IndexToRate);
        EXPECT_EQ(value, rate) << index;
    }
}

TEST_F(WindowRulesTest, PortListSortsWithoutRegardToCaseAndEqualTextsKeepTheirOrder)
{
    const char* texts[] = {"COM2 -- b", "com1 -- a", "COM1 -- A", "_COM", "COM1 -- a"};
    for (int row = 0; row < 5; ++row)
        PortTable[row] = {"", "COM" + std::to_string(row + 1), texts[row], 0};
    PortTable[6] = {"", "COM7", "AFTER THE END", 0};  // behind the first empty row
    std::vector<std::pair<std::string, int>> items;
    for (const PortListItem& item : PortListItems())
        items.emplace_back(item.text, item.row);
    // '_' comes before the letters as lower case compares.
    const std::vector<std::pair<std::string, int>> expected = {
        {"_COM", 3}, {"com1 -- a", 1}, {"COM1 -- A", 2}, {"COM1 -- a", 4}, {"COM2 -- b", 0}};
    EXPECT_EQ(items, expected);
}

TEST_F(WindowRulesTest, SelectedRowIsTheStoredPortsModemElseTheLastModem)
{
    const struct {
        std::vector<std::pair<std::string, bool>> rows;
        const char* stored;
        int selected;
    } cases[] = {
        {{{"COM1", true}, {"COM2", true}, {"COM3", true}}, "COM2", 1},
        {{{"COM1", true}, {"COM2", true}, {"COM3", true}}, "com2", 1},
        {{{"COM1", true}, {"COM2", true}, {"COM3", false}}, "COM1", 0},
        {{{"COM1", true}, {"COM2", false}, {"COM3", true}, {"COM4", false}}, "COM2", 2},
        {{{"COM1", true}, {"COM2", true}}, "", 1},
        {{{"COM1", false}, {"COM2", false}}, "COM1", -1},
        {{}, "COM1", -1},
    };
    for (const auto& c : cases) {
        Clear();
        Rows(c.rows);
        EXPECT_EQ(SelectedPortRow(c.stored), c.selected) << c.stored;
    }
}

TEST_F(WindowRulesTest, RowLooks)
{
    Rows({{"COM1", true}, {"COM2", false}});
    auto describe = [](const PortRowLook& look) {
        return std::to_string(look.lines) + (look.grey ? " grey" : "") + (look.highlighted ? " highlighted" : "") +
               (look.secondLine.empty() ? "" : " |" + look.secondLine);
    };
    const struct {
        int row;
        bool selected, enabled;
        const char* look;
    } cases[] = {
        {0, false, true, "2 |       modem on COM1"},
        {0, true, true, "2 highlighted |       modem on COM1"},
        {0, true, false, "2 grey |       modem on COM1"},
        {1, true, true, "1 grey"},
        {1, false, false, "1 grey"},
        {-1, true, true, "1 grey"},
        {MAX_PORTS, true, true, "1 grey"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(describe(LookOfPortRow(c.row, c.selected, c.enabled)), c.look) << c.row << c.selected << c.enabled;
}

TEST_F(WindowRulesTest, BrowseOpensInThePathsFolder)
{
    const struct {
        const char* path;
        std::string_view separators;
        const char* folder;
    } cases[] = {
        {"", kPosixPathSeparators, ""},
        {"MODEM.HEX", kPosixPathSeparators, ""},
        {"/home/me/fw/MODEM.HEX", kPosixPathSeparators, "/home/me/fw/"},
        {"/home/me/fw/", kPosixPathSeparators, "/home/me/fw/"},
        {"/MODEM.HEX", kPosixPathSeparators, "/"},
        {"fw\\MODEM.HEX", kPosixPathSeparators, ""},  // a backslash is part of a Linux name
        {"C:\\fw\\MODEM.HEX", kWindowsPathSeparators, "C:\\fw\\"},
        {"C:/fw/MODEM.HEX", kWindowsPathSeparators, "C:/fw/"},
        {"C:\\fw/sub\\MODEM.HEX", kWindowsPathSeparators, "C:\\fw/sub\\"},
        {"C:MODEM.HEX", kWindowsPathSeparators, "C:"},
        {"MODEM.HEX", kWindowsPathSeparators, ""},
        {"\\\\server\\share\\M.HEX", kWindowsPathSeparators, "\\\\server\\share\\"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(InitialBrowseFolder(c.path, c.separators), c.folder) << c.path;
}

TEST_F(WindowRulesTest, FinishWritesTheSelectionAsFarAsItFitsThenTestOpensTheFile)
{
#ifdef _WIN32
    const std::string longName = "COM12", refused = longName + " is named above COM9";
#else
    const std::string longName = "/dev/ttyUSB0", refused = longName + " has no COM name";
#endif
    Rows({{"COM3", true}, {longName, true}});
    const std::string good = dir.File("MODEM.HEX");
    const std::string folder = dir.File("FOLDER.HEX");
    WriteFileBytes(good, ":00000001FF\r\n");
    std::filesystem::create_directory(folder);
    const std::string tooLong = dir.File(std::string(kMaxHexFilePathLength - dir.Path().size(), 'x'));
    const std::string longest = tooLong.substr(0, kMaxHexFilePathLength);
    const std::string missing = dir.File("MISSING.HEX");

    const struct {
        int row, baudIndex;
        std::string path;
        bool proceed;
        std::string message, port, stored;  // stored: the path in the selection afterwards
        std::int32_t rate;
    } cases[] = {
        {1, 4, good, false, refused, "COM7", "old", 19200},
        {0, 4, tooLong, false, "The path " + tooLong + " is 123 characters long; at most 122 fit.", "COM3", "old",
         115200},
        {0, 0, longest, false, "File " + longest + " could not be opened", "COM3", longest, 9600},
        {0, 4, missing, false, "File " + missing + " could not be opened", "COM3", missing, 115200},
        {0, 4, folder, false, "File " + folder + " could not be opened", "COM3", folder, 115200},
        {0, 4, good, true, "", "COM3", good, 115200},
        {-1, -1, good, true, "", "COM7", good, 19200},  // nothing selected: the port and rate stay
    };
    for (const auto& c : cases) {
        SetField(FlashSelection.PortName, "COM7");
        SetField(FlashSelection.HexFilePath, "old");
        FlashSelection.BaudRate = 19200;
        FinishVerdict verdict = CompleteSelection(c.row, c.baudIndex, c.path);
        EXPECT_EQ(verdict.proceed, c.proceed) << c.path;
        // The message's beginning, or no message at all.
        EXPECT_EQ(c.message.empty() ? verdict.message : verdict.message.substr(0, c.message.size()), c.message);
        EXPECT_EQ(Port(), c.port) << c.path;
        EXPECT_EQ(FlashSelection.BaudRate, c.rate) << c.path;
        EXPECT_EQ(Path(), c.stored);
    }

    // The refusal of a port without a COM name says how to reach it.
    const std::string text = CompleteSelection(1, 4, good).message;
    EXPECT_NE(text.find("flashloader-cli flash --port " + longName + " --file " + good), std::string::npos) << text;
    if (!PortDirectory().empty())
        EXPECT_NE(text.find("port directory " + PortDirectory()), std::string::npos) << text;
    else
        EXPECT_NE(text.find("Device Manager"), std::string::npos) << text;
}

std::string Describe(const ConfirmLook& look)
{
    auto part = [](const char* name, bool shown, bool enabled) {
        return std::string(name) + (shown ? " S" : " -") + (enabled ? "E " : "- ");
    };
    return part("perform", look.performShown, look.performEnabled) +
           part("change", look.changeShown, look.changeEnabled) + part("close", look.closeShown, look.closeEnabled) +
           part("progress", look.progressShown, look.progressEnabled) + (look.closeTakesFocus ? "focus" : "");
}

TEST_F(WindowRulesTest, ConfirmLooksPerStateAndEscOnlyWhileReady)
{
    const std::pair<RunState, const char*> looks[] = {
        {RunState::Ready, "perform SE change SE close -- progress -- "},
        {RunState::Running, "perform -- change -- close S- progress SE "},
        {RunState::Succeeded, "perform -- change -- close SE progress SE focus"},
        {RunState::Failed, "perform -- change -- close SE progress -- focus"},
    };
    for (auto [state, look] : looks) {
        EXPECT_EQ(Describe(LookOfConfirm(state)), look);
        EXPECT_EQ(MayCloseAsChangeInputs(state), state == RunState::Ready) << look;
    }
}

TEST_F(WindowRulesTest, HighlightsPerMismatchAndStatusIcons)
{
    constexpr int kModemSize = IDC_CONFIRM_MODEM_SECTOR_SIZE, kFileSize = IDC_CONFIRM_FILE_SECTOR_SIZE;
    constexpr int kModemSum = IDC_CONFIRM_MODEM_CHECKSUM, kFileSum = IDC_CONFIRM_FILE_CHECKSUM;
    constexpr int kModemType = IDC_CONFIRM_MODEM_TYPE, kFileType = IDC_CONFIRM_FILE_TYPE;
    const std::pair<std::uint16_t, std::vector<int>> highlights[] = {
        {0, {}},
        {MismatchSectorSize, {kModemSize, kFileSize}},
        {MismatchChecksum, {kModemSum, kFileSum}},
        {MismatchType, {kModemType, kFileType}},
        {MismatchSectorSize | MismatchType, {kModemSize, kFileSize, kModemType, kFileType}},
        {MismatchSectorSize | MismatchChecksum | MismatchType,
         {kModemSize, kFileSize, kModemSum, kFileSum, kModemType, kFileType}},
    };
    for (const auto& [flags, fields] : highlights) {
        EXPECT_EQ(HighlightedFields(flags), fields) << flags;
        for (int id : {kModemType, kFileType, int(IDC_CONFIRM_PORT), kModemSize, kModemSum, kFileSize, kFileSum})
            EXPECT_EQ(IsHighlighted(id, flags), std::find(fields.begin(), fields.end(), id) != fields.end())
                << flags << " " << id;
    }
    EXPECT_STREQ(StatusIcon(StatusKind::Stop), kIconStop);
    EXPECT_STREQ(StatusIcon(StatusKind::Question), kIconQuestion);
    EXPECT_STREQ(StatusIcon(StatusKind::Info), kIconInformation);
}

// The wizard's answers as a message box shows them: the terminal's line
// breaks go where the box breaks lines itself, the writer's stay.
TEST_F(WindowRulesTest, BoxTextKeepsTheWritersLinesOnly)
{
    const std::string wrapped(70, 'w');
    const struct {
        std::string terminal;
        std::string box;
    } cases[] = {
        {"flashloader 5.0.0\n", "flashloader 5.0.0"},
        {"", ""},
        {"short\nlines\n\nstay\n", "short\nlines\n\nstay"},
        {wrapped + "\ngoes on\n\nnext", wrapped + " goes on\n\nnext"},
        {wrapped + "\n" + wrapped + "\nends.\n", wrapped + " " + wrapped + " ends."},
        {"  --opt  " + wrapped + "\n         more\n  --help   this\n  --version  that\n",
         "  --opt  " + wrapped + " more\n  --help   this\n  --version  that"},
        {wrapped + "\n  --help   this", wrapped + "\n  --help   this"},
        {"\nafter an empty line\n", "\nafter an empty line"},
        {"Usage: p [A]\n       p DEV\n", "Usage: p [A]\n       p DEV"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(BoxText(c.terminal), c.box) << c.terminal;
    // The wizard's own help: every paragraph and every option on a line of its own.
    std::string help = BoxText(WizardHelpText());
    EXPECT_EQ(help.rfind("Usage: flashloader [PORT [BAUD [FILE]]]\n       flashloader DEV\nThe wizard", 0), 0u) << help;
    EXPECT_NE(help.find("\n  --help "), std::string::npos) << help;
    EXPECT_NE(help.find("\n  --version "), std::string::npos) << help;
    EXPECT_EQ(help.find("in this\ndirectory"), std::string::npos) << help;
}

}  // namespace
