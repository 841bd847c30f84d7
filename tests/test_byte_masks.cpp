// The word-at-a-time byte masks, which the 32-bit Windows build parses with, against a byte-by-byte count.
#define BYTE_MASKS_WORDS
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

TEST(byte_masks, words_agree_with_a_byte_count)
{
    static const char kBytes[] = {';', '\n', '\0', 'a', ' ', '\x3A', '\x3C', '\x0B', '\x09', '\x01', '\x80', '\xFF',
                                  '\xBB', '\x8A'};   // and neighbours of the three, where borrows go wrong
    uint32_t x = 1;
    for (int round = 0; round < 20000; round++) {
        char block[64];
        for (char &c : block) {
            x = x * 1664525u + 1013904223u;
            c = kBytes[(x >> 24) % sizeof kBytes];
        }
        BlockMasks masks;
        ScanBlock(block, &masks);
        ASSERT_EQ(masks.separators, Reference(block, ';')) << round;
        ASSERT_EQ(masks.newlines, Reference(block, '\n')) << round;
        ASSERT_EQ(masks.nuls, Reference(block, '\0')) << round;
    }
}

} // namespace
