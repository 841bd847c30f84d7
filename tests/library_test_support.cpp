// Helpers for the library's tests: Windows-1251 text from UTF-8 literals, scratch files, keys.
#include "library_test_support.h"

#include <cstring>
#include <cstdio>
#include <stdexcept>

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#else
#include <unistd.h>
#endif

namespace {

// Decodes one UTF-8 sequence at s[i], advancing i.
unsigned DecodeUtf8(const std::string &s, size_t &i)
{
    unsigned char c = static_cast<unsigned char>(s[i++]);
    if (c < 0x80)
        return c;
    int extra = c >= 0xF0 ? 3 : c >= 0xE0 ? 2 : 1;
    unsigned code = c & (0x3F >> extra);
    while (extra-- > 0 && i < s.size())
        code = (code << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    return code;
}

void AppendUtf8(std::string &out, unsigned code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

const size_t kOffsets[RECORD_FIELDS] = {0, 8, 38, 68, 98, 128, 133, 138};
const size_t kWidths[RECORD_FIELDS] = {8, 30, 30, 30, 30, 5, 5, 5};

} // namespace

std::string Cp1251(const std::string &utf8)
{
    std::string out;
    for (size_t i = 0; i < utf8.size();) {
        unsigned code = DecodeUtf8(utf8, i);
        if (code < 0x80)
            out += static_cast<char>(code);
        else if (code >= 0x410 && code <= 0x44F)
            out += static_cast<char>(code - 0x410 + 0xC0);
        else if (code == 0x401)
            out += '\xA8';
        else if (code == 0x451)
            out += '\xB8';
        else
            throw std::invalid_argument("no Windows-1251 byte for a character of " + utf8);
    }
    return out;
}

std::string Utf8(const std::string &cp1251)
{
    std::string out;
    for (unsigned char c : cp1251) {
        if (c < 0x80)
            AppendUtf8(out, c);
        else if (c >= 0xC0)
            AppendUtf8(out, c - 0xC0 + 0x410);
        else if (c == 0xA8)
            AppendUtf8(out, 0x401);
        else if (c == 0xB8)
            AppendUtf8(out, 0x451);
        else
            out += "\\x" + std::string(1, "0123456789ABCDEF"[c >> 4]) + "0123456789ABCDEF"[c & 15];
    }
    return out;
}

std::basic_string<DirectoryPathChar> LibraryPath(const std::string &name)
{
    std::basic_string<DirectoryPathChar> path;
    for (size_t i = 0; i < name.size();)
        path += static_cast<DirectoryPathChar>(DecodeUtf8(name, i));
    return path;
}

std::string ScratchName(const std::string &name)
{
    const ::testing::TestInfo *test = ::testing::UnitTest::GetInstance()->current_test_info();
    if (test == nullptr)
        return name;
    return std::string(test->test_suite_name()) + "." + test->name() + "." + name;
}

std::string WriteScratchFile(const std::string &name, const std::string &bytes)
{
    std::string path = ScratchName(name);
#ifdef _WIN32
    std::wstring wide(LibraryPath(path).c_str());
    FILE *out = _wfopen(wide.c_str(), L"wb");
#else
    FILE *out = std::fopen(path.c_str(), "wb");
#endif
    bool written = out != nullptr && std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    if (out != nullptr && std::fclose(out) != 0)
        written = false;
    if (!written)
        throw std::runtime_error("cannot write " + path);
    return path;
}

int OpenScratchDatabase(const std::string &name, const std::string &bytes)
{
    std::string path = WriteScratchFile(name, bytes);
    int count = -1;
    if (!OpenDatabase(LibraryPath(path).c_str(), &count))
        return -1;
    return count;
}

DirectoryRecord MakeKey(const std::vector<std::pair<int, std::string>> &fields)
{
    DirectoryRecord key;
    std::memset(&key, 0, sizeof key);
    for (const auto &field : fields) {
        std::string text = Cp1251(field.second);
        size_t width = kWidths[field.first];
        std::memcpy(reinterpret_cast<char *>(&key) + kOffsets[field.first], text.data(),
                    text.size() < width ? text.size() : width);
    }
    return key;
}

std::vector<std::string> RecordFields(const DirectoryRecord &record)
{
    std::vector<std::string> fields;
    const char *bytes = reinterpret_cast<const char *>(&record);
    for (int k = 0; k < RECORD_FIELDS; k++) {
        const char *field = bytes + kOffsets[k];
        const void *nul = std::memchr(field, '\0', kWidths[k]);
        if (nul == nullptr)
            throw std::runtime_error("a result field has no NUL inside its width");
        fields.push_back(Utf8(std::string(field, static_cast<const char *>(nul))));
    }
    return fields;
}

std::string RecordRow(const DirectoryRecord &record)
{
    std::string row;
    for (const std::string &field : RecordFields(record))
        row += field + ";";
    row.pop_back();
    return row;
}

std::vector<std::string> SearchAll(const DirectoryRecord &key)
{
    std::vector<std::string> rows;
    DirectoryRecord result;
    SearchInDatabase(nullptr, nullptr, 0);
    while (SearchInDatabase(&result, &key, 1)) {
        rows.push_back(RecordRow(result));
        if (rows.size() > 1000000)
            throw std::runtime_error("search does not end");
    }
    return rows;
}

long long ResidentBytes()
{
#ifdef _WIN32
    PROCESS_MEMORY_COUNTERS counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters))
        return -1;
    return static_cast<long long>(counters.WorkingSetSize);
#else
    long long pages = -1, resident = -1;
    FILE *statm = std::fopen("/proc/self/statm", "r");
    if (statm == nullptr)
        return -1;
    int read = std::fscanf(statm, "%lld %lld", &pages, &resident);
    std::fclose(statm);
    return read == 2 ? resident * sysconf(_SC_PAGESIZE) : -1;
#endif
}
