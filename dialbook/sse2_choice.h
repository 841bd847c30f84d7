/* sse2_choice.h - the choice between the library's code built for SSE2 and its code built for any
 * processor. The 32-bit build is for processors with or without SSE2, so it is chosen when the
 * library runs: SSE2 where the processor has it, unless the tests ask for the other.
 */
#ifndef DIALBOOK_SSE2_CHOICE_H
#define DIALBOOK_SSE2_CHOICE_H

#include "database_parser.h"
#include "database_search.h"

/* 1 where the code built for SSE2 exists: on x86 processors, unless DIALBOOK_GENERIC asks for a build
 * of the code for any processor alone (the sanitizer build), so that every test runs it. */
#if (defined(__i386__) || defined(__x86_64__)) && !defined(DIALBOOK_GENERIC)
#define SSE2_CODE 1
#else
#define SSE2_CODE 0
#endif

/* The fast way of packing ordinary lines. */
PackLinesFn *ChooseFastLines(void);

/* The search, and its check that the key is the one it was compiled from. */
void ChooseSearch(FindNextMatchFn **find_next, SameKeyFn **same_key);

#endif /* DIALBOOK_SSE2_CHOICE_H */
