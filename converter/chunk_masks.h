/* chunk_masks.h - where a given byte stands in a chunk of sixteen bytes, as a mask of sixteen bits:
 * bit i is set when byte i of the chunk (in memory order) is that byte. With SSE2 a chunk is one
 * register; elsewhere (the 32-bit Windows build among them) two 64-bit words, which CHUNK_MASKS_WORDS
 * also selects, so the word way can be tested natively. Defines LoadChunk, StoreChunk and ChunkMatches.
 */
#ifndef CONVERTER_CHUNK_MASKS_H
#define CONVERTER_CHUNK_MASKS_H

#include <stdint.h>
#include <string.h>

#define CHUNK_SIZE 16

#if defined(__SSE2__) && !defined(CHUNK_MASKS_WORDS)
#define CHUNK_MASKS_SSE2
#include <emmintrin.h>
#endif

/* Words are read in little-endian order, so the lowest bit of a mask is the chunk's first byte. */
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the chunk masks expect little-endian words");

#ifdef CHUNK_MASKS_SSE2

typedef struct ByteChunk {
    __m128i bytes;   /* the sixteen bytes, in memory order */
} ByteChunk;

/* The sixteen bytes at p, all of which must be readable; no alignment is needed. */
static inline ByteChunk LoadChunk(const char *p)
{
    ByteChunk chunk;
    chunk.bytes = _mm_loadu_si128((const __m128i *)p);
    return chunk;
}

/* Writes the chunk's sixteen bytes at p. */
static inline void StoreChunk(char *p, ByteChunk chunk)
{
    _mm_storeu_si128((__m128i *)p, chunk.bytes);
}

/* Bit i set when byte i of the chunk is byte. */
static inline uint32_t ChunkMatches(ByteChunk chunk, unsigned char byte)
{
    return (uint32_t)_mm_movemask_epi8(_mm_cmpeq_epi8(chunk.bytes, _mm_set1_epi8((char)byte)));
}

#else /* !CHUNK_MASKS_SSE2 */

typedef struct ByteChunk {
    uint64_t low;    /* bytes 0 to 7, little-endian */
    uint64_t high;   /* bytes 8 to 15 */
} ByteChunk;

static inline ByteChunk LoadChunk(const char *p)
{
    ByteChunk chunk;
    memcpy(&chunk.low, p, 8);
    memcpy(&chunk.high, p + 8, 8);
    return chunk;
}

static inline void StoreChunk(char *p, ByteChunk chunk)
{
    memcpy(p, &chunk.low, 8);
    memcpy(p + 8, &chunk.high, 8);
}

/* One bit per byte of word: bit i set when byte i is zero. Exact for every byte (no borrow crosses
 * bytes: the high bit is kept aside before the add), then the eight flags gathered by one multiply. */
static inline uint32_t ZeroBytes(uint64_t word)
{
    const uint64_t lows = 0x7F7F7F7F7F7F7F7Full;
    uint64_t high_bits = ~(((word & lows) + lows) | word | lows);
    return (uint32_t)(((high_bits >> 7) * 0x0102040810204080ull) >> 56);
}

static inline uint32_t ChunkMatches(ByteChunk chunk, unsigned char byte)
{
    const uint64_t copies = 0x0101010101010101ull * byte;
    return ZeroBytes(chunk.low ^ copies) | (ZeroBytes(chunk.high ^ copies) << 8);
}

#endif /* CHUNK_MASKS_SSE2 */

#endif /* CONVERTER_CHUNK_MASKS_H */
