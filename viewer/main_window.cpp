/* main_window.cpp - the main window: its class, its controls in their fixed places, and its
 * window procedure. Defines CreateMainWindow and MainWindowProc.
 */
#include "viewer.h"

#include <commctrl.h>
#include <stdlib.h>

/* Geometry in pixels; computed once, nothing moves when the window is resized. */
#define FRAME_EXTRA_WIDTH  46    /* the window is this much wider than its columns together */
#define WINDOW_HEIGHT      800
#define LIST_TOP           100
#define BUTTON_TOP         10
#define BUTTON_WIDTH       150
#define BUTTON_HEIGHT      40
#define LOAD_BUTTON_LEFT   10
#define SEARCH_BUTTON_LEFT 180
#define EXIT_BUTTON_INSET  160   /* from the client area's right edge */
#define EDIT_TOP           60
#define EDIT_HEIGHT        20
#define EDIT_FIRST_LEFT    10
#define EDIT_GAP           2

/* Class fields one per line; registration is not checked, since its failure makes the edit
 * boxes fail and that is reported. */
static void RegisterMainClass(void)
{
    WNDCLASSEXW windowClass;
    ZeroMemory(&windowClass, sizeof windowClass);
    windowClass.cbSize        = sizeof windowClass;
    windowClass.style         = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc   = MainWindowProc;
    windowClass.cbClsExtra    = 0;
    windowClass.cbWndExtra    = 0;
    windowClass.hInstance     = g_viewer.instance;
    windowClass.hIcon         = LoadIconW(g_viewer.instance, MAKEINTRESOURCEW(IDI_VELKOR));
    windowClass.hCursor       = LoadCursorW(NULL, IDC_ARROW);
    windowClass.hbrBackground = (HBRUSH)(COLOR_MENU + 1);
    windowClass.lpszMenuName  = NULL;
    windowClass.lpszClassName = g_viewer.className;
    windowClass.hIconSm       = LoadIconW(g_viewer.instance, MAKEINTRESOURCEW(IDI_SMALL));
    RegisterClassExW(&windowClass);
}

/* The columns' widths together with the frame's extra. */
static int MainWindowWidth(void)
{
    int width = FRAME_EXTRA_WIDTH;
    for (size_t i = 0; i < ARRAY_SIZE(ColumnTable); i++)
        width += ColumnTable[i].width;
    return width;
}

/* A child control of the main window with identifier 0: controls are told apart by handle. */
static HWND CreateChild(DWORD exStyle, const WCHAR *className, const WCHAR *text, DWORD style, int x, int y,
                        int width, int height)
{
    return CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, x, y, width, height,
                           g_viewer.mainWindow, (HMENU)0, g_viewer.instance, NULL);
}

/* The report list below the form, filling the rest of the client area, one column per field. */
static void CreateResultList(int clientWidth, int clientHeight)
{
    INITCOMMONCONTROLSEX controls = { sizeof controls, ICC_LISTVIEW_CLASSES };
    InitCommonControlsEx(&controls);
    g_viewer.resultList = CreateChild(WS_EX_STATICEDGE, WC_LISTVIEWW, NULL, LVS_REPORT | LVS_EDITLABELS, 0, LIST_TOP,
                                      clientWidth, clientHeight - LIST_TOP);
    for (size_t i = 0; i < ARRAY_SIZE(ColumnTable); i++) {
        LVCOLUMNW column;
        ZeroMemory(&column, sizeof column);
        column.mask     = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.fmt      = LVCFMT_LEFT;
        column.cx       = ColumnTable[i].width;
        column.pszText  = (WCHAR *)ColumnTable[i].title;
        column.iSubItem = (int)i;
        SendMessageW(g_viewer.resultList, LVM_INSERTCOLUMNW, i, (LPARAM)&column);
    }
}

