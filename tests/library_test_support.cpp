// Helpers for the library's tests: scratch files named after the running test, the process's memory.
#include "library_test_support.h"

#include <cstdio>
#include <stdexcept>

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#include <psapi.h>
#else
#include <unistd.h>
#endif

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
