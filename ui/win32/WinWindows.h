#pragma once
// What the Win32 windows share: the program's resources by their names in
// the templates, the message boxes, and the message pump of the waits.

#include "base/UserInterface.h"

#include <windows.h>

#include <span>
#include <string>

// A resource named as the templates name it: a name of digits only is the
// resource's number.
LPCSTR ResourceName(const char* name);

// The bytes of one of the program's resources, as the resource compiler
// wrote them; empty when there is none.
std::span<const char> ResourceBytes(LPCSTR name, LPCSTR type);

// A message box owned by owner (the active window of the program when
// null), with the icon and buttons asked for; Yes/No has No as default.
MsgResult ShowMessageBox(HWND owner, const std::string& caption, const std::string& text, MsgIcon icon,
                         MsgButtons buttons);

// Keyboard and mouse input: what a person does, as opposed to what the
// windows and the system say to each other.
bool IsPersonInput(const MSG& message);

// Handles the messages that are waiting, so that the windows stay painted
// and answer the system; what a person typed or clicked meanwhile is thrown
// away. False when the program was asked to quit (the request is put back
// for the loop that owns it).
bool PumpDiscardingInput();

// Throws away the input that waits for this thread's windows, handling
// nothing else.
void DiscardInput();

// The text of a window or of a dialog's control.
std::string WindowText(HWND window);

// Moves a window so that it is centred over its owner (over the working
// area of its monitor when it has none), kept inside that working area.
void CentreOverOwner(HWND window);
