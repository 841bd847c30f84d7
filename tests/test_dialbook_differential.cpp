// The library against plain reference models of its rules, on many generated files and keys.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstring>
#include <iterator>
#include <string>
#include <vector>

#include "library_test_support.h"
#include "text_helpers.h"

#ifdef DIALBOOK_TEST_SWITCHES
#include "key_matching.h"
#include "library_switches.h"
#endif

namespace {

// How a search may be made to find its candidates: the library's own choice, and where the test
// program reaches the library's switches, each way forced (the filter, the scan for literal bytes,
// the walk over every record) in the build for SSE2 and in the one for any processor, each with the
// maps of the segments' bytes made before the open returns, so that every search may pass over
// segments; and the library's choice with no maps, and with maps made on their own thread meanwhile.
struct Way {
    const char *name;
    int search_way;
    int no_sse2;
    int byte_maps;
    int sieve_order;   // 0, or a SieveOrder + 1 that every walk's sieve with a run and ends takes
    int pair_first;    // 1: every walk's sieve with a run of three bytes or more tests its rarest two first
};

#ifdef DIALBOOK_TEST_SWITCHES
const Way kWays[] = {
    {"chosen, SSE2", 0, 0, BYTE_MAPS_AT_OPEN, 0, 0},         {"filter, SSE2", WAY_FILTER, 0, BYTE_MAPS_AT_OPEN, 0, 0},
    {"scan, SSE2", WAY_SCAN, 0, BYTE_MAPS_AT_OPEN, 0, 0},    {"walk, SSE2", WAY_WALK, 0, BYTE_MAPS_AT_OPEN, 0, 0},
    {"chosen, generic", 0, 1, BYTE_MAPS_AT_OPEN, 0, 0},      {"filter, generic", WAY_FILTER, 1, BYTE_MAPS_AT_OPEN, 0, 0},
    {"scan, generic", WAY_SCAN, 1, BYTE_MAPS_AT_OPEN, 0, 0}, {"walk, generic", WAY_WALK, 1, BYTE_MAPS_AT_OPEN, 0, 0},
    {"chosen, SSE2, no byte maps", 0, 0, BYTE_MAPS_NONE, 0, 0}, {"chosen, SSE2, byte maps meanwhile", 0, 0, 0, 0, 0},
    {"walk, SSE2, ends first", WAY_WALK, 0, BYTE_MAPS_AT_OPEN, SIEVE_ENDS_FIRST + 1, 0},
    {"walk, SSE2, run first", WAY_WALK, 0, BYTE_MAPS_AT_OPEN, SIEVE_INNER_FIRST + 1, 0},
    {"walk, SSE2, ends and run together", WAY_WALK, 0, BYTE_MAPS_AT_OPEN, SIEVE_TOGETHER + 1, 0},
    {"walk, SSE2, the run's rarest pair first", WAY_WALK, 0, BYTE_MAPS_AT_OPEN, 0, 1},
    {"walk, SSE2, run first, its rarest pair first", WAY_WALK, 0, BYTE_MAPS_AT_OPEN, SIEVE_INNER_FIRST + 1, 1},
};

// Opens the database in bytes with the way's switches; they stay until the next call or RestoreWay.
int OpenWithWay(const Way &way, const std::string &name, const std::string &bytes)
{
    g_switches.search_way = way.search_way;
    g_switches.no_sse2 = way.no_sse2;
    g_switches.byte_maps = way.byte_maps;
    g_switches.sieve_order = way.sieve_order;
    g_switches.pair_first = way.pair_first;
    return OpenScratchDatabase(name, bytes);
}

// The switches as the program's other tests have them.
void RestoreWay()
{
    g_switches.search_way = 0;
    g_switches.no_sse2 = 1;
    g_switches.byte_maps = 0;
    g_switches.sieve_order = 0;
    g_switches.pair_first = 0;
}
#else
const Way kWays[] = {{"chosen", 0, 0, 0, 0, 0}};

int OpenWithWay(const Way &, const std::string &name, const std::string &bytes)
{
    return OpenScratchDatabase(name, bytes);
}

void RestoreWay() {}
#endif

// A small deterministic generator, so that every run sees the same files.
struct Random {
    uint64_t state;
    uint32_t Next()
    {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        return static_cast<uint32_t>(state >> 33);
    }
    size_t Below(size_t n) { return Next() % n; }
};

// The parsing rules, written the slow and obvious way: records as their eight fields.
std::vector<std::vector<std::string>> ReferenceParse(const std::string &file)
{
    std::vector<std::vector<std::string>> records;
    size_t start = 0;
    while (start < file.size()) {
        size_t newline = file.find('\n', start);
        std::string line = file.substr(start, newline == std::string::npos ? std::string::npos : newline - start);
        start = newline == std::string::npos ? file.size() : newline + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find_first_not_of(" \t\r") == std::string::npos)
            continue;
        std::vector<std::string> fields;
        size_t from = 0;
        for (int k = 0; k < RECORD_FIELDS; k++) {
            size_t separator = from <= line.size() ? line.find(FIELD_SEPARATOR, from) : std::string::npos;
            std::string field = from <= line.size() ? line.substr(from, separator - from) : std::string();
            field = field.substr(0, field.find('\0'));
            fields.push_back(field.substr(0, kFieldSpecs[k].longest));
            from = separator == std::string::npos ? line.size() + 1 : separator + 1;
        }
        records.push_back(fields);
    }
    return records;
}

