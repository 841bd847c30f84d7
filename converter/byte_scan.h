/* byte_scan.h - the first byte below a limit, found eight bytes at a time: the line reader looks
 * for control bytes with it, the record writer for the NUL that ends a field. Defines FirstByteBelow.
 */
#ifndef CONVERTER_BYTE_SCAN_H
#define CONVERTER_BYTE_SCAN_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>

/* Words are read in little-endian order, so the lowest flag of a word is its first byte in memory. */
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the word scan expects little-endian words");

/* The index of the first of the count bytes at p whose value is below limit (1 to 128), or count
 * when there is none. Whole words while they last, then byte by byte; every read stays in
 * [p, p + count). In a word only the lowest flag is exact (a borrow may flag a byte above it). */
static inline size_t FirstByteBelow(const char *p, size_t count, unsigned limit)
{
    const uint64_t ones = 0x0101010101010101ull;
    const uint64_t high = 0x8080808080808080ull;
    size_t i = 0;
    for (; i + 8 <= count; i += 8) {
        uint64_t word;
        memcpy(&word, p + i, sizeof word);
        uint64_t below = (word - ones * limit) & ~word & high;
        if (below != 0)
            return i + (size_t)(__builtin_ctzll(below) >> 3);
    }
    for (; i < count; i++)
        if ((unsigned char)p[i] < limit)
            return i;
    return count;
}

#endif /* CONVERTER_BYTE_SCAN_H */
