/* search_way.cpp - choosing, per key, how a search finds the records it tries: through a field's
 * filter column, through a scan of the text for a run of the key's literal bytes, or by trying every
 * record. Each way's cost a record is estimated from the store's own figures and the cheapest is
 * taken. Defines MakeByteSet and ChooseSearchWay.
 */
#include "search_way.h"
#include "library_switches.h"

#include <string.h>

/* What each way costs, in nanoseconds, measured natively on the generated directory (the figures
 * and how they were taken are in docs/PERFORMANCE.md). A filtered search reads the column and asks
 * for each candidate's memory, a match among them little more; a scan reads the text, stops at each
 * place where its compared bytes sit, looks for the key field's other runs near each place where its
 * run stands, and reads the record where they are all there, a match handed out alone; a walk tests
 * every record, or with a pattern sieves each record first. */
#define WALK_COST_A_RECORD      14.0
#define ENDS_COST_A_RECORD      3.0   /* the sieve's length, head and tail */
#define INNER_COST_A_RECORD     1.9   /* its run between stars, */
#define INNER_COST_A_BYTE       0.45  /* and each of the run's bytes in each 16 places of the field, */
#define HELD_COST_A_BYTE        0.12  /* or 2 to 4 bytes, or a pair, whose tests the walk holds */
#define FILTER_COST_A_RECORD    0.3
#define CANDIDATE_COST          45.0
#define PATTERN_CANDIDATE_COST  15.0   /* more, where the key has a pattern over a long field */
#define SHAPE_CANDIDATE_COST    10.0   /* a candidate whose field lengths rule it out: its text is never read */
#define SCAN_COST_A_BYTE        0.04   /* at least, */
#define SCAN_COST_A_TEST        0.02   /* or as much for each test made at every place of the text */
#define PAIR_HIT_COST           3.0
#define RUN_HIT_COST            8.0
#define NEAR_COST_A_BYTE        0.7
#define SCAN_CANDIDATE_COST     60.0
#define SCAN_MATCH_COST         100.0

/* A sieve that lets through more of the records than this is dropped: the walk's branch on it then
 * goes either way, and the plain walk was measured faster (street «*ел*ая», 40% through: 9 against 15 ms). */
#define SIEVE_PASSES_AT_MOST    0.1

/* A walk's sieve tests its run's two rarest bytes first where fewer records than this hold them, for
 * each byte of the run past those two: where more do, the branch on them goes either way and costs
 * more than the bytes it spares (name «*али*», 8% of names: 4.7 against 5.6 ms; «*ерге*», 3%: 5.2
 * against 4.4). */
#define PAIR_PASSES_A_BYTE      0.03

/* A run's two compared bytes standing together more often than this a record call for a third. */
#define THIRD_BYTE_HITS         0.01

/* Candidates a record more often than this have their records' arrays asked for ahead of them. */
#define DENSE_CANDIDATES        0.002

/* A compared byte that stands in fewer 64-byte blocks than this is tested alone first. */
#define RARE_IN_64_BYTES        0.05

/* Windows of the text a plan reads to count where a run stands, and their size: some 700 records. */
#define RUN_SAMPLE_WINDOWS 32
#define RUN_SAMPLE_BYTES   1024

/* Stretches of records read to tell how many a filter lets through and how many match, and their length. */
#define RECORD_SAMPLE_STRETCHES 16
#define RECORD_SAMPLE_RECORDS   256

void MakeByteSet(const unsigned char fold[256], unsigned char folded, ByteSet *set)
{
    int paired[256] = {0};
    int tests = 0;
    for (int x = 0; x < 256; x++) {
        if (fold[x] != folded || paired[x])
            continue;
        int partner = -1;   /* another byte of the set that differs from x in one bit */
        for (int bit = 1; bit < 256 && partner < 0; bit <<= 1)
            if ((x ^ bit) > x && fold[x ^ bit] == folded)
                partner = x ^ bit;
        if (tests == BYTE_SET_TESTS) {   /* no room left: the last test passes every byte */
            set->or_bits[BYTE_SET_TESTS - 1] = 0xFF;
            set->want[BYTE_SET_TESTS - 1] = 0xFF;
            return;
        }
        paired[x] = 1;
        if (partner >= 0)
            paired[partner] = 1;
        set->or_bits[tests] = partner < 0 ? 0 : (uint8_t)(x ^ partner);
        set->want[tests] = (uint8_t)(partner < 0 ? x : x | partner);
        tests++;
    }
    for (; tests < BYTE_SET_TESTS; tests++) {   /* a set of one test: the second repeats it */
        set->or_bits[tests] = set->or_bits[0];
        set->want[tests] = set->want[0];
    }
}