// The whole database as the library returns it, each record as its eight raw fields.
std::vector<std::vector<std::string>> LibraryRecords()
{
    return SearchFields(SearchInDatabase, DirectoryRecord{}, 0);
}

// A line of a few of the bytes that matter to parsing, of any length up to about 300 bytes.
std::string RandomLine(Random &random)
{
    static const char kBytes[] = {FIELD_SEPARATOR, FIELD_SEPARATOR, FIELD_SEPARATOR,
                                  '\r', ' ', '\t', '\0', 'a', 'B', '7', '\xC0', '\xE0', '\xA8', 'x'};
    std::string line;
    size_t length = random.Below(8) == 0 ? random.Below(300) : random.Below(70);
    for (size_t i = 0; i < length; i++)
        line += kBytes[random.Below(sizeof kBytes)];
    return line + (random.Below(5) == 0 ? "\n" : "\r\n");
}

TEST(differential, parsing_matches_the_reference_across_chunks)
{
    Random random{2024};
    for (int round = 0; round < 4; round++) {
        std::string file;
        while (file.size() < 700000)   // several reading chunks, so lines cross their ends
            file += RandomLine(random);
        if (round % 2 == 1)
            file.resize(file.size() - 1 - random.Below(20));   // no final newline
        int count = OpenScratchDatabase("random.txt", file);
        std::vector<std::vector<std::string>> expected = ReferenceParse(file);
        ASSERT_EQ(count, static_cast<int>(expected.size())) << "round " << round;
        ASSERT_TRUE(LibraryRecords() == expected) << "round " << round;
    }
    CloseDatabase();
}

// Large files are read as two halves at once: the line at the middle must be read once, whole.
TEST(differential, large_files_split_in_two_match_the_reference)
{
    Random random{99};
    std::string random_lines;
    while (random_lines.size() < 4800000)
        random_lines += RandomLine(random);
    std::string fixed_lines;   // 100-byte lines: the middle falls exactly on a line start
    for (int i = 0; fixed_lines.size() < 5000000; i++) {
        std::string line = std::to_string(i) + ";Петров;Иван;Иванович;Садовая;12;42;7";
        fixed_lines += line + std::string(99 - line.size(), ' ') + "\n";
    }
    std::string long_middle = random_lines.substr(0, 2000000) + std::string(2500000, 'x') + "\r\n" +
                              random_lines.substr(0, 600000);
    const std::pair<const char *, std::string> files[] = {
        {"random lines", random_lines},
        {"middle on a line start", fixed_lines},
        {"one long line across the middle", long_middle},
        {"no newline at all", std::string(4500000, 'y')},
        {"ends without a newline", random_lines + "tail;without;newline"},
    };
    for (const auto &file : files) {
        int count = OpenScratchDatabase("halves.txt", file.second);
        std::vector<std::vector<std::string>> expected = ReferenceParse(file.second);
        ASSERT_EQ(count, static_cast<int>(expected.size())) << file.first;
        ASSERT_TRUE(LibraryRecords() == expected) << file.first;
    }
    CloseDatabase();
}

