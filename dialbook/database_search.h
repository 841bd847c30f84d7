/* database_search.h - finding the next record of the open database that passes a key. */
#ifndef DIALBOOK_DATABASE_SEARCH_H
#define DIALBOOK_DATABASE_SEARCH_H

#include "database_store.h"
#include "key_matching.h"

/* The records a filter lets through are tried in file order, and the memory they lie in is asked
 * for ahead of them, since a record's text is seldom in the processor's cache: the shapes and text
 * offset of the SHAPES_AHEAD candidates after the one tried, the text of the TEXT_AHEAD after it.
 * Each is asked for once and well before it is needed, a few at a time, as the memory can serve. */
#define CANDIDATE_RING 64   /* a power of two, more than SHAPES_AHEAD */
#define SHAPES_AHEAD   32
#define TEXT_AHEAD     16

/* Where a search stands between two calls. A filtered search keeps its candidates ahead in a ring. */
typedef struct SearchCursor {
    size_t   next;                        /* the next record to try, numbered in the file */
    size_t   segment;                     /* the segment that holds it, or held it last */
    int      primed;                      /* 1 while the ring holds the candidates from next on */
    size_t   scan;                        /* filtered: where the filter column is read next, in the segment */
    size_t   gathered;                    /* candidates found, whose shapes are asked for */
    size_t   located;                     /* of those, the ones whose text offset is known and text asked for */
    size_t   tried;                       /* of those, the ones tried */
    size_t   matched;                     /* of those, the ones that passed */
    uint32_t index[CANDIDATE_RING];       /* candidate number gathered % CANDIDATE_RING: its number in the segment */
    uint32_t offset[CANDIDATE_RING];      /* and where its text starts, once located */
} SearchCursor;

/* The key field whose filter rules out most records: the one whose key decides the most bits of
 * its filter, the first of those that decide as many; -1 when the key decides none. */
int PickFilterField(const CompiledKey *key);

/* Starts the cursor from record number next, with nothing gathered. */
void RestartCursor(SearchCursor *cursor, size_t next);

/* The first record from the cursor's next on that passes key: 1 with it copied into result as eight
 * NUL-padded fields and the cursor moved past it, or 0 with the cursor at the end. Built twice: for
 * SSE2 and for any processor. */
typedef int FindNextMatchFn(const DatabaseStore *store, CompiledKey *key, SearchCursor *cursor, DirectoryRecord *result);
int FindNextMatchSse2(const DatabaseStore *store, CompiledKey *key, SearchCursor *cursor, DirectoryRecord *result);
int FindNextMatchPlain(const DatabaseStore *store, CompiledKey *key, SearchCursor *cursor, DirectoryRecord *result);

#endif /* DIALBOOK_DATABASE_SEARCH_H */
