/* database_search_tpl.h - walking the store for the next record that passes a key, included once
 * for each build: the file that includes it names the two functions it defines (FIND_NEXT_MATCH_NAME
 * and SAME_KEY_NAME) and sets SEARCH_SSE2 to 1 for the build with SSE2 instructions, 0 for the one
 * with none. When a key field fixes one of a field's first bytes, that field's filter column picks
 * the candidates and only they are read; otherwise every record is tested in turn.
 * The SSE2 build asks for the candidates' memory ahead of them with prefetch instructions, which a
 * processor without SSE lacks; the generic build asks for nothing ahead and scans the filter column
 * a record at a time. Every function here but the two named is static.
 */
#include <string.h>
#include "byte_masks.h"
#include "byte_presence.h"

#if SEARCH_SSE2
#include <emmintrin.h>
#define ASK_FOR(address) __builtin_prefetch(address)
#else
#define ASK_FOR(address) ((void)(address))
#endif

/* A record a search found: where its packed text and shape are. */
typedef struct FoundRecord {
    const char        *text;    /* the record's packed field bytes */
    const RecordShape *shape;   /* where its fields end */
} FoundRecord;

/* The segment that holds record number next, looked for first where the last one was found; the
 * number of segments when none does. */
static size_t SegmentOf(const SegmentList *list, size_t hint, size_t next)
{
    for (size_t s = hint; s < list->count && s <= hint + 1; s++)
        if (list->segments[s].first <= next && next < list->segments[s].first + list->segments[s].count)
            return s;
    size_t low = 0, high = list->count;   /* the first segment that ends past next */
    while (low < high) {
        size_t middle = low + (high - low) / 2;
        if (list->segments[middle].first + list->segments[middle].count <= next)
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

/* ---------------------------------------------------------------- filtered */

/* What the filter column must hold for the key's first bytes to be there. */
typedef struct FilterTest {
    const uint16_t *column;
    uint16_t        want;
    uint16_t        mask;
} FilterTest;

static FilterTest MakeFilterTest(const DatabaseSegment *segment, const KeyField *driver)
{
    FilterTest test;
    test.column = segment->filters[driver->field];
    test.mask = driver->filter_mask;
    test.want = driver->filter_want;
    return test;
}

/* Puts candidate i into the ring and asks for its shape and its block's text offset. */
static inline void AddCandidate(const DatabaseSegment *segment, SearchCursor *cursor, size_t i)
{
    cursor->index[cursor->gathered++ % CANDIDATE_RING] = (uint32_t)i;
    ASK_FOR(&segment->block_offsets[i >> BLOCK_SHIFT]);
    ASK_FOR(&segment->shapes[i]);
}

/* Finds candidates from the scan on until SHAPES_AHEAD of them wait untried. Where SSE2 is there the
 * column is compared eight filters at a time, since most keys pass a record in dozens and the scan is
 * most of a search, and every candidate of the eight goes into the ring at once: it has room for
 * SHAPES_AHEAD and eight more. */
static void Gather(const DatabaseSegment *segment, const FilterTest *test, SearchCursor *cursor)
{
    const uint16_t *column = test->column;
    size_t i = cursor->scan, count = segment->count, wanted = cursor->tried + SHAPES_AHEAD;
#if SEARCH_SSE2
    const __m128i mask = _mm_set1_epi16((short)test->mask);
    const __m128i want = _mm_set1_epi16((short)test->want);
    while (cursor->gathered < wanted && i + 8 <= count) {
        unsigned hits = 0;
        for (; i + 8 <= count; i += 8) {
            __m128i filters = _mm_loadu_si128((const __m128i *)(const void *)(column + i));
            hits = (unsigned)_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(filters, mask), want));
            if (hits != 0)
                break;
        }
        for (; hits != 0; hits &= hits - 1, hits &= hits - 1)   /* a filter that passes sets two bits */
            AddCandidate(segment, cursor, i + ((unsigned)__builtin_ctz(hits) >> 1));
        if (i + 8 <= count)
            i += 8;
    }
#endif
    for (; cursor->gathered < wanted && i < count; i++)
        if ((column[i] & test->mask) == test->want)
            AddCandidate(segment, cursor, i);
    cursor->scan = i;
}

/* Where record i of the segment starts in its text: its block's offset and the lengths of the
 * records before it in the block. With SSE2 the lengths are summed from the block's eight shapes, one
 * cache line, with no loop whose length changes from one candidate to the next. */
static inline size_t TextOffset(const DatabaseSegment *segment, size_t i)
{
#if SEARCH_SSE2
    /* The arrays hold whole blocks of shapes, from a cache line's start, so all eight are there to read. */
    const __m128i *shapes = (const __m128i *)(const void *)&segment->shapes[i >> BLOCK_SHIFT << BLOCK_SHIFT];
    const __m128i *before = (const __m128i *)(const void *)kLengthsBefore.rows[i & ((1u << BLOCK_SHIFT) - 1)];
    __m128i sum = _mm_setzero_si128();
    for (int part = 0; part < 4; part++) {
        __m128i lengths = _mm_and_si128(_mm_load_si128(shapes + part), _mm_load_si128(before + part));
        sum = _mm_add_epi64(sum, _mm_sad_epu8(lengths, _mm_setzero_si128()));
    }
    sum = _mm_add_epi64(sum, _mm_srli_si128(sum, 8));
    return segment->block_offsets[i >> BLOCK_SHIFT] + (size_t)_mm_cvtsi128_si32(sum);
#else
    return RecordOffset(segment, i);
#endif
}