// Glob matching the slow and obvious way: '*' any run, '?' any one byte; case is folded before.
bool ReferenceGlob(const std::string &pattern, const std::string &text)
{
    if (pattern.empty())
        return text.empty();
    if (pattern[0] == '*')
        return ReferenceGlob(pattern.substr(1), text) || (!text.empty() && ReferenceGlob(pattern, text.substr(1)));
    return !text.empty() && (pattern[0] == '?' || pattern[0] == text[0]) &&
           ReferenceGlob(pattern.substr(1), text.substr(1));
}

// A key's field text, as the library takes it: at most the field's width, up to a NUL.
std::string KeyText(RecordField field, const std::string &text)
{
    return text.substr(0, kFieldSpecs[field].width);
}

// A Windows-1251 byte as comparisons take it: lowercase, and Ё and ё as е.
char Fold1251(char c)
{
    unsigned char b = static_cast<unsigned char>(c);
    if (b == 0xA8 || b == 0xB8)
        return static_cast<char>(0xE5);
    if ((b >= 'A' && b <= 'Z') || (b >= 0xC0 && b <= 0xDF))
        return static_cast<char>(b + 0x20);
    return c;
}

// The matching rules the slow and obvious way: Windows-1251 case folded, the fields from the phone up to the
// street by prefix, the house, building and flat whole, a text holding '*' or '?' a pattern over the
// whole field. The rule is stated here, not read from kFieldSpecs, so that this model stays the
// test's own expectation of the library.
bool ReferenceFieldMatches(RecordField field, const std::string &key, const std::string &text)
{
    auto fold = [](std::string s) {
        for (char &c : s)
            c = Fold1251(c);
        return s;
    };
    std::string k = fold(key), t = fold(text);
    if (k.find_first_of("*?") != std::string::npos)
        return ReferenceGlob(k, t);
    bool by_prefix = field <= FIELD_STREET;
    return by_prefix ? t.compare(0, k.size(), k) == 0 && t.size() >= k.size() : t == k;
}

// A key of one to three fields of a few letters, '*' and '?', now and then as long as the field.
KeyTexts RandomKey(Random &random)
{
    KeyTexts key;
    for (size_t n = 1 + random.Below(random.Below(4) == 0 ? 3 : 1); n > 0; n--) {
        RecordField field = static_cast<RecordField>(random.Below(RECORD_FIELDS));
        if (std::any_of(key.begin(), key.end(), [&](const auto &k) { return k.first == field; }))
            continue;
        std::string text;
        size_t longest = kFieldSpecs[field].longest;
        for (size_t length = 1 + random.Below(random.Below(4) == 0 ? longest + 1 : 4); length > 0; length--)
            text += "abcdAB*?"[random.Below(random.Below(3) == 0 ? 8 : 6)];
        key.push_back({field, text});
    }
    return key;
}

// The rows of the records that pass key, from record number from on, in file order.
std::vector<std::string> ReferenceRows(const std::vector<std::vector<std::string>> &records, const KeyTexts &key,
                                       size_t from, std::vector<size_t> *numbers = nullptr)
{
    std::vector<std::string> rows;
    for (size_t r = from; r < records.size(); r++) {
        bool match = true;
        for (const auto &k : key)
            match = match && ReferenceFieldMatches(k.first, KeyText(k.first, k.second), records[r][k.first]);
        if (!match)
            continue;
        rows.push_back(JoinFields(records[r]));
        if (numbers != nullptr)
            numbers->push_back(r);
    }
    return rows;
}

// The next match's row, or "" when the library finds none.
std::string NextRow(const DirectoryRecord &key)
{
    DirectoryRecord result;
    return SearchInDatabase(&result, &key, 1) ? RecordRow(result) : "";
}

