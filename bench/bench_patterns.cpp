// bench_patterns.cpp - the pattern matcher's worst case: keys such as "*а*а*а*б*а*", which a
// backtracking matcher pays for exponentially, searched over a database whose surnames are all
// long runs of "а" and all different (so no verdict can be remembered). The time per record must
// grow with the key's length about linearly. A plain backtracking matcher on the same texts is
// measured beside it, for scale.
//
// Usage: bench_patterns [--benchmark_... options]   (writes its database to the temporary folder)
#include "directory.h"
#include "record_fields.h"
#include "record_helpers.h"

#include <benchmark/benchmark.h>

#include <stdio.h>
#include <string.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace {

const int kRecords = 200000;
const char kA = '\xE0';   // "а" in Windows-1251
const char kB = '\xE1';   // "б"

// The surname of record i, as long as the field holds: letters "а", one "б" and a six-digit number.
std::string Surname(int i)
{
    char digits[8];
    snprintf(digits, sizeof digits, "%06d", i);
    return std::string(kFieldSpecs[FIELD_SURNAME].longest - 1 - 6, kA) + kB + digits;
}

// The key "*а" repeated pairs times, then "*б*а*": every letter of it is in every surname, yet no
// surname matches, since no "а" follows the "б"; a matcher learns that only at the text's end. It
// ends with a star, so that no test of the field's last bytes can rule a surname out unread.
std::string Pattern(int pairs)
{
    std::string key;
    for (int i = 0; i < pairs; i++)
        key += std::string("*") + kA;
    return key + "*" + kB + "*" + kA + "*";
}

// Writes the database and opens it; the record count.
int OpenWorstCaseDatabase()
{
    std::string path = "/tmp/bench_patterns-" + std::to_string(getpid()) + ".txt";
    FILE *out = fopen(path.c_str(), "wb");
    if (out == nullptr)
        return 0;
    for (int i = 0; i < kRecords; i++) {
        char phone[16];
        snprintf(phone, sizeof phone, "%07d", i);
        fprintf(out, "%s\r\n", JoinFields({phone, Surname(i)}).c_str());
    }
    fclose(out);
    std::u16string wide = LibraryPath(path);
    int count = 0;
    if (!OpenDatabase(wide.c_str(), &count))
        count = 0;
    unlink(path.c_str());
    return count;
}

void BM_LibraryPattern(benchmark::State &state)
{
    static int count = OpenWorstCaseDatabase();
    std::string pattern = Pattern((int)state.range(0));
    DirectoryRecord key = MakeKey({});
    SetKeyField(&key, FIELD_SURNAME, pattern);
    int found = 0;
    for (auto _ : state) {
        DirectoryRecord result;
        SearchInDatabase(nullptr, nullptr, 0);
        found = 0;
        while (SearchInDatabase(&result, &key, 1))
            found++;
    }
    state.counters["key_bytes"] = (double)pattern.size();
    state.counters["matches"] = found;
    state.counters["ns_per_record"] =
        benchmark::Counter((double)count * state.iterations(), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_LibraryPattern)->DenseRange(1, 12, 2)->Unit(benchmark::kMillisecond);

// The textbook recursive glob: on a failing "*" it tries every split again.
bool BacktrackingMatch(const char *pattern, const char *text)
{
    if (*pattern == '\0')
        return *text == '\0';
    if (*pattern == '*')
        return BacktrackingMatch(pattern + 1, text) || (*text != '\0' && BacktrackingMatch(pattern, text + 1));
    return *text != '\0' && (*pattern == '?' || *pattern == *text) && BacktrackingMatch(pattern + 1, text + 1);
}

void BM_BacktrackingPeer(benchmark::State &state)
{
    const int texts = 1000;
    std::vector<std::string> surnames;
    for (int i = 0; i < texts; i++)
        surnames.push_back(Surname(i));
    std::string pattern = Pattern((int)state.range(0));
    int found = 0;
    for (auto _ : state) {
        found = 0;
        for (const std::string &s : surnames)
            found += BacktrackingMatch(pattern.c_str(), s.c_str());
        benchmark::DoNotOptimize(found);
    }
    state.counters["ns_per_record"] =
        benchmark::Counter((double)texts * state.iterations(), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_BacktrackingPeer)->DenseRange(1, 5, 2)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
