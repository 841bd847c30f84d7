/* sse2_choice.cpp - asks the processor whether it has SSE2, and chooses each piece of code built both
 * ways by the answer. Where there is no code built for SSE2 (SSE2_CODE), the code for any processor is
 * all there is. Defines ChooseFastLines and ChooseSearch.
 */
#include "sse2_choice.h"
#include "fast_lines.h"
#include "library_switches.h"

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
#if SSE2_CODE
    if (UseSse2())
        return PackLinesSse2;
#endif
    return PackLinesWords;
}

void ChooseSearch(FindNextMatchFn **find_next, SameKeyFn **same_key)
{
#if SSE2_CODE
    if (UseSse2()) {
        *find_next = FindNextMatchSse2;
        *same_key = SameKeySse2;
        return;
    }
#endif
    *find_next = FindNextMatchGeneric;
    *same_key = SameKeyGeneric;
}