/* Works out where the candidates up to TEXT_AHEAD past the one tried start and asks for the text the
 * key's tests read: from its first field to its last, and a machine word block past a field's start,
 * which a remembered pattern reads. Where most candidates fail, the rest of a record waits until it
 * is found; where a quarter or more of them match so far, each is asked for whole, as a match is read.
 * A candidate whose field is too short or too long for the key fails on its shape alone: NO_TEXT. */
static void LocateText(const DatabaseSegment *segment, const CompiledKey *key, SearchCursor *cursor)
{
    int whole = cursor->matched * 4 >= cursor->tried;
    int first = whole ? 0 : key->first_field, last = whole ? RECORD_FIELDS - 1 : key->last_field;
    const KeyField *driver = &key->fields[key->filter];
    while (cursor->located < cursor->gathered && cursor->located < cursor->tried + TEXT_AHEAD) {
        size_t slot = cursor->located++ % CANDIDATE_RING;
        const RecordShape *shape = &segment->shapes[cursor->index[slot]];
        if (!FieldLengthFits(driver, shape)) {
            cursor->offset[slot] = NO_TEXT;
            continue;
        }
        size_t at = TextOffset(segment, cursor->index[slot]);
        const char *text = segment->text + at;
        size_t from = first == 0 ? 0 : shape->end[first - 1];
        size_t to = shape->end[last] > from + 32 ? shape->end[last] : from + 32;
        cursor->offset[slot] = (uint32_t)at;
        ASK_FOR(text + from);
        ASK_FOR(text + to - 1);
    }
}

/* Tries the segment's candidates from the cursor on until MATCHES_AHEAD matches wait to be handed
 * out or no candidate is left, topping the ring up whenever half of what it holds ahead is tried. */
static void TryCandidates(const DatabaseSegment *segment, const unsigned char fold[256], CompiledKey *key,
                          SearchCursor *cursor)
{
    FilterTest test = MakeFilterTest(segment, &key->fields[key->filter]);
    size_t tried = cursor->tried, matched = cursor->matched;   /* kept here: the tests may write to the key */
    while (matched - cursor->returned < MATCHES_AHEAD) {
        if (cursor->located - tried < TEXT_AHEAD / 2) {
            cursor->tried = tried;
            cursor->matched = matched;
            Gather(segment, &test, cursor);
            LocateText(segment, key, cursor);
            if (tried == cursor->located)
                break;
        }
        size_t slot = tried++ % CANDIDATE_RING;
        uint32_t index = cursor->index[slot], offset = cursor->offset[slot];
        if (offset != NO_TEXT && RecordMatches(key, fold, segment->text + offset, &segment->shapes[index])) {
            cursor->match_index[matched % MATCHES_AHEAD] = index;
            cursor->match_offset[matched++ % MATCHES_AHEAD] = offset;
        }
    }
    cursor->tried = tried;
    cursor->matched = matched;
}

/* Starts the cursor's rings on the segment, from the cursor's next record. */
static inline void PrimeCursor(const DatabaseSegment *segment, SearchCursor *cursor)
{
    cursor->scan = cursor->next - segment->first;
    cursor->gathered = cursor->located = cursor->tried = cursor->matched = cursor->returned = 0;
    cursor->primed = 1;
}

/* Hands out the first of the matches that wait in the cursor: 1 with *found set and the cursor past
 * it, or 0 when none waits. */
static inline int HandOutWaiting(const DatabaseSegment *segment, SearchCursor *cursor, FoundRecord *found)
{
    if (cursor->returned == cursor->matched)
        return 0;
    size_t waiting = cursor->returned++ % MATCHES_AHEAD;
    found->text = segment->text + cursor->match_offset[waiting];
    found->shape = &segment->shapes[cursor->match_index[waiting]];
    cursor->next = segment->first + cursor->match_index[waiting] + 1;
    return 1;
}

/* Hands out the segment's next match from the cursor on, trying candidates when none waits; 1 with
 * *found set and the cursor past it, or 0 when the segment has no more. */
static int FindFiltered(const DatabaseSegment *segment, const unsigned char fold[256], CompiledKey *key,
                        SearchCursor *cursor, FoundRecord *found)
{
    if (!cursor->primed)
        PrimeCursor(segment, cursor);
    if (cursor->returned == cursor->matched)
        TryCandidates(segment, fold, key, cursor);
    return HandOutWaiting(segment, cursor, found);
}

/* ---------------------------------------------------------------- scanning for a run */

/* Record i of the segment, whose text and shape these are, is the match a scan found: 1, with
 * *found set and the cursor past it. */
static inline int HandOut(const DatabaseSegment *segment, size_t i, const char *record, const RecordShape *shape,
                          SearchCursor *cursor, FoundRecord *found)
{
    found->text = record;
    found->shape = shape;
    cursor->next = segment->first + i + 1;
    return 1;
}

/* Puts record i of the segment, whose text starts at offset at, among the matches that wait in the
 * cursor: 1 when MATCHES_AHEAD wait, and the walk that found it stops. A walk hands its matches out
 * from there, so that one that matches many records is entered once for several of them, not once a
 * match with all it loads (and, on 64-bit Windows, the ten vector registers it saves and restores):
 * surname «*ов*», 681,452 matches, 33.6 to 30.0 ms natively, 26.2 to 20.8 ms under 64-bit Wine. */
static inline int KeepMatch(SearchCursor *cursor, size_t i, size_t at)
{
    cursor->match_index[cursor->matched % MATCHES_AHEAD] = (uint32_t)i;
    cursor->match_offset[cursor->matched++ % MATCHES_AHEAD] = (uint32_t)at;
    return cursor->matched - cursor->returned == MATCHES_AHEAD;
}

/* How far ahead of the text it reads a scan with dense candidates asks for the records' arrays. */
#define RECORDS_AHEAD_BYTES 4096

