// record_helpers.h - records for the programs that drive the library from outside it (the tests,
// the fuzz targets, the benchmarks): keys made from text, a record's fields read back as strings,
// rows, whole searches, and the library's path type. Fields are named by RecordField and sized by
// kFieldSpecs; rows are joined by FIELD_SEPARATOR.
#ifndef SUPPORT_RECORD_HELPERS_H
#define SUPPORT_RECORD_HELPERS_H

#include <string>
#include <utility>
#include <vector>

#include "directory.h"
#include "record_fields.h"

// A key's fields: each field with its text in UTF-8.
typedef std::vector<std::pair<RecordField, std::string>> KeyTexts;

// The field's name in English, for messages and reports: "phone", "surname" and so on.
const char *FieldName(RecordField field);

// Puts bytes into a key's field as they are: as many as the width holds, a NUL after them only
// where they leave room (a key field without a NUL counts whole).
void SetKeyField(DirectoryRecord *key, RecordField field, const std::string &bytes);

// A key whose given fields hold their text in Windows-1251 (as SetKeyField puts it) and whose other
// fields are empty.
DirectoryRecord MakeKey(const KeyTexts &fields);

// A field's bytes up to its NUL. Throws std::runtime_error when no NUL stands inside the field's
// width: the library hands out no such field.
std::string FieldBytes(const DirectoryRecord &record, RecordField field);

// The eight fields' bytes (Windows-1251) in record order, each read as FieldBytes reads it.
std::vector<std::string> RecordFieldBytes(const DirectoryRecord &record);

// Fields joined by FIELD_SEPARATOR, as a database line holds them.
std::string JoinFields(const std::vector<std::string> &fields);

// A record as a row: its fields in UTF-8 joined by FIELD_SEPARATOR.
std::string RecordRow(const DirectoryRecord &record);

// A whole search through search (the library's entry point, linked or bound): a reset, then the
// next match until none is left; each match's fields' bytes. Throws std::runtime_error when the
// search gives more matches than any database these programs open holds, as one that never ends would.
std::vector<std::vector<std::string>> SearchFields(SearchInDatabaseFn search, const DirectoryRecord &key, int filled);

// The same search's matches as rows (RecordRow).
std::vector<std::string> SearchRows(SearchInDatabaseFn search, const DirectoryRecord &key, int filled = 1);

// The library's path text for a UTF-8 file name.
std::basic_string<DirectoryPathChar> LibraryPath(const std::string &utf8);

#endif // SUPPORT_RECORD_HELPERS_H
