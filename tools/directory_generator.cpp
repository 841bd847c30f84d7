/* directory_generator.cpp - drawing directory entries from the word lists and writing them
 * as Windows-1251 source listing or database lines.
 * Defines StartDirectoryGenerator, DrawDirectoryEntry, FormatDirectoryLine, NextDirectoryLine
 * and ConvertToWindows1251.
 */
#include "directory_generator.h"
#include "directory_words.h"

#include <string.h>

#include "record_fields.h"
#include "text_helpers.h"

#define WEIGHT_SCALE      1000000u   /* weight of a list's first word is WEIGHT_SCALE / offset */
#define SURNAME_OFFSET    10u        /* Zipf-like 1/(rank + offset): Иванов about 3%, the last about 0.1% */
#define FIRST_NAME_OFFSET 8u
#define STREET_OFFSET     30u

/* Shares of entries, per mille. */
#define FEMALE_PER_MILLE        540   /* women among the people listed */
#define NO_PATRONYMIC_PER_MILLE 10    /* people listed without a patronymic */
#define HOUSE_LETTER_PER_MILLE  50    /* house numbers with a letter: 12а */
#define SMALL_HOUSE_PER_MILLE   600   /* house numbers from the first sixty: streets are mostly short */
#define NO_FLAT_PER_MILLE       70    /* private houses, without a flat */
#define SMALL_FLAT_PER_MILLE    550   /* flats from the first 120 */
#define DISTRICT_PER_MILLE      30    /* listing lines with a district after the street */

/* Letters a house number may carry. */
static const char *const kHouseLetters[] = {"а", "а", "б", "в"};

/* ---------------------------------------------------------------- random numbers */