/* The part of sampled things that count of them are, a half added to both so that none is 0. */
static double Share(uint64_t count, uint64_t sampled)
{
    return ((double)count + 0.5) / ((double)sampled + 1.0);
}

/* How often a byte that folds to folded stands at a place of the text, from the store's sample. */
static double ByteShare(const DatabaseStore *store, unsigned char folded)
{
    uint64_t count = 0;
    for (int x = 0; x < 256; x++)
        if (store->fold[x] == folded)
            count += store->byte_counts[x];
    return Share(count, store->sampled_bytes);
}

/* The parts of the records, from stretches of them spread over the store, that: */
typedef struct RecordSample {
    double passed;    /* the key's filter lets through, when it has a filter; */
    double fitting;   /* it lets through with field lengths that fit the key too; */
    double sieved;    /* the key's sieve lets through, when it has one; */
    double ends;      /* pass the sieve's length, head and tail; */
    double inner;     /* have a length that fits and hold its inner run where it may stand; */
    double pair;      /* the same for the run's two rarest bytes (PickInnerPair); */
    double matched;   /* the key matches */
} RecordSample;

/* 1 when the record's field has a length the sieve's pattern fits, with *field and *length its own. */
static int FieldFits(const SieveEnds *ends, const char *record, const RecordShape *shape, const char **field,
                     size_t *length)
{
    size_t start = shape->end[ends->before] & ends->before_mask, end = shape->end[ends->field];
    *field = record + start;
    *length = end - start;
    return start <= end && *length >= ends->shortest && *length <= ends->longest;
}

/* 1 when the record's field has a length the sieve's pattern fits and holds its inner run where the
 * run may stand, whatever its head and tail hold. */
static int InnerAlonePasses(const FieldSieve *sieve, const char *record, const RecordShape *shape)
{
    const char *field;
    size_t length;
    return FieldFits(&sieve->ends, record, shape, &field, &length) && SieveInnerPasses(sieve, field, length);
}

/* 1 when the record's field has a length the sieve's pattern fits and holds the run's bytes pair[0] and
 * pair[1] where the run may stand. */
static int PairAlonePasses(const FieldSieve *sieve, const char *record, const RecordShape *shape)
{
    const char *text;
    size_t length;
    if (!FieldFits(&sieve->ends, record, shape, &text, &length))
        return 0;
    const unsigned char *field = (const unsigned char *)text;
    size_t head = sieve->ends.head, past = InnerStarts(sieve, length);
    for (size_t at = sieve->inner_at_end ? past - 1 : head; at >= head && at < past; at++)
        if (InnerBytePasses(sieve, sieve->pair[0], field[at + sieve->pair[0]]) &&
            InnerBytePasses(sieve, sieve->pair[1], field[at + sieve->pair[1]]))
            return 1;
    return 0;
}

static void SampleRecords(const DatabaseStore *store, CompiledKey *key, RecordSample *sample)
{
    size_t sampled = 0, passes = 0, fits = 0, sieve_passes = 0, ends_passes = 0, inner_passes = 0, pair_passes = 0;
    size_t matches = 0;
    size_t next = 0;   /* the first record not sampled yet */
    const SegmentList *list = &store->list;
    const FieldSieve *sieve = &key->sieve;
    for (size_t j = 0, s = 0; j < RECORD_SAMPLE_STRETCHES; j++) {
        size_t record = store->count / RECORD_SAMPLE_STRETCHES * j;
        if (record < next)
            continue;   /* a small store: the stretches would overlap */
        next = record + RECORD_SAMPLE_RECORDS;
        while (s < list->count && list->segments[s].first + list->segments[s].count <= record)
            s++;
        if (s == list->count)
            break;
        const DatabaseSegment *segment = &list->segments[s];
        size_t i = record - segment->first, end = i + RECORD_SAMPLE_RECORDS;
        for (size_t at = RecordOffset(segment, i); i < segment->count && i < end; i++) {
            const RecordShape *shape = &segment->shapes[i];
            const char *text = segment->text + at;
            sampled++;
            if (key->filter >= 0) {
                const KeyField *driver = &key->fields[key->filter];
                int pass = (segment->filters[driver->field][i] & driver->filter_mask) == driver->filter_want;
                passes += pass;
                fits += pass && KeyLengthsFit(key, shape);
            }
            if (sieve->on) {
                const char *field;
                size_t length;
                int ends = SieveEndsPass(&sieve->ends, text, shape, &field, &length);
                int inner = InnerAlonePasses(sieve, text, shape);
                ends_passes += ends;
                inner_passes += inner;
                pair_passes += PairAlonePasses(sieve, text, shape);
                sieve_passes += ends && inner;
            }
            matches += RecordMatches(key, store->fold, text, shape);
            at += shape->end[RECORD_FIELDS - 1];
        }
    }
    sample->passed = Share(passes, sampled);
    sample->fitting = Share(fits, sampled);
    sample->sieved = Share(sieve_passes, sampled);
    sample->ends = Share(ends_passes, sampled);
    sample->inner = Share(inner_passes, sampled);
    sample->pair = Share(pair_passes, sampled);
    sample->matched = Share(matches, sampled);
}

