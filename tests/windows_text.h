// Text helpers shared by the viewer's test programs: UTF-8 and UTF-16, and the system's error wording.
#ifndef WINDOWS_TEXT_H
#define WINDOWS_TEXT_H

#include <windows.h>

#include <string>

std::string Utf8(const std::wstring &text);
std::wstring Wide(const std::string &utf8);
// The system's wording for an error code, as the viewer's error box shows it.
std::wstring SystemText(DWORD code);
// A window's class name.
std::wstring ClassName(HWND window);

#endif
