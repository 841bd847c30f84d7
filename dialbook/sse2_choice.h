/* sse2_choice.h - the choice between the library's code built for SSE2 and its code built for any
 * processor. The 32-bit build is for processors with or without SSE2, so it is chosen when the
 * library runs: SSE2 where the processor has it, unless the tests ask for the other.
 */
#ifndef DIALBOOK_SSE2_CHOICE_H
#define DIALBOOK_SSE2_CHOICE_H

#include "database_parser.h"
#include "database_search.h"

/* The fast way of packing ordinary lines. */
PackLinesFn *ChooseFastLines(void);

/* The search, and its check that the key is the one it was compiled from. */
void ChooseSearch(FindNextMatchFn **find_next, SameKeyFn **same_key);

#endif /* DIALBOOK_SSE2_CHOICE_H */
