/* key_matching.cpp - compiling a search key and testing records against it.
 * Defines CompileKey, PatternFieldMatches and PatternMatches.
 */
#include "key_matching.h"
#include "byte_presence.h"

#include <string.h>

/* The key's fields in the order they are tried: the ones that tell records apart soonest first. */
static const uint8_t kTryOrder[RECORD_FIELDS] = {
    FIELD_SURNAME, FIELD_PHONE, FIELD_STREET, FIELD_NAME, FIELD_PATRONYMIC, FIELD_FLAT, FIELD_HOUSE, FIELD_BUILDING,
};

/* The bits of an ends filter that the key fixes: the first byte when it is literal, the length when
 * the field must have the key's, and the last byte when it is literal, for a pattern covers the
 * field to its end. */
static void CompileEndsFilterTest(KeyField *k, const unsigned char *text, int fixed_length)
{
    k->filter_mask = 0;
    if (text[0] != '*' && text[0] != '?')
        k->filter_mask |= ENDS_FIRST_BITS;
    if (fixed_length)
        k->filter_mask |= ENDS_LENGTH_BITS;
    if (text[k->length - 1] != '*' && text[k->length - 1] != '?')
        k->filter_mask |= ENDS_LAST_BITS;
    k->filter_want = EndsFilterOfBytes(k->text[0], k->text[k->length - 1], k->length) & k->filter_mask;
}

/* The bits of a head filter that the key fixes: each of the first three bytes that is a literal
 * byte before any '*' and no '?', or no byte at all past the end of a key that the field must
 * equal in length. */
static void CompileHeadFilterTest(KeyField *k, const unsigned char *text, int fixed_length)
{
    unsigned known[3] = {0, 0, 0};
    k->filter_mask = 0;
    for (size_t p = 0; p < 3; p++) {
        if (p < k->head && p < k->length && text[p] != '?')
            known[p] = k->text[p];
        else if (!(p >= k->length && fixed_length))
            continue;
        k->filter_mask |= HeadFilterMask(p + 1) & ~HeadFilterMask(p);
    }
    k->filter_want = HeadFilterOfBytes(known[0], known[1], known[2]) & k->filter_mask;
}

/* What a record's filter must hold for the field k of text (raw, before folding) to pass it. The
 * field must equal the key in length when the key is whole, or a pattern without '*'. */
static void CompileFilterTest(KeyField *k, const unsigned char *text)
{
    int fixed_length = k->test == FIELD_WHOLE || (k->test == FIELD_PATTERN && k->head == k->length);
    if (HasEndsFilter(k->field))
        CompileEndsFilterTest(k, text, fixed_length);
    else
        CompileHeadFilterTest(k, text, fixed_length);
}

/* A sieve byte's two tests, (byte | or_bits[t]) == want[t], for the bytes that fold to folded: the
 * second repeats the first but for a byte that takes two; 0xFF both ways, any byte, for '?'. 0 when
 * they pass more bytes than that: a set that two tests cannot hold. */
static int SieveByteTests(const unsigned char fold[256], unsigned char folded, uint8_t or_bits[2], uint8_t want[2])
{
    or_bits[0] = or_bits[1] = want[0] = want[1] = 0xFF;
    if (folded == '?')
        return 1;
    ByteSet set;
    MakeByteSet(fold, folded, &set);
    for (int t = 0; t < 2; t++) {
        or_bits[t] = set.or_bits[t];
        want[t] = set.want[t];
    }
    return set.or_bits[1] != 0xFF;
}

/* 1 when a byte's two tests differ: it is paired. */
static int TakesTwoTests(const uint8_t or_bits[2], const uint8_t want[2])
{
    return or_bits[1] != or_bits[0] || want[1] != want[0];
}

/* 1 when a byte of the length bytes of text takes two tests. */
static int HasPairedByte(const unsigned char fold[256], const unsigned char *text, size_t length)
{
    for (size_t j = 0; j < length; j++) {
        uint8_t o[2], w[2];
        SieveByteTests(fold, text[j], o, w);
        if (TakesTwoTests(o, w))
            return 1;
    }
    return 0;
}

/* The tests of length bytes of text at a field's end, byte j of the run in byte j of the words; a
 * byte that takes two tests passes any byte there. 0 when a byte's test passes more than its letter. */
