// The program's own templates by their named ids: every control the
// windows look up by name is in its window, of the kind the windows take it
// for, and the resource script gives it the number that programs outside
// (the drivers of the Windows windows) know it by. Within a window no two
// controls share an id, or a lookup would find only the first.

#include "resources/DialogTemplates.h"
#include "resources/ResourceScript.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>

namespace {

using K = ControlKind;

const ControlTemplate* FindControl(const DialogTemplate& dialog, int id)
{
    for (const ControlTemplate& control : dialog.controls)
        if (control.id == id)
            return &control;
    return nullptr;
}

// The script's CONTROL statement of a control: its text, id and class.
std::string ScriptLineOf(int dialogId, int controlId, const char* className)
{
    const DialogTemplate* dialog = FindDialogTemplate(dialogId);
    std::ostringstream out;
    EXPECT_TRUE(WriteResourceScript(out, {dialog, 1}, {}, {"pictures", ""}));
    std::istringstream in(out.str());
    const std::string wanted = ", " + std::to_string(controlId) + ", \"" + className + "\",";
    for (std::string line; std::getline(in, line);)
        if (line.rfind("    CONTROL ", 0) == 0 && line.find(wanted) != std::string::npos)
            return line;
    return {};
}

TEST(ControlIdsTest, NoTwoControlsOfAWindowShareAnId)
{
    for (const DialogTemplate& dialog : AllDialogTemplates()) {
        std::set<int> seen;
        for (const ControlTemplate& control : dialog.controls) {
            if (control.id != kNoId) {
                EXPECT_TRUE(seen.insert(control.id).second) << "window " << dialog.id << " control " << control.id;
            }
        }
    }
}

TEST(ControlIdsTest, EachNamedControlIsInItsWindowWithItsNumber)
{
    const struct {
        int dialog;
        int id;
        int number;  // as the script writes it
        ControlKind kind;
        const char* className;
    } cases[] = {
        {IDD_ABOUTBOX, IDC_ABOUT_OK, 1, K::DefPushButton, "Button"},
        {IDD_ABOUTBOX, IDC_ABOUT_PRODUCT, 1028, K::Static, "Static"},
        {IDD_ABOUTBOX, IDC_ABOUT_COMPANY, 1029, K::Static, "Static"},
        {IDD_ABOUTBOX, IDC_ABOUT_SLOGAN, 1030, K::Static, "Static"},
        {IDD_WELCOME, IDC_WELCOME_QUESTION, 1002, K::Static, "Static"},
        {IDD_WELCOME, IDC_WELCOME_ABOUT, 1004, K::OwnerDrawButton, "Button"},
        {IDD_WELCOME, IDC_WELCOME_END_USER, 1008, K::RadioButton, "Button"},
        {IDD_WELCOME, IDC_WELCOME_DEVELOPER, 1009, K::RadioButton, "Button"},
        {IDD_PORTS, IDC_PORT_BAUD, 1005, K::DropDownList, "ComboBox"},
        {IDD_PORTS, IDC_PORT_LIST, 1020, K::OwnerDrawListBox, "ListBox"},
        {IDD_PATH, IDC_PATH_EDIT, 1006, K::Edit, "Edit"},
        {IDD_PATH, IDC_PATH_BROWSE, 1007, K::PushButton, "Button"},
        {IDD_CONFIRM, IDC_CONFIRM_CLOSE, 1, K::PushButton, "Button"},
        {IDD_CONFIRM, IDC_CONFIRM_CHANGE, 2, K::PushButton, "Button"},
        {IDD_CONFIRM, IDC_CONFIRM_PERFORM, 1006, K::PushButton, "Button"},
        {IDD_CONFIRM, IDC_CONFIRM_PROGRESS_CAPTION, 1008, K::Static, "Static"},
        {IDD_CONFIRM, IDC_CONFIRM_ICON, 1013, K::Icon, "Static"},
        {IDD_CONFIRM, IDC_CONFIRM_PROGRESS, 1014, K::ProgressBar, "msctls_progress32"},
        {IDD_CONFIRM, IDC_CONFIRM_MODEM_TYPE, 1016, K::Static, "Static"},
        {IDD_CONFIRM, IDC_CONFIRM_FILE_TYPE, 1017, K::Static, "Static"},
        {IDD_CONFIRM, IDC_CONFIRM_PORT, 1018, K::Static, "Static"},
        {IDD_CONFIRM, IDC_CONFIRM_BAUD, 1019, K::Static, "Static"},
        {IDD_CONFIRM, IDC_CONFIRM_PATH, 1020, K::Static, "Static"},
        {IDD_CONFIRM, IDC_CONFIRM_STATUS, 1021, K::Static, "Static"},
        {IDD_CONFIRM, IDC_CONFIRM_PERCENT, 1022, K::Static, "Static"},
        {IDD_CONFIRM, IDC_CONFIRM_MODEM_SECTOR_SIZE, 1023, K::Static, "Static"},
        {IDD_CONFIRM, IDC_CONFIRM_MODEM_CHECKSUM, 1024, K::Static, "Static"},
        {IDD_CONFIRM, IDC_CONFIRM_FILE_SECTOR_SIZE, 1025, K::Static, "Static"},
        {IDD_CONFIRM, IDC_CONFIRM_FILE_CHECKSUM, 1026, K::Static, "Static"},
        {IDD_CONFIRM, IDC_CONFIRM_FILE_PROBLEM, 1027, K::Static, "Static"},
        {IDD_SEARCH_NOTICE, IDC_NOTICE_PORTS, 1018, K::Static, "Static"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("window " + std::to_string(c.dialog) + " control " + std::to_string(c.number));
        const DialogTemplate* dialog = FindDialogTemplate(c.dialog);
        ASSERT_NE(dialog, nullptr);
        const ControlTemplate* control = FindControl(*dialog, c.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(control->kind, c.kind);
        EXPECT_FALSE(ScriptLineOf(c.dialog, c.number, c.className).empty());
    }
}

}  // namespace
