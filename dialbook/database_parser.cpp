/* database_parser.cpp - turning a database file's bytes into records.
 * A line ends with LF or CR LF; every non-blank line is a record; fields are cut at ';', at a
 * NUL byte and at their longest text; text after the eighth field is ignored. An ordinary
 * line is packed at once from masks of where its separators stand; anything else, and a line
 * cut by the end of a chunk, goes byte by byte through the same steps.
 * Defines BeginPacking, PackChunk and FinishPacking.
 */
#include "database_parser.h"
#include "byte_masks.h"

#include <string.h>

static const bool kLittleEndian = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;
static const uint64_t kLows = 0x7F7F7F7F7F7F7F7Full;
static const uint64_t kOnes = 0x0101010101010101ull;

/* High bit set in exactly the bytes of x that are zero. */
static inline uint64_t ZeroBytes(uint64_t x)
{
    return ~(((x & kLows) + kLows) | x | kLows);
}

/* High bit set in exactly the bytes of word that are ';', '\n' or NUL. */
static inline uint64_t SpecialBytes(uint64_t word)
{
    return ZeroBytes(word ^ (kOnes * ';')) | ZeroBytes(word ^ (kOnes * '\n')) | ZeroBytes(word);
}

static inline int IsSpecial(char c)
{
    return c == ';' || c == '\n' || c == '\0';
}

/* Starts a new line: no field closed yet. */
static void StartLine(Packer *pk)
{
    pk->record = pk->out;
    pk->field = 0;
    pk->raw = 0;
    pk->cut = 0;
    pk->blank = 1;
}

void BeginPacking(Packer *pk, DatabasePart *part, const unsigned char fold[256])
{
    memset(pk, 0, sizeof *pk);
    pk->part = part;
    pk->fold = fold;
    memcpy(pk->fold_stop, fold, sizeof pk->fold_stop);
    pk->fold_stop[';'] = 0;
    pk->out = part->text;
    StartLine(pk);
}

/* Appends up to length bytes at from to the open field's text, no more than its longest text. */
static inline void CopyFieldText(Packer *pk, const char *from, size_t length)
{
    size_t field_start = pk->field == 0 ? 0 : pk->shape.end[pk->field - 1];
    size_t kept = (size_t)(pk->out - pk->record) - field_start;
    size_t room = kFieldLongest[pk->field] - kept;
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
    if (k < FILTERED_FIELDS) {
        const unsigned char *text = (const unsigned char *)pk->record + start;
        unsigned first = end > start ? pk->fold[text[0]] : 0;
        unsigned second = end > start + 1 ? pk->fold[text[1]] : 0;
        pk->filters[k] = (uint16_t)(first | second << 8);
    }
    pk->field = k + 1;
    pk->raw = 0;
    pk->cut = 0;
}

/* Ends the line: a CR right before the line end is not text; a blank line is dropped. */
static int EndLine(Packer *pk)
{
    if (pk->field < RECORD_FIELDS && !pk->cut && pk->raw <= kFieldLongest[pk->field] && pk->out > pk->record &&
        pk->out[-1] == '\r' && pk->raw > 0)
        pk->out--;
    if (pk->field == 0 && pk->blank) {
        pk->out = pk->record;
        StartLine(pk);
        return 1;
    }
    while (pk->field < RECORD_FIELDS)
        CloseField(pk);
    int stored = StoreRecord(pk->part, &pk->shape, pk->filters, (size_t)(pk->record - pk->part->text));
    StartLine(pk);
    return stored;
}

/* Acts on one ';', '\n' or NUL at at; 0 when the record cannot be stored. */
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
    if (c == ';') {
        if (pk->field < RECORD_FIELDS)
            CloseField(pk);
        return 1;
    }
    return EndLine(pk);
}

/* Bits 0 to n - 1. */
static inline uint64_t BitsBelow(size_t n)
{
    return n >= 64 ? ~(uint64_t)0 : ((uint64_t)1 << n) - 1;
}

/* What a filter holds for a field of length bytes at text: its first two folded bytes, 0 where it has none. */
static inline uint16_t FilterOf(const unsigned char fold[256], const char *text, size_t length)
{
    static const uint16_t kKept[3] = {0x0000, 0x00FF, 0xFFFF};
    uint16_t both = (uint16_t)(fold[(unsigned char)text[0]] | fold[(unsigned char)text[1]] << 8);
    return both & kKept[length < 2 ? length : 2];
}

/* The same for a field that a ';' ends in the line, with fold_stop folding ';' to 0: no field holds a
 * ';', so the bytes past a short field's text give the zeros themselves, once an empty field reads its
 * ';' twice. No mask by length. */
