// key_sweep.cpp - search keys in one open database as the viewer searches (a reset, then one call
// per match until none is left or 30001 have come), in two sweeps reported apart.
// The literal sweep: keys that fix a field's first byte, so that the filters of first bytes serve
// them: one byte in each field for every byte value; the starts of sampled records' fields, alone and
// with a byte after them that no record has; whole values; patterns with '?' and '*' after a literal
// first byte; two fields of one record and of two records; and the keys the issues name that fix one.
// The wildcard sweep: keys of the same sampled records' fields that start with '*' or '?', whose
// candidates the library finds by scanning the records' text for their literal bytes: '*' and a
// suffix; '*', inner bytes and '*'; '?' and the rest; two '*' runs; each also with a byte no record
// has inside its literal part; and the keys the issues name with no literal first byte.
// For each sweep: its number of keys, the spread, how many took longer than the limit, and those
// keys and the slowest timed again (median of 5), which decides what counts as over; last the keys
// the issues name (median of 5). Every line starts with its sweep's name ("literal", "wildcard") or
// with "named".
//
// Usage: key_sweep DATABASE [SAMPLES [LIMIT_MS [SLOWEST]]]
//        (defaults: 40 sampled records, 200 ms, the 15 slowest keys of each sweep shown)
// Built natively (linked to the library) and for Windows (Dialbook.dll bound by name, as the viewer
// binds it); bench/country-scale runs it.
#ifdef _WIN32
#include <windows.h>
#endif

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <chrono>
#include <set>
#include <string>
#include <vector>

#include "directory.h"
#include "record_fields.h"
#include "record_helpers.h"
#include "text_helpers.h"
#include "wildcard_searches.h"