// Searches the open database of records with 1500 random keys. In some rounds the caller hands a
// second key in the middle of the search, without a reset: the search goes on with it after the last
// match; a key that differs only past its NULs is the same key.
void SearchRandomKeys(Random &random, const std::vector<std::vector<std::string>> &records)
{
    for (int round = 0; round < 1500; round++) {
        KeyTexts key = RandomKey(random);
        std::string what;
        for (const auto &k : key)
            what += std::string(" ") + FieldName(k.first) + "=" + k.second;
        std::vector<size_t> numbers;
        std::vector<std::string> expected = ReferenceRows(records, key, 0, &numbers);
        if (round % 3 != 0) {
            ASSERT_EQ(SearchRows(SearchInDatabase, MakeKey(key)), expected) << "key" << what;
            continue;
        }
        size_t taken = random.Below(expected.size() + 1);
        DirectoryRecord first = MakeKey(key);
        SearchInDatabase(nullptr, nullptr, 0);
        for (size_t m = 0; m < taken; m++)
            ASSERT_EQ(NextRow(first), expected[m]) << "key" << what << ", match " << m;
        KeyTexts next = round % 2 == 0 ? RandomKey(random) : key;
        DirectoryRecord second = MakeKey(next);
        for (const FieldSpec &layout : kFieldSpecs) {   // bytes past a field's NUL do not count
            char *field = reinterpret_cast<char *>(&second) + layout.offset;
            size_t length = strnlen(field, layout.width);
            if (length < layout.longest)
                field[length + 1 + random.Below(layout.longest - length)] = 'a';
        }
        std::vector<std::string> rest = ReferenceRows(records, next, taken == 0 ? 0 : numbers[taken - 1] + 1);
        for (const std::string &row : rest)
            ASSERT_EQ(NextRow(second), row) << "key" << what << " after " << taken << " matches";
        ASSERT_EQ(NextRow(second), "") << "key" << what << " after " << taken << " matches";
    }
}

// Keys on every field, literal and patterns, over records of short words of a few letters, so that
// the filters of the first bytes let through many records that match and many that do not, each way
// the library can search. A third of the runs of 40 records (a segment each, in the test program of
// the library's switches) hold no d at all, a third only a lowercase one and a third only D, so that
// a key with d may pass a segment over only where neither case stands.
TEST(differential, keys_on_every_field_match_the_reference)
{
    Random random{7};
    std::vector<std::vector<std::string>> records;
    std::string file;
    const char *const kLetters[] = {"abcAB", "abcdB", "abcAD"};
    for (int i = 0; i < 600; i++) {
        std::vector<std::string> fields;
        const char *letters = kLetters[i / 40 % 3];
        for (int k = 0; k < RECORD_FIELDS; k++) {
            size_t longest = kFieldSpecs[k].longest;
            size_t length =
                random.Below(6) == 0 ? random.Below(longest + 1) : random.Below(std::min<size_t>(5, longest + 1));
            std::string word;
            while (word.size() < length)
                word += letters[random.Below(5)];
            fields.push_back(word);
        }
        file += JoinFields(fields) + "\r\n";
        records.push_back(fields);
    }
    for (const Way &way : kWays) {
        SCOPED_TRACE(way.name);
        Random keys{11};
        ASSERT_EQ(OpenWithWay(way, "words.txt", file), 600);
        SearchRandomKeys(keys, records);
    }
    RestoreWay();
    CloseDatabase();
}

// Appends a record, its fields given in UTF-8, to a database file and to the reference's records, both
// in Windows-1251.
void AddRecord(std::vector<std::string> fields, std::string *file, std::vector<std::vector<std::string>> *records)
{
    for (std::string &field : fields)
        field = Cp1251FromUtf8(field);
    *file += JoinFields(fields) + "\r\n";
    records->push_back(fields);
}

