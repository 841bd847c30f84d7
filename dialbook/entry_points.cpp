/* entry_points.cpp - the library's four exported functions and its one state record.
 * Defines OpenDatabase, CloseDatabase, SearchInDatabase and FillDatabaseRecord.
 */
#include "byte_presence.h"
#include "database_search.h"
#include "library_switches.h"
#include "search_way.h"
#include "sse2_choice.h"

#include <string.h>

/* Everything the library keeps between calls. */
typedef struct DialbookState {
    DatabaseStore   store;       /* the open database; empty when none is open */
    int             open;        /* 1 while a database is open */
    KeyCopy         key_copy;    /* the key compiled last, as far as it counts */
    int             key_ready;   /* 1 when a key has been compiled for the open database */
    CompiledKey     key;         /* the current search's tests */
    SearchCursor    cursor;      /* where the search stands */
    FindNextMatchFn *find_next;  /* the search built for this processor */
    SameKeyFn       *same_key;   /* and its check of the key */
} DialbookState;

static DialbookState g_state;

LibrarySwitches g_switches;

extern "C" DIRECTORY_API int DIRECTORY_CALL OpenDatabase(const DirectoryPathChar *path, int *count)
{
    CloseDatabase();
    if (!LoadDatabaseStore(path, &g_state.store))
        return 0;
    if (g_switches.byte_maps != BYTE_MAPS_NONE)
        StartByteMaps(&g_state.store, g_switches.byte_maps == BYTE_MAPS_AT_OPEN);
    ChooseSearch(&g_state.find_next, &g_state.same_key);
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
    if (!g_state.key_ready || !g_state.same_key(&g_state.key_copy, key)) {   /* asked on every call */
        NoteKey(&g_state.key_copy, key);
        CompileKey(key, g_state.store.fold, &g_state.key);
        ChooseSearchWay(&g_state.store, &g_state.key);
        g_state.key_ready = 1;
        RestartCursor(&g_state.cursor, g_state.cursor.next);   /* what was gathered was for the old key */
    }
    return g_state.find_next(&g_state.store, &g_state.key, &g_state.cursor, result);
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
