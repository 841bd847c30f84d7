// What the fuzz targets share: the check that stops a run with a message, and scratch files. Keys,
// records' fields and library paths come from support/record_helpers.h, included here. Each target
// defines LLVMFuzzerTestOneInput; libFuzzer drives it in the fuzzing build, replay_main.cpp feeds it
// the regression corpus in the ordinary build.
#ifndef FUZZ_SUPPORT_H
#define FUZZ_SUPPORT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "directory.h"
#include "record_fields.h"
#include "record_helpers.h"

// Stops the run (libFuzzer keeps the input that did it) when a property does not hold.
#define FUZZ_CHECK(condition, what) \
    ((condition) ? (void)0 : FuzzFailed(__FILE__, __LINE__, #condition, what))

[[noreturn]] void FuzzFailed(const char *file, int line, const char *condition, const std::string &what);

// Replaces the scratch file of that name (in the temporary folder, one per process) with bytes; its
// path in UTF-8.
std::string WriteScratch(const std::string &name, const std::string &bytes);

// The whole content of the file at a UTF-8 path, or "" when it cannot be read.
std::string ReadWholeFile(const std::string &path);

#endif // FUZZ_SUPPORT_H
