/* directory_generator.h - a deterministic generator of realistic directory entries in
 * Windows-1251, written either as source listing lines or as database lines.
 * The same seed gives the same entries on every platform: its own PRNG (splitmix64),
 * integer weights only, no standard distributions.
 */
#ifndef DIRECTORY_GENERATOR_H
#define DIRECTORY_GENERATOR_H

#include <stddef.h>
#include <stdint.h>

#define GENERATED_TEXT_MAX 64    /* room for any one generated text, NUL included */
#define GENERATED_LINE_MAX 400   /* room for any one generated line, CR LF and NUL included */
#define WORD_LIST_MAX      512   /* most words a weighted list may hold */
#define DATABASE_BUILDING  "42"  /* the building field, always, as the converter writes it */

/* What a line is written as. */
enum GeneratedOutput {
    OUTPUT_SOURCE,      /* phone;house;flat;number surname;name patronymic;street[;district] */
    OUTPUT_DATABASE     /* phone;surname;name;patronymic;street;house;42;flat */
};

enum PersonSex { SEX_MALE, SEX_FEMALE };

/* One person's entry; every text is Windows-1251, NUL-terminated, not yet cut to a field. */
typedef struct GeneratedEntry {
    uint64_t number;                           /* 1-based place in the output: the listing's dropped word */
    int      sex;                              /* SEX_MALE or SEX_FEMALE; surname and patronymic agree */
    char     phone[8];                         /* seven digits, never starting with 0 or 1 */
    char     surname[GENERATED_TEXT_MAX];      /* in the person's sex: Петров, Петрова */
    char     name[GENERATED_TEXT_MAX];         /* first name of the person's sex */
    char     patronymic[GENERATED_TEXT_MAX];   /* Сергеевич, Ильинична; empty for the few who give none */
    char     street[GENERATED_TEXT_MAX];       /* rarely longer than a database field holds */
    char     house[8];                         /* 1..250, sometimes with a letter: 12а */
    char     flat[8];                          /* 1..400, or empty for a private house */
    char     district[GENERATED_TEXT_MAX];     /* listing only: text after one more ';' */
    int      has_district;                     /* 1 when the listing line carries the district part */
} GeneratedEntry;

/* Cumulative integer weights over a list, most common word first. */
typedef struct WordWeights {
    uint32_t cumulative[WORD_LIST_MAX];        /* weight of words 0..i together */
    uint32_t total;                            /* weight of the whole list */
    uint32_t count;                            /* words in the list */
} WordWeights;

/* The generator's whole state: the PRNG and the weights it draws words by. */
typedef struct DirectoryGenerator {
    uint64_t    random;                        /* splitmix64 state */
    uint64_t    number;                        /* entries drawn so far */
    WordWeights surnames;                      /* Zipf-like: many Ивановы, few Голенищевы-Кутузовы */
    WordWeights male_names;                    /* men's first names, also drawn for fathers */
    WordWeights female_names;                  /* women's first names */
    WordWeights streets;                       /* street names */
} DirectoryGenerator;

/* Prepares generator to draw the entries of seed from the first one. */
void StartDirectoryGenerator(DirectoryGenerator *generator, uint64_t seed);

/* Draws the next entry. */
void DrawDirectoryEntry(DirectoryGenerator *generator, GeneratedEntry *entry);

/* Writes entry as one line of output ending in CR LF, NUL-terminated, into line; returns its length without the NUL. */
size_t FormatDirectoryLine(const GeneratedEntry *entry, int output, char *line, size_t size);

/* Draws the next entry and writes it as one line; returns the line's length. */
size_t NextDirectoryLine(DirectoryGenerator *generator, int output, char *line, size_t size);

/* Converts UTF-8 text (ASCII and Cyrillic) to Windows-1251, NUL-terminated within size; returns the bytes written.
 * A character outside the code page becomes '?'. */
size_t ConvertToWindows1251(const char *utf8, char *out, size_t size);

#endif /* DIRECTORY_GENERATOR_H */
