/* library_switches.h - settings that only the library's own tests change: they reach them by linking
 * the library's code itself, which no caller of the shipped library can do. They force the paths
 * that a machine would otherwise choose for itself, so every path runs under test on any machine.
 */
#ifndef DIALBOOK_LIBRARY_SWITCHES_H
#define DIALBOOK_LIBRARY_SWITCHES_H

#include <stddef.h>
#include <stdint.h>

typedef struct LibrarySwitches {
    int      no_sse2;               /* 1: run the code built without SSE2 even where the processor has it */
    int      search_way;            /* non-zero: the SearchWay every search takes where its key allows it */
    int      sieve_order;           /* non-zero: a SieveOrder + 1, taken by every walk's sieve that has a run
                                       between stars and a head or a tail */
    int      pair_first;            /* 1: every walk's sieve with a run of more than two bytes tests the run's
                                       two rarest bytes first */
    int      byte_maps;             /* 0: made on their own thread after the open; BYTE_MAPS_NONE;
                                       BYTE_MAPS_AT_OPEN: made before the open returns */
    uint64_t memory_left;           /* non-zero: the memory the process has left, instead of the system's figure */
    int      budget_set;            /* 1: block allocations are limited by block_budget */
    uint64_t block_budget;          /* bytes of blocks that may still be allocated while budget_set */
    size_t   segment_text_max;      /* non-zero: text bytes of one segment at most, instead of SEGMENT_TEXT_MAX */
    size_t   segment_records_max;   /* non-zero: records of one segment at most, instead of SEGMENT_RECORDS_MAX */
    void   (*after_read)(int part, uint64_t offset);   /* non-null: called after each chunk a part of an open
                                                          reads (part 0 or 1; offset past the chunk), on the
                                                          part's own thread: tests change the file there */
} LibrarySwitches;

/* What byte_maps may hold besides 0. */
#define BYTE_MAPS_NONE    1
#define BYTE_MAPS_AT_OPEN 2

/* Zero, as the shipped library always has them. */
extern LibrarySwitches g_switches;

#endif /* DIALBOOK_LIBRARY_SWITCHES_H */
