/* key_matching.h - how a search key is compared with a record.
 * Every non-empty key field must match, case-insensitively in the ANSI code page with Ё as Е, by its
 * field's rule (prefix or whole, kFieldSpecs); a key field holding '*' or '?' as a pattern over the
 * whole field.
 */
#ifndef DIALBOOK_KEY_MATCHING_H
#define DIALBOOK_KEY_MATCHING_H

#include <stdint.h>
#include <string.h>
#include "database_store.h"
#include "literal_scan.h"

enum FieldTest {
    FIELD_PREFIX,    /* the record's field starts with the key text */
    FIELD_WHOLE,     /* the record's field is the key text */
    FIELD_PATTERN    /* the key text, with '*' and '?', covers the whole field */
};

typedef struct KeyField {
    uint8_t       field;                  /* index in record order */
    uint8_t       before;                 /* the field starts at the record's end[before] masked by before_mask: */
    uint8_t       before_mask;            /* 0xFF, or 0 for the phone, which starts at the record's first byte */
    uint8_t       test;                   /* a FieldTest */
    uint8_t       length;                 /* bytes of text */
    uint8_t       head;                   /* pattern: bytes before the first '*' */
    uint8_t       tail_start;             /* pattern: where the text after the last '*' starts */
    uint8_t       shortest;               /* the lengths a field passing the test can have */
    uint8_t       longest;
    uint16_t      filter_mask;            /* the bits of the field's filter that the key decides */
    uint16_t      filter_want;            /* what those bits hold in every record the key can pass */
    unsigned char text[WidestField()];    /* folded key text, not NUL-terminated */
} KeyField;

/* Directory fields repeat: the same surname or street stands in thousands of records. So the
 * verdicts of one pattern are kept for the field texts last seen, in a small table by hash. A field
 * whose texts do not repeat (the phone) would only pay for the table: a search that finds fewer
 * than one verdict in MEMO_FEW of its first MEMO_TRIAL there stops keeping them. */
#define MEMO_BITS 13
#define MEMO_SLOTS (1 << MEMO_BITS)
#define MEMO_UNUSED 0xFF
#define MEMO_WORDS (32 / sizeof(size_t))   /* a field's longest text, in machine words */
#define MEMO_TRIAL 4096
#define MEMO_FEW   8

typedef struct MemoSlot {
    size_t        words[MEMO_WORDS];      /* the field's text, zero past its length in the words its length counts */
    uint8_t       length;                 /* bytes of text, or MEMO_UNUSED */
    uint8_t       verdict;                /* 1 when the pattern covers the text */
} MemoSlot;

/* Most slow patterns are a star and a suffix, a few bytes between stars, or a few bytes in a short
 * field, and a walk reads every record's shape and the text near its start anyway: so a walk tests a
 * pattern's fixed bytes before it matches the record. The sieve passes every field the pattern covers
 * and few others: up to 8 of the pattern's bytes before its first '*' at the field's start and up to 8
 * of those after its last '*' at its end, a word at a time, and up to 8 of its longest run between
 * stars somewhere between them, many places at a time. Each byte is compared as (byte | or) == want:
 * a '?' passes any byte (or = want = 0xFF), a letter of either case one test. The forms of е (Е е Ё ё)
 * take two: in the run both are made ("paired"), at the ends the byte passes any byte, since a second
 * test there costs more than the match it spares; so a tail with е and no run before it is tested as
 * the run, at the field's end. A key of one pattern that the sieve tests whole (a head and a tail of
 * at most 8 bytes, at most one run between them, of at most 8, е only in the run) is decided by the
 * sieve alone, with no match of the record after it. */
#define SIEVE_INNER_MAX 8

/* 1 when a walk is built for a run of inner bytes, compared with no loop by the tests it holds: runs
 * of 2 to 4 bytes, the walk's table of them in database_search_tpl.h. */
static inline int WalkBuiltForRun(size_t inner)
{
    return inner >= 2 && inner <= 4;
}

typedef struct SieveBytes {
    uint64_t or_bits;                     /* byte j of each word tests byte j of the text; 0 past the */
    uint64_t want;                        /* bytes tested */
} SieveBytes;

