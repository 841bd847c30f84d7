/* database_parser.cpp - turning a database file's bytes into records.
 * A line ends with LF or CR LF; every non-blank line is a record; fields are cut at the separator,
 * at a NUL byte and at their longest text; text after the eighth field is ignored. An ordinary
 * line is packed at once by the fast way (fast_lines.h); anything else, and a line cut by the end
 * of a chunk, goes a byte at a time through the same steps here, the rule's plain statement, which
 * a differential test and a fuzz target hold the fast way to. Records go into segments sized from
 * what the file has shown so far; a new one starts when the last is full.
 * Defines BeginPacking, PackChunk, FinishPacking and MakeRoomForRecord.
 */
#include "database_parser.h"
#include "fast_lines.h"
#include "sse2_choice.h"
#include "library_switches.h"

#include <limits.h>
#include <string.h>

/* Bytes of the first chunk that size the first segment: a few hundred lines tell as much as the chunk. */
#define FIRST_SAMPLE_BYTES 16384

/* Records a segment is first sized for beyond the estimate, so that it seldom fills early. */
#define SEGMENT_SPARE_RECORDS 64

/* ---------------------------------------------------------------- segments */

/* Where p in the chunk stands in the file. */
static uint64_t FileOffset(const Packer *pk, const char *p)
{
    return pk->chunk_offset + (uint64_t)(p - pk->chunk);
}

/* Records that left bytes of the file likely hold, by what the file has shown so far, with a
 * thirty-second to spare; never more than max. */
static size_t EstimateRecords(const Packer *pk, uint64_t left, size_t max)
{
    double records = (double)left * (double)pk->sample_records / (double)pk->sample_bytes;
    records = records * 33 / 32 + SEGMENT_SPARE_RECORDS;
    return records < (double)max ? (size_t)records : max;
}

/* Closes the segment being filled, if any, and starts another for the records from p in the chunk
 * on; 1, or 0 when memory runs out. */
static int NextSegment(Packer *pk, const char *p)
{
    uint64_t offset = FileOffset(pk, p);
    uint64_t left = pk->end_offset > offset ? pk->end_offset - offset : RECORD_TEXT_MAX;   /* bounds their text */
    size_t first = 0;
    if (pk->segment != NULL) {
        size_t used = (size_t)(pk->out - pk->segment->text);
        pk->text_bytes += used;
        first = pk->segment->first + pk->segment->count;
        CloseSegment(pk->segment, used);
        if (first > (size_t)INT_MAX)
            return 0;   /* the count must fit the caller's int */
        if (first >= 1024) {   /* what the file showed until now tells more than its first chunk did */
            pk->sample_bytes = offset - pk->start;
            pk->sample_records = first;
        }
    }
    size_t text_max = g_switches.segment_text_max != 0 ? g_switches.segment_text_max : SEGMENT_TEXT_MAX;
    size_t records_max = g_switches.segment_records_max != 0 ? g_switches.segment_records_max : SEGMENT_RECORDS_MAX;
    int holds_rest = left <= text_max;   /* the rest's text is never longer than its bytes */
    size_t text_room = holds_rest ? (size_t)left : text_max;
    if (text_room < RECORD_TEXT_MAX)
        text_room = RECORD_TEXT_MAX;
    /* A full text block covers more of the file than its size: packing drops separators and line ends. */
    uint64_t covered = left;
    if (!holds_rest) {
        double bytes_per_text = pk->text_bytes > 0 ? (double)(offset - pk->start) / (double)pk->text_bytes
                                                   : (double)pk->sample_bytes / (double)pk->sample_text;
        double bytes = (double)text_room * bytes_per_text;
        covered = bytes < (double)left ? (uint64_t)bytes : left;
    }
    pk->segment = AddSegment(pk->list, first, EstimateRecords(pk, covered, records_max), text_room);
    if (pk->segment == NULL)
        return 0;
    pk->out = pk->record = pk->segment->text;
    pk->switch_at = pk->segment->text + text_room - (holds_rest ? 0 : RECORD_TEXT_MAX);
    return 1;
}

int MakeRoomForRecord(Packer *pk, const char *p)
{
    if (pk->segment->count < pk->segment->capacity && pk->out <= pk->switch_at)
        return 1;
    if (!NextSegment(pk, p))
        return 0;
    StartLine(pk);
    return 1;
}

/* ---------------------------------------------------------------- byte by byte */

/* 1 for the bytes that end a field's text: the separator, the line end and NUL. */
static inline int IsSpecial(char c)
{
    return c == FIELD_SEPARATOR || c == '\n' || c == '\0';
}

/* Appends up to length bytes at from to the open field's text, no more than its longest text. */
static inline void CopyFieldText(Packer *pk, const char *from, size_t length)
{
    size_t field_start = pk->field == 0 ? 0 : pk->shape.end[pk->field - 1];
    size_t kept = (size_t)(pk->out - pk->record) - field_start;
    size_t room = kFieldSpecs[pk->field].longest - kept;
    if (length > room)
        length = room;
    if (length == 0)
        return;
    char block[32];   /* a fixed-size copy; both buffers have slack for the bytes past the text */
    memcpy(block, from, sizeof block);
    memcpy(pk->out, block, sizeof block);
    pk->out += length;
}

