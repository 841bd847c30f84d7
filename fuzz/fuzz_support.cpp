// The fuzz targets' shared helpers: failed checks and scratch files.
#include "fuzz_support.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <process.h>
#define GetProcessNumber _getpid
#else
#include <unistd.h>
#define GetProcessNumber getpid
#endif

void FuzzFailed(const char *file, int line, const char *condition, const std::string &what)
{
    fprintf(stderr, "%s:%d: check failed: %s\n  %s\n", file, line, condition, what.c_str());
    fflush(stderr);
    abort();
}

std::string WriteScratch(const std::string &name, const std::string &bytes)
{
    std::filesystem::path path = std::filesystem::temp_directory_path() /
                                 (std::to_string(GetProcessNumber()) + "-" + name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    FUZZ_CHECK(out.good(), "cannot write the scratch file " + path.u8string());
    return path.u8string();
}

std::string ReadWholeFile(const std::string &path)
{
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
