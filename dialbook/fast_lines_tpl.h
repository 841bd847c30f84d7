/* fast_lines_tpl.h - the fast way of packing ordinary lines, included once for each way of finding
 * a line's bytes: the file that includes it names the function it defines (FAST_LINES_NAME) and the
 * block scan it uses (FAST_LINES_SCAN, from byte_masks.h). Every function here has internal linkage,
 * so the two builds never mix, even where one was compiled for SSE2 and the other not.
 *
 * A line that ends within 128 bytes with no NUL is packed from masks of where its separators stand:
 * each field's bytes go over in one fixed-size copy, and the record's shape and filters stay in
 * locals until the record is whole. It gives the records that the byte-by-byte way in
 * database_parser.cpp gives; a differential test and a fuzz target hold it to that.
 */
#include <string.h>

namespace {

/* Bits 0 to n - 1. */
inline uint64_t BitsBelow(size_t n)
{
    return n >= 64 ? ~(uint64_t)0 : ((uint64_t)1 << n) - 1;
}

/* One record as the fast way builds it: its shape and filters stay in locals until the record is
 * whole, then go to the segment's arrays at once. A store of text bytes may alias any memory, so the
 * compiler would reload from memory whatever they might have changed; these locals it need not. */
struct FastRecord {
    RecordShape shape;
    uint16_t    filters[RECORD_FIELDS];
};

/* Packs the text of field k, length bytes at from (cut to its longest text), into the record's text,
 * which has end bytes so far; returns its new length. The caller sets the filter. */
inline size_t PackField(FastRecord *r, int k, char *record, size_t end, const char *from, size_t length)
{
    if (length > kFieldSpecs[k].longest)
        length = kFieldSpecs[k].longest;
    char block[32];   /* a fixed-size copy; both buffers have slack for the bytes past the text */
    memcpy(block, from, sizeof block);
    memcpy(record + end, block, sizeof block);
    end += length;
    r->shape.end[k] = (uint8_t)end;
    return end;
}

/* PackField, with the filter of a field the line ends early or lacks. */
inline size_t PackFilteredField(FastRecord *r, const uint16_t parts[4][256], int k, char *record, size_t end,
                                const char *from, size_t length)
{
    r->filters[k] = FieldFilter(parts, k, from, length);
    return PackField(r, k, record, end, from, length);
}

/* The segment's arrays as the fast way holds them: copies of its pointers and count, which text
 * stores cannot change, so nothing is loaded again after each record's text. */
struct FastSink {
    char        *text;                       /* the segment's text block */
    RecordShape *shapes;
    uint16_t    *filters[RECORD_FIELDS];
    uint32_t    *block_offsets;
    size_t       count;                      /* records stored, the segment's and these */
    size_t       capacity;                   /* records the arrays have room for */
};

/* Takes the segment's arrays and count into sink. */
inline void OpenSink(FastSink *sink, const DatabaseSegment *segment)
{
    sink->text = segment->text;
    sink->shapes = segment->shapes;
    for (int k = 0; k < RECORD_FIELDS; k++)
        sink->filters[k] = segment->filters[k];
    sink->block_offsets = segment->block_offsets;
    sink->count = segment->count;
    sink->capacity = segment->capacity;
}

/* Stores a finished record, its text starting at record, as the sink's next record. */
inline void StoreFastRecord(FastSink *sink, const FastRecord *r, const char *record)
{
    size_t i = sink->count++;
    for (int k = 0; k < RECORD_FIELDS; k++)
        sink->filters[k][i] = r->filters[k];
    sink->shapes[i] = r->shape;
    NoteBlockOffset(sink->block_offsets, i, (size_t)(record - sink->text));
}

/* Packs a line of fewer than 64 bytes with at least seven separators, whose bits are separators,
 * and whose text is text_length bytes: straight code, each field's number known when compiled. Returns
 * the new end of the record's text, or NULL when the line has fewer separators. */
inline char *PackEightFields(FastRecord *r, const uint16_t parts[4][256], char *record, const char *line,
                             size_t text_length, uint64_t separators)
{
    size_t stop[RECORD_FIELDS];   /* where each field ends in the line */
    BitWalk walk;
    StartBitWalk(&walk, separators);
    unsigned bit;
#pragma GCC unroll 8
    for (int k = 0; k < RECORD_FIELDS - 1; k++) {
        if (!NextBit(&walk, &bit))
            return NULL;
        stop[k] = bit;
    }
    stop[RECORD_FIELDS - 1] = NextBit(&walk, &bit) ? bit : text_length;
    size_t end = 0;
#pragma GCC unroll 8
    for (int k = 0; k < RECORD_FIELDS; k++) {
        size_t start = k == 0 ? 0 : stop[k - 1] + 1;
        r->filters[k] = FieldFilter(parts, k, line + start, stop[k] - start);
        end = PackField(r, k, record, end, line + start, stop[k] - start);
    }
    return record + end;
}

/* Packs a line of up to 128 bytes, whose text is text_length bytes, field by field from the separators
 * of its two blocks; fields it lacks are empty. Returns the new end of the record's text. */
char *PackFieldsInTurn(FastRecord *r, const uint16_t parts[4][256], char *record, const char *line,
                       size_t text_length, const uint64_t separators[2])
{
    size_t end = 0;
    const char *from = line;
    int k = 0;
    for (int half = 0; half < 2 && k < RECORD_FIELDS; half++) {
        BitWalk walk;
        StartBitWalk(&walk, separators[half]);
        for (unsigned bit; k < RECORD_FIELDS && NextBit(&walk, &bit); k++) {
            const char *at = line + 64 * half + bit;
            end = PackFilteredField(r, parts, k, record, end, from, (size_t)(at - from));
            from = at + 1;
        }
    }
    if (k < RECORD_FIELDS)
        end = PackFilteredField(r, parts, k++, record, end, from, (size_t)(line + text_length - from));
    for (; k < RECORD_FIELDS; k++)
        end = PackFilteredField(r, parts, k, record, end, from, 0);
    return record + end;
}

/* Packs a whole ordinary line at out as the sink's next record, one that ends within 128 bytes with
 * no NUL and starts with text; returns the start of the next line, or NULL to leave the line to the
 * byte-by-byte way. */
inline const char *PackLineFast(FastSink *sink, const Packer *pk, const char *line, char **out)
{
    if ((unsigned char)*line <= ' ')
        return NULL;   /* perhaps blank (spaces, tabs, CRs): the byte-by-byte way decides */
    BlockMasks low, high = {0, 0, 0};
    FAST_LINES_SCAN(line, &low);
    size_t length;
    if (low.newlines != 0) {
        length = LowestBit64(low.newlines);
    } else {
        FAST_LINES_SCAN(line + 64, &high);
        if (high.newlines == 0)
            return NULL;
        length = 64 + LowestBit64(high.newlines);
    }
    if ((low.nuls & BitsBelow(length)) != 0 || (length > 64 && (high.nuls & BitsBelow(length - 64)) != 0))
        return NULL;
    /* A CR right before the LF is not text. It is not a separator either, so only the line's last
     * field can end with it; dropping it shortens that field alone. The line has a byte before its
     * LF, since its first byte is above a space. */
    size_t text_length = length - (line[length - 1] == '\r');
    FastRecord r;
    char *record = *out;
    char *end = length < 64
                    ? PackEightFields(&r, pk->filter_parts, record, line, text_length, low.separators & BitsBelow(length))
                    : NULL;
    if (end == NULL) {
        uint64_t separators[2] = {low.separators & BitsBelow(length),
                                  length > 64 ? high.separators & BitsBelow(length - 64) : 0};
        end = PackFieldsInTurn(&r, pk->filter_parts, record, line, text_length, separators);
    }
    StoreFastRecord(sink, &r, record);
    *out = end;
    return line + length + 1;
}

} // namespace

/* Packs ordinary lines while 128 bytes remain, starting a new segment whenever one is full. */
const char *FAST_LINES_NAME(Packer *pk, const char *p, const char *end)
{
    for (;;) {
        FastSink sink;
        OpenSink(&sink, pk->segment);
        char *out = pk->out;
        const char *switch_at = pk->switch_at;
        int full = 0;
        while (end - p >= 128) {
            if (sink.count == sink.capacity || out > switch_at) {
                full = 1;
                break;
            }
            const char *next = PackLineFast(&sink, pk, p, &out);
            if (next == NULL)
                break;
            p = next;
        }
        pk->segment->count = sink.count;
        pk->out = out;
        StartLine(pk);
        if (!full)
            return p;
        if (!MakeRoomForRecord(pk, p))
            return NULL;
    }
}
