// search_floor.cpp - the least a filtered search can take on this machine, at any number of records:
// memory laid out as an open database's (47 bytes of text, its field ends and one field's filter a
// record, sized as dialbook/database_store.h sizes them, in blocks asked for in 2 MB pages as Dialbook
// asks), and one match in every EVERY records (47, as «Петров» has in the generated data). The filter
// column is scanned a register at a time with SSE2; each match's field ends and first two lines of
// text are read, asked for eight ahead, and its
// text is copied out into a record through a call, as the library's caller gets each match; nothing
// is matched. A search cannot take less than this pass, so how this pass grows from one size to
// another is how far the memory, not the search, lets the search's time grow.
//
// Usage: search_floor RECORDS [RUNS [EVERY [small]]]   (default 7 runs after a warm-up, one match in 47,
//        2 MB pages; "small": 4 KB pages, the floor of the Windows builds; prints the median and range)
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <time.h>

#include <emmintrin.h>

#include <algorithm>
#include <type_traits>
#include <vector>

#include "database_store.h"

namespace {

// One field's filter of one record, as the store keeps it.
typedef std::remove_pointer_t<std::remove_extent_t<decltype(DatabaseSegment::filters)>> Filter;
static_assert(sizeof(Filter) == 2, "the scan compares the filters as 16-bit lanes");

const size_t kTextBytes = 47;   // a generated record's field bytes, on average
const size_t kShapeBytes = sizeof(RecordShape);
const size_t kLanes = sizeof(__m128i) / sizeof(Filter);   // filters a register holds
const size_t kAhead = 8;
const size_t kBatch = 4096;     // filters scanned before their matches are read
const Filter kWanted = 0x1234;

// Hands one match to the caller as the library does: its text copied into a record of the caller's.
__attribute__((noinline)) void CopyOut(unsigned char *record, const unsigned char *text)
{
    memcpy(record, text, kTextBytes);
    memset(record + kTextBytes, 0, sizeof(DirectoryRecord) - kTextBytes);
}

// Whether blocks come in 4 KB pages, as Windows gives them to a program without the right to large
// pages, rather than in 2 MB pages as the library asks for them on Linux.
bool g_small_pages = false;

// A block of fresh memory in 2 MB pages where the system gives them (4 KB pages with g_small_pages),
// filled so that it is resident.
unsigned char *Block(size_t bytes)
{
    void *block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED)
        return nullptr;
#if defined(MADV_HUGEPAGE) && defined(MADV_NOHUGEPAGE)
    madvise(block, bytes, g_small_pages ? MADV_NOHUGEPAGE : MADV_HUGEPAGE);
#endif
    memset(block, 1, bytes);
    return static_cast<unsigned char *>(block);
}

double NowMs()
{
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

} // namespace

int main(int argc, char **argv)
{
    size_t records = argc > 1 ? strtoul(argv[1], nullptr, 10) : 0;
    int runs = argc > 2 ? atoi(argv[2]) : 7;
    size_t every = argc > 3 ? strtoul(argv[3], nullptr, 10) : 47;
    g_small_pages = argc > 4 && strcmp(argv[4], "small") == 0;
    if (argc < 2 || argc > 5 || records == 0 || runs < 1 || every == 0 || (argc > 4 && !g_small_pages)) {
        fprintf(stderr, "Usage:\n\tsearch_floor RECORDS [RUNS [EVERY [small]]]\n");
        return 2;
    }
    unsigned char *text = Block(records * kTextBytes);
    unsigned char *shapes = Block(records * kShapeBytes);
    Filter *column = reinterpret_cast<Filter *>(Block(records * sizeof(Filter)));
    if (text == nullptr || shapes == nullptr || column == nullptr) {
        fprintf(stderr, "search_floor: no memory for %zu records\n", records);
        return 1;
    }
    // The matches: one in every records, spread at random as a filter column spreads them.
    uint32_t seed = 12345;
    for (size_t i = 0; i < records; i++) {
        seed = seed * 1103515245u + 12345u;
        column[i] = (seed >> 8) % every == 0 ? kWanted : (Filter)(kWanted + 1 + (seed >> 16) % 60000);
    }
    std::vector<double> times;
    unsigned sum = 0;
    size_t matches = 0;
    unsigned char record[sizeof(DirectoryRecord)];
    std::vector<uint32_t> found(kBatch);
    const __m128i wanted = _mm_set1_epi16((short)kWanted);
    for (int run = 0; run <= runs; run++) {
        double start = NowMs();
        matches = 0;
        for (size_t base = 0; base < records; base += kBatch) {
            size_t end = std::min(records, base + kBatch), n = 0, i = base;
            for (; i + kLanes <= end; i += kLanes) {
                __m128i filters = _mm_loadu_si128(reinterpret_cast<const __m128i *>(column + i));
                unsigned bits = (unsigned)_mm_movemask_epi8(_mm_cmpeq_epi16(filters, wanted));
                for (; bits != 0; bits &= bits - 1, bits &= bits - 1)
                    found[n++] = (uint32_t)(i + __builtin_ctz(bits) / sizeof(Filter));
            }
            for (; i < end; i++)
                if (column[i] == kWanted)
                    found[n++] = (uint32_t)i;
            for (size_t c = 0; c < n; c++) {
                if (c + kAhead < n) {
                    size_t ahead = found[c + kAhead];
                    __builtin_prefetch(shapes + ahead * kShapeBytes);
                    __builtin_prefetch(text + ahead * kTextBytes);
                    __builtin_prefetch(text + ahead * kTextBytes + 64);
                }
                size_t at = found[c];
                sum += shapes[at * kShapeBytes] + text[at * kTextBytes + 40];
                CopyOut(record, text + at * kTextBytes);
                sum += record[0];
            }
            matches += n;
        }
        if (run > 0)
            times.push_back(NowMs() - start);
    }
    std::sort(times.begin(), times.end());
    printf("search_floor records %zu candidates %zu median_ms %.3f min_ms %.3f max_ms %.3f (%u)\n", records,
           matches, times[times.size() / 2], times.front(), times.back(), sum & 1);
    return 0;
}
