// Opening the default database at start-up, and loading another through the open-file dialog.
#include "viewer_harness.h"

namespace {

using DatabaseLoadingTest = ViewerWindowTest;

} // namespace

TEST_F(DatabaseLoadingTest, start_up_opens_telbase_and_reports_its_count)
{
    struct Case {
        int result, count;
        const char *message;   // null: no box
    } cases[] = {
        { 1, 42, "Количество элементов: 42" },
        { 1, 0, "Количество элементов: 0" },
        { 1, 2147483647, "Количество элементов: 2147483647" },
        { 0, 5, nullptr },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.count);
        BindFakeLibrary();
        CaughtBoxes().clear();
        Fake().openResult = c.result;
        Fake().openCount = c.count;
        OpenDefaultDatabase();
        EXPECT_EQ(std::vector<std::string>{ "open" }, Fake().calls);
        EXPECT_EQ(L"telbase.txt", Fake().openedPaths.at(0));
        EXPECT_EQ(c.result, g_viewer.databaseOpen);
        if (c.message == nullptr) {
            EXPECT_TRUE(CaughtBoxes().empty());
            continue;
        }
        ASSERT_EQ(1u, CaughtBoxes().size());
        const CaughtBox &box = CaughtBoxes()[0];
        EXPECT_EQ(c.message, Utf8FromWide(box.text));
        EXPECT_EQ("База данных загружена!", Utf8FromWide(box.caption));
        EXPECT_EQ(g_viewer.mainWindow, box.owner);
        EXPECT_EQ(std::vector<int>{ IDOK }, box.buttons);
        EXPECT_FALSE(box.hasIcon);
        EXPECT_EQ(c.count, g_viewer.recordCount);
    }
}

namespace {

const std::string LOADED = "База данных загружена!";

std::wstring WorkingFolder()
{
    wchar_t folder[MAX_PATH] = {0};
    GetCurrentDirectoryW(MAX_PATH, folder);
    return folder;
}

void PressLoad()
{
    SendMessageW(g_viewer.mainWindow, WM_COMMAND, 0, reinterpret_cast<LPARAM>(g_viewer.loadButton));
}

std::vector<std::string> BoxTexts()
{
    std::vector<std::string> texts;
    for (const CaughtBox &box : CaughtBoxes())
        if (box.isMessageBox)
            texts.push_back(Utf8FromWide(box.text));
    return texts;
}

} // namespace

TEST_F(DatabaseLoadingTest, the_dialog_is_owned_by_the_window_and_cancel_changes_nothing)
{
    g_viewer.databaseOpen = 1;
    g_viewer.recordCount = 17;
    SetFileDialogAnswer(FileDialogAnswer());
    PressLoad();
    ASSERT_EQ(1u, CaughtBoxes().size());
    EXPECT_FALSE(CaughtBoxes()[0].isMessageBox);
    EXPECT_EQ(g_viewer.mainWindow, CaughtBoxes()[0].owner);
    EXPECT_TRUE(Fake().calls.empty());
    EXPECT_EQ(1, g_viewer.databaseOpen);
    EXPECT_EQ(17, g_viewer.recordCount);
}

TEST_F(DatabaseLoadingTest, a_chosen_file_replaces_the_open_database)
{
    const std::wstring path = WorkingFolder() + L"\\другая база.txt";   // need not exist: the fake opens it
    struct Case {
        const char *what;
        int wasOpen, opens, count;
        std::vector<std::string> calls;
        std::vector<std::string> boxes;
    } cases[] = {
        { "open before, load works", 1, 1, 250, { "close", "open" }, { "Количество элементов: 250" } },
        { "nothing open before", 0, 1, 3, { "open" }, { "Количество элементов: 3" } },
        { "open before, load fails", 1, 0, 9, { "close", "open" }, { "Не могу открыть базу!" } },
        { "nothing open, load fails", 0, 0, 9, { "open" }, { "Не могу открыть базу!" } },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        BindFakeLibrary();
        CaughtBoxes().clear();
        g_viewer.databaseOpen = c.wasOpen;
        Fake().openResult = c.opens;
        Fake().openCount = c.count;
        SetFileDialogAnswer({ false, path });
        PressLoad();
        EXPECT_EQ(c.calls, Fake().calls);
        ASSERT_EQ(1u, Fake().openedPaths.size());
        EXPECT_EQ(Utf8FromWide(path), Utf8FromWide(Fake().openedPaths[0]));
        EXPECT_EQ(c.opens, g_viewer.databaseOpen);
        EXPECT_EQ(c.boxes, BoxTexts());
        const CaughtBox &box = CaughtBoxes().back();
        EXPECT_EQ(g_viewer.mainWindow, box.owner);
        EXPECT_EQ(c.opens ? LOADED : "Ошибка", Utf8FromWide(box.caption));
    }
}

TEST_F(DatabaseLoadingTest, loading_leaves_the_rows_and_a_failed_load_makes_search_ask_for_a_database)
{
    g_viewer.databaseOpen = 1;
    Fake().matches = { MakeRecord({ "1234567", "Иванов" }) };
    TypeInto(FIELD_SURNAME, L"Иванов");
    SendMessageW(g_viewer.mainWindow, WM_COMMAND, 0, reinterpret_cast<LPARAM>(g_viewer.searchButton));
    ASSERT_EQ(1u, ResultRows().size());

    Fake().openResult = 0;
    SetFileDialogAnswer({ false, WorkingFolder() + L"\\нет такого.txt" });
    PressLoad();
    EXPECT_EQ(1u, ResultRows().size());
    CaughtBoxes().clear();
    SendMessageW(g_viewer.mainWindow, WM_COMMAND, 0, reinterpret_cast<LPARAM>(g_viewer.searchButton));
    EXPECT_EQ(std::vector<std::string>{ "Сначало загрузите базу" }, BoxTexts());
    EXPECT_EQ(1u, ResultRows().size());
}
