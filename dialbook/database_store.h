/* database_store.h - the open database as the library holds it in memory: a list of segments, each
 * a run of consecutive records. A segment keeps the text of its records' fields packed back to back,
 * where each record's fields end, and for every field the first folded bytes of each record, which
 * let a search skip most records without touching their text. Every segment's
 * blocks are of bounded size and come straight from the system, so a store needs no large run of
 * free address space, and closing it gives everything back.
 */
#ifndef DIALBOOK_DATABASE_STORE_H
#define DIALBOOK_DATABASE_STORE_H

#include <stddef.h>
#include <stdint.h>
#include "directory.h"
#include "platform.h"
#include "record_fields.h"

/* Bytes kept writable and readable after a segment's text, so fixed-size copies may run past its end. */
#define TEXT_SLACK 64

/* Records per stored text offset; a record's offset is summed from the start of its block of records. */
#define BLOCK_SHIFT 3

/* The most text one record keeps: its fields' longest texts together. */
#define RECORD_TEXT_MAX RecordTextMax()

/* A segment's text block and record count at most. */
#define SEGMENT_TEXT_MAX    ((size_t)16 << 20)
#define SEGMENT_RECORDS_MAX ((size_t)1 << 20)

/* What an open database costs per record besides its text: its shape, its filters and a share of a
 * text offset. docs/LIBRARY.md states it; the open's memory check counts with it. */
#define RECORD_FIXED_BYTES (sizeof(RecordShape) + RECORD_FIELDS * sizeof(uint16_t) + sizeof(uint32_t) / 8.0)

/* Where each field of one record ends, counted from the record's first byte; field k starts where field k-1 ends. */
typedef struct RecordShape {
    uint8_t end[RECORD_FIELDS];   /* the last is the record's whole length: at most RECORD_TEXT_MAX */
} RecordShape;

/* A run of consecutive records of the file, in two blocks of its own: the text, and the per-record arrays. */
typedef struct DatabaseSegment {
    char        *text;                       /* its records' field bytes in file order, no separators */
    RecordShape *shapes;                     /* one per record, in file order */
    uint16_t    *filters[RECORD_FIELDS];     /* per field and record: a filter (see FilterOfBytes) */
    uint32_t    *block_offsets;              /* text offset of every (1 << BLOCK_SHIFT)-th record */
    size_t       first;                      /* number of its first record in the file */
    size_t       count;                      /* number of records */
    size_t       capacity;                   /* records the arrays have room for */
    size_t       text_room;                  /* bytes of text the text block has room for, TEXT_SLACK after them */
    size_t       text_block;                 /* bytes the text block takes now */
    size_t       array_block;                /* bytes the array block takes now */
} DatabaseSegment;

/* Segments in file order. */
typedef struct SegmentList {
    DatabaseSegment *segments;
    size_t           count;
    size_t           capacity;
} SegmentList;

/* Folded bytes: bit b of the words stands for byte b. */
typedef struct ByteMap {
    uint64_t words[4];
} ByteMap;

/* Which folded bytes each segment's text holds, and the thread that finds out (byte_presence.h). */
typedef struct ByteMaps {
    ByteMap       *maps;                     /* one per segment, or NULL */
    size_t         block;                    /* bytes the maps' block takes */
    size_t         done;                     /* maps made, from the first segment on; read and written atomically */
    int            stop;                     /* 1: the thread ends at its next look; read and written atomically */
    int            running;                  /* 1 while there is a thread to join */
    PlatformThread thread;
} ByteMaps;

typedef struct DatabaseStore {
    SegmentList   list;                      /* the records, in file order */
    size_t        count;                     /* records in all segments */
    unsigned char fold[256];                 /* byte -> the form comparisons use */
    uint64_t      text_bytes;                /* bytes of text in all segments */
    uint32_t      byte_counts[256];          /* how often each byte occurs in a sample of the text */
    uint32_t      sampled_bytes;             /* bytes in that sample */
    ByteMaps      byte_maps;                 /* which bytes each segment holds, once known */
} DatabaseStore;

/* Windows of the text that CountTextBytes reads in each segment, and their size. */
#define TEXT_SAMPLE_WINDOWS 16
#define TEXT_SAMPLE_BYTES   1024

/* 32 bytes of 0xFF, then 32 of 0: kKeepBytes + 32 - length masks a 32-byte block to its first length bytes. */
extern const unsigned char kKeepBytes[64];

