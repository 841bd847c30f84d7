/* database_search.h - finding the next record of the open database that passes a key. */
#ifndef DIALBOOK_DATABASE_SEARCH_H
#define DIALBOOK_DATABASE_SEARCH_H

#include "database_store.h"
#include "key_matching.h"

/* A record a search found: its number in the file and where its packed text and shape are. */
typedef struct FoundRecord {
    size_t             index;   /* counted over all segments, in file order */
    const char        *text;    /* the record's packed field bytes */
    const RecordShape *shape;   /* where its fields end */
} FoundRecord;

/* Records a filter lets through are read in batches, so that the memory they lie in is asked for
 * well before it is needed: a record's text is seldom in the processor's cache. */
#define CANDIDATE_BATCH 64

/* Records of one segment that the filter let through, in file order. */
typedef struct CandidateBatch {
    uint32_t index[CANDIDATE_BATCH];    /* their numbers in the segment */
    uint32_t offset[CANDIDATE_BATCH];   /* where their text starts, once worked out */
    int      count;
} CandidateBatch;

/* Where a search stands between two calls. A filtered search keeps three batches in a ring: one
 * being tried, one whose text is on its way, and one whose shapes and offsets are on their way. */
typedef struct SearchCursor {
    size_t         next;         /* the next record to try, numbered in the file */
    size_t         segment;      /* the segment that holds it, or held it last */
    int            primed;       /* 1 while the batches hold the candidates from next on */
    size_t         scan;         /* filtered: where the filter column is read next, in the segment */
    int            head;         /* the batch being tried; the two after it follow */
    int            tried;        /* candidates of that batch tried already */
    CandidateBatch batches[3];
} SearchCursor;

/* The key field whose filter rules out most records: the one with the longest literal start
 * in a filtered field, up to the three bytes a filter holds; -1 when there is none. */
int PickFilterField(const CompiledKey *key);

/* Starts the cursor from record number next, with nothing gathered. */
void RestartCursor(SearchCursor *cursor, size_t next);

/* The first record from the cursor's next on that passes key: 1 with *found set and the cursor
 * moved past it, or 0 with the cursor at the end. */
int FindNextMatch(const DatabaseStore *store, CompiledKey *key, SearchCursor *cursor, FoundRecord *found);

#endif /* DIALBOOK_DATABASE_SEARCH_H */
