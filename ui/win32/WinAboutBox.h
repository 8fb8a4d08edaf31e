#pragma once
// The About box on Windows: product name and version, company name and
// slogan, as the settings file gave them at start-up.

#include <windows.h>

class CAboutBox {
public:
    // Shows the box, owned by owner, until OK, Return or Esc.
    static void DoModal(HWND owner);

private:
    static INT_PTR CALLBACK DialogProc(HWND box, UINT message, WPARAM wParam, LPARAM lParam);
};
