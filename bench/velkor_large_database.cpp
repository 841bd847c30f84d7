// Starts velkor.exe on a large telbase.txt, as a user would, and reports what it takes: the time from
// the start until the count box comes, the box's text, the process's peak memory, and then one search
// by a phone prefix, its time and the phones of its rows, top row first. Not a test:
// bench/largest-database runs it on the largest generated database that fits.
// Usage: velkor_large_database FOLDER PHONE_PREFIX   (FOLDER holds velkor.exe, Dialbook.dll, telbase.txt)
#include <windows.h>
#include <psapi.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "record_fields.h"
#include "velkor_driver.h"

namespace {

// Seconds since start, by the performance counter.
double SecondsSince(const LARGE_INTEGER &start)
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return double(now.QuadPart - start.QuadPart) / double(frequency.QuadPart);
}

// The viewer's peak memory so far: its working set and its committed private bytes.
void PrintPeakMemory(const ViewerRun &run)
{
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (GetProcessMemoryInfo(run.process.hProcess, &counters, sizeof counters))
        printf("peak working set: %.1f MB\npeak committed: %.1f MB\n", counters.PeakWorkingSetSize / 1e6,
               counters.PeakPagefileUsage / 1e6);
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: velkor_large_database FOLDER PHONE_PREFIX\n");
        return 2;
    }
    LARGE_INTEGER start;
    QueryPerformanceCounter(&start);
    ViewerRun run;
    if (!StartViewer(argv[1], &run))
        return 1;
    HWND main = WaitForMainWindow(run, 60000);
    ForeignBox box;
    if (main == NULL || !WaitForBox(run, &box, 600000)) {
        fprintf(stderr, "velkor.exe showed no %s\n", main == NULL ? "main window" : "start-up box");
        KillViewer(&run);
        return 1;
    }
    printf("start-up box after %.2f s: \"%s\" under \"%s\"\n", SecondsSince(start), Utf8FromWide(box.text).c_str(),
           Utf8FromWide(box.caption).c_str());
    PrintPeakMemory(run);
    AnswerBox(box);

    ViewerControls controls = FindControls(main);
    LARGE_INTEGER pressed;
    QueryPerformanceCounter(&pressed);
    std::vector<ForeignBox> boxes = SearchFor(run, controls, {Utf8FromWide(argv[2])});
    printf("search for phones from %s: %d rows in %.3f s, %zu message boxes\n", Utf8FromWide(argv[2]).c_str(),
           RowCount(controls.list), SecondsSince(pressed), boxes.size());
    for (const std::vector<std::wstring> &row : ReadRows(run, controls.list))
        printf("row %s\n", Utf8FromWide(row[FIELD_PHONE]).c_str());
    PrintPeakMemory(run);
    Press(controls.exit);
    return WaitForExit(&run, 60000) == 0 && boxes.empty() ? 0 : 1;
}
