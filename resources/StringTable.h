#pragma once
// The program's string table: every text a person sees that is not a literal
// of the code, by its numeric id.

// The text of an id; an empty text for an id that is not in the table.
const char* LoadResString(int id);

// Ids, named after their use.
enum StringId {
    IDS_NOK1_RETRY = 1,
    IDS_NOK2_NO_COLON = 2,
    IDS_NOK3_CHECKSUM = 3,
    IDS_NOK4_RETRY = 4,
    IDS_SUCCESS = 19,
    IDS_COMPLETE_LOAD = 20,
    IDS_NORMAL_LOAD = 21,
    IDS_LOADER_DONE = 23,
    IDS_ERASING = 24,
    IDS_GATHERING = 36,
    IDS_NO_PORT_AVAILABLE = 49,
    IDS_PORT_OPEN_FAILED = 50,
    IDS_FAILED_TRY_AGAIN = 52,
    IDS_SECTOR_SIZES = 53,
    IDS_TYPES = 54,
    IDS_LOADER_DOWNLOAD_FAILED = 55,
    IDS_IMAGE_DOWNLOAD_FAILED = 56,
    IDS_START_FAILED = 58,
    IDS_NO_MODEM = 59,
    IDS_WRONG_VERSION = 61,
    IDS_INCOMPATIBLE = 62,
    IDS_CHECKSUMS = 63,
};
