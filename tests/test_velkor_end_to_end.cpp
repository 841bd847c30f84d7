// The built velkor.exe driven from outside: start-up, message boxes, controls, and how it ends.
#include <gtest/gtest.h>

#include "velkor_driver.h"

namespace {

const std::vector<std::string> SMALL_DATABASE = {
    "1234567;Иванов;Иван;Иванович;Ленина;1;2;3",
    "7654321;Петров;Пётр;Петрович;Мира;10;;5",
    "2223344;Сидорова;Анна;Сергеевна;Садовая;7а;;12",
};

// A started viewer whose start-up box (if any) has been answered; killed if a test leaves it running.
class ViewerTest : public ::testing::Test {
protected:
    ViewerRun run;
    ViewerControls controls;
    void TearDown() override { KillViewer(&run); }

    // Starts the viewer in a fresh folder; database lines become telbase.txt unless absent.
    void Start(const std::wstring &name, const std::vector<std::string> *database)
    {
        std::wstring folder = MakeScratchFolder(name, true);
        if (database != nullptr)
            WriteDatabase(folder + L"\\telbase.txt", *database);
        ASSERT_TRUE(StartViewer(folder, &run));
        HWND main = WaitForMainWindow(run);
        ASSERT_NE(nullptr, main);
        controls = FindControls(main);
    }
};

} // namespace

TEST(velkor_end_to_end, missing_library_shows_the_system_text_and_exits_with_1)
{
    ViewerRun run;
    ASSERT_TRUE(StartViewer(MakeScratchFolder(L"no-library", false), &run));
    ForeignBox box;
    ASSERT_TRUE(WaitForBox(run, &box));
    EXPECT_EQ(Utf8(SystemText(ERROR_MOD_NOT_FOUND)), Utf8(box.text));
    EXPECT_EQ("Ошибка", Utf8(box.caption));
    EXPECT_EQ(nullptr, box.owner);
    EXPECT_EQ(nullptr, WaitForMainWindow(run, 0)) << "no window before the library is bound";
    AnswerBox(box);
    EXPECT_EQ(1, WaitForExit(&run));
}

TEST_F(ViewerTest, start_up_reports_the_default_database_and_exit_button_ends_with_0)
{
    Start(L"start-up", &SMALL_DATABASE);
    ForeignBox box;
    ASSERT_TRUE(WaitForBox(run, &box));
    EXPECT_EQ("Количество элементов: 3", Utf8(box.text));
    EXPECT_EQ("База данных загружена!", Utf8(box.caption));
    EXPECT_EQ(controls.main, box.owner);
    AnswerBox(box);

    EXPECT_EQ("velkor", Utf8(WindowText(controls.main)));
    ASSERT_NE(nullptr, controls.list);
    ASSERT_NE(nullptr, controls.load);
    ASSERT_NE(nullptr, controls.search);
    ASSERT_NE(nullptr, controls.exit);
    EXPECT_EQ(8u, controls.edits.size());
    std::vector<std::string> titles;
    for (const std::wstring &title : ReadColumnTitles(run, controls.list))
        titles.push_back(Utf8(title));
    EXPECT_EQ((std::vector<std::string>{ "Номер телефона:", "Фамилия:", "Имя:", "Отчество:", "Улица:", "Дом:",
                                         "Корпус:", "Квартира:" }),
              titles);
    EXPECT_EQ(0, RowCount(controls.list));

    Press(controls.exit);
    EXPECT_EQ(0, WaitForExit(&run));
}

TEST_F(ViewerTest, without_telbase_the_window_comes_up_silently_and_closing_it_ends_with_0)
{
    Start(L"no-database", nullptr);
    ForeignBox box;
    EXPECT_FALSE(WaitForBox(run, &box, 1000)) << Utf8(box.text);
    PostMessageW(controls.main, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, WaitForExit(&run));
}

TEST_F(ViewerTest, accelerators_typing_and_command_105)
{
    Start(L"keys", nullptr);
    // Alt+"?" and Alt+"/" with Alt held, at the main window and at a box: nothing visible happens.
    HoldAlt(run, true);
    for (HWND target : { controls.main, controls.edits[1] }) {
        PostMessageW(target, WM_SYSCHAR, '?', 1 | (1 << 29));
        PostMessageW(target, WM_SYSCHAR, '/', 1 | (1 << 29));
    }
    for (wchar_t ch : Wide("Ив"))
        PostMessageW(controls.edits[1], WM_CHAR, ch, 1);
    // Posted messages are handled in order, so once the text is there the keys before it were too.
    EXPECT_TRUE(WaitForText(controls.edits[1], Wide("Ив")));
    HoldAlt(run, false);
    EXPECT_EQ(0, RowCount(controls.list));
    EXPECT_FALSE(AnyDialogOf(run));
    EXPECT_TRUE(IsWindow(controls.main));

    PostMessageW(controls.main, WM_COMMAND, 105, 0);
    EXPECT_EQ(0, WaitForExit(&run));
    EXPECT_FALSE(IsWindow(controls.main));
}