/* What a sieve tests at a field's ends: kept apart, so that a walk holds a copy of its own. */
typedef struct SieveEnds {
    uint8_t  field;                       /* the field, which starts at end[before] & before_mask */
    uint8_t  before;
    uint8_t  before_mask;
    uint8_t  shortest;                    /* the field lengths the pattern can cover */
    uint8_t  longest;
    uint8_t  head;                        /* bytes tested at the field's start */
    uint8_t  tail;                        /* and at its end */
    uint64_t head_mask;                   /* BytesBelow(head) and BytesBelow(tail) */
    uint64_t tail_mask;
    SieveBytes head_test;                 /* the head's bytes 0 to head - 1 */
    SieveBytes tail_test;                 /* the tail's bytes 0 to tail - 1 */
} SieveEnds;

/* Which of a sieve's tests a walk makes first, where it has an inner run. */
enum SieveOrder {
    SIEVE_INNER_ONLY,    /* no head or tail */
    SIEVE_ENDS_FIRST,    /* the length, the head and the tail, then the run where they pass */
    SIEVE_INNER_FIRST,   /* the run, then the ends where it stands */
    SIEVE_TOGETHER       /* both, with no branch between them */
};

typedef struct FieldSieve {
    uint8_t  on;                          /* 1 when the key has a pattern the sieve tests */
    uint8_t  order;                       /* a SieveOrder, chosen with the search's way */
    uint8_t  decides;                     /* 1 when passing the sieve is matching the key */
    uint8_t  long_field;                  /* 1 when the field holds more than 8 bytes */
    uint8_t  inner;                       /* bytes tested anywhere between the head and the tail */
    uint8_t  inner_paired;                /* bit j set when inner byte j is paired */
    uint8_t  inner_at_end;                /* 1 when the run must end where the field ends: a tail with е */
    uint8_t  pair_first;                  /* 1 when a walk whose run goes first tests the run's bytes */
    uint8_t  pair[2];                     /* pair[0] and pair[1] before the others, a plan's choice */
    uint8_t  run[SIEVE_INNER_MAX];        /* the inner bytes, folded */
    SieveEnds ends;
    /* Each inner byte's two tests, in each of 16 bytes, so that both a word and an SSE2 register
     * read them whole. */
    uint8_t  inner_or[2][SIEVE_INNER_MAX][16];
    uint8_t  inner_want[2][SIEVE_INNER_MAX][16];
    /* By the field's length: bit p set where the inner run may start at place p, past the head and
     * leaving room for the tail (only at the field's end, when inner_at_end); 0 where the pattern
     * cannot cover a field of that length. A record's field ends are bytes, so every length has its
     * entry. */
    uint32_t run_starts[256];
} FieldSieve;

/* How a search finds the records it tries. */
enum SearchWay {
    WAY_FILTER = 1,   /* the filter column of key field `filter` picks them */
    WAY_SCAN,         /* a scan of the text for `scan`'s run of literal bytes picks them */
    WAY_WALK          /* every record is tried */
};

typedef struct CompiledKey {
    int      count;                       /* non-empty key fields */
    int      way;                         /* a SearchWay */
    int      filter;                      /* the key field whose filter picks candidates, or -1 */
    LiteralScan scan;                     /* the run a scan looks for, when way is WAY_SCAN */
    int      memo_field;                  /* the pattern field whose verdicts are kept, or -1 */
    uint32_t memo_asked;                  /* verdicts looked for in the memo so far, */
    uint32_t memo_found;                  /* and found there */
    int      first_field;                 /* the lowest and highest field numbers the key tests */
    int      last_field;
    ByteMap  needed;                      /* the fields' literal bytes, folded: every record it matches holds them */
    FieldSieve sieve;                     /* what a walk tests first */
    KeyField fields[RECORD_FIELDS];       /* in the order they are tried */
    MemoSlot memo[MEMO_SLOTS];            /* verdicts for memo_field */
} CompiledKey;

/* Fills fold[b] with the form byte b takes in comparisons: lowercase, and ё for Ё folded on to е. */
void BuildFoldTable(unsigned char fold[256]);

/* Turns a key record into the tests it asks for; key text counts up to its NUL, never past its field. */
void CompileKey(const DirectoryRecord *key, const unsigned char fold[256], CompiledKey *compiled);

/* Where the field of k starts in a record of this shape, counted from the record's first byte. */
static inline size_t FieldStart(const KeyField *k, const RecordShape *shape)
{
    return shape->end[k->before] & k->before_mask;
}

/* 1 when the field of the record with this shape has a length that k's test can pass. */
static inline int FieldLengthFits(const KeyField *k, const RecordShape *shape)
{
    size_t length = shape->end[k->field] - FieldStart(k, shape);
    return k->shortest <= length && length <= k->longest;
}

