// Tests of the morwen program as a whole: it is run on files and its output, files and status checked.
#include "program_runner.h"
#include "record_helpers.h"
#include "text_helpers.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kGotError = "Got error: EXCEPTION_ACCESS_VIOLATION";
const std::string kGoodLine = "1;2;3;w S;N P;St\n";
const std::string kGoodRecord = "1;S;N;P;St;2;42;3\r\n";

void WriteFile(const std::string &path, const std::string &bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

std::string ReadFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Exists(const std::string &path)
{
    return std::ifstream(path, std::ios::binary).good();
}

std::string Repeat(const std::string &text, size_t times)
{
    std::string out;
    for (size_t i = 0; i < times; i++)
        out += text;
    return out;
}

// The most text a field holds, and what the converter keeps of text for that field.
size_t Longest(RecordField field) { return kFieldSpecs[field].longest; }
std::string Cut(RecordField field, const std::string &text) { return text.substr(0, Longest(field)); }

// Standard output text of console lines, each ended as the console's text mode ends it.
std::string Lines(const std::vector<std::string> &lines)
{
    std::string out;
    for (const std::string &line : lines)
        out += line + kConsoleNewline;
    return out;
}

// The percentages from first to last, each after a cleared console.
std::string Progress(int first, int last)
{
    std::string out;
    for (int percent = first; percent <= last; percent++)
        out += kClearMark + std::to_string(percent) + "%" + kConsoleNewline;
    return out;
}

// Converts source (bytes) from a fresh input file into a fresh output file; the result and the output.
struct Conversion {
    ProgramResult run;
    std::string stdout_text;   // standard output as ConsoleText makes it comparable
    std::string database;      // the output file's bytes
};

Conversion Convert(const std::string &name, const std::string &source, const RunOptions &options = RunOptions())
{
    const std::string input = name + ".in.txt", output = name + ".out.txt";
    WriteFile(input, source);
    std::remove(output.c_str());
    Conversion c;
    c.run = RunMorwen({input, output}, options);
    c.stdout_text = ConsoleText(c.run.out);
    c.database = ReadFile(output);
    return c;
}

// One line on standard error, naming what it must name.
void ExpectOneErrorLine(const ProgramResult &run, const std::vector<std::string> &mentions)
{
    EXPECT_EQ(run.err.find(kConsoleNewline), run.err.size() - std::string(kConsoleNewline).size()) << run.err;
    for (const std::string &text : mentions)
        EXPECT_NE(run.err.find(text), std::string::npos) << "'" << text << "' in: " << run.err;
}

TEST(morwen_program, usage_for_wrong_argument_counts)
{
    const std::vector<std::vector<std::string>> argument_lists = {{}, {"a.txt"}, {"a.txt", "b.txt", "c.txt"}};
    for (const std::vector<std::string> &args : argument_lists) {
        ProgramResult run = RunMorwen(args);
        EXPECT_EQ(run.status, 1) << args.size() << " arguments";
        EXPECT_EQ(run.err, Lines({"Usage:", "\tmorwen INPUTFILE OUTPUTFILE"}));
        EXPECT_EQ(run.out, "");
    }
}

TEST(morwen_program, input_that_cannot_be_opened_leaves_output_untouched)
{
    WriteFile("mw_kept.txt", "kept\n");
    std::remove("mw_missing.txt");
    ProgramResult run = RunMorwen({"mw_missing.txt", "mw_kept.txt"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    ExpectOneErrorLine(run, {"mw_missing.txt"});
    EXPECT_EQ(ReadFile("mw_kept.txt"), "kept\n");
}

TEST(morwen_program, output_that_cannot_be_opened)
{
    WriteFile("mw_source.txt", kGoodLine);
    ProgramResult run = RunMorwen({"mw_source.txt", "mw_no_such_folder/out.txt"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.out, "");
    ExpectOneErrorLine(run, {"mw_no_such_folder/out.txt"});
    EXPECT_EQ(ReadFile("mw_source.txt"), kGoodLine);
}

TEST(morwen_program, same_file_as_input_and_output_is_left_as_it_was)
{
    WriteFile("mw_same.txt", kGoodLine);
    ASSERT_TRUE(MakeHardLink("mw_same.txt", "mw_same_hard.txt"));
    std::vector<std::string> outputs = {"mw_same.txt", "./mw_same.txt", "mw_same_hard.txt"};
    if (MakeSymbolicLink("mw_same.txt", "mw_same_soft.txt"))
        outputs.push_back("mw_same_soft.txt");
    for (const std::string &output : outputs) {
        ProgramResult run = RunMorwen({"mw_same.txt", output});
        EXPECT_EQ(run.status, 2) << output;
        EXPECT_EQ(run.out, "") << output;
        ExpectOneErrorLine(run, {"same file"});
        EXPECT_EQ(ReadFile("mw_same.txt"), kGoodLine) << output;
    }
}

TEST(morwen_program, same_device_as_input_and_output_is_left_as_it_was)
{
    const std::string image = Repeat(kGoodLine, 4096);   // 136 whole sectors
    WriteFile("mw_loop.img", image);
    const std::string device = AttachLoopDevice("mw_loop.img");
    if (device.empty())
        GTEST_SKIP() << "giving one device as both files needs root, losetup and a free loop device";
    std::vector<std::string> outputs = {device};
    if (MakeSymbolicLink(device, "mw_loop_link"))
        outputs.push_back("mw_loop_link");
    if (MakeDeviceNode(device, "mw_loop_node"))
        outputs.push_back("mw_loop_node");
    for (const std::string &output : outputs) {
        ProgramResult run = RunMorwen({device, output});
        EXPECT_EQ(run.status, 2) << output;
        ExpectOneErrorLine(run, {"same file"});
    }
    DetachLoopDevice(device);
    EXPECT_TRUE(ReadFile("mw_loop.img") == image) << "the device was written";
}

// Devices, pipes and files that say they are empty while they are not give no size for the
// percentage; the output is not even opened.
TEST(morwen_program, input_without_a_size_to_measure_is_refused)
{
    struct Case {
        std::string input, reason;
    };
    std::vector<Case> cases;
    for (const std::string &input : NonDiskInputs("mw_fifo"))
        cases.push_back({input, "not a regular file"});
    if (const char *file = ZeroSizedFileWithBytes())
        cases.push_back({file, "reads as 0 bytes"});
    for (const Case &c : cases) {
        WriteFile("mw_unmeasured.txt", "kept\n");
        ProgramResult run = RunMorwen({c.input, "mw_unmeasured.txt"});
        EXPECT_EQ(run.status, 2) << c.input;
        EXPECT_EQ(run.out, "") << c.input;
        ExpectOneErrorLine(run, {"cannot tell the size", c.input, c.reason});
        EXPECT_EQ(ReadFile("mw_unmeasured.txt"), "kept\n") << c.input;
    }
}

// The input is cut while the program converts it, behind its reads and ahead of them in a line.
// Lines of 64 bytes make every 64 KB read end on a line end, so nothing but the size shows the cut.
TEST(morwen_program, input_that_shrinks_while_it_is_read)
{
    const std::string line = "1;2;3;w S;N P;St;" + std::string(46, 'x') + "\n";
    ASSERT_EQ(line.size(), 64u);
    struct Case {
        long long cut_to;
        size_t fewest_records, most_records;
    };
    const Case cases[] = {{65536, 1, 65536}, {2 * 1024 * 1024 + 10, 32768, 32768}};
    for (const Case &c : cases) {
        WriteFile("mw_shrink.txt", Repeat(line, 65536));
        ProgramResult run;
        std::string database;
        if (!RunMorwenCuttingInput("mw_shrink.txt", c.cut_to, &run, &database))
            GTEST_SKIP() << "the input cannot be cut while the program runs here";
        EXPECT_EQ(run.status, 2) << c.cut_to;
        EXPECT_EQ(ConsoleText(run.out).find(kGotError), std::string::npos) << c.cut_to;
        ExpectOneErrorLine(run, {"mw_shrink.txt", "changed while it was read"});
        size_t records = database.size() / kGoodRecord.size();
        EXPECT_TRUE(database == Repeat(kGoodRecord, records)) << "not whole records, cut to " << c.cut_to;
        EXPECT_GE(records, c.fewest_records) << c.cut_to;
        EXPECT_LE(records, c.most_records) << c.cut_to;
    }
}

TEST(morwen_program, empty_input_leaves_an_empty_output)
{
    WriteFile("mw_empty.out.txt", "old contents\n");
    WriteFile("mw_empty.in.txt", "");
    ProgramResult run = RunMorwen({"mw_empty.in.txt", "mw_empty.out.txt"});
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.out, Lines({"Input file is empty!"}));
    EXPECT_EQ(run.err, "");
    EXPECT_TRUE(Exists("mw_empty.out.txt"));
    EXPECT_EQ(ReadFile("mw_empty.out.txt"), "");
}

TEST(morwen_program, one_line_shows_zero_percent)
{
    Conversion c = Convert("mw_one", kGoodLine);
    EXPECT_EQ(c.run.status, 0);
    EXPECT_EQ(c.stdout_text, Progress(0, 0));
    EXPECT_EQ(c.run.err, "");
    EXPECT_EQ(c.database, kGoodRecord);
}

TEST(morwen_program, ten_lines_of_thirty_bytes_show_zero_to_nine)
{
    std::string line = "1234567;12;34;w Sur;Nm Pt;St\r\n";
    ASSERT_EQ(line.size(), 30u);
    Conversion c = Convert("mw_ten", Repeat(line, 10));
    EXPECT_EQ(c.run.status, 0);
    EXPECT_EQ(c.stdout_text, Progress(0, 9));
    EXPECT_EQ(c.database, Repeat("1234567;Sur;Nm;Pt;St;12;42;34\r\n", 10));
}

TEST(morwen_program, percentage_stops_at_one_hundred)
{
    std::string line = ";;; ;;\r\n";   // 112 lines of 8 bytes: step 8, one percentage a line
    Conversion c = Convert("mw_many", Repeat(line, 112));
    EXPECT_EQ(c.run.status, 0);
    EXPECT_EQ(c.stdout_text, Progress(0, 100));
    EXPECT_EQ(c.database, Repeat(";;;;;;42;\r\n", 112));
}

TEST(morwen_program, bad_line_after_good_ones_stops_the_run)
{
    Conversion c = Convert("mw_bad", kGoodLine + kGoodLine + "1;2;3\n" + kGoodLine);
    EXPECT_EQ(c.run.status, 2);
    EXPECT_EQ(c.stdout_text, Progress(0, 1) + Lines({kGotError}));
    ExpectOneErrorLine(c.run, {"mw_bad.in.txt", "line 3", "no space after the word before the surname"});
    EXPECT_EQ(c.database, kGoodRecord + kGoodRecord);
}

TEST(morwen_program, blank_line_stops_the_run)
{
    Conversion c = Convert("mw_blank", kGoodLine + "\r\n" + kGoodLine);
    EXPECT_EQ(c.run.status, 2);
    EXPECT_EQ(c.stdout_text, Progress(0, 0) + Lines({kGotError}));
    ExpectOneErrorLine(c.run, {"line 2", "blank line"});
    EXPECT_EQ(c.database, kGoodRecord);
}

TEST(morwen_program, nul_byte_ends_what_the_parser_sees)
{
    Conversion good = Convert("mw_nul", std::string("1;2;3;w S;N P;St;\0junk\n", 23) + kGoodLine);
    EXPECT_EQ(good.run.status, 0);
    EXPECT_EQ(good.database, kGoodRecord + kGoodRecord);
    Conversion bad = Convert("mw_nul_bad", kGoodLine + std::string("1;2;3;w S\0;N P;St\n", 18));
    EXPECT_EQ(bad.run.status, 2);
    ExpectOneErrorLine(bad.run, {"line 2", "NUL"});
    EXPECT_EQ(bad.database, kGoodRecord);
}

TEST(morwen_program, line_longer_than_one_read)
{
    // 2046 bytes and CR LF read as 2047: one line.
    std::string longest = "1;2;3;w S;N P;St;" + std::string(2046 - 17, 'x') + "\r\n";
    Conversion fits = Convert("mw_fits", longest + kGoodLine);
    EXPECT_EQ(fits.run.status, 0) << fits.run.err;
    EXPECT_EQ(fits.database, kGoodRecord + kGoodRecord);
    // Longer: the rest past 2047 bytes is read as a line of its own, which breaks the grammar.
    Conversion split = Convert("mw_long", "1;2;3;w S;N P;St;" + std::string(3000, 'x') + "\n" + kGoodLine);
    EXPECT_EQ(split.run.status, 2);
    EXPECT_EQ(split.stdout_text, Progress(0, 0) + Lines({kGotError}));
    ExpectOneErrorLine(split.run, {"line 1", "longer than 2047 bytes"});
    EXPECT_EQ(split.database, kGoodRecord);
}

TEST(morwen_program, crlf_input_gives_what_lf_input_gives)
{
    std::vector<std::string> lines = {Cp1251FromUtf8("212;12;34;1 Петров;Иван Сергеевич;Садовая;5"), ";;; ;;",
                                      "1;2;3;abc;def ghi;jkl;mno"};
    std::string lf, crlf;
    for (const std::string &line : lines) {
        lf += line + "\n";
        crlf += line + "\r\n";
    }
    Conversion a = Convert("mw_lf", lf), b = Convert("mw_crlf", crlf);
    EXPECT_EQ(a.run.status, 0);
    EXPECT_EQ(b.run.status, 0);
    EXPECT_EQ(a.database, b.database);
    EXPECT_EQ(b.database,
              Cp1251FromUtf8("212;Петров;Иван;Сергеевич;Садовая;12;42;34\r\n;;;;;;42;\r\n1;ghi;jkl;;mno;2;42;3\r\n"));
}

TEST(morwen_program, lone_cr_stays_and_ctrl_z_ends_the_input)
{
    Conversion c = Convert("mw_ctrl", "1;2;3;w S;N P;St\rX;\r\r\n" + kGoodLine + "\x1a" + "1;2\n");
    EXPECT_EQ(c.run.status, 0) << c.run.err;
    EXPECT_EQ(c.database, "1;S;N;P;St\rX;2;42;3\r\n" + kGoodRecord);
}

TEST(morwen_program, last_line_without_newline)
{
    Conversion broken = Convert("mw_nonl", kGoodLine + "1;2;3;w S;N P;St");
    EXPECT_EQ(broken.run.status, 2);
    ExpectOneErrorLine(broken.run, {"line 2", "no ';' or line end after the street"});
    EXPECT_EQ(broken.database, kGoodRecord);
    Conversion closed = Convert("mw_nonl_sep", kGoodLine + "1;2;3;w S;N P;St;");
    EXPECT_EQ(closed.run.status, 0);
    EXPECT_EQ(closed.database, kGoodRecord + kGoodRecord);
}

TEST(morwen_program, database_bytes_exactly)
{
    const std::string digits = "123456789012", surname = Repeat("s", Longest(FIELD_SURNAME) + 2),
                      name = Repeat("n", Longest(FIELD_NAME) + 1),
                      patronymic = Repeat("p", Longest(FIELD_PATRONYMIC) + 1),
                      street = Repeat("t", Longest(FIELD_STREET) + 1);
    std::string source = Cp1251FromUtf8("212;12;34;1 Петров;Иван Сергеевич;Садовая;5\n") + ";;; ;;\n" + digits + ";" +
                         digits + ";" + digits + ";w " + surname + ";" + name + " " + patronymic + ";" + street + "\n";
    Conversion c = Convert("mw_exact", source);
    EXPECT_EQ(c.run.status, 0);
    EXPECT_EQ(c.database, Cp1251FromUtf8("212;Петров;Иван;Сергеевич;Садовая;12;42;34\r\n") + ";;;;;;42;\r\n" +
                              JoinFields({Cut(FIELD_PHONE, digits), Cut(FIELD_SURNAME, surname), Cut(FIELD_NAME, name),
                                          Cut(FIELD_PATRONYMIC, patronymic), Cut(FIELD_STREET, street),
                                          Cut(FIELD_HOUSE, digits), "42", Cut(FIELD_FLAT, digits)}) +
                              "\r\n");
}

// One generated source line: its fields as the listing holds them, before any cut.
struct SourceEntry {
    std::string phone, house, flat, word, surname, name_part, street, rest;
};

// Random text of 0 to longest bytes, none of them a delimiter or a control byte: digits, Latin
// and Windows-1251 letters, and spaces where allowed.
std::string RandomText(std::mt19937 &random, size_t longest, bool spaces)
{
    static const char kBytes[] = "0123456789AZaz-.,\xc0\xc1\xdf\xe0\xe6\xff\xa8\xb8\x80\xbb\x7f";
    std::string text;
    size_t length = random() % (longest + 1);
    for (size_t i = 0; i < length; i++)
        text += (spaces && random() % 5 == 0) ? ' ' : kBytes[random() % (sizeof kBytes - 1)];
    return text;
}

// The database line a source entry gives, each field cut to its longest text, built the plain way.
std::string ReferenceRecord(const SourceEntry &e)
{
    std::string first = e.name_part.substr(0, e.name_part.find(' ')), patronymic;
    if (e.name_part.find(' ') != std::string::npos) {
        std::string after = e.name_part.substr(e.name_part.find(' ') + 1);
        patronymic = after.substr(0, after.find(' '));
    }
    return JoinFields({Cut(FIELD_PHONE, e.phone), Cut(FIELD_SURNAME, e.surname), Cut(FIELD_NAME, first),
                       Cut(FIELD_PATRONYMIC, patronymic), Cut(FIELD_STREET, e.street), Cut(FIELD_HOUSE, e.house), "42",
                       Cut(FIELD_FLAT, e.flat)}) +
           "\r\n";
}

// A listing of a few thousand lines, each field from empty to past its longest text, LF and CR LF
// line ends mixed, reads crossing the input buffer's end at many places: every line as the
// plain conversion gives it.
TEST(morwen_program, generated_listing_matches_a_plain_conversion)
{
    std::mt19937 random(1251);
    std::string source, expected;
    for (int i = 0; i < 3000; i++) {
        SourceEntry e;
        e.phone = RandomText(random, Longest(FIELD_PHONE) + 3, false);
        e.house = RandomText(random, Longest(FIELD_HOUSE) + 2, false);
        e.flat = RandomText(random, Longest(FIELD_FLAT) + 2, false);
        e.word = RandomText(random, 4, false);
        e.surname = RandomText(random, Longest(FIELD_SURNAME) + 5, i % 7 == 0);
        e.name_part = RandomText(random, Longest(FIELD_NAME) + Longest(FIELD_PATRONYMIC) + 12, true);
        e.street = RandomText(random, Longest(FIELD_STREET) + 5, true);
        e.rest = random() % 4 == 0 ? ";" + RandomText(random, 8, true) : "";
        source += e.phone + ";" + e.house + ";" + e.flat + ";" + e.word + " " + e.surname + ";" + e.name_part + ";" +
                  e.street + e.rest + (random() % 2 == 0 ? "\n" : "\r\n");
        expected += ReferenceRecord(e);
    }
    Conversion c = Convert("mw_generated", source);
    EXPECT_EQ(c.run.status, 0) << c.run.err;
    ASSERT_EQ(c.database.size(), expected.size());
    EXPECT_TRUE(c.database == expected) << "the database differs from the plain conversion";
}

// A file opened while standard input and error are closed must not take their place.
TEST(morwen_program, closed_standard_streams_leave_the_database_alone)
{
    if (const char *why = WhyStreamsCannotBeClosed())
        GTEST_SKIP() << why;
    RunOptions closed;
    closed.closed_input_and_error = true;
    Conversion c = Convert("mw_closed", kGoodLine + "1;2;3\n", closed);
    EXPECT_EQ(c.run.status, 2);
    EXPECT_EQ(c.database, kGoodRecord);
}

TEST(morwen_program, write_past_the_file_size_limit_is_a_write_error)
{
    if (!CanLimitFileSize())
        GTEST_SKIP() << "no limit on the size of the files a program writes here";
    RunOptions limited;
    limited.file_size_limit = 16384;
    Conversion c = Convert("mw_limit", Repeat(kGoodLine, 2000), limited);
    EXPECT_EQ(c.run.status, 2);
    ExpectOneErrorLine(c.run, {"cannot write output file", "mw_limit.out.txt", std::strerror(EFBIG)});
    EXPECT_LE(c.database.size(), 16384u);
}

TEST(morwen_program, write_error_on_a_full_disk)
{
    const char *full = FullDevicePath();
    if (full == nullptr)
        GTEST_SKIP() << "no device that is always full here";
    WriteFile("mw_full.in.txt", Repeat(kGoodLine, 3));
    ProgramResult run = RunMorwen({"mw_full.in.txt", full});
    EXPECT_EQ(run.status, 2);
    ExpectOneErrorLine(run, {full});
}

}  // namespace
