/* database_search_plain.cpp - the search built for any processor, and the helpers both builds
 * share. Defines PickFilterField, RestartCursor and FindNextMatchPlain.
 */
#include "database_search.h"

int PickFilterField(const CompiledKey *key)
{
    int best = -1;
    int best_bits = 0;
    for (int i = 0; i < key->count; i++) {
        int bits = __builtin_popcount(key->fields[i].filter_mask);
        if (bits > best_bits) {
            best = i;
            best_bits = bits;
        }
    }
    return best;
}

void RestartCursor(SearchCursor *cursor, size_t next)
{
    cursor->next = next;
    cursor->primed = 0;
}

#define FIND_NEXT_MATCH_NAME FindNextMatchPlain
#include "database_search_body.h"
