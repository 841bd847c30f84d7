/* record_fields.h - the record's fields in one table: where each stands in a DirectoryRecord, its
 * width and longest text, and how a search key matches it; and the byte that separates the fields
 * of a database line. The library, the converter, the viewer, the tests, the fuzz targets, the
 * benchmarks and the tools read these facts from here; none of them writes out an offset, a width
 * or a field's number.
 */
#ifndef DIRECTORY_RECORD_FIELDS_H
#define DIRECTORY_RECORD_FIELDS_H

#include <stddef.h>
#include <stdint.h>
#include "directory.h"

/* The fields in record order: the order of the record, of a database line and of the viewer's columns. */
enum RecordField {
    FIELD_PHONE,
    FIELD_SURNAME,
    FIELD_NAME,
    FIELD_PATRONYMIC,
    FIELD_STREET,
    FIELD_HOUSE,
    FIELD_BUILDING,
    FIELD_FLAT
};

/* How a key's text matches a record's field; a key text holding '*' or '?' is a pattern over the
 * whole field, whatever the field's rule. */
enum FieldMatch {
    MATCH_PREFIX,   /* the field starts with the key: «Петров» finds Петрова */
    MATCH_WHOLE     /* the field is the key: «1» finds house 1, not 12 */
};

typedef struct FieldSpec {
    uint8_t offset;    /* where the field stands in a DirectoryRecord */
    uint8_t width;     /* its bytes, the NUL included */
    uint8_t longest;   /* the most text it holds: width - 1 */
    uint8_t match;     /* a FieldMatch; which filter the library keeps for the field follows from it */
} FieldSpec;

#define FIELD_SPEC(member, match) \
    { offsetof(DirectoryRecord, member), sizeof(DirectoryRecord::member), sizeof(DirectoryRecord::member) - 1, match }

inline constexpr FieldSpec kFieldSpecs[RECORD_FIELDS] = {
    FIELD_SPEC(phone, MATCH_PREFIX),
    FIELD_SPEC(surname, MATCH_PREFIX),
    FIELD_SPEC(name, MATCH_PREFIX),
    FIELD_SPEC(patronymic, MATCH_PREFIX),
    FIELD_SPEC(street, MATCH_PREFIX),
    FIELD_SPEC(house, MATCH_WHOLE),
    FIELD_SPEC(building, MATCH_WHOLE),
    FIELD_SPEC(flat, MATCH_WHOLE),
};

#undef FIELD_SPEC

/* The byte between two fields of a database line. */
#define FIELD_SEPARATOR ';'

/* The most text one record holds: its fields' longest texts together. */
constexpr size_t RecordTextMax()
{
    size_t sum = 0;
    for (const FieldSpec &field : kFieldSpecs)
        sum += field.longest;
    return sum;
}

/* The widest field's width. */
constexpr size_t WidestField()
{
    size_t widest = 0;
    for (const FieldSpec &field : kFieldSpecs)
        widest = field.width > widest ? field.width : widest;
    return widest;
}

#endif /* DIRECTORY_RECORD_FIELDS_H */
