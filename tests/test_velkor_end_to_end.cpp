// The built velkor.exe driven from outside: start-up, message boxes, controls, and how it ends.
#include <gtest/gtest.h>

#include "record_fields.h"
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
    EXPECT_EQ(Utf8FromWide(SystemText(ERROR_MOD_NOT_FOUND)), Utf8FromWide(box.text));
    EXPECT_EQ("Ошибка", Utf8FromWide(box.caption));
    EXPECT_EQ(nullptr, box.owner);
    EXPECT_EQ(nullptr, WaitForMainWindow(run, 0)) << "no window before the library is bound";
    AnswerBox(box);
    EXPECT_EQ(1, WaitForExit(&run));
}

TEST_F(ViewerTest, start_up_reports_the_default_database_and_exit_button_ends_with_0)
{
    ASSERT_NO_FATAL_FAILURE(Start(L"start-up", &SMALL_DATABASE));
    ForeignBox box;
    ASSERT_TRUE(WaitForBox(run, &box));
    EXPECT_EQ("Количество элементов: 3", Utf8FromWide(box.text));
    EXPECT_EQ("База данных загружена!", Utf8FromWide(box.caption));
    EXPECT_EQ(controls.main, box.owner);
    AnswerBox(box);

    EXPECT_EQ("velkor", Utf8FromWide(WindowText(controls.main)));
    ASSERT_NE(nullptr, controls.list);
    ASSERT_NE(nullptr, controls.load);
    ASSERT_NE(nullptr, controls.search);
    ASSERT_NE(nullptr, controls.exit);
    EXPECT_EQ(8u, controls.edits.size());
    std::vector<std::string> titles;
    for (const std::wstring &title : ReadColumnTitles(run, controls.list))
        titles.push_back(Utf8FromWide(title));
    EXPECT_EQ((std::vector<std::string>{ "Номер телефона:", "Фамилия:", "Имя:", "Отчество:", "Улица:", "Дом:",
                                         "Корпус:", "Квартира:" }),
              titles);
    EXPECT_EQ(0, RowCount(controls.list));

    Press(controls.exit);
    EXPECT_EQ(0, WaitForExit(&run));
}

TEST_F(ViewerTest, without_telbase_the_window_comes_up_silently_and_closing_it_ends_with_0)
{
    ASSERT_NO_FATAL_FAILURE(Start(L"no-database", nullptr));
    ForeignBox box;
    EXPECT_FALSE(WaitForBox(run, &box, 1000)) << Utf8FromWide(box.text);
    PostMessageW(controls.main, WM_CLOSE, 0, 0);
    EXPECT_EQ(0, WaitForExit(&run));
}

TEST_F(ViewerTest, accelerators_typing_and_command_105)
{
    ASSERT_NO_FATAL_FAILURE(Start(L"keys", nullptr));
    // Alt+"?" and Alt+"/" with Alt held, at the main window and at a box: nothing visible happens.
    HoldAlt(run, true);
    for (HWND target : { controls.main, controls.edits[FIELD_SURNAME] }) {
        PostMessageW(target, WM_SYSCHAR, '?', 1 | (1 << 29));
        PostMessageW(target, WM_SYSCHAR, '/', 1 | (1 << 29));
    }
    for (wchar_t ch : WideFromUtf8("Ив"))
        PostMessageW(controls.edits[FIELD_SURNAME], WM_CHAR, ch, 1);
    // Posted messages are handled in order, so once the text is there the keys before it were too.
    EXPECT_TRUE(WaitForText(controls.edits[FIELD_SURNAME], WideFromUtf8("Ив")));
    HoldAlt(run, false);
    EXPECT_EQ(0, RowCount(controls.list));
    EXPECT_FALSE(AnyDialogOf(run));
    EXPECT_TRUE(IsWindow(controls.main));

    PostMessageW(controls.main, WM_COMMAND, 105, 0);
    EXPECT_EQ(0, WaitForExit(&run));
    EXPECT_FALSE(IsWindow(controls.main));
}

