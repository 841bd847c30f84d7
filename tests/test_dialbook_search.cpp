// The library's matching rules, seen through SearchInDatabase.
#include <gtest/gtest.h>

#include <cstring>

#include "library_test_support.h"

namespace {

const char *const kDirectory =
    "1234567;Петров;Иван;Сергеевич;Садовая;12;42;34\r\n"
    "2345678;петрова;Мария;Ивановна;Садовое кольцо;12А;42;1\r\n"
    "3456789;Петровский;Пётр;Петрович;Ленина;1;;12\r\n"
    "4567890;Смирнова;Алёна;Олеговна;Ленинский проспект;120;2;\r\n"
    "5554567;Иванов;Иван;Иванович;Садовая;5;;7\r\n"
    "1114567;Ёлкин;Семён;Фёдорович;Ёлочная;3;1;\r\n";

class Search : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(OpenScratchDatabase("search.txt", Cp1251FromUtf8(kDirectory)), 6); }
    void TearDown() override { CloseDatabase(); }
};

// The phones of every match, in the order the library returns them.
std::vector<std::string> Phones(const DirectoryRecord &key)
{
    std::vector<std::string> phones;
    for (const std::string &row : SearchRows(SearchInDatabase, key))
        phones.push_back(row.substr(0, row.find(FIELD_SEPARATOR)));
    return phones;
}

struct MatchCase {
    const char *what;
    KeyTexts key;
    std::vector<std::string> phones;
};

const MatchCase kMatchCases[] = {
    {"surname prefix", {{FIELD_SURNAME, "Петров"}}, {"1234567", "2345678", "3456789"}},
    {"upper case key", {{FIELD_SURNAME, "ПЕТРОВ"}}, {"1234567", "2345678", "3456789"}},
    {"longer prefix", {{FIELD_SURNAME, "петрова"}}, {"2345678"}},
    {"Е finds Ё", {{FIELD_SURNAME, "Елкин"}}, {"1114567"}},
    {"ё finds Ё", {{FIELD_SURNAME, "ёлкин"}}, {"1114567"}},
    {"Ё in the key finds е", {{FIELD_NAME, "Пётр"}}, {"3456789"}},
    {"е in the key finds ё", {{FIELD_NAME, "Петр"}}, {"3456789"}},
    {"name prefix", {{FIELD_NAME, "Ива"}}, {"1234567", "5554567"}},
    {"patronymic prefix", {{FIELD_PATRONYMIC, "иванов"}}, {"2345678", "5554567"}},
    {"phone prefix", {{FIELD_PHONE, "123"}}, {"1234567"}},
    {"street prefix", {{FIELD_STREET, "Садов"}}, {"1234567", "2345678", "5554567"}},
    {"street from its start, not inside it", {{FIELD_STREET, "проспект"}}, {}},
    {"surname from its start, not inside it", {{FIELD_SURNAME, "ров"}}, {}},
    {"street spaces count", {{FIELD_STREET, "Ленинский "}}, {"4567890"}},
    {"trailing space finds nothing more", {{FIELD_STREET, "Ленина "}}, {}},
    {"house is whole", {{FIELD_HOUSE, "1"}}, {"3456789"}},
    {"house 12 is not 12А", {{FIELD_HOUSE, "12"}}, {"1234567"}},
    {"house letter ignores case", {{FIELD_HOUSE, "12а"}}, {"2345678"}},
    {"flat is whole", {{FIELD_FLAT, "1"}}, {"2345678"}},
    {"building is whole", {{FIELD_BUILDING, "4"}}, {}},
    {"building 42", {{FIELD_BUILDING, "42"}}, {"1234567", "2345678"}},
    {"pattern suffix", {{FIELD_SURNAME, "*ова"}}, {"2345678", "4567890"}},
    {"pattern inside", {{FIELD_SURNAME, "*ров*"}}, {"1234567", "2345678", "3456789"}},
    {"pattern phone suffix", {{FIELD_PHONE, "*4567"}}, {"1234567", "5554567", "1114567"}},
    {"pattern one character", {{FIELD_PHONE, "?234567"}}, {"1234567"}},
    {"pattern is whole", {{FIELD_SURNAME, "петров?"}}, {"2345678"}},
    {"pattern house", {{FIELD_HOUSE, "1?"}}, {"1234567"}},
    {"pattern star matches empty", {{FIELD_FLAT, "*"}},
     {"1234567", "2345678", "3456789", "4567890", "5554567", "1114567"}},
    {"pattern Ё", {{FIELD_STREET, "*лочн*"}}, {"1114567"}},
    {"all fields must match", {{FIELD_SURNAME, "Петров"}, {FIELD_STREET, "Садовая"}}, {"1234567"}},
    {"three fields", {{FIELD_NAME, "Иван"}, {FIELD_PATRONYMIC, "Иванович"}, {FIELD_HOUSE, "5"}}, {"5554567"}},
    {"one failing field", {{FIELD_NAME, "Иван"}, {FIELD_HOUSE, "6"}}, {}},
    {"no match", {{FIELD_SURNAME, "Сидоров"}}, {}},
    {"key longer than any record", {{FIELD_SURNAME, "Петровскийй"}}, {}},
};

TEST_F(Search, matching_rules)
{
    for (const MatchCase &c : kMatchCases)
        EXPECT_EQ(Phones(MakeKey(c.key)), c.phones) << c.what;
}

TEST_F(Search, key_text_ends_at_its_nul)
{
    DirectoryRecord key = MakeKey({{FIELD_SURNAME, "Петров"}});
    std::memcpy(key.surname + 7, "zzz", 3);   // left-over bytes after the NUL
    EXPECT_EQ(Phones(key), (std::vector<std::string>{"1234567", "2345678", "3456789"}));
}