/* How often the planned run's compared bytes stand at a place of the text (*compared_share), how often
 * the whole run (*run_share), and how often with the key field's other runs near it (*near_share),
 * counted in windows of the text spread over the store: words repeat, so their bytes' shares alone
 * would tell a common word from a rare one badly («лов» stands in a surname of five and in Павлович). */
static void SampleRun(const DatabaseStore *store, const CompiledKey *key, const LiteralScan *plan,
                      double *compared_share, double *run_share, double *near_share)
{
    size_t places = 0, compared = 0, runs = 0, near = 0;
    const SegmentList *list = &store->list;
    const DatabaseSegment *last_read = NULL;   /* the segment of the last window, */
    size_t next = 0;                           /* and the first place of it not read yet */
    for (size_t j = 0, s = 0; j < RUN_SAMPLE_WINDOWS; j++) {
        size_t record = store->count / RUN_SAMPLE_WINDOWS * j;
        while (s < list->count && list->segments[s].first + list->segments[s].count <= record)
            s++;
        if (s == list->count)
            break;
        const DatabaseSegment *segment = &list->segments[s];
        const unsigned char *text = (const unsigned char *)segment->text;
        size_t from = RecordOffset(segment, record - segment->first);
        if (segment == last_read && from < next)
            continue;   /* a small store: the windows would overlap */
        last_read = segment;
        next = from + RUN_SAMPLE_BYTES;
        size_t to = from + RUN_SAMPLE_BYTES < segment->text_room ? from + RUN_SAMPLE_BYTES : segment->text_room;
        for (size_t place = from; place + plan->length <= to; place++, places++) {
            if (store->fold[text[place + plan->first_at]] != plan->run[plan->first_at] ||
                store->fold[text[place + plan->second_at]] != plan->run[plan->second_at] ||
                store->fold[text[place + plan->third_at]] != plan->run[plan->third_at])
                continue;   /* the run cannot stand where its compared bytes do not */
            compared++;
            if (FoldedEqual(plan->run, text + place, plan->length, store->fold)) {
                runs++;
                near += OtherRunsNear(plan, key->fields[plan->key_field].text, text, segment->text_room, place,
                                      store->fold);
            }
        }
    }
    *compared_share = Share(compared, places);
    *run_share = Share(runs, places);
    *near_share = Share(near, places);
}

/* Plans a scan of key field i (k) for its run number chosen of the runs in plan: the two of its
 * bytes that occur least together compared first, and a third where those two still stand together
 * often; its cost a record of text_per_record bytes. */