namespace {

// Phones of the rows, top first: enough to tell which records a search found and in what order.
std::vector<std::string> Phones(const ViewerRun &run, HWND list)
{
    std::vector<std::string> phones;
    for (const auto &row : ReadRows(run, list))
        phones.push_back(Utf8FromWide(row[FIELD_PHONE]));
    return phones;
}

std::vector<std::string> Texts(const std::vector<ForeignBox> &boxes)
{
    std::vector<std::string> texts;
    for (const ForeignBox &box : boxes)
        texts.push_back(Utf8FromWide(box.text));
    return texts;
}

// In file order; a search shows its matches the other way round.
const std::vector<std::string> MATCHING_DATABASE = {
    "1234567;Иванов;Иван;Иванович;Ленина;1;2;3",
    "1234500;Иванова;Мария;Петровна;Ленинский проспект;12;;45",
    "7654321;Петров;Пётр;Петрович;Мира;10;;5",
    "2223344;Ёлкин;Семён;Сергеевич;Садовая;7а;;12",
    "5556677;Сидорова;Анна;Сергеевна;Садовая;1;1;1",
    "9990000;ПЕТРОВСКИЙ;Олег;Ёжикович;Мира;100;;7",
};

const std::vector<std::string> OTHER_DATABASE = {
    "3000001;Другов;Дмитрий;Дмитриевич;Другая;2;;2",
    "3000002;Другова;Дарья;Дмитриевна;Другая;2;;3",
};

using SearchEndToEndTest = ViewerTest;

} // namespace

TEST_F(SearchEndToEndTest, the_library_rules_seen_through_the_window)
{
    ASSERT_NO_FATAL_FAILURE(Start(L"search", &MATCHING_DATABASE));
    ForeignBox box;
    ASSERT_TRUE(WaitForBox(run, &box));
    AnswerBox(box);
    struct Case {
        const char *what;
        std::vector<std::string> fields;    // the form, phone first
        std::vector<std::string> phones;    // rows, top first
    } cases[] = {
        { "surname prefix", { "", "Иванов" }, { "1234500", "1234567" } },
        { "letter case", { "", "иВАНОВ" }, { "1234500", "1234567" } },
        { "capitals in the record", { "", "петров" }, { "9990000", "7654321" } },
        { "Ё typed as Е", { "", "елкин" }, { "2223344" } },
        { "Е typed for Ё", { "", "", "Петр" }, { "7654321" } },
        { "phone prefix", { "12345" }, { "1234500", "1234567" } },
        { "eight digits searched on seven", { "12345678" }, { "1234567" } },
        { "patronymic", { "", "", "", "Сергеевн" }, { "5556677" } },
        { "street prefix", { "", "", "", "", "Ленин" }, { "1234500", "1234567" } },
        { "whole house number", { "", "", "", "", "", "1" }, { "5556677", "1234567" } },
        { "house with a letter", { "", "", "", "", "", "7А" }, { "2223344" } },
        { "building", { "", "", "", "", "", "", "2" }, { "1234567" } },
        { "flat", { "", "", "", "", "", "", "", "5" }, { "7654321" } },
        { "pattern ending", { "", "*ова" }, { "5556677", "1234500" } },
        { "one-character wildcard", { "", "", "", "", "", "", "", "1?" }, { "2223344" } },
        { "street and house together", { "", "", "", "", "Садовая", "1" }, { "5556677" } },
        { "three fields", { "", "Петров", "Пётр", "Петрович" }, { "7654321" } },
        { "no match", { "", "Яковлев" }, {} },
        { "spaces are searched as typed", { "", "Иванов " }, {} },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_TRUE(SearchFor(run, controls, c.fields).empty());
        EXPECT_EQ(c.phones, Phones(run, controls.list));
    }
    // A whole row, Cyrillic letters with marks coming back in composite form.
    SearchFor(run, controls, { "2223344" });
    auto rows = ReadRows(run, controls.list);
    ASSERT_EQ(1u, rows.size());
    std::vector<std::wstring> expected = { L"2223344", L"\u0415\u0308лкин", L"Семе\u0308н", L"Сергеевич",
                                           L"Садовая", L"7а", L"", L"12" };
    EXPECT_EQ(expected, rows[0]);
    // An empty form: the list is emptied and the user asked to type something.
    std::vector<ForeignBox> boxes = SearchFor(run, controls, {});
    EXPECT_EQ(std::vector<std::string>{ "Введите данные хотя бы в одно поле!" }, Texts(boxes));
    EXPECT_EQ(controls.main, boxes.at(0).owner);
    EXPECT_EQ(0, RowCount(controls.list));
    Press(controls.exit);
    EXPECT_EQ(0, WaitForExit(&run));
}