static void CreateButtons(int clientWidth)
{
    g_viewer.loadButton   = CreateChild(0, L"Button", L"Загрузить базу", 0, LOAD_BUTTON_LEFT, BUTTON_TOP,
                                        BUTTON_WIDTH, BUTTON_HEIGHT);
    g_viewer.searchButton = CreateChild(0, L"Button", L"Поиск", 0, SEARCH_BUTTON_LEFT, BUTTON_TOP,
                                        BUTTON_WIDTH, BUTTON_HEIGHT);
    g_viewer.exitButton   = CreateChild(0, L"Button", L"Выход", 0, clientWidth - EXIT_BUTTON_INSET, BUTTON_TOP,
                                        BUTTON_WIDTH, BUTTON_HEIGHT);
}

/* Borderless boxes above their columns, each as wide as its column; 0 at the first that fails. */
static int CreateSearchEdits(void)
{
    int left = EDIT_FIRST_LEFT;
    for (size_t i = 0; i < ARRAY_SIZE(g_viewer.edits); i++) {
        g_viewer.edits[i] = CreateChild(0, L"Edit", NULL, 0, left, EDIT_TOP, ColumnTable[i].width, EDIT_HEIGHT);
        if (g_viewer.edits[i] == NULL)
            return 0;
        left += ColumnTable[i].width + EDIT_GAP;
    }
    return 1;
}

/* The one place below the entry point that ends the process: without its form the window is
 * of no use. The exit code says the start failed. */
static void ExitOnWindowFailure(void)
{
    ShowMessage(NULL, L"Не могу создать окно!", NULL);
    exit(1);
}

int CreateMainWindow(int showMode)
{
    LoadStringW(g_viewer.instance, IDS_APP_TITLE, g_viewer.title, ARRAY_SIZE(g_viewer.title));
    LoadStringW(g_viewer.instance, IDS_WINDOW_CLASS, g_viewer.className, ARRAY_SIZE(g_viewer.className));
    RegisterMainClass();
    g_viewer.mainWindow = CreateWindowExW(0, g_viewer.className, g_viewer.title, WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, 0,
                                          MainWindowWidth(), WINDOW_HEIGHT, NULL, NULL, g_viewer.instance, NULL);
    RECT client = { 0, 0, 0, 0 };
    GetClientRect(g_viewer.mainWindow, &client);
    CreateResultList(client.right, client.bottom);
    CreateButtons(client.right);
    if (!CreateSearchEdits())
        ExitOnWindowFailure();
    ShowWindow(g_viewer.mainWindow, showMode);
    UpdateWindow(g_viewer.mainWindow);
    return 1;
}

/* Commands: identifier 105 destroys the window, other identifiers get default processing, and
 * identifier 0 comes from a control, which its handle names. */
static LRESULT HandleCommand(HWND window, WPARAM wparam, LPARAM lparam)
{
    WORD id = LOWORD(wparam);
    HWND control = (HWND)lparam;
    if (id == IDM_DESTROY) {
        DestroyWindow(window);
        return 0;
    }
    if (id != 0)
        return DefWindowProcW(window, WM_COMMAND, wparam, lparam);
    if (control == NULL)
        return 0;
    if (control == g_viewer.exitButton)
        PostQuitMessage(0);   /* the window stays until the process ends */
    else if (control == g_viewer.loadButton)
        LoadDatabaseCommand();
    else if (control == g_viewer.searchButton)
        SearchCommand();
    return 0;
}

/* Emptying the list is answered TRUE, so that it sends no LVN_DELETEITEM for each of its rows (up to
 * 30000 of them at every search): the viewer keeps nothing a row to free. The rest is default. */
static LRESULT HandleNotify(HWND window, WPARAM wparam, LPARAM lparam)
{
    const NMHDR *header = (const NMHDR *)lparam;
    if (header->hwndFrom == g_viewer.resultList && header->code == LVN_DELETEALLITEMS)
        return TRUE;
    return DefWindowProcW(window, WM_NOTIFY, wparam, lparam);
}

/* The controls cover everything worth drawing; painting only validates. */
static void PaintNothing(HWND window)
{
    PAINTSTRUCT paint;
    BeginPaint(window, &paint);
    EndPaint(window, &paint);
}

LRESULT CALLBACK MainWindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_COMMAND:
        return HandleCommand(window, wparam, lparam);
    case WM_NOTIFY:
        return HandleNotify(window, wparam, lparam);
    case WM_PAINT:
        PaintNothing(window);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(window, message, wparam, lparam);
    }
}
