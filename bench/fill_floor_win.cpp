// fill_floor_win.cpp - the viewer's 30000-row fill beside the least its list view messages cost, in
// one process under Wine. The floor sends a bare report list of the viewer's eight columns, in a
// top-level window of the viewer's size, what the viewer sends for each row (LVM_INSERTITEMW at 0
// with column 0's text, then LVM_SETITEMTEXTW for columns 1 to 7), its cells converted beforehand,
// with redrawing off around the rows and the list redrawn and painted after them as the viewer does.
// The viewer's own search (velkor_core, pressed through its main window's WM_COMMAND) fills its own
// list from a scripted library that returns the same 30000 records.
//
// Each run of a setup, its window alone on the screen, times two things:
//   fill    an empty list filled and painted (for a floor also "rows", the row messages alone, and
//           "paint", the rest: redrawing off and on, the redraw and the paint after the rows);
//   delete  LVM_DELETEALLITEMS on the full list, as the next search sends it, which leaves the list
//           empty for the next run.
// Setups take turns, each round starting from the next one, after one warm-up round; after the
// warm-up every list's cells are compared with the records.
//
// Usage: fill_floor_win [RUNS [SETUP...]]     (default 21 runs of: floor improved viewer)
//   floor     the floor: the list and its parent as the viewer had them at first
//   improved  the floor as the viewer has them now: the parent answers LVN_DELETEALLITEMS
//   viewer    the viewer's own search
//   count hidden report doublebuffer    one other change to the floor each (see kSetups)
// Prints one line a figure, "SETUP WHAT median_ms M min_ms A max_ms B", the conversion alone, and the
// viewer's fill and delete against each floor's ("ratio"); each run's figures go to stderr.
#include "viewer.h"

#include <commctrl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "text_helpers.h"