TEST_F(SearchEndToEndTest, loading_through_the_open_file_dialog)
{
    ASSERT_NO_FATAL_FAILURE(Start(L"load", &MATCHING_DATABASE));
    ForeignBox box;
    ASSERT_TRUE(WaitForBox(run, &box));
    AnswerBox(box);
    WriteDatabase(run.folder + L"\\другая.txt", OTHER_DATABASE);
    SearchFor(run, controls, { "", "Иванов" });
    ASSERT_EQ(2, RowCount(controls.list));

    // Cancel: nothing changes.
    EXPECT_TRUE(PressAndAnswer(run, controls.load).empty());
    EXPECT_EQ(2, RowCount(controls.list));
    EXPECT_EQ((std::vector<std::string>{ "9990000", "7654321" }), (SearchFor(run, controls, { "", "Петров" }),
                                                                    Phones(run, controls.list)));

    // Another file by its full path: its count, the rows left as they were, then its records found.
    DialogScript other = { false, run.folder + L"\\другая.txt" };
    std::vector<ForeignBox> boxes = PressAndAnswer(run, controls.load, other);
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Количество элементов: 2", Utf8FromWide(boxes[0].text));
    EXPECT_EQ("База данных загружена!", Utf8FromWide(boxes[0].caption));
    EXPECT_EQ(controls.main, boxes[0].owner);
    EXPECT_EQ(2, RowCount(controls.list));
    SearchFor(run, controls, { "", "Другов" });
    EXPECT_EQ((std::vector<std::string>{ "3000002", "3000001" }), Phones(run, controls.list));
    SearchFor(run, controls, { "", "Иванов" });
    EXPECT_EQ(0, RowCount(controls.list));

    // The same file again: closed, opened and counted again.
    boxes = PressAndAnswer(run, controls.load, other);
    EXPECT_EQ(std::vector<std::string>{ "Количество элементов: 2" }, Texts(boxes));
    SearchFor(run, controls, { "", "Другов" });
    ASSERT_EQ(2, RowCount(controls.list));

    // A typed name of a missing file is accepted by the dialog; the library refuses it and the
    // database that was open is gone, so a search asks for one.
    boxes = PressAndAnswer(run, controls.load, { false, L"нет такой.txt" });
    ASSERT_EQ(1u, boxes.size());
    EXPECT_EQ("Не могу открыть базу!", Utf8FromWide(boxes[0].text));
    EXPECT_EQ("Ошибка", Utf8FromWide(boxes[0].caption));
    EXPECT_EQ(controls.main, boxes[0].owner);
    boxes = SearchFor(run, controls, { "", "Другов" });
    EXPECT_EQ(std::vector<std::string>{ "Сначало загрузите базу" }, Texts(boxes));
    EXPECT_EQ(2, RowCount(controls.list)) << "the rows of the last search stay";

    Press(controls.exit);
    EXPECT_EQ(0, WaitForExit(&run));
}