/* A scan looks at the text 64 places at a time: for each place, whether the first of its compared
 * bytes passes the first byte set there and, for a run of more than one byte, the second passes the
 * second set where it stands, and the third set the third byte where the scan compares one. Each set
 * needs one test (a digit, a letter of either case) or two (Е, е, Ё and ё); the loop is built for
 * each count, kFirst, kSecond and kThird (0: no such byte), so that no test is made in vain. */

/* The lowest of the places in the run that the scan compares: the one its reads start from. */
static inline size_t LowestComparedPlace(const LiteralScan *scan)
{
    size_t lowest = scan->first_at < scan->second_at ? scan->first_at : scan->second_at;
    return scan->third_at < lowest ? scan->third_at : lowest;
}

#if SEARCH_SSE2

/* The byte sets' tests, each test's byte in every lane. */
typedef struct PairTests {
    __m128i first_or[BYTE_SET_TESTS], first_want[BYTE_SET_TESTS];
    __m128i second_or[BYTE_SET_TESTS], second_want[BYTE_SET_TESTS];
    __m128i third_or[BYTE_SET_TESTS], third_want[BYTE_SET_TESTS];
    size_t  first_distance, second_distance, third_distance;   /* from the lowest compared place */
    int     rare_first;                                        /* the scan's rare_first */
} PairTests;

static inline void MakePairTests(const LiteralScan *scan, PairTests *tests)
{
    for (int t = 0; t < BYTE_SET_TESTS; t++) {
        tests->first_or[t] = _mm_set1_epi8((char)scan->first.or_bits[t]);
        tests->first_want[t] = _mm_set1_epi8((char)scan->first.want[t]);
        tests->second_or[t] = _mm_set1_epi8((char)scan->second.or_bits[t]);
        tests->second_want[t] = _mm_set1_epi8((char)scan->second.want[t]);
        tests->third_or[t] = _mm_set1_epi8((char)scan->third.or_bits[t]);
        tests->third_want[t] = _mm_set1_epi8((char)scan->third.want[t]);
    }
    size_t lowest = LowestComparedPlace(scan);
    tests->first_distance = scan->first_at - lowest;
    tests->second_distance = scan->second_at - lowest;
    tests->third_distance = scan->third_at - lowest;
    tests->rare_first = scan->rare_first;
}

/* 0xFF in each byte of the 16 at p that the set passes. */
template <int kTests>
static inline __m128i InSet(const unsigned char *p, const __m128i or_bits[BYTE_SET_TESTS],
                            const __m128i want[BYTE_SET_TESTS])
{
    __m128i v = _mm_loadu_si128((const __m128i *)(const void *)p);
    __m128i in = _mm_cmpeq_epi8(_mm_or_si128(v, or_bits[0]), want[0]);
    if (kTests == 2)
        in = _mm_or_si128(in, _mm_cmpeq_epi8(_mm_or_si128(v, or_bits[1]), want[1]));
    return in;
}

/* 0xFF at each of the 16 places from p where the second and third compared bytes pass, and the first
 * as in. */
template <int kSecond, int kThird>
static inline __m128i PlacesIn16(__m128i in, const unsigned char *p, const PairTests *t)
{
    if (kSecond != 0)
        in = _mm_and_si128(in, InSet<kSecond>(p + t->second_distance, t->second_or, t->second_want));
    if (kThird != 0)
        in = _mm_and_si128(in, InSet<kThird>(p + t->third_distance, t->third_or, t->third_want));
    return in;
}

/* Bit i set where the compared bytes pass at place p + i, for the 64 places from p (p the lowest
 * compared place). Where the first, rarest byte is rare, it is compared in all four blocks first, and
 * a block where it stands nowhere ends there, as most do; where it is common, that test would go
 * either way and cost more than it saves. Reads the 64 bytes from p and as many beyond each compared
 * byte's distance. */
template <int kFirst, int kSecond, int kThird>
static inline uint64_t PlacesIn64(const unsigned char *p, const PairTests *t)
{
    const unsigned char *first = p + t->first_distance;
    __m128i in0 = InSet<kFirst>(first, t->first_or, t->first_want);
    __m128i in1 = InSet<kFirst>(first + 16, t->first_or, t->first_want);
    __m128i in2 = InSet<kFirst>(first + 32, t->first_or, t->first_want);
    __m128i in3 = InSet<kFirst>(first + 48, t->first_or, t->first_want);
    if (kSecond != 0 && t->rare_first &&
        _mm_movemask_epi8(_mm_or_si128(_mm_or_si128(in0, in1), _mm_or_si128(in2, in3))) == 0)
        return 0;
    if (kSecond != 0) {
        in0 = PlacesIn16<kSecond, kThird>(in0, p, t);
        in1 = PlacesIn16<kSecond, kThird>(in1, p + 16, t);
        in2 = PlacesIn16<kSecond, kThird>(in2, p + 32, t);
        in3 = PlacesIn16<kSecond, kThird>(in3, p + 48, t);
    }
    if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(in0, in1), _mm_or_si128(in2, in3))) == 0)
        return 0;
    uint32_t low = (uint32_t)_mm_movemask_epi8(in0) | (uint32_t)_mm_movemask_epi8(in1) << 16;
    uint32_t high = (uint32_t)_mm_movemask_epi8(in2) | (uint32_t)_mm_movemask_epi8(in3) << 16;
    return (uint64_t)low | (uint64_t)high << 32;
}

#else

/* The byte sets' tests, each test's byte in every byte of a 64-bit word. */
typedef struct PairTests {
    uint64_t first_or[BYTE_SET_TESTS], first_want[BYTE_SET_TESTS];
    uint64_t second_or[BYTE_SET_TESTS], second_want[BYTE_SET_TESTS];
    uint64_t third_or[BYTE_SET_TESTS], third_want[BYTE_SET_TESTS];
    size_t   first_distance, second_distance, third_distance;   /* from the lowest compared place */
} PairTests;

