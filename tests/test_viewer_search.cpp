// The search command against a scripted library: the key it builds, the rows it shows, its messages.
#include "viewer_harness.h"

#include <commctrl.h>
#include <string.h>

#include "record_helpers.h"

namespace {

using SearchTest = ViewerWindowTest;

const std::string NOT_LOADED = "Сначало загрузите базу";
const std::string NOTHING_TYPED = "Введите данные хотя бы в одно поле!";
const std::string OUTPUT_ERROR = "Ошибка вывода! Возможно база повреждена! Поиск остановлен";

// Opens the fake database and scripts its matches.
void LoadMatches(const std::vector<DirectoryRecord> &matches)
{
    g_viewer.databaseOpen = 1;
    Fake().matches = matches;
}

std::vector<std::string> Utf8Row(const std::vector<std::wstring> &row)
{
    std::vector<std::string> out;
    for (const std::wstring &cell : row)
        out.push_back(Utf8FromWide(cell));
    return out;
}

std::vector<std::string> RowOf(const std::vector<std::string> &fields)
{
    std::vector<std::string> row = fields;
    row.resize(RECORD_FIELDS);
    return row;
}

// A record whose first length bytes are text (no NUL among them) and the rest NUL.
DirectoryRecord RawRecord(size_t length, char text)
{
    DirectoryRecord record;
    memset(&record, 0, sizeof record);
    memset(&record, text, length < sizeof record ? length : sizeof record);
    return record;
}

// n digits counting 1234567890 over and over: a cut that kept any but the first ones would show.
std::string Digits(size_t n)
{
    std::string digits;
    while (digits.size() < n)
        digits += static_cast<char>('0' + (digits.size() + 1) % 10);
    return digits;
}

std::string Field(const DirectoryRecord &record, int i)
{
    const char *text = reinterpret_cast<const char *>(&record) + kFieldSpecs[i].offset;
    return std::string(text, strnlen(text, kFieldSpecs[i].width));
}

void Search()
{
    SendMessageW(g_viewer.mainWindow, WM_COMMAND, 0, reinterpret_cast<LPARAM>(g_viewer.searchButton));
}

// The list's deletion notifications to the main window while a hook counts them.
int deleteAllNotes = 0, deleteItemNotes = 0;

LRESULT CALLBACK CountDeletions(int code, WPARAM wparam, LPARAM lparam)
{
    const CWPSTRUCT *call = reinterpret_cast<const CWPSTRUCT *>(lparam);
    if (code == HC_ACTION && call->message == WM_NOTIFY && call->hwnd == g_viewer.mainWindow) {
        UINT note = reinterpret_cast<const NMHDR *>(call->lParam)->code;
        deleteAllNotes += note == LVN_DELETEALLITEMS;
        deleteItemNotes += note == LVN_DELETEITEM;
    }
    return CallNextHookEx(NULL, code, wparam, lparam);
}

} // namespace

TEST_F(SearchTest, last_match_returned_is_the_first_row)
{
    LoadMatches({ MakeRecord({ "1111111", "Андреев", "Антон", "Андреевич", "Арбат", "1", "2", "3" }),
                  MakeRecord({ "2222222", "Борисов" }),
                  MakeRecord({ "3333333", "Васильева", "Вера", "", "Вокзальная", "", "", "99" }) });
    TypeInto(FIELD_SURNAME, L"а");
    Search();
    auto rows = ResultRows();
    ASSERT_EQ(3u, rows.size());
    EXPECT_EQ(RowOf({ "3333333", "Васильева", "Вера", "", "Вокзальная", "", "", "99" }), Utf8Row(rows[0]));
    EXPECT_EQ(RowOf({ "2222222", "Борисов" }), Utf8Row(rows[1]));
    EXPECT_EQ(RowOf({ "1111111", "Андреев", "Антон", "Андреевич", "Арбат", "1", "2", "3" }), Utf8Row(rows[2]));
    EXPECT_TRUE(CaughtBoxes().empty());
}

