// Tests of ParseSourceLine: what each source line gives, field by field, and which lines break the grammar.
#include "converter.h"
#include "record_helpers.h"
#include "text_helpers.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

struct Parsed {
    int scan;             // LINE_WELL_FORMED or the failed scan
    std::string fields;   // the eight fields in record order joined by FIELD_SEPARATOR, as a database line holds them
};

// Parses line (its bytes, NULs included) from a buffer of the program's size, and checks that the
// line is whole again and nothing is left pending.
Parsed Parse(const std::string &line)
{
    std::vector<char> buffer(LINE_BUFFER_SIZE, 'X');
    std::memcpy(buffer.data(), line.data(), line.size());
    buffer[line.size()] = '\0';
    std::vector<char> before = buffer;
    SourceFields fields;
    std::memset(&fields, 0x55, sizeof fields);
    Parsed parsed;
    parsed.scan = ParseSourceLine(buffer.data(), &fields);
    EXPECT_EQ(buffer, before) << "the line is whole again";
    EXPECT_EQ(g_tokenizer.cut_pending, 0) << "nothing passes to the next line";
    if (parsed.scan == LINE_WELL_FORMED)
        parsed.fields = JoinFields(RecordFieldBytes(fields));
    return parsed;
}

std::string Repeat(const std::string &text, size_t times)
{
    std::string out;
    for (size_t i = 0; i < times; i++)
        out += text;
    return out;
}

// The most text a field holds.
size_t Longest(RecordField field) { return kFieldSpecs[field].longest; }

// Text of length bytes from chars over and over, so that a cut that kept any bytes but the first would show.
std::string Counting(size_t length, const std::string &chars = "1234567890")
{
    std::string text;
    while (text.size() < length)
        text += chars[text.size() % chars.size()];
    return text;
}

// A source line whose every field is its longest text, or beyond bytes longer: the surname, first name
// and street of digits, the patronymic of letters.
std::string LongestSourceLine(size_t beyond)
{
    return Counting(Longest(FIELD_PHONE) + beyond) + ";" + Counting(Longest(FIELD_HOUSE) + beyond) + ";" +
           Counting(Longest(FIELD_FLAT) + beyond) + ";w " + Counting(Longest(FIELD_SURNAME) + beyond) + ";" +
           Counting(Longest(FIELD_NAME) + beyond) + " " + Counting(Longest(FIELD_PATRONYMIC) + beyond, "abcdefghij") +
           ";" + Counting(Longest(FIELD_STREET) + beyond) + "\n";
}

// The database fields LongestSourceLine gives, each its longest text.
std::string LongestFields()
{
    return JoinFields({Counting(Longest(FIELD_PHONE)), Counting(Longest(FIELD_SURNAME)), Counting(Longest(FIELD_NAME)),
                       Counting(Longest(FIELD_PATRONYMIC), "abcdefghij"), Counting(Longest(FIELD_STREET)),
                       Counting(Longest(FIELD_HOUSE)), "42", Counting(Longest(FIELD_FLAT))});
}

struct LineCase {
    const char *name;
    std::string line;     // UTF-8 here; given to the parser in Windows-1251
    int scan;             // what ParseSourceLine says
    std::string fields;   // UTF-8; empty when the line breaks the grammar
};

// The listing's documented examples, byte for byte ('_' is not used: spaces are written as they are).
const LineCase kDocumentedLines[] = {
    {"full_entry", "212;12;34;1 Петров;Иван Сергеевич;Садовая;5\n", LINE_WELL_FORMED,
     "212;Петров;Иван;Сергеевич;Садовая;12;42;34"},
    {"name_without_patronymic", "1;2;3;w S;Иван;St\n", LINE_WELL_FORMED, "1;S;Иван;;St;2;42;3"},
    {"space_before_name_part", "1;2;3;w S; Иванович;St\n", LINE_WELL_FORMED, "1;S;;Иванович;St;2;42;3"},
    {"two_spaces_in_name_part", "1;2;3;w S;Иван  Иванович;St\n", LINE_WELL_FORMED, "1;S;Иван;;St;2;42;3"},
    {"words_after_patronymic_dropped", "1;2;3;w S;A B C;St\n", LINE_WELL_FORMED, "1;S;A;B;St;2;42;3"},
    {"dropped_word_runs_across_separator", "1;2;3;abc;def ghi;jkl;mno\n", LINE_WELL_FORMED,
     "1;ghi;jkl;;mno;2;42;3"},
    {"surname_keeps_leading_space", "1;2;3;w  S;N;St\n", LINE_WELL_FORMED, "1; S;N;;St;2;42;3"},
    {"three_separators_space_two_separators", ";;; ;;\n", LINE_WELL_FORMED, ";;;;;;42;"},
    {"six_separators", ";;;;;;\n", 5, ""},
    {"only_newline", "\n", 2, ""},
    {"fewer_than_five_separators", "1;2;3;4\n", 5, ""},
    {"no_newline_after_street", "1;2;3;w S;N;St", 7, ""},
    {"separator_after_street_without_newline", "1;2;3;w S;N;St;", LINE_WELL_FORMED, "1;S;N;;St;2;42;3"},
    {"long_phone_and_house", "123456789012;123456;3;w S;N;St\n", LINE_WELL_FORMED,
     "1234567;S;N;;St;1234;42;3"},
};

