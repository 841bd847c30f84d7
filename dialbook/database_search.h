/* database_search.h - finding the next record of the open database that passes a key. */
#ifndef DIALBOOK_DATABASE_SEARCH_H
#define DIALBOOK_DATABASE_SEARCH_H

#include "database_store.h"
#include "key_matching.h"

/* The records a filter lets through are tried in file order, and the memory they lie in is asked
 * for ahead of them, since a record's text is seldom in the processor's cache: the shapes and text
 * offset of the SHAPES_AHEAD candidates after the one tried, the text of the TEXT_AHEAD after it.
 * Each is asked for once and well before it is needed, a few at a time, as the memory can serve.
 * Candidates are tried in runs, not one a call: up to MATCHES_AHEAD matches wait in the cursor to be
 * handed out, one a call. */
#define CANDIDATE_RING 64   /* a power of two, at least SHAPES_AHEAD + 8 */
#define SHAPES_AHEAD   32
#define TEXT_AHEAD     16
#define MATCHES_AHEAD  8    /* a power of two */

/* A candidate's text offset when its shape alone rules it out. */
#define NO_TEXT UINT32_MAX

/* Where a search stands between two calls. A filtered search keeps its candidates ahead in a ring,
 * and a filtered search or a walk the matches it found ahead of the one handed out. */
typedef struct SearchCursor {
    size_t   next;                        /* the next record to hand out or try, numbered in the file */
    size_t   segment;                     /* the segment that holds it, or held it last */
    int      primed;                      /* 1 while the rings hold what was found from next on */
    size_t   scan;                        /* where the filter column is read next, or the walk goes on, in the segment */
    size_t   scan_at;                     /* a walk: where the text of record scan starts */
    size_t   gathered;                    /* candidates found, whose shapes are asked for */
    size_t   located;                     /* of those, the ones whose text offset is known and text asked for */
    size_t   tried;                       /* of those, the ones tried */
    size_t   matched;                     /* of those (or of the walk's records), the ones that passed */
    size_t   returned;                    /* of those, the ones handed out */
    uint32_t index[CANDIDATE_RING];       /* candidate number gathered % CANDIDATE_RING: its number in the segment */
    uint32_t offset[CANDIDATE_RING];      /* and where its text starts once located, or NO_TEXT */
    uint32_t match_index[MATCHES_AHEAD];  /* match number matched % MATCHES_AHEAD: its number in the segment */
    uint32_t match_offset[MATCHES_AHEAD]; /* and where its text starts */
} SearchCursor;

/* The key a search was compiled from, kept to tell on each call whether the caller's key is still
 * the same: the whole record and a mask of the bytes that count (each field's text and its NUL, or
 * the whole field when it has none), laid out in 16-byte blocks. */
#define KEY_COPY_BYTES 144

typedef struct KeyCopy {
    alignas(16) unsigned char bytes[KEY_COPY_BYTES];    /* the key record, then a zero byte */
    alignas(16) unsigned char mask[KEY_COPY_BYTES];     /* 0xFF where a byte counts, 0 elsewhere */
} KeyCopy;

/* Keeps key in copy. */
void NoteKey(KeyCopy *copy, const DirectoryRecord *key);

/* 1 when key holds what copy holds in every byte that counts. Built twice: for SSE2 and for any processor. */
typedef int SameKeyFn(const KeyCopy *copy, const DirectoryRecord *key);
int SameKeySse2(const KeyCopy *copy, const DirectoryRecord *key);
int SameKeyGeneric(const KeyCopy *copy, const DirectoryRecord *key);

/* Starts the cursor from record number next, with nothing gathered. */
void RestartCursor(SearchCursor *cursor, size_t next);

/* The first record from the cursor's next on that passes key: 1 with it copied into result as eight
 * NUL-padded fields and the cursor moved past it, or 0 with the cursor at the end. Built twice: for
 * SSE2 and for any processor. */
typedef int FindNextMatchFn(const DatabaseStore *store, CompiledKey *key, SearchCursor *cursor, DirectoryRecord *result);
int FindNextMatchSse2(const DatabaseStore *store, CompiledKey *key, SearchCursor *cursor, DirectoryRecord *result);
int FindNextMatchGeneric(const DatabaseStore *store, CompiledKey *key, SearchCursor *cursor, DirectoryRecord *result);

#endif /* DIALBOOK_DATABASE_SEARCH_H */