static int SieveRunTests(const unsigned char fold[256], const unsigned char *text, size_t length, SieveBytes *test)
{
    int exact = 1;
    test->or_bits = test->want = 0;
    for (size_t j = 0; j < length; j++) {
        uint8_t o[2], w[2];
        int whole = SieveByteTests(fold, text[j], o, w);
        int paired = TakesTwoTests(o, w);
        exact &= whole && !paired;
        if (paired)
            o[0] = w[0] = 0xFF;
        test->or_bits |= (uint64_t)o[0] << (8 * j);
        test->want |= (uint64_t)w[0] << (8 * j);
    }
    return exact;
}

/* The length of the longest run of the pattern k between its first and last '*', where it starts
 * (*start) and how many non-empty runs stand there (*runs). */
static size_t LongestInnerRun(const KeyField *k, size_t *start, size_t *runs)
{
    size_t longest = 0;
    *start = *runs = 0;
    for (size_t from = k->head + 1u; from < k->tail_start;) {
        size_t end = from;
        while (k->text[end] != '*')
            end++;
        *runs += end > from;
        if (end - from > longest) {
            *start = from;
            longest = end - from;
        }
        from = end + 1;
    }
    return longest;
}

/* The sieve's run_starts. A walk tests a record's field for its run at 16 or 32 places at once, and
 * this one look-up tells it both whether the field's length fits the pattern and at which of them
 * the run may start, which it worked out at every record before: patronymic «*ик*ич» 77 to 50
 * instructions a record, 4.8 to 3.7 ms at 1,000,000 entries. */
static void FillRunStarts(FieldSieve *sieve)
{
    if (sieve->inner == 0)
        return;   /* no walk looks it up */
    const SieveEnds *ends = &sieve->ends;
    size_t reach = ends->tail + sieve->inner - 1;   /* the places past the run's start it needs */
    uint32_t after_head = ~(((uint32_t)1 << ends->head) - 1);
    size_t longest = ends->longest < 255 ? ends->longest : 255;
    for (size_t length = ends->shortest; length <= longest; length++) {
        size_t n = length >= reach ? length - reach : 0;   /* the first n places: at most 32 */
        uint32_t below = (uint32_t)(((uint64_t)1 << (n < 32 ? n : 32)) - 1);
        sieve->run_starts[length] = (sieve->inner_at_end ? below ^ (below >> 1) : below) & after_head;
    }
}

/* The sieve of the pattern k: up to 8 bytes of its head and of its tail, and up to 8 of its longest
 * run between stars as the inner one; whether it tests the whole pattern. */
static void CompileSieve(const KeyField *k, const unsigned char fold[256], FieldSieve *sieve)
{
    SieveEnds *ends = &sieve->ends;
    memset(sieve, 0, sizeof *sieve);
    sieve->on = 1;
    ends->field = k->field;
    ends->before = k->before;
    ends->before_mask = k->before_mask;
    sieve->long_field = kFieldSpecs[k->field].longest > 8;
    ends->shortest = k->shortest;
    ends->longest = k->longest;
    size_t tail = k->length - k->tail_start;
    int starless = k->head == k->length;
    /* past the head's 8 bytes, a pattern with no star has its last 8 tested at the field's end too:
     * patronymic «?лександровна» walked in 3.7 ms, not 4.6 */
    if (starless && k->length > 8)
        tail = k->length;
    size_t best, runs, longest_run = LongestInnerRun(k, &best, &runs);
    if (runs == 0 && tail > 0 && tail <= SIEVE_INNER_MAX && HasPairedByte(fold, k->text + k->tail_start, tail)) {
        /* a tail with е («*ей»): tested as the run, at the field's end, both of е's tests made */
        sieve->inner_at_end = 1;
        best = k->tail_start;
        longest_run = tail;
        runs = 1;
        tail = 0;
    }
    ends->head = (uint8_t)(k->head < 8 ? k->head : 8);
    ends->tail = (uint8_t)(tail < 8 ? tail : 8);
    ends->head_mask = BytesBelow(ends->head);
    ends->tail_mask = BytesBelow(ends->tail);
    int whole = starless ? k->length <= 16 : ends->head == k->head && ends->tail == tail;
    whole &= SieveRunTests(fold, k->text, ends->head, &ends->head_test);
    whole &= SieveRunTests(fold, k->text + k->length - ends->tail, ends->tail, &ends->tail_test);
    sieve->inner = (uint8_t)(longest_run < SIEVE_INNER_MAX ? longest_run : SIEVE_INNER_MAX);
    whole &= runs <= 1 && sieve->inner == longest_run;
    for (size_t j = 0; j < sieve->inner; j++) {
        uint8_t o[2], w[2];
        whole &= SieveByteTests(fold, k->text[best + j], o, w);
        sieve->run[j] = k->text[best + j];
        for (int t = 0; t < 2; t++) {
            memset(sieve->inner_or[t][j], o[t], sizeof sieve->inner_or[t][j]);
            memset(sieve->inner_want[t][j], w[t], sizeof sieve->inner_want[t][j]);
        }
        if (TakesTwoTests(o, w))
            sieve->inner_paired |= (uint8_t)(1u << j);
    }
    sieve->decides = (uint8_t)whole;
    sieve->order = ends->head == 0 && ends->tail == 0 ? SIEVE_INNER_ONLY : SIEVE_TOGETHER;   /* till a plan says */
    FillRunStarts(sieve);
}

