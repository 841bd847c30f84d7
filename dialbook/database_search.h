/* database_search.h - finding the next record of the open database that passes a key. */
#ifndef DIALBOOK_DATABASE_SEARCH_H
#define DIALBOOK_DATABASE_SEARCH_H

#include "database_store.h"
#include "key_matching.h"

/* A record a search found: its number in the file and where its packed text and shape are. */
typedef struct FoundRecord {
    size_t             index;   /* counted over all parts, in file order */
    const char        *text;    /* the record's packed field bytes */
    const RecordShape *shape;   /* where its fields end */
} FoundRecord;

/* The key field whose filter rules out most records: the one with the longest literal start
 * in a filtered field, up to the two bytes a filter holds; -1 when there is none. */
int PickFilterField(const CompiledKey *key);

/* The first record at or after from that passes key: 1 with *found set, or 0. */
int FindNextMatch(const DatabaseStore *store, CompiledKey *key, size_t from, FoundRecord *found);

#endif /* DIALBOOK_DATABASE_SEARCH_H */
