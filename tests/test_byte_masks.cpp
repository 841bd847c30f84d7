// Both ways of finding a block's separators, line ends and NULs (the word-at-a-time one, which runs
// where the processor has no SSE2, and the SSE2 one) against a byte-by-byte count.
#include "byte_masks.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

// Bit i set where block[i] is c.
uint64_t Reference(const char *block, char c)
{
    uint64_t bits = 0;
    for (int i = 0; i < 64; i++)
        if (block[i] == c)
            bits |= uint64_t(1) << i;
    return bits;
}

// Random blocks of the bytes that matter and their neighbours, where borrows go wrong; one in eight
// blocks has no NUL at all, the case the SSE2 scan takes a shortcut for.
void ExpectAgreesWithByteCount(void (*scan)(const char *, BlockMasks *))
{
    static const char kBytes[] = {FIELD_SEPARATOR, '\n', '\0', 'a', ' ', FIELD_SEPARATOR - 1, FIELD_SEPARATOR + 1,
                                  '\x0B', '\x09', '\x01', '\x80', '\xFF', '\xBB', '\x8A'};
    uint32_t x = 1;
    for (int round = 0; round < 20000; round++) {
        char block[64];
        for (char &c : block) {
            x = x * 1664525u + 1013904223u;
            c = kBytes[(x >> 24) % sizeof kBytes];
            if (c == '\0' && round % 8 == 0)
                c = 'a';
        }
        BlockMasks masks;
        scan(block, &masks);
        ASSERT_EQ(masks.separators, Reference(block, FIELD_SEPARATOR)) << round;
        ASSERT_EQ(masks.newlines, Reference(block, '\n')) << round;
        ASSERT_EQ(masks.nuls, Reference(block, '\0')) << round;
    }
}

TEST(byte_masks, words_agree_with_a_byte_count)
{
    ExpectAgreesWithByteCount(ScanBlockWords);
}

#ifdef __SSE2__
TEST(byte_masks, sse2_agrees_with_a_byte_count)
{
    ExpectAgreesWithByteCount(ScanBlockSse2);
}
#endif

} // namespace