namespace {

const int ROWS = MAX_RESULT_ROWS;

double Now()
{
    LARGE_INTEGER frequency, counter;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return 1000.0 * (double)counter.QuadPart / (double)frequency.QuadPart;
}

// ---- the records: what a search for one surname over a large directory returns -------------

std::vector<DirectoryRecord> records;
size_t nextRecord = 0;

// Puts UTF-8 text into a record's field in Windows-1251, cut to the field's longest text.
void CopyField(DirectoryRecord *record, RecordField field, const std::string &utf8)
{
    std::string text = Cp1251FromUtf8(utf8).substr(0, kFieldSpecs[field].longest);
    memcpy(reinterpret_cast<char *>(record) + kFieldSpecs[field].offset, text.c_str(), text.size() + 1);
}

// Varied names and streets, some with й and ё (which the composite form splits), house numbers with
// and without a building, as a directory's rows are.
void MakeRecords()
{
    static const char *const names[] = { "Иван", "Пётр", "Сергей", "Мария", "Анна", "Алексей", "Ольга" };
    static const char *const patronymics[] = { "Петрович", "Иванович", "Сергеевна", "Алексеевич",
                                               "Николаевна", "Андреевич", "Фёдоровна", "Юрьевич" };
    static const char *const streets[] = { "Ленина", "Садовая", "Мира", "Школьная", "Лесная",
                                           "Набережная", "Майская", "Первомайский проспект" };
    for (int i = 0; i < ROWS; i++) {
        DirectoryRecord record;
        memset(&record, 0, sizeof record);
        int entry = i * 33;
        CopyField(&record, FIELD_PHONE, std::to_string(2000000 + entry));
        CopyField(&record, FIELD_SURNAME, "Замеров");
        CopyField(&record, FIELD_NAME, names[i % 7]);
        CopyField(&record, FIELD_PATRONYMIC, patronymics[i % 8]);
        CopyField(&record, FIELD_STREET, streets[i % 8]);
        CopyField(&record, FIELD_HOUSE, std::to_string(entry % 150 + 1));
        CopyField(&record, FIELD_BUILDING, i % 5 == 0 ? std::to_string(i % 3 + 1) : "");
        CopyField(&record, FIELD_FLAT, std::to_string(entry % 300 + 1));
        records.push_back(record);
    }
}

// The scripted library: the records in order after each reset, for any key.
int DIRECTORY_CALL ScriptedSearch(DirectoryRecord *result, const DirectoryRecord *key, int filled)
{
    if (result == NULL && key == NULL && filled == 0) {
        nextRecord = 0;
        return 0;
    }
    if (nextRecord >= records.size())
        return 0;
    *result = records[nextRecord++];
    return 1;
}

int DIRECTORY_CALL ScriptedOpen(const DirectoryPathChar *, int *count)
{
    *count = ROWS;
    return 1;
}

void DIRECTORY_CALL ScriptedClose(void) {}

// One field as the viewer converts it: up to its NUL, in composite form; the characters written.
int Convert(const DirectoryRecord &record, size_t column, WCHAR *cell)
{
    const char *text = reinterpret_cast<const char *>(&record) + kFieldSpecs[column].offset;
    size_t length = strnlen(text, kFieldSpecs[column].width);
    int written = length > 0 ? MultiByteToWideChar(CP_ACP, MB_COMPOSITE, text, (int)length, cell, CELL_CHARS - 1) : 0;
    cell[written] = L'\0';
    return written;
}

// The floor's cells, row by row, converted before any timing.
std::vector<std::wstring> cells;

void ConvertCells()
{
    WCHAR cell[CELL_CHARS];
    for (const DirectoryRecord &record : records)
        for (size_t column = 0; column < RECORD_FIELDS; column++) {
            Convert(record, column, cell);
            cells.push_back(cell);
        }
}

// What the viewer's conversion of every cell costs alone; milliseconds.
double ConvertAll()
{
    WCHAR cell[CELL_CHARS];
    double start = Now();
    for (const DirectoryRecord &record : records)
        for (size_t column = 0; column < RECORD_FIELDS; column++)
            Convert(record, column, cell);
    return Now() - start;
}

// ---- the setups -----------------------------------------------------------------------------

// One way of setting the floor's list up, deleting its rows and filling it; or the viewer.
struct Setup {
    const char *key;
    const char *name;
    DWORD       listStyle;      // besides WS_CHILD | WS_VISIBLE
    DWORD       listExStyles;   // LVM_SETEXTENDEDLISTVIEWSTYLE, 0 for none
    bool        setItemCount;   // LVM_SETITEMCOUNT before the rows
    bool        hideList;       // the list hidden while the rows go in, shown after
    bool        quietParent;    // the parent answers LVN_DELETEALLITEMS with TRUE: no LVN_DELETEITEM a row
    bool        viewer;         // the viewer's own window and search, not a floor
    HWND        frame, list;
};

const DWORD VIEWER_STYLE = LVS_REPORT | LVS_EDITLABELS;

Setup kSetups[] = {
    { "floor", "floor: the list and its parent as the viewer had them", VIEWER_STYLE, 0, false, false, false, false,
      NULL, NULL },
    { "improved", "floor: as the viewer has them now, the parent taking LVN_DELETEALLITEMS", VIEWER_STYLE, 0, false,
      false, true, false, NULL, NULL },
    { "viewer", "viewer: SearchCommand", 0, 0, false, false, false, true, NULL, NULL },
    { "count", "floor, LVM_SETITEMCOUNT first", VIEWER_STYLE, 0, true, false, false, false, NULL, NULL },
    { "hidden", "floor, list hidden while filled", VIEWER_STYLE, 0, false, true, false, false, NULL, NULL },
    { "report", "floor, LVS_REPORT alone", LVS_REPORT, 0, false, false, false, false, NULL, NULL },
    { "doublebuffer", "floor, LVS_EX_DOUBLEBUFFER", VIEWER_STYLE, LVS_EX_DOUBLEBUFFER, false, false, false, false, NULL,
      NULL },
};

Setup *Find(const std::string &key)
{
    for (Setup &setup : kSetups)
        if (key == setup.key)
            return &setup;
    return NULL;
}

LRESULT CALLBACK QuietParentProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_NOTIFY && ((NMHDR *)lparam)->code == LVN_DELETEALLITEMS)
        return TRUE;
    return DefWindowProcW(window, message, wparam, lparam);
}

void RegisterFloorClasses()
{
    WNDCLASSEXW windowClass = {};
    windowClass.cbSize        = sizeof windowClass;
    windowClass.style         = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc   = DefWindowProcW;
    windowClass.hInstance     = GetModuleHandleW(NULL);
    windowClass.hCursor       = LoadCursorW(NULL, IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_MENU + 1);
    windowClass.lpszClassName = L"FillFloor";
    RegisterClassExW(&windowClass);
    windowClass.lpfnWndProc   = QuietParentProc;
    windowClass.lpszClassName = L"FillFloorQuiet";
    RegisterClassExW(&windowClass);
}

int FrameWidth()
{
    int width = 46;   // as the viewer's window: its columns and a frame's extra
    for (const ColumnSpec &column : ColumnTable)
        width += column.width;
    return width;
}

