// A 32-bit program that is not large-address-aware, so it has 2 GB of addresses: binds Dialbook.dll
// as the viewer does, opens a database too large for that, which must be refused, then a smaller one,
// which must open and be searched. Not a test: bench/largest-database runs it.
// Usage: open_without_large_addresses LARGE_DATABASE SMALL_DATABASE
#include <windows.h>

#include <stdio.h>
#include <string.h>

#include "directory.h"

// Seconds since start, by the performance counter.
static double SecondsSince(const LARGE_INTEGER &start)
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return double(now.QuadPart - start.QuadPart) / double(frequency.QuadPart);
}

int wmain(int argc, wchar_t **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: open_without_large_addresses LARGE_DATABASE SMALL_DATABASE\n");
        return 2;
    }
    HMODULE library = LoadLibraryW(L"Dialbook.dll");
    OpenDatabaseFn open = library ? (OpenDatabaseFn)(void *)GetProcAddress(library, "OpenDatabase") : NULL;
    SearchInDatabaseFn search = library ? (SearchInDatabaseFn)(void *)GetProcAddress(library, "SearchInDatabase") : NULL;
    if (open == NULL || search == NULL) {
        fprintf(stderr, "Dialbook.dll or its entry points are missing\n");
        return 1;
    }
    MEMORYSTATUSEX status;
    status.dwLength = sizeof status;
    GlobalMemoryStatusEx(&status);
    printf("address space: %llu MB in all, %llu MB free\n", status.ullTotalVirtual >> 20, status.ullAvailVirtual >> 20);

    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    int count = -1;
    int large_opened = open(argv[1], &count);
    printf("large database: %s after %.3f s\n", large_opened ? "OPENED" : "refused", SecondsSince(start));

    QueryPerformanceCounter(&start);
    int opened = open(argv[2], &count);
    printf("small database: %s, %d records, after %.3f s\n", opened ? "opened" : "REFUSED", count, SecondsSince(start));
    DirectoryRecord key, result;
    memset(&key, 0, sizeof key);
    strcpy(key.surname, "\xCF\xE5\xF2\xF0\xEE\xE2");   // Петров
    long matches = 0;
    search(NULL, NULL, 0);
    while (search(&result, &key, 1))
        matches++;
    printf("search \"Петров\" in it: %ld matches\n", matches);
    return large_opened || !opened || matches == 0;
}
