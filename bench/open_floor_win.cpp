// open_floor_win.cpp - the least an open of a database can take under Windows (under Wine, here),
// for any library that holds the records in memory of its own: read the file on two threads, a half
// each through a 256 KB buffer as Dialbook does, and bring the memory the open database holds into
// being (fresh pages, taken from the system and touched), with nothing parsed. Dialbook holds about
// 1.3 times the file of typical lines: the text of the fields (here the file less the separators of
// a typical line, copied) and a fixed share a record (RECORD_FIXED_BYTES of dialbook/database_store.h
// for each typical line, one byte a page touched).
//
// Usage: open_floor_win DATABASE [RUNS]     (default 7 runs, after one warm-up run)
// Prints "floor median_ms M min_ms A max_ms B" for bench/run-library.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <vector>

#include "database_store.h"

namespace {

const DWORD kChunk = 256 * 1024;
const size_t kTypicalLine = 56;   // bytes of a generated database line (dirgen), on average

// What the open keeps of bytes of typical lines: their text without the separators, and the fixed
// bytes of their records.
size_t TextKept(size_t bytes) { return bytes - bytes * (RECORD_FIELDS - 1) / kTypicalLine; }
size_t FixedBytes(size_t bytes) { return (size_t)(bytes * RECORD_FIXED_BYTES / kTypicalLine); }

// One thread's half of the file and the fresh memory it fills.
struct Half {
    HANDLE             file;
    unsigned long long start, end;
    char              *chunk, *text, *arrays;
};

DWORD WINAPI ReadHalf(LPVOID argument)
{
    Half *half = static_cast<Half *>(argument);
    char *text = half->text;
    size_t arrays = 0;
    for (unsigned long long offset = half->start; offset < half->end;) {
        OVERLAPPED at = {};
        at.Offset = (DWORD)offset;
        at.OffsetHigh = (DWORD)(offset >> 32);
        DWORD want = half->end - offset < kChunk ? (DWORD)(half->end - offset) : kChunk, got = 0;
        if (!ReadFile(half->file, half->chunk, want, &got, &at) || got == 0)
            break;
        size_t kept = TextKept(got), fixed = FixedBytes(got);
        memcpy(text, half->chunk, kept);
        text += kept;
        for (size_t i = 0; i < fixed; i += 4096)
            half->arrays[arrays + i] = 1;
        arrays += fixed;
        offset += got;
    }
    return 0;
}

char *Fresh(size_t bytes)
{
    return static_cast<char *>(VirtualAlloc(NULL, bytes + 4096, MEM_RESERVE | MEM_COMMIT | MEM_TOP_DOWN, PAGE_READWRITE));
}

// One floor open of the file at path: milliseconds, or -1 when it cannot be read.
double FloorOpen(const wchar_t *path)
{
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    LARGE_INTEGER size;
    if (file == INVALID_HANDLE_VALUE || !GetFileSizeEx(file, &size))
        return -1;
    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    unsigned long long middle = (unsigned long long)size.QuadPart / 2;
    Half halves[2] = {{file, 0, middle, NULL, NULL, NULL}, {file, middle, (unsigned long long)size.QuadPart, NULL, NULL, NULL}};
    for (Half &half : halves) {
        half.chunk = Fresh(kChunk);
        half.text = Fresh(half.end - half.start);
        half.arrays = Fresh(FixedBytes(half.end - half.start) + kChunk);
    }
    HANDLE second = CreateThread(NULL, 0, ReadHalf, &halves[1], 0, NULL);
    ReadHalf(&halves[0]);
    WaitForSingleObject(second, INFINITE);
    QueryPerformanceCounter(&end);
    CloseHandle(second);
    for (Half &half : halves) {
        VirtualFree(half.chunk, 0, MEM_RELEASE);
        VirtualFree(half.text, 0, MEM_RELEASE);
        VirtualFree(half.arrays, 0, MEM_RELEASE);
    }
    CloseHandle(file);
    return 1000.0 * (double)(end.QuadPart - start.QuadPart) / (double)frequency.QuadPart;
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    int runs = argc > 2 ? _wtoi(argv[2]) : 7;
    if (argc < 2 || argc > 3 || runs < 1) {
        fprintf(stderr, "Usage:\n\topen_floor_win DATABASE [RUNS]\n");
        return 2;
    }
    std::vector<double> times;
    for (int run = 0; run <= runs; run++) {
        double ms = FloorOpen(argv[1]);
        if (ms < 0) {
            fprintf(stderr, "open_floor_win: cannot read the file\n");
            return 1;
        }
        if (run > 0)
            times.push_back(ms);
    }
    std::sort(times.begin(), times.end());
    size_t n = times.size();
    double median = n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
    printf("floor median_ms %.3f min_ms %.3f max_ms %.3f\n", median, times.front(), times.back());
    return 0;
}
