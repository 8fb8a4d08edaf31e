#pragma once
// The wizard's bitmaps at the size of the display: each picture comes in the
// sizes that pictures/bitmaps.txt renders from its drawing, and a window
// shows the largest one that fits the room its template gives it, measured
// in the window's own font (and so in the display's dots per inch).

#include <windows.h>

// The picture named as the templates name it (kBitmapWizard, ...), in its
// largest size whose width and height both fit within width x height
// pixels; its smallest size where none fits. Null when the program has no
// such picture. The caller deletes the bitmap.
HBITMAP LoadPictureToFit(const char* name, int width, int height);

// Every bitmap control of a dialog made from the template templateId gets
// the size of its picture that fits the control's rectangle in the dialog's
// font. A bitmap control sizes itself to its picture, so the picture stays
// whole inside the dialog. Call once the dialog's controls exist.
void FitDialogPictures(HWND dialog, int templateId);

// Deletes the bitmaps that FitDialogPictures gave the dialog's controls;
// for WM_DESTROY.
void ReleaseDialogPictures(HWND dialog, int templateId);
