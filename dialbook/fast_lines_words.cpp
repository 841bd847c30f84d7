/* fast_lines_words.cpp - the fast way of packing ordinary lines with 64-bit word masks, which runs on
 * any processor. Defines PackLinesWords.
 */
#include "byte_masks.h"
#include "fast_lines.h"

#define FAST_LINES_NAME PackLinesWords
#define FAST_LINES_SCAN ScanBlockWords
#include "fast_lines_tpl.h"
