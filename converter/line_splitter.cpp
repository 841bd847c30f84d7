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
 * second word). Nothing at or after the NUL that ends the text is set, so a scan that finds no
 * stop ran out of text, as the tokenizer's would at that NUL. */
typedef struct LineStops {
    uint64_t field_ends[2];   /* ';' or newline: end a field */
    uint64_t word_ends[2];    /* space or newline: end the word before the surname */
    uint64_t spaces[2];       /* space: split the name part */
    size_t   length;          /* where the NUL that ends the text stands */
} LineStops;

/* Adds the stops of the sixteen bytes at line + at to stops; 1 when the text's NUL is among them. */
static inline int AddChunkStops(const char *line, size_t at, LineStops *stops)
{
    ByteChunk chunk = LoadChunk(line + at);
    uint32_t nuls = ChunkMatches(chunk, '\0');
    uint32_t text = nuls != 0 ? (nuls & (0u - nuls)) - 1 : 0xFFFFu;   /* the bytes before the NUL */
    uint32_t newlines = ChunkMatches(chunk, '\n');
    uint32_t spaces = ChunkMatches(chunk, ' ') & text;
    size_t word = at / 64, shift = at % 64;
    stops->field_ends[word] |= (uint64_t)((ChunkMatches(chunk, ';') | newlines) & text) << shift;
    stops->word_ends[word] |= (uint64_t)(spaces | (newlines & text)) << shift;
    stops->spaces[word] |= (uint64_t)spaces << shift;
    if (nuls == 0)
        return 0;
    stops->length = at + (size_t)__builtin_ctz(nuls);
    return 1;
}

/* Fills stops for the text at line; 1, or 0 when the text does not end within the block. Reads end
 * with the chunk that holds the NUL. */
static int FindStops(const char *line, LineStops *stops)
{
    for (int i = 0; i < 2; i++)
        stops->field_ends[i] = stops->word_ends[i] = stops->spaces[i] = 0;
    for (size_t at = 0; at < LINE_BLOCK_SIZE; at += CHUNK_SIZE)
        if (AddChunkStops(line, at, stops))
            return 1;
    return 0;
}

/* The first stop of mask at or after from (below LINE_BLOCK_SIZE), or limit when none comes before it. */
static inline size_t NextStop(const uint64_t mask[2], size_t from, size_t limit)
{
    uint64_t onward = ~0ull << (from % 64);
    uint64_t low = from < 64 ? mask[0] & onward : 0;
    uint64_t high = from < 64 ? mask[1] : mask[1] & onward;
    size_t stop = low != 0 ? (size_t)__builtin_ctzll(low)
                : high != 0 ? 64 + (size_t)__builtin_ctzll(high)
                : LINE_BLOCK_SIZE;
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
    CopyToken(fields->building, sizeof fields->building, "42", 2);
    return failed;
}
