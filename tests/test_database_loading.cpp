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
        EXPECT_EQ(c.message, Utf8(box.text));
        EXPECT_EQ("База данных загружена!", Utf8(box.caption));
        EXPECT_EQ(g_viewer.mainWindow, box.owner);
        EXPECT_EQ(std::vector<int>{ IDOK }, box.buttons);
        EXPECT_FALSE(box.hasIcon);
        EXPECT_EQ(c.count, g_viewer.recordCount);
    }
}