// A top-level window of the viewer's size with the list where the viewer has its own.
bool CreateFloor(Setup *setup)
{
    setup->frame = CreateWindowExW(0, setup->quietParent ? L"FillFloorQuiet" : L"FillFloor", L"floor",
                                   WS_OVERLAPPEDWINDOW, 0, 0, FrameWidth(), 800, NULL, NULL, GetModuleHandleW(NULL), NULL);
    RECT client = {};
    GetClientRect(setup->frame, &client);
    setup->list = CreateWindowExW(WS_EX_STATICEDGE, WC_LISTVIEWW, NULL, WS_CHILD | WS_VISIBLE | setup->listStyle, 0, 100,
                                  client.right, client.bottom - 100, setup->frame, NULL, GetModuleHandleW(NULL), NULL);
    if (setup->list == NULL)
        return false;
    if (setup->listExStyles != 0)
        SendMessageW(setup->list, LVM_SETEXTENDEDLISTVIEWSTYLE, setup->listExStyles, setup->listExStyles);
    for (size_t i = 0; i < RECORD_FIELDS; i++) {
        LVCOLUMNW column = {};
        column.mask     = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt      = LVCFMT_LEFT;
        column.cx       = ColumnTable[i].width;
        column.pszText  = (WCHAR *)ColumnTable[i].title;
        column.iSubItem = (int)i;
        SendMessageW(setup->list, LVM_INSERTCOLUMNW, i, (LPARAM)&column);
    }
    return true;
}

// The viewer's main window as the program makes it, bound to the scripted library, the surname typed.
bool CreateViewer(Setup *setup)
{
    g_viewer.instance = GetModuleHandleW(NULL);
    g_viewer.openDatabase = ScriptedOpen;
    g_viewer.closeDatabase = ScriptedClose;
    g_viewer.searchInDatabase = ScriptedSearch;
    g_viewer.databaseOpen = 1;
    CreateMainWindow(SW_SHOWNORMAL);
    if (g_viewer.resultList == NULL)
        return false;
    SetWindowTextW(g_viewer.edits[FIELD_SURNAME], L"Замеров");
    setup->frame = g_viewer.mainWindow;
    setup->list = g_viewer.resultList;
    return true;
}

