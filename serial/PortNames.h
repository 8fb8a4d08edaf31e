#pragma once
// Port names and the devices behind them.
//
// On Linux a port is named COM1 to COM256, in any letter case, as on Windows. COMn is looked
// up in the port directory: the directory named by FLASHLOADER_PORTS if that
// is set, else $XDG_CONFIG_HOME/flashloader/ports (by default
// ~/.config/flashloader/ports). An entry there named COMn is a symbolic link
// to the device (/dev/ttyUSB0, /dev/pts/4, ...). A COMn without an entry is
// /dev/ttyS(n-1). An absolute device path is taken as it is.
//
// The directory decides which device gets the firmware, so it must be the
// user's alone: one that other users may write (group- or other-writable
// without the sticky bit), or that belongs to a user other than this one or
// root, is not used at all, and in a sticky one only the user's own entries
// are. A COMn refused so is neither its entry nor /dev/ttyS(n-1).
//
// On Windows a port carries the name the system gave it (COM1, COM12, ...)
// and is opened as \\.\NAME in the device namespace; a path that is in
// that namespace already is taken as it is. There is no port directory.

#include <string>
#include <string_view>

// The port directory (which need not exist yet). Empty on Windows.
std::string PortDirectory();

// Makes the port directory with every missing folder above it, as mkdir -p
// does; folders it makes are the user's alone (0700), as configuration
// folders should be. False, with the reason in error, when it cannot, and
// always on Windows.
bool MakePortDirectory(std::string& error);

// The highest COM number a port can have.
inline constexpr int kMaxComPortNumber = 256;

// 1 to 256 for a port name COM1 to COM256 in any letter case (no leading
// zeros), else 0.
int ComPortNumber(std::string_view portName);

// The canonical spelling of COMn: "COM" and the digit.
std::string ComPortName(int number);

// The path to open for a port name: the entry in the port directory, the
// serial device it stands for by default, or the absolute path given; on
// Windows the name in the device namespace. Empty for a name that is none
// of these, and for a COMn that PortNameRefusal refuses.
std::string ResolvePortDevice(std::string_view portName);

// Why the port directory as a whole cannot be trusted with COM names (other
// users may write it, or it belongs to another user), in one sentence that
// names it and the fix; empty when it can, when it does not exist yet, and
// on Windows.
std::string PortDirectoryRefusal();

// Why COMn is not looked up: PortDirectoryRefusal, or its entry belongs to
// another user. One sentence naming the directory or the entry and the fix;
// empty for a name that may be used, for device paths, and on Windows.
std::string PortNameRefusal(std::string_view portName);

// The entry's part of PortNameRefusal alone, for a caller that has asked
// PortDirectoryRefusal once already.
std::string PortEntryRefusal(std::string_view portName);
