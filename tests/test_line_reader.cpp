// Tests of ReadSourceLine: the reads and positions of a listing are those of Windows text mode,
// wherever the end of a read-ahead block falls in a line.
#include "console.h"
#include "converter.h"
#include "text_mode_reads.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace {

// The C runtime's position in text mode is its own reckoning (it misjudges LF-only lines), so on
// Windows only the reads are compared. Its text mode (Wine's, at least) also reads past a Ctrl-Z
// that is the last byte of its buffer, where ours stops: a known difference, left as it is, so on
// Windows the Ctrl-Z tail is not swept over the buffer's end.
#ifdef _WIN32
const bool kWindowsTextMode = true;
#else
const bool kWindowsTextMode = false;
#endif

typedef TextModeRead Read;

// Every read ReadSourceLine hands out of the file at path, with the position after each.
std::vector<Read> ReaderReads(const std::string &path)
{
    std::unique_ptr<InputFile> file(new InputFile());
    std::vector<Read> reads;
    if (!OpenInputFile(file.get(), path.c_str()))
        return reads;
    char line[LINE_BUFFER_SIZE];
    long length;
    while ((length = ReadSourceLine(file.get(), line, sizeof line)) > 0)
        reads.push_back(Read(std::string(line, (size_t)length), InputPosition(file.get())));
    CloseInputFile(file.get());
    return reads;
}

struct Tail {
    const char *name;
    std::string bytes;   // what follows the filler; the block's end falls at each of its first bytes
    bool windows_differs;   // Windows' text mode reads it otherwise at its buffer's end
};

// Lines whose LF, CR LF, lone CR, Ctrl-Z or overlong run meet the end of the first read-ahead block.
const Tail kTails[] = {
    {"crlf_lines", "1;2;3;w S;N;St\r\n4;5;6;w T;M;Sq\r\n7;8;9;w U;K L;Sz;x\r\n", false},
    {"lf_lines", "1;2;3;w S;N;St\n4;5;6;w T;M;Sq\n7;8;9;w U;K L;Sz;x\n", false},
    {"lone_crs", "1;2\r3;w S;N;St\r\r\n4;5;6;w T;M;Sq\r\n\r", false},
    {"ctrl_z", "1;2;3;w S;N;St\r\n4;5;6;w T\x1a;M;Sq\r\n", true},
    {"line_longer_than_a_read", "1;2;3;w S;N;" + std::string(2100, 's') + "\r\n4;5;6;w T;M;Sq\r\n", false},
    {"no_final_line_end", "1;2;3;w S;N;St\r\n4;5;6;w T;M;Sq", false},
};

TEST(read_source_line, reads_are_text_modes_wherever_the_block_ends)
{
    const std::string path = "test_line_reader_listing.txt";
    for (const Tail &tail : kTails) {
        if (kWindowsTextMode && tail.windows_differs)
            continue;
        for (size_t place = 0; place < 40; place++) {
            SCOPED_TRACE(std::string(tail.name) + ", block end at byte " + std::to_string(place));
            // A first line of filler puts the tail's byte place at the first block's end.
            std::string source = std::string(INPUT_BUFFER_SIZE - place - 1, 'x') + "\n" + tail.bytes;
            std::ofstream(path, std::ios::binary | std::ios::trunc) << source;
            std::vector<Read> expected = TextModeReads(source, LINE_BUFFER_SIZE);
            std::vector<Read> got = ReaderReads(path);
            ASSERT_EQ(got.size(), expected.size());
            for (size_t i = 0; i < got.size(); i++) {
                ASSERT_EQ(got[i].first, expected[i].first) << "read " << i;
                if (!kWindowsTextMode) {
                    ASSERT_EQ(got[i].second, expected[i].second) << "read " << i;
                }
            }
        }
    }
    std::remove(path.c_str());
}

// InputPassed answers as the position itself would, whether or not it asks the system, with marks
// that move on as the percentage's do: by a step, each time one is passed. CR LF lines only, where the
// C runtime's own reckoning of a text-mode position is exact.
TEST(read_source_line, passed_marks_agree_with_the_position)
{
    const std::string path = "test_line_reader_marks.txt";
    std::string source;
    for (int i = 0; i < 3000; i++)
        source += std::to_string(i) + std::string((size_t)(i * 7 % 90), 'a') + "\r\n";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << source;
    std::vector<Read> expected = TextModeReads(source, LINE_BUFFER_SIZE);
    for (long long step : {1LL, 7LL, 64LL, 1000LL, 20000LL}) {
        SCOPED_TRACE("step " + std::to_string(step));
        std::unique_ptr<InputFile> file(new InputFile());
        ASSERT_TRUE(OpenInputFile(file.get(), path.c_str()));
        char line[LINE_BUFFER_SIZE];
        long long mark = 0;
        for (size_t i = 0; i < expected.size(); i++) {
            ASSERT_GT(ReadSourceLine(file.get(), line, sizeof line), 0);
            bool passed = InputPassed(file.get(), mark) != 0;
            ASSERT_EQ(passed, expected[i].second > mark) << "read " << i << ", mark " << mark;
            mark += passed ? step : 0;
        }
        CloseInputFile(file.get());
    }
    std::remove(path.c_str());
}

}  // namespace