/* The key field whose pattern the sieve tests: the one with the most bytes a sieve can test, or -1. */
static int PickSieveField(const CompiledKey *key)
{
    int best = -1;
    size_t best_bytes = 0;
    for (int i = 0; i < key->count; i++) {
        const KeyField *k = &key->fields[i];
        if (k->test != FIELD_PATTERN)
            continue;
        size_t tail = k->length - k->tail_start, start, runs, inner = LongestInnerRun(k, &start, &runs);
        size_t bytes = (k->head < 8 ? k->head : 8) + (tail < 8 ? tail : 8) + (inner < 8 ? inner : 8);
        if (kFieldSpecs[k->field].longest <= 8)
            bytes = k->shortest;
        if (bytes > best_bytes) {
            best = i;
            best_bytes = bytes;
        }
    }
    return best;
}

void CompileKey(const DirectoryRecord *key, const unsigned char fold[256], CompiledKey *compiled)
{
    for (size_t i = 0; i < MEMO_SLOTS; i++)
        compiled->memo[i].length = MEMO_UNUSED;
    const unsigned char *bytes = (const unsigned char *)key;
    compiled->count = 0;
    compiled->memo_field = -1;
    compiled->memo_asked = compiled->memo_found = 0;
    compiled->first_field = RECORD_FIELDS - 1;
    compiled->last_field = 0;
    memset(&compiled->needed, 0, sizeof compiled->needed);
    for (int i = 0; i < RECORD_FIELDS; i++) {
        int f = kTryOrder[i];
        const unsigned char *text = bytes + kFieldSpecs[f].offset;
        size_t length = 0;
        while (length < kFieldSpecs[f].width && text[length] != '\0')
            length++;
        if (length == 0)
            continue;
        KeyField *out = &compiled->fields[compiled->count++];
        out->field = (uint8_t)f;
        out->before = (uint8_t)((f + RECORD_FIELDS - 1) % RECORD_FIELDS);
        out->before_mask = f == 0 ? 0 : 0xFF;
        compiled->first_field = f < compiled->first_field ? f : compiled->first_field;
        compiled->last_field = f > compiled->last_field ? f : compiled->last_field;
        out->length = (uint8_t)length;
        out->test = kFieldSpecs[f].match == MATCH_WHOLE ? FIELD_WHOLE : FIELD_PREFIX;
        for (size_t j = 0; j < length; j++) {
            if (text[j] == '*' || text[j] == '?')
                out->test = FIELD_PATTERN;
            else
                AddToByteMap(&compiled->needed, fold[text[j]]);
            out->text[j] = fold[text[j]];
        }
        out->head = out->tail_start = (uint8_t)length;
        for (size_t j = length; j-- > 0;)
            if (text[j] == '*')
                out->head = (uint8_t)j;
        for (size_t j = 0; j < length; j++)
            if (text[j] == '*')
                out->tail_start = (uint8_t)(j + 1);
        size_t stars = 0;
        for (size_t j = 0; j < length; j++)
            stars += text[j] == '*';
        out->shortest = (uint8_t)(length - stars);
        out->longest = out->test == FIELD_WHOLE || (out->test == FIELD_PATTERN && stars == 0) ? (uint8_t)length : 0xFF;
        CompileFilterTest(out, text);
        if (out->test == FIELD_PATTERN && compiled->memo_field < 0)
            compiled->memo_field = compiled->count - 1;
    }
    compiled->sieve.on = 0;
    int sieved = PickSieveField(compiled);
    if (sieved >= 0)
        CompileSieve(&compiled->fields[sieved], fold, &compiled->sieve);
    compiled->sieve.decides &= compiled->count == 1;   /* another field still has its own test */
}

