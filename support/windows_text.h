// windows_text.h - text that Windows gives the programs driving the viewer: the system's wording of
// an error and a window's class name. Wide text converts through text_helpers.h, included here.
#ifndef SUPPORT_WINDOWS_TEXT_H
#define SUPPORT_WINDOWS_TEXT_H

#include <windows.h>

#include <string>

#include "text_helpers.h"

// The system's wording for an error code, as the viewer's error box shows it.
std::wstring SystemText(DWORD code);
// A window's class name.
std::wstring ClassName(HWND window);

#endif // SUPPORT_WINDOWS_TEXT_H
