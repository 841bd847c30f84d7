// The fuzz targets' shared helpers: failed checks, scratch files and bounded field reads.
#include "fuzz_support.h"

#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
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

const size_t kFieldWidths[RECORD_FIELDS] = {PHONE_WIDTH, SURNAME_WIDTH, NAME_WIDTH,  PATRONYMIC_WIDTH,
                                            STREET_WIDTH, HOUSE_WIDTH,  BUILDING_WIDTH, FLAT_WIDTH};
const size_t kFieldOffsets[RECORD_FIELDS] = {
    offsetof(DirectoryRecord, phone),  offsetof(DirectoryRecord, surname), offsetof(DirectoryRecord, name),
    offsetof(DirectoryRecord, patronymic), offsetof(DirectoryRecord, street), offsetof(DirectoryRecord, house),
    offsetof(DirectoryRecord, building), offsetof(DirectoryRecord, flat)};

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
    FUZZ_CHECK(out.good(), "cannot write the scratch file " + path.string());
    return path.string();
}

std::string ReadWholeFile(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::basic_string<DirectoryPathChar> LibraryPath(const std::string &path)
{
#ifdef _WIN32
    return std::filesystem::path(path).wstring();
#else
    return std::filesystem::path(path).u16string();
#endif
}

std::string BoundedField(const char *field, size_t width, const char *which)
{
    const void *nul = memchr(field, '\0', width);
    FUZZ_CHECK(nul != nullptr, std::string("no NUL inside the field's width: ") + which);
    return std::string(field, static_cast<const char *>(nul));
}

std::vector<std::string> RecordTexts(const DirectoryRecord &record)
{
    const char *bytes = reinterpret_cast<const char *>(&record);
    std::vector<std::string> texts;
    for (int f = 0; f < RECORD_FIELDS; f++)
        texts.push_back(BoundedField(bytes + kFieldOffsets[f], kFieldWidths[f], "record field"));
    return texts;
}