static inline void MakePairTests(const LiteralScan *scan, PairTests *tests)
{
    const uint64_t ones = 0x0101010101010101ull;
    for (int t = 0; t < BYTE_SET_TESTS; t++) {
        tests->first_or[t] = ones * scan->first.or_bits[t];
        tests->first_want[t] = ones * scan->first.want[t];
        tests->second_or[t] = ones * scan->second.or_bits[t];
        tests->second_want[t] = ones * scan->second.want[t];
        tests->third_or[t] = ones * scan->third.or_bits[t];
        tests->third_want[t] = ones * scan->third.want[t];
    }
    size_t lowest = LowestComparedPlace(scan);
    tests->first_distance = scan->first_at - lowest;
    tests->second_distance = scan->second_at - lowest;
    tests->third_distance = scan->third_at - lowest;
}

/* Bit i set for each byte i of the 8 at p that the set passes. */
template <int kTests>
static inline uint64_t InSet(const unsigned char *p, const uint64_t or_bits[BYTE_SET_TESTS],
                             const uint64_t want[BYTE_SET_TESTS])
{
    uint64_t v;
    memcpy(&v, p, sizeof v);
    uint64_t in = ZeroByteBits((v | or_bits[0]) ^ want[0]);
    if (kTests == 2)
        in |= ZeroByteBits((v | or_bits[1]) ^ want[1]);
    return in;
}

/* Bit i set where the compared bytes pass at place p + i, for the 64 places from p, eight at a
 * time. Reads the 64 bytes from p and as many beyond each compared byte's distance. */
template <int kFirst, int kSecond, int kThird>
static inline uint64_t PlacesIn64(const unsigned char *p, const PairTests *t)
{
    uint64_t places = 0;
    for (int w = 0; w < 64; w += 8) {
        uint64_t in = InSet<kFirst>(p + w + t->first_distance, t->first_or, t->first_want);
        if (kSecond != 0)
            in &= InSet<kSecond>(p + w + t->second_distance, t->second_or, t->second_want);
        if (kThird != 0)
            in &= InSet<kThird>(p + w + t->third_distance, t->third_or, t->third_want);
        places |= in << w;
    }
    return places;
}

#endif

/* Moves *i, a record of the segment whose text starts at *at, on to the record whose text holds
 * offset: a search by halves over the blocks' offsets from *i's block on (widened by doubling first,
 * so a near record costs few steps), then the records of one block. */
static void RecordHolding(const DatabaseSegment *segment, size_t offset, size_t *i, size_t *at)
{
    size_t blocks = (segment->count + (1u << BLOCK_SHIFT) - 1) >> BLOCK_SHIFT;
    size_t low = *i >> BLOCK_SHIFT, step = 1;
    if (low + 1 < blocks && segment->block_offsets[low + 1] <= offset) {
        size_t high = low + 1;
        while (high < blocks && segment->block_offsets[high] <= offset) {
            low = high;
            high += step;
            step *= 2;
        }
        if (high > blocks)
            high = blocks;
        while (high - low > 1) {
            size_t middle = low + (high - low) / 2;
            if (segment->block_offsets[middle] <= offset)
                low = middle;
            else
                high = middle;
        }
        *i = low << BLOCK_SHIFT;
        *at = segment->block_offsets[low];
    }
    while (*at + segment->shapes[*i].end[RECORD_FIELDS - 1] <= offset) {
        *at += segment->shapes[*i].end[RECORD_FIELDS - 1];
        (*i)++;
    }
}

/* Tries the record that holds the scan's run at place, when the run is there whole: *matched set
 * when the record passes the key, and in any case the place the scan goes on from (past the record,
 * or the key field's start when the run stood before it). *i and *at are a record of the segment at
 * or before place and where its text starts, moved on to the record tried. */
static inline size_t TryRunAt(const DatabaseSegment *segment, const unsigned char fold[256], CompiledKey *key,
                              size_t place, size_t *i, size_t *at, int *matched)
{
    const LiteralScan *scan = &key->scan;
    if (!FoldedEqual(scan->run, (const unsigned char *)segment->text + place, scan->length, fold) ||
        !OtherRunsNear(scan, key->fields[scan->key_field].text, (const unsigned char *)segment->text,
                       segment->text_room, place, fold))
        return place + 1;
    RecordHolding(segment, place, i, at);
    const KeyField *k = &key->fields[scan->key_field];
    const RecordShape *shape = &segment->shapes[*i];
    size_t field_start = *at + FieldStart(k, shape);
    if (place < field_start)
        return field_start;
    if (place + scan->length <= *at + shape->end[k->field] && RecordMatches(key, fold, segment->text + *at, shape)) {
        *matched = 1;
        return place;
    }
    *at += shape->end[RECORD_FIELDS - 1];
    (*i)++;
    return *at;
}

/* Where the records of the text ahead are likely to be: records stand in their text's order at a
 * steady density, so the record at a text offset is about offset * records / text bytes. The density
 * is kept in 32.32 fixed point, since a scan works it out every 64 bytes and a floating-point multiply
 * and its conversions there cost a tenth of a dense scan; at most one record a byte, so that a
 * segment's offsets times it stay within 64 bits. */
static inline uint64_t RecordsAByte(const DatabaseSegment *segment)
{
    uint64_t density = ((uint64_t)segment->count << 32) / segment->text_room;
    return density < ((uint64_t)1 << 32) ? density : (uint64_t)1 << 32;
}

/* Tries the segment's records from the cursor on whose key field holds the scan's run, in file order:
 * 1 with *found set and the cursor past it, or 0. Each record is tried once, however often the run
 * stands in it; the text is read 64 places at a time (PlacesIn64), each place found tried in turn. */
