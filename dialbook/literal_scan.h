/* literal_scan.h - finding a key's candidates through its literal bytes. Where a key field does not
 * start with literal bytes (a pattern such as «*4567» or «*ъ*»), no filter of first bytes can pass
 * records over; but every record that passes holds each of the field's runs of literal bytes inside
 * that field. So the segments' text is scanned for one run, 64 places at a time, two or three of its
 * bytes compared first (SSE2 sixteen bytes at a time; the generic build a 64-bit word at a time);
 * each place where they sit is checked for the whole run and for the field's other runs near it, as
 * they must stand in a field of its length, and only then is the record that holds it mapped and
 * sent, once, to the full matcher. Matches still come in file order.
 * Which way a search takes (a filter, this scan or a walk over every record) is chosen per key in
 * search_way.cpp from samples of the store's records and text.
 */
#ifndef DIALBOOK_LITERAL_SCAN_H
#define DIALBOOK_LITERAL_SCAN_H

#include <stddef.h>
#include <stdint.h>

/* The raw bytes that fold to one key byte, as two tests "byte | or_bits == want" of which either
 * may pass: a letter of either case is one test (the cases differ in one bit), Ё, ё, Е and е two, a
 * digit one (the second test repeats the first). A set that two tests cannot hold passes every byte
 * in its second test; the check of the whole run decides then. */
#define BYTE_SET_TESTS 2

typedef struct ByteSet {
    uint8_t or_bits[BYTE_SET_TESTS];     /* bits set in the text byte before it is compared */
    uint8_t want[BYTE_SET_TESTS];
} ByteSet;

/* A key field of 30 bytes holds at most 15 runs of literal bytes. */
#define SCAN_RUNS_MAX 16

/* The run of literal bytes a scan looks for, the bytes of it it compares first, and the key
 * field's other runs, which must stand near a place where the run stands before its record is read. */
typedef struct LiteralScan {
    int           key_field;             /* the key field (an index into CompiledKey.fields) it belongs to */
    uint8_t       run_count;             /* the key field's runs of literal bytes, in the key's order: */
    uint8_t       run_start[SCAN_RUNS_MAX];   /* where each starts in the key field's text */
    uint8_t       run_length[SCAN_RUNS_MAX];
    uint8_t       chosen;                /* the one the scan looks for */
    uint8_t       longest;               /* the field's longest text: how far from the run the others may stand */
    uint8_t       length;                /* bytes of the chosen run, 1 or more */
    uint8_t       first_at;              /* the bytes compared first, their places in the run: two, the rarer */
    uint8_t       second_at;             /* first, the same place twice for a run of one byte, */
    uint8_t       third_at;              /* and a third where two still stand together often; else second_at */
    uint8_t       rare_first;            /* 1 when the first compared byte is rare enough to test alone first */
    uint8_t       ask_for_records;       /* 1 when candidates come often enough to ask for records ahead */
    ByteSet       first;                 /* the raw bytes that may stand at each of those places */
    ByteSet       second;
    ByteSet       third;
    unsigned char run[32];               /* the run, folded, not NUL-terminated */
} LiteralScan;

/* The number of tests a byte set needs: 1 when its second repeats its first. */
static inline int SetTests(const ByteSet *set)
{
    return set->or_bits[1] == set->or_bits[0] && set->want[1] == set->want[0] ? 1 : 2;
}

/* The tests of the scan's second and third compared bytes: 0 where it compares no such byte. */
static inline int SecondTests(const LiteralScan *scan)
{
    return scan->first_at == scan->second_at ? 0 : SetTests(&scan->second);
}

static inline int ThirdTests(const LiteralScan *scan)
{
    return scan->third_at == scan->second_at ? 0 : SetTests(&scan->third);
}

/* Fills set with the tests that pass exactly the bytes that fold[] maps to folded. */
void MakeByteSet(const unsigned char fold[256], unsigned char folded, ByteSet *set);

#endif /* DIALBOOK_LITERAL_SCAN_H */
