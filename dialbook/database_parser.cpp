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

/* The set bits of x, counted in the word itself: the processors the builds target may lack a
 * counting instruction, and the compiler's fallback is a call per word. */
static inline int BitCount(uint64_t x)
{
    x = x - ((x >> 1) & 0x5555555555555555ull);
    x = (x & 0x3333333333333333ull) + ((x >> 2) & 0x3333333333333333ull);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0Full;
    return (int)((x * kOnes) >> 56);
}

/* What a filter holds for a field of length bytes at text: its first two folded bytes, 0 where it has none. */
static inline uint16_t FilterOf(const unsigned char fold[256], const char *text, size_t length)
{
    static const uint16_t kKept[3] = {0x0000, 0x00FF, 0xFFFF};
    uint16_t both = (uint16_t)(fold[(unsigned char)text[0]] | fold[(unsigned char)text[1]] << 8);
    return both & kKept[length < 2 ? length : 2];
}

/* Packs field k of record i from length bytes at from to out; returns the new end of the record's text. */
static inline char *PackField(DatabasePart *part, const unsigned char fold[256], size_t i, int k, const char *record,
                              char *out, const char *from, size_t length)
{
    if (length > kFieldLongest[k])
        length = kFieldLongest[k];
    char block[32];   /* a fixed-size copy; both buffers have slack for the bytes past the text */
    memcpy(block, from, sizeof block);
    memcpy(out, block, sizeof block);
    if (k < FILTERED_FIELDS)
        part->filters[k][i] = FilterOf(fold, out, length);
    out += length;
    part->shapes[i].end[k] = (uint8_t)(out - record);
    return out;
}

/* The next separator of a line, from the first block's bits while they last, then the second's. */
static inline const char *NextSeparator(const char *line, uint64_t *first, uint64_t *second)
{
    const char *at;
    if (*first != 0) {
        at = line + __builtin_ctzll(*first);
        *first &= *first - 1;
    } else {
        at = line + 64 + __builtin_ctzll(*second);
        *second &= *second - 1;
    }
    return at;
}

/* Packs a line that has all eight fields: straight code, each field's number known when compiled. */
static char *PackEightFields(DatabasePart *part, const unsigned char fold[256], size_t i, char *record,
                             const char *line, size_t length, uint64_t first, uint64_t second)
{
    const char *s[RECORD_FIELDS + 1];
    s[0] = line - 1;
    for (int k = 1; k < RECORD_FIELDS; k++)
        s[k] = NextSeparator(line, &first, &second);
    if ((first | second) != 0) {
        s[RECORD_FIELDS] = NextSeparator(line, &first, &second);
    } else {
        s[RECORD_FIELDS] = line + length;
        if (s[RECORD_FIELDS] > s[RECORD_FIELDS - 1] + 1 && s[RECORD_FIELDS][-1] == '\r')
            s[RECORD_FIELDS]--;   /* CR LF ends the line */
    }
    char *out = record;
    out = PackField(part, fold, i, 0, record, out, s[0] + 1, (size_t)(s[1] - s[0] - 1));
    out = PackField(part, fold, i, 1, record, out, s[1] + 1, (size_t)(s[2] - s[1] - 1));
    out = PackField(part, fold, i, 2, record, out, s[2] + 1, (size_t)(s[3] - s[2] - 1));
    out = PackField(part, fold, i, 3, record, out, s[3] + 1, (size_t)(s[4] - s[3] - 1));
    out = PackField(part, fold, i, 4, record, out, s[4] + 1, (size_t)(s[5] - s[4] - 1));
    out = PackField(part, fold, i, 5, record, out, s[5] + 1, (size_t)(s[6] - s[5] - 1));
    out = PackField(part, fold, i, 6, record, out, s[6] + 1, (size_t)(s[7] - s[6] - 1));
    return PackField(part, fold, i, 7, record, out, s[7] + 1, (size_t)(s[8] - s[7] - 1));
}

/* Packs a whole ordinary line, one that ends within 128 bytes with no NUL and starts with text;
 * returns the start of the next line, or NULL to leave the line to PackBytes (also when the
 * record cannot be stored, with *stored 0). */
static const char *PackLineFast(Packer *pk, const char *line, int *stored)
{
    if (*line == ' ' || *line == '\t' || *line == '\r' || *line == '\n')
        return NULL;   /* perhaps blank: PackBytes decides */
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
    DatabasePart *part = pk->part;
    if (part->count >= part->capacity && !ReserveRecord(part)) {
        *stored = 0;
        return NULL;
    }
    size_t i = part->count;
    char *record = pk->out, *out = record;
    const char *from = line;
    int k = 0;
    uint64_t separators[2] = {low.separators & BitsBelow(length),
                              length > 64 ? high.separators & BitsBelow(length - 64) : 0};
    if (BitCount(separators[0]) + BitCount(separators[1]) >= RECORD_FIELDS - 1) {
        out = PackEightFields(part, pk->fold, i, record, line, length, separators[0], separators[1]);
        k = RECORD_FIELDS;
    }
    for (int half = 0; half < 2 && k < RECORD_FIELDS; half++) {
        for (uint64_t bits = separators[half]; bits != 0 && k < RECORD_FIELDS; bits &= bits - 1, k++) {
            const char *at = line + 64 * half + __builtin_ctzll(bits);
            out = PackField(part, pk->fold, i, k, record, out, from, (size_t)(at - from));
            from = at + 1;
        }
    }
    if (k < RECORD_FIELDS) {
        const char *stop = line + length;
        if (stop > from && stop[-1] == '\r')
            stop--;   /* CR LF ends the line */
        out = PackField(part, pk->fold, i, k++, record, out, from, (size_t)(stop - from));
    }
    for (; k < RECORD_FIELDS; k++)
        out = PackField(part, pk->fold, i, k, record, out, from, 0);
    CommitRecord(part, (size_t)(record - part->text));
    pk->out = out;
    StartLine(pk);
    return line + length + 1;
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
        const char *next = NULL;
        if (pk->field == 0 && pk->raw == 0 && !pk->cut && end - p >= 128) {
            int stored = 1;
            next = PackLineFast(pk, p, &stored);
            if (!stored)
                return 0;
        }
        if (next == NULL && (next = PackBytes(pk, p, end)) == NULL)
            return 0;
        p = next;
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