// Our own: every scan that can fail, truncation at each field's longest text, bytes the scans pass over.
const LineCase kOwnLines[] = {
    {"nothing_at_all", "", 1, ""},
    {"phone_only", "1\n", 2, ""},
    {"house_ends_line", "1;2\n", 3, ""},
    {"flat_ends_line", "1;2;3\n", 4, ""},
    {"word_ends_line", "1;2;3;w\n", 5, ""},
    {"surname_ends_line", "1;2;3;w S\n", 6, ""},
    {"name_part_ends_line", "1;2;3;w S;N\n", 7, ""},
    {"street_ends_at_separator", "1;2;3;w S;N;St;rest ignored;x\n", LINE_WELL_FORMED, "1;S;N;;St;2;42;3"},
    {"carriage_return_is_an_ordinary_byte", "1;2;3;w S;N;St\r\n", LINE_WELL_FORMED, "1;S;N;;St\r;2;42;3"},
    {"tab_is_no_delimiter", "1;2;3;w\tx S;N\tM;St\n", LINE_WELL_FORMED, "1;S;N\tM;;St;2;42;3"},
    {"longest_texts_kept_whole", LongestSourceLine(0), LINE_WELL_FORMED, LongestFields()},
    {"one_byte_more_is_cut", LongestSourceLine(1), LINE_WELL_FORMED, LongestFields()},
    {"cyrillic_cut_at_the_longest_text", "1;2;3;w " + Repeat("Ж", Longest(FIELD_SURNAME) + 3) + ";Ёлка ёжик;Улица\n",
     LINE_WELL_FORMED, "1;" + Repeat("Ж", Longest(FIELD_SURNAME)) + ";Ёлка;ёжик;Улица;2;42;3"},
};

void CheckLines(const LineCase *cases, size_t count)
{
    for (size_t i = 0; i < count; i++) {
        const LineCase &c = cases[i];
        SCOPED_TRACE(c.name);
        Parsed parsed = Parse(Cp1251FromUtf8(c.line));
        EXPECT_EQ(parsed.scan, c.scan);
        EXPECT_EQ(parsed.fields, Cp1251FromUtf8(c.fields));
    }
}

TEST(parse_source_line, documented_examples)
{
    CheckLines(kDocumentedLines, sizeof kDocumentedLines / sizeof kDocumentedLines[0]);
}

TEST(parse_source_line, own_examples)
{
    CheckLines(kOwnLines, sizeof kOwnLines / sizeof kOwnLines[0]);
}

TEST(parse_source_line, nul_byte_ends_the_text)
{
    EXPECT_EQ(Parse(std::string("1;2;3;w S;N;St;\0;more\n", 23)).fields, "1;S;N;;St;2;42;3");
    EXPECT_EQ(Parse(std::string("1;2;3;w S;N;St\0;\n", 18)).scan, 7);
    EXPECT_EQ(Parse(std::string("\0" "1;2;3;w S;N;St\n", 16)).scan, 1);
}

TEST(parse_source_line, bad_line_leaves_nothing_for_the_next)
{
    EXPECT_EQ(Parse("1;2;3;w S;N\n").scan, 7);
    EXPECT_EQ(Parse("4;5;6;w T;M;Sq\n").fields, "4;T;M;;Sq;5;42;6");
    EXPECT_EQ(Parse("1;2;3;w\n").scan, 5);
    EXPECT_EQ(Parse("4;5;6;w T;M K;Sq\n").fields, "4;T;M;K;Sq;5;42;6");
}