static double PlanRun(const DatabaseStore *store, const CompiledKey *key, int i, int chosen, double text_per_record,
                      LiteralScan *plan)
{
    const KeyField *k = &key->fields[i];
    const unsigned char *run = k->text + plan->run_start[chosen];
    size_t length = plan->run_length[chosen];
    double share[32] = {0};
    for (size_t p = 0; p < length; p++)
        share[p] = ByteShare(store, run[p]);
    size_t first = 0, second = 0, third;
    for (size_t a = 0; a < length; a++)
        for (size_t b = a + 1; b < length; b++)
            if (first == second || share[a] * share[b] < share[first] * share[second]) {
                first = a;
                second = b;
            }
    double pair = first == second ? share[first] : share[first] * share[second];
    third = second;
    if (pair * text_per_record > THIRD_BYTE_HITS)
        for (size_t c = 0; c < length; c++)
            if (c != first && c != second && (third == second || share[c] < share[third]))
                third = c;
    plan->key_field = i;
    plan->chosen = (uint8_t)chosen;
    plan->longest = kFieldSpecs[k->field].longest;
    plan->length = (uint8_t)length;
    if (share[second] < share[first]) {   /* the rarer byte is compared first: most blocks end there */
        size_t rarer = second;
        second = first;
        first = rarer;
        if (third == first)
            third = second;
    }
    plan->first_at = (uint8_t)first;
    plan->second_at = (uint8_t)second;
    plan->third_at = (uint8_t)third;
    plan->rare_first = share[first] * 64 < RARE_IN_64_BYTES;
    memcpy(plan->run, run, length);
    MakeByteSet(store->fold, run[first], &plan->first);
    MakeByteSet(store->fold, run[second], &plan->second);
    MakeByteSet(store->fold, run[third], &plan->third);
    double compared, whole, near;
    SampleRun(store, key, plan, &compared, &whole, &near);
    plan->ask_for_records = near * text_per_record > DENSE_CANDIDATES;
    /* Each place the run stands costs the look for the others near it: each one's window, twice the
     * field's longest text, read a byte at a time. */
    double check = RUN_HIT_COST + NEAR_COST_A_BYTE * 2.0 * plan->longest * (plan->run_count - 1);
    /* Where the first compared byte is rare, the others are tested in the few blocks that hold it. */
    int tests = SetTests(&plan->first) + (plan->rare_first ? 0 : SecondTests(plan) + ThirdTests(plan));
    double a_byte = SCAN_COST_A_TEST * tests > SCAN_COST_A_BYTE ? SCAN_COST_A_TEST * tests : SCAN_COST_A_BYTE;
    return text_per_record * (a_byte + PAIR_HIT_COST * compared + check * whole + SCAN_CANDIDATE_COST * near);
}

/* The cheapest scan for the key's runs of literal bytes: its cost a record, or a negative figure
 * when the key has no run. */
static double PlanScan(const DatabaseStore *store, const CompiledKey *key, LiteralScan *best)
{
    double best_cost = -1.0;
    double text_per_record = store->count > 0 ? (double)store->text_bytes / (double)store->count : 0.0;
    for (int i = 0; i < key->count; i++) {
        const KeyField *k = &key->fields[i];
        LiteralScan plan;
        plan.run_count = 0;
        for (size_t start = 0; start < k->length;) {   /* the field's runs: literal bytes between wildcards */
            size_t end = start;
            while (end < k->length && !(k->test == FIELD_PATTERN && (k->text[end] == '*' || k->text[end] == '?')))
                end++;
            if (end > start) {
                plan.run_start[plan.run_count] = (uint8_t)start;
                plan.run_length[plan.run_count++] = (uint8_t)(end - start);
            }
            start = end + 1;
        }
        for (int chosen = 0; chosen < plan.run_count; chosen++) {
            double cost = PlanRun(store, key, i, chosen, text_per_record, &plan);
            if (best_cost < 0 || cost < best_cost) {
                best_cost = cost;
                *best = plan;
            }
        }
    }
    return best_cost;
}

/* The key field whose filter rules out most records: the one whose key decides the most bits of
 * its filter, the first of those that decide as many; -1 when the key decides none. */
static int PickFilterField(const CompiledKey *key)
{
    int best = -1;
    int best_bits = 0;
    for (int i = 0; i < key->count; i++) {
        int bits = __builtin_popcount(key->fields[i].filter_mask);
        if (bits > best_bits) {
            best = i;
            best_bits = bits;
        }
    }
    return best;
}

/* How often inner byte j of the sieve passes a byte of the text. */
static double InnerShare(const DatabaseStore *store, const FieldSieve *sieve, size_t j)
{
    return sieve->inner_or[0][j][0] == 0xFF ? 1.0 : ByteShare(store, sieve->run[j]);
}

/* The two bytes of the sieve's run that the text holds least together: a walk may test them first, and
 * the rest only where they stand. */
static void PickInnerPair(const DatabaseStore *store, FieldSieve *sieve)
{
    double least = 2.0;
    for (size_t a = 0; a < sieve->inner; a++)
        for (size_t b = a + 1; b < sieve->inner; b++) {
            double both = InnerShare(store, sieve, a) * InnerShare(store, sieve, b);
            if (both < least) {
                least = both;
                sieve->pair[0] = (uint8_t)a;
                sieve->pair[1] = (uint8_t)b;
            }
        }
}

