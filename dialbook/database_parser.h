/* database_parser.h - turning a database file's bytes into packed records, a chunk at a time,
 * so that the file never has to be in memory whole. The records go into segments that packing
 * starts as it needs them. Ordinary lines take a fast way, built twice (fast_lines.h): with SSE2
 * and with 64-bit words; which one runs is chosen when packing begins.
 */
#ifndef DIALBOOK_DATABASE_PARSER_H
#define DIALBOOK_DATABASE_PARSER_H

#include "database_store.h"

typedef struct Packer Packer;

/* Packs ordinary lines from p, the start of a line, while 128 bytes remain before end; returns where
 * it stopped, or NULL when memory for a new segment runs out. */
typedef const char *PackLinesFn(Packer *packer, const char *p, const char *end);

/* Counts a sample's lines and the bytes packing drops from it (separators, line ends): what sizes a
 * store before its file is read. The counts are kept in locals, which the sample's bytes cannot alias. */
static inline void TallySample(const char *p, size_t n, uint64_t *lines, uint64_t *dropped)
{
    size_t newlines = 0, others = 0;
    for (size_t i = 0; i < n; i++) {
        newlines += p[i] == '\n';
        others += p[i] == FIELD_SEPARATOR || p[i] == '\r';
    }
    *lines += newlines;
    *dropped += newlines + others;
}

/* Where packing stands between two chunks of the file. */
struct Packer {
    SegmentList     *list;                      /* receives the segments, in file order */
    DatabaseSegment *segment;                   /* the one records go into now */
    PackLinesFn     *pack_lines;                /* the fast way for ordinary lines */
    uint16_t       filter_parts[4][256];        /* what a byte, folded, gives a head filter in each of a field's
                                                   first three places, and [3], an ends filter as the last byte */
    char          *record;                      /* where the open record's text starts in segment->text */
    char          *out;                         /* next free byte of segment->text */
    char          *switch_at;                   /* a record starting past it may not fit: a new segment first */
    const char    *chunk;                       /* the chunk being packed */
    uint64_t       chunk_offset;                /* where the chunk stands in the file */
    uint64_t       start;                       /* where the job's bytes start in the file */
    uint64_t       end_offset;                  /* the file offset the job's bytes end at */
    uint64_t       sample_bytes;                /* file bytes and records seen, to size the next segment */
    uint64_t       sample_records;
    uint64_t       sample_text;                 /* the first chunk's bytes of text, to size the first one */
    uint64_t       text_bytes;                  /* text of the segments closed so far */
    RecordShape    shape;                       /* the open record's fields that are closed so far */
    uint16_t       filters[RECORD_FIELDS];    /* the open record's filters of its closed fields */
    int            field;                       /* the open field; RECORD_FIELDS once past the eighth */
    size_t         raw;                         /* bytes the open field has in the file so far */
    int            cut;                         /* 1 after a NUL in the open field: the rest is not text */
    int            blank;                       /* 1 while the line holds only spaces, tabs and CRs */
    int            line_open;                   /* 1 when bytes have come since the last line end */
};

/* Bytes a chunk must have readable after its end. */
#define CHUNK_SLACK 32

/* Starts packing into list the file bytes from start that end before end_offset (or, for the last
 * line, cross it: at most a record's text more), first_length bytes of which are in first, the first
 * chunk; it sizes the first segment from them. 1, or 0 when memory runs out. */
int BeginPacking(Packer *packer, SegmentList *list, const unsigned char fold[256], uint64_t start, uint64_t end_offset,
                 const char *first, size_t first_length);

/* Packs the next length bytes of the file, which stand at offset; 1, or 0 when memory runs out. */
int PackChunk(Packer *packer, const char *chunk, size_t length, uint64_t offset);

/* Ends the last line if the file did not, and the last segment; 1, or 0 as PackChunk. */
int FinishPacking(Packer *packer);

/* The filter of field k whose kept text is the length bytes at text (cut to the field's longest
 * text here), which may be read a few bytes past its end: each byte's share comes from the packer's
 * tables, so a filter costs three loads. */
static inline uint16_t FieldFilter(const uint16_t parts[4][256], int k, const char *text, size_t length)
{
    const unsigned char *t = (const unsigned char *)text;
    if (length > kFieldSpecs[k].longest)
        length = kFieldSpecs[k].longest;
    if (!HasEndsFilter(k))
        return (uint16_t)((parts[0][t[0]] | parts[1][t[1]] | parts[2][t[2]]) & HeadFilterMask(length));
    return length == 0 ? 0 : (uint16_t)(EndsFilterOfBytes(parts[0][t[0]], 0, length) | parts[3][t[length - 1]]);
}

/* Starts a new line: no field closed yet. */
static inline void StartLine(Packer *pk)
{
    pk->record = pk->out;
    pk->field = 0;
    pk->raw = 0;
    pk->cut = 0;
    pk->blank = 1;
}

/* Before a record starts at p in the chunk: a new segment when this one has no room left for it;
 * 1, or 0 when memory runs out. */
int MakeRoomForRecord(Packer *pk, const char *p);

#endif /* DIALBOOK_DATABASE_PARSER_H */
