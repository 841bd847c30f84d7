/* fast_lines_words.cpp - the fast way of packing ordinary lines with 64-bit word masks, which runs on
 * any processor, and the choice between the two ways. Defines PackLinesWords and ChooseFastLines.
 */
#include "byte_masks.h"
#include "fast_lines.h"

#define FAST_LINES_NAME PackLinesWords
#define FAST_LINES_SCAN ScanBlockWords
#include "fast_lines_body.h"

PackLinesFn *ChooseFastLines(int words)
{
#if defined(__i386__) || defined(__x86_64__)
    __builtin_cpu_init();
    if (!words && __builtin_cpu_supports("sse2"))
        return PackLinesSse2;
#endif
    (void)words;
    return PackLinesWords;
}
