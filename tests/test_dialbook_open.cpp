// Opening database files: what counts as a record, how fields are cut, and open failures.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "library_test_support.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

struct FileCase {
    const char *what;
    std::string bytes;
    std::vector<std::string> rows;   // every record, fields joined by FIELD_SEPARATOR (UTF-8)
};

std::string Repeat(char c, size_t n) { return std::string(n, c); }

// A field's longest length and beyond bytes more, counting 1234567890 over and over: a cut that kept
// any bytes but the first ones would show.
std::string Counting(RecordField field, size_t beyond)
{
    std::string text;
    while (text.size() < kFieldSpecs[field].longest + beyond)
        text += static_cast<char>('0' + (text.size() + 1) % 10);
    return text;
}

// A string literal's bytes, NULs inside included.
#define BYTES(literal) std::string(literal, sizeof(literal) - 1)

const FileCase kFileCases[] = {
    {"empty file", "", {}},
    {"one line with CR LF", "1;a;b;c;d;1;2;3\r\n", {"1;a;b;c;d;1;2;3"}},
    {"LF only", "1;a\n2;b\n", {"1;a;;;;;;", "2;b;;;;;;"}},
    {"no final newline", "1;a\r\n2;b", {"1;a;;;;;;", "2;b;;;;;;"}},
    {"blank lines are not records", "\r\n1;a\r\n\n  \r\n\t\n2;b\r\n\r\n", {"1;a;;;;;;", "2;b;;;;;;"}},
    {"separators only", ";;;;;;;\r\n", {";;;;;;;"}},
    {"short line", "123;Иванов\r\n", {"123;Иванов;;;;;;"}},
    {"text after the eighth field", "1;2;3;4;5;6;7;8;9;10\r\n", {"1;2;3;4;5;6;7;8"}},
    {"a line of 1000 fields", Repeat(FIELD_SEPARATOR, 1000) + "\r\n", {";;;;;;;"}},
    {"fields cut to their longest text",
     JoinFields({Counting(FIELD_PHONE, 2), Counting(FIELD_SURNAME, 11), Counting(FIELD_NAME, 1),
                 Counting(FIELD_PATRONYMIC, 0), Counting(FIELD_STREET, 2), Counting(FIELD_HOUSE, 1),
                 Counting(FIELD_BUILDING, 1), Counting(FIELD_FLAT, 0)}) + "\r\n",
     {JoinFields({Counting(FIELD_PHONE, 0), Counting(FIELD_SURNAME, 0), Counting(FIELD_NAME, 0),
                  Counting(FIELD_PATRONYMIC, 0), Counting(FIELD_STREET, 0), Counting(FIELD_HOUSE, 0),
                  Counting(FIELD_BUILDING, 0), Counting(FIELD_FLAT, 0)})}},
    {"a line of 100,000 bytes", Repeat('7', 100000) + "\r\n1;x\r\n",
     {Repeat('7', kFieldSpecs[FIELD_PHONE].longest) + ";;;;;;;", "1;x;;;;;;"}},
    {"NUL ends a field's text", BYTES("12\0" "34;Иванов\0zz;Иван\r\n"), {"12;Иванов;Иван;;;;;"}},
    {"lone CR is text", "1;a\rb;c\r\n", {"1;a\rb;c;;;;;"}},
    {"CR before CR LF stays", "1;a\r\r\n", {"1;a\r;;;;;;"}},
    {"a CR at the very end ends the line", "1;a\r\n2;b\r", {"1;a;;;;;;", "2;b;;;;;;"}},
    {"a lone CR at the very end is a blank line", "1;a\n\r", {"1;a;;;;;;"}},
    {"Windows-1251 text", "1;Ёлкин;Семён\r\n", {"1;Ёлкин;Семён;;;;;"}},
};

// Every record of the open database, in file order.
std::vector<std::string> AllRows() { return SearchRows(SearchInDatabase, MakeKey({})); }

