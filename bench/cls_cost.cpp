// cls_cost.cpp - what clearing the console costs a Windows console program: runs system("cls")
// the given number of times, as morwen does before each percentage (standard output flushed first),
// and times each run with QueryPerformanceCounter.
//
// Usage: cls_cost [RUNS]     (default 101, as many as morwen runs on a listing; 0 only starts and ends,
// which times the start of a console program)
// Prints, last, "cls runs N failed F total_ms T median_ms M min_ms A max_ms B" for bench/converter-bench.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <vector>

int main(int argc, char **argv)
{
    int runs = argc > 1 ? atoi(argv[1]) : 101;
    if (argc > 2 || runs < 0) {
        fprintf(stderr, "Usage:\n\tcls_cost [RUNS]\n");
        return 2;
    }
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    std::vector<double> times;
    int failed = 0;
    for (int run = 0; run < runs; run++) {
        LARGE_INTEGER start, end;
        fflush(stdout);
        QueryPerformanceCounter(&start);
        if (system("cls") != 0)
            failed++;
        QueryPerformanceCounter(&end);
        times.push_back(1000.0 * (double)(end.QuadPart - start.QuadPart) / (double)frequency.QuadPart);
    }
    if (runs == 0)
        return 0;
    double total = 0;
    for (double t : times)
        total += t;
    std::sort(times.begin(), times.end());
    size_t n = times.size();
    double median = n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
    printf("\ncls runs %d failed %d total_ms %.1f median_ms %.2f min_ms %.2f max_ms %.2f\n", runs, failed, total,
           median, times.front(), times.back());
    return failed == 0 ? 0 : 1;
}