template <int kFirst, int kSecond, int kThird>
static int ScanSegment(const DatabaseSegment *segment, const unsigned char fold[256], CompiledKey *key,
                       SearchCursor *cursor, FoundRecord *found)
{
    const LiteralScan *scan = &key->scan;
    size_t i = cursor->next - segment->first;
    if (i >= segment->count || segment->text_room < scan->length)
        return 0;
    PairTests tests;
    MakePairTests(scan, &tests);
    const unsigned char *compared = (const unsigned char *)segment->text + LowestComparedPlace(scan);
    size_t at = RecordOffset(segment, i);
    size_t from = at;                                       /* the first place still to try */
    size_t last = segment->text_room - scan->length + 1;   /* the places a run can start at */
    uint64_t records_a_byte = RecordsAByte(segment);
    for (size_t p = from; p < last; p += 64) {
        if (scan->ask_for_records) {   /* dense candidates: their records' arrays asked for ahead of them */
            size_t ahead = (size_t)((uint64_t)(p + RECORDS_AHEAD_BYTES) * records_a_byte >> 32);
            if (ahead < segment->count) {
                ASK_FOR(&segment->shapes[ahead]);
                ASK_FOR(&segment->block_offsets[ahead >> BLOCK_SHIFT]);
            }
        }
        for (uint64_t places = PlacesIn64<kFirst, kSecond, kThird>(compared + p, &tests); places != 0;
             places &= places - 1) {
            size_t place = p + LowestBit64(places);
            if (place < from)
                continue;
            if (place >= last)
                return 0;
            int matched = 0;
            from = TryRunAt(segment, fold, key, place, &i, &at, &matched);
            if (matched)
                return HandOut(segment, i, segment->text + at, &segment->shapes[i], cursor, found);
        }
        if (from > p + 64)
            p = from - 64;   /* the next block starts where the scan goes on */
    }
    return 0;
}

/* ScanSegment, built for the scan's tests. */
static int FindByScan(const DatabaseSegment *segment, const unsigned char fold[256], CompiledKey *key,
                      SearchCursor *cursor, FoundRecord *found)
{
    typedef int ScanFn(const DatabaseSegment *, const unsigned char[256], CompiledKey *, SearchCursor *, FoundRecord *);
    static ScanFn *const kScans[3][2][3] = {
        {{ScanSegment<1, 0, 0>, ScanSegment<1, 1, 0>, ScanSegment<1, 2, 0>},
         {ScanSegment<2, 0, 0>, ScanSegment<2, 1, 0>, ScanSegment<2, 2, 0>}},
        {{ScanSegment<1, 0, 0>, ScanSegment<1, 1, 1>, ScanSegment<1, 2, 1>},
         {ScanSegment<2, 0, 0>, ScanSegment<2, 1, 1>, ScanSegment<2, 2, 1>}},
        {{ScanSegment<1, 0, 0>, ScanSegment<1, 1, 2>, ScanSegment<1, 2, 2>},
         {ScanSegment<2, 0, 0>, ScanSegment<2, 1, 2>, ScanSegment<2, 2, 2>}},
    };
    const LiteralScan *scan = &key->scan;
    return kScans[ThirdTests(scan)][SetTests(&scan->first) - 1][SecondTests(scan)](segment, fold, key, cursor, found);
}

/* ---------------------------------------------------------------- every record */

#if SEARCH_SSE2
/* The length of the sieve's field in the record at record, whose shape this is, and in *text where
 * the field starts. A record's field ends are bytes, so a byte holds the length exactly. */
static inline size_t SievedField(const SieveEnds *ends, const char *record, const RecordShape *shape,
                                 const char **text)
{
    size_t start = shape->end[ends->before] & ends->before_mask;
    *text = record + start;
    return (uint8_t)(shape->end[ends->field] - start);
}

/* The tests of inner byte j of the sieve's run: the OR and the wanted value of its first form, then
 * of its second, in every lane. */
typedef struct RunByteTests {
    __m128i or_first, want_first, or_second, want_second;
} RunByteTests;

static inline void LoadRunByteTests(const FieldSieve *sieve, size_t j, RunByteTests *tests)
{
    tests->or_first = _mm_loadu_si128((const __m128i *)(const void *)sieve->inner_or[0][j]);
    tests->want_first = _mm_loadu_si128((const __m128i *)(const void *)sieve->inner_want[0][j]);
    tests->or_second = _mm_loadu_si128((const __m128i *)(const void *)sieve->inner_or[1][j]);
    tests->want_second = _mm_loadu_si128((const __m128i *)(const void *)sieve->inner_want[1][j]);
}

/* Clears the places of low (the first 16 from text) and high (the next 16, in a long field) where
 * the run byte of these tests does not stand j places after them; paired, the byte has two forms. */
template <int kBlocks>
static inline void RunBytePlaces(const RunByteTests *tests, int paired, size_t j, const char *text, __m128i *low,
                                 __m128i *high)
{
    __m128i a = _mm_loadu_si128((const __m128i *)(const void *)(text + j));
    __m128i in_a = _mm_cmpeq_epi8(_mm_or_si128(a, tests->or_first), tests->want_first), in_b = in_a;
    __m128i b = kBlocks == 2 ? _mm_loadu_si128((const __m128i *)(const void *)(text + 16 + j)) : a;
    if (kBlocks == 2)
        in_b = _mm_cmpeq_epi8(_mm_or_si128(b, tests->or_first), tests->want_first);
    if (paired) {   /* the same way for every record of a key */
        in_a = _mm_or_si128(in_a, _mm_cmpeq_epi8(_mm_or_si128(a, tests->or_second), tests->want_second));
        if (kBlocks == 2)
            in_b = _mm_or_si128(in_b, _mm_cmpeq_epi8(_mm_or_si128(b, tests->or_second), tests->want_second));
    }
    *low = _mm_and_si128(*low, in_a);
    if (kBlocks == 2)
        *high = _mm_and_si128(*high, in_b);
}