TEST(parse_source_line, line_filling_the_buffer)
{
    std::string line = "1;2;3;w S;N;" + std::string(LINE_BUFFER_SIZE - 14, 'x') + "\n";
    ASSERT_EQ(line.size(), (size_t)LINE_BUFFER_SIZE - 1);
    EXPECT_EQ(Parse(line).fields, "1;S;N;;" + std::string(Longest(FIELD_STREET), 'x') + ";2;42;3");
    std::string name_part =
        "1;2;3;w S;" + std::string(2000, 'n') + " " + std::string(Longest(FIELD_PATRONYMIC) + 1, 'p') + ";St\n";
    EXPECT_EQ(Parse(name_part).fields, "1;S;" + std::string(Longest(FIELD_NAME), 'n') + ";" +
                                           std::string(Longest(FIELD_PATRONYMIC), 'p') + ";St;2;42;3");
}

// The two ways of ParseSourceLine on one line: whether the quick split took it, and when it did,
// whether it gave the scans' result and the same bytes in every field, the line left as it was.
struct TwoWays {
    bool quick;   // SplitShortLine split it
    bool agree;   // same result, fields and line as ParseLineInScans (meaningful when quick)
};

TwoWays SplitBothWays(const std::string &line)
{
    std::vector<char> scanned(LINE_BUFFER_SIZE, ';');
    std::memcpy(scanned.data(), line.data(), line.size());
    scanned[line.size()] = '\0';
    std::vector<char> split = scanned;
    SourceFields by_scans, by_split;
    std::memset(&by_scans, 0x55, sizeof by_scans);
    std::memset(&by_split, 0x55, sizeof by_split);
    int quick = SplitShortLine(split.data(), &by_split);
    int scans = ParseLineInScans(scanned.data(), &by_scans);
    TwoWays ways;
    ways.quick = quick != LINE_NOT_SPLIT;
    ways.agree = quick == scans && std::memcmp(&by_split, &by_scans, sizeof by_split) == 0 && split == scanned;
    return ways;
}

TEST(split_short_line, agrees_with_the_scans_on_every_listed_line)
{
    for (const LineCase &c : kDocumentedLines) {
        SCOPED_TRACE(c.name);
        TwoWays ways = SplitBothWays(Cp1251FromUtf8(c.line));
        EXPECT_TRUE(ways.quick);
        EXPECT_TRUE(ways.agree);
    }
    for (const LineCase &c : kOwnLines) {
        SCOPED_TRACE(c.name);
        std::string line = Cp1251FromUtf8(c.line);
        TwoWays ways = SplitBothWays(line);
        EXPECT_EQ(ways.quick, line.size() < LINE_BLOCK_SIZE);
        EXPECT_TRUE(!ways.quick || ways.agree);
    }
}

// "1;2;3;", a dropped word of pad bytes, then tail: the pad puts tail's bytes where the block's
// words and its end fall (byte 6 + pad is tail's first).
std::string Padded(size_t pad, const std::string &tail)
{
    return "1;2;3;" + std::string(pad, 'w') + tail;
}

struct EdgeCase {
    const char *name;
    std::string line;     // bytes as given, NULs included
    bool quick;           // the quick split takes it
    int scan;             // what ParseSourceLine says
    std::string fields;   // empty when the line breaks the grammar
};

const std::string kTail = " S;A B;St\n";   // 16 + pad bytes of text: its newline at 15 + pad
const std::string kTailFields = "1;S;A;B;St;2;42;3";