namespace {

const int kViewerStop = 30001;   // the viewer stops at the match after its 30000th row

struct Library {
    OpenDatabaseFn     openDatabase;
    CloseDatabaseFn    closeDatabase;
    SearchInDatabaseFn searchInDatabase;
};

#ifdef _WIN32
int BindLibrary(Library *library)
{
    HMODULE module = LoadLibraryW(L"Dialbook.dll");
    if (module == NULL)
        return 0;
    library->openDatabase = (OpenDatabaseFn)(void *)GetProcAddress(module, "OpenDatabase");
    library->closeDatabase = (CloseDatabaseFn)(void *)GetProcAddress(module, "CloseDatabase");
    library->searchInDatabase = (SearchInDatabaseFn)(void *)GetProcAddress(module, "SearchInDatabase");
    return library->openDatabase != NULL && library->closeDatabase != NULL && library->searchInDatabase != NULL;
}
#else
int BindLibrary(Library *library)
{
    library->openDatabase = OpenDatabase;
    library->closeDatabase = CloseDatabase;
    library->searchInDatabase = SearchInDatabase;
    return 1;
}
#endif

// A key: text for some fields, the rest empty.
struct Key {
    std::string text[RECORD_FIELDS];
    bool operator<(const Key &other) const
    {
        return std::lexicographical_compare(text, text + RECORD_FIELDS, other.text, other.text + RECORD_FIELDS);
    }
};

struct Timed {
    Key    key;
    double ms;
    int    matches;
};

// The key as a record, each text cut to its field's longest so that every field ends with its NUL.
DirectoryRecord MakeRecord(const Key &key)
{
    DirectoryRecord record;
    memset(&record, 0, sizeof record);
    for (int f = 0; f < RECORD_FIELDS; f++)
        SetKeyField(&record, (RecordField)f, key.text[f].substr(0, kFieldSpecs[f].longest));
    return record;
}

// One search as the viewer runs it; the matches it gave, and the time in *ms.
int Search(const Library &library, const Key &key, double *ms)
{
    DirectoryRecord record = MakeRecord(key), result;
    int filled = 0;
    for (int f = 0; f < RECORD_FIELDS; f++)
        filled += !key.text[f].empty();
    auto start = std::chrono::steady_clock::now();
    library.searchInDatabase(NULL, NULL, 0);
    int matches = 0;
    while (matches < kViewerStop && library.searchInDatabase(&result, &record, filled))
        matches++;
    *ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return matches;
}

bool IsPattern(const Key &key)
{
    for (int f = 0; f < RECORD_FIELDS; f++)
        if (key.text[f].find_first_of("*?") != std::string::npos)
            return true;
    return false;
}

std::string Describe(const Key &key)
{
    std::string text;
    for (int f = 0; f < RECORD_FIELDS; f++)
        if (!key.text[f].empty())
            text += std::string(text.empty() ? "" : " ") + FieldName((RecordField)f) + " «" +
                    Utf8FromCp1251(key.text[f]) + "»";
    return text;
}

Key OneField(RecordField field, const std::string &text)
{
    Key key;
    key.text[field] = text;
    return key;
}

// Every samples-th record of the database, read through the library with an empty key.
std::vector<Key> SampleRecords(const Library &library, int records, int samples)
{
    std::vector<Key> sampled;
    DirectoryRecord empty, result;
    memset(&empty, 0, sizeof empty);
    int every = records / samples > 0 ? records / samples : 1;
    library.searchInDatabase(NULL, NULL, 0);
    for (int i = 0; library.searchInDatabase(&result, &empty, 0); i++) {
        if (i % every != every / 2)
            continue;
        Key key;
        for (int f = 0; f < RECORD_FIELDS; f++)
            key.text[f] = FieldBytes(result, (RecordField)f);
        sampled.push_back(key);
    }
    return sampled;
}

// A byte that no generated record holds in the field, anywhere in its text: '#' in a phone, 'ъ'
// elsewhere. A key that holds it walks its candidates and matches none of them.
std::string MissingByte(RecordField field)
{
    return field == FIELD_PHONE ? "#" : "\xFA";
}

// The keys one field's text gives: its starts, alone and followed by a byte no record has there
// (so that the filter lets through records none of which match), and patterns after its first byte.
void FieldKeys(RecordField field, const std::string &t, std::set<Key> *keys)
{
    if (t.empty() || t[0] == '*' || t[0] == '?')
        return;
    const std::string miss = MissingByte(field);
    size_t n = t.size();
    for (size_t length = 1; length <= n && length <= 4; length++) {
        keys->insert(OneField(field, t.substr(0, length)));
        keys->insert(OneField(field, t.substr(0, length) + miss));
    }
    keys->insert(OneField(field, t));
    keys->insert(OneField(field, t + miss));
    keys->insert(OneField(field, t.substr(0, 1) + "*"));
    keys->insert(OneField(field, t.substr(0, 1) + "*" + t.substr(n - 1)));
    keys->insert(OneField(field, t.substr(0, 1) + "*" + miss));
    keys->insert(OneField(field, t.substr(0, 1) + "?"));
    keys->insert(OneField(field, t.substr(0, 1) + "??"));
    if (n >= 2) {
        keys->insert(OneField(field, t.substr(0, 2) + "*" + miss));
        keys->insert(OneField(field, t.substr(0, 1) + "?" + t.substr(2)));
        keys->insert(OneField(field, t.substr(0, n - 1) + "?"));
    }
}

// The pattern lead + literal + tail as it is, and once more with the missing byte in the middle of
// its literal part: the same candidates for the scan to find, none of which can match. Each is cut to
// the field's longest text, as the search gets it (the viewer's boxes take no more); the missing byte
// stands early enough to stay.
void AddWithAndWithoutMiss(RecordField field, const std::string &lead, const std::string &literal,
                           const std::string &tail, std::set<Key> *keys)
{
    size_t half = (literal.size() + 1) / 2, longest = kFieldSpecs[field].longest;
    keys->insert(OneField(field, (lead + literal + tail).substr(0, longest)));
    keys->insert(OneField(field, (lead + literal.substr(0, half) + MissingByte(field) + literal.substr(half) + tail)
                                     .substr(0, longest)));
}

// The keys without a literal first byte that one field's text gives: '*' and a suffix of 1 to 4
// bytes; '*', 2 to 4 inner bytes (from the middle) and '*'; '?' and the rest; and two '*' runs, two
// bytes from the first half and the last two. A text that holds '*' or '?' itself gives none, since
// its bytes would read as wildcards.
void WildcardFieldKeys(RecordField field, const std::string &t, std::set<Key> *keys)
{
    if (t.empty() || t.find_first_of("*?") != std::string::npos)
        return;
    size_t n = t.size();
    for (size_t length = 1; length <= n && length <= 4; length++)
        AddWithAndWithoutMiss(field, "*", t.substr(n - length), "", keys);
    for (size_t length = 2; length + 2 <= n && length <= 4; length++)
        AddWithAndWithoutMiss(field, "*", t.substr((n - length) / 2, length), "*", keys);
    AddWithAndWithoutMiss(field, "?", t.substr(1), "", keys);
    if (n >= 4) {
        size_t first = n / 4 > 0 ? n / 4 - 1 : 0;   // the pair centred in the first half
        AddWithAndWithoutMiss(field, "*", t.substr(first, 2), "*" + t.substr(n - 2), keys);
    }
}

// Whether some field of the key has a literal first byte, so that a filter of first bytes serves it.
bool FixesFirstByte(const Key &key)
{
    for (int f = 0; f < RECORD_FIELDS; f++)
        if (!key.text[f].empty() && key.text[f][0] != '*' && key.text[f][0] != '?')
            return true;
    return false;
}

// The keys the issues name, in Windows-1251: flat 777, building 3, house 12, phone 234, surname
// Петровский with name Иван, a surname that no record has, and the keys without a literal first
// byte of wildcard_searches.h.
std::vector<Key> NamedKeys()
{
    Key named;
    named.text[FIELD_SURNAME] = "\xCF\xE5\xF2\xF0\xEE\xE2\xF1\xEA\xE8\xE9";
    named.text[FIELD_NAME] = "\xC8\xE2\xE0\xED";
    std::vector<Key> keys = {OneField(FIELD_FLAT, "777"), OneField(FIELD_BUILDING, "3"), OneField(FIELD_HOUSE, "12"),
                             OneField(FIELD_PHONE, "234"), named,
                             OneField(FIELD_SURNAME, "\xDF\xF9\xFA\xFB")};   // Ящъы
    for (const WildcardSearch &search : kWildcardSearches) {
        Key key;
        for (const auto &field : search.fields)
            key.text[field.first] = Cp1251FromUtf8(field.second);
        keys.push_back(key);
    }
    return keys;
}

// The literal sweep's keys.
std::set<Key> LiteralKeys(const std::vector<Key> &sampled)
{
    std::set<Key> keys;
    for (int f = 0; f < RECORD_FIELDS; f++)
        for (int b = 1; b < 256; b++)
            if (b != '*' && b != '?')
                keys.insert(OneField((RecordField)f, std::string(1, (char)b)));
    for (size_t s = 0; s < sampled.size(); s++) {
        const Key &record = sampled[s], &other = sampled[(s + 1) % sampled.size()];
        for (int f = 0; f < RECORD_FIELDS; f++)
            FieldKeys((RecordField)f, record.text[f], &keys);
        Key pair;   // surname's start and the first name, of one record and of two
        pair.text[FIELD_SURNAME] = record.text[FIELD_SURNAME].substr(0, 3);
        pair.text[FIELD_NAME] = record.text[FIELD_NAME];
        keys.insert(pair);
        pair.text[FIELD_NAME] = other.text[FIELD_NAME];
        keys.insert(pair);
        Key address;   // street and house of one record, and a flat of another
        address.text[FIELD_STREET] = record.text[FIELD_STREET];
        address.text[FIELD_HOUSE] = record.text[FIELD_HOUSE];
        address.text[FIELD_FLAT] = other.text[FIELD_FLAT];
        keys.insert(address);
    }
    for (const Key &key : NamedKeys())
        if (FixesFirstByte(key))
            keys.insert(key);
    return keys;
}

// The wildcard sweep's keys: the same sampled records' fields.
std::set<Key> WildcardKeys(const std::vector<Key> &sampled)
{
    std::set<Key> keys;
    for (const Key &record : sampled)
        for (int f = 0; f < RECORD_FIELDS; f++)
            WildcardFieldKeys((RecordField)f, record.text[f], &keys);
    for (const Key &key : NamedKeys())
        if (!FixesFirstByte(key))
            keys.insert(key);
    return keys;
}

double Median(std::vector<double> times)
{
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The median of five searches of the key, and its matches in *matches.
double MedianOfFive(const Library &library, const Key &key, int *matches)
{
    std::vector<double> runs;
    for (int r = 0; r < 5; r++) {
        double ms;
        *matches = Search(library, key, &ms);
        runs.push_back(ms);
    }
    return Median(runs);
}

// Searches every key of one sweep once and prints, each line led by the sweep's name: the spread of
// the first runs; every key over the limit and the slowest ones at least, again, as the median of
// five runs, so that one slow run by chance does not count; and how many of the keys stay over the
// limit then. Where the sweep holds keys without '*' or '?' too, they are counted apart from the
// patterns.
void RunSweep(const Library &library, const char *sweep, const std::set<Key> &keys, int records, double limit,
              int slowest)
{
    std::vector<Timed> timed;
    std::vector<double> all;
    for (const Key &key : keys) {
        Timed t{key, 0, 0};
        t.matches = Search(library, key, &t.ms);
        timed.push_back(t);
        all.push_back(t.ms);
    }
    if (timed.empty()) {
        printf("%s records %d keys 0\n", sweep, records);
        return;
    }
    std::sort(timed.begin(), timed.end(), [](const Timed &a, const Timed &b) { return a.ms > b.ms; });
    std::sort(all.begin(), all.end());
    size_t over = std::count_if(all.begin(), all.end(), [&](double ms) { return ms > limit; });
    printf("%s records %d keys %zu over_%.0f_ms %zu median_ms %.3f p90_ms %.3f p99_ms %.3f max_ms %.3f\n", sweep,
           records, timed.size(), limit, over, all[all.size() / 2], all[all.size() * 9 / 10],
           all[all.size() * 99 / 100], all.back());
    size_t again = std::max(over, std::min<size_t>(timed.size(), (size_t)slowest));
    size_t over_literal = 0, over_pattern = 0, patterns = 0;
    for (const Timed &t : timed)
        patterns += IsPattern(t.key);
    for (size_t i = 0; i < again; i++) {
        int matches;
        double median = MedianOfFive(library, timed[i].key, &matches);
        if (median > limit)
            (IsPattern(timed[i].key) ? over_pattern : over_literal)++;
        if (median > limit || i < (size_t)slowest)
            printf("%s slow %8.3f ms (first run %8.3f) %6d matches  %s\n", sweep, median, timed[i].ms,
                   timed[i].matches, Describe(timed[i].key).c_str());
    }
    printf("%s over_%.0f_ms_timed_again %zu of %zu", sweep, limit, over_literal + over_pattern, timed.size());
    if (patterns < timed.size())
        printf(": literal %zu of %zu, patterns %zu of %zu", over_literal, timed.size() - patterns, over_pattern,
               patterns);
    printf("\n");
}

} // namespace

#ifdef _WIN32
int wmain(int argc, wchar_t **argv)
{
    const DirectoryPathChar *path = argc > 1 ? argv[1] : NULL;
    int samples = argc > 2 ? _wtoi(argv[2]) : 40;
    double limit = argc > 3 ? _wtof(argv[3]) : 200;
    int slowest = argc > 4 ? _wtoi(argv[4]) : 15;
#else
int main(int argc, char **argv)
{
    std::u16string wide = LibraryPath(argc > 1 ? argv[1] : "");
    const DirectoryPathChar *path = argc > 1 ? wide.c_str() : NULL;
    int samples = argc > 2 ? atoi(argv[2]) : 40;
    double limit = argc > 3 ? atof(argv[3]) : 200;
    int slowest = argc > 4 ? atoi(argv[4]) : 15;
#endif
    Library library;
    if (path == NULL || samples < 1 || slowest < 0 || argc > 5) {
        fprintf(stderr, "Usage:\n\tkey_sweep DATABASE [SAMPLES [LIMIT_MS [SLOWEST]]]\n");
        return 2;
    }
    int records = 0;
    if (!BindLibrary(&library) || !library.openDatabase(path, &records)) {
        fprintf(stderr, "key_sweep: cannot bind the library or open the database\n");
        return 1;
    }
    std::vector<Key> sampled = SampleRecords(library, records, samples);
    RunSweep(library, "literal", LiteralKeys(sampled), records, limit, slowest);
    RunSweep(library, "wildcard", WildcardKeys(sampled), records, limit, slowest);
    for (const Key &key : NamedKeys()) {
        int matches;
        double median = MedianOfFive(library, key, &matches);
        printf("named %8.3f ms %6d matches  %s\n", median, matches, Describe(key).c_str());
    }
    library.closeDatabase();
    return 0;
}
