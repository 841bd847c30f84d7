// FillDatabaseRecord: bounded copies into the fields at their fixed offsets.
#include <gtest/gtest.h>

#include <cstring>

#include "library_test_support.h"

namespace {

// Fills a record whose bytes start as 0xEE, so that every byte the library leaves alone shows.
DirectoryRecord Fill(const char *const fields[RECORD_FIELDS])
{
    DirectoryRecord record;
    std::memset(&record, 0xEE, sizeof record);
    FillDatabaseRecord(&record, fields[FIELD_PHONE], fields[FIELD_SURNAME], fields[FIELD_NAME],
                       fields[FIELD_PATRONYMIC], fields[FIELD_STREET], fields[FIELD_HOUSE], fields[FIELD_BUILDING],
                       fields[FIELD_FLAT]);
    return record;
}

TEST(fill_database_record, places_each_field_at_its_offset)
{
    const char *const fields[RECORD_FIELDS] = {"1", "22", "333", "4444", "55555", "66", "7", "8"};
    DirectoryRecord record = Fill(fields);
    const char *bytes = reinterpret_cast<const char *>(&record);
    for (int k = 0; k < RECORD_FIELDS; k++)
        EXPECT_STREQ(bytes + kFieldSpecs[k].offset, fields[k]) << FieldName(static_cast<RecordField>(k));
}

TEST(fill_database_record, cuts_each_field_to_its_longest_text)
{
    std::string long_text(100, 'x');
    const char *const fields[RECORD_FIELDS] = {long_text.c_str(), long_text.c_str(), long_text.c_str(),
                                               long_text.c_str(), long_text.c_str(), long_text.c_str(),
                                               long_text.c_str(), long_text.c_str()};
    DirectoryRecord record = Fill(fields);
    const char *bytes = reinterpret_cast<const char *>(&record);
    for (int k = 0; k < RECORD_FIELDS; k++)
        EXPECT_EQ(std::string(bytes + kFieldSpecs[k].offset), std::string(kFieldSpecs[k].longest, 'x'))
            << FieldName(static_cast<RecordField>(k));
}

TEST(fill_database_record, exact_longest_text_fits_with_its_nul)
{
    std::string texts[RECORD_FIELDS];
    const char *fields[RECORD_FIELDS];
    for (int k = 0; k < RECORD_FIELDS; k++) {
        texts[k] = std::string(kFieldSpecs[k].longest, '\xC9');   // Й: a byte above 0x7F is copied as it is
        fields[k] = texts[k].c_str();
    }
    DirectoryRecord record = Fill(fields);
    const char *bytes = reinterpret_cast<const char *>(&record);
    for (int k = 0; k < RECORD_FIELDS; k++) {
        const FieldSpec &layout = kFieldSpecs[k];
        EXPECT_EQ(std::string(bytes + layout.offset, layout.longest), texts[k]) << FieldName(static_cast<RecordField>(k));
        EXPECT_EQ(bytes[layout.offset + layout.longest], '\0') << FieldName(static_cast<RecordField>(k));
    }
}

TEST(fill_database_record, null_strings_give_empty_fields)
{
    const char *const fields[RECORD_FIELDS] = {nullptr, "Иванов", nullptr, nullptr, nullptr, nullptr, "42", nullptr};
    DirectoryRecord record = Fill(fields);
    EXPECT_STREQ(record.phone, "");
    EXPECT_STREQ(record.surname, "Иванов");
    EXPECT_STREQ(record.name, "");
    EXPECT_STREQ(record.building, "42");
    EXPECT_STREQ(record.flat, "");
}

TEST(fill_database_record, ignores_a_null_record)
{
    FillDatabaseRecord(nullptr, "1", "2", "3", "4", "5", "6", "7", "8");
}

} // namespace
