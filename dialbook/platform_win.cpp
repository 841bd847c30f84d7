/* platform_win.cpp - the library's system layer on Windows.
 * Paths go to CreateFileW as they are; letter case comes from the system's ANSI code page.
 * Defines the functions of platform.h.
 */
#ifdef _WIN32

#include "platform.h"

#include <windows.h>
#include <string.h>

/* The file's size and when its data was last written, from its handle; 0 when the system cannot say. */
static int FileStamp(HANDLE h, uint64_t *size, uint64_t *written)
{
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h, &info))
        return 0;
    *size = (uint64_t)info.nFileSizeHigh << 32 | info.nFileSizeLow;
    *written = (uint64_t)info.ftLastWriteTime.dwHighDateTime << 32 | info.ftLastWriteTime.dwLowDateTime;
    return 1;
}

/* Shared for reading and deleting only: no program may write to the file while it is read, and one
 * that has it open for writing makes this open fail. The handle goes at the end of the open, so the
 * converter can write the file again between two loads. */
int PlatformOpenFile(const DirectoryPathChar *path, PlatformFile *file, uint64_t *size)
{
    HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, NULL, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    if (GetFileType(h) != FILE_TYPE_DISK || !FileStamp(h, &file->size, &file->written) ||
        file->size > (uint64_t)INT64_MAX) {
        CloseHandle(h);
        return 0;
    }
    file->handle = (intptr_t)h;
    file->changed = 0;
    *size = file->size;
    return 1;
}

/* The share mode keeps Windows programs from writing; under Wine a Linux program is not kept out. */
int PlatformFileChanged(PlatformFile *file)
{
    uint64_t size, written;
    return !FileStamp((HANDLE)file->handle, &size, &written) || size != file->size || written != file->written;
}

long PlatformReadFileAt(PlatformFile *file, char *buffer, size_t bytes, uint64_t offset)
{
    DWORD got = 0;
    DWORD want = bytes > (1u << 30) ? (1u << 30) : (DWORD)bytes;
    OVERLAPPED at;
    memset(&at, 0, sizeof at);
    at.Offset = (DWORD)offset;
    at.OffsetHigh = (DWORD)(offset >> 32);
    if (!ReadFile((HANDLE)file->handle, buffer, want, &got, &at))
        return GetLastError() == ERROR_HANDLE_EOF ? 0 : -1;
    return (long)got;
}

void PlatformCloseFile(PlatformFile *file)
{
    CloseHandle((HANDLE)file->handle);
    file->handle = (intptr_t)INVALID_HANDLE_VALUE;
}

/* What a new thread runs: the work and its argument, handed over by PlatformStartThread. */
typedef struct ThreadStart {
    void (*work)(void *);
    void *argument;
} ThreadStart;

static DWORD WINAPI RunThread(LPVOID start)
{
    ThreadStart job = *(ThreadStart *)start;
    HeapFree(GetProcessHeap(), 0, start);
    job.work(job.argument);
    return 0;
}

int PlatformStartThread(PlatformThread *thread, void (*work)(void *), void *argument)
{
    ThreadStart *start = (ThreadStart *)HeapAlloc(GetProcessHeap(), 0, sizeof *start);
    if (start == NULL)
        return 0;
    start->work = work;
    start->argument = argument;
    HANDLE handle = CreateThread(NULL, 0, RunThread, start, 0, NULL);
    if (handle == NULL) {
        HeapFree(GetProcessHeap(), 0, start);
        return 0;
    }
    thread->handle = (intptr_t)handle;
    return 1;
}

void PlatformJoinThread(PlatformThread *thread)
{
    WaitForSingleObject((HANDLE)thread->handle, INFINITE);
    CloseHandle((HANDLE)thread->handle);
}

/* Large pages need a privilege a desktop user seldom has: ordinary pages it is. Blocks are taken
 * from the top of the address space, which keeps the low addresses, where the C runtime's heap grows,
 * in one piece; in a large-address-aware 32-bit program that puts them above 2 GB. */
void *PlatformAllocateBlock(size_t bytes)
{
    if (bytes == 0)
        return NULL;
    return VirtualAlloc(NULL, bytes, MEM_RESERVE | MEM_COMMIT | MEM_TOP_DOWN, PAGE_READWRITE);
}

/* The pages past keep are decommitted: their memory goes back; their addresses stay the block's. */
size_t PlatformShrinkBlock(void *block, size_t bytes, size_t keep)
{
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    size_t page = info.dwPageSize;
    size_t whole = (bytes + page - 1) / page * page;
    size_t kept = (keep + page - 1) / page * page;
    if (kept >= whole)
        return bytes;
    VirtualFree((char *)block + kept, whole - kept, MEM_DECOMMIT);
    return kept;
}

void PlatformFreeBlock(void *block, size_t bytes)
{
    (void)bytes;   /* the whole reservation goes at once */
    if (block != NULL)
        VirtualFree(block, 0, MEM_RELEASE);
}

/* Free addresses of the process, and what the system can still commit: memory and page file. */
uint64_t PlatformMemoryLeft(void)
{
    MEMORYSTATUSEX status;
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status))
        return UINT64_MAX;
    return status.ullAvailVirtual < status.ullAvailPageFile ? status.ullAvailVirtual : status.ullAvailPageFile;
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
