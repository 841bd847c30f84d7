// record_helpers.cpp - keys, fields, rows and whole searches, laid out by kFieldSpecs.
#include "record_helpers.h"

#include <cstring>
#include <stdexcept>

#include "text_helpers.h"

namespace {

// More matches than this and a search is taken for one that does not end.
const size_t kMostMatches = 1000000;

// A row of fields' bytes: the fields in UTF-8 joined by FIELD_SEPARATOR.
std::string RowOfFields(std::vector<std::string> fields)
{
    for (std::string &field : fields)
        field = Utf8FromCp1251(field);
    return JoinFields(fields);
}

} // namespace

const char *FieldName(RecordField field)
{
    static const char *const kNames[RECORD_FIELDS] = {"phone", "surname", "name", "patronymic",
                                                      "street", "house", "building", "flat"};
    return kNames[field];
}

void SetKeyField(DirectoryRecord *key, RecordField field, const std::string &bytes)
{
    const FieldSpec &layout = kFieldSpecs[field];
    char *at = reinterpret_cast<char *>(key) + layout.offset;
    std::memset(at, 0, layout.width);
    std::memcpy(at, bytes.data(), bytes.size() < layout.width ? bytes.size() : layout.width);
}

DirectoryRecord MakeKey(const KeyTexts &fields)
{
    DirectoryRecord key;
    std::memset(&key, 0, sizeof key);
    for (const auto &field : fields)
        SetKeyField(&key, field.first, Cp1251FromUtf8(field.second));
    return key;
}

std::string FieldBytes(const DirectoryRecord &record, RecordField field)
{
    const FieldSpec &layout = kFieldSpecs[field];
    const char *text = reinterpret_cast<const char *>(&record) + layout.offset;
    const void *nul = std::memchr(text, '\0', layout.width);
    if (nul == nullptr)
        throw std::runtime_error(std::string("no NUL inside the width of a record's ") + FieldName(field));
    return std::string(text, static_cast<const char *>(nul));
}

std::vector<std::string> RecordFieldBytes(const DirectoryRecord &record)
{
    std::vector<std::string> fields;
    for (int field = 0; field < RECORD_FIELDS; field++)
        fields.push_back(FieldBytes(record, static_cast<RecordField>(field)));
    return fields;
}

std::string JoinFields(const std::vector<std::string> &fields)
{
    std::string line;
    for (size_t i = 0; i < fields.size(); i++) {
        if (i > 0)
            line += FIELD_SEPARATOR;
        line += fields[i];
    }
    return line;
}

std::string RecordRow(const DirectoryRecord &record)
{
    return RowOfFields(RecordFieldBytes(record));
}

std::vector<std::vector<std::string>> SearchFields(SearchInDatabaseFn search, const DirectoryRecord &key, int filled)
{
    std::vector<std::vector<std::string>> matches;
    DirectoryRecord result;
    search(nullptr, nullptr, 0);
    while (search(&result, &key, filled)) {
        matches.push_back(RecordFieldBytes(result));
        if (matches.size() > kMostMatches)
            throw std::runtime_error("the search does not end");
    }
    return matches;
}

std::vector<std::string> SearchRows(SearchInDatabaseFn search, const DirectoryRecord &key, int filled)
{
    std::vector<std::string> rows;
    for (const std::vector<std::string> &fields : SearchFields(search, key, filled))
        rows.push_back(RowOfFields(fields));
    return rows;
}

std::basic_string<DirectoryPathChar> LibraryPath(const std::string &utf8)
{
    std::u16string utf16 = Utf16FromUtf8(utf8);
    return std::basic_string<DirectoryPathChar>(utf16.begin(), utf16.end());
}