/* 1 when each pattern byte is '?' or the folded text byte. */
static int SegmentMatches(const unsigned char *pattern, size_t length, const unsigned char *text,
                          const unsigned char fold[256])
{
    for (size_t i = 0; i < length; i++)
        if (pattern[i] != '?' && pattern[i] != fold[text[i]])
            return 0;
    return 1;
}

/* The pattern is literal segments between stars. The first is tied to the text's start and the
 * last to its end; each one between goes at its leftmost place after the one before, which
 * never loses a match. No backtracking: at most pattern length times text length steps. */
int PatternMatches(const KeyField *k, const unsigned char *text, size_t text_length, const unsigned char fold[256])
{
    const unsigned char *pattern = k->text;
    size_t head = k->head, tail_start = k->tail_start, tail = k->length - tail_start;
    if (head == k->length)
        return text_length == head && SegmentMatches(pattern, head, text, fold);
    if (text_length < head + tail || !SegmentMatches(pattern, head, text, fold) ||
        !SegmentMatches(pattern + tail_start, tail, text + text_length - tail, fold))
        return 0;
    size_t t = head, t_end = text_length - tail;
    for (size_t p = head + 1; p < tail_start; p++) {
        if (pattern[p] == '*')
            continue;
        size_t n = 0;
        while (pattern[p + n] != '*')
            n++;
        while (t + n <= t_end && ((pattern[p] != '?' && pattern[p] != fold[text[t]]) ||
                                  !SegmentMatches(pattern + p + 1, n - 1, text + t + 1, fold)))
            t++;
        if (t + n > t_end)
            return 0;
        t += n;
        p += n;
    }
    return 1;
}

/* The text's words, a machine word each, are hashed by multiplying: the top bits pick the slot. */
static const size_t kGolden = sizeof(size_t) == 8 ? (size_t)0x9E3779B97F4A7C15ull : (size_t)0x9E3779B9u;

/* PatternMatches for the memo field, through the table of verdicts already found; a text is hashed
 * and compared in its first n words (a constant), which hold all of it. A slot's length tells how many
 * of its words count, so texts of one length are always seen through the same words. */
static inline int RememberedMatchIn(size_t n, CompiledKey *key, const KeyField *k, const unsigned char *text,
                                    size_t length, const unsigned char fold[256])
{
    size_t words[MEMO_WORDS], keep[MEMO_WORDS];
    memcpy(words, text, n * sizeof(size_t));   /* the store keeps slack after its text */
    memcpy(keep, kKeepBytes + 32 - length, n * sizeof(size_t));
    size_t hash = length;
    for (size_t w = 0; w < n; w++) {
        words[w] &= keep[w];
        hash = (hash ^ words[w]) * kGolden;
    }
    MemoSlot *slot = &key->memo[hash >> (8 * sizeof hash - MEMO_BITS)];
    size_t differ = 0;
    for (size_t w = 0; w < n; w++)
        differ |= slot->words[w] ^ words[w];
    if (slot->length == length && differ == 0) {
        key->memo_found++;
        return slot->verdict;
    }
    int verdict = PatternMatches(k, text, length, fold);
    memcpy(slot->words, words, n * sizeof(size_t));
    slot->length = (uint8_t)length;
    slot->verdict = (uint8_t)verdict;
    return verdict;
}

/* Most field texts fit in half the words, and take half the work. */
static int RememberedMatch(CompiledKey *key, const KeyField *k, const unsigned char *text, size_t length,
                           const unsigned char fold[256])
{
    return length <= 16 ? RememberedMatchIn(MEMO_WORDS / 2, key, k, text, length, fold)
                        : RememberedMatchIn(MEMO_WORDS, key, k, text, length, fold);
}

int PatternFieldMatches(CompiledKey *key, int i, const unsigned char fold[256], const unsigned char *text,
                        size_t length)
{
    const KeyField *k = &key->fields[i];
    if (i != key->memo_field)
        return PatternMatches(k, text, length, fold);
    if (++key->memo_asked == MEMO_TRIAL && key->memo_found < MEMO_TRIAL / MEMO_FEW)
        key->memo_field = -1;   /* the texts do not repeat: the table is only a cost */
    return RememberedMatch(key, k, text, length, fold);
}
