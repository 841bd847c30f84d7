/* database_search_body.h - walking the store for the next record that passes a key, once for each
 * build: the file that includes it names the function it defines (FIND_NEXT_MATCH_NAME). When a key
 * field has literal leading text in a filtered field, its filter column picks the candidates and only
 * they are read, their memory asked for ahead of them; otherwise every record is tested in turn.
 * The memory is asked for with prefetch instructions, which a processor without SSE lacks: the build
 * without SSE2 has the compiler leave them out, and scans the filter column a record at a time.
 * Every function here but the one named is static.
 */
#ifdef __SSE2__
#include <emmintrin.h>
#endif

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
    test.mask = FilterMask(driver->literal);
    test.want = FilterOfBytes(driver->text[0], driver->text[1], driver->text[2]) & test.mask;
    return test;
}

/* The first record from i on whose filter passes, or count when none does: eight filters a compare
 * where SSE2 is there, since most keys pass a record in dozens and the scan is most of a search. */
static size_t NextCandidate(const FilterTest *test, size_t i, size_t count)
{
#ifdef __SSE2__
    const __m128i mask = _mm_set1_epi16((short)test->mask);
    const __m128i want = _mm_set1_epi16((short)test->want);
    for (; i + 8 <= count; i += 8) {
        __m128i filters = _mm_loadu_si128((const __m128i *)(const void *)(test->column + i));
        unsigned hits = (unsigned)_mm_movemask_epi8(_mm_cmpeq_epi16(_mm_and_si128(filters, mask), want));
        if (hits != 0)
            return i + ((unsigned)__builtin_ctz(hits) >> 1);
    }
#endif
    while (i < count && (test->column[i] & test->mask) != test->want)
        i++;
    return i;
}

/* Finds candidates from the scan on until SHAPES_AHEAD of them wait untried, asking for each one's
 * shapes and text offset as it is found. */
static void Gather(const DatabaseSegment *segment, const FilterTest *test, SearchCursor *cursor)
{
    size_t i = cursor->scan;
    while (cursor->gathered < cursor->tried + SHAPES_AHEAD && i < segment->count) {
        i = NextCandidate(test, i, segment->count);
        if (i == segment->count)
            break;
        cursor->index[cursor->gathered++ % CANDIDATE_RING] = (uint32_t)i;
        __builtin_prefetch(&segment->block_offsets[i >> BLOCK_SHIFT]);
        __builtin_prefetch(&segment->shapes[i]);
        i++;
    }
    cursor->scan = i;
}

/* Works out where the candidates up to TEXT_AHEAD past the one tried start and asks for their text:
 * its first and last cache lines, and the one between, which a record of more than 64 bytes may need. */
static void LocateText(const DatabaseSegment *segment, SearchCursor *cursor)
{
    while (cursor->located < cursor->gathered && cursor->located < cursor->tried + TEXT_AHEAD) {
        size_t slot = cursor->located++ % CANDIDATE_RING;
        size_t at = RecordOffset(segment, cursor->index[slot]);
        const char *text = segment->text + at;
        cursor->offset[slot] = (uint32_t)at;
        __builtin_prefetch(text);
        __builtin_prefetch(text + 64);
        __builtin_prefetch(text + segment->shapes[cursor->index[slot]].end[RECORD_FIELDS - 1] + 31);
    }
}

/* Tries the segment's candidates from the cursor on, keeping the ring ahead of them full; 1 with
 * *found set and the cursor past it, or 0 when the segment has no more. */
static int FindFiltered(const DatabaseSegment *segment, const unsigned char fold[256], CompiledKey *key,
                        SearchCursor *cursor, FoundRecord *found)
{
    FilterTest test = MakeFilterTest(segment, &key->fields[key->filter]);
    if (!cursor->primed) {
        cursor->scan = cursor->next - segment->first;
        cursor->gathered = cursor->located = cursor->tried = 0;
        cursor->primed = 1;
    }
    for (;;) {
        Gather(segment, &test, cursor);
        LocateText(segment, cursor);
        if (cursor->tried == cursor->gathered)
            return 0;
        size_t slot = cursor->tried++ % CANDIDATE_RING;
        const RecordShape *shape = &segment->shapes[cursor->index[slot]];
        const char *text = segment->text + cursor->offset[slot];
        if (RecordMatches(key, fold, text, shape)) {
            found->index = segment->first + cursor->index[slot];
            found->text = text;
            found->shape = shape;
            cursor->next = found->index + 1;
            return 1;
        }
    }
}

/* ---------------------------------------------------------------- every record */

/* Tests every record of the segment from the cursor on, keeping its text offset as it goes; 1 with
 * *found set and the cursor past it, or 0. */
static int FindScanning(const DatabaseSegment *segment, const unsigned char fold[256], CompiledKey *key,
                        SearchCursor *cursor, FoundRecord *found)
{
    size_t from = cursor->next - segment->first;
    size_t at = RecordOffset(segment, from);
    for (size_t i = from; i < segment->count; i++) {
        const RecordShape *shape = &segment->shapes[i];
        if (RecordMatches(key, fold, segment->text + at, shape)) {
            found->index = segment->first + i;
            found->text = segment->text + at;
            found->shape = shape;
            cursor->next = found->index + 1;
            return 1;
        }
        at += shape->end[RECORD_FIELDS - 1];
    }
    return 0;
}

int FIND_NEXT_MATCH_NAME(const DatabaseStore *store, CompiledKey *key, SearchCursor *cursor, FoundRecord *found)
{
    const SegmentList *list = &store->list;
    for (size_t s = SegmentOf(list, cursor->segment, cursor->next); s < list->count; s++) {
        const DatabaseSegment *segment = &list->segments[s];
        if (s != cursor->segment) {
            cursor->segment = s;
            cursor->primed = 0;
        }
        if (cursor->next < segment->first)
            cursor->next = segment->first;
        if (segment->count > 0 && (key->filter >= 0 ? FindFiltered(segment, store->fold, key, cursor, found)
                                                    : FindScanning(segment, store->fold, key, cursor, found)))
            return 1;
        cursor->next = segment->first + segment->count;
        cursor->primed = 0;
    }
    RestartCursor(cursor, store->count);
    return 0;
}