TEST_F(SearchTest, thirty_thousand_rows_at_most_with_a_warning_beyond)
{
    struct Case {
        size_t matches;
        bool warned;
    } cases[] = { { 30000, false }, { 30001, true }, { 30005, true } };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.matches);
        std::vector<DirectoryRecord> matches;
        for (size_t i = 0; i < c.matches; i++)
            matches.push_back(MakeRecord({ std::to_string(1000000 + i), "Фамилия" }));
        LoadMatches(matches);
        CaughtBoxes().clear();
        TypeInto(FIELD_PHONE, L"1");
        Search();
        EXPECT_EQ(30000, SendMessageW(g_viewer.resultList, LVM_GETITEMCOUNT, 0, 0));
        wchar_t top[16] = {0}, bottom[16] = {0};
        ListView_GetItemText(g_viewer.resultList, 0, 0, top, 16);
        ListView_GetItemText(g_viewer.resultList, 29999, 0, bottom, 16);
        EXPECT_EQ("1029999", Utf8FromWide(top));
        EXPECT_EQ("1000000", Utf8FromWide(bottom));
        ASSERT_EQ(c.warned ? 1u : 0u, CaughtBoxes().size());
        if (c.warned) {
            EXPECT_EQ("Найдено более 30000 записей. Отображены первые 30000", Utf8FromWide(CaughtBoxes()[0].text));
            EXPECT_EQ("Внимание!", Utf8FromWide(CaughtBoxes()[0].caption));
            EXPECT_EQ(g_viewer.mainWindow, CaughtBoxes()[0].owner);
            EXPECT_EQ(std::vector<int>{ IDOK }, CaughtBoxes()[0].buttons);
            EXPECT_FALSE(CaughtBoxes()[0].hasIcon);
            EXPECT_EQ(30001u, Fake().next) << "the search stops at the first match past the cap";
        }
    }
}

TEST_F(SearchTest, without_a_database_asks_for_one_and_changes_nothing)
{
    LoadMatches({ MakeRecord({ "1234567", "Иванов" }) });
    TypeInto(FIELD_SURNAME, L"Иванов");
    Search();
    ASSERT_EQ(1u, ResultRows().size());
    g_viewer.databaseOpen = 0;
    Fake().calls.clear();
    TypeInto(FIELD_SURNAME, L"Петров");
    Search();
    EXPECT_EQ(1u, ResultRows().size());
    EXPECT_TRUE(Fake().calls.empty());
    ASSERT_EQ(1u, CaughtBoxes().size());
    EXPECT_EQ(NOT_LOADED, Utf8FromWide(CaughtBoxes()[0].text));
    EXPECT_EQ("Ошибка", Utf8FromWide(CaughtBoxes()[0].caption));
    EXPECT_EQ(g_viewer.mainWindow, CaughtBoxes()[0].owner);
}

TEST_F(SearchTest, empty_form_clears_the_list_and_resets_before_saying_so)
{
    LoadMatches({ MakeRecord({ "1234567", "Иванов" }) });
    TypeInto(FIELD_SURNAME, L"Иванов");
    Search();
    ASSERT_EQ(1u, ResultRows().size());
    TypeInto(FIELD_SURNAME, L"");
    Fake().calls.clear();
    Search();
    EXPECT_TRUE(ResultRows().empty());
    EXPECT_EQ(std::vector<std::string>{ "reset" }, Fake().calls);
    ASSERT_EQ(1u, CaughtBoxes().size());
    EXPECT_EQ(NOTHING_TYPED, Utf8FromWide(CaughtBoxes()[0].text));
    EXPECT_EQ("Ошибка", Utf8FromWide(CaughtBoxes()[0].caption));
    EXPECT_EQ(g_viewer.mainWindow, CaughtBoxes()[0].owner);
}

