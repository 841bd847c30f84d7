/* key_matching.cpp - compiling a search key and testing records against it.
 * Defines CompileKey, RecordMatches and PatternMatches.
 */
#include "key_matching.h"

#include <string.h>

/* The key's fields in the order they are tried: the ones that tell records apart soonest first. */
static const uint8_t kTryOrder[RECORD_FIELDS] = {1, 0, 4, 2, 3, 7, 5, 6};

static const size_t kFieldOffset[RECORD_FIELDS] = {
    offsetof(DirectoryRecord, phone),      offsetof(DirectoryRecord, surname),
    offsetof(DirectoryRecord, name),       offsetof(DirectoryRecord, patronymic),
    offsetof(DirectoryRecord, street),     offsetof(DirectoryRecord, house),
    offsetof(DirectoryRecord, building),   offsetof(DirectoryRecord, flat),
};

static const uint8_t kFieldWidth[RECORD_FIELDS] = {
    PHONE_WIDTH, SURNAME_WIDTH, NAME_WIDTH, PATRONYMIC_WIDTH, STREET_WIDTH, HOUSE_WIDTH, BUILDING_WIDTH, FLAT_WIDTH,
};

void CompileKey(const DirectoryRecord *key, const unsigned char fold[256], CompiledKey *compiled)
{
    const unsigned char *bytes = (const unsigned char *)key;
    compiled->count = 0;
    for (int i = 0; i < RECORD_FIELDS; i++) {
        int f = kTryOrder[i];
        const unsigned char *text = bytes + kFieldOffset[f];
        size_t length = 0;
        while (length < kFieldWidth[f] && text[length] != '\0')
            length++;
        if (length == 0)
            continue;
        KeyField *out = &compiled->fields[compiled->count++];
        out->field = (uint8_t)f;
        out->length = (uint8_t)length;
        out->test = f >= 5 ? FIELD_WHOLE : FIELD_PREFIX;
        for (size_t j = 0; j < length; j++) {
            if (text[j] == '*' || text[j] == '?')
                out->test = FIELD_PATTERN;
            out->text[j] = fold[text[j]];
        }
    }
}

/* 1 when the first length bytes of text fold to key. */
static int FoldedEqual(const unsigned char *key, const unsigned char *text, size_t length, const unsigned char fold[256])
{
    for (size_t i = 0; i < length; i++)
        if (fold[text[i]] != key[i])
            return 0;
    return 1;
}

/* Iterative matcher: on a mismatch it goes back only to the last '*', so the work is
 * bounded by pattern length times text length, never exponential. */
int PatternMatches(const unsigned char *pattern, size_t pattern_length, const unsigned char *text, size_t text_length,
                   const unsigned char fold[256])
{
    size_t p = 0, t = 0;
    size_t star = (size_t)-1, resume = 0;
    while (t < text_length) {
        if (p < pattern_length && pattern[p] == '*') {
            star = p++;
            resume = t;
        } else if (p < pattern_length && (pattern[p] == '?' || pattern[p] == fold[text[t]])) {
            p++;
            t++;
        } else if (star != (size_t)-1) {
            p = star + 1;
            t = ++resume;
        } else {
            return 0;
        }
    }
    while (p < pattern_length && pattern[p] == '*')
        p++;
    return p == pattern_length;
}

int RecordMatches(const CompiledKey *key, const unsigned char fold[256], const char *record, const RecordShape *shape)
{
    for (int i = 0; i < key->count; i++) {
        const KeyField *k = &key->fields[i];
        size_t begin = k->field == 0 ? 0 : shape->end[k->field - 1];
        size_t length = shape->end[k->field] - begin;
        const unsigned char *text = (const unsigned char *)record + begin;
        switch (k->test) {
        case FIELD_PREFIX:
            if (length < k->length || !FoldedEqual(k->text, text, k->length, fold))
                return 0;
            break;
        case FIELD_WHOLE:
            if (length != k->length || !FoldedEqual(k->text, text, k->length, fold))
                return 0;
            break;
        default:
            if (!PatternMatches(k->text, k->length, text, length, fold))
                return 0;
            break;
        }
    }
    return 1;
}