TEST_F(Search, key_without_nul_stops_at_its_width)
{
    DirectoryRecord key = MakeKey({});
    std::memset(key.phone, '1', sizeof key.phone);   // digits fill the phone's width and run into the surname
    EXPECT_TRUE(Phones(key).empty());

    DirectoryRecord house = MakeKey({{FIELD_SURNAME, "Смирнова"}});
    SetKeyField(&house, FIELD_HOUSE, "120");
    std::memset(house.flat, 0, sizeof house.flat);
    EXPECT_EQ(Phones(house), (std::vector<std::string>{"4567890"}));
}

TEST_F(Search, empty_key_matches_every_record_in_file_order)
{
    EXPECT_EQ(Phones(MakeKey({})),
              (std::vector<std::string>{"1234567", "2345678", "3456789", "4567890", "5554567", "1114567"}));
}

TEST_F(Search, returns_whole_records)
{
    std::vector<std::string> rows = SearchRows(SearchInDatabase, MakeKey({{FIELD_PHONE, "3456789"}}));
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0], "3456789;Петровский;Пётр;Петрович;Ленина;1;;12");
}

TEST_F(Search, reset_starts_over)
{
    DirectoryRecord key = MakeKey({{FIELD_SURNAME, "Петров"}});
    DirectoryRecord result;
    ASSERT_TRUE(SearchInDatabase(&result, &key, 1));
    ASSERT_TRUE(SearchInDatabase(&result, &key, 1));
    EXPECT_STREQ(result.phone, "2345678");
    SearchInDatabase(nullptr, nullptr, 0);
    ASSERT_TRUE(SearchInDatabase(&result, &key, 1));
    EXPECT_STREQ(result.phone, "1234567");
}

TEST_F(Search, stays_at_the_end_until_reset)
{
    DirectoryRecord key = MakeKey({{FIELD_SURNAME, "Ёлкин"}});
    DirectoryRecord result;
    SearchInDatabase(nullptr, nullptr, 0);
    EXPECT_TRUE(SearchInDatabase(&result, &key, 1));
    EXPECT_FALSE(SearchInDatabase(&result, &key, 1));
    EXPECT_FALSE(SearchInDatabase(&result, &key, 1));
}

TEST_F(Search, filled_count_is_only_a_hint)
{
    DirectoryRecord key = MakeKey({{FIELD_SURNAME, "Иванов"}});
    DirectoryRecord result;
    for (int filled : {0, 1, RECORD_FIELDS, -3}) {
        SearchInDatabase(nullptr, nullptr, 0);
        ASSERT_TRUE(SearchInDatabase(&result, &key, filled)) << filled;
        EXPECT_STREQ(result.phone, "5554567");
    }
}

TEST_F(Search, null_result_or_key_resets_and_finds_nothing)
{
    DirectoryRecord key = MakeKey({{FIELD_SURNAME, "Петров"}});
    DirectoryRecord result;
    ASSERT_TRUE(SearchInDatabase(&result, &key, 1));
    EXPECT_FALSE(SearchInDatabase(nullptr, &key, 1));
    EXPECT_FALSE(SearchInDatabase(&result, nullptr, 1));
    ASSERT_TRUE(SearchInDatabase(&result, &key, 1));
    EXPECT_STREQ(result.phone, "1234567");
}

// After an open the library goes on finding which letters each part of the database holds, on a
// thread of its own, so that a search can pass over the parts that lack one of its key's. A search
// finds the same records whether that work is done or not, and closing the database or opening
// another one while it runs ends it first (under the sanitizers and valgrind a thread left running
// would read freed memory).
TEST(SearchWhileMapping, same_records_before_and_after_and_a_close_or_open_meanwhile)
{
    std::string file;
    std::vector<std::string> expected;
    for (int i = 0; i < 50000; i++) {
        std::string surname = i % 9973 == 5 ? "ПодЪячев" : "Петров";
        std::string line = std::to_string(1000000 + i) + ";" + surname + ";Иван;Иванович;Садовая;12;;" +
                           std::to_string(i % 300);
        file += Cp1251FromUtf8(line) + "\r\n";
        if (i % 9973 == 5)
            expected.push_back(line);
    }
    std::basic_string<DirectoryPathChar> path = LibraryPath(WriteScratchFile("mapping.txt", file));
    DirectoryRecord hard_sign = MakeKey({{FIELD_SURNAME, "*ъ*"}}), hash = MakeKey({{FIELD_PHONE, "*#"}});
    for (int round = 0; round < 12; round++) {
        int count = 0;
        ASSERT_TRUE(OpenDatabase(path.c_str(), &count));
        ASSERT_EQ(count, 50000);
        if (round % 3 == 0)
            continue;   /* opened again at once */
        if (round % 3 == 1) {
            CloseDatabase();
            continue;
        }
        for (int search = 0; search < 3; search++) {
            EXPECT_EQ(SearchRows(SearchInDatabase, hard_sign), expected) << "round " << round << ", search " << search;
            EXPECT_TRUE(SearchRows(SearchInDatabase, hash).empty());
        }
    }
    CloseDatabase();
}

TEST(SearchClosed, finds_nothing_without_a_database)
{
    CloseDatabase();
    DirectoryRecord key = MakeKey({});
    DirectoryRecord result;
    SearchInDatabase(nullptr, nullptr, 0);
    EXPECT_FALSE(SearchInDatabase(&result, &key, 0));
}

} // namespace