/* Every field keeps a 2-byte filter a record, built from its first folded bytes, which lets a search
 * pass over the records whose filter a key rules out without reading them. Which filter a field
 * keeps follows from how a key matches it (its FieldMatch in kFieldSpecs):
 * - a prefix field, the head filter: the first byte, the low five bits of the second and the low
 *   three of the third, 0 where the field has no such byte. Five bits tell apart the letters of one
 *   alphabet in Windows-1251 (and the digits); a record they let through that does not match is
 *   only read in vain.
 * - a whole field, the ends filter: the first byte, the length (its low three bits) and the low five
 *   bits of the last byte, 0 for an empty field. A whole key fixes all three, and so do patterns
 *   such as «1?» and «1*5», which a head filter would let every house starting with 1 through. */
static inline int HasEndsFilter(int field)
{
    return kFieldSpecs[field].match == MATCH_WHOLE;
}

static inline uint16_t HeadFilterOfBytes(unsigned first, unsigned second, unsigned third)
{
    return (uint16_t)(first | (second & 0x1F) << 8 | (third & 0x07) << 13);
}

/* The head filter's bits that a field's first bytes fill, for a field of known bytes (0 to 3 or more). */
static inline uint16_t HeadFilterMask(size_t known)
{
    static const uint16_t kMasks[4] = {0x0000, 0x00FF, 0x1FFF, 0xFFFF};
    return kMasks[known < 3 ? known : 3];
}

static inline uint16_t EndsFilterOfBytes(unsigned first, unsigned last, size_t length)
{
    return length == 0 ? 0 : (uint16_t)(first | (length & 0x07) << 8 | (last & 0x1F) << 11);
}

/* The bits of each part of an ends filter. */
#define ENDS_FIRST_BITS  0x00FF
#define ENDS_LENGTH_BITS 0x0700
#define ENDS_LAST_BITS   0xF800

/* Reads and parses the file at path into store; 1 on success, 0 with store empty on any failure. */
int LoadDatabaseStore(const DirectoryPathChar *path, DatabaseStore *store);

/* Appends to list a segment whose first record is number first, with room for records and for
 * text_room bytes of text; the new segment, or NULL when memory runs out. */
DatabaseSegment *AddSegment(SegmentList *list, size_t first, size_t records, size_t text_room);

/* Notes where record i's text starts when it is the first of its block. */
static inline void NoteBlockOffset(uint32_t *block_offsets, size_t i, size_t text_offset)
{
    if ((i & ((1u << BLOCK_SHIFT) - 1)) == 0)
        block_offsets[i >> BLOCK_SHIFT] = (uint32_t)text_offset;
}

/* Appends a record whose text already stands at text_offset; the segment must have room for it. */
void StoreRecord(DatabaseSegment *segment, const RecordShape *shape, const uint16_t filters[RECORD_FIELDS],
                 size_t text_offset);

/* Ends a segment whose text is text_length bytes: zeroes its slack and gives back what it did not use. */
void CloseSegment(DatabaseSegment *segment, size_t text_length);

/* Moves every segment of from to the end of to, numbering their records on from first; 0 when memory runs out. */
int JoinSegments(SegmentList *to, SegmentList *from, size_t first);

/* Releases every segment of list and empties it. */
void FreeSegments(SegmentList *list);

/* Adds up the store's text and counts its bytes in a sample of each segment's text: all of it, or
 * TEXT_SAMPLE_WINDOWS windows spread over it, so that a search can tell how often a byte occurs
 * without reading the text. */
void CountTextBytes(DatabaseStore *store);

/* Releases everything store holds and empties it. */
void FreeDatabaseStore(DatabaseStore *store);

/* Masks over a block's (1 << BLOCK_SHIFT) shapes: row n keeps the record lengths (the last end) of the
 * block's first n records and nothing else, so that their sum is the text offset of record n. */
typedef struct LengthsBeforeTable {
    alignas(16) unsigned char rows[1 << BLOCK_SHIFT][sizeof(RecordShape) << BLOCK_SHIFT];
} LengthsBeforeTable;

constexpr LengthsBeforeTable MakeLengthsBefore()
{
    LengthsBeforeTable table{};
    for (size_t n = 0; n < (1u << BLOCK_SHIFT); n++)
        for (size_t j = 0; j < n; j++)
            table.rows[n][j * sizeof(RecordShape) + RECORD_FIELDS - 1] = 0xFF;
    return table;
}

inline constexpr LengthsBeforeTable kLengthsBefore = MakeLengthsBefore();

/* Where record i of a segment starts in its text. */
static inline size_t RecordOffset(const DatabaseSegment *segment, size_t i)
{
    size_t offset = segment->block_offsets[i >> BLOCK_SHIFT];
    for (size_t j = i >> BLOCK_SHIFT << BLOCK_SHIFT; j < i; j++)
        offset += segment->shapes[j].end[RECORD_FIELDS - 1];
    return offset;
}

#endif /* DIALBOOK_DATABASE_STORE_H */