TEST_F(SearchTest, the_form_becomes_the_key_cut_to_each_field)
{
    struct Case {
        const char *what;
        std::vector<std::string> typed;      // the eight boxes, UTF-8
        std::vector<std::string> key;        // the key's fields, UTF-8 (held as Windows-1251)
        int filled;
    };
    // One digit more than the phone and the house hold, and six letters more than the surname holds
    // (two bytes each in UTF-8, one in the key).
    const std::string phone = Digits(kFieldSpecs[FIELD_PHONE].width), house = Digits(kFieldSpecs[FIELD_HOUSE].width);
    std::string surname;
    for (size_t i = 0; i < kFieldSpecs[FIELD_SURNAME].longest + 6; i++)
        surname += "Ж";
    const Case cases[] = {
        { "phone one digit too long", { phone }, { phone.substr(0, kFieldSpecs[FIELD_PHONE].longest) }, 1 },
        { "phone of seven", { "7654321" }, { "7654321" }, 1 },
        { "spaces count", { "", "   " }, { "", "   " }, 1 },
        { "Cyrillic surname", { "", "Йодистый" }, { "", "Йодистый" }, 1 },
        { "surname too long", { "", surname }, { "", surname.substr(0, 2 * kFieldSpecs[FIELD_SURNAME].longest) }, 1 },
        { "house one digit too long", { "", "", "", "", "", house, "7а", "100" },
          { "", "", "", "", "", house.substr(0, kFieldSpecs[FIELD_HOUSE].longest), "7а", "100" }, 3 },
        { "all eight", { "1", "2", "3", "4", "5", "6", "7", "8" }, { "1", "2", "3", "4", "5", "6", "7", "8" },
          RECORD_FIELDS },
        { "patterns pass as typed", { "", "*ова", "", "", "", "1?" }, { "", "*ова", "", "", "", "1?" }, 2 },
    };
    LoadMatches({});
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        for (int i = 0; i < RECORD_FIELDS; i++)
            TypeInto(i, i < static_cast<int>(c.typed.size()) ? WideFromUtf8(c.typed[i]) : L"");
        Fake().keys.clear();
        Fake().filled.clear();
        Search();
        ASSERT_EQ(1u, Fake().keys.size());
        EXPECT_EQ(c.filled, Fake().filled[0]);
        std::vector<std::string> expected = c.key;
        expected.resize(RECORD_FIELDS);
        for (int i = 0; i < RECORD_FIELDS; i++)
            EXPECT_EQ(Cp1251FromUtf8(expected[i]), Field(Fake().keys[0], i)) << FieldName(static_cast<RecordField>(i));
    }
}

TEST_F(SearchTest, the_same_search_twice_gives_the_same_rows)
{
    LoadMatches({ MakeRecord({ "1234567", "Иванов" }), MakeRecord({ "7654321", "Иванова" }) });
    TypeInto(FIELD_SURNAME, L"Иван");
    Search();
    auto first = ResultRows();
    Search();
    EXPECT_EQ(first, ResultRows());
    EXPECT_EQ(2u, first.size());
    EXPECT_EQ((std::vector<std::string>{ "reset", "search", "search", "search", "reset", "search", "search", "search" }),
              Fake().calls);
}

// The old rows go at once: the main window answers the list's delete-all, so it is not told of each row.
TEST_F(SearchTest, a_new_search_empties_the_list_without_a_notification_a_row)
{
    LoadMatches({ MakeRecord({ "1234567", "Иванов" }), MakeRecord({ "7654321", "Иванова" }) });
    TypeInto(FIELD_SURNAME, L"Иван");
    Search();
    ASSERT_EQ(2u, ResultRows().size());
    Fake().matches = { MakeRecord({ "1111111", "Иваненко" }) };
    deleteAllNotes = deleteItemNotes = 0;
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, CountDeletions, NULL, GetCurrentThreadId());
    Search();
    UnhookWindowsHookEx(hook);
    auto rows = ResultRows();
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ(RowOf({ "1111111", "Иваненко" }), Utf8Row(rows[0]));
    EXPECT_EQ(1, deleteAllNotes);
    EXPECT_EQ(0, deleteItemNotes);
}

TEST_F(SearchTest, composite_form_splits_letters_with_marks)
{
    LoadMatches({ MakeRecord({ "1234567", "Йошкин", "Ёлка", "Зайцевич", "Прямая", "", "", "" }) });
    TypeInto(FIELD_NAME, L"Ёлка");
    Search();
    auto rows = ResultRows();
    ASSERT_EQ(1u, rows.size());
    EXPECT_EQ(std::wstring(L"\u0418\u0306ошкин"), rows[0][FIELD_SURNAME]);
    EXPECT_EQ(std::wstring(L"\u0415\u0308лка"), rows[0][FIELD_NAME]);
    EXPECT_EQ(std::wstring(L"За\u0438\u0306цевич"), rows[0][FIELD_PATRONYMIC]);
    EXPECT_EQ(Cp1251FromUtf8("Ёлка"), Field(Fake().keys[0], FIELD_NAME));
}