// Opens file (whose records, in Windows-1251, are records) each way the library can search, and
// searches it for each key of the table (in UTF-8): every way must find the reference's rows.
void ExpectEveryWayFindsTheReference(const std::string &name, const std::string &file,
                                     const std::vector<std::vector<std::string>> &records,
                                     const std::vector<KeyTexts> &keys)
{
    for (const Way &way : kWays) {
        SCOPED_TRACE(way.name);
        ASSERT_EQ(OpenWithWay(way, name, file), static_cast<int>(records.size()));
        for (const KeyTexts &key : keys) {
            std::string what;
            for (const auto &k : key)
                what += std::string(" ") + FieldName(k.first) + "=" + k.second;
            KeyTexts bytes = key;
            for (auto &k : bytes)
                k.second = Cp1251FromUtf8(k.second);
            std::vector<std::string> expected;
            for (const std::string &row : ReferenceRows(records, bytes, 0))
                expected.push_back(Utf8FromCp1251(row));
            ASSERT_EQ(SearchRows(SearchInDatabase, MakeKey(key)), expected) << "key" << what;
        }
    }
    RestoreWay();
    CloseDatabase();
}

// A literal scan's cases: runs of literal bytes at the start of a segment's text and at its end
// (the test program of the library's switches keeps segments of 40 records), runs that lie across
// two fields of a record and must not match, and runs that differ from the key only in case or in Ё
// and Е. And letters that only one segment holds, in one case or in one field, which the other
// segments may be passed over for. Every way must give the reference's matches.
TEST(differential, literal_runs_match_the_reference)
{
    const char *kSurnames[] = {"Ёлкин", "елкина", "ЕЛКИН", "Петров", "Сидорова", "Ёжиков"};
    const char *kNames[] = {"Семён", "Семен", "СЕМЁН", "Иван", "Анна"};
    std::vector<std::vector<std::string>> records;
    std::string file;
    for (int i = 0; i < 120; i++) {
        std::vector<std::string> fields = {std::to_string(1000000 + i * 7919 % 9000000), kSurnames[i % 6], kNames[i % 5],
                                           "Петровна", "Лесная", std::to_string(1 + i % 50), "", std::to_string(i)};
        if (i % 40 == 0)
            fields[FIELD_PHONE] = "zq" + std::to_string(10000 + i);   // the first bytes of a segment's text
        if (i % 40 == 39)
            fields[FIELD_FLAT] = std::to_string(i % 100) + "zq";       // the last bytes of a segment's text
        if (i == 5) {                                                  // 4567 across the phone and the surname
            fields[FIELD_PHONE] = "1234";
            fields[FIELD_SURNAME] = "567Петров";
        }
        if (i == 6) {                                                  // 4567 across the house and the building
            fields[FIELD_HOUSE] = "45";
            fields[FIELD_BUILDING] = "67";
        }
        if (i == 7)
            fields[FIELD_PHONE] = "9994567";
        if (i == 8) {                                                  // 4567 across two fields, then in one
            fields[FIELD_PHONE] = "1245";
            fields[FIELD_SURNAME] = "67Иванов4567";
        }
        if (i == 45)                                                   // Ъ in the second segment alone
            fields[FIELD_SURNAME] = "ПодЪячев";
        if (i == 47)                                                   // Ё in the second segment's street alone
            fields[FIELD_STREET] = "ЁЛОЧНАЯ";
        if (i == 90)                                                   // ъ in the third's street, not its surnames
            fields[FIELD_STREET] = "Подъездная";
        AddRecord(fields, &file, &records);
    }
    const KeyTexts kKeys[] = {
        {{FIELD_PHONE, "*zq*"}},   {{FIELD_PHONE, "zq*"}},      {{FIELD_FLAT, "*zq"}},
        {{FIELD_PHONE, "*4567"}},  {{FIELD_SURNAME, "*567*"}},  {{FIELD_BUILDING, "*67"}},
        {{FIELD_HOUSE, "*5"}},     {{FIELD_SURNAME, "*ЛКИН"}},  {{FIELD_SURNAME, "*ёлк*"}},
        {{FIELD_NAME, "?емен"}},   {{FIELD_NAME, "*МЁН"}},      {{FIELD_SURNAME, "*#"}},
        {{FIELD_SURNAME, "*кин"}, {FIELD_NAME, "*мен"}},        {{FIELD_SURNAME, "Ёлк"}},
        {{FIELD_PATRONYMIC, "*ВНА"}, {FIELD_STREET, "?есн*"}},  {{FIELD_SURNAME, "*ов*ов"}},
        {{FIELD_SURNAME, "*4567"}},
        {{FIELD_SURNAME, "*ъ*"}},  {{FIELD_SURNAME, "подъ*"}},  {{FIELD_STREET, "*ъ*"}},
        {{FIELD_STREET, "ел*"}},   {{FIELD_STREET, "*ёл*"}},    {{FIELD_SURNAME, "*ъ*"}, {FIELD_STREET, "*ъ*"}},
    };
    ExpectEveryWayFindsTheReference("runs.txt", file, records, std::vector<KeyTexts>(std::begin(kKeys), std::end(kKeys)));
}

