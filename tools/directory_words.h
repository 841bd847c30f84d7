/* directory_words.h - the word lists the directory generator draws from, in UTF-8, each in
 * order of how common it is (the generator gives earlier words more weight).
 * Defined in directory_words.cpp: kSurnames, kMaleNames, kFemaleNames, kStreets, kDistricts.
 */
#ifndef DIRECTORY_WORDS_H
#define DIRECTORY_WORDS_H

#include <stddef.h>

#define ARRAY_SIZE(a) (sizeof(a) / sizeof((a)[0]))

/* A list of words, most common first. */
typedef struct WordList {
    const char *const *words;   /* UTF-8 text of each word */
    size_t             count;   /* number of words */
} WordList;

/* A man's first name with the patronymics his children take from it. */
typedef struct MaleName {
    const char *name;           /* Сергей */
    const char *son;            /* Сергеевич */
    const char *daughter;       /* Сергеевна */
} MaleName;

/* Male first names and their patronymics, most common first. */
typedef struct MaleNameList {
    const MaleName *names;      /* the names */
    size_t          count;      /* number of names */
} MaleNameList;

extern const WordList     kSurnames;      /* surnames in the male form: Иванов, Чайковский, Шевченко */
extern const MaleNameList kMaleNames;     /* men's first names with patronymics */
extern const WordList     kFemaleNames;   /* women's first names */
extern const WordList     kStreets;       /* street names; the last few are longer than a database field holds */
extern const WordList     kDistricts;     /* what a listing line may carry after the street */

#endif /* DIRECTORY_WORDS_H */
