// What the fuzz targets share: the check that stops a run with a message, scratch files, and
// reading a record's fields. Each target defines LLVMFuzzerTestOneInput; libFuzzer drives it
// in the fuzzing build, replay_main.cpp feeds it the regression corpus in the ordinary build.
#ifndef FUZZ_SUPPORT_H
#define FUZZ_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "directory.h"

// Stops the run (libFuzzer keeps the input that did it) when a property does not hold.
#define FUZZ_CHECK(condition, what) \
    ((condition) ? (void)0 : FuzzFailed(__FILE__, __LINE__, #condition, what))

[[noreturn]] void FuzzFailed(const char *file, int line, const char *condition, const std::string &what);

// Replaces the scratch file of that name (in the temporary folder, one per process) with bytes; its path.
std::string WriteScratch(const std::string &name, const std::string &bytes);

// The whole content of a file, or "" when it cannot be read.
std::string ReadWholeFile(const std::string &path);

// The path as the library takes it.
std::basic_string<DirectoryPathChar> LibraryPath(const std::string &path);

// Each field's width and offset, in record order.
extern const size_t kFieldWidths[RECORD_FIELDS];
extern const size_t kFieldOffsets[RECORD_FIELDS];

// A field's text up to its NUL; stops the run when the field has no NUL inside its width.
std::string BoundedField(const char *field, size_t width, const char *which);

// The eight field texts of a record, each checked to end inside its width.
std::vector<std::string> RecordTexts(const DirectoryRecord &record);

#endif // FUZZ_SUPPORT_H
