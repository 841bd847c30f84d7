// A database file that is written to while the library reads it, as two halves on two threads: the
// open gives the records of the file as it was, or refuses it with nothing open, never records of two
// versions. On Windows nothing may write to the file during the open; what the share mode cannot
// keep out (here, a new time of last writing) refuses it there too.
#include <gtest/gtest.h>

#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include "library_switches.h"
#include "library_test_support.h"

namespace {

enum Change { CUT_TO_A_THIRD, GROWN, REWRITTEN_IN_PLACE };

const int kRecords = 100000;   // about 5.5 MB: read as two halves at once

std::string g_path;            // the file the hook changes
Change      g_change;
int         g_calls;           // chunks read by the first half so far
bool        g_writer_let_in;   // a writer could open the file during the open

std::string Directory()
{
    std::string file;
    for (int i = 0; i < kRecords; i++)
        file += std::to_string(2000000 + i) + Cp1251FromUtf8(";Петрова;Мария;Ивановна;Садовое кольцо;12А;42;") +
                std::to_string(i % 300) + "\r\n";
    return file;
}

const char kMoreLines[] = "7777777;Новая;Строка;Дописанная;Улица;1;2;3\r\n";

#ifdef _WIN32
// Tries to write to the file as another program would; the share mode of the open should refuse it.
void WriteMeanwhile()
{
    std::basic_string<DirectoryPathChar> path = LibraryPath(g_path);
    DWORD access = g_change == REWRITTEN_IN_PLACE ? FILE_WRITE_ATTRIBUTES : GENERIC_WRITE;
    HANDLE h = CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                           OPEN_EXISTING, 0, NULL);
    if (h == INVALID_HANDLE_VALUE)
        return;
    g_writer_let_in = true;   // a change of the time alone is never kept out
    LARGE_INTEGER size, at;
    GetFileSizeEx(h, &size);
    DWORD written;
    if (g_change == CUT_TO_A_THIRD) {
        at.QuadPart = size.QuadPart / 3;
        SetFilePointerEx(h, at, NULL, FILE_BEGIN);
        SetEndOfFile(h);
    } else if (g_change == GROWN) {
        at.QuadPart = 0;
        SetFilePointerEx(h, at, NULL, FILE_END);
        WriteFile(h, kMoreLines, sizeof kMoreLines - 1, &written, NULL);
    } else {
        FILETIME when = {0, 0x01C00000};   // long ago
        SetFileTime(h, NULL, NULL, &when);
    }
    CloseHandle(h);
}
#else
// Writes to the file as another program would; nothing keeps it out. A rewrite in place sets the
// time of last writing too, so that it shows even where the clock moved less than the timestamps count.
void WriteMeanwhile()
{
    g_writer_let_in = true;
    struct stat st;
    ASSERT_EQ(stat(g_path.c_str(), &st), 0);
    if (g_change == CUT_TO_A_THIRD) {
        ASSERT_EQ(truncate(g_path.c_str(), st.st_size / 3), 0);
        return;
    }
    int fd = open(g_path.c_str(), O_WRONLY | (g_change == GROWN ? O_APPEND : 0));
    ASSERT_GE(fd, 0);
    if (g_change == GROWN) {
        EXPECT_EQ(write(fd, kMoreLines, sizeof kMoreLines - 1), (ssize_t)(sizeof kMoreLines - 1));
    } else {
        EXPECT_EQ(pwrite(fd, "9", 1, st.st_size / 2 + 1), 1);
        const struct timespec times[2] = {{0, UTIME_OMIT}, {1000000000, 0}};
        EXPECT_EQ(futimens(fd, times), 0);
    }
    close(fd);
}
#endif

// Called after each chunk an open reads: the file is written to once, when the first half has read
// its first chunk (the second half has read some of its own by then, or not: either way is tested).
void AfterRead(int part, uint64_t)
{
    if (part == 0 && g_calls++ == 0)
        WriteMeanwhile();
}

struct Meanwhile {
    const char *what;
    Change      change;
};

TEST(file_changes, a_file_written_to_during_the_open_is_read_whole_or_refused)
{
    const Meanwhile cases[] = {
        {"cut to a third", CUT_TO_A_THIRD},
        {"grown by a line", GROWN},
        {"rewritten in place", REWRITTEN_IN_PLACE},
    };
    for (const Meanwhile &c : cases) {
        g_path = WriteScratchFile("directory.txt", Directory());
        g_change = c.change;
        g_calls = 0;
        g_writer_let_in = false;
        g_switches.after_read = AfterRead;
        int count = -1;
        int opened = OpenDatabase(LibraryPath(g_path).c_str(), &count);
        g_switches.after_read = nullptr;
        ASSERT_GT(g_calls, 0) << c.what;
        if (g_writer_let_in) {
            EXPECT_EQ(opened, 0) << c.what << ": records of a file that changed while it was read";
            EXPECT_TRUE(SearchRows(SearchInDatabase, DirectoryRecord{}).empty())
                << c.what << ": a refused file left records open";
        } else {
            ASSERT_NE(opened, 0) << c.what << ": the writer was kept out, yet the open failed";
            EXPECT_EQ(count, kRecords) << c.what;
        }
#ifdef _WIN32
        EXPECT_EQ(g_writer_let_in, c.change == REWRITTEN_IN_PLACE) << c.what << ": the share mode";
#endif
        // The library holds no handle afterwards: the file can be written again, and opens again.
        ASSERT_EQ(OpenScratchDatabase("directory.txt", Directory()), kRecords) << c.what << ", then";
    }
    CloseDatabase();
}

} // namespace