/* The places the two blocks keep, as bits. */
template <int kBlocks>
static inline uint32_t PlacesOf(__m128i low, __m128i high)
{
    uint32_t places = (uint32_t)_mm_movemask_epi8(low);
    if (kBlocks == 2)
        places |= (uint32_t)_mm_movemask_epi8(high) << 16;
    return places;
}

/* Bit p set where the sieve's inner run of inner bytes stands at place p from text, in a field of
 * length bytes: each of the run's bytes compared at 16 places at once, or at 32 in a long field
 * (kBlocks 2), which cover all of it (the store keeps slack after its text). A long field too short
 * for the run to start past the 16th place, as most names and surnames are, takes the first 16 only:
 * names' and patronymics' runs 7.5 to 5.3 ms at 1,000,000 entries, streets' 2% slower. A run of
 * kInner bytes (2 to 4) is compared with no loop, by the tests its walk holds (held); any other, by
 * the sieve's, in a loop. */
template <int kBlocks, int kInner>
static inline uint32_t InnerRunPlaces(const FieldSieve *sieve, const RunByteTests *held, unsigned paired,
                                      size_t inner, const char *text, size_t length)
{
    __m128i low = _mm_set1_epi8(-1), high = low;
    if (kBlocks == 2 && length <= 16 + inner - 1)
        return InnerRunPlaces<1, kInner>(sieve, held, paired, inner, text, length);
    for (size_t j = 0; j < (kInner != 0 ? (size_t)kInner : inner); j++) {
        RunByteTests tests;
        if (kInner == 0)
            LoadRunByteTests(sieve, j, &tests);
        RunBytePlaces<kBlocks>(kInner != 0 ? &held[j] : &tests, paired >> j & 1, j, text, &low, &high);
    }
    return PlacesOf<kBlocks>(low, high);
}

/* The same for the run's two rarest bytes alone, which a walk may test first (kPair), by the tests
 * it holds for them. */
template <int kBlocks>
static inline uint32_t PairPlaces(const RunByteTests pair[2], const size_t pair_at[2], unsigned pair_paired,
                                  size_t inner, const char *text, size_t length)
{
    __m128i low = _mm_set1_epi8(-1), high = low;
    if (kBlocks == 2 && length <= 16 + inner - 1)
        return PairPlaces<1>(pair, pair_at, pair_paired, inner, text, length);
    RunBytePlaces<kBlocks>(&pair[0], pair_paired & 1, pair_at[0], text, &low, &high);
    RunBytePlaces<kBlocks>(&pair[1], pair_paired >> 1, pair_at[1], text, &low, &high);
    return PlacesOf<kBlocks>(low, high);
}

/* Tests every record of the segment from the cursor's scan on against a key whose sieve has an inner
 * run, as WalkRecords does, the run looked for sixteen places at a time. The sieve's order says which of
 * its tests goes first: the one that few records pass, with a branch that goes the same way for most
 * records; where both pass many, the two are combined with no branch at all (patronymic «*ар*на»,
 * whose tail half the records pass), the length and the ends folded into the places the run may
 * start at. Where the run goes first, kPair 1 has its two rarest bytes tested before the rest: name
 * «*ерге*», whose г and р few names hold, 5.2 to 4.4 ms at 1,000,000 entries. The tests the walk makes
 * at every record, for a run of kInner bytes (2 to 4, or 0 for any length) or for its pair, are loaded
 * once: from the key, the compiler would load them again at every record, since the key's tests may
 * write to the key. With no loop over the run's bytes, patronymic «*олае*» 6.6 to 4.3 ms. */
template <int kBlocks, int kOrder, int kPair, int kInner>
static void WalkSieved(const DatabaseSegment *segment, const unsigned char fold[256], CompiledKey *key,
                       SearchCursor *cursor)
{
    const int kRunFirst = kOrder == SIEVE_INNER_FIRST || (kOrder == SIEVE_INNER_ONLY && kPair);
    const FieldSieve *sieve = &key->sieve;
    const SieveEnds ends = sieve->ends;   /* a copy of its own: the key's tests may write to the key */
    const size_t inner = kInner != 0 ? (size_t)kInner : sieve->inner;
    const uint32_t *run_starts = sieve->run_starts;
    const int decides = sieve->decides;
    const RecordShape *shapes = segment->shapes;
    const char *texts = segment->text;
    size_t from = cursor->scan, count = segment->count, at = cursor->scan_at;
    const unsigned paired = sieve->inner_paired;
    RunByteTests held[kInner != 0 ? kInner : 1], pair[2];
    for (size_t j = 0; j < (size_t)kInner; j++)
        LoadRunByteTests(sieve, j, &held[j]);
    const size_t pair_at[2] = {sieve->pair[0], sieve->pair[1]};
    const unsigned pair_paired = (paired >> pair_at[0] & 1) | (paired >> pair_at[1] & 1) << 1;
    for (size_t j = 0; kPair && j < 2; j++)
        LoadRunByteTests(sieve, pair_at[j], &pair[j]);
    for (size_t i = from; i < count; i++) {
        const RecordShape *shape = &shapes[i];
        const char *record = texts + at;
        at += shape->end[RECORD_FIELDS - 1];
        const char *text;
        size_t length = SievedField(&ends, record, shape, &text);
        uint32_t starts = run_starts[length];   /* 0 where the length does not fit, and once tested, the ends */
        uint32_t run = 0;
        if (kRunFirst) {
            if (kPair && (PairPlaces<kBlocks>(pair, pair_at, pair_paired, inner, text, length) & starts) == 0)
                continue;
            run = InnerRunPlaces<kBlocks, kInner>(sieve, held, paired, inner, text, length);
            if (kOrder == SIEVE_INNER_FIRST && (run & starts) == 0)
                continue;
        }
        if (kOrder != SIEVE_INNER_ONLY)
            starts &= (uint32_t)0 - (uint32_t)EndsPass(&ends, text, length, starts != 0);
        if (!kRunFirst)
            run = InnerRunPlaces<kBlocks, kInner>(sieve, held, paired, inner, text, length);
        if (__builtin_expect((run & starts) != 0, 0) &&   /* a mask: no branch */
            (decides || RecordMatches(key, fold, record, shape)) && KeepMatch(cursor, i, (size_t)(record - texts))) {
            cursor->scan = i + 1;
            cursor->scan_at = at;
            return;
        }
    }
    cursor->scan = count;
}
#endif

