#pragma once
// The program's window templates: for every window its caption, font and
// size, and for every control its id, kind, text, style and rectangle, in
// dialog units (a quarter of the font's average character width across, an
// eighth of its height down). The windows are built from these tables.

#include "resources/ControlIds.h"

#include <span>
#include <vector>

enum class ControlKind {
    Static,  // text; alignment from the style
    Bitmap,  // a picture shown at its own size
    Icon,    // an icon shown at 32 x 32 pixels
    PushButton,
    DefPushButton,    // the button Enter presses
    OwnerDrawButton,  // a push button drawn with pictures
    RadioButton,
    Edit,              // one line, scrolling horizontally
    DropDownList,      // a combo box the user picks from but cannot type in
    OwnerDrawListBox,  // a list whose items the program draws, each its own height
    ProgressBar,
    EtchedLine,  // a horizontal separator
};

enum ControlStyle : unsigned {
    kLeft = 0,
    kCenter = 1u << 0,
    kRight = 1u << 1,
    kHidden = 1u << 2,  // created invisible
    kGroup = 1u << 3,   // starts a group
    kTabStop = 1u << 4,
    kDisabled = 1u << 5,
    // A text of the data (a path, a port, an identification, a status): an
    // '&' in it is shown as it is, not taken for a mnemonic.
    kData = 1u << 6,
};

inline constexpr int kNoId = -1;

// How a window is framed and shown.
enum WindowStyle : unsigned {
    kPage = 1u << 0,        // a page of a property sheet: a child of the sheet, created disabled
    kPopup = 1u << 1,       // a window of its own
    kCaption = 1u << 2,     // a title bar (a page's caption is what the sheet shows)
    kSystemMenu = 1u << 3,  // the window menu and its close box
    kModalFrame = 1u << 4,
    kDialogFrame = 1u << 5,   // a dialog's frame without a title bar
    kVisible = 1u << 6,       // shown when created
    kScreenCentre = 1u << 7,  // centred in the screen's working area
    kSystemModal = 1u << 8,
};

struct ControlTemplate {
    int id;
    ControlKind kind;
    const char* text;  // for pictures: the picture's resource name
    int x, y, width, height;
    unsigned style;
};

struct DialogTemplate {
    int id;
    unsigned windowStyle;
    const char* caption;  // empty for a window without a caption
    const char* fontName;
    int pointSize;
    int width, height;
    std::vector<ControlTemplate> controls;  // in tab order
};

// Picture resources.
inline constexpr char kBitmapWizard[] = "130";
inline constexpr char kBitmapAboutUp[] = "AboutU";
inline constexpr char kBitmapAboutDown[] = "AboutD";
inline constexpr char kIconApplication[] = "128";
inline constexpr char kIconInformation[] = "133";
inline constexpr char kIconQuestion[] = "134";
inline constexpr char kIconStop[] = "135";

// The template of an id; nullptr for an id that has none.
const DialogTemplate* FindDialogTemplate(int id);

// Every template, in the order of the table.
std::span<const DialogTemplate> AllDialogTemplates();
