/* entry_points.cpp - the library's four exported functions and its one state record.
 * Defines OpenDatabase, CloseDatabase, SearchInDatabase and FillDatabaseRecord.
 */
#include "database_search.h"
#include "library_switches.h"

#include <string.h>

/* Everything the library keeps between calls. */
typedef struct DialbookState {
    DatabaseStore   store;       /* the open database; empty when none is open */
    int             open;        /* 1 while a database is open */
    DirectoryRecord last_key;    /* the key that the compiled key was made from */
    int             key_ready;   /* 1 when key matches last_key */
    CompiledKey     key;         /* the current search's tests */
    SearchCursor    cursor;      /* where the search stands */
} DialbookState;

static DialbookState g_state;

LibrarySwitches g_switches;

extern "C" DIRECTORY_API int DIRECTORY_CALL OpenDatabase(const DirectoryPathChar *path, int *count)
{
    CloseDatabase();
    if (!LoadDatabaseStore(path, &g_state.store))
        return 0;
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

/* Writes length bytes of text to out as a size-byte block, zero past the text. The block is a
 * fixed size, so no copy depends on a length; what it writes past a field the next one overwrites. */
static inline void PutField(char *out, const char *text, size_t length, size_t size)
{
    unsigned char block[32], keep[32];
    memcpy(block, text, sizeof block);                    /* the store keeps slack after its text */
    memcpy(keep, kKeepBytes + 32 - length, sizeof keep);
    for (size_t b = 0; b < sizeof block; b++)
        block[b] &= keep[b];
    memcpy(out, block, size);
}

/* Copies the record found into result as eight NUL-padded fields, in order,
 * each block running over into the next field; the last one is written to its exact width. */
static void UnpackRecord(const FoundRecord *found, DirectoryRecord *result)
{
    const uint8_t *end = found->shape->end;
    const char *text = found->text;
    char *out = (char *)result;
    PutField(out + 0, text, end[0], 32);
    PutField(out + 8, text + end[0], end[1] - end[0], 32);
    PutField(out + 38, text + end[1], end[2] - end[1], 32);
    PutField(out + 68, text + end[2], end[3] - end[2], 32);
    PutField(out + 98, text + end[3], end[4] - end[3], 32);
    PutField(out + 128, text + end[4], end[5] - end[4], 8);
    PutField(out + 133, text + end[5], end[6] - end[5], 8);
    PutField(out + 138, text + end[6], end[7] - end[6], FLAT_WIDTH);
}

/* 1 when two keys hold the same bytes. Asked on every call of a search: word by word, without a call. */
static inline int SameKey(const DirectoryRecord *a, const DirectoryRecord *b)
{
    const char *x = (const char *)a, *y = (const char *)b;
    uint64_t differ = 0;
    for (size_t i = 0; i + 8 <= sizeof *a; i += 8) {
        uint64_t u, v;
        memcpy(&u, x + i, 8);
        memcpy(&v, y + i, 8);
        differ |= u ^ v;
    }
    uint64_t u, v;   /* the last bytes, in a word that overlaps the one before */
    memcpy(&u, x + sizeof *a - 8, 8);
    memcpy(&v, y + sizeof *a - 8, 8);
    return (differ | (u ^ v)) == 0;
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
    if (!g_state.key_ready || !SameKey(key, &g_state.last_key)) {
        g_state.last_key = *key;
        CompileKey(key, g_state.store.fold, &g_state.key);
        g_state.key.filter = PickFilterField(&g_state.key);
        g_state.key_ready = 1;
        RestartCursor(&g_state.cursor, g_state.cursor.next);   /* what was gathered was for the old key */
    }
    FoundRecord found;
    if (!FindNextMatch(&g_state.store, &g_state.key, &g_state.cursor, &found))
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
