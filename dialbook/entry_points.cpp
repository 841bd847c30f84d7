/* entry_points.cpp - the library's four exported functions and its one state record.
 * Defines OpenDatabase, CloseDatabase, SearchInDatabase and FillDatabaseRecord.
 */
#include "database_search.h"
#include "library_switches.h"
#include "sse2_choice.h"

#include <string.h>

/* Everything the library keeps between calls. */
typedef struct DialbookState {
    DatabaseStore   store;       /* the open database; empty when none is open */
    int             open;        /* 1 while a database is open */
    DirectoryRecord last_key;    /* the key that the compiled key was made from */
    uint8_t         counted[RECORD_FIELDS];   /* its bytes that count in each field: the text and its NUL */
    int             key_ready;   /* 1 when key matches last_key */
    CompiledKey     key;         /* the current search's tests */
    SearchCursor    cursor;      /* where the search stands */
    FindNextMatchFn *find_next;  /* the search built for this processor */
} DialbookState;

static DialbookState g_state;

LibrarySwitches g_switches;

extern "C" DIRECTORY_API int DIRECTORY_CALL OpenDatabase(const DirectoryPathChar *path, int *count)
{
    CloseDatabase();
    if (!LoadDatabaseStore(path, &g_state.store))
        return 0;
    g_state.find_next = ChooseSearch();
    g_state.open = 1;
    if (count != NULL)
        *count = (int)g_state.store.count;
    return 1;
}

extern "C" DIRECTORY_API void DIRECTORY_CALL CloseDatabase(void)
{
    FreeDatabaseStore(&g_state.store);
    g_state.open = 0;
    g_state.key_ready = 0;   /* the compiled key holds the old database's case folding */
    RestartCursor(&g_state.cursor, 0);
    g_state.cursor.segment = 0;
}

/* Writes length bytes of text to out as a block of block bytes (8 or 32, a constant), zero past the
 * text. No copy depends on a length: the text is masked and stored a machine word at a time, and
 * what a block writes past its field the next one overwrites. */
static inline void PutField(char *out, const char *text, size_t length, size_t block)
{
    for (size_t at = 0; at < block; at += sizeof(size_t)) {
        size_t word, keep;
        memcpy(&word, text + at, sizeof word);   /* the store keeps slack after its text */
        memcpy(&keep, kKeepBytes + 32 - length + at, sizeof keep);
        word &= keep;
        memcpy(out + at, &word, sizeof word);
    }
}

/* The flat, last in the record, holds 4 bytes of text at most: a 4-byte block and its NUL, so that
 * nothing is written past the record. */
static inline void PutFlat(char *out, const char *text, size_t length)
{
    uint32_t word, keep;
    memcpy(&word, text, sizeof word);
    memcpy(&keep, kKeepBytes + 32 - length, sizeof keep);
    word &= keep;
    memcpy(out, &word, sizeof word);
    out[4] = '\0';
}

/* Copies the record found into result as eight NUL-padded fields, in order, each block running
 * over into the next field; the last one is written to its exact width. */
static void UnpackRecord(const FoundRecord *found, DirectoryRecord *result)
{
    const uint8_t *end = found->shape->end;
    const char *text = found->text;
    char *out = (char *)result;
    PutField(out + 0, text, end[0], 8);
    PutField(out + 8, text + end[0], end[1] - end[0], 32);
    PutField(out + 38, text + end[1], end[2] - end[1], 32);
    PutField(out + 68, text + end[2], end[3] - end[2], 32);
    PutField(out + 98, text + end[3], end[4] - end[3], 32);
    PutField(out + 128, text + end[4], end[5] - end[4], 8);
    PutField(out + 133, text + end[5], end[6] - end[5], 8);
    PutFlat(out + 138, text + end[6], end[7] - end[6]);
}

/* Notes which bytes of the key count: in each field its text and the NUL that ends it, or the whole
 * field when it has none. */
static void NoteCountedBytes(const DirectoryRecord *key, uint8_t counted[RECORD_FIELDS])
{
    const char *bytes = (const char *)key;
    for (int f = 0; f < RECORD_FIELDS; f++) {
        const char *field = bytes + kFieldOffset[f];
        size_t n = 0;
        while (n < kFieldWidth[f] && field[n] != '\0')
            n++;
        counted[f] = (uint8_t)(n < kFieldWidth[f] ? n + 1 : n);
    }
}

/* 1 when key holds the same text as the last key in every field. Asked on every call of a search, so
 * only the bytes that count are compared: a key's usual fields are empty, and then one byte is. */
static inline int SameKey(const DirectoryRecord *key, const DirectoryRecord *last, const uint8_t counted[RECORD_FIELDS])
{
    const char *x = (const char *)key, *y = (const char *)last;
    for (int f = 0; f < RECORD_FIELDS; f++)
        for (size_t i = kFieldOffset[f]; i < kFieldOffset[f] + counted[f]; i++)
            if (x[i] != y[i])
                return 0;
    return 1;
}

extern "C" DIRECTORY_API int DIRECTORY_CALL SearchInDatabase(DirectoryRecord *result, const DirectoryRecord *key,
                                                             int filled)
{
    (void)filled;   /* only a hint: the key's own fields decide */
    if (result == NULL || key == NULL) {
        RestartCursor(&g_state.cursor, 0);
        return 0;
    }
    if (!g_state.open)
        return 0;
    if (!g_state.key_ready || !SameKey(key, &g_state.last_key, g_state.counted)) {
        g_state.last_key = *key;
        NoteCountedBytes(key, g_state.counted);
        CompileKey(key, g_state.store.fold, &g_state.key);
        g_state.key.filter = PickFilterField(&g_state.key);
        g_state.key_ready = 1;
        RestartCursor(&g_state.cursor, g_state.cursor.next);   /* what was gathered was for the old key */
    }
    FoundRecord found;
    if (!g_state.find_next(&g_state.store, &g_state.key, &g_state.cursor, &found))
        return 0;
    UnpackRecord(&found, result);
    return 1;
}

/* Copies at most width - 1 bytes of text into field, whose bytes are already zero; null text leaves it empty.
 * A string may end at any byte, even the last of its page, so no byte past its NUL is read. With width known
 * when compiled the loop is unrolled whole: each byte is a load, a store and a test, the NUL stored with the rest. */
static inline void FillField(char *field, size_t width, const char *text)
{
    if (text == NULL)
        return;
#pragma GCC unroll 32
    for (size_t i = 0; i + 1 < width; i++)
        if ((field[i] = text[i]) == '\0')
            return;
}

extern "C" DIRECTORY_API void DIRECTORY_CALL FillDatabaseRecord(DirectoryRecord *record, const char *phone,
                                                                const char *surname, const char *name,
                                                                const char *patronymic, const char *street,
                                                                const char *house, const char *building,
                                                                const char *flat)
{
    if (record == NULL)
        return;
    memset(record, 0, sizeof *record);
    FillField(record->phone, sizeof record->phone, phone);
    FillField(record->surname, sizeof record->surname, surname);
    FillField(record->name, sizeof record->name, name);
    FillField(record->patronymic, sizeof record->patronymic, patronymic);
    FillField(record->street, sizeof record->street, street);
    FillField(record->house, sizeof record->house, house);
    FillField(record->building, sizeof record->building, building);
    FillField(record->flat, sizeof record->flat, flat);
}