/* 1 when the first length bytes of text fold to key. */
static inline int FoldedEqual(const unsigned char *key, const unsigned char *text, size_t length,
                              const unsigned char fold[256])
{
    for (size_t i = 0; i < length; i++)
        if (fold[text[i]] != key[i])
            return 0;
    return 1;
}

/* 1 when the length bytes of key fold to a run somewhere in the text_length bytes of text. */
static inline int FoldedFind(const unsigned char *key, size_t length, const unsigned char *text, size_t text_length,
                             const unsigned char fold[256])
{
    for (size_t at = 0; at + length <= text_length; at++)
        if (FoldedEqual(key, text + at, length, fold))
            return 1;
    return 0;
}

/* 1 when each other run of the scan's key field (whose folded text is key_text) stands near place in
 * the text_length bytes of text, where the field holding the scanned run there could hold it: a run
 * before the scanned one in the key within the field's longest text before it, a run after it within
 * as much after. */
static inline int OtherRunsNear(const LiteralScan *scan, const unsigned char *key_text, const unsigned char *text,
                                size_t text_length, size_t place, const unsigned char fold[256])
{
    size_t run_end = place + scan->length;
    size_t window_start = run_end > scan->longest ? run_end - scan->longest : 0;
    size_t window_end = place + scan->longest < text_length ? place + scan->longest : text_length;
    for (int j = 0; j < scan->run_count; j++) {
        size_t from = j < scan->chosen ? window_start : run_end, to = j < scan->chosen ? place : window_end;
        if (j != scan->chosen &&
            !FoldedFind(key_text + scan->run_start[j], scan->run_length[j], text + from, to > from ? to - from : 0, fold))
            return 0;
    }
    return 1;
}

/* 1 when the text of length bytes passes key field i, a pattern; may note a verdict in key->memo. */
int PatternFieldMatches(CompiledKey *key, int i, const unsigned char fold[256], const unsigned char *text,
                        size_t length);

/* 1 when every key field's length lets a record of this shape pass: one that fails is ruled out on
 * its shape alone, with no text read. */
static inline int KeyLengthsFit(const CompiledKey *key, const RecordShape *shape)
{
    for (int i = 0; i < key->count; i++)
        if (!FieldLengthFits(&key->fields[i], shape))
            return 0;
    return 1;
}

/* 1 when the record (its packed text and shape) passes every test of the key; may note a verdict in
 * key->memo. Inline, since a search asks it of every candidate and most keys are one literal field. */
static inline int RecordMatches(CompiledKey *key, const unsigned char fold[256], const char *record,
                                const RecordShape *shape)
{
    if (!KeyLengthsFit(key, shape))   /* the shape alone rules most records out: no text read */
        return 0;
    for (int i = 0; i < key->count; i++) {
        const KeyField *k = &key->fields[i];
        size_t begin = FieldStart(k, shape);
        const unsigned char *text = (const unsigned char *)record + begin;
        if (k->test != FIELD_PATTERN ? !FoldedEqual(k->text, text, k->length, fold)
                                     : !PatternFieldMatches(key, i, fold, text, shape->end[k->field] - begin))
            return 0;
    }
    return 1;
}

/* 0x80 in each byte of word that is 0, and 0 in every other byte. */
static inline uint64_t ZeroBytesHigh(uint64_t word)
{
    const uint64_t lows = 0x7F7F7F7F7F7F7F7Full;
    return ~(((word & lows) + lows) | word | lows);
}

/* The bytes of a word below byte n (n at most 8). */
static inline uint64_t BytesBelow(size_t n)
{
    return n >= 8 ? ~(uint64_t)0 : ((uint64_t)1 << (8 * n)) - 1;
}

/* The 8 bytes at p: the store keeps slack after its text. */
static inline uint64_t WordAt(const char *p)
{
    uint64_t word;
    memcpy(&word, p, sizeof word);
    return word;
}

/* The first 8 bytes at p, as a word. */
static inline uint64_t WordOf(const uint8_t *p)
{
    uint64_t word;
    memcpy(&word, p, sizeof word);
    return word;
}

/* 1 when inner byte j of the sieve passes the text byte b. */
static inline int InnerBytePasses(const FieldSieve *sieve, size_t j, unsigned char b)
{
    return (b | sieve->inner_or[0][j][0]) == sieve->inner_want[0][j][0] ||
           (b | sieve->inner_or[1][j][0]) == sieve->inner_want[1][j][0];
}

/* The places the inner run may start at in a field of length bytes: after the head, with room for the
 * run and the tail after it. The caller has checked that the length fits the pattern. */