void Pump()
{
    MSG message;
    while (PeekMessageW(&message, NULL, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// Shows frame alone, on top, and lets everything pending be painted.
void ShowAlone(HWND frame)
{
    for (const Setup &other : kSetups)
        if (other.frame != NULL && other.frame != frame)
            ShowWindow(other.frame, SW_HIDE);
    ShowWindow(frame, SW_SHOWNORMAL);
    SetWindowPos(frame, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    UpdateWindow(frame);
    // A second: the X server and Wine's own processes are still busy with the window for a while,
    // and a fill started at once took up to twice as long.
    for (int i = 0; i < 25; i++) {
        Pump();
        Sleep(40);
    }
}

// ---- the fills ------------------------------------------------------------------------------

double rowsMs;   // the last floor fill's row messages alone, without the redraw and paint after them

// The viewer's messages for every row between redrawing off and on, then the list redrawn and
// painted, as the viewer leaves it; milliseconds.
double FillFloor(const Setup &setup)
{
    HWND list = setup.list;
    double start = Now();
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    if (setup.setItemCount)
        SendMessageW(list, LVM_SETITEMCOUNT, ROWS, 0);
    if (setup.hideList)
        ShowWindow(list, SW_HIDE);
    double rowsStart = Now();
    LVITEMW item = {};
    item.mask = LVIF_TEXT;
    for (int row = 0; row < ROWS; row++)
        for (int column = 0; column < RECORD_FIELDS; column++) {
            item.pszText = (WCHAR *)cells[row * RECORD_FIELDS + column].c_str();
            item.iSubItem = column;
            SendMessageW(list, column == 0 ? LVM_INSERTITEMW : LVM_SETITEMTEXTW, 0, (LPARAM)&item);
        }
    rowsMs = Now() - rowsStart;
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    if (setup.hideList)
        ShowWindow(list, SW_SHOWNA);
    RedrawWindow(list, NULL, NULL, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE | RDW_ALLCHILDREN);
    UpdateWindow(list);
    return Now() - start;
}

// The viewer's search pressed as its button presses it, and its list painted; milliseconds.
double FillViewer()
{
    double start = Now();
    SendMessageW(g_viewer.mainWindow, WM_COMMAND, 0, (LPARAM)g_viewer.searchButton);
    UpdateWindow(g_viewer.resultList);
    return Now() - start;
}

double Fill(const Setup &setup)
{
    return setup.viewer ? FillViewer() : FillFloor(setup);
}

double Delete(HWND list)
{
    double start = Now();
    SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    return Now() - start;
}

std::wstring CellOf(HWND list, int row, int column)
{
    wchar_t text[CELL_CHARS] = {0};
    LVITEMW item = {};
    item.iSubItem = column;
    item.pszText = text;
    item.cchTextMax = CELL_CHARS;
    SendMessageW(list, LVM_GETITEMTEXTW, row, (LPARAM)&item);
    return text;
}

// The list holds every record converted, the last one on top; the first mismatch is reported.
bool HoldsTheRows(const Setup &setup)
{
    int count = (int)SendMessageW(setup.list, LVM_GETITEMCOUNT, 0, 0);
    if (count != ROWS) {
        fprintf(stderr, "fill_floor_win: %s: %d rows, not %d\n", setup.name, count, ROWS);
        return false;
    }
    for (int row = 0; row < ROWS; row++)
        for (int column = 0; column < RECORD_FIELDS; column++)
            if (CellOf(setup.list, row, column) != cells[(ROWS - 1 - row) * RECORD_FIELDS + column]) {
                fprintf(stderr, "fill_floor_win: %s: row %d column %d differs\n", setup.name, row, column);
                return false;
            }
    return true;
}

// ---- the figures ----------------------------------------------------------------------------

struct Figures {
    std::vector<double> fill, erase, rows, paint;
};

double Median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    size_t n = times.size();
    return n % 2 ? times[n / 2] : (times[n / 2 - 1] + times[n / 2]) / 2;
}

void Print(const char *key, const char *what, const std::vector<double> &times)
{
    if (times.empty())
        return;
    printf("%-12s %-7s median_ms %7.1f min_ms %7.1f max_ms %7.1f\n", key, what, Median(times),
           *std::min_element(times.begin(), times.end()), *std::max_element(times.begin(), times.end()));
}

// The viewer's median against a floor's, and the median of the two's ratios round by round, which
// drifts of the machine's speed between rounds disturb less (their runs are seconds apart).
void PrintRatio(const char *what, const std::vector<double> &viewer, const char *floorKey,
                const std::vector<double> &floor)
{
    if (viewer.empty() || viewer.size() != floor.size())
        return;
    std::vector<double> ratios;
    for (size_t i = 0; i < viewer.size(); i++)
        ratios.push_back(viewer[i] / floor[i]);
    printf("ratio viewer/%s %-6s %.3f (of medians) %.3f (median round by round)\n", floorKey, what,
           Median(viewer) / Median(floor), Median(ratios));
}

} // namespace

int main(int argc, char **argv)
{
    int runs = argc > 1 ? atoi(argv[1]) : 21;
    std::vector<Setup *> setups;
    for (int i = 2; i < argc; i++)
        if (Setup *setup = Find(argv[i]))
            setups.push_back(setup);
        else
            runs = 0;
    if (runs < 1) {
        fprintf(stderr, "Usage:\n\tfill_floor_win [RUNS [SETUP...]]\nSETUP is one of");
        for (const Setup &setup : kSetups)
            fprintf(stderr, " %s", setup.key);
        fprintf(stderr, "\n");
        return 2;
    }
    if (setups.empty())
        setups = { Find("floor"), Find("improved"), Find("viewer") };
    MakeRecords();
    ConvertCells();
    RegisterFloorClasses();
    for (Setup *setup : setups)
        if (!(setup->viewer ? CreateViewer(setup) : CreateFloor(setup))) {
            fprintf(stderr, "fill_floor_win: %s: the window cannot be made\n", setup->name);
            return 1;
        }

    std::vector<Figures> figures(setups.size());
    std::vector<double> conversion;
    for (int run = 0; run <= runs; run++) {
        for (size_t s = 0; s < setups.size(); s++) {
            size_t which = (s + (size_t)run) % setups.size();
            const Setup &setup = *setups[which];
            ShowAlone(setup.frame);
            double fill = Fill(setup), fillRows = rowsMs;
            if (run == 0 && !HoldsTheRows(setup))
                return 1;
            Pump();
            double erase = Delete(setup.list);
            Pump();
            fprintf(stderr, "run %2d %-12s fill %7.1f delete %7.1f\n", run, setup.key, fill, erase);
            if (run == 0)
                continue;
            figures[which].fill.push_back(fill);
            figures[which].erase.push_back(erase);
            if (!setup.viewer) {
                figures[which].rows.push_back(fillRows);
                figures[which].paint.push_back(fill - fillRows);
            }
        }
        conversion.push_back(ConvertAll());
    }

    printf("fill_floor_win: %d rows, %d-bit build, %d runs of each setup after a warm-up\n", ROWS,
           (int)(sizeof(void *) * 8), runs);
    for (size_t s = 0; s < setups.size(); s++) {
        printf("# %s: %s\n", setups[s]->key, setups[s]->name);
        Print(setups[s]->key, "fill", figures[s].fill);
        Print(setups[s]->key, "rows", figures[s].rows);
        Print(setups[s]->key, "paint", figures[s].paint);
        Print(setups[s]->key, "delete", figures[s].erase);
    }
    Print("conversion", "alone", conversion);
    for (size_t s = 0; s < setups.size(); s++) {
        if (!setups[s]->viewer)
            continue;
        for (size_t f = 0; f < setups.size(); f++) {
            if (setups[f]->viewer)
                continue;
            PrintRatio("fill", figures[s].fill, setups[f]->key, figures[f].fill);
            PrintRatio("delete", figures[s].erase, setups[f]->key, figures[f].erase);
        }
    }
    return 0;
}