TEST(OpenDatabase, parses_files)
{
    for (const FileCase &c : kFileCases) {
        std::string bytes = Cp1251FromUtf8(c.bytes);
        ASSERT_EQ(OpenScratchDatabase("parse.txt", bytes), static_cast<int>(c.rows.size())) << c.what;
        EXPECT_EQ(AllRows(), c.rows) << c.what;
    }
    CloseDatabase();
}

TEST(OpenDatabase, binary_noise_opens_and_stays_within_fields)
{
    std::string noise;
    uint32_t x = 12345;
    for (int i = 0; i < 200000; i++) {
        x = x * 1103515245u + 12345u;
        noise += static_cast<char>(x >> 24);
    }
    int count = OpenScratchDatabase("noise.bin", noise);
    ASSERT_GT(count, 0);
    EXPECT_EQ(AllRows().size(), static_cast<size_t>(count));   // SearchRows checks every field's NUL
    CloseDatabase();
}

TEST(OpenDatabase, fails_with_nothing_open)
{
    std::string directory = ScratchName("a_directory.txt"), missing = ScratchName("missing.txt");
    std::filesystem::create_directories(directory);
    std::filesystem::remove(missing);
    for (const std::string &path : {missing, directory, std::string()}) {
        ASSERT_EQ(OpenScratchDatabase("open_first.txt", "1;a\r\n"), 1);
        int count = 77;
        EXPECT_EQ(OpenDatabase(LibraryPath(path).c_str(), &count), 0) << path;
        EXPECT_EQ(count, 77) << path;
        EXPECT_TRUE(AllRows().empty()) << path;
    }
    EXPECT_EQ(OpenDatabase(nullptr, nullptr), 0);
}