static inline size_t InnerStarts(const FieldSieve *sieve, size_t length)
{
    return length - sieve->ends.tail - sieve->inner + 1;
}

/* 1 when the inner run stands in the field's text of length bytes (at most 8) between its head and tail. */
static inline int InnerRunPasses(const FieldSieve *sieve, const char *text, size_t length)
{
    uint64_t word = WordAt(text) & BytesBelow(length);
    /* a byte's high bit for each place the run may start at, cleared where one of its bytes fails */
    uint64_t starts = BytesBelow(InnerStarts(sieve, length)) & ~BytesBelow(sieve->ends.head) & 0x8080808080808080ull;
    if (sieve->inner_at_end)
        starts &= ~BytesBelow(InnerStarts(sieve, length) - 1);
    for (size_t j = 0; j < sieve->inner; j++) {
        uint64_t passes = ZeroBytesHigh((word | WordOf(sieve->inner_or[0][j])) ^ WordOf(sieve->inner_want[0][j]));
        if (sieve->inner_paired >> j & 1)
            passes |= ZeroBytesHigh((word | WordOf(sieve->inner_or[1][j])) ^ WordOf(sieve->inner_want[1][j]));
        starts &= passes >> (8 * j);
    }
    return starts != 0;
}

/* The same for a long field, a place at a time (the SSE2 build tests sixteen at once). */
static inline int LongInnerRunPasses(const FieldSieve *sieve, const char *text, size_t length)
{
    const unsigned char *bytes = (const unsigned char *)text;
    size_t end = InnerStarts(sieve, length);
    for (size_t at = sieve->inner_at_end ? end - 1 : sieve->ends.head; at >= sieve->ends.head && at < end; at++) {
        size_t j = 0;
        while (j < sieve->inner && InnerBytePasses(sieve, j, bytes[at + j]))
            j++;
        if (j == sieve->inner)
            return 1;
    }
    return 0;
}

/* 1 when the field of length bytes at text passes the sieve's head and tail tests. Where the length
 * does not fit the pattern (fits 0) the field need not hold the tail, which is read at its start, in
 * vain: a mask, not a choice, which the compiler may make a branch. */
static inline int EndsPass(const SieveEnds *ends, const char *text, size_t length, int fits)
{
    size_t tail_at = (length - ends->tail) & ((size_t)0 - (size_t)fits);
    uint64_t head = ((WordAt(text) | ends->head_test.or_bits) ^ ends->head_test.want) & ends->head_mask;
    uint64_t tail = ((WordAt(text + tail_at) & ends->tail_mask) | ends->tail_test.or_bits) ^ ends->tail_test.want;
    return (head | tail) == 0;
}

/* 0 when the record (its packed text and shape) cannot pass the sieve's length, head and tail tests;
 * else 1, with *text and *length its field's. The three are combined without a branch: where the
 * length alone would fail a good part of the records (a house «24?»), a branch on it goes either way
 * and costs more than reading both words. */
static inline int SieveEndsPass(const SieveEnds *ends, const char *record, const RecordShape *shape,
                                const char **text, size_t *length)
{
    size_t start = shape->end[ends->before] & ends->before_mask, end = shape->end[ends->field];
    if (start > end)
        return 0;
    *length = end - start;
    *text = record + start;
    int fits = (*length >= ends->shortest) & (*length <= ends->longest);
    return fits & EndsPass(ends, *text, *length, fits);
}

/* 1 when the sieve's inner run, if it has one, stands in the field's text of length bytes, which
 * passed the ends' tests. */
static inline int SieveInnerPasses(const FieldSieve *sieve, const char *text, size_t length)
{
    if (sieve->inner == 0)
        return 1;
    return sieve->long_field ? LongInnerRunPasses(sieve, text, length) : InnerRunPasses(sieve, text, length);
}

/* 0 when the record (its packed text and shape) cannot pass the sieve's pattern. */
static inline int SievePasses(const FieldSieve *sieve, const char *record, const RecordShape *shape)
{
    const char *text;
    size_t length;
    return SieveEndsPass(&sieve->ends, record, shape, &text, &length) && SieveInnerPasses(sieve, text, length);
}

/* 1 when the pattern of k ('*' any run, '?' any one byte, folded) covers all of text. */
int PatternMatches(const KeyField *k, const unsigned char *text, size_t text_length, const unsigned char fold[256]);

#endif /* DIALBOOK_KEY_MATCHING_H */