/* What a walk costs a record with the key's sieve, its order chosen: the test that fewer records pass
 * goes first where few enough pass it for a branch on it to go the same way nearly always. Where the
 * run goes first, its two rarest bytes go first of all if few enough records hold them (name
 * «*ерге*», whose г and р few names hold). */
static double PlanSieve(FieldSieve *sieve, const RecordSample *sample)
{
    if (sieve->inner == 0)
        return ENDS_COST_A_RECORD;
    int pair_first = sieve->inner > 2 &&
                     (sample->pair <= PAIR_PASSES_A_BYTE * (sieve->inner - 2) || g_switches.pair_first);
    int held = pair_first || WalkBuiltForRun(sieve->inner);
    double a_byte = (held ? HELD_COST_A_BYTE : INNER_COST_A_BYTE) * (sieve->long_field ? 2 : 1);
    double inner = INNER_COST_A_RECORD + a_byte * (pair_first ? 2 + sieve->inner * sample->pair : sieve->inner);
    double cost = inner;
    sieve->order = SIEVE_INNER_ONLY;
    if (sieve->ends.head != 0 || sieve->ends.tail != 0) {
        cost = ENDS_COST_A_RECORD + inner;
        sieve->order = SIEVE_TOGETHER;
        if (sample->ends <= sample->inner && sample->ends <= SIEVE_PASSES_AT_MOST) {
            sieve->order = SIEVE_ENDS_FIRST;
            cost = ENDS_COST_A_RECORD + inner * sample->ends;
        } else if (sample->inner <= SIEVE_PASSES_AT_MOST) {
            sieve->order = SIEVE_INNER_FIRST;
            cost = inner + ENDS_COST_A_RECORD * sample->inner;
        }
        if (g_switches.sieve_order != 0)
            sieve->order = (uint8_t)(g_switches.sieve_order - 1);
    }
    sieve->pair_first = (uint8_t)(pair_first && (sieve->order == SIEVE_INNER_ONLY || sieve->order == SIEVE_INNER_FIRST));
    return cost;
}

/* 1 when a key field of more than 8 bytes is a pattern. */
static int HasLongPattern(const CompiledKey *key)
{
    for (int i = 0; i < key->count; i++)
        if (key->fields[i].test == FIELD_PATTERN && kFieldSpecs[key->fields[i].field].longest > 8)
            return 1;
    return 0;
}

void ChooseSearchWay(const DatabaseStore *store, CompiledKey *key)
{
    key->filter = PickFilterField(key);
    RecordSample sample;
    if (key->sieve.on)
        PickInnerPair(store, &key->sieve);
    SampleRecords(store, key, &sample);
    if (!key->sieve.decides && sample.sieved > SIEVE_PASSES_AT_MOST)
        key->sieve.on = 0;
    double walk_cost = WALK_COST_A_RECORD;
    if (key->sieve.on)
        walk_cost = PlanSieve(&key->sieve, &sample) + (key->sieve.decides ? 0.0 : WALK_COST_A_RECORD * sample.sieved);
    double candidate = CANDIDATE_COST + (HasLongPattern(key) ? PATTERN_CANDIDATE_COST : 0.0);
    double filter_cost = key->filter < 0 ? -1.0
                                         : FILTER_COST_A_RECORD + SHAPE_CANDIDATE_COST * (sample.passed - sample.fitting) +
                                               candidate * sample.fitting;
    double scan_cost = PlanScan(store, key, &key->scan);
    if (scan_cost >= 0)
        scan_cost += SCAN_MATCH_COST * sample.matched;
    int forced = g_switches.search_way;
    if (forced == WAY_FILTER && filter_cost >= 0)
        key->way = WAY_FILTER;
    else if (forced == WAY_SCAN && scan_cost >= 0)
        key->way = WAY_SCAN;
    else if (forced != 0)
        key->way = WAY_WALK;
    else if (filter_cost >= 0 && (scan_cost < 0 || filter_cost <= scan_cost) && filter_cost <= walk_cost)
        key->way = WAY_FILTER;
    else if (scan_cost >= 0 && scan_cost <= walk_cost)
        key->way = WAY_SCAN;
    else
        key->way = WAY_WALK;
}
