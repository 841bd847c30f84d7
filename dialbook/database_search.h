/* database_search.h - finding the next record of the open database that passes a key. */
#ifndef DIALBOOK_DATABASE_SEARCH_H
#define DIALBOOK_DATABASE_SEARCH_H

#include "database_store.h"
#include "key_matching.h"

/* The key field whose filter rules out most records: the one with the longest literal start
 * in a filtered field, up to the two bytes a filter holds; -1 when there is none. */
int PickFilterField(const CompiledKey *key);

/* The first record at or after from that passes key: 1 with *found and *offset (its text) set, or 0. */
int FindNextMatch(const DatabaseStore *store, CompiledKey *key, size_t from, size_t *found, size_t *offset);

#endif /* DIALBOOK_DATABASE_SEARCH_H */
