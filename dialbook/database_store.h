/* database_store.h - the open database as the library holds it in memory: the text of every
 * record's fields packed back to back, where each record's fields end, and for the five
 * prefix-searched fields the first two folded bytes of each record, which lets a search skip
 * most records without touching their text. A large file is read as two halves side by side,
 * and the store keeps them as two parts: records of the first, then of the second.
 */
#ifndef DIALBOOK_DATABASE_STORE_H
#define DIALBOOK_DATABASE_STORE_H

#include <stddef.h>
#include <stdint.h>
#include "directory.h"

/* Largest database file the library takes: a 32-bit process has about 2 GiB of address space. */
#define DATABASE_MAX_BYTES (sizeof(void *) == 4 ? ((uint64_t)1 << 30) : ((uint64_t)1 << 36))

/* Bytes kept writable and readable after each part's text, so fixed-size copies may run past its end. */
#define TEXT_SLACK 64

/* Fields with a prefix filter: phone, surname, name, patronymic, street (the first five). */
#define FILTERED_FIELDS 5

/* Records per stored text offset; a record's offset is summed from the start of its block. */
#define BLOCK_SHIFT 3

/* Most parts a store holds. */
#define STORE_PARTS 2

/* Where each field of one record ends, counted from the record's first byte; field k starts where field k-1 ends. */
typedef struct RecordShape {
    uint8_t end[RECORD_FIELDS];   /* end[7] is the record's whole length: at most 7 + 4*29 + 3*4 = 135 */
} RecordShape;

/* A run of consecutive records of the file. */
typedef struct DatabasePart {
    char         *text;                       /* its own block: its records' field bytes in file order, no separators */
    RecordShape  *shapes;                     /* one per record, in file order */
    uint16_t     *filters[FILTERED_FIELDS];   /* per prefix field and record: first folded byte | second << 8 */
    size_t       *block_offsets;              /* text offset of every (1 << BLOCK_SHIFT)-th record */
    size_t        count;                      /* number of records */
    size_t        capacity;                   /* records the arrays have room for */
} DatabasePart;

typedef struct DatabaseStore {
    DatabasePart  parts[STORE_PARTS];         /* in file order; unused ones are empty */
    size_t        count;                      /* records in all parts */
    unsigned char fold[256];                  /* byte -> the form comparisons use */
} DatabaseStore;

/* The longest text of each field, in record order; known when compiled, so fixed field numbers cost no lookup. */
inline constexpr uint8_t kFieldLongest[RECORD_FIELDS] = {
    PHONE_WIDTH - 1, SURNAME_WIDTH - 1, NAME_WIDTH - 1, PATRONYMIC_WIDTH - 1,
    STREET_WIDTH - 1, HOUSE_WIDTH - 1, BUILDING_WIDTH - 1, FLAT_WIDTH - 1,
};

/* 32 bytes of 0xFF, then 32 of 0: kKeepBytes + 32 - length masks a 32-byte block to its first length bytes. */
extern const unsigned char kKeepBytes[64];

/* Reads and parses the file at path into store; 1 on success, 0 with store empty on any failure. */
int LoadDatabaseStore(const DirectoryPathChar *path, DatabaseStore *store);

/* Makes room for record number part->count in every per-record array; 0 when memory runs out or the count would not fit an int. */
int ReserveRecord(DatabasePart *part);

/* Gives every per-record array room for capacity records at least; 0 when memory runs out. */
int ReserveRecords(DatabasePart *part, size_t capacity);

/* Notes where record i's text starts when it is the first of its block. */
static inline void NoteBlockOffset(size_t *block_offsets, size_t i, size_t text_offset)
{
    if ((i & ((1u << BLOCK_SHIFT) - 1)) == 0)
        block_offsets[i >> BLOCK_SHIFT] = text_offset;
}

/* Appends a record whose text already stands at text_offset; 1, or 0 as ReserveRecord. */
int StoreRecord(DatabasePart *part, const RecordShape *shape, const uint16_t filters[FILTERED_FIELDS],
                size_t text_offset);

/* Hands back what growth left unused in the part's text, now text_length bytes, and arrays. */
void ShrinkPart(DatabasePart *part, size_t text_length);

/* Releases everything a part holds and empties it. */
void FreeDatabasePart(DatabasePart *part);

/* Releases everything store holds and empties it. */
void FreeDatabaseStore(DatabaseStore *store);

/* Where record i of a part starts in its text. */
size_t RecordOffset(const DatabasePart *part, size_t i);

#endif /* DIALBOOK_DATABASE_STORE_H */
