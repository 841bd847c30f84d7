// bench_dialbook_win.cpp - the Dialbook library as the Windows viewer uses it: Dialbook.dll loaded by
// name at run time and its four entry points called through directory.h's pointer types. Times
// OpenDatabase and the searches of bench_dialbook.cpp (a search is a reset, then one call per match
// until none is left; those of wildcard_searches.h stop, as the viewer does, once 30001 matches have
// come) with QueryPerformanceCounter, and reports the process's memory around the open.
//
// Usage: bench_dialbook_win DATABASE [RUNS]     (default 7 runs, after one warm-up run)
// Prints one line per figure, "name value ...", times in milliseconds, for bench/run-library to read.
#include <windows.h>
#include <psapi.h>

#include <limits.h>
#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <vector>

#include "directory.h"
#include "record_helpers.h"
#include "wildcard_searches.h"

namespace {

const long long kViewerStop = 30001;   // the viewer stops at the match after its 30000th row

// The library's entry points, bound by name as the viewer binds them.
struct Library {
    OpenDatabaseFn       openDatabase;
    CloseDatabaseFn      closeDatabase;
    SearchInDatabaseFn   searchInDatabase;
    FillDatabaseRecordFn fillDatabaseRecord;
};

// A search of the benchmark: its name in the output and its key's one filled field.
struct SearchCase {
    const char *name;
    const char *phone;
    const char *surname;
    const char *street;
    const char *house;
};

// The keys of bench_dialbook.cpp, as Windows-1251 bytes.
const SearchCase kSearches[] = {
    { "surname_prefix",  NULL,  "\xCF\xE5\xF2\xF0\xEE\xE2", NULL,                   NULL },  // Петров
    { "surname_pattern", NULL,  "*\xEE\xE2*",               NULL,                   NULL },  // *ов*
    { "street_prefix",   NULL,  NULL,                       "\xD1\xE0\xE4\xEE\xE2", NULL },  // Садов
    { "phone_prefix",    "234", NULL,                       NULL,                   NULL },
    { "house",           NULL,  NULL,                       NULL,                   "12" },
};

// Loads Dialbook.dll and looks up its entry points; 1 on success, 0 with the reason printed.
int BindLibrary(Library *library)
{
    HMODULE module = LoadLibraryW(L"Dialbook.dll");
    if (module == NULL) {
        fprintf(stderr, "bench_dialbook_win: LoadLibraryW(Dialbook.dll) failed, error %lu\n", GetLastError());
        return 0;
    }
    FARPROC open   = GetProcAddress(module, "OpenDatabase");
    FARPROC close  = GetProcAddress(module, "CloseDatabase");
    FARPROC search = GetProcAddress(module, "SearchInDatabase");
    FARPROC fill   = GetProcAddress(module, "FillDatabaseRecord");
    if (open == NULL || close == NULL || search == NULL || fill == NULL) {
        fprintf(stderr, "bench_dialbook_win: Dialbook.dll lacks an entry point\n");
        return 0;
    }
    // Through void * because the entry points' types differ from FARPROC's.
    library->openDatabase       = (OpenDatabaseFn)(void *)open;
    library->closeDatabase      = (CloseDatabaseFn)(void *)close;
    library->searchInDatabase   = (SearchInDatabaseFn)(void *)search;
    library->fillDatabaseRecord = (FillDatabaseRecordFn)(void *)fill;
    return 1;
}

// Milliseconds between two readings of the performance counter.
double Milliseconds(LARGE_INTEGER start, LARGE_INTEGER end)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1000.0 * (double)(end.QuadPart - start.QuadPart) / (double)frequency.QuadPart;
}

// Prints "name median_ms M min_ms A max_ms B" for the times of the timed runs.
void PrintTimes(const char *name, std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    size_t n = times.size();
    double median = n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
    printf("%s median_ms %.3f min_ms %.3f max_ms %.3f\n", name, median, times.front(), times.back());
}

// Prints the process's memory counters in bytes under the given name.
void PrintMemory(const char *name)
{
    PROCESS_MEMORY_COUNTERS counters;
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) {
        printf("%s unknown\n", name);
        return;
    }
    printf("%s working_set %llu peak_working_set %llu pagefile %llu peak_pagefile %llu\n", name,
           (unsigned long long)counters.WorkingSetSize, (unsigned long long)counters.PeakWorkingSetSize,
           (unsigned long long)counters.PagefileUsage, (unsigned long long)counters.PeakPagefileUsage);
}

// Times OpenDatabase with nothing open, runs times after a warm-up; closing is not timed.
int TimeOpen(const Library &library, const wchar_t *path, int runs)
{
    std::vector<double> times;
    int count = 0;
    for (int run = 0; run <= runs; run++) {
        library.closeDatabase();
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        int opened = library.openDatabase(path, &count);
        QueryPerformanceCounter(&end);
        if (!opened) {
            fprintf(stderr, "bench_dialbook_win: OpenDatabase failed\n");
            return 0;
        }
        if (run > 0)
            times.push_back(Milliseconds(start, end));
    }
    PrintTimes("open", times);
    return 1;
}

// Times one search of key, runs times after a warm-up: a reset, then one call per match until none
// is left or stop matches have come; prints its times and match count under the given name.
void TimeSearch(const Library &library, const char *search_name, const DirectoryRecord &key, int filled,
                long long stop, int runs)
{
    DirectoryRecord result;
    std::vector<double> times;
    long long matches = 0;
    for (int run = 0; run <= runs; run++) {
        LARGE_INTEGER start, end;
        QueryPerformanceCounter(&start);
        library.searchInDatabase(NULL, NULL, 0);
        matches = 0;
        while (matches < stop && library.searchInDatabase(&result, &key, filled))
            matches++;
        QueryPerformanceCounter(&end);
        if (run > 0)
            times.push_back(Milliseconds(start, end));
    }
    char name[128];
    snprintf(name, sizeof name, "search %s matches %lld", search_name, matches);
    PrintTimes(name, times);
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    int runs = argc > 2 ? _wtoi(argv[2]) : 7;
    if (argc < 2 || argc > 3 || runs < 1) {
        fprintf(stderr, "Usage:\n\tbench_dialbook_win DATABASE [RUNS]\n");
        return 2;
    }
    Library library;
    if (!BindLibrary(&library))
        return 1;
    // The first open from a fresh process, so that the peak counters are the open's own.
    PrintMemory("memory_before_open");
    int count = 0;
    if (!library.openDatabase(argv[1], &count)) {
        fprintf(stderr, "bench_dialbook_win: OpenDatabase failed\n");
        return 1;
    }
    PrintMemory("memory_after_open");
    printf("records %d\n", count);
    printf("pointer_bits %d\n", (int)(8 * sizeof(void *)));
    if (!TimeOpen(library, argv[1], runs))
        return 1;
    for (const SearchCase &search : kSearches) {
        DirectoryRecord key;
        library.fillDatabaseRecord(&key, search.phone, search.surname, NULL, NULL, search.street, search.house,
                                   NULL, NULL);
        TimeSearch(library, search.name, key, 1, LLONG_MAX, runs);
    }
    for (const WildcardSearch &search : kWildcardSearches)
        TimeSearch(library, search.name, MakeKey(search.fields), (int)search.fields.size(), kViewerStop, runs);
    library.closeDatabase();
    return 0;
}
