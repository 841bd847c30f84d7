/* fast_lines_sse2.cpp - the fast way of packing ordinary lines with SSE2 masks. The 32-bit build
 * compiles this file alone for SSE2, and runs it only on a processor that has it.
 * Defines PackLinesSse2.
 */
#include "sse2_choice.h"

#if SSE2_CODE

#include "byte_masks.h"
#include "fast_lines.h"

#define FAST_LINES_NAME PackLinesSse2
#define FAST_LINES_SCAN ScanBlockSse2
#include "fast_lines_tpl.h"

#endif /* SSE2_CODE */
