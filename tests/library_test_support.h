// Helpers of the library's tests that need GoogleTest or the test process: scratch files named after
// the running test, and the process's memory. Text and records come from support/ (included here).
#ifndef LIBRARY_TEST_SUPPORT_H
#define LIBRARY_TEST_SUPPORT_H

#include <string>

#include "directory.h"
#include "record_fields.h"
#include "record_helpers.h"
#include "text_helpers.h"

// A file name of the running test's own, so that tests running side by side never share a file.
std::string ScratchName(const std::string &name);

// Writes bytes to the running test's scratch file of that name in the working directory; returns its path.
std::string WriteScratchFile(const std::string &name, const std::string &bytes);

// Opens a scratch database holding bytes; the record count, or -1 when the library refuses it.
int OpenScratchDatabase(const std::string &name, const std::string &bytes);

// The memory the process holds in RAM now, in bytes (its working set on Windows), or -1.
long long ResidentBytes();

#endif