/* Tests every record of the segment from the cursor's scan on, keeping its text offset as it goes,
 * until MATCHES_AHEAD matches wait in the cursor or the segment ends. A key with a pattern has each
 * record sieved first (SievePasses), which rules out most of them in a few word operations, and
 * decides the key alone where it tests all of it. Not inlined: in FindNextMatch its loop's counters
 * were kept in memory. */
__attribute__((noinline)) static void WalkRecords(const DatabaseSegment *segment, const unsigned char fold[256],
                                                  CompiledKey *key, SearchCursor *cursor)
{
    const FieldSieve *sieve = key->sieve.on ? &key->sieve : NULL;
#if SEARCH_SSE2
    if (sieve != NULL && sieve->inner != 0 && sieve->order != SIEVE_ENDS_FIRST) {
        typedef void WalkFn(const DatabaseSegment *, const unsigned char[256], CompiledKey *, SearchCursor *);
        /* by the run's length (any, then each that WalkBuiltForRun takes), the field's blocks and the sieve's order */
#define WALKS(n)                                                                                          \
    {{WalkSieved<1, SIEVE_INNER_ONLY, 0, n>, NULL, WalkSieved<1, SIEVE_INNER_FIRST, 0, n>,                 \
      WalkSieved<1, SIEVE_TOGETHER, 0, n>},                                                               \
     {WalkSieved<2, SIEVE_INNER_ONLY, 0, n>, NULL, WalkSieved<2, SIEVE_INNER_FIRST, 0, n>,                 \
      WalkSieved<2, SIEVE_TOGETHER, 0, n>}}
        static WalkFn *const kWalks[4][2][4] = {WALKS(0), WALKS(2), WALKS(3), WALKS(4)};
#undef WALKS
        /* past its pair, few records test the rest of a run: a loop does */
        static WalkFn *const kPairWalks[2][4] = {
            {WalkSieved<1, SIEVE_INNER_ONLY, 1, 0>, NULL, WalkSieved<1, SIEVE_INNER_FIRST, 1, 0>, NULL},
            {WalkSieved<2, SIEVE_INNER_ONLY, 1, 0>, NULL, WalkSieved<2, SIEVE_INNER_FIRST, 1, 0>, NULL},
        };
        size_t built_for = WalkBuiltForRun(sieve->inner) ? sieve->inner - 1 : 0;
        if (sieve->pair_first)
            kPairWalks[sieve->long_field][sieve->order](segment, fold, key, cursor);
        else
            kWalks[built_for][sieve->long_field][sieve->order](segment, fold, key, cursor);
        return;
    }
#endif
    int decides = sieve != NULL && sieve->decides;
    SieveEnds ends;   /* a copy of its own: the key's tests may write to the key */
    if (sieve != NULL)
        ends = sieve->ends;
    const RecordShape *shapes = segment->shapes;
    const char *texts = segment->text;
    size_t from = cursor->scan, count = segment->count, at = cursor->scan_at;
    for (size_t i = from; i < count; i++) {
        const RecordShape *shape = &shapes[i];
        const char *text;
        size_t length;
        if ((sieve == NULL ||
             (SieveEndsPass(&ends, texts + at, shape, &text, &length) && SieveInnerPasses(sieve, text, length))) &&
            (decides || RecordMatches(key, fold, texts + at, shape)) && KeepMatch(cursor, i, at)) {
            cursor->scan = i + 1;
            cursor->scan_at = at + shape->end[RECORD_FIELDS - 1];
            return;
        }
        at += shape->end[RECORD_FIELDS - 1];
    }
    cursor->scan = count;
}

/* Hands out the segment's next match from the cursor on, walking its records for more when none
 * waits; 1 with *found set and the cursor past it, or 0 when the segment has no more. */
static int FindWalking(const DatabaseSegment *segment, const unsigned char fold[256], CompiledKey *key,
                       SearchCursor *cursor, FoundRecord *found)
{
    if (!cursor->primed) {
        PrimeCursor(segment, cursor);
        cursor->scan_at = RecordOffset(segment, cursor->scan);
    }
    if (cursor->returned == cursor->matched && cursor->scan < segment->count)
        WalkRecords(segment, fold, key, cursor);
    return HandOutWaiting(segment, cursor, found);
}

/* ---------------------------------------------------------------- the result */

/* Writes length bytes of text to out as a block of block bytes (8 or 32, a constant), zero past the
 * text. No copy depends on a length: the text is masked and stored sixteen bytes at a time with SSE2,
 * eight otherwise, a machine word at a time without it, and what a block writes past its field the
 * next one overwrites. */
