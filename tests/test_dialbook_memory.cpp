// What the open does when memory is short: a file that a sample shows the memory left cannot hold
// is refused before it is read, and memory running out midway refuses the file just as cleanly. A
// refusal leaves nothing open, and the next open works.
#include <gtest/gtest.h>

#include <string>

#include "library_switches.h"
#include "library_test_support.h"

namespace {

// A database of records lines of about 55 bytes.
std::string Directory(int records)
{
    std::string file;
    for (int i = 0; i < records; i++)
        file += std::to_string(2000000 + i) + Cp1251FromUtf8(";Петрова;Мария;Ивановна;Садовое кольцо;12А;42;") +
                std::to_string(i % 300) + "\r\n";
    return file;
}

struct Shortage {
    const char *what;
    int         records;       // of the file opened
    uint64_t    memory_left;   // 0: the system's figure
    bool        budget_set;
    uint64_t    budget;        // bytes of blocks the open may take
    bool        opens;
};

TEST(memory_limits, refuse_cleanly_what_does_not_fit)
{
    const Shortage shortages[] = {
        {"plenty", 20000, 0, false, 0, true},
        {"memory left below what the sample shows", 20000, 1000000, false, 0, false},
        {"memory left above it", 20000, 3000000, false, 0, true},
        {"no block at all", 20000, 0, true, 0, false},
        {"memory out after some segments", 20000, 0, true, 400000, false},
        {"memory out in one half of a large file", 100000, 0, true, 4000000, false},
        {"a budget that holds", 20000, 0, true, 100000000, true},
    };
    for (const Shortage &s : shortages) {
        ASSERT_EQ(OpenScratchDatabase("small.txt", "1;a\r\n2;b\r\n"), 2);
        g_switches.memory_left = s.memory_left;
        g_switches.budget_set = s.budget_set;
        g_switches.block_budget = s.budget;
        int count = OpenScratchDatabase("directory.txt", Directory(s.records));
        g_switches.memory_left = 0;
        g_switches.budget_set = 0;
        EXPECT_EQ(count, s.opens ? s.records : -1) << s.what;
        if (!s.opens) {
            EXPECT_TRUE(SearchRows(SearchInDatabase, DirectoryRecord{}).empty())
                << s.what << ": a refused file left records open";
        }
        EXPECT_EQ(OpenScratchDatabase("directory.txt", Directory(s.records)), s.records) << s.what << ", then";
    }
    CloseDatabase();
}

} // namespace
