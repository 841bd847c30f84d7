/* database_search_sse2.cpp - the search built for SSE2, which asks for the memory of the records it
 * will try before it tries them. The 32-bit build compiles this file alone for SSE2, and runs it only
 * on a processor that has it. Defines FindNextMatchSse2 and SameKeySse2.
 */
#include "sse2_choice.h"

#if SSE2_CODE

#include "database_search.h"

#define FIND_NEXT_MATCH_NAME FindNextMatchSse2
#define SAME_KEY_NAME SameKeySse2
#define SEARCH_SSE2 1
#include "database_search_tpl.h"

#endif /* SSE2_CODE */
