/* viewer.h - the viewer's one state record, its column table and the prototypes of its parts.
 * Every viewer source includes it; the state itself is defined in viewer_state.cpp.
 */
#ifndef VELKOR_VIEWER_H
#define VELKOR_VIEWER_H

#include <windows.h>
#include <stddef.h>

#include "directory.h"
#include "record_fields.h"
#include "resources/resource.h"

#define ARRAY_SIZE(a) (sizeof(a) / sizeof((a)[0]))

#define TITLE_CHARS        100      /* title and class name buffers, terminator included */
#define MESSAGE_CHARS      100      /* the record-count message, terminator included */
#define CELL_CHARS         60       /* one converted cell of the result list, terminator included */
#define PATH_CHARS         MAX_PATH /* the open-file dialog's file name, terminator included */
#define MAX_RESULT_ROWS    30000    /* rows one search shows at most */
#define DEFAULT_DATABASE   L"telbase.txt"
#define DIRECTORY_LIBRARY  L"Dialbook.dll"

/* Everything the viewer keeps for the life of the process; zero at start. */
typedef struct ViewerState {
    HINSTANCE            instance;                  /* the program's instance, stored first thing at entry */
    HWND                 mainWindow;                /* the frame window; owner of most message boxes */
    HWND                 resultList;                /* the report-view list of matches */
    HWND                 loadButton;                /* "Загрузить базу" */
    HWND                 searchButton;              /* "Поиск" */
    HWND                 exitButton;                /* "Выход" */
    HWND                 edits[RECORD_FIELDS];      /* the search form's boxes, in record order */
    OpenDatabaseFn       openDatabase;              /* entry points bound from Dialbook.dll ... */
    CloseDatabaseFn      closeDatabase;             /* ... */
    SearchInDatabaseFn   searchInDatabase;          /* ... */
    FillDatabaseRecordFn fillDatabaseRecord;        /* ... bound, though the viewer never calls it */
    int                  databaseOpen;              /* result of the last OpenDatabase; 0 once closed */
    int                  recordCount;               /* written by OpenDatabase; shown to the user */
    WCHAR                title[TITLE_CHARS];        /* window title, string IDS_APP_TITLE */
    WCHAR                className[TITLE_CHARS];    /* window class name, string IDS_WINDOW_CLASS */
} ViewerState;

extern ViewerState g_viewer;

/* One column of the result list and its edit box above it. Column i shows field i of the record
 * (record order), whose place and width kFieldSpecs[i] gives. */
typedef struct ColumnSpec {
    const WCHAR *title;         /* column heading */
    int          width;         /* pixels, of the column and of its edit box */
} ColumnSpec;

static const ColumnSpec ColumnTable[RECORD_FIELDS] = {
    { L"Номер телефона:", 56  },
    { L"Фамилия:",        210 },
    { L"Имя:",            210 },
    { L"Отчество:",       210 },
    { L"Улица:",          210 },
    { L"Дом:",            35  },
    { L"Корпус:",         35  },
    { L"Квартира:",       35  },
};

/* library_binding.cpp: 1 with the four entry points stored, or 0 after showing the system's error text. */
int BindDirectoryLibrary(void);

/* main_window.cpp: builds the window and its controls and shows it; 1, or ends the process when a box cannot be made. */
int CreateMainWindow(int showMode);
LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

/* message_loop.cpp: runs until the quit message and gives its parameter, the exit code. */
int RunMessageLoop(void);

/* database_loading.cpp: the default database at start-up, and the load button's command. */
void OpenDefaultDatabase(void);
void LoadDatabaseCommand(void);

/* viewer_search.cpp: the search button's command. */
void SearchCommand(void);

/* message_boxes.cpp: every message box the viewer shows goes through these. */
void ShowMessage(HWND owner, const WCHAR *text, const WCHAR *caption);
void ShowSystemError(DWORD code);

#endif /* VELKOR_VIEWER_H */
