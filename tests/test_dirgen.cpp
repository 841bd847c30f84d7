// The directory data generator: determinism, both line formats, realistic data, and the bundled sample.
#include <gtest/gtest.h>

#include <stdio.h>
#include <sys/wait.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "directory_generator.h"
#include "directory_words.h"
#include "record_helpers.h"
#include "text_helpers.h"

namespace {

const uint64_t kSampleCount = 3000;   // the bundled sample: dirgen source 3000 1251
const uint64_t kSampleSeed  = 1251;

// Windows-1251 bytes of UTF-8 text as the generator converts its words (tested below).
std::string GeneratorCp1251(const char *utf8)
{
    char out[256];
    size_t length = ConvertToWindows1251(utf8, out, sizeof out);
    return std::string(out, length);
}

// What dirgen writes for output, count and seed, made by the linked generator.
std::string Generate(int output, uint64_t count, uint64_t seed)
{
    DirectoryGenerator generator;
    StartDirectoryGenerator(&generator, seed);
    std::string text;
    char line[GENERATED_LINE_MAX];
    for (uint64_t i = 0; i < count; i++)
        text.append(line, NextDirectoryLine(&generator, output, line, sizeof line));
    return text;
}

// Draws count entries of seed.
std::vector<GeneratedEntry> Entries(uint64_t count, uint64_t seed)
{
    DirectoryGenerator generator;
    StartDirectoryGenerator(&generator, seed);
    std::vector<GeneratedEntry> entries(count);
    for (GeneratedEntry &entry : entries)
        DrawDirectoryEntry(&generator, &entry);
    return entries;
}

// Splits text into lines at CR LF, which must end every line.
std::vector<std::string> Lines(const std::string &text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find("\r\n", start);
        EXPECT_NE(end, std::string::npos) << "a line without CR LF at byte " << start;
        if (end == std::string::npos)
            break;
        lines.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return lines;
}

std::vector<std::string> Split(const std::string &line, char separator)
{
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t end; (end = line.find(separator, start)) != std::string::npos; start = end + 1)
        parts.push_back(line.substr(start, end - start));
    parts.push_back(line.substr(start));
    return parts;
}

bool AllDigits(const std::string &text)
{
    return !text.empty() && text.find_first_not_of("0123456789") == std::string::npos;
}

