/* database_search_generic.cpp - the search built for any processor, without SSE2 or prefetch
 * instructions on every target (x86-64 included, so that it runs under test everywhere), and the
 * helpers both builds share. Defines RestartCursor, NoteKey, FindNextMatchGeneric and SameKeyGeneric.
 */
#include "database_search.h"

#include <string.h>

void RestartCursor(SearchCursor *cursor, size_t next)
{
    cursor->next = next;
    cursor->primed = 0;
}

void NoteKey(KeyCopy *copy, const DirectoryRecord *key)
{
    memset(copy, 0, sizeof *copy);
    memcpy(copy->bytes, key, sizeof *key);
    for (int f = 0; f < RECORD_FIELDS; f++)
        for (size_t i = kFieldSpecs[f].offset; i < kFieldSpecs[f].offset + kFieldSpecs[f].width; i++) {
            copy->mask[i] = 0xFF;
            if (copy->bytes[i] == '\0')
                break;
        }
}

#define FIND_NEXT_MATCH_NAME FindNextMatchGeneric
#define SAME_KEY_NAME SameKeyGeneric
#define SEARCH_SSE2 0
#include "database_search_tpl.h"
