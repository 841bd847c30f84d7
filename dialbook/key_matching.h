/* key_matching.h - how a search key is compared with a record.
 * Every non-empty key field must match, case-insensitively in the ANSI code page with Ё as Е:
 * phone, surname, name, patronymic and street by prefix; house, building and flat whole;
 * a key field holding '*' or '?' as a pattern over the whole field.
 */
#ifndef DIALBOOK_KEY_MATCHING_H
#define DIALBOOK_KEY_MATCHING_H

#include <stdint.h>
#include "database_store.h"

enum FieldTest {
    FIELD_PREFIX,    /* the record's field starts with the key text */
    FIELD_WHOLE,     /* the record's field is the key text */
    FIELD_PATTERN    /* the key text, with '*' and '?', covers the whole field */
};

typedef struct KeyField {
    uint8_t       field;                  /* index in record order */
    uint8_t       test;                   /* a FieldTest */
    uint8_t       length;                 /* bytes of text */
    uint8_t       head;                   /* pattern: bytes before the first '*' */
    uint8_t       tail;                   /* pattern: where the text after the last '*' starts */
    uint8_t       shortest;               /* the lengths a field passing the test can have */
    uint8_t       longest;
    uint16_t      filter_mask;            /* the bits of the field's filter that the key decides */
    uint16_t      filter_want;            /* what those bits hold in every record the key can pass */
    unsigned char text[SURNAME_WIDTH];    /* folded key text, not NUL-terminated */
} KeyField;

/* Directory fields repeat: the same surname or street stands in thousands of records. So the
 * verdicts of one pattern are kept for the field texts last seen, in a small table by hash. */
#define MEMO_BITS 13
#define MEMO_SLOTS (1 << MEMO_BITS)
#define MEMO_UNUSED 0xFF
#define MEMO_WORDS (32 / sizeof(size_t))   /* a field's longest text, in machine words */

typedef struct MemoSlot {
    size_t        words[MEMO_WORDS];      /* the field's text, zero past its length in the words its length counts */
    uint8_t       length;                 /* bytes of text, or MEMO_UNUSED */
    uint8_t       verdict;                /* 1 when the pattern covers the text */
} MemoSlot;

typedef struct CompiledKey {
    int      count;                       /* non-empty key fields */
    int      filter;                      /* the key field whose filter picks candidates, or -1 */
    int      memo_field;                  /* the pattern field whose verdicts are kept, or -1 */
    int      first_field;                 /* the lowest and highest field numbers the key tests */
    int      last_field;
    KeyField fields[RECORD_FIELDS];       /* in the order they are tried */
    MemoSlot memo[MEMO_SLOTS];            /* verdicts for memo_field */
} CompiledKey;

/* Fills fold[b] with the form byte b takes in comparisons: lowercase, and ё for Ё folded on to е. */
void BuildFoldTable(unsigned char fold[256]);

/* Turns a key record into the tests it asks for; key text counts up to its NUL, never past its field. */
void CompileKey(const DirectoryRecord *key, const unsigned char fold[256], CompiledKey *compiled);

/* 1 when the field of the record with this shape has a length that k's test can pass. */
static inline int FieldLengthFits(const KeyField *k, const RecordShape *shape)
{
    size_t length = shape->end[k->field] - (k->field == 0 ? 0 : shape->end[k->field - 1]);
    return k->shortest <= length && length <= k->longest;
}

/* 1 when the record (its packed text and shape) passes every test of the key; may note a verdict in key->memo. */
int RecordMatches(CompiledKey *key, const unsigned char fold[256], const char *record, const RecordShape *shape);

/* 1 when the pattern of k ('*' any run, '?' any one byte, folded) covers all of text. */
int PatternMatches(const KeyField *k, const unsigned char *text, size_t text_length, const unsigned char fold[256]);

#endif /* DIALBOOK_KEY_MATCHING_H */
