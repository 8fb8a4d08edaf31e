#include "resources/StringTable.h"

namespace {

struct Entry {
    int id;
    const char* text;
};

// The texts stand exactly as the product has always shown them, spelling
// and spacing included: people and scripts recognise them.
constexpr Entry kStrings[] = {
    {IDS_NOK1_RETRY, "Chip failed to erase properly.\n Would you like to retry?\""},
    {IDS_NOK2_NO_COLON, "The sent line contains no ':' character. Resend the previous line."},
    {IDS_NOK3_CHECKSUM, "The check sum was not correct. Resend the previous line."},
    {IDS_NOK4_RETRY, "The chip failed to be programmed properly. Would you like to retry?"},
    {IDS_SUCCESS, "The flash loading has completed successfully. You may exit now by clicking on the <Close> "
                  "button. Refresh your modem before using it."},
    {IDS_COMPLETE_LOAD, "Performing a complete flash loading. This will take a while. Please wait."},
    {IDS_NORMAL_LOAD, "Performing normal flash loading. This will take a while. Please wait. "},
    {IDS_LOADER_DONE, "FLSHLDR.HEX has downloaded successfully.  Now the new modem load itself will be flashed.  "
                      "Please wait..."},
    {IDS_ERASING, "Erasing the flash, please wait..."},
    {IDS_GATHERING, "Gathering information from the modem..."},
    {IDS_NO_PORT_AVAILABLE, "No COM port is available. Your ports may have connection problems or are being used "
                            "by other applications. Please try again after you correct the problem."},
    {IDS_PORT_OPEN_FAILED, "Failed to open the specified COM port. "},
    {IDS_FAILED_TRY_AGAIN, "Thus, the flash loading process has failed at this point. Please try it again after "
                           "the problems are corrected."},
    {IDS_SECTOR_SIZES, "sector sizes"},
    {IDS_TYPES, "types"},
    {IDS_LOADER_DOWNLOAD_FAILED, "An error has occurred during the download of the FLASHLDR.HEX file. "},
    {IDS_IMAGE_DOWNLOAD_FAILED, "An error has occurred during the download of the MODEM.HEX file."},
    {IDS_START_FAILED, "An error has occurred during the initiation of the MODEM.HEX download. "},
    {IDS_NO_MODEM, "No modem was found at the specified COM port. "},
    {IDS_WRONG_VERSION, "An incorrect modem version was found at the specified COM port."},
    {IDS_INCOMPATIBLE, "The modem and the loader are incompatable in their "},
    {IDS_CHECKSUMS, "checksums"},
};

}  // namespace

const char* LoadResString(int id)
{
    for (const Entry& entry : kStrings)
        if (entry.id == id)
            return entry.text;
    return "";
}