/* Adds the file bytes [from, to) to the open field, noting whether the line is still blank. */
static void AddFieldText(Packer *pk, const char *from, const char *to)
{
    if (pk->blank && pk->field == 0)
        for (const char *p = from; p < to && pk->blank; p++)
            pk->blank = *p == ' ' || *p == '\t' || *p == '\r';
    pk->raw += (size_t)(to - from);
    CopyFieldText(pk, from, (size_t)(to - from));
}

/* Closes the open field where its kept text ends. */
static inline void CloseField(Packer *pk)
{
    int k = pk->field;
    size_t start = k == 0 ? 0 : pk->shape.end[k - 1];
    size_t end = (size_t)(pk->out - pk->record);
    pk->shape.end[k] = (uint8_t)end;
    pk->filters[k] = FieldFilter(pk->filter_parts, k, pk->record + start, end - start);
    pk->field = k + 1;
    pk->raw = 0;
    pk->cut = 0;
}

/* Ends the line: a CR right before the line end is not text; a blank line is dropped. When the next
 * record starts at next (NULL: none does), it gets room first. 1, or 0 when memory runs out. */
static int EndLine(Packer *pk, const char *next)
{
    if (pk->field < RECORD_FIELDS && !pk->cut && pk->raw <= kFieldSpecs[pk->field].longest && pk->out > pk->record &&
        pk->out[-1] == '\r' && pk->raw > 0)
        pk->out--;
    if (pk->field == 0 && pk->blank) {
        pk->out = pk->record;
        StartLine(pk);
        return 1;
    }
    while (pk->field < RECORD_FIELDS)
        CloseField(pk);
    StoreRecord(pk->segment, &pk->shape, pk->filters, (size_t)(pk->record - pk->segment->text));
    StartLine(pk);
    return next == NULL || MakeRoomForRecord(pk, next);
}

/* Acts on one separator, line end or NUL at at; 0 when memory runs out. */
static int HandleSpecial(Packer *pk, const char *at, const char **field_from)
{
    char c = *at;
    if (c != '\n')
        pk->blank = 0;
    if (!pk->cut && pk->field < RECORD_FIELDS)
        AddFieldText(pk, *field_from, at);
    *field_from = at + 1;
    if (c == '\0') {
        pk->cut = pk->field < RECORD_FIELDS;
        return 1;
    }
    if (c == FIELD_SEPARATOR) {
        if (pk->field < RECORD_FIELDS)
            CloseField(pk);
        return 1;
    }
    return EndLine(pk, at + 1);
}

/* Packs from p through the next line end, or to end, a byte at a time; returns where it stopped, or
 * NULL when memory runs out. */
static const char *PackBytes(Packer *pk, const char *p, const char *end)
{
    const char *field_from = p;
    for (; p < end; p++) {
        if (!IsSpecial(*p))
            continue;
        int line_end = *p == '\n';
        if (!HandleSpecial(pk, p, &field_from))
            return NULL;
        if (line_end)
            return p + 1;
    }
    if (!pk->cut && pk->field < RECORD_FIELDS)
        AddFieldText(pk, field_from, end);   /* the field goes on in the next chunk */
    return end;
}

/* ---------------------------------------------------------------- the chunks */

int BeginPacking(Packer *pk, SegmentList *list, const unsigned char fold[256], uint64_t start, uint64_t end_offset,
                 const char *first, size_t first_length)
{
    memset(pk, 0, sizeof *pk);
    pk->list = list;
    pk->pack_lines = ChooseFastLines();
    for (int b = 0; b < 256; b++) {
        pk->filter_parts[0][b] = HeadFilterOfBytes(fold[b], 0, 0);
        pk->filter_parts[1][b] = HeadFilterOfBytes(0, fold[b], 0);
        pk->filter_parts[2][b] = HeadFilterOfBytes(0, 0, fold[b]);
        pk->filter_parts[3][b] = EndsFilterOfBytes(0, fold[b], 1) & ENDS_LAST_BITS;
    }
    pk->chunk = first;
    pk->chunk_offset = start;
    pk->start = start;
    pk->end_offset = end_offset;
    /* The start of the first chunk sizes the first segment: its lines, and the bytes of text they keep. */
    uint64_t dropped = 0;
    size_t sample = first_length < FIRST_SAMPLE_BYTES ? first_length : FIRST_SAMPLE_BYTES;
    pk->sample_records = 1;
    TallySample(first, sample, &pk->sample_records, &dropped);
    pk->sample_bytes = sample > 0 ? sample : 1;
    pk->sample_text = sample > dropped ? sample - dropped : 1;
    if (!NextSegment(pk, first))
        return 0;
    StartLine(pk);
    return 1;
}

int PackChunk(Packer *pk, const char *chunk, size_t length, uint64_t offset)
{
    pk->chunk = chunk;
    pk->chunk_offset = offset;
    const char *end = chunk + length;
    for (const char *p = chunk; p < end;) {
        if (pk->field == 0 && pk->raw == 0 && !pk->cut) {
            if ((p = pk->pack_lines(pk, p, end)) == NULL)
                return 0;
            if (p == end)
                break;
        }
        if ((p = PackBytes(pk, p, end)) == NULL)
            return 0;
    }
    if (length > 0)
        pk->line_open = end[-1] != '\n';
    return 1;
}

int FinishPacking(Packer *pk)
{
    if (pk->line_open) {
        pk->line_open = 0;
        if (!EndLine(pk, NULL))
            return 0;
    }
    size_t used = (size_t)(pk->out - pk->segment->text);
    pk->text_bytes += used;
    CloseSegment(pk->segment, used);
    return 1;
}
