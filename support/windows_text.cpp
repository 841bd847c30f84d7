// windows_text.cpp - the system's error wording and window class names, as wide text.
#include "windows_text.h"

std::wstring SystemText(DWORD code)
{
    wchar_t *text = NULL;
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL,
                   code, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), reinterpret_cast<wchar_t *>(&text), 0, NULL);
    std::wstring result = text != NULL ? text : L"";
    LocalFree(text);
    return result;
}

std::wstring ClassName(HWND window)
{
    wchar_t name[64] = {0};
    GetClassNameW(window, name, 64);
    return name;
}
