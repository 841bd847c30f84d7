/* byte_masks.h - where the bytes that shape a database line stand in a block of 64 bytes.
 * With SSE2 sixteen bytes are compared at once; elsewhere (the 32-bit Windows build among them)
 * eight at a time in a 64-bit word, which BYTE_MASKS_WORDS also selects, for its tests. Both give
 * the same masks: bit i is set when byte i of the block is the byte looked for.
 */
#ifndef DIALBOOK_BYTE_MASKS_H
#define DIALBOOK_BYTE_MASKS_H

#include <stdint.h>
#include <string.h>

#if defined(__SSE2__) && !defined(BYTE_MASKS_WORDS)
#define BYTE_MASKS_SSE2
#include <emmintrin.h>
#endif

typedef struct BlockMasks {
    uint64_t separators;   /* ';' */
    uint64_t newlines;     /* '\n' */
    uint64_t nuls;         /* NUL */
} BlockMasks;

#ifdef BYTE_MASKS_SSE2

/* Fills masks for the 64 bytes at p, all of which must be readable. */
static inline void ScanBlock(const char *p, BlockMasks *masks)
{
    const __m128i semicolon = _mm_set1_epi8(';');
    const __m128i newline = _mm_set1_epi8('\n');
    const __m128i zero = _mm_setzero_si128();
    masks->separators = masks->newlines = masks->nuls = 0;
    for (int i = 0; i < 4; i++) {
        __m128i v = _mm_loadu_si128((const __m128i *)(p + 16 * i));
        masks->separators |= (uint64_t)(uint16_t)_mm_movemask_epi8(_mm_cmpeq_epi8(v, semicolon)) << (16 * i);
        masks->newlines |= (uint64_t)(uint16_t)_mm_movemask_epi8(_mm_cmpeq_epi8(v, newline)) << (16 * i);
        masks->nuls |= (uint64_t)(uint16_t)_mm_movemask_epi8(_mm_cmpeq_epi8(v, zero)) << (16 * i);
    }
}

#else /* !BYTE_MASKS_SSE2 */

/* One bit per byte of word: bit i set when byte i (in memory order) is zero. */
static inline uint64_t ZeroByteBits(uint64_t word)
{
    const uint64_t lows = 0x7F7F7F7F7F7F7F7Full;
    uint64_t high_bits = ~(((word & lows) + lows) | word | lows);
    if (__BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__)
        high_bits = __builtin_bswap64(high_bits);
    return ((high_bits >> 7) * 0x0102040810204080ull) >> 56;
}

/* Fills masks for the 64 bytes at p, all of which must be readable. */
static inline void ScanBlock(const char *p, BlockMasks *masks)
{
    const uint64_t ones = 0x0101010101010101ull;
    masks->separators = masks->newlines = masks->nuls = 0;
    for (int i = 0; i < 8; i++) {
        uint64_t word;
        memcpy(&word, p + 8 * i, 8);
        masks->separators |= ZeroByteBits(word ^ (ones * ';')) << (8 * i);
        masks->newlines |= ZeroByteBits(word ^ (ones * '\n')) << (8 * i);
        masks->nuls |= ZeroByteBits(word) << (8 * i);
    }
}

#endif /* BYTE_MASKS_SSE2 */

#endif /* DIALBOOK_BYTE_MASKS_H */
