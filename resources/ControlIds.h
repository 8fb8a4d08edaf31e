#pragma once
// The ids of the program's window templates and of their controls, by name.
// The numbers are those the windows have always had: the Windows resource
// script is written with them, and whatever finds a control from outside the
// program (the tests that drive the Windows windows under Wine, for one)
// finds it by its number. A number means a control only together with its
// window: 1020 is the port list of the port page and the file path of the
// confirmation window, so each has its own name here.

// Template ids.
enum : int {
    IDD_ABOUTBOX = 100,
    IDD_WELCOME = 129,
    IDD_PORTS = 131,
    IDD_CONFIRM = 132,
    IDD_PATH = 133,
    IDD_SEARCH_NOTICE = 136,
};

// The About box.
enum : int {
    IDC_ABOUT_OK = 1,  // the dialog manager's OK, which Return presses
    IDC_ABOUT_PRODUCT = 1028,
    IDC_ABOUT_COMPANY = 1029,
    IDC_ABOUT_SLOGAN = 1030,
};

// The welcome page.
enum : int {
    IDC_WELCOME_QUESTION = 1002,  // which version to use: kept out of sight
    IDC_WELCOME_ABOUT = 1004,
    IDC_WELCOME_END_USER = 1008,
    IDC_WELCOME_DEVELOPER = 1009,
};

// The port page.
enum : int {
    IDC_PORT_BAUD = 1005,
    IDC_PORT_LIST = 1020,
};

// The file path page.
enum : int {
    IDC_PATH_EDIT = 1006,
    IDC_PATH_BROWSE = 1007,
};

// The confirmation window. Close and Change Inputs carry the dialog
// manager's OK and Cancel, so that Return and Esc reach them as such.
enum : int {
    IDC_CONFIRM_CLOSE = 1,
    IDC_CONFIRM_CHANGE = 2,
    IDC_CONFIRM_PERFORM = 1006,
    IDC_CONFIRM_PROGRESS_CAPTION = 1008,
    IDC_CONFIRM_ICON = 1013,
    IDC_CONFIRM_PROGRESS = 1014,
    IDC_CONFIRM_MODEM_TYPE = 1016,
    IDC_CONFIRM_FILE_TYPE = 1017,
    IDC_CONFIRM_PORT = 1018,
    IDC_CONFIRM_BAUD = 1019,
    IDC_CONFIRM_PATH = 1020,
    IDC_CONFIRM_STATUS = 1021,
    IDC_CONFIRM_PERCENT = 1022,
    IDC_CONFIRM_MODEM_SECTOR_SIZE = 1023,
    IDC_CONFIRM_MODEM_CHECKSUM = 1024,
    IDC_CONFIRM_FILE_SECTOR_SIZE = 1025,
    IDC_CONFIRM_FILE_CHECKSUM = 1026,
    IDC_CONFIRM_FILE_PROBLEM = 1027,  // a file the run cannot use, over the bar and its labels
};

// The search notice.
enum : int {
    IDC_NOTICE_PORTS = 1018,  // the ports tried so far
};
