/* database_loading.cpp - making a file the open database: the default one at start-up and any
 * other through the open-file dialog. Defines OpenDefaultDatabase and LoadDatabaseCommand.
 */
#include "viewer.h"

#include <commdlg.h>
#include <wchar.h>

/* "Количество элементов: N" under the caption that says the load worked. */
static void ReportRecordCount(void)
{
    WCHAR message[MESSAGE_CHARS];
    swprintf(message, ARRAY_SIZE(message), L"Количество элементов: %d", g_viewer.recordCount);
    ShowMessage(g_viewer.mainWindow, message, L"База данных загружена!");
}

/* A missing default database is no error: the user may load one or is asked to when searching. */
void OpenDefaultDatabase(void)
{
    g_viewer.databaseOpen = g_viewer.openDatabase(DEFAULT_DATABASE, &g_viewer.recordCount);
    if (g_viewer.databaseOpen)
        ReportRecordCount();
}

/* The system's open-file dialog with nothing changed: no filter, no title, no flags, so a typed
 * name of a missing file comes back too. 1 and path filled, or 0 on cancel or failure. */
static int AskForDatabasePath(WCHAR *path, DWORD pathChars)
{
    OPENFILENAMEW dialog;
    ZeroMemory(&dialog, sizeof dialog);
    dialog.lStructSize = sizeof dialog;
    dialog.hwndOwner   = g_viewer.mainWindow;
    dialog.hInstance   = g_viewer.instance;
    dialog.lpstrFile   = path;
    dialog.nMaxFile    = pathChars;
    return GetOpenFileNameW(&dialog) ? 1 : 0;
}

/* The open database is closed before the new one is tried, so a failed load leaves none open.
 * The result list keeps its rows until the next search. */
void LoadDatabaseCommand(void)
{
    WCHAR path[PATH_CHARS];
    ZeroMemory(path, sizeof path);
    if (!AskForDatabasePath(path, ARRAY_SIZE(path)))
        return;
    if (g_viewer.databaseOpen) {
        g_viewer.closeDatabase();
        g_viewer.databaseOpen = 0;
    }
    g_viewer.databaseOpen = g_viewer.openDatabase(path, &g_viewer.recordCount);
    if (!g_viewer.databaseOpen) {
        ShowMessage(g_viewer.mainWindow, L"Не могу открыть базу!", NULL);
        return;
    }
    ReportRecordCount();
}
