/* library_binding.cpp - binding the directory library at run time, by name.
 * Defines BindDirectoryLibrary.
 */
#include "viewer.h"

int BindDirectoryLibrary(void)
{
    HMODULE library = LoadLibraryW(DIRECTORY_LIBRARY);
    if (library == NULL) {
        ShowSystemError(GetLastError());
        return 0;
    }
    /* Resolved in the library's own order; the first missing name stops the lookups, so the
     * last error is the one of that name. */
    FARPROC open   = GetProcAddress(library, "OpenDatabase");
    FARPROC close  = open   != NULL ? GetProcAddress(library, "CloseDatabase")      : NULL;
    FARPROC search = close  != NULL ? GetProcAddress(library, "SearchInDatabase")   : NULL;
    FARPROC fill   = search != NULL ? GetProcAddress(library, "FillDatabaseRecord") : NULL;
    if (fill == NULL) {
        ShowSystemError(GetLastError());
        return 0;
    }
    /* Through void * because the entry points' types differ from FARPROC's. */
    g_viewer.openDatabase       = (OpenDatabaseFn)(void *)open;
    g_viewer.closeDatabase      = (CloseDatabaseFn)(void *)close;
    g_viewer.searchInDatabase   = (SearchInDatabaseFn)(void *)search;
    g_viewer.fillDatabaseRecord = (FillDatabaseRecordFn)(void *)fill;
    return 1;
}