/* The next 64 random bits: splitmix64, the same on every platform. */
static uint64_t NextRandom(DirectoryGenerator *generator)
{
    uint64_t z = (generator->random += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

/* A random number in 0..limit-1. */
static uint32_t Below(DirectoryGenerator *generator, uint32_t limit)
{
    return (uint32_t)(NextRandom(generator) % limit);
}

/* 1 with a chance of per_mille in a thousand. */
static int Chance(DirectoryGenerator *generator, uint32_t per_mille)
{
    return Below(generator, 1000) < per_mille;
}

/* Gives the i-th of count words the weight WEIGHT_SCALE / (i + offset), in integers only. */
static void BuildWeights(WordWeights *weights, size_t count, uint32_t offset)
{
    if (count > WORD_LIST_MAX)
        count = WORD_LIST_MAX;
    weights->count = (uint32_t)count;
    weights->total = 0;
    for (uint32_t i = 0; i < weights->count; i++) {
        weights->total += WEIGHT_SCALE / (i + offset);
        weights->cumulative[i] = weights->total;
    }
}

/* Draws the index of a word by its weight: the first whose cumulative weight passes a random target. */
static uint32_t DrawWord(DirectoryGenerator *generator, const WordWeights *weights)
{
    uint32_t target = Below(generator, weights->total);
    uint32_t low = 0;
    uint32_t high = weights->count - 1;
    while (low < high) {
        uint32_t middle = low + (high - low) / 2;
        if (weights->cumulative[middle] > target)
            high = middle;
        else
            low = middle + 1;
    }
    return low;
}

/* ---------------------------------------------------------------- text */

/* Converts a character at a time through the shared text helper: the tests convert their literals
 * through the same code, so the two cannot disagree on a letter. */
size_t ConvertToWindows1251(const char *utf8, char *out, size_t size)
{
    const char *at = utf8, *end = utf8 + strlen(utf8);
    size_t n = 0;
    if (size == 0)
        return 0;
    while (at < end && n + 1 < size) {
        int byte = Cp1251ByteOf(NextCodePoint(&at, end));
        out[n++] = (char)(byte >= 0 ? byte : '?');
    }
    out[n] = '\0';
    return n;
}

/* 1 when the length bytes of text end with the UTF-8 text suffix. */
static int EndsWith(const char *text, size_t length, const char *suffix)
{
    size_t n = strlen(suffix);
    return length >= n && memcmp(text + length - n, suffix, n) == 0;
}

/* Appends the female form of one surname word (length bytes of UTF-8) to out, bounded by size:
 * -ов, -ев, -ёв, -ин, -ын take -а; -ий, -ой, -ый become -ая; other words (Шевченко, Черных) stay. */
static void AppendFemaleWord(const char *word, size_t length, char *out, size_t size)
{
    size_t used = strlen(out);
    size_t keep = length;
    const char *ending = "";
    if (EndsWith(word, length, "ий") || EndsWith(word, length, "ой") || EndsWith(word, length, "ый")) {
        keep = length - strlen("ий");
        ending = "ая";
    } else if (EndsWith(word, length, "ов") || EndsWith(word, length, "ев") || EndsWith(word, length, "ёв") ||
               EndsWith(word, length, "ин") || EndsWith(word, length, "ын")) {
        ending = "а";
    }
    size_t ending_length = strlen(ending);
    if (used + keep + ending_length + 1 > size)
        return;
    memcpy(out + used, word, keep);
    memcpy(out + used + keep, ending, ending_length + 1);
}

/* Writes the surname in the person's sex as Windows-1251; both halves of a double surname agree. */
static void FormSurname(const char *male, int sex, char *out, size_t size)
{
    char female[2 * GENERATED_TEXT_MAX] = "";
    if (sex == SEX_MALE) {
        ConvertToWindows1251(male, out, size);
        return;
    }
    for (const char *part = male;;) {
        const char *dash = strchr(part, '-');
        size_t length = dash != NULL ? (size_t)(dash - part) : strlen(part);
        AppendFemaleWord(part, length, female, sizeof female);
        if (dash == NULL)
            break;
        strncat(female, "-", sizeof female - strlen(female) - 1);
        part = dash + 1;
    }
    ConvertToWindows1251(female, out, size);
}

/* Writes value in decimal, NUL-terminated within size; returns its length. */
static size_t FormatNumber(uint64_t value, char *out, size_t size)
{
    char digits[24];
    size_t count = 0;
    do {
        digits[count++] = (char)('0' + value % 10);
        value /= 10;
    } while (value != 0 && count < sizeof digits);
    size_t n = 0;
    while (count > 0 && n + 1 < size)
        out[n++] = digits[--count];
    if (size > 0)
        out[n] = '\0';
    return n;
}

/* ---------------------------------------------------------------- drawing an entry */

void StartDirectoryGenerator(DirectoryGenerator *generator, uint64_t seed)
{
    memset(generator, 0, sizeof *generator);
    generator->random = seed;
    BuildWeights(&generator->surnames, kSurnames.count, SURNAME_OFFSET);
    BuildWeights(&generator->male_names, kMaleNames.count, FIRST_NAME_OFFSET);
    BuildWeights(&generator->female_names, kFemaleNames.count, FIRST_NAME_OFFSET);
    BuildWeights(&generator->streets, kStreets.count, STREET_OFFSET);
}

/* Draws first name and patronymic; the father's name is drawn from the men's names. */
static void DrawNames(DirectoryGenerator *generator, GeneratedEntry *entry)
{
    const char *name = entry->sex == SEX_MALE
                           ? kMaleNames.names[DrawWord(generator, &generator->male_names)].name
                           : kFemaleNames.words[DrawWord(generator, &generator->female_names)];
    ConvertToWindows1251(name, entry->name, sizeof entry->name);
    const MaleName *father = &kMaleNames.names[DrawWord(generator, &generator->male_names)];
    if (Chance(generator, NO_PATRONYMIC_PER_MILLE))
        entry->patronymic[0] = '\0';
    else
        ConvertToWindows1251(entry->sex == SEX_MALE ? father->son : father->daughter, entry->patronymic,
                             sizeof entry->patronymic);
}

/* Draws the address: street, house 1..250 (mostly low, sometimes with a letter), flat 1..400 or none. */
static void DrawAddress(DirectoryGenerator *generator, GeneratedEntry *entry)
{
    ConvertToWindows1251(kStreets.words[DrawWord(generator, &generator->streets)], entry->street,
                         sizeof entry->street);
    uint32_t house = Chance(generator, SMALL_HOUSE_PER_MILLE) ? 1 + Below(generator, 60) : 1 + Below(generator, 250);
    size_t length = FormatNumber(house, entry->house, sizeof entry->house);
    if (Chance(generator, HOUSE_LETTER_PER_MILLE))
        ConvertToWindows1251(kHouseLetters[Below(generator, ARRAY_SIZE(kHouseLetters))], entry->house + length,
                             sizeof entry->house - length);
    if (Chance(generator, NO_FLAT_PER_MILLE))
        entry->flat[0] = '\0';
    else
        FormatNumber(Chance(generator, SMALL_FLAT_PER_MILLE) ? 1 + Below(generator, 120) : 1 + Below(generator, 400),
                     entry->flat, sizeof entry->flat);
}

/* Draws a seven-digit phone number that starts with 2..9. */
static void DrawPhone(DirectoryGenerator *generator, GeneratedEntry *entry)
{
    FormatNumber(2000000 + Below(generator, 8000000), entry->phone, sizeof entry->phone);
}

void DrawDirectoryEntry(DirectoryGenerator *generator, GeneratedEntry *entry)
{
    memset(entry, 0, sizeof *entry);
    entry->number = ++generator->number;
    entry->sex = Chance(generator, FEMALE_PER_MILLE) ? SEX_FEMALE : SEX_MALE;
    FormSurname(kSurnames.words[DrawWord(generator, &generator->surnames)], entry->sex, entry->surname,
                sizeof entry->surname);
    DrawNames(generator, entry);
    DrawAddress(generator, entry);
    DrawPhone(generator, entry);
    entry->has_district = Chance(generator, DISTRICT_PER_MILLE);
    if (entry->has_district)
        ConvertToWindows1251(kDistricts.words[Below(generator, (uint32_t)kDistricts.count)], entry->district,
                             sizeof entry->district);
}

/* ---------------------------------------------------------------- writing a line */

/* A line being written: never more than size - 1 bytes, always NUL-terminated. */
typedef struct LineWriter {
    char  *out;      /* the line's buffer */
    size_t size;     /* its capacity, NUL included */
    size_t length;   /* bytes written so far */
} LineWriter;

/* Appends at most longest bytes of text. */
static void PutText(LineWriter *writer, const char *text, size_t longest)
{
    for (size_t i = 0; i < longest && text[i] != '\0' && writer->length + 1 < writer->size; i++)
        writer->out[writer->length++] = text[i];
    writer->out[writer->length] = '\0';
}

/* Appends a separator or other single character. */
static void PutChar(LineWriter *writer, char c)
{
    const char text[2] = {c, '\0'};
    PutText(writer, text, 1);
}

/* phone;house;flat;number surname;name[ patronymic];street[;district] - the converter's input. */
static void PutSourceLine(LineWriter *writer, const GeneratedEntry *entry)
{
    char number[24];
    FormatNumber(entry->number, number, sizeof number);
    PutText(writer, entry->phone, sizeof entry->phone);
    PutChar(writer, ';');
    PutText(writer, entry->house, sizeof entry->house);
    PutChar(writer, ';');
    PutText(writer, entry->flat, sizeof entry->flat);
    PutChar(writer, ';');
    PutText(writer, number, sizeof number);
    PutChar(writer, ' ');
    PutText(writer, entry->surname, sizeof entry->surname);
    PutChar(writer, ';');
    PutText(writer, entry->name, sizeof entry->name);
    if (entry->patronymic[0] != '\0') {
        PutChar(writer, ' ');
        PutText(writer, entry->patronymic, sizeof entry->patronymic);
    }
    PutChar(writer, ';');
    PutText(writer, entry->street, sizeof entry->street);
    if (entry->has_district) {
        PutChar(writer, ';');
        PutText(writer, entry->district, sizeof entry->district);
    }
}

/* phone;surname;name;patronymic;street;house;42;flat - each field cut to its longest text. */
static void PutDatabaseLine(LineWriter *writer, const GeneratedEntry *entry)
{
    const char *texts[RECORD_FIELDS];
    texts[FIELD_PHONE] = entry->phone;
    texts[FIELD_SURNAME] = entry->surname;
    texts[FIELD_NAME] = entry->name;
    texts[FIELD_PATRONYMIC] = entry->patronymic;
    texts[FIELD_STREET] = entry->street;
    texts[FIELD_HOUSE] = entry->house;
    texts[FIELD_BUILDING] = DATABASE_BUILDING;
    texts[FIELD_FLAT] = entry->flat;
    for (int field = 0; field < RECORD_FIELDS; field++) {
        if (field > 0)
            PutChar(writer, FIELD_SEPARATOR);
        PutText(writer, texts[field], kFieldSpecs[field].longest);
    }
}

size_t FormatDirectoryLine(const GeneratedEntry *entry, int output, char *line, size_t size)
{
    LineWriter writer = {line, size, 0};
    if (size == 0)
        return 0;
    line[0] = '\0';
    if (output == OUTPUT_SOURCE)
        PutSourceLine(&writer, entry);
    else
        PutDatabaseLine(&writer, entry);
    PutText(&writer, "\r\n", 2);
    return writer.length;
}

size_t NextDirectoryLine(DirectoryGenerator *generator, int output, char *line, size_t size)
{
    GeneratedEntry entry;
    DrawDirectoryEntry(generator, &entry);
    return FormatDirectoryLine(&entry, output, line, size);
}
