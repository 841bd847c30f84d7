// The main window: its class, the controls' places, styles and texts, and the window procedure.
#include "viewer_harness.h"

#include <commctrl.h>

namespace {

using MainWindowTest = ViewerWindowTest;

// A control's rectangle in the main window's client coordinates.
RECT PlaceOf(HWND control)
{
    RECT rect = {};
    GetWindowRect(control, &rect);
    MapWindowPoints(HWND_DESKTOP, g_viewer.mainWindow, reinterpret_cast<POINT *>(&rect), 2);
    return rect;
}

std::wstring ClassOf(HWND window)
{
    wchar_t name[64] = {0};
    GetClassNameW(window, name, 64);
    return name;
}

std::wstring TextOf(HWND window)
{
    wchar_t text[256] = {0};
    GetWindowTextW(window, text, 256);
    return text;
}

RECT ClientRect()
{
    RECT client = {};
    GetClientRect(g_viewer.mainWindow, &client);
    return client;
}

// Sends a command to the main window the way a control or an accelerator does.
LRESULT Command(WORD id, HWND control)
{
    return SendMessageW(g_viewer.mainWindow, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

} // namespace

TEST_F(MainWindowTest, window_is_1047_by_800_with_the_class_as_registered)
{
    RECT frame = {};
    GetWindowRect(g_viewer.mainWindow, &frame);
    EXPECT_EQ(1047, frame.right - frame.left);
    EXPECT_EQ(800, frame.bottom - frame.top);
    EXPECT_EQ("velkor", Utf8FromWide(TextOf(g_viewer.mainWindow)));
    EXPECT_EQ("VELKOR", Utf8FromWide(ClassOf(g_viewer.mainWindow)));
    LONG style = GetWindowLongW(g_viewer.mainWindow, GWL_STYLE);
    EXPECT_EQ(static_cast<LONG>(WS_OVERLAPPEDWINDOW), style & WS_OVERLAPPEDWINDOW);
    EXPECT_EQ(0, GetWindowLongW(g_viewer.mainWindow, GWL_EXSTYLE) & ~WS_EX_WINDOWEDGE);
    EXPECT_EQ(nullptr, GetMenu(g_viewer.mainWindow));
    EXPECT_EQ(static_cast<ULONG_PTR>(COLOR_MENU + 1), GetClassLongPtrW(g_viewer.mainWindow, GCLP_HBRBACKGROUND));
    EXPECT_EQ(static_cast<ULONG_PTR>(CS_HREDRAW | CS_VREDRAW), GetClassLongPtrW(g_viewer.mainWindow, GCL_STYLE));
    EXPECT_EQ(0u, GetClassLongPtrW(g_viewer.mainWindow, GCL_CBCLSEXTRA));
    EXPECT_EQ(0u, GetClassLongPtrW(g_viewer.mainWindow, GCL_CBWNDEXTRA));
    EXPECT_NE(0u, GetClassLongPtrW(g_viewer.mainWindow, GCLP_HICON));
    EXPECT_NE(0u, GetClassLongPtrW(g_viewer.mainWindow, GCLP_HICONSM));
    EXPECT_EQ(reinterpret_cast<ULONG_PTR>(LoadCursorW(NULL, IDC_ARROW)),
              GetClassLongPtrW(g_viewer.mainWindow, GCLP_HCURSOR));
    EXPECT_EQ(reinterpret_cast<LONG_PTR>(MainWindowProc), GetWindowLongPtrW(g_viewer.mainWindow, GWLP_WNDPROC));
}

TEST_F(MainWindowTest, controls_stand_where_and_as_the_form_places_them)
{
    RECT client = ClientRect();
    const int W = client.right, H = client.bottom;
    struct Expected {
        HWND control;
        const char *cls;
        const char *text;
        int x, y, width, height;
        LONG style;   // every bit of the style, WS_CHILD | WS_VISIBLE included
    } cases[] = {
        { g_viewer.resultList, "SysListView32", "", 0, 100, W, H - 100, LVS_REPORT | LVS_EDITLABELS },
        { g_viewer.loadButton, "Button", "Загрузить базу", 10, 10, 150, 40, BS_PUSHBUTTON },
        { g_viewer.searchButton, "Button", "Поиск", 180, 10, 150, 40, BS_PUSHBUTTON },
        { g_viewer.exitButton, "Button", "Выход", W - 160, 10, 150, 40, BS_PUSHBUTTON },
        { g_viewer.edits[FIELD_PHONE], "Edit", "", 10, 60, 56, 20, 0 },
        { g_viewer.edits[FIELD_SURNAME], "Edit", "", 68, 60, 210, 20, 0 },
        { g_viewer.edits[FIELD_NAME], "Edit", "", 280, 60, 210, 20, 0 },
        { g_viewer.edits[FIELD_PATRONYMIC], "Edit", "", 492, 60, 210, 20, 0 },
        { g_viewer.edits[FIELD_STREET], "Edit", "", 704, 60, 210, 20, 0 },
        { g_viewer.edits[FIELD_HOUSE], "Edit", "", 916, 60, 35, 20, 0 },
        { g_viewer.edits[FIELD_BUILDING], "Edit", "", 953, 60, 35, 20, 0 },
        { g_viewer.edits[FIELD_FLAT], "Edit", "", 990, 60, 35, 20, 0 },
    };
    for (const Expected &c : cases) {
        SCOPED_TRACE(std::string(c.cls) + " " + c.text + " at x " + std::to_string(c.x));
        ASSERT_NE(nullptr, c.control);
        EXPECT_EQ(c.cls, Utf8FromWide(ClassOf(c.control)));
        EXPECT_EQ(c.text, Utf8FromWide(TextOf(c.control)));
        RECT place = PlaceOf(c.control);
        EXPECT_EQ(c.x, place.left);
        EXPECT_EQ(c.y, place.top);
        EXPECT_EQ(c.width, place.right - place.left);
        EXPECT_EQ(c.height, place.bottom - place.top);
        EXPECT_EQ(WS_CHILD | WS_VISIBLE | c.style, GetWindowLongW(c.control, GWL_STYLE) & ~WS_CLIPSIBLINGS);
        EXPECT_EQ(0, GetDlgCtrlID(c.control));
        EXPECT_EQ(g_viewer.mainWindow, GetParent(c.control));
    }
}

TEST_F(MainWindowTest, list_has_static_edge_no_extended_styles_and_the_eight_columns)
{
    EXPECT_EQ(WS_EX_STATICEDGE, GetWindowLongW(g_viewer.resultList, GWL_EXSTYLE));
    EXPECT_EQ(0, SendMessageW(g_viewer.resultList, LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
    const char *titles[] = { "Номер телефона:", "Фамилия:", "Имя:", "Отчество:",
                             "Улица:", "Дом:", "Корпус:", "Квартира:" };
    const int widths[] = { 56, 210, 210, 210, 210, 35, 35, 35 };
    HWND header = reinterpret_cast<HWND>(SendMessageW(g_viewer.resultList, LVM_GETHEADER, 0, 0));
    EXPECT_EQ(RECORD_FIELDS, SendMessageW(header, HDM_GETITEMCOUNT, 0, 0));
    for (int i = 0; i < RECORD_FIELDS; i++) {
        wchar_t title[64] = {0};
        LVCOLUMNW column = {};
        column.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
        column.pszText = title;
        column.cchTextMax = 64;
        ASSERT_TRUE(SendMessageW(g_viewer.resultList, LVM_GETCOLUMNW, i, reinterpret_cast<LPARAM>(&column)));
        EXPECT_EQ(titles[i], Utf8FromWide(title)) << "column " << i;
        EXPECT_EQ(widths[i], column.cx) << "column " << i;
        EXPECT_EQ(LVCFMT_LEFT, column.fmt & LVCFMT_JUSTIFYMASK) << "column " << i;
        EXPECT_EQ(i, column.iSubItem) << "column " << i;
    }
}

TEST_F(MainWindowTest, no_font_is_set_and_no_control_has_the_focus)
{
    for (HWND control : { g_viewer.loadButton, g_viewer.searchButton, g_viewer.exitButton })
        EXPECT_EQ(0, SendMessageW(control, WM_GETFONT, 0, 0));
    for (HWND edit : g_viewer.edits)
        EXPECT_EQ(0, SendMessageW(edit, WM_GETFONT, 0, 0));
    HWND focus = GetFocus();
    EXPECT_TRUE(focus == NULL || focus == g_viewer.mainWindow);
}

TEST_F(MainWindowTest, enlarging_the_window_moves_and_resizes_nothing)
{
    std::vector<HWND> controls = { g_viewer.resultList, g_viewer.loadButton, g_viewer.searchButton,
                                   g_viewer.exitButton };
    controls.insert(controls.end(), std::begin(g_viewer.edits), std::end(g_viewer.edits));
    std::vector<RECT> before;
    for (HWND control : controls)
        before.push_back(PlaceOf(control));
    SetWindowPos(g_viewer.mainWindow, NULL, 0, 0, 1250, 1000, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    PumpMessages();
    for (size_t i = 0; i < controls.size(); i++) {
        RECT after = PlaceOf(controls[i]);
        EXPECT_TRUE(EqualRect(&before[i], &after)) << "control " << i;
    }
}

// Rows of the window procedure's table that leave the window standing.
TEST_F(MainWindowTest, commands_that_keep_the_window)
{
    struct Case {
        const char *what;
        WORD id;
        HWND control;
        bool quits;          // a quit message with code 0 is posted
        size_t boxes;        // message boxes shown
    } cases[] = {
        { "accelerator command 104", IDM_ACCELERATOR, NULL, false, 0 },
        { "another identifier", 1234, g_viewer.searchButton, false, 0 },
        { "exit button", 0, g_viewer.exitButton, true, 0 },
        { "edit box notification", 0, g_viewer.edits[FIELD_PATRONYMIC], false, 0 },
        { "list", 0, g_viewer.resultList, false, 0 },
        { "no control", 0, NULL, false, 0 },
        { "search button", 0, g_viewer.searchButton, false, 1 },   // no database: the search asks for one
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        CaughtBoxes().clear();
        EXPECT_EQ(0, Command(c.id, c.control));
        int code = -1;
        EXPECT_EQ(c.quits, PumpMessages(&code));
        if (c.quits) {
            EXPECT_EQ(0, code);
        }
        EXPECT_TRUE(IsWindow(g_viewer.mainWindow));
        EXPECT_EQ(c.boxes, CaughtBoxes().size());
    }
}

TEST_F(MainWindowTest, command_105_destroys_the_window_which_posts_quit)
{
    EXPECT_EQ(0, Command(IDM_DESTROY, NULL));
    EXPECT_FALSE(IsWindow(g_viewer.mainWindow));
    int code = -1;
    EXPECT_TRUE(PumpMessages(&code));
    EXPECT_EQ(0, code);
}

TEST_F(MainWindowTest, closing_goes_through_default_processing_to_destroy_and_quit)
{
    EXPECT_EQ(0, SendMessageW(g_viewer.mainWindow, WM_CLOSE, 0, 0));
    EXPECT_FALSE(IsWindow(g_viewer.mainWindow));
    int code = -1;
    EXPECT_TRUE(PumpMessages(&code));
    EXPECT_EQ(0, code);
}

TEST_F(MainWindowTest, other_messages_get_default_processing)
{
    EXPECT_TRUE(SendMessageW(g_viewer.mainWindow, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"другой")));
    EXPECT_EQ("другой", Utf8FromWide(TextOf(g_viewer.mainWindow)));
    RECT frame = {};
    GetWindowRect(g_viewer.mainWindow, &frame);
    LPARAM inside = MAKELPARAM(frame.left + 300, frame.top + 300);
    EXPECT_EQ(HTCLIENT, SendMessageW(g_viewer.mainWindow, WM_NCHITTEST, 0, inside));
}

TEST_F(MainWindowTest, paint_validates_without_drawing)
{
    UpdateWindow(g_viewer.mainWindow);
    InvalidateRect(g_viewer.mainWindow, NULL, FALSE);
    EXPECT_TRUE(GetUpdateRect(g_viewer.mainWindow, NULL, FALSE));
    EXPECT_EQ(0, SendMessageW(g_viewer.mainWindow, WM_PAINT, 0, 0));
    EXPECT_FALSE(GetUpdateRect(g_viewer.mainWindow, NULL, FALSE));
    EXPECT_TRUE(IsWindow(g_viewer.mainWindow));
}

TEST_F(MainWindowTest, typing_in_a_box_changes_nothing_else)
{
    auto rowsBefore = ResultRows();
    for (WCHAR ch : std::wstring(L"Ив"))
        SendMessageW(g_viewer.edits[FIELD_SURNAME], WM_CHAR, ch, 1);
    EXPECT_EQ("Ив", Utf8FromWide(TextOf(g_viewer.edits[FIELD_SURNAME])));
    EXPECT_FALSE(PumpMessages());
    EXPECT_TRUE(CaughtBoxes().empty());
    EXPECT_EQ(rowsBefore, ResultRows());
    EXPECT_TRUE(Fake().calls.empty());
}

// Without its form the window is useless: the first box that fails ends the run.
TEST(main_window_death, an_edit_box_that_cannot_be_created_ends_the_run)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    auto start = [] {
        memset(&g_viewer, 0, sizeof g_viewer);
        g_viewer.instance = GetModuleHandleW(NULL);
        StartCatchingBoxes();
        EchoCaughtBoxes(true);
        BlockWindowClass(L"Edit");
        CreateMainWindow(SW_SHOWNOACTIVATE);
        fprintf(stderr, "still running\n");
        exit(7);
    };
    EXPECT_EXIT(start(), ::testing::ExitedWithCode(1), "box: Не могу создать окно!\n$");
}
