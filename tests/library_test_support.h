// Helpers for the library's tests: Windows-1251 text from UTF-8 literals, scratch files, keys.
#ifndef LIBRARY_TEST_SUPPORT_H
#define LIBRARY_TEST_SUPPORT_H

#include <string>
#include <vector>

#include "directory.h"

// Windows-1251 bytes of a UTF-8 string holding ASCII and Russian letters only.
std::string Cp1251(const std::string &utf8);

// UTF-8 of Windows-1251 bytes, for readable failure messages.
std::string Utf8(const std::string &cp1251);

// The library's path type for a file name.
std::basic_string<DirectoryPathChar> LibraryPath(const std::string &name);

// A file name of the running test's own, so that tests running side by side never share a file.
std::string ScratchName(const std::string &name);

// Writes bytes to the running test's scratch file of that name in the working directory; returns its path.
std::string WriteScratchFile(const std::string &name, const std::string &bytes);

// Opens a scratch database holding bytes; the record count, or -1 when the library refuses it.
int OpenScratchDatabase(const std::string &name, const std::string &bytes);

// A key record: field index (record order) to UTF-8 text, converted to Windows-1251.
DirectoryRecord MakeKey(const std::vector<std::pair<int, std::string>> &fields);

// The eight fields of a record as UTF-8 strings, each read up to its NUL.
std::vector<std::string> RecordFields(const DirectoryRecord &record);

// The memory the process holds in RAM now, in bytes (its working set on Windows), or -1.
long long ResidentBytes();

// A record's fields joined by ';' (UTF-8), as SearchAll returns each match.
std::string RecordRow(const DirectoryRecord &record);

// Runs a whole search (reset, then next until none is left) and returns every match's fields joined by ';' (UTF-8).
std::vector<std::string> SearchAll(const DirectoryRecord &key);

#endif
