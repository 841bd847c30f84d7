/* line_splitter.cpp - the quick way through ParseSourceLine for the usual line, one whose text ends
 * within its first LINE_BLOCK_SIZE bytes: every ';', space and newline of the text found in one pass,
 * sixteen bytes at a time, and each field cut from those masks exactly where the tokenizer's scan
 * would cut it. The line is only read. Defines SplitShortLine.
 */
#include "chunk_masks.h"
#include "converter.h"
#include "field_copy.h"

#include <stdint.h>

static_assert(LINE_BLOCK_SIZE == 128, "the stops of a block are kept in two 64-bit words");
static_assert(LINE_BLOCK_SIZE <= LINE_BUFFER_SIZE, "a block is read from the line buffer");

/* Where the bytes that end the scans stand in the text, bit i for byte i (bytes 64 to 127 in the
 * second word). Of the bytes at and after the NUL that ends the text only the NUL itself is set,
 * in every mask: a scan that stops there ran out of text, as the tokenizer's would at that NUL. */
typedef struct LineStops {
    uint64_t field_ends[2];   /* ';' or newline: end a field */
    uint64_t word_ends[2];    /* space or newline: end the word before the surname */
    uint64_t spaces[2];       /* space: split the name part */
    size_t   length;          /* where the NUL that ends the text stands */
} LineStops;

/* The stops of the 64 bytes at line + 64 * half into word half of stops; 1 when the text's NUL is
 * among them. Reads end with the chunk that holds the NUL. */
static inline int FindHalfStops(const char *line, int half, LineStops *stops)
{
    uint64_t field_ends = 0, word_ends = 0, spaces = 0;
    int ended = 0;
    for (int at = 0; at < 64 && !ended; at += CHUNK_SIZE) {
        ByteChunk chunk = LoadChunk(line + 64 * half + at);
        uint32_t nuls = ChunkMatches(chunk, '\0');
        uint32_t text = (nuls & (0u - nuls)) - 1;   /* the bytes before the NUL (all when none) */
        uint32_t newlines = ChunkMatches(chunk, '\n');
        uint32_t space = ChunkMatches(chunk, ' ');
        uint32_t end = nuls & (0u - nuls);          /* the NUL itself stops every scan */
        field_ends |= (uint64_t)(((ChunkMatches(chunk, ';') | newlines) & text) | end) << at;
        word_ends |= (uint64_t)(((space | newlines) & text) | end) << at;
        spaces |= (uint64_t)((space & text) | end) << at;
        if (nuls != 0) {
            stops->length = (size_t)(64 * half + at + __builtin_ctz(nuls));
            ended = 1;
        }
    }
    stops->field_ends[half] = field_ends;
    stops->word_ends[half] = word_ends;
    stops->spaces[half] = spaces;
    return ended;
}

/* Fills stops for the text at line; 1, or 0 when the text does not end within the block. */
static int FindStops(const char *line, LineStops *stops)
{
    if (FindHalfStops(line, 0, stops)) {
        stops->field_ends[1] = stops->word_ends[1] = stops->spaces[1] = 0;
        return 1;
    }
    return FindHalfStops(line, 1, stops);
}

/* The first stop of mask at or after from, which is at most the text's length (where every mask
 * has its last stop), or limit when that comes first. */
static inline size_t NextStop(const uint64_t mask[2], size_t from, size_t limit)
{
    uint64_t onward = ~0ull << (from % 64);
    uint64_t low = from < 64 ? mask[0] & onward : 0;
    size_t stop = low != 0 ? (size_t)__builtin_ctzll(low)
                           : 64 + (size_t)__builtin_ctzll(from < 64 ? mask[1] : mask[1] & onward);
    return stop < limit ? stop : limit;
}

/* One scan: from *at to the next stop of mask, kept in field (NULL: dropped) and *at moved past the
 * stop; 1, or 0 when the text ran out first (field and *at untouched, as a failed scan leaves them). */
static inline int CutField(const char *line, const LineStops *stops, const uint64_t mask[2], size_t *at,
                           char *field, size_t width)
{
    size_t stop = NextStop(mask, *at, stops->length);
    if (stop == stops->length)
        return 0;
    if (field != NULL)
        CopyToken(field, width, line + *at, stop - *at);
    *at = stop + 1;
    return 1;
}

/* The name part [from, end): first name to the first space; only when a space ended it, the
 * patronymic from there to the next space or the part's end. */
static void SplitNamePart(const char *line, const LineStops *stops, size_t from, size_t end, SourceFields *f)
{
    size_t space = NextStop(stops->spaces, from, end);
    CopyToken(f->name, sizeof f->name, line + from, space - from);
    if (space == end) {
        f->patronymic[0] = '\0';
        return;
    }
    size_t next = NextStop(stops->spaces, space + 1, end);
    CopyToken(f->patronymic, sizeof f->patronymic, line + space + 1, next - space - 1);
}

/* The seven cuts in line order; LINE_WELL_FORMED, or the number of the first scan that found no end. */
static int CutLine(const char *line, const LineStops *s, SourceFields *f)
{
    size_t at = 0;
    if (!CutField(line, s, s->field_ends, &at, f->phone, sizeof f->phone))
        return 1;
    if (!CutField(line, s, s->field_ends, &at, f->house, sizeof f->house))
        return 2;
    if (!CutField(line, s, s->field_ends, &at, f->flat, sizeof f->flat))
        return 3;
    if (!CutField(line, s, s->word_ends, &at, NULL, 0))
        return 4;
    if (!CutField(line, s, s->field_ends, &at, f->surname, sizeof f->surname))
        return 5;
    size_t name_part = at;
    if (!CutField(line, s, s->field_ends, &at, NULL, 0))
        return 6;
    SplitNamePart(line, s, name_part, at - 1, f);
    if (!CutField(line, s, s->field_ends, &at, f->street, sizeof f->street))
        return 7;
    return LINE_WELL_FORMED;
}

int SplitShortLine(const char *line, SourceFields *fields)
{
    LineStops stops;
    if (!FindStops(line, &stops))
        return LINE_NOT_SPLIT;
    int failed = CutLine(line, &stops, fields);
    CopyToken(fields->building, sizeof fields->building, BUILDING_TEXT, sizeof BUILDING_TEXT - 1);
    return failed;
}
