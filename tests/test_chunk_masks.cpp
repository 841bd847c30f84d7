// The chunk masks the converter finds line ends, delimiters and NULs with, against a byte-by-byte
// look; built twice, with SSE2 where the machine has it and with the 64-bit words of the 32-bit build.
#include "chunk_masks.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// Bit i set where chunk[i] is byte.
uint32_t Reference(const unsigned char *chunk, unsigned char byte)
{
    uint32_t bits = 0;
    for (int i = 0; i < CHUNK_SIZE; i++)
        if (chunk[i] == byte)
            bits |= 1u << i;
    return bits;
}

// Every pair of byte values side by side (where a borrow or carry would spill into the next
// byte), at every place in the chunk and across the two words, the rest of the chunk the first
// value: the masks for both values, NUL and one value more must be the byte-by-byte ones.
TEST(chunk_masks, every_pair_of_neighbouring_bytes_at_every_place)
{
    for (int place = 0; place + 1 < CHUNK_SIZE; place++) {
        for (int first = 0; first < 256; first++) {
            for (int second = 0; second < 256; second++) {
                unsigned char chunk[CHUNK_SIZE];
                for (unsigned char &c : chunk)
                    c = (unsigned char)first;
                chunk[place + 1] = (unsigned char)second;
                ByteChunk loaded = LoadChunk((const char *)chunk);
                const unsigned char looked_for[] = {(unsigned char)first, (unsigned char)second, 0,
                                                    (unsigned char)(first + 1)};
                for (unsigned char byte : looked_for)
                    ASSERT_EQ(ChunkMatches(loaded, byte), Reference(chunk, byte))
                        << "place " << place << ", bytes " << first << " " << second << ", looking for " << int(byte);
            }
        }
    }
}

TEST(chunk_masks, store_writes_the_bytes_loaded)
{
    char from[CHUNK_SIZE + 3], to[CHUNK_SIZE + 3] = {};
    for (int i = 0; i < CHUNK_SIZE + 3; i++)
        from[i] = (char)(0x80 + 7 * i);
    StoreChunk(to + 1, LoadChunk(from + 2));   // no alignment needed either way
    for (int i = 0; i < CHUNK_SIZE; i++)
        EXPECT_EQ(to[1 + i], from[2 + i]) << i;
    EXPECT_EQ(to[0], 0);
    EXPECT_EQ(to[CHUNK_SIZE + 1], 0);
}

}  // namespace
