#include "ui/rules/WizardRules.h"

#include "app/LastSelection.h"
#include "app/LoaderApp.h"
#include "base/Paths.h"
#include "base/Text.h"
#include "ports/PortTable.h"
#include "serial/PortNames.h"

#include <algorithm>
#include <cstdio>

unsigned ButtonsOnActivation(WizardPage page)
{
    switch (page) {
    case WizardPage::Welcome:
        return kWizardNext;
    case WizardPage::Ports:
        return kWizardBack | kWizardNext;
    case WizardPage::Path:
        break;
    }
    return kWizardBack | kWizardFinish;
}

unsigned PathButtonsAfterChange(std::string_view path)
{
    bool hex = ToUpperAscii(std::string(path)).find("HEX") != std::string::npos;
    return kWizardBack | (hex ? kWizardFinish : kWizardDisabledFinish);
}

const std::vector<std::int32_t>& BaudRates()
{
    static const std::vector<std::int32_t> rates = {9600, 19200, 38400, 57600, 115200};
    return rates;
}

void ConvertBaudRate(std::int32_t& rate, int& index, BaudDirection direction)
{
    const std::vector<std::int32_t>& rates = BaudRates();
    const int count = static_cast<int>(rates.size());
    if (direction == BaudDirection::IndexToRate) {
        if (index >= 0 && index < count)
            rate = rates[static_cast<std::size_t>(index)];
        return;
    }
    for (int i = 0; i < count; ++i)
        if (rates[static_cast<std::size_t>(i)] == rate)
            index = i;
}

std::vector<PortListItem> PortListItems()
{
    std::vector<PortListItem> items;
    for (int row = 0; row < MAX_PORTS && !PortTable[row].portName.empty(); ++row) {
        PortListItem item{PortTable[row].displayText, row};
        const std::string key = ToLowerAscii(item.text);
        auto at = std::find_if(items.begin(), items.end(),
                               [&](const PortListItem& other) { return ToLowerAscii(other.text) > key; });
        items.insert(at, std::move(item));
    }
    return items;
}

int SelectedPortRow(std::string_view storedPortName)
{
    const std::string stored = ToUpperAscii(std::string(storedPortName));
    int selected = -1;
    for (int row = 0; row < MAX_PORTS && !PortTable[row].portName.empty(); ++row)
        if (PortTable[row].modemFound && (selected < 0 || ToUpperAscii(PortTable[selected].portName) != stored))
            selected = row;
    return selected;
}

PortRowLook LookOfPortRow(int row, bool selected, bool listEnabled)
{
    PortRowLook look;
    if (row < 0 || row >= MAX_PORTS)
        return look;
    const PortEntry& entry = PortTable[row];
    look.lines = entry.modemFound ? 2 : 1;
    look.grey = !listEnabled || !entry.modemFound;
    look.highlighted = selected && !look.grey;
    if (!entry.identification.empty())
        look.secondLine = "       " + entry.identification;
    return look;
}

std::string InitialBrowseFolder(std::string_view path, std::string_view separators)
{
    const std::string_view::size_type split = path.find_last_of(separators);
    if (split == std::string_view::npos)
        return {};
    return std::string(path.substr(0, split + 1));
}

FinishVerdict CompleteSelection(int selectedRow, int baudIndex, const std::string& path)
{
    FinishVerdict verdict;
    // The selection holds a port name of at most four characters. A port
    // with a longer name (a device the scan could not name, or COM10 and
    // above) is refused rather than the port chosen before flashed.
    if (selectedRow >= 0 && selectedRow < MAX_PORTS &&
        !SetField(FlashSelection.PortName, PortTable[selectedRow].portName)) {
        const std::string& port = PortTable[selectedRow].portName;
        const std::string directory = PortDirectory();
        verdict.message = port + (ComPortNumber(port) != 0 ? " is named above COM9" : std::string(" has no COM name")) +
                          ", and the wizard can flash only COM1 to COM9. ";
        if (std::string refusal = PortDirectoryRefusal(); !refusal.empty())
            verdict.message += "To give it one: " + refusal + " Or ";
        else if (!directory.empty())
            verdict.message += "To give it one, make sure that the port directory " + directory +
                               " can be written and remove from it an entry you no longer need; the next scan "
                               "names the port. Or ";
        else
            verdict.message += "Give the port a number from 1 to 9 in the port's settings of the Device "
                               "Manager, or ";
        verdict.message += "flash it from the command line: flashloader-cli flash --port " + port + " --file " + path;
        return verdict;
    }
    ConvertBaudRate(FlashSelection.BaudRate, baudIndex, BaudDirection::IndexToRate);

    // A cut path would name another file: refuse it instead.
    if (!SetField(FlashSelection.HexFilePath, path)) {
        verdict.message = "The path " + path + " is " + std::to_string(path.size()) + " characters long; at most " +
                          std::to_string(kMaxHexFilePathLength) +
                          " fit. Move the file to a folder with a shorter path and choose it again.";
        return verdict;
    }

    // Test-open as a file, without reading: a folder, a FIFO or a device
    // is named for what it is.
    FileContents file = ReadRegularFile(path, 0);
    if (file.result != FileContents::Ok && file.result != FileContents::TooLarge) {
        std::vector<char> text(path.size() + 64);
        std::snprintf(text.data(), text.size(), "File %s could not be opened", path.c_str());
        verdict.message = text.data();
        if (file.result == FileContents::NotAFile)
            verdict.message += ": it is " + file.what + ", not a file";
        return verdict;
    }
    verdict.proceed = true;
    return verdict;
}

std::string BoxText(std::string_view terminalText)
{
    // Shorter lines end where their writer ended them, not the terminal.
    constexpr std::size_t kBrokenForWidth = 60;
    std::string box;
    std::size_t previousLength = 0;
    bool first = true;
    while (!terminalText.empty()) {
        std::size_t end = terminalText.find('\n');
        std::string_view line = terminalText.substr(0, end);
        terminalText.remove_prefix(end == std::string_view::npos ? terminalText.size() : end + 1);
        std::size_t start = line.find_first_not_of(' ');
        bool continued = previousLength >= kBrokenForWidth && start != std::string_view::npos && line[start] != '-';
        if (continued)
            box += ' ' + std::string(line.substr(start));
        else
            box += (first ? "" : "\n") + std::string(line);
        previousLength = line.size();
        first = false;
    }
    return box;
}
