// search_floor.cpp - the least a filtered search can take on this machine, at any number of records:
// memory laid out as an open database's (47 bytes of text and 8 of field ends a record, in blocks
// asked for in 2 MB pages as Dialbook asks), and one candidate in every 47 records, as «Петров» has
// in the generated data. Each candidate's field ends and first two lines of text are read, asked for
// eight candidates ahead; nothing is matched or copied out. A search cannot take less than this pass,
// so how this pass grows from one size to another is how far the memory, not the search, lets the
// search's time grow.
//
// Usage: search_floor RECORDS [RUNS]     (default 7 runs after a warm-up; prints the median and range)
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <time.h>

#include <algorithm>
#include <vector>

namespace {

const size_t kTextBytes = 47;   // a generated record's field bytes, on average
const size_t kEvery = 47;       // records a candidate, on average
const size_t kAhead = 8;

// A block of fresh memory in 2 MB pages where the system gives them, filled so that it is resident.
unsigned char *Block(size_t bytes)
{
    void *block = mmap(nullptr, bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED)
        return nullptr;
#ifdef MADV_HUGEPAGE
    madvise(block, bytes, MADV_HUGEPAGE);
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
    if (argc < 2 || argc > 3 || records == 0 || runs < 1) {
        fprintf(stderr, "Usage:\n\tsearch_floor RECORDS [RUNS]\n");
        return 2;
    }
    unsigned char *text = Block(records * kTextBytes);
    unsigned char *shapes = Block(records * 8);
    if (text == nullptr || shapes == nullptr) {
        fprintf(stderr, "search_floor: no memory for %zu records\n", records);
        return 1;
    }
    // The candidates: one in kEvery records, spread as a filter column spreads them.
    std::vector<uint32_t> candidates;
    uint32_t seed = 12345;
    for (size_t i = 0; i < records; i++) {
        seed = seed * 1103515245u + 12345u;
        if ((seed >> 8) % kEvery == 0)
            candidates.push_back((uint32_t)i);
    }
    std::vector<double> times;
    unsigned sum = 0;
    for (int run = 0; run <= runs; run++) {
        double start = NowMs();
        for (size_t c = 0; c < candidates.size(); c++) {
            if (c + kAhead < candidates.size()) {
                size_t ahead = candidates[c + kAhead];
                __builtin_prefetch(shapes + ahead * 8);
                __builtin_prefetch(text + ahead * kTextBytes);
                __builtin_prefetch(text + ahead * kTextBytes + 64);
            }
            size_t i = candidates[c];
            sum += shapes[i * 8] + text[i * kTextBytes] + text[i * kTextBytes + 40];
        }
        if (run > 0)
            times.push_back(NowMs() - start);
    }
    std::sort(times.begin(), times.end());
    printf("search_floor records %zu candidates %zu median_ms %.3f min_ms %.3f max_ms %.3f (%u)\n", records,
           candidates.size(), times[times.size() / 2], times.front(), times.back(), sum & 1);
    return 0;
}
