/* sse2_choice.cpp - asks the processor whether it has SSE2, and chooses each piece of code built both
 * ways by the answer. Where there is no code built for SSE2 (SSE2_CODE), the code for any processor is
 * all there is. Defines ChooseFastLines and ChooseSearch.
 */
#include "sse2_choice.h"
#include "fast_lines.h"
#include "library_switches.h"

/* The code built for SSE2 where there is any, the generic code where there is none. */
#if SSE2_CODE
#define SSE2_OR_GENERIC(sse2, generic) sse2
#else
#define SSE2_OR_GENERIC(sse2, generic) generic
#endif

/* 1 when the code built for SSE2 is to run. */
static int UseSse2(void)
{
#if SSE2_CODE
    __builtin_cpu_init();
    return !g_switches.no_sse2 && __builtin_cpu_supports("sse2");
#else
    return 0;
#endif
}

PackLinesFn *ChooseFastLines(void)
{
    return UseSse2() ? SSE2_OR_GENERIC(PackLinesSse2, PackLinesWords) : PackLinesWords;
}

void ChooseSearch(FindNextMatchFn **find_next, SameKeyFn **same_key)
{
    int sse2 = UseSse2();
    *find_next = sse2 ? SSE2_OR_GENERIC(FindNextMatchSse2, FindNextMatchGeneric) : FindNextMatchGeneric;
    *same_key = sse2 ? SSE2_OR_GENERIC(SameKeySse2, SameKeyGeneric) : SameKeyGeneric;
}
