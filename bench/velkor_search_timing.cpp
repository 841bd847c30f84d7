// Measures how long velkor takes from the search button's press until its list holds 30000 rows,
// on a database of 1,000,000 entries, 30000 of which match. bench/fill-bench runs it.
#include <stdio.h>

#include <algorithm>
#include <string>
#include <vector>

#include "record_fields.h"
#include "record_helpers.h"
#include "velkor_driver.h"

namespace {

const int ENTRIES = 1000000;
const int MATCHES = 30000;

// Every 33rd entry, up to MATCHES of them, has the surname searched for; the others have common ones.
std::vector<std::string> MeasurementDatabase()
{
    static const char *const surnames[] = { "Иванов", "Смирнова", "Кузнецов", "Попова", "Васильев", "Петрова",
                                            "Соколов", "Михайлова", "Новиков", "Фёдорова" };
    static const char *const streets[] = { "Ленина", "Садовая", "Мира", "Школьная", "Лесная", "Набережная" };
    std::vector<std::string> lines;
    lines.reserve(ENTRIES);
    int marked = 0;
    for (int i = 0; i < ENTRIES; i++) {
        bool mark = i % 33 == 0 && marked < MATCHES;
        marked += mark ? 1 : 0;
        std::string surname = mark ? "Замеров" : surnames[i % 10];
        lines.push_back(JoinFields({std::to_string(2000000 + i), surname, "Иван", "Петрович", streets[i % 6],
                                    std::to_string(i % 150 + 1), "", std::to_string(i % 300 + 1)}));
    }
    return lines;
}

} // namespace

int main(int argc, char **argv)
{
    int rounds = argc > 1 ? atoi(argv[1]) : 5;
    std::wstring folder = MakeScratchFolder(L"timing", true);
    WriteDatabase(folder + L"\\telbase.txt", MeasurementDatabase());
    ViewerRun run;
    if (!StartViewer(folder, &run))
        return 1;
    HWND main = WaitForMainWindow(run, 60000);
    ForeignBox box;
    if (main == NULL || !WaitForBox(run, &box, 60000)) {
        KillViewer(&run);
        return 1;
    }
    printf("start-up: %s\n", Utf8FromWide(box.text).c_str());
    AnswerBox(box);
    ViewerControls controls = FindControls(main);
    SetText(controls.edits[FIELD_SURNAME], WideFromUtf8("Замеров"));
    std::vector<double> times;
    for (int r = 0; r < rounds; r++) {
        LARGE_INTEGER frequency, start, end;
        QueryPerformanceFrequency(&frequency);
        QueryPerformanceCounter(&start);
        DWORD_PTR result = 0;
        SendMessageTimeoutW(controls.search, BM_CLICK, 0, 0, SMTO_NORMAL, 600000, &result);
        int rows = RowCount(controls.list);
        QueryPerformanceCounter(&end);
        double seconds = double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart);
        times.push_back(seconds);
        printf("round %d: %d rows in %.3f s\n", r + 1, rows, seconds);
        if (rows != MATCHES || AnyDialogOf(run)) {
            printf("unexpected: %d rows, dialog %d\n", rows, AnyDialogOf(run) ? 1 : 0);
            KillViewer(&run);
            return 1;
        }
    }
    std::sort(times.begin(), times.end());
    printf("median of %d: %.3f s, best %.3f s, worst %.3f s\n", rounds, times[times.size() / 2], times.front(),
           times.back());
    Press(controls.exit);
    return WaitForExit(&run) == 0 ? 0 : 1;
}