bool EndsWith(const std::string &text, const std::string &suffix)
{
    return text.size() >= suffix.size() && text.compare(text.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// A number 1..limit, optionally followed by one of the letters (Windows-1251).
bool IsNumberWithin(const std::string &text, int limit, const std::string &letters)
{
    std::string digits = text;
    if (!digits.empty() && letters.find(digits.back()) != std::string::npos)
        digits.pop_back();
    return AllDigits(digits) && digits[0] != '0' && digits.size() <= 3 && std::stoi(digits) <= limit;
}

// The converter's reading of one listing line (without its CR LF): the seven scans, each ending at a byte of
// its set, then the fields cut as the converter cuts them. Returns false when the line breaks the grammar.
bool ConvertListingLine(const std::string &line, std::vector<std::string> *fields, std::string *dropped)
{
    static const char *const kScanEnds[7] = {";", ";", ";", " ", ";", ";", ";"};
    const std::string text = line + "\n";
    std::string scanned[7];
    size_t start = 0;
    for (int step = 0; step < 7; step++) {
        size_t end = text.find_first_of(std::string(kScanEnds[step]) + "\n", start);
        if (end == std::string::npos || (step < 6 && text[end] == '\n'))
            return false;
        scanned[step] = text.substr(start, end - start);
        start = end + 1;
    }
    std::vector<std::string> names = Split(scanned[5], ' ');
    std::string patronymic = names.size() > 1 ? names[1] : "";
    *dropped = scanned[3];
    auto cut = [](RecordField field, const std::string &text) { return text.substr(0, kFieldSpecs[field].longest); };
    *fields = {cut(FIELD_PHONE, scanned[0]),       cut(FIELD_SURNAME, scanned[4]), cut(FIELD_NAME, names[0]),
               cut(FIELD_PATRONYMIC, patronymic), cut(FIELD_STREET, scanned[6]),  cut(FIELD_HOUSE, scanned[1]),
               DATABASE_BUILDING,                 cut(FIELD_FLAT, scanned[2])};
    return true;
}

// Runs a shell command line, returns its standard output and sets its exit status.
std::string RunCommand(const std::string &command, int *status)
{
    std::string output;
    FILE *pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        *status = -1;
        return output;
    }
    char buffer[65536];
    size_t got;
    while ((got = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        output.append(buffer, got);
    int raw = pclose(pipe);
    *status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    return output;
}

std::string ReadFile(const char *path)
{
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

}  // namespace

// ------------------------------------------------------------------ text conversion

TEST(convert_to_windows1251, maps_cyrillic_and_yo_to_single_bytes)
{
    struct Case { const char *utf8; const char *expected; };
    static const Case kCases[] = {
        {"", ""},
        {"12;ab", "12;ab"},
        {"А", "\xC0"}, {"Я", "\xDF"}, {"а", "\xE0"}, {"п", "\xEF"}, {"р", "\xF0"}, {"я", "\xFF"},
        {"Ё", "\xA8"}, {"ё", "\xB8"},
        {"Петров", "\xCF\xE5\xF2\xF0\xEE\xE2"},
        {"x€y", "x?y"},      // outside the code page
        {"\xD0", "?"},       // a cut sequence
        {"\x80z", "?z"},     // a stray continuation byte
    };
    for (const Case &c : kCases)
        EXPECT_EQ(GeneratorCp1251(c.utf8), c.expected) << c.utf8;
}

TEST(convert_to_windows1251, stays_within_its_buffer)
{
    char out[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(ConvertToWindows1251("Ивановская", out, sizeof out), 3u);
    EXPECT_EQ(std::string(out), "\xC8\xE2\xE0");
    EXPECT_EQ(ConvertToWindows1251("abc", out, 0), 0u);
}

TEST(word_lists, every_word_converts_and_fits)
{
    const WordList *lists[] = {&kSurnames, &kFemaleNames, &kStreets, &kDistricts};
    for (const WordList *list : lists) {
        EXPECT_LE(list->count, (size_t)WORD_LIST_MAX);
        for (size_t i = 0; i < list->count; i++) {
            std::string word = GeneratorCp1251(list->words[i]);
            EXPECT_EQ(word.find_first_of("?;"), std::string::npos) << list->words[i];
            EXPECT_LT(word.size(), (size_t)GENERATED_TEXT_MAX) << list->words[i];
        }
    }
    EXPECT_LE(kMaleNames.count, (size_t)WORD_LIST_MAX);
    for (size_t i = 0; i < kMaleNames.count; i++)
        for (const char *word : {kMaleNames.names[i].name, kMaleNames.names[i].son, kMaleNames.names[i].daughter})
            EXPECT_EQ(GeneratorCp1251(word).find_first_of("?; "), std::string::npos) << word;
}

TEST(word_lists, surnames_and_names_have_no_space)
{
    for (size_t i = 0; i < kSurnames.count; i++)
        EXPECT_EQ(std::string(kSurnames.words[i]).find(' '), std::string::npos) << kSurnames.words[i];
    for (size_t i = 0; i < kFemaleNames.count; i++)
        EXPECT_EQ(std::string(kFemaleNames.words[i]).find(' '), std::string::npos) << kFemaleNames.words[i];
}

// ------------------------------------------------------------------ determinism

TEST(dirgen_output, same_seed_gives_same_bytes)
{
    EXPECT_EQ(Generate(OUTPUT_SOURCE, 20000, 7), Generate(OUTPUT_SOURCE, 20000, 7));
    EXPECT_EQ(Generate(OUTPUT_DATABASE, 20000, 7), Generate(OUTPUT_DATABASE, 20000, 7));
}

TEST(dirgen_output, different_seed_gives_different_bytes)
{
    EXPECT_NE(Generate(OUTPUT_SOURCE, 1000, 7), Generate(OUTPUT_SOURCE, 1000, 8));
    EXPECT_NE(Generate(OUTPUT_DATABASE, 1000, 0), Generate(OUTPUT_DATABASE, 1000, 1));
}

TEST(dirgen_output, fixed_seed_gives_known_first_lines)
{
    // Pins the exact bytes, so a change to the generator that alters its output is seen here too.
    std::string database = Generate(OUTPUT_DATABASE, 2, 1251);
    EXPECT_EQ(database, Cp1251FromUtf8("8160193;Беляева;Зинаида;Александровна;Овражная;17;42;244\r\n"
                               "6026144;Лебедева;Светлана;Дмитриевна;Кооперативная;10;42;84\r\n"));
    EXPECT_EQ(Generate(OUTPUT_SOURCE, 1, 1251),
              Cp1251FromUtf8("8160193;17;244;1 Беляева;Зинаида Александровна;Овражная\r\n"));
}

TEST(dirgen_output, a_count_gives_that_many_lines)
{
    EXPECT_EQ(Generate(OUTPUT_SOURCE, 0, 1), "");
    EXPECT_EQ(Lines(Generate(OUTPUT_SOURCE, 123, 1)).size(), 123u);
    EXPECT_EQ(Lines(Generate(OUTPUT_DATABASE, 456, 1)).size(), 456u);
}

TEST(dirgen_output, a_longer_run_starts_with_the_shorter_one)
{
    std::string shorter = Generate(OUTPUT_DATABASE, 500, 3);
    EXPECT_EQ(Generate(OUTPUT_DATABASE, 1000, 3).compare(0, shorter.size(), shorter), 0);
}

TEST(dirgen_output, bytes_are_windows1251_text)
{
    for (int output : {OUTPUT_SOURCE, OUTPUT_DATABASE}) {
        std::string text = Generate(output, 50000, 11);
        for (unsigned char c : text) {
            bool letter = c >= 0xC0 || c == 0xA8 || c == 0xB8;
            bool ascii = (c >= 0x20 && c < 0x7F) || c == '\r' || c == '\n';
            ASSERT_TRUE(letter || ascii) << "byte " << (int)c;
        }
        EXPECT_EQ(text.find('?'), std::string::npos);
        EXPECT_NE(text.find_first_of("\xA8\xB8"), std::string::npos) << "Ё and ё occur (Фёдор, Королёв)";
    }
}

// ------------------------------------------------------------------ database lines

TEST(database_line, has_eight_fields_within_their_widths)
{
    for (const std::string &line : Lines(Generate(OUTPUT_DATABASE, 100000, 5))) {
        std::vector<std::string> fields = Split(line, FIELD_SEPARATOR);
        ASSERT_EQ(fields.size(), (size_t)RECORD_FIELDS) << line;
        for (int k = 0; k < RECORD_FIELDS; k++)
            ASSERT_LE(fields[k].size(), kFieldSpecs[k].longest) << FieldName((RecordField)k) << " of " << line;
        EXPECT_EQ(line.find_first_of("\r\n"), std::string::npos);
    }
}

TEST(database_line, fields_have_realistic_shapes)
{
    const std::string letters = Cp1251FromUtf8("абв");
    size_t no_flat = 0, lettered = 0, lines = 0;
    for (const std::string &line : Lines(Generate(OUTPUT_DATABASE, 100000, 6))) {
        std::vector<std::string> f = Split(line, FIELD_SEPARATOR);
        ASSERT_EQ(f.size(), (size_t)RECORD_FIELDS);
        const std::string &phone = f[FIELD_PHONE], &house = f[FIELD_HOUSE], &flat = f[FIELD_FLAT];
        EXPECT_TRUE(AllDigits(phone) && phone.size() == 7 && phone[0] >= '2') << line;   // the generator's phones
        EXPECT_FALSE(f[FIELD_SURNAME].empty() || f[FIELD_NAME].empty() || f[FIELD_STREET].empty()) << line;
        EXPECT_TRUE(IsNumberWithin(house, 250, letters)) << line;
        EXPECT_EQ(f[FIELD_BUILDING], DATABASE_BUILDING);
        EXPECT_TRUE(flat.empty() || IsNumberWithin(flat, 400, "")) << line;
        no_flat += flat.empty();
        lettered += !AllDigits(house);
        lines++;
    }
    EXPECT_GT(no_flat, lines / 50);
    EXPECT_LT(no_flat, lines / 5);
    EXPECT_GT(lettered, lines / 50);
    EXPECT_LT(lettered, lines / 10);
}

TEST(database_line, size_is_about_57_bytes)
{
    std::string text = Generate(OUTPUT_DATABASE, 100000, 1);
    EXPECT_GT(text.size(), 100000u * 52);
    EXPECT_LT(text.size(), 100000u * 62);
}

// ------------------------------------------------------------------ source listing lines

TEST(source_line, follows_the_listing_grammar)
{
    uint64_t number = 0;
    size_t districts = 0;
    for (const std::string &line : Lines(Generate(OUTPUT_SOURCE, 100000, 5))) {
        std::vector<std::string> fields;
        std::string dropped;
        ASSERT_TRUE(ConvertListingLine(line, &fields, &dropped)) << line;
        EXPECT_EQ(dropped, std::to_string(++number)) << "the dropped word is the entry's number";
        EXPECT_EQ(line.find_first_of(std::string("\r\n\0", 3)), std::string::npos);
        std::vector<std::string> parts = Split(line, ';');
        ASSERT_TRUE(parts.size() == 6 || parts.size() == 7) << line;
        EXPECT_EQ(Split(parts[3], ' ').size(), 2u) << line;
        EXPECT_LE(Split(parts[4], ' ').size(), 2u) << line;
        districts += parts.size() == 7;
    }
    EXPECT_GT(districts, 1000u);
    EXPECT_LT(districts, 6000u);
}

TEST(source_line, converts_to_the_database_line_of_the_same_seed)
{
    std::vector<std::string> source = Lines(Generate(OUTPUT_SOURCE, 50000, 9));
    std::vector<std::string> database = Lines(Generate(OUTPUT_DATABASE, 50000, 9));
    ASSERT_EQ(source.size(), database.size());
    for (size_t i = 0; i < source.size(); i++) {
        std::vector<std::string> fields;
        std::string dropped;
        ASSERT_TRUE(ConvertListingLine(source[i], &fields, &dropped));
        ASSERT_EQ(JoinFields(fields), database[i]) << "line " << i + 1;
    }
}

TEST(source_line, long_streets_are_rare_and_cut_in_the_database)
{
    std::vector<GeneratedEntry> entries = Entries(200000, 4);
    const size_t longest = kFieldSpecs[FIELD_STREET].longest;
    size_t longer = 0, exactly = 0;
    for (const GeneratedEntry &entry : entries) {
        size_t length = std::string(entry.street).size();
        longer += length > longest;
        exactly += length == longest;
        char line[GENERATED_LINE_MAX];
        FormatDirectoryLine(&entry, OUTPUT_DATABASE, line, sizeof line);
        EXPECT_EQ(Split(line, FIELD_SEPARATOR)[FIELD_STREET], std::string(entry.street).substr(0, longest));
    }
    EXPECT_GT(longer, 100u);
    EXPECT_LT(longer, entries.size() / 50);
    EXPECT_GT(exactly, 20u);
}

TEST(source_line, some_give_no_patronymic)
{
    size_t without = 0;
    for (const std::string &line : Lines(Generate(OUTPUT_SOURCE, 100000, 12)))
        without += Split(Split(line, ';')[4], ' ').size() == 1;
    EXPECT_GT(without, 300u);
    EXPECT_LT(without, 3000u);
}

// ------------------------------------------------------------------ realistic people

TEST(people, surname_and_patronymic_agree_with_sex)
{
    static const char *const kMaleEndings[] = {"ова", "ева", "ина", "ына", "ая"};
    static const char *const kFemaleEndings[] = {"ов", "ев", "ёв", "ин", "ын", "ий", "ой", "ый"};
    size_t women = 0;
    std::vector<GeneratedEntry> entries = Entries(200000, 21);
    for (const GeneratedEntry &entry : entries) {
        std::string surname = entry.surname, patronymic = entry.patronymic;
        if (entry.sex == SEX_MALE) {
            for (const char *ending : kMaleEndings)
                ASSERT_FALSE(EndsWith(surname, Cp1251FromUtf8(ending))) << Cp1251FromUtf8(ending);
            ASSERT_TRUE(patronymic.empty() || EndsWith(patronymic, Cp1251FromUtf8("ич")));
        } else {
            for (const char *ending : kFemaleEndings)
                ASSERT_FALSE(EndsWith(surname, Cp1251FromUtf8(ending))) << Cp1251FromUtf8(ending);
            ASSERT_TRUE(patronymic.empty() || EndsWith(patronymic, Cp1251FromUtf8("на")));
            women++;
        }
    }
    EXPECT_GT(women, entries.size() * 50 / 100);
    EXPECT_LT(women, entries.size() * 58 / 100);
}

TEST(people, known_forms_occur_in_the_right_sex)
{
    struct Form { const char *text; int sex; };
    static const Form kSurnameForms[] = {
        {"Петров", SEX_MALE}, {"Петрова", SEX_FEMALE}, {"Иванов", SEX_MALE}, {"Иванова", SEX_FEMALE},
        {"Чайковский", SEX_MALE}, {"Чайковская", SEX_FEMALE}, {"Толстой", SEX_MALE}, {"Толстая", SEX_FEMALE},
        {"Ильин", SEX_MALE}, {"Ильина", SEX_FEMALE}, {"Римский-Корсаков", SEX_MALE},
        {"Римская-Корсакова", SEX_FEMALE}, {"Шевченко", SEX_MALE}, {"Шевченко", SEX_FEMALE},
    };
    static const Form kPatronymicForms[] = {
        {"Сергеевич", SEX_MALE}, {"Сергеевна", SEX_FEMALE}, {"Ильич", SEX_MALE}, {"Ильинична", SEX_FEMALE},
        {"Никитич", SEX_MALE}, {"Никитична", SEX_FEMALE}, {"Львович", SEX_MALE}, {"Петровна", SEX_FEMALE},
        {"Кузьминична", SEX_FEMALE}, {"Фёдорович", SEX_MALE},
    };
    std::set<std::pair<std::string, int>> surnames, patronymics;
    for (const GeneratedEntry &entry : Entries(300000, 22)) {
        surnames.insert({entry.surname, entry.sex});
        patronymics.insert({entry.patronymic, entry.sex});
    }
    for (const Form &form : kSurnameForms)
        EXPECT_EQ(surnames.count({Cp1251FromUtf8(form.text), form.sex}), 1u) << form.text;
    for (const Form &form : kPatronymicForms)
        EXPECT_EQ(patronymics.count({Cp1251FromUtf8(form.text), form.sex}), 1u) << form.text;
}

TEST(people, surnames_have_the_skew_of_real_ones)
{
    // Count each surname in its male form: the female form adds one letter or swaps -ая for -ий.
    std::map<std::string, size_t> counts;
    std::vector<GeneratedEntry> entries = Entries(200000, 23);
    for (const GeneratedEntry &entry : entries) {
        std::string surname = entry.surname;
        if (entry.sex == SEX_FEMALE && EndsWith(surname, Cp1251FromUtf8("а")))
            surname.pop_back();
        counts[surname]++;
    }
    std::vector<size_t> sorted;
    for (const auto &item : counts)
        sorted.push_back(item.second);
    std::sort(sorted.rbegin(), sorted.rend());
    size_t top10 = 0;
    for (size_t i = 0; i < 10; i++)
        top10 += sorted[i];
    EXPECT_GT(counts.size(), 250u) << "a long tail of rarer surnames";
    EXPECT_GT(top10, entries.size() * 15 / 100) << "the ten commonest surnames cover a large share";
    EXPECT_GT(sorted[0], 10 * sorted[sorted.size() / 2]) << "the commonest is far more common than the median";
    for (const char *common : {"Иванов", "Смирнов", "Кузнецов", "Петров"})
        EXPECT_GT(counts[Cp1251FromUtf8(common)], entries.size() / 50) << common;
}

// ------------------------------------------------------------------ the program and the bundled sample

TEST(dirgen_program, regenerates_the_bundled_sample)
{
    int status = -1;
    std::string output = RunCommand(std::string("'") + DIRGEN_PATH + "' source 3000 1251", &status);
    std::string sample = ReadFile(SAMPLE_LISTING_PATH);
    EXPECT_EQ(status, 0);
    ASSERT_EQ(sample.size(), output.size());
    EXPECT_TRUE(sample == output) << "samples/listing.txt differs from: dirgen source 3000 1251";
    EXPECT_TRUE(sample == Generate(OUTPUT_SOURCE, kSampleCount, kSampleSeed));
    EXPECT_EQ(Lines(sample).size(), kSampleCount);
}

TEST(dirgen_program, writes_what_the_generator_draws)
{
    int status = -1;
    EXPECT_EQ(RunCommand(std::string("'") + DIRGEN_PATH + "' database 20000 77", &status),
              Generate(OUTPUT_DATABASE, 20000, 77));
    EXPECT_EQ(status, 0);
    EXPECT_EQ(RunCommand(std::string("'") + DIRGEN_PATH + "' source 40", &status),
              Generate(OUTPUT_SOURCE, 40, 1)) << "the seed is 1 when none is given";
    EXPECT_EQ(status, 0);
}

TEST(dirgen_program, rejects_a_bad_command_line)
{
    static const char *const kArguments[] = {
        "", "source", "listing 10", "source ten", "source -1", "source 10 x", "source 10 1 2", "database 10x",
    };
    for (const char *arguments : kArguments) {
        int status = -1;
        std::string output = RunCommand(std::string("'") + DIRGEN_PATH + "' " + arguments + " 2>/dev/null", &status);
        EXPECT_EQ(status, 2) << arguments;
        EXPECT_EQ(output, "") << arguments;
    }
}
