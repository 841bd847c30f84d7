/* tokenizer.cpp - the restoring tokenizer: cuts a token in place by writing NUL over the
 * delimiter that ends it, and puts that byte back before the next scan, so two delimiters
 * in a row give an empty token and the text is whole again. Defines NextToken and the
 * process-wide g_tokenizer.
 */
#include "converter.h"

#include <stdint.h>
#include <string.h>

TokenizerState g_tokenizer;

/* Bytes are compared eight at a time, in words read in little-endian order. */
static_assert(__BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__, "the word scan expects little-endian words");

static const uint64_t kOnes = 0x0101010101010101ull;
static const uint64_t kHighBits = 0x8080808080808080ull;

/* The bytes that end a scan, as words of eight copies: NUL always, and one or two delimiters
 * (a single one is given twice). A longer set is scanned by strcspn. */
typedef struct StopWords {
    uint64_t first;    /* the first delimiter, eight times */
    uint64_t second;   /* the second delimiter (or the first again), eight times */
} StopWords;

/* Reads a set of one or two delimiters into stops without a library call; 1, or 0 for an empty
 * or a longer set. Taken afresh on each call: the set may be another one, or the same one changed. */
static int MakeStopWords(const char *delimiters, StopWords *stops)
{
    unsigned char first = (unsigned char)delimiters[0];
    if (first == 0)
        return 0;
    unsigned char second = (unsigned char)delimiters[1];
    if (second == 0)
        second = first;
    else if (delimiters[2] != '\0')
        return 0;
    stops->first = kOnes * first;
    stops->second = kOnes * second;
    return 1;
}

/* Flags in one word the bytes that end a scan: NUL and the two delimiters. Only the lowest flag
 * is exact (a borrow may flag a byte above it), and only the lowest is used. */
static inline uint64_t MatchStops(uint64_t word, const StopWords *stops)
{
    uint64_t a = word ^ stops->first;
    uint64_t b = word ^ stops->second;
    return ((word - kOnes) & ~word & kHighBits) | ((a - kOnes) & ~a & kHighBits) | ((b - kOnes) & ~b & kHighBits);
}

/* The last left bytes of the text (fewer than eight) at q, as a little-endian word padded with zeros
 * above them. Reads stay inside [text, q + left): the word that ends where the text ends when the
 * text is long enough, byte by byte otherwise. */
static inline uint64_t TailWord(const unsigned char *q, size_t left, const unsigned char *text)
{
    uint64_t word = 0;
    if (q + left - text >= 8) {
        memcpy(&word, q + left - 8, 8);
        return word >> ((8 - left) * 8);
    }
    for (size_t i = left; i > 0; i--)
        word = (word << 8) | q[i - 1];
    return word;
}

/* The first byte in [p, end) that is NUL or one of stops, or end when there is none; text is where
 * the text began, so reads never leave [text, end). Whole words while they last, then one for the rest. */
static char *FindStop(char *p, const char *end, const char *text, const StopWords *stops)
{
    const unsigned char *q = (const unsigned char *)p;
    const unsigned char *stop = (const unsigned char *)end;
    for (; stop - q >= 8; q += 8) {
        uint64_t word;
        memcpy(&word, q, 8);
        uint64_t hits = MatchStops(word, stops);
        if (hits != 0)
            return (char *)q + (__builtin_ctzll(hits) >> 3);
    }
    size_t left = (size_t)(stop - q);
    if (left == 0)
        return (char *)end;
    uint64_t hits = MatchStops(TailWord(q, left, (const unsigned char *)text), stops);
    hits &= ((uint64_t)1 << (left * 8)) - 1;   /* the zeros above the text are no text */
    return hits != 0 ? (char *)q + (__builtin_ctzll(hits) >> 3) : (char *)end;
}

/* The first byte in [p, end) that is one of delimiters or NUL, or end when there is none. */
static inline char *FindDelimiter(char *p, const char *end, const char *text, const char *delimiters)
{
    StopWords stops;
    if (!MakeStopWords(delimiters, &stops))
        return p + strcspn(p, delimiters);
    return FindStop(p, end, text, &stops);
}

char *NextToken(const char *delimiters, char *text, char *found)
{
    TokenizerState *t = &g_tokenizer;

    /* 1. Make the text whole again: put back the byte the last cut replaced. */
    if (t->cut_pending) {
        *t->cut_position = t->saved_delimiter;
        t->cut_pending = 0;
    }

    /* 2. No delimiters: the call only restored. */
    if (delimiters == NULL)
        return NULL;

    /* 3. Start at the given text, or go on after the last cut; with neither there is nothing to scan. */
    char *start = text;
    if (start == NULL) {
        if (t->cut_position == NULL)
            return NULL;
        start = t->cut_position + 1;
    } else {
        t->text_start = start;
        t->text_end = start + strlen(start);   /* bounds the word reads of every scan of this text */
    }
    t->token_start = start;

    /* 4. The first delimiter at or after the start; the NUL ending the text when there is none. */
    char *end = FindDelimiter(start, t->text_end, t->text_start, delimiters);

    /* 5. A delimiter: cut there and remember what was cut. */
    if (*end != '\0') {
        t->cut_position = end;
        t->saved_delimiter = *end;
        t->cut_pending = 1;
        if (found != NULL)
            *found = *end;
        *end = '\0';
        return start;
    }

    /* 6. None: the token runs to the end of the text and there is no cut to go on from. */
    t->cut_position = NULL;
    t->text_end = end;
    if (found != NULL)
        *found = '\0';
    return start;
}