// Paths that name something other than a file the library can read whole: refused at once, never waited on.
TEST(OpenDatabase, refuses_what_it_cannot_read_as_a_file)
{
    ASSERT_EQ(OpenScratchDatabase("open_first.txt", "1;a\r\n"), 1);
#ifdef _WIN32
    // Another program holds the file open and shares it with nobody.
    std::string path = WriteScratchFile("locked.txt", "1;a\r\n");
    HANDLE lock = CreateFileW(std::wstring(LibraryPath(path).c_str()).c_str(), GENERIC_READ, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    EXPECT_EQ(OpenDatabase(LibraryPath(path).c_str(), nullptr), 0);
    CloseHandle(lock);
    // A device name opens the console or the null device, not a file.
    EXPECT_EQ(OpenDatabase(LibraryPath("NUL").c_str(), nullptr), 0);
    EXPECT_EQ(OpenDatabase(LibraryPath("CON").c_str(), nullptr), 0);
#else
    // A named pipe with no writer: opening it for reading would wait for one forever.
    std::string fifo = ScratchName("pipe.txt");
    std::filesystem::remove(fifo);
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_EQ(OpenDatabase(LibraryPath(fifo).c_str(), nullptr), 0);
    std::filesystem::remove(fifo);
    EXPECT_EQ(OpenDatabase(LibraryPath("/dev/zero").c_str(), nullptr), 0);
#endif
    EXPECT_TRUE(AllRows().empty());
}

#ifndef _WIN32
// A file that holds less than its size says, as a file cut short while it is read does: what it has is kept.
TEST(OpenDatabase, keeps_what_a_file_shorter_than_its_size_holds)
{
    const char *path = "/sys/devices/system/cpu/online";   // says 4096 bytes, holds a few, such as "0-1\n"
    if (!std::filesystem::exists(path) || std::filesystem::file_size(path) <= 16)
        GTEST_SKIP() << "no such file here";
    int count = 0;
    ASSERT_NE(OpenDatabase(LibraryPath(path).c_str(), &count), 0);
    EXPECT_EQ(count, 1);
    std::vector<std::string> rows = AllRows();
    ASSERT_EQ(rows.size(), 1u);
    // one field of text, seven empty ones
    EXPECT_EQ(rows[0].find(FIELD_SEPARATOR), rows[0].size() - (RECORD_FIELDS - 1)) << rows[0];
    CloseDatabase();
}
#endif

// Sets a file's size without writing to it. The C runtime's way on Windows asks the volume for that much
// free space first, so the test asks the system directly and marks the file sparse.
bool MakeSparse(const std::string &path, uint64_t size)
{
#ifdef _WIN32
    HANDLE file = CreateFileW(std::wstring(LibraryPath(path).c_str()).c_str(), GENERIC_WRITE, 0, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD returned = 0;
    DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &returned, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = (LONGLONG)size;
    bool sized = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return sized;
#else
    return truncate(path.c_str(), (off_t)size) == 0;
#endif
}

TEST(OpenDatabase, refuses_a_file_larger_than_the_memory_left)
{
    // Sparse, so no disk space is used: 16 GiB, four times a 32-bit address space, or 1 TiB.
    std::string path = WriteScratchFile("huge.txt", "1;a\r\n");
    if (!MakeSparse(path, uint64_t(1) << (sizeof(void *) == 4 ? 34 : 40)))
        GTEST_SKIP() << "this file system cannot hold a sparse file of that size";
    int count = -1;
    EXPECT_EQ(OpenDatabase(LibraryPath(path).c_str(), &count), 0);
    EXPECT_EQ(count, -1);
    std::filesystem::remove(std::filesystem::u8path(path));
}

// The viewer opens a database at every load, for as long as it runs, and the process allocates
// between the loads: the blocks of one open must go back to the system when the next one comes.
TEST(OpenDatabase, reopening_keeps_resident_memory_flat)
{
    std::string lines;
    for (int i = 0; i < 50000; i++)
        lines += std::to_string(2000000 + i) + Cp1251FromUtf8(";Петрова;Мария;Ивановна;Садовое кольцо;12А;42;7\r\n");
    std::string path = WriteScratchFile("reopened.txt", lines);
    std::vector<void *> kept;
    long long settled = 0;
    for (int open = 0; open < 120; open++) {
        int count = 0;
        kept.push_back(std::malloc(48));
        ASSERT_NE(OpenDatabase(LibraryPath(path).c_str(), &count), 0);
        if (open == 20)
            settled = ResidentBytes();
    }
    long long last = ResidentBytes();
    CloseDatabase();
    for (void *block : kept)
        std::free(block);
    ASSERT_GT(settled, 0);
    EXPECT_LE(last, settled + settled / 10) << "resident memory grew from " << settled << " to " << last << " bytes";
}

TEST(OpenDatabase, replaces_the_open_database)
{
    ASSERT_EQ(OpenScratchDatabase("first.txt", "1;a\r\n2;b\r\n3;c\r\n"), 3);
    DirectoryRecord key = MakeKey({});
    DirectoryRecord result;
    ASSERT_TRUE(SearchInDatabase(&result, &key, 0));   // a search under way in the old database
    ASSERT_EQ(OpenScratchDatabase("second.txt", "9;z\r\n"), 1);
    EXPECT_EQ(AllRows(), std::vector<std::string>{"9;z;;;;;;"});
    CloseDatabase();
}

TEST(OpenDatabase, takes_a_path_in_russian)
{
    std::string path = WriteScratchFile("база данных.txt", Cp1251FromUtf8("5;Ёж\r\n"));
    int count = 0;
    ASSERT_TRUE(OpenDatabase(LibraryPath(path).c_str(), &count));
    EXPECT_EQ(count, 1);
    EXPECT_EQ(AllRows(), std::vector<std::string>{"5;Ёж;;;;;;"});
    CloseDatabase();
}

TEST(OpenDatabase, count_pointer_may_be_null)
{
    std::string path = WriteScratchFile("nocount.txt", "1;a\r\n");
    EXPECT_NE(OpenDatabase(LibraryPath(path).c_str(), nullptr), 0);
    EXPECT_EQ(AllRows().size(), 1u);
    CloseDatabase();
}

TEST(CloseDatabase, is_harmless_twice_and_ends_searching)
{
    ASSERT_EQ(OpenScratchDatabase("close.txt", "1;a\r\n"), 1);
    CloseDatabase();
    CloseDatabase();
    EXPECT_TRUE(AllRows().empty());
}

} // namespace
