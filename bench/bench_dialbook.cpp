// bench_dialbook.cpp - Google Benchmark cases for the Dialbook library, through directory.h only:
// opening a database file, a search on each kind of field walking all its matches, the searches
// without a literal first byte of wildcard_searches.h stopping where the viewer stops, and the memory
// an open database holds. Keys hold Windows-1251 bytes, as the viewer passes them.
//
// Usage: bench_dialbook DATABASE [--benchmark_... options]
// bench/run-library builds it, generates the database and runs it beside its peers.
#include "directory.h"
#include "record_helpers.h"
#include "wildcard_searches.h"

#include <benchmark/benchmark.h>

#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

namespace {

const int kViewerStop = 30001;   // the viewer stops at the match after its 30000th row

// What every case needs: the database file, as the library takes its path.
struct BenchState {
    std::u16string path;         // UTF-16 path of the database file
    const char    *path_utf8;    // the same path as given on the command line
    long long      file_bytes;   // the file's size
    int            count;        // records OpenDatabase reported
} g_bench;

// One line of /proc/self/status ("VmRSS:", "VmHWM:") in bytes, or -1.
long long StatusBytes(const char *field)
{
    FILE *file = fopen("/proc/self/status", "r");
    if (file == nullptr)
        return -1;
    char line[256];
    long long kilobytes = -1;
    while (fgets(line, sizeof line, file) != nullptr)
        if (strncmp(line, field, strlen(field)) == 0)
            sscanf(line + strlen(field), "%lld", &kilobytes);
    fclose(file);
    return kilobytes < 0 ? -1 : kilobytes * 1024;
}

// Makes the peak resident size start again from the current one; 1 when the system allows it.
int ResetPeakResident()
{
    FILE *file = fopen("/proc/self/clear_refs", "w");
    if (file == nullptr)
        return 0;
    int ok = fputs("5", file) >= 0;
    return fclose(file) == 0 && ok;
}

// A key with one field set; the other fields are empty.
DirectoryRecord Key(const char *phone, const char *surname, const char *street, const char *house)
{
    DirectoryRecord key;
    FillDatabaseRecord(&key, phone, surname, nullptr, nullptr, street, house, nullptr, nullptr);
    return key;
}

// ---------------------------------------------------------------- cases

// OpenDatabase on the file with nothing open; closing the previous iteration's database is not timed.
void BM_OpenDatabase(benchmark::State &state)
{
    int count = 0;
    for (auto _ : state) {
        state.PauseTiming();
        CloseDatabase();
        state.ResumeTiming();
        if (!OpenDatabase(g_bench.path.c_str(), &count))
            state.SkipWithError("OpenDatabase failed");
        benchmark::DoNotOptimize(count);
    }
    state.SetBytesProcessed((int64_t)state.iterations() * g_bench.file_bytes);
    state.counters["records"] = count;
}

// One search as the viewer runs it: reset, then next until no match is left.
void BM_Search(benchmark::State &state, DirectoryRecord key)
{
    DirectoryRecord result;
    long long matches = 0;
    for (auto _ : state) {
        SearchInDatabase(nullptr, nullptr, 0);
        matches = 0;
        while (SearchInDatabase(&result, &key, 1))
            matches++;
        benchmark::DoNotOptimize(result);
    }
    state.counters["matches"] = (double)matches;
}

// One search as the viewer runs it: reset, then next until no match is left or the viewer's stop has
// come; filled is the number of the key's fields that hold text, as the viewer counts them.
void BM_ViewerSearch(benchmark::State &state, DirectoryRecord key, int filled)
{
    DirectoryRecord result;
    long long matches = 0;
    for (auto _ : state) {
        SearchInDatabase(nullptr, nullptr, 0);
        matches = 0;
        while (matches < kViewerStop && SearchInDatabase(&result, &key, filled))
            matches++;
        benchmark::DoNotOptimize(result);
    }
    state.counters["matches"] = (double)matches;
}

// Memory held by an open database: the private memory the process maps (VmData: what malloc hands
// out and the blocks the library maps itself), and resident memory, after OpenDatabase minus before
// it; also the peak during the open. Ratios are to the file's size.
void BM_MemoryHeld(benchmark::State &state)
{
    long long mapped = 0, resident = 0, peak = -1;
    for (auto _ : state) {
        CloseDatabase();
        long long mapped_before = StatusBytes("VmData:");
        long long resident_before = StatusBytes("VmRSS:");
        int peak_known = ResetPeakResident();
        if (!OpenDatabase(g_bench.path.c_str(), &g_bench.count))
            state.SkipWithError("OpenDatabase failed");
        mapped = StatusBytes("VmData:") - mapped_before;
        resident = StatusBytes("VmRSS:") - resident_before;
        peak = peak_known ? StatusBytes("VmHWM:") - resident_before : -1;
    }
    state.counters["private_bytes"] = (double)mapped;
    state.counters["private_ratio"] = (double)mapped / (double)g_bench.file_bytes;
    state.counters["rss_bytes"] = (double)resident;
    state.counters["rss_ratio"] = (double)resident / (double)g_bench.file_bytes;
    state.counters["peak_bytes"] = (double)peak;
    state.counters["file_bytes"] = (double)g_bench.file_bytes;
}

}  // namespace

// The keys, as Windows-1251 bytes.
BENCHMARK_CAPTURE(BM_Search, surname_prefix, Key(nullptr, "\xCF\xE5\xF2\xF0\xEE\xE2", nullptr, nullptr))  // Петров
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Search, surname_pattern, Key(nullptr, "*\xEE\xE2*", nullptr, nullptr))  // *ов*
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Search, street_prefix, Key(nullptr, nullptr, "\xD1\xE0\xE4\xEE\xE2", nullptr))  // Садов
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Search, phone_prefix, Key("234", nullptr, nullptr, nullptr))
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_Search, house, Key(nullptr, nullptr, nullptr, "12"))
    ->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_OpenDatabase)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_MemoryHeld)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char **argv)
{
    // Registered here rather than by BENCHMARK_CAPTURE, since their keys live in one shared table;
    // run names "BM_ViewerSearch/NAME/real_time", which bench/run-library reads.
    for (const WildcardSearch &search : kWildcardSearches)
        benchmark::RegisterBenchmark((std::string("BM_ViewerSearch/") + search.name).c_str(), BM_ViewerSearch,
                                     MakeKey(search.fields), (int)search.fields.size())
            ->Unit(benchmark::kMillisecond)
            ->UseRealTime();
    benchmark::Initialize(&argc, argv);
    struct stat info;
    if (argc != 2 || stat(argv[1], &info) != 0) {
        fprintf(stderr, "Usage:\n\tbench_dialbook DATABASE [--benchmark_... options]\n");
        return 2;
    }
    g_bench.path_utf8 = argv[1];
    g_bench.path = LibraryPath(argv[1]);
    g_bench.file_bytes = (long long)info.st_size;
    if (!OpenDatabase(g_bench.path.c_str(), &g_bench.count)) {
        fprintf(stderr, "bench_dialbook: OpenDatabase failed on %s\n", argv[1]);
        return 1;
    }
    printf("database %s: %d records, %lld bytes\n", g_bench.path_utf8, g_bench.count, g_bench.file_bytes);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    CloseDatabase();
    return 0;
}