// Patterns that a walk sieves a word at a time before it matches the record: in the phone a run at
// its start, at its end and between stars, a run as long as the phone, '?' inside a run, Ё and е, over
// phones of every length and few bytes, so that runs stand at every place and overlap; in the surname
// heads and tails longer than a word, in either case. Every way must give the reference's matches.
TEST(differential, sieved_patterns_match_the_reference)
{
    Random random{5};
    std::vector<std::vector<std::string>> records;
    std::string file;
    for (int i = 0; i < 400; i++) {
        std::string phone;
        for (size_t length = random.Below(kFieldSpecs[FIELD_PHONE].longest + 1); length > 0; length--)
            phone += random.Below(8) == 0 ? (random.Below(2) == 0 ? "Ё" : "е") : std::string(1, "1224"[random.Below(4)]);
        const char *kSurnames[] = {"Ёлкин", "Елкина-Петрова", "ПЕТРОВА", "Петров", "ёлкина-петровА"};
        std::vector<std::string> fields = {phone, kSurnames[i % 5], "Иван", "", "1224", std::to_string(i % 30), "", "42"};
        AddRecord(fields, &file, &records);
    }
    const KeyTexts kKeys[] = {
        {{FIELD_PHONE, "*24*22"}},  {{FIELD_PHONE, "*22"}},       {{FIELD_PHONE, "1*4"}},
        {{FIELD_PHONE, "*2?4"}},    {{FIELD_PHONE, "?2*"}},       {{FIELD_PHONE, "*12*"}},
        {{FIELD_PHONE, "*1*2*4*"}}, {{FIELD_PHONE, "12*41*14"}},  {{FIELD_PHONE, "1?2?"}},
        {{FIELD_PHONE, "*е*"}},     {{FIELD_PHONE, "*Ё2"}},       {{FIELD_PHONE, "*2221"}},
        {{FIELD_PHONE, "*???????"}}, {{FIELD_PHONE, "*2222222"}}, {{FIELD_PHONE, "4*"}},
        {{FIELD_PHONE, "*4"}, {FIELD_HOUSE, "1*"}},               {{FIELD_PHONE, "*1"}, {FIELD_STREET, "*22*"}},
        {{FIELD_SURNAME, "*на-петрова"}},  {{FIELD_SURNAME, "?лкина-петро*"}},  {{FIELD_SURNAME, "елкина-петров?"}},
        {{FIELD_SURNAME, "*ЁЛКИН"}},       {{FIELD_SURNAME, "*ПЕТРОВ"}},        {{FIELD_HOUSE, "*1"}, {FIELD_SURNAME, "*а"}},
    };
    ExpectEveryWayFindsTheReference("sieved.txt", file, records, std::vector<KeyTexts>(std::begin(kKeys), std::end(kKeys)));
}

