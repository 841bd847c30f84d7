// FillDatabaseRecord: bounded copies into the fields at their fixed offsets.
#include <gtest/gtest.h>

#include <cstring>

#include "library_test_support.h"

namespace {

const size_t kOffsets[RECORD_FIELDS] = {0, 8, 38, 68, 98, 128, 133, 138};
const size_t kLongest[RECORD_FIELDS] = {7, 29, 29, 29, 29, 4, 4, 4};

// Fills a record whose bytes start as 0xEE, so that every byte the library leaves alone shows.
DirectoryRecord Fill(const char *const fields[RECORD_FIELDS])
{
    DirectoryRecord record;
    std::memset(&record, 0xEE, sizeof record);
    FillDatabaseRecord(&record, fields[0], fields[1], fields[2], fields[3], fields[4], fields[5], fields[6],
                       fields[7]);
    return record;
}

TEST(fill_database_record, places_each_field_at_its_offset)
{
    const char *const fields[RECORD_FIELDS] = {"1", "22", "333", "4444", "55555", "66", "7", "8"};
    DirectoryRecord record = Fill(fields);
    const char *bytes = reinterpret_cast<const char *>(&record);
    for (int k = 0; k < RECORD_FIELDS; k++)
        EXPECT_STREQ(bytes + kOffsets[k], fields[k]) << "field " << k;
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
        EXPECT_EQ(std::string(bytes + kOffsets[k]), std::string(kLongest[k], 'x')) << "field " << k;
}

TEST(fill_database_record, exact_longest_text_fits_with_its_nul)
{
    std::string seven(7, '7'), four(4, '4'), twenty_nine(29, '\xC9');   // 29 bytes of Й
    const char *const fields[RECORD_FIELDS] = {seven.c_str(), twenty_nine.c_str(), twenty_nine.c_str(),
                                               twenty_nine.c_str(), twenty_nine.c_str(), four.c_str(),
                                               four.c_str(), four.c_str()};
    DirectoryRecord record = Fill(fields);
    EXPECT_EQ(std::string(record.phone), seven);
    EXPECT_EQ(record.phone[7], '\0');
    EXPECT_EQ(std::string(record.street), twenty_nine);
    EXPECT_EQ(record.street[29], '\0');
    EXPECT_EQ(std::string(record.flat), four);
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
