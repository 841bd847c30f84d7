// Text helpers shared by the viewer's test programs: UTF-8 and UTF-16, and the system's error wording.
#include "windows_text.h"

std::string Utf8(const std::wstring &text)
{
    std::string out(text.size() * 4 + 1, '\0');
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &out[0],
                                static_cast<int>(out.size()), NULL, NULL);
    out.resize(n > 0 ? n : 0);
    return out;
}

std::wstring Wide(const std::string &utf8)
{
    std::wstring out(utf8.size() + 1, L'\0');
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), static_cast<int>(utf8.size()), &out[0],
                                static_cast<int>(out.size()));
    out.resize(n > 0 ? n : 0);
    return out;
}

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