const EdgeCase kEdgeLines[] = {
    {"text_of_63_bytes", Padded(47, kTail), true, LINE_WELL_FORMED, kTailFields},
    {"text_of_64_bytes", Padded(48, kTail), true, LINE_WELL_FORMED, kTailFields},
    {"text_of_65_bytes", Padded(49, kTail), true, LINE_WELL_FORMED, kTailFields},
    {"newline_last_in_the_block_but_one", Padded(111, kTail), true, LINE_WELL_FORMED, kTailFields},
    {"newline_at_the_block_end", Padded(112, kTail), false, LINE_WELL_FORMED, kTailFields},
    {"newline_past_the_block_end", Padded(113, kTail), false, LINE_WELL_FORMED, kTailFields},
    {"name_space_at_byte_63", Padded(53, kTail), true, LINE_WELL_FORMED, kTailFields},
    {"name_space_at_byte_64", Padded(54, kTail), true, LINE_WELL_FORMED, kTailFields},
    {"name_part_end_at_byte_64", Padded(52, kTail), true, LINE_WELL_FORMED, kTailFields},
    {"two_spaces_across_byte_64", Padded(53, " S;A  B;St\n"), true, LINE_WELL_FORMED, "1;S;A;;St;2;42;3"},
    {"surname_cut_across_byte_64", Padded(40, " " + std::string(40, 's') + ";N;St\n"), true, LINE_WELL_FORMED,
     "1;" + std::string(Longest(FIELD_SURNAME), 's') + ";N;;St;2;42;3"},
    {"nul_before_newline", std::string("1;2;3;w S;N;St\0\n", 16), true, 7, ""},
    {"nul_right_after_newline", std::string("1;2;3;w S;N;St\n\0;x y;\n", 22), true, LINE_WELL_FORMED,
     "1;S;N;;St;2;42;3"},
    {"nul_at_byte_63_before_newline", Padded(49, std::string(" S;N;St\0;\n", 11)), true, 7, ""},
    {"nul_at_byte_64_after_street", Padded(49, std::string(" S;N;St;\0\n", 11)), true, LINE_WELL_FORMED,
     "1;S;N;;St;2;42;3"},
    {"nul_first", std::string("\0;;; ;;\n", 9), true, 1, ""},
    {"newline_inside_the_text", "1;2;3;w\nS;N;St\n", true, LINE_WELL_FORMED, "1;S;N;;St;2;42;3"},
    {"no_end_for_the_phone", "1234567", true, 1, ""},
    {"no_end_for_the_house_past_byte_64", "1;" + std::string(70, '2'), true, 2, ""},
    {"no_end_for_the_flat", "1;2;3", true, 3, ""},
    {"no_space_after_the_word", Padded(60, ";S;N;St;\n"), true, 5, ""},
    {"no_end_for_the_word", Padded(60, ""), true, 4, ""},
    {"no_end_for_the_surname", Padded(60, " S"), true, 5, ""},
    {"no_end_for_the_name_part", Padded(60, " S;A B"), true, 6, ""},
    {"no_end_for_the_street", Padded(60, " S;A B;St"), true, 7, ""},
    {"no_end_for_the_street_in_a_long_line", Padded(130, " S;A B;St"), false, 7, ""},
};

TEST(split_short_line, block_edges_and_missing_ends)
{
    for (const EdgeCase &c : kEdgeLines) {
        SCOPED_TRACE(c.name);
        TwoWays ways = SplitBothWays(c.line);
        EXPECT_EQ(ways.quick, c.quick);
        EXPECT_TRUE(!ways.quick || ways.agree);
        Parsed parsed = Parse(c.line);
        EXPECT_EQ(parsed.scan, c.scan);
        EXPECT_EQ(parsed.fields, c.fields);
    }
}

TEST(parse_source_line, puts_back_a_cut_left_pending_in_its_buffer)
{
    std::vector<char> buffer(LINE_BUFFER_SIZE, '\0');
    const char line[] = "1;2;3;w S;N;St\n";
    std::memcpy(buffer.data(), line, sizeof line);
    char found = '\0';
    NextToken(";", buffer.data(), &found);   // the first ';' is NUL now, until the next scan
    ASSERT_EQ(buffer[1], '\0');
    SourceFields fields;
    EXPECT_EQ(ParseSourceLine(buffer.data(), &fields), LINE_WELL_FORMED);
    EXPECT_STREQ(fields.street, "St");
    EXPECT_EQ(buffer[1], ';');
}

TEST(describe_failed_scan, every_scan_has_its_own_text)
{
    std::vector<std::string> seen;
    for (int scan = 1; scan <= 7; scan++) {
        std::string text = DescribeFailedScan(scan);
        EXPECT_FALSE(text.empty());
        for (const std::string &other : seen)
            EXPECT_NE(text, other) << "scan " << scan;
        seen.push_back(text);
    }
    EXPECT_STRNE(DescribeFailedScan(0), "");
    EXPECT_STRNE(DescribeFailedScan(8), "");
}

}  // namespace
