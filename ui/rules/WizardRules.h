#pragma once
// What the wizard's windows do, apart from drawing them: which buttons each
// page offers, the baud-rate list, the port list's order and selected row,
// how a row of the list looks, and what Finish checks before the
// confirmation window opens. The Qt windows and the Win32 windows both
// follow these rules, so that the two front ends cannot drift apart.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The wizard's button flags, as the property sheet takes them.
enum WizardButton : unsigned {
    kWizardBack = 1,
    kWizardNext = 2,
    kWizardFinish = 4,
    kWizardDisabledFinish = 8,  // Finish shown in place of Next, greyed
};

enum class WizardPage { Welcome, Ports, Path };

// The buttons a page offers each time it becomes current.
unsigned ButtonsOnActivation(WizardPage page);

// The path page's buttons after its text changed: Finish only when the
// text contains "HEX" in any case. (On arrival it is offered whatever the
// text: ButtonsOnActivation.)
unsigned PathButtonsAfterChange(std::string_view path);

// The baud rates offered, in the order of the combo box.
const std::vector<std::int32_t>& BaudRates();

enum class BaudDirection { RateToIndex, IndexToRate };
// Rate to index: index becomes the position of rate in BaudRates(), and
// stays as it was for a rate not offered. Index to rate: rate becomes the
// rate at index, and stays as it was for an index outside the list (-1
// when the combo box has no selection).
void ConvertBaudRate(std::int32_t& rate, int& index, BaudDirection direction);

// One item of the port list: the display text and the port table row it
// stands for.
struct PortListItem {
    std::string text;
    int row;
};

// The port table's rows as the list shows them: sorted by display text
// without regard to case, an item going after those equal to it.
std::vector<PortListItem> PortListItems();

// The row whose item is selected after the scan: the stored port's row when
// a modem answered there, otherwise the last modem row in table order; -1
// when no modem answered.
int SelectedPortRow(std::string_view storedPortName);

// How an item of the port list is drawn.
struct PortRowLook {
    int lines = 1;             // 2 for a modem row: its identification goes below
    bool grey = true;          // a port without a modem, or a disabled list
    bool highlighted = false;  // selected and not grey
    std::string secondLine;    // the identification, indented, or empty
};
PortRowLook LookOfPortRow(int row, bool selected, bool listEnabled);

// The separators after which a path's folder ends: a Linux path's, and a
// Windows path's (either slash, or the colon of a drive).
inline constexpr std::string_view kPosixPathSeparators = "/";
inline constexpr std::string_view kWindowsPathSeparators = "\\/:";

// The folder Browse opens in for the path in the edit box: the path up to
// and with its last separator; empty (the open-file dialog's own choice)
// for a path without one.
std::string InitialBrowseFolder(std::string_view path, std::string_view separators);

// What Finish on the path page does with the selected row, the baud
// index and the path: it writes them into the selection (as far as they
// fit) and test-opens the file. proceed is true when the confirmation
// window may open; otherwise message says why, for a message box with the
// stop icon, and the path page stays.
struct FinishVerdict {
    bool proceed = false;
    std::string message;
};
FinishVerdict CompleteSelection(int selectedRow, int baudIndex, const std::string& path);

// A text written for a terminal (broken into lines that fit 80 columns) as
// a message box shows it: the box breaks lines to its own width, so a line
// broken only for the terminal's goes on in the line before it, after a
// blank. A line that follows a short or an empty one keeps its own start,
// as does an option ("  --help ..."); the text's last line end goes.
std::string BoxText(std::string_view terminalText);
