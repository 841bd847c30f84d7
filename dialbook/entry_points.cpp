/* entry_points.cpp - the library's four exported functions and its one state record.
 * Defines OpenDatabase, CloseDatabase, SearchInDatabase and FillDatabaseRecord.
 */
#include "database_store.h"
#include "key_matching.h"

#include <string.h>

/* Everything the library keeps between calls. */
typedef struct DialbookState {
    DatabaseStore  store;            /* the open database; empty when none is open */
    int            open;             /* 1 while a database is open */
    unsigned char  fold[256];        /* byte -> the form comparisons use */
    DirectoryRecord last_key;        /* the key the compiled key was made from */
    int            key_ready;        /* 1 when compiled matches last_key */
    CompiledKey    key;              /* the current search's tests */
    size_t         next;             /* index of the next record to try */
    size_t         next_offset;      /* where that record's text starts */
} DialbookState;

static DialbookState g_state;

/* Starts the search over from the first record. */
static void ResetSearch(void)
{
    g_state.next = 0;
    g_state.next_offset = 0;
}

extern "C" DIRECTORY_API int DIRECTORY_CALL OpenDatabase(const DirectoryPathChar *path, int *count)
{
    CloseDatabase();
    if (!LoadDatabaseStore(path, &g_state.store))
        return 0;
    BuildFoldTable(g_state.fold);
    g_state.key_ready = 0;
    g_state.open = 1;
    ResetSearch();
    if (count != NULL)
        *count = (int)g_state.store.count;
    return 1;
}

extern "C" DIRECTORY_API void DIRECTORY_CALL CloseDatabase(void)
{
    FreeDatabaseStore(&g_state.store);
    g_state.open = 0;
    ResetSearch();
}

/* Copies record i, whose text starts at offset, into result as eight NUL-terminated fields. */
static void UnpackRecord(size_t i, size_t offset, DirectoryRecord *result)
{
    const RecordShape *shape = &g_state.store.shapes[i];
    const char *text = g_state.store.text + offset;
    char *out = (char *)result;
    static const uint8_t width[RECORD_FIELDS] = {8, 30, 30, 30, 30, 5, 5, 5};
    memset(result, 0, sizeof *result);
    size_t begin = 0;
    for (int k = 0; k < RECORD_FIELDS; k++) {
        memcpy(out, text + begin, shape->end[k] - begin);
        out += width[k];
        begin = shape->end[k];
    }
}

extern "C" DIRECTORY_API int DIRECTORY_CALL SearchInDatabase(DirectoryRecord *result, const DirectoryRecord *key,
                                                             int filled)
{
    (void)filled;   /* only a hint: the key's own fields decide */
    if (result == NULL || key == NULL) {
        ResetSearch();
        return 0;
    }
    if (!g_state.open)
        return 0;
    if (!g_state.key_ready || memcmp(key, &g_state.last_key, sizeof *key) != 0) {
        g_state.last_key = *key;
        CompileKey(key, g_state.fold, &g_state.key);
        g_state.key_ready = 1;
    }
    const DatabaseStore *store = &g_state.store;
    size_t offset = g_state.next_offset;
    for (size_t i = g_state.next; i < store->count; i++) {
        const RecordShape *shape = &store->shapes[i];
        if (RecordMatches(&g_state.key, g_state.fold, store->text + offset, shape)) {
            UnpackRecord(i, offset, result);
            g_state.next = i + 1;
            g_state.next_offset = offset + shape->end[RECORD_FIELDS - 1];
            return 1;
        }
        offset += shape->end[RECORD_FIELDS - 1];
    }
    g_state.next = store->count;
    g_state.next_offset = offset;
    return 0;
}

/* Copies at most width - 1 bytes of text into field and ends it with NUL; null text gives an empty field. */
static void FillField(char *field, size_t width, const char *text)
{
    size_t length = 0;
    if (text != NULL)
        while (length + 1 < width && text[length] != '\0')
            length++;
    if (length > 0)
        memcpy(field, text, length);
    field[length] = '\0';
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
