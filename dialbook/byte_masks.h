/* byte_masks.h - where the bytes that shape a database line stand in a block of 64 bytes.
 * ScanBlockWords compares eight bytes at a time in a 64-bit word and builds everywhere; ScanBlockSse2
 * compares sixteen at once, in code compiled for SSE2. Both give the same masks: bit i is set when
 * byte i of the block is the byte looked for.
 */
#ifndef DIALBOOK_BYTE_MASKS_H
#define DIALBOOK_BYTE_MASKS_H

#include <stddef.h>
#include <stdint.h>
#include <string.h>
#include "record_fields.h"

#ifdef __SSE2__
#include <emmintrin.h>
#endif

typedef struct BlockMasks {
    uint64_t separators;   /* FIELD_SEPARATOR */
    uint64_t newlines;     /* '\n' */
    uint64_t nuls;         /* NUL */
} BlockMasks;

#ifdef __SSE2__

/* The 64-bit mask of a block's four 16-byte comparisons; each movemask fills only the low 16 bits. */
static inline uint64_t BlockBits(__m128i a, __m128i b, __m128i c, __m128i d)
{
    uint32_t low = (uint32_t)_mm_movemask_epi8(a) | (uint32_t)_mm_movemask_epi8(b) << 16;
    uint32_t high = (uint32_t)_mm_movemask_epi8(c) | (uint32_t)_mm_movemask_epi8(d) << 16;
    return (uint64_t)low | (uint64_t)high << 32;
}

/* Fills masks for the 64 bytes at p, all of which must be readable. A NUL is rare: one test over
 * the block's smallest bytes says whether the NULs need a mask of their own. */
static inline void ScanBlockSse2(const char *p, BlockMasks *masks)
{
    const __m128i semicolon = _mm_set1_epi8(FIELD_SEPARATOR);
    const __m128i newline = _mm_set1_epi8('\n');
    const __m128i zero = _mm_setzero_si128();
    __m128i v0 = _mm_loadu_si128((const __m128i *)p);
    __m128i v1 = _mm_loadu_si128((const __m128i *)(p + 16));
    __m128i v2 = _mm_loadu_si128((const __m128i *)(p + 32));
    __m128i v3 = _mm_loadu_si128((const __m128i *)(p + 48));
    masks->separators = BlockBits(_mm_cmpeq_epi8(v0, semicolon), _mm_cmpeq_epi8(v1, semicolon),
                                  _mm_cmpeq_epi8(v2, semicolon), _mm_cmpeq_epi8(v3, semicolon));
    masks->newlines = BlockBits(_mm_cmpeq_epi8(v0, newline), _mm_cmpeq_epi8(v1, newline),
                                _mm_cmpeq_epi8(v2, newline), _mm_cmpeq_epi8(v3, newline));
    __m128i least = _mm_min_epu8(_mm_min_epu8(v0, v1), _mm_min_epu8(v2, v3));
    masks->nuls = 0;
    if (_mm_movemask_epi8(_mm_cmpeq_epi8(least, zero)) != 0)
        masks->nuls = BlockBits(_mm_cmpeq_epi8(v0, zero), _mm_cmpeq_epi8(v1, zero), _mm_cmpeq_epi8(v2, zero),
                                _mm_cmpeq_epi8(v3, zero));
}

#endif /* __SSE2__ */

/* Every processor the library is built for stores words with their lowest byte first. */
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "a word's byte i is its bits 8i to 8i + 7");

/* One bit per byte of word: bit i set when byte i (in memory order) is zero. */
static inline uint64_t ZeroByteBits(uint64_t word)
{
    const uint64_t lows = 0x7F7F7F7F7F7F7F7Full;
    uint64_t high_bits = ~(((word & lows) + lows) | word | lows);
    return ((high_bits >> 7) * 0x0102040810204080ull) >> 56;
}

/* Fills masks for the 64 bytes at p, all of which must be readable. */
static inline void ScanBlockWords(const char *p, BlockMasks *masks)
{
    const uint64_t ones = 0x0101010101010101ull;
    masks->separators = masks->newlines = masks->nuls = 0;
    for (int i = 0; i < 8; i++) {
        uint64_t word;
        memcpy(&word, p + 8 * i, 8);
        masks->separators |= ZeroByteBits(word ^ (ones * FIELD_SEPARATOR)) << (8 * i);
        masks->newlines |= ZeroByteBits(word ^ (ones * '\n')) << (8 * i);
        masks->nuls |= ZeroByteBits(word) << (8 * i);
    }
}

/* A 32-bit processor has no 64-bit shifts or bit scans: a block's masks are walked a machine word
 * at a time, and a 64-bit processor takes each mask as one word. */
#define MASK_WORDS (64 / (8 * sizeof(size_t)))

/* The number of the lowest set bit of a non-zero word. */
static inline unsigned LowestBit(size_t word)
{
    return sizeof word == 8 ? (unsigned)__builtin_ctzll(word) : (unsigned)__builtin_ctz((unsigned)word);
}

/* The number of the lowest set bit of a non-zero mask. */
static inline unsigned LowestBit64(uint64_t bits)
{
    if (sizeof(size_t) == 8)
        return (unsigned)__builtin_ctzll(bits);
    uint32_t low = (uint32_t)bits;
    return low != 0 ? (unsigned)__builtin_ctz(low) : 32 + (unsigned)__builtin_ctz((uint32_t)(bits >> 32));
}

/* The set bits of a mask, lowest first: a 64-bit processor walks it as one word, a 32-bit one as its
 * low half and then its high half. Plain members, not an array, so that all of it stays in registers. */
typedef struct BitWalk {
    size_t   now;    /* the bits not taken yet of the word walked now */
    size_t   next;   /* the high half, until it is walked; always 0 on a 64-bit processor */
    unsigned base;   /* the number of now's bit 0 in the mask */
} BitWalk;

static inline void StartBitWalk(BitWalk *walk, uint64_t bits)
{
    walk->now = (size_t)bits;
    walk->next = MASK_WORDS > 1 ? (size_t)(bits >> (MASK_WORDS > 1 ? 32 : 0)) : 0;
    walk->base = 0;
}

/* Takes the lowest bit left into *bit; 0 when none is left. */
static inline int NextBit(BitWalk *walk, unsigned *bit)
{
    if (walk->now == 0) {
        if (walk->next == 0)
            return 0;
        walk->now = walk->next;
        walk->next = 0;
        walk->base = 32;
    }
    *bit = walk->base + LowestBit(walk->now);
    walk->now &= walk->now - 1;
    return 1;
}

#endif /* DIALBOOK_BYTE_MASKS_H */
