/* fast_lines.h - the fast way of packing ordinary lines, built twice from fast_lines_tpl.h:
 * fast_lines_sse2.cpp finds a line's bytes sixteen at a time with SSE2, fast_lines_words.cpp eight at
 * a time in 64-bit words. The 32-bit Windows build is for processors with or without SSE2, so the
 * way is chosen when the library runs (sse2_choice.h), not when it is compiled.
 */
#ifndef DIALBOOK_FAST_LINES_H
#define DIALBOOK_FAST_LINES_H

#include "database_parser.h"

/* The two builds of the fast way (PackLinesFn). The SSE2 one exists on x86 processors only. */
const char *PackLinesSse2(Packer *packer, const char *p, const char *end);
const char *PackLinesWords(Packer *packer, const char *p, const char *end);

#endif /* DIALBOOK_FAST_LINES_H */
