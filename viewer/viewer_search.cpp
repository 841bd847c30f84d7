/* viewer_search.cpp - the search command: the form read into a key, the library's matches shown
 * as rows of the result list, newest on top. Defines SearchCommand.
 */
#include "viewer.h"

#include <commctrl.h>
#include <string.h>

/* Each box into its field, as ANSI text cut to the field's width. */
static void ReadSearchForm(DirectoryRecord *key)
{
    memset(key, 0, sizeof *key);
    for (size_t i = 0; i < ARRAY_SIZE(ColumnTable); i++) {
        char *field = (char *)key + kFieldSpecs[i].offset;
        GetWindowTextA(g_viewer.edits[i], field, (int)kFieldSpecs[i].width);
    }
}

static int CountFilledFields(const DirectoryRecord *key)
{
    int filled = 0;
    for (size_t i = 0; i < ARRAY_SIZE(ColumnTable); i++)
        if (((const char *)key)[kFieldSpecs[i].offset] != '\0')
            filled++;
    return filled;
}

/* The one place record text becomes window text: field column of record, up to its NUL but never
 * past the record's end, in composite form. 1, or 0 with the last error set when it does not fit. */
static int ConvertField(const DirectoryRecord *record, size_t column, WCHAR *cell, int cellChars)
{
    size_t offset = kFieldSpecs[column].offset;
    const char *text = (const char *)record + offset;
    size_t length = strnlen(text, sizeof *record - offset);
    int written = 0;
    if (length > 0) {
        written = MultiByteToWideChar(CP_ACP, MB_COMPOSITE, text, (int)length, cell, cellChars - 1);
        if (written == 0)
            return 0;
    }
    cell[written] = L'\0';
    return 1;
}

/* The damaged-record path: the viewer's own words, then the system's. */
static void ReportDamagedRecord(void)
{
    DWORD error = GetLastError();
    ShowMessage(g_viewer.mainWindow, L"Ошибка вывода! Возможно база повреждена! Поиск остановлен", NULL);
    ShowSystemError(error);
}

/* Puts record in a new row at the top; 0 when a field cannot be shown (the cells set so far stay). */
static int InsertTopRow(const DirectoryRecord *record)
{
    WCHAR cell[CELL_CHARS];
    LVITEMW item;
    ZeroMemory(&item, sizeof item);
    item.mask = LVIF_TEXT;
    item.pszText = cell;
    if (!ConvertField(record, 0, cell, (int)ARRAY_SIZE(cell)))
        return 0;
    /* A row that cannot be added would leave the next cells to overwrite the previous top row. */
    if (SendMessageW(g_viewer.resultList, LVM_INSERTITEMW, 0, (LPARAM)&item) < 0)
        return 0;
    for (size_t column = 1; column < ARRAY_SIZE(ColumnTable); column++) {
        if (!ConvertField(record, column, cell, (int)ARRAY_SIZE(cell)))
            return 0;
        item.iSubItem = (int)column;
        SendMessageW(g_viewer.resultList, LVM_SETITEMTEXTW, 0, (LPARAM)&item);
    }
    return 1;
}

/* Walks the matches into the list until none is left, the cap is reached or a row fails. */
static void FillResultList(const DirectoryRecord *key, int filled)
{
    DirectoryRecord result;
    int rows = 0;
    while (g_viewer.searchInDatabase(&result, key, filled)) {
        if (rows == MAX_RESULT_ROWS) {
            ShowMessage(g_viewer.mainWindow, L"Найдено более 30000 записей. Отображены первые 30000", L"Внимание!");
            return;
        }
        if (!InsertTopRow(&result)) {
            ReportDamagedRecord();
            return;
        }
        rows++;
    }
}

void SearchCommand(void)
{
    DirectoryRecord key;
    if (!g_viewer.databaseOpen) {
        ShowMessage(g_viewer.mainWindow, L"Сначало загрузите базу", NULL);
        return;
    }
    ReadSearchForm(&key);
    int filled = CountFilledFields(&key);
    SendMessageW(g_viewer.resultList, LVM_DELETEALLITEMS, 0, 0);
    g_viewer.searchInDatabase(NULL, NULL, 0);
    if (filled == 0) {
        ShowMessage(g_viewer.mainWindow, L"Введите данные хотя бы в одно поле!", NULL);
        return;
    }
    /* The list neither scrolls nor repaints while it fills: once at the end is enough. */
    SendMessageW(g_viewer.resultList, WM_SETREDRAW, FALSE, 0);
    FillResultList(&key, filled);
    SendMessageW(g_viewer.resultList, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(g_viewer.resultList, NULL, NULL, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
}
