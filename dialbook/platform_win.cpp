/* platform_win.cpp - the library's system layer on Windows.
 * Paths go to CreateFileW as they are; letter case comes from the system's ANSI code page.
 * Defines the functions of platform.h.
 */
#ifdef _WIN32

#include "platform.h"

#include <windows.h>

int PlatformOpenFile(const DirectoryPathChar *path, PlatformFile *file, uint64_t *size)
{
    HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    LARGE_INTEGER length;
    if (GetFileType(h) != FILE_TYPE_DISK || !GetFileSizeEx(h, &length) || length.QuadPart < 0) {
        CloseHandle(h);
        return 0;
    }
    file->handle = (intptr_t)h;
    *size = (uint64_t)length.QuadPart;
    return 1;
}

long PlatformReadFile(PlatformFile *file, char *buffer, size_t bytes)
{
    DWORD got = 0;
    DWORD want = bytes > (1u << 30) ? (1u << 30) : (DWORD)bytes;
    if (!ReadFile((HANDLE)file->handle, buffer, want, &got, NULL))
        return -1;
    return (long)got;
}

void PlatformCloseFile(PlatformFile *file)
{
    CloseHandle((HANDLE)file->handle);
    file->handle = (intptr_t)INVALID_HANDLE_VALUE;
}

/* Each byte through Unicode and back: the ANSI code page's own idea of lowercase. */
void PlatformLowercaseTable(unsigned char lower[256])
{
    for (int b = 0; b < 256; b++) {
        char in = (char)b;
        WCHAR wide = 0, folded = 0;
        char out = 0;
        BOOL lossy = FALSE;
        lower[b] = (unsigned char)b;
        if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, &in, 1, &wide, 1) != 1)
            continue;
        if (LCMapStringW(LOCALE_SYSTEM_DEFAULT, LCMAP_LOWERCASE, &wide, 1, &folded, 1) != 1)
            continue;
        if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &folded, 1, &out, 1, NULL, &lossy) == 1 && !lossy)
            lower[b] = (unsigned char)out;
    }
}

int PlatformByteForUnicode(unsigned int codepoint)
{
    WCHAR wide = (WCHAR)codepoint;
    char out = 0;
    BOOL lossy = FALSE;
    if (codepoint > 0xFFFF)
        return -1;
    if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, &wide, 1, &out, 1, NULL, &lossy) != 1 || lossy)
        return -1;
    return (unsigned char)out;
}

#endif /* _WIN32 */