static inline uint16_t FilterBeforeSeparator(const unsigned char fold_stop[256], const char *text, size_t length)
{
    return (uint16_t)(fold_stop[(unsigned char)text[0]] | fold_stop[(unsigned char)text[length != 0]] << 8);
}

/* One record as the fast path builds it: its shape and filters stay in locals until the record is
 * whole, then go to the part's arrays at once. Text stores may alias anything; locals they cannot. */
typedef struct FastRecord {
    RecordShape shape;
    uint16_t    filters[FILTERED_FIELDS];
} FastRecord;

/* Packs the text of field k, length bytes at from (cut to its longest text), into the record's text,
 * which has end bytes so far; returns its new length. The caller sets the filter. */
static inline size_t PackField(FastRecord *r, int k, char *record, size_t end, const char *from, size_t length)
{
    if (length > kFieldLongest[k])
        length = kFieldLongest[k];
    char block[32];   /* a fixed-size copy; both buffers have slack for the bytes past the text */
    memcpy(block, from, sizeof block);
    memcpy(record + end, block, sizeof block);
    end += length;
    r->shape.end[k] = (uint8_t)end;
    return end;
}

/* PackField, with the filter of a field the line ends early or lacks. */
static inline size_t PackFilteredField(FastRecord *r, const unsigned char fold[256], int k, char *record, size_t end,
                                       const char *from, size_t length)
{
    if (k < FILTERED_FIELDS)
        r->filters[k] = FilterOf(fold, from, length < kFieldLongest[k] ? length : kFieldLongest[k]);
    return PackField(r, k, record, end, from, length);
}

/* The part's arrays as the fast path holds them: copies of the part's pointers and count, which text
 * stores cannot change, so nothing is loaded again after each record's text. */
typedef struct FastSink {
    char        *text;                       /* the part's text block */
    RecordShape *shapes;
    uint16_t    *filters[FILTERED_FIELDS];
    size_t      *block_offsets;
    size_t       count;                      /* records stored, the part's and these */
    size_t       capacity;                   /* records the arrays have room for */
} FastSink;

/* Takes the part's arrays and count into sink. */
static inline void OpenSink(FastSink *sink, const DatabasePart *part)
{
    sink->text = part->text;
    sink->shapes = part->shapes;
    for (int k = 0; k < FILTERED_FIELDS; k++)
        sink->filters[k] = part->filters[k];
    sink->block_offsets = part->block_offsets;
    sink->count = part->count;
    sink->capacity = part->capacity;
}

/* Stores a finished record, its text starting at record, as the sink's next record. */
static inline void StoreFastRecord(FastSink *sink, const FastRecord *r, const char *record)
{
    size_t i = sink->count++;
    for (int k = 0; k < FILTERED_FIELDS; k++)
        sink->filters[k][i] = r->filters[k];
    sink->shapes[i] = r->shape;
    NoteBlockOffset(sink->block_offsets, i, (size_t)(record - sink->text));
}

/* Packs a line of fewer than 64 bytes with at least seven separators, whose bits are separators,
 * and whose text ends at text_end: straight code, each field's number known when compiled. Returns
 * the new end of the record's text, or NULL when the line has fewer separators. */
static inline char *PackEightFields(FastRecord *r, const unsigned char fold_stop[256], char *record,
                                    const char *line, size_t text_end, uint64_t separators)
{
    size_t stop[RECORD_FIELDS];   /* where each field ends in the line */
    for (int k = 0; k < RECORD_FIELDS - 1; k++) {
        if (separators == 0)
            return NULL;
        stop[k] = (unsigned)__builtin_ctzll(separators);
        separators &= separators - 1;
    }
    stop[RECORD_FIELDS - 1] = separators != 0 ? (unsigned)__builtin_ctzll(separators) : text_end;
    size_t end = 0;
    for (int k = 0; k < RECORD_FIELDS; k++) {
        size_t start = k == 0 ? 0 : stop[k - 1] + 1;
        if (k < FILTERED_FIELDS)
            r->filters[k] = FilterBeforeSeparator(fold_stop, line + start, stop[k] - start);
        end = PackField(r, k, record, end, line + start, stop[k] - start);
    }
    return record + end;
}

/* Packs a line of up to 128 bytes, whose text ends at text_end, field by field from the separators
 * of its two blocks; fields it lacks are empty. Returns the new end of the record's text. */