TEST_F(SearchTest, a_field_without_its_nul_runs_on_but_never_past_the_record)
{
    struct Case {
        const char *what;
        DirectoryRecord record;
        std::vector<std::string> row;
    } cases[] = {
        // The phone's text runs on into the surname and stops at the surname's NUL.
        { "phone runs into surname", RawRecord(20, '5'),
          RowOf({ std::string(20, '5'), std::string(20 - kFieldSpecs[FIELD_SURNAME].offset, '5') }) },
        // CELL_CHARS - 1 characters fit the cell with its terminator.
        { "a cell's worth fits", RawRecord(CELL_CHARS - 1, 'a'),
          RowOf({ std::string(CELL_CHARS - 1, 'a'),
                  std::string(CELL_CHARS - 1 - kFieldSpecs[FIELD_SURNAME].offset, 'a'),
                  std::string(CELL_CHARS - 1 - kFieldSpecs[FIELD_NAME].offset, 'a') }) },
        // The flat ends the record: its text stops there.
        { "flat at the end", MakeRecord({ "1", "", "", "", "", "", "", "" }), {} },
    };
    DirectoryRecord &last = cases[2].record;
    memset(last.flat, '7', sizeof last.flat);
    cases[2].row = RowOf({ "1", "", "", "", "", "", "", std::string(sizeof last.flat, '7') });
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        LoadMatches({ c.record });
        CaughtBoxes().clear();
        TypeInto(FIELD_PHONE, L"1");
        Search();
        auto rows = ResultRows();
        ASSERT_EQ(1u, rows.size());
        EXPECT_EQ(c.row, Utf8Row(rows[0]));
        EXPECT_TRUE(CaughtBoxes().empty());
    }
}

TEST_F(SearchTest, a_damaged_record_stops_the_search_with_two_boxes)
{
    DirectoryRecord good = MakeRecord({ "1111111", "Хорошев" });
    DirectoryRecord later = MakeRecord({ "2222222", "Поздний" });
    // Surname, name and patronymic all without their NUL: their letters together do not fit a cell.
    DirectoryRecord badSurname = MakeRecord({ "3333333" });
    memset(badSurname.surname, 'x', sizeof badSurname.surname + sizeof badSurname.name + sizeof badSurname.patronymic);
    struct Case {
        const char *what;
        DirectoryRecord damaged;
        std::vector<std::vector<std::string>> rows;   // top first
    } cases[] = {
        { "phone fails: no row for it", RawRecord(CELL_CHARS, '9'), { RowOf({ "1111111", "Хорошев" }) } },
        { "surname fails: its row stays with the phone only", badSurname,
          { RowOf({ "3333333" }), RowOf({ "1111111", "Хорошев" }) } },
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        LoadMatches({ good, c.damaged, later });
        CaughtBoxes().clear();
        TypeInto(FIELD_PHONE, L"1");
        Search();
        std::vector<std::vector<std::string>> rows;
        for (const auto &row : ResultRows())
            rows.push_back(Utf8Row(row));
        EXPECT_EQ(c.rows, rows);
        EXPECT_EQ(2u, Fake().next) << "nothing is asked after the damaged record";
        ASSERT_EQ(2u, CaughtBoxes().size());
        EXPECT_EQ(OUTPUT_ERROR, Utf8FromWide(CaughtBoxes()[0].text));
        EXPECT_EQ("Ошибка", Utf8FromWide(CaughtBoxes()[0].caption));
        EXPECT_EQ(g_viewer.mainWindow, CaughtBoxes()[0].owner);
        EXPECT_EQ(Utf8FromWide(SystemText(ERROR_INSUFFICIENT_BUFFER)), Utf8FromWide(CaughtBoxes()[1].text));
        EXPECT_EQ("Ошибка", Utf8FromWide(CaughtBoxes()[1].caption));
        EXPECT_EQ(nullptr, CaughtBoxes()[1].owner);
    }
}