// Patterns with no star, longer than the 8 bytes a sieve tests at a field's start: their last 8 bytes
// are tested at its end too, which together decide a pattern of up to 16 bytes. Over surnames that
// are each pattern's text with one byte changed, at every place, and one byte longer or shorter, so
// that a byte that neither test covers lets a record through that must not match; with е and Ё,
// which take two tests and leave the key to the matcher. Every way must give the reference's matches.
TEST(differential, starless_patterns_match_the_reference)
{
    const char *kTexts[] = {"абвгджзий", "абвгджзийклмноп", "абвгджзийклмнопр", "абвгджзийклмнопрс",
                            "абвгдежзийклмноп", "абвгджзийклмнопрстуфх"};
    std::vector<std::vector<std::string>> records;
    std::string file;
    std::vector<KeyTexts> keys;
    for (const char *text : kTexts) {
        std::string base = Cp1251FromUtf8(text);   // a byte a letter, to change one at a time
        std::vector<std::string> surnames = {base, base + "я", base.substr(0, base.size() - 1)};
        for (size_t at = 0; at < base.size(); at++) {
            surnames.push_back(base);
            surnames.back()[at] = base[at] == Cp1251FromUtf8("я")[0] ? Cp1251FromUtf8("ю")[0] : Cp1251FromUtf8("я")[0];
        }
        for (const std::string &surname : surnames)
            AddRecord({"1234", Utf8FromCp1251(surname), "Иван", "", "Лесная", "1", "", "1"}, &file, &records);
        for (size_t at : {size_t(0), size_t(8), base.size() - 1}) {
            std::string key = base;
            key[at] = '?';
            keys.push_back({{FIELD_SURNAME, Utf8FromCp1251(key)}});
        }
    }
    AddRecord({"1234", "АБВГДЁЖЗИЙКЛМНОП", "Иван", "", "Лесная", "1", "", "1"}, &file, &records);
    keys.push_back({{FIELD_SURNAME, "?бвгджзийклмноп"}, {FIELD_NAME, "Иван"}});
    ExpectEveryWayFindsTheReference("starless.txt", file, records, keys);
}

// Patterns of a long field whose run between stars a walk looks for sixteen places at a time: over
// surnames and streets of every length up to the widest, of few letters in both cases with Ё and е,
// so that runs stand at every place, across the 16th byte and at the last, and overlap the head and
// the tail. Runs with '?', with е (two tests), of 8 bytes and of 9 (longer than the sieve tests), two
// runs, a second field that the sieve does not decide, and tails with е, which are looked for as a
// run at the field's end, and runs whose rarest pair has е first or second. Every way must give the
// reference's matches.
TEST(differential, long_field_runs_match_the_reference)
{
    Random random{7};
    const char *kLetters[] = {"а", "б", "А", "е", "Е", "ё", "Ё"};
    std::vector<std::vector<std::string>> records;
    std::string file;
    for (int i = 0; i < 500; i++) {
        std::string texts[2];
        for (std::string &text : texts)
            for (size_t length = random.Below(kFieldSpecs[FIELD_SURNAME].longest + 1); length > 0; length--)
                text += kLetters[random.Below(7)];
        std::vector<std::string> fields = {"1234", texts[0], "Иван", "", texts[1], std::to_string(i % 7), "", "1"};
        AddRecord(fields, &file, &records);
    }
    const KeyTexts kKeys[] = {
        {{FIELD_SURNAME, "*аб*"}},       {{FIELD_SURNAME, "*бе*"}},        {{FIELD_SURNAME, "*ёё*"}},
        {{FIELD_SURNAME, "*а?б*"}},      {{FIELD_SURNAME, "*аба*бА"}},     {{FIELD_SURNAME, "аб*ба*"}},
        {{FIELD_SURNAME, "а*еа*а"}},     {{FIELD_SURNAME, "?*бб*?"}},      {{FIELD_SURNAME, "*абаб*ЕЕ"}},
        {{FIELD_SURNAME, "*аааааааа*"}}, {{FIELD_SURNAME, "*абабабаба*"}}, {{FIELD_SURNAME, "*а*б*а*"}},
        {{FIELD_SURNAME, "???????????????*бе*"}},     {{FIELD_SURNAME, "*бе*???????????????"}},
        {{FIELD_SURNAME, "*ба*"}, {FIELD_HOUSE, "3"}}, {{FIELD_STREET, "*ее*б"}}, {{FIELD_STREET, "Е*аа*"}},
        {{FIELD_SURNAME, "*е"}},         {{FIELD_SURNAME, "*бЁ"}},         {{FIELD_SURNAME, "а*ее"}},
        {{FIELD_STREET, "?*еа"}},        {{FIELD_STREET, "*абааЁ"}},       {{FIELD_SURNAME, "*ебе*"}},
        {{FIELD_SURNAME, "*бее*"}},      {{FIELD_STREET, "*ёабе*"}},
    };
    ExpectEveryWayFindsTheReference("long_runs.txt", file, records, std::vector<KeyTexts>(std::begin(kKeys), std::end(kKeys)));
}

} // namespace