static inline void PutField(char *out, const char *text, size_t length, size_t block)
{
    const unsigned char *keep = kKeepBytes + 32 - length;
#if SEARCH_SSE2
    if (block == 8) {
        __m128i word = _mm_loadl_epi64((const __m128i *)(const void *)text);   /* the store keeps slack after its text */
        _mm_storel_epi64((__m128i *)(void *)out, _mm_and_si128(word, _mm_loadl_epi64((const __m128i *)(const void *)keep)));
        return;
    }
    for (size_t at = 0; at < block; at += 16) {
        __m128i part = _mm_loadu_si128((const __m128i *)(const void *)(text + at));
        part = _mm_and_si128(part, _mm_loadu_si128((const __m128i *)(const void *)(keep + at)));
        _mm_storeu_si128((__m128i *)(void *)(out + at), part);
    }
#else
    for (size_t at = 0; at < block; at += sizeof(size_t)) {
        size_t word, mask;
        memcpy(&word, text + at, sizeof word);   /* the store keeps slack after its text */
        memcpy(&mask, keep + at, sizeof mask);
        word &= mask;
        memcpy(out + at, &word, sizeof word);
    }
#endif
}

/* The last field of the record holds 4 bytes of text at most: a 4-byte block and its NUL, so that
 * nothing is written past the record. */
static inline void PutFlat(char *out, const char *text, size_t length)
{
    uint32_t word, keep;
    memcpy(&word, text, sizeof word);
    memcpy(&keep, kKeepBytes + 32 - length, sizeof keep);
    word &= keep;
    memcpy(out, &word, sizeof word);
    out[4] = '\0';
}

/* Copies the record found into result as eight NUL-padded fields, in order, each block running
 * over into the next field (8 bytes for a short field, 32 for a long one); the last one is written
 * to its exact width. */
static void UnpackRecord(const FoundRecord *found, DirectoryRecord *result)
{
    const uint8_t *end = found->shape->end;
    char *out = (char *)result;
    static_assert(kFieldSpecs[RECORD_FIELDS - 1].width == 5, "the last field is written as a word and a NUL");
#pragma GCC unroll 8
    for (int k = 0; k < RECORD_FIELDS - 1; k++) {
        size_t start = k == 0 ? 0 : end[k - 1];
        PutField(out + kFieldSpecs[k].offset, found->text + start, end[k] - start, kFieldSpecs[k].width <= 8 ? 8 : 32);
    }
    PutFlat(out + kFieldSpecs[RECORD_FIELDS - 1].offset, found->text + end[RECORD_FIELDS - 2],
            end[RECORD_FIELDS - 1] - end[RECORD_FIELDS - 2]);
}

/* The segment's next match from the cursor on, found the key's way: 1 with *found set, or 0. */
static int FindIn(const DatabaseSegment *segment, const unsigned char fold[256], CompiledKey *key,
                  SearchCursor *cursor, FoundRecord *found)
{
    if (key->way == WAY_FILTER)
        return FindFiltered(segment, fold, key, cursor, found);
    if (key->way == WAY_SCAN)
        return FindByScan(segment, fold, key, cursor, found);
    return FindWalking(segment, fold, key, cursor, found);
}

int FIND_NEXT_MATCH_NAME(const DatabaseStore *store, CompiledKey *key, SearchCursor *cursor, DirectoryRecord *result)
{
    FoundRecord found;
    const SegmentList *list = &store->list;
    for (size_t s = SegmentOf(list, cursor->segment, cursor->next); s < list->count; s++) {
        const DatabaseSegment *segment = &list->segments[s];
        if (s != cursor->segment) {
            cursor->segment = s;
            cursor->primed = 0;
        }
        if (cursor->next < segment->first)
            cursor->next = segment->first;
        /* A segment is passed over whole where its map says it lacks a byte the key needs; asked
         * when the search comes to its first record, not on every call. */
        int lacks = cursor->next == segment->first && SegmentLacksByte(store, s, &key->needed);
        if (segment->count > 0 && !lacks && FindIn(segment, store->fold, key, cursor, &found)) {
            UnpackRecord(&found, result);
            return 1;
        }
        cursor->next = segment->first + segment->count;
        cursor->primed = 0;
    }
    RestartCursor(cursor, store->count);
    return 0;
}

/* Compares the key with the copy in every byte, keeping the differences in the bytes that count:
 * sixteen at a time with SSE2, a machine word at a time without it. The last block ends at the
 * record's last byte, so nothing past the caller's record is read. */
int SAME_KEY_NAME(const KeyCopy *copy, const DirectoryRecord *key)
{
    const unsigned char *bytes = (const unsigned char *)key;
#if SEARCH_SSE2
    __m128i differ = _mm_setzero_si128();
    for (size_t at = 0; at < KEY_COPY_BYTES; at += 16) {
        size_t from = at + 16 <= sizeof *key ? at : sizeof *key - 16;
        __m128i block = _mm_xor_si128(_mm_loadu_si128((const __m128i *)(const void *)(bytes + from)),
                                      _mm_loadu_si128((const __m128i *)(const void *)(copy->bytes + from)));
        __m128i mask = _mm_loadu_si128((const __m128i *)(const void *)(copy->mask + from));
        differ = _mm_or_si128(differ, _mm_and_si128(block, mask));
    }
    return _mm_movemask_epi8(_mm_cmpeq_epi8(differ, _mm_setzero_si128())) == 0xFFFF;
#else
    size_t differ = 0;
    for (size_t at = 0; at < sizeof *key; at += sizeof(size_t)) {
        size_t from = at + sizeof(size_t) <= sizeof *key ? at : sizeof *key - sizeof(size_t);
        size_t word, kept, mask;
        memcpy(&word, bytes + from, sizeof word);
        memcpy(&kept, copy->bytes + from, sizeof kept);
        memcpy(&mask, copy->mask + from, sizeof mask);
        differ |= (word ^ kept) & mask;
    }
    return differ == 0;
#endif
}