static char *PackFieldsInTurn(FastRecord *r, const unsigned char fold[256], char *record, const char *line,
                              size_t text_end, const uint64_t separators[2])
{
    size_t end = 0;
    const char *from = line;
    int k = 0;
    for (int half = 0; half < 2 && k < RECORD_FIELDS; half++) {
        for (uint64_t bits = separators[half]; bits != 0 && k < RECORD_FIELDS; bits &= bits - 1, k++) {
            const char *at = line + 64 * half + __builtin_ctzll(bits);
            end = PackFilteredField(r, fold, k, record, end, from, (size_t)(at - from));
            from = at + 1;
        }
    }
    if (k < RECORD_FIELDS)
        end = PackFilteredField(r, fold, k++, record, end, from, (size_t)(line + text_end - from));
    for (; k < RECORD_FIELDS; k++)
        end = PackFilteredField(r, fold, k, record, end, from, 0);
    return record + end;
}

/* Packs a whole ordinary line at out as the sink's next record, one that ends within 128 bytes with
 * no NUL and starts with text; returns the start of the next line, or NULL to leave the line to PackBytes. */
static inline const char *PackLineFast(FastSink *sink, const Packer *pk, const char *line, char **out)
{
    if ((unsigned char)*line <= ' ')
        return NULL;   /* perhaps blank (spaces, tabs, CRs): PackBytes decides */
    BlockMasks low, high = {0, 0, 0};
    ScanBlock(line, &low);
    size_t length;
    if (low.newlines != 0) {
        length = (size_t)__builtin_ctzll(low.newlines);
    } else {
        ScanBlock(line + 64, &high);
        if (high.newlines == 0)
            return NULL;
        length = 64 + (size_t)__builtin_ctzll(high.newlines);
    }
    if ((low.nuls & BitsBelow(length)) != 0 || (length > 64 && (high.nuls & BitsBelow(length - 64)) != 0))
        return NULL;
    /* A CR right before the LF is no text; it is no separator, so it could only end the line's last
     * field. The line has a byte before its LF: its first byte is above a space. */
    size_t text_end = length - (line[length - 1] == '\r');
    FastRecord r;
    char *record = *out;
    char *end = length < 64
                    ? PackEightFields(&r, pk->fold_stop, record, line, text_end, low.separators & BitsBelow(length))
                    : NULL;
    if (end == NULL) {
        uint64_t separators[2] = {low.separators & BitsBelow(length),
                                  length > 64 ? high.separators & BitsBelow(length - 64) : 0};
        end = PackFieldsInTurn(&r, pk->fold, record, line, text_end, separators);
    }
    StoreFastRecord(sink, &r, record);
    *out = end;
    return line + length + 1;
}

/* Packs ordinary lines from p, the start of a line, while 128 bytes remain past it; returns where it
 * stopped: the first line it leaves to PackBytes. Sets *stored to 0 when a record cannot be stored. */
static const char *PackLinesFast(Packer *pk, const char *p, const char *end, int *stored)
{
    DatabasePart *part = pk->part;
    char *out = pk->out;
    FastSink sink;
    OpenSink(&sink, part);
    while (end - p >= 128) {
        if (sink.count >= sink.capacity) {
            part->count = sink.count;
            if (!ReserveRecord(part)) {
                *stored = 0;
                break;
            }
            OpenSink(&sink, part);
        }
        const char *next = PackLineFast(&sink, pk, p, &out);
        if (next == NULL)
            break;
        p = next;
    }
    part->count = sink.count;
    pk->out = out;
    StartLine(pk);
    return p;
}

/* Packs from p through the next line end, or to end; returns where it stopped, or NULL when a record cannot be stored. */
static const char *PackBytes(Packer *pk, const char *p, const char *end)
{
    const char *field_from = p;
    for (; p < end; p += 8) {
        uint64_t hits = 0;
        if (kLittleEndian) {
            uint64_t word;
            memcpy(&word, p, 8);
            hits = SpecialBytes(word);
            if (end - p < 8)
                hits &= ~(uint64_t)0 >> (64 - 8 * (end - p));
        } else {
            for (int i = 0; i < 8 && p + i < end; i++)
                if (IsSpecial(p[i]))
                    hits |= (uint64_t)0x80 << (8 * i);
        }
        for (; hits != 0; hits &= hits - 1) {
            const char *at = p + (__builtin_ctzll(hits) >> 3);
            int line_end = *at == '\n';
            if (!HandleSpecial(pk, at, &field_from))
                return NULL;
            if (line_end)
                return at + 1;
        }
    }
    if (!pk->cut && pk->field < RECORD_FIELDS)
        AddFieldText(pk, field_from, end);   /* the field goes on in the next chunk */
    return end;
}

int PackChunk(Packer *pk, const char *chunk, size_t length)
{
    const char *end = chunk + length;
    for (const char *p = chunk; p < end;) {
        if (pk->field == 0 && pk->raw == 0 && !pk->cut) {
            int stored = 1;
            p = PackLinesFast(pk, p, end, &stored);
            if (!stored)
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
    if (!pk->line_open)
        return 1;
    pk->line_open = 0;
    return EndLine(pk);
}
