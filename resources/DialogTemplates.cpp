#include "resources/DialogTemplates.h"

namespace {

using K = ControlKind;

const DialogTemplate kTemplates[] = {
    {IDD_ABOUTBOX,
     kPopup | kCaption | kSystemMenu | kModalFrame | kVisible | kSystemModal,
     "About",
     "MS Sans Serif",
     8,
     187,
     95,
     {
         {IDC_ABOUT_OK, K::DefPushButton, "OK", 133, 77, 50, 14, kTabStop},
         {kNoId, K::Icon, kIconApplication, 16, 10, 16, 16, kLeft},
         {IDC_ABOUT_PRODUCT, K::Static, "", 45, 9, 123, 10, kCenter | kGroup | kData},
         {IDC_ABOUT_COMPANY, K::Static, "", 7, 33, 174, 10, kLeft | kGroup | kData},
         {IDC_ABOUT_SLOGAN, K::Static, "", 7, 52, 174, 20, kLeft | kGroup | kData},
     }},
    {IDD_WELCOME,
     kPage | kCaption,
     "Modem Flash Loader - Welcome",
     "System",
     10,
     290,
     147,
     {
         {kNoId, K::Static, "       Welcome to the modem flash loader. ", 100, 9, 177, 9, kLeft},
         {kNoId, K::Bitmap, kBitmapWizard, 7, 7, 64, 132, kLeft},
         {IDC_WELCOME_DEVELOPER, K::RadioButton, "As an modem chip developer", 104, 106, 104, 10, kGroup | kTabStop},
         {IDC_WELCOME_END_USER, K::RadioButton, "As end user", 104, 94, 61, 8, kLeft},
         {IDC_WELCOME_QUESTION, K::Static, "Which version would you like to use?", 100, 82, 124, 8, kGroup | kHidden},
         {IDC_WELCOME_ABOUT, K::OwnerDrawButton, "ABOUT", 247, 104, 36, 36, kTabStop},
         {kNoId, K::Static,
          "       This application will detect the COM ports connected to Kestrolan Technologies' modems. If your "
          "COM ports are connected to modems from other manufacturers, then they will be listed as unavailable "
          "ports. Please click on the <Next> button to continue.",
          100, 29, 177, 41, kLeft},
     }},
    {IDD_PORTS,
     kPage | kCaption,
     "Modem Flash Loader - COM Port Options",
     "System",
     10,
     290,
     147,
     {
         {kNoId, K::Bitmap, kBitmapWizard, 7, 7, 65, 133, kLeft},
         {kNoId, K::Static, "Select a COM port you wish to use.", 98, 8, 138, 11, kLeft},
         {IDC_PORT_BAUD, K::DropDownList, "", 150, 112, 89, 53, kTabStop},
         {kNoId, K::Static, "Baud Rate:", 102, 113, 36, 9, kLeft},
         {kNoId, K::Static, "Choose a baud rate you would like to set.", 98, 97, 166, 9, kLeft},
         {IDC_PORT_LIST, K::OwnerDrawListBox, "", 97, 23, 158, 65, kTabStop},
     }},
    {IDD_PATH,
     kPage | kCaption,
     "Modem Flash Loader - Loading File Path",
     "System",
     10,
     284,
     147,
     {
         {kNoId, K::Bitmap, kBitmapWizard, 7, 7, 64, 133, kLeft},
         {kNoId, K::Static,
          "          You need to specifiy the file name tp be loaded along with its complete path in the edit box "
          "below. You can click the <Browse> button to find the exact file name and path.",
          88, 14, 189, 33, kLeft},
         {kNoId, K::Static, "Is this the right  file that you wish to load?", 88, 89, 132, 10, kLeft},
         {IDC_PATH_EDIT, K::Edit, "", 88, 101, 189, 12, kTabStop},
         {IDC_PATH_BROWSE, K::PushButton, "Browse", 218, 118, 59, 14, kTabStop},
     }},
    {IDD_CONFIRM,
     kPopup | kCaption | kModalFrame,
     "Modem Flash Loader - Input Confirmation",
     "System",
     10,
     256,
     199,
     {
         {IDC_CONFIRM_ICON, K::Icon, kIconInformation, 21, 23, 20, 20, kLeft},
         {IDC_CONFIRM_STATUS, K::Static,
          "          Please verify all the inputs listed below. If you need to make some changes, click on the "
          "<Change Inputs> button. Otherwise, click on the <Perform Loading> button to start the process of flash "
          "loading.",
          58, 7, 177, 42, kLeft | kData},
         {kNoId, K::Static, "Type", 66, 55, 34, 11, kCenter},
         {kNoId, K::Static, "Sector Size", 122, 55, 42, 11, kCenter},
         {kNoId, K::Static, "Checksum", 185, 55, 34, 11, kCenter},
         {kNoId, K::Static, "File:", 23, 67, 34, 11, kRight},
         {IDC_CONFIRM_FILE_TYPE, K::Static, "", 66, 67, 34, 11, kCenter | kData},
         {IDC_CONFIRM_FILE_SECTOR_SIZE, K::Static, "", 122, 67, 42, 11, kCenter | kData},
         {IDC_CONFIRM_FILE_CHECKSUM, K::Static, "", 185, 67, 34, 11, kCenter | kData},
         {kNoId, K::Static, "Modem:", 23, 83, 34, 11, kRight},
         {IDC_CONFIRM_MODEM_TYPE, K::Static, "", 66, 83, 34, 11, kCenter | kData},
         {IDC_CONFIRM_MODEM_SECTOR_SIZE, K::Static, "", 122, 83, 42, 11, kCenter | kData},
         {IDC_CONFIRM_MODEM_CHECKSUM, K::Static, "", 185, 83, 34, 11, kCenter | kData},
         {kNoId, K::EtchedLine, "", 7, 98, 242, 2, kLeft},
         {kNoId, K::Static, "Port:", 22, 104, 37, 9, kRight},
         {IDC_CONFIRM_PORT, K::Static, "", 69, 104, 140, 8, kLeft | kData},
         {kNoId, K::Static, "Baud Rate:", 22, 116, 37, 8, kRight},
         {IDC_CONFIRM_BAUD, K::Static, "", 69, 116, 139, 8, kLeft | kData},
         {kNoId, K::Static, "Loading File:", 19, 128, 40, 8, kRight},
         {IDC_CONFIRM_PATH, K::Static, "", 69, 128, 159, 8, kLeft | kData},
         {IDC_CONFIRM_PERCENT, K::Static, "", 19, 141, 18, 8, kRight | kData},
         {IDC_CONFIRM_PROGRESS_CAPTION, K::Static, "", 41, 141, 199, 8, kLeft | kData},
         {IDC_CONFIRM_PROGRESS, K::ProgressBar, "", 19, 153, 220, 9, kLeft},
         // Shown only after a run refused for its loader file, when the bar
         // is hidden and its labels hold a blank: three lines down to the
         // separator. A path is data: its '&' is shown as it is.
         {IDC_CONFIRM_FILE_PROBLEM, K::Static, "", 19, 140, 221, 27, kLeft | kHidden | kData},
         {kNoId, K::EtchedLine, "", 7, 168, 242, 2, kLeft},
         {IDC_CONFIRM_PERFORM, K::PushButton, "Perform Loading", 85, 178, 74, 14, kTabStop},
         {IDC_CONFIRM_CHANGE, K::PushButton, "Change Inputs", 175, 178, 74, 14, kTabStop},
         {IDC_CONFIRM_CLOSE, K::PushButton, "&Close", 175, 178, 74, 14, kTabStop},
     }},
    {IDD_SEARCH_NOTICE,
     kPopup | kVisible | kDialogFrame | kScreenCentre,
     "",
     "System",
     10,
     136,
     62,
     {
         {kNoId, K::Static, "Searching for modems...", 10, 18, 116, 8, kCenter},
         {IDC_NOTICE_PORTS, K::Static, "", 7, 31, 122, 10, kCenter | kData},
     }},
};

}  // namespace

const DialogTemplate* FindDialogTemplate(int id)
{
    for (const DialogTemplate& dialog : kTemplates)
        if (dialog.id == id)
            return &dialog;
    return nullptr;
}

std::span<const DialogTemplate> AllDialogTemplates() { return kTemplates; }
