// Fuzzing the library: the input's bytes opened as a database, then searched with keys made from
// its own records and with the key lines the input may carry after a "\n#keys\n" marker; last,
// opened again on the paths this machine would not take by itself, and with each way of finding
// candidates forced (filter, scan for literal bytes, walk), which must all find the same.
// A key line is "F=text": F a field's place in the record from 0, text up to the line's end copied
// into the field, with no NUL when it fills the width; an empty line starts the next key.
#include <cstring>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "key_matching.h"
#include "library_switches.h"

namespace {

const char kKeyMarker[] = "\n#keys\n";
const size_t kMaxKeys = 16;      // keys taken from the input's key lines
const size_t kRecordKeys = 4;    // records of the database turned into keys (and the last one)

typedef std::vector<std::string> Row;

// A key with every field empty.
DirectoryRecord EmptyKey()
{
    return MakeKey({});
}

// 1 when found appears in all in the same order (the search walks the file once, in order).
bool InFileOrder(const std::vector<Row> &found, const std::vector<Row> &all)
{
    size_t next = 0;
    for (const Row &row : found) {
        while (next < all.size() && all[next] != row)
            next++;
        if (next == all.size())
            return false;
        next++;
    }
    return true;
}

// The keys of the input's key lines.
std::vector<DirectoryRecord> ParseKeyLines(const std::string &text)
{
    std::vector<DirectoryRecord> keys(1, EmptyKey());
    size_t start = 0;
    while (start < text.size() && keys.size() <= kMaxKeys) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        if (line.empty())
            keys.push_back(EmptyKey());
        else if (line.size() >= 2 && line[0] >= '0' && line[0] < '0' + RECORD_FIELDS && line[1] == '=')
            SetKeyField(&keys.back(), static_cast<RecordField>(line[0] - '0'), line.substr(2));
        start = end + 1;
    }
    return keys;
}

// Searches with a key holding text in one field only.
std::vector<Row> SearchField(RecordField field, const std::string &text)
{
    DirectoryRecord key = EmptyKey();
    SetKeyField(&key, field, text);
    return SearchFields(SearchInDatabase, key, 0);
}

// 1 when some found record's field holds exactly text.
bool AnyFieldIs(const std::vector<Row> &found, RecordField field, const std::string &text)
{
    for (const Row &row : found)
        if (row[field] == text)
            return true;
    return false;
}

// A record of the database must be found by keys made of itself: whole (a pattern matches its own
// text), and by the start of each prefix field unless that start holds a wildcard (a pattern then
// has to match the whole field). Both are searched with a wrong field count, which is only a hint.
void CheckFoundByItself(const Row &row, const std::vector<Row> &all)
{
    DirectoryRecord whole = EmptyKey();
    for (int f = 0; f < RECORD_FIELDS; f++)
        SetKeyField(&whole, static_cast<RecordField>(f), row[f]);
    std::vector<Row> found = SearchFields(SearchInDatabase, whole, 1);
    FUZZ_CHECK(InFileOrder(found, all), "the whole-record key found records out of file order");
    FUZZ_CHECK(InFileOrder({row}, found), "a record was not found by a key made of itself");
    for (int f = 0; f < RECORD_FIELDS; f++) {
        std::string half = row[f].substr(0, (row[f].size() + 1) / 2);
        if (kFieldSpecs[f].match != MATCH_PREFIX || half.find_first_of("*?") != std::string::npos)
            continue;
        FUZZ_CHECK(InFileOrder({row}, SearchField(static_cast<RecordField>(f), half)),
                   "a record was not found by the start of a field");
    }
}

// Patterns made from one field's text must find the record ("?" for its first byte, "*" for either
// half), and the text with one more byte must find no record whose field is the text alone.
void CheckPatternsOfField(const Row &row, RecordField f)
{
    const std::string &text = row[f];
    if (text.empty() || text.find_first_of("*?") != std::string::npos)
        return;
    size_t half = text.size() / 2;
    const std::string finding[] = {"?" + text.substr(1), "*" + text.substr(half), text.substr(0, half) + "*",
                                   "*" + text.substr(half / 2, half) + "*"};
    for (const std::string &pattern : finding)
        FUZZ_CHECK(InFileOrder({row}, SearchField(f, pattern)), "a pattern made from a field did not find it: " + pattern);
    FUZZ_CHECK(!AnyFieldIs(SearchField(f, text + "?"), f, text), "a pattern one byte longer than a field found it");
}

// The code built without SSE2, and segments of a few records each whose byte maps a search may pass
// them over by, must give the same records and the same answers to the same keys.
void CheckOtherPaths(const std::string &path, const std::vector<Row> &all, const std::vector<DirectoryRecord> &keys,
                     const std::vector<std::vector<Row>> &found)
{
    g_switches.byte_maps = BYTE_MAPS_AT_OPEN;
    g_switches.no_sse2 = 1;
    g_switches.segment_text_max = 300;
    g_switches.segment_records_max = 5;
    int count = -1;
    int opened = OpenDatabase(LibraryPath(path).c_str(), &count);
    g_switches = LibrarySwitches();
    FUZZ_CHECK(opened != 0 && count == static_cast<int>(all.size()), "the other paths count the records otherwise");
    FUZZ_CHECK(SearchFields(SearchInDatabase, EmptyKey(), 0) == all, "the other paths read the records otherwise");
    for (size_t k = 0; k < keys.size(); k++)
        FUZZ_CHECK(SearchFields(SearchInDatabase, keys[k], RECORD_FIELDS) == found[k],
                   "the other paths answer a key otherwise");
}

// Keys that start with a wildcard, made from a record's fields: the way the library chooses for them
// is most often the scan for their literal bytes.
void AddWildcardKeys(const Row &row, std::vector<DirectoryRecord> *keys)
{
    for (int f = 0; f < RECORD_FIELDS; f++) {
        const std::string &text = row[f];
        if (text.empty())
            continue;
        size_t half = text.size() / 2;
        for (const std::string &pattern : {"*" + text.substr(half), "*" + text.substr(half / 2, half + 1) + "*",
                                           "?" + text.substr(1), "*" + text.substr(half / 2, 2) + "*" + text.substr(half + 1)}) {
            DirectoryRecord key = EmptyKey();
            SetKeyField(&key, static_cast<RecordField>(f), pattern);
            keys->push_back(key);
        }
    }
}

// Each way of finding candidates, forced, in the build for SSE2 and the generic one, on segments of
// the usual size and of a few records, and the walk's sieve in each order, with the segments' byte
// maps, must answer every key as the library's own choice did without them.
void CheckWays(const std::string &path, const std::vector<DirectoryRecord> &keys, const std::vector<std::vector<Row>> &found)
{
    struct Way {
        int search_way;
        int no_sse2;
        size_t segment_records_max;   /* 0: segments of the usual size */
        int sieve_order;              /* 0, or a SieveOrder + 1 */
        int pair_first;               /* 1: a run's rarest two bytes tested first */
    };
    const Way kWays[] = {{WAY_SCAN, 0, 0, 0, 0}, {WAY_SCAN, 1, 5, 0, 0}, {WAY_FILTER, 0, 0, 0, 0},
                         {WAY_WALK, 1, 5, 0, 0}, {WAY_WALK, 0, 0, SIEVE_ENDS_FIRST + 1, 0},
                         {WAY_WALK, 0, 5, SIEVE_INNER_FIRST + 1, 1}, {WAY_WALK, 0, 0, SIEVE_TOGETHER + 1, 0},
                         {WAY_WALK, 0, 0, 0, 1}};
    for (const Way &way : kWays) {
        g_switches.byte_maps = BYTE_MAPS_AT_OPEN;
        g_switches.search_way = way.search_way;
        g_switches.no_sse2 = way.no_sse2;
        g_switches.sieve_order = way.sieve_order;
        g_switches.pair_first = way.pair_first;
        g_switches.segment_records_max = way.segment_records_max;
        g_switches.segment_text_max = way.segment_records_max != 0 ? 300 : 0;
        int count = -1;
        int opened = OpenDatabase(LibraryPath(path).c_str(), &count);
        for (size_t k = 0; opened && k < keys.size(); k++)
            FUZZ_CHECK(SearchFields(SearchInDatabase, keys[k], RECORD_FIELDS) == found[k],
                       "a way of finding candidates answers a key otherwise");
        g_switches = LibrarySwitches();
        FUZZ_CHECK(opened != 0, "the database did not open again");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    std::string input(reinterpret_cast<const char *>(data), size);
    size_t marker = input.find(kKeyMarker);
    std::string database = input.substr(0, marker);
    std::string key_lines = marker == std::string::npos ? "" : input.substr(marker + strlen(kKeyMarker));

    std::string path = WriteScratch("fuzz_dialbook.txt", database);
    int count = -1;
    g_switches.byte_maps = BYTE_MAPS_NONE;   /* the answers the other paths are held to read every segment */
    int opened = OpenDatabase(LibraryPath(path).c_str(), &count);
    g_switches = LibrarySwitches();
    FUZZ_CHECK(opened != 0, "a small regular file did not open");
    FUZZ_CHECK(count >= 0, "negative record count");

    std::vector<Row> all = SearchFields(SearchInDatabase, EmptyKey(), 0);
    FUZZ_CHECK(all.size() == static_cast<size_t>(count), "the count is not the number of records an empty key finds");

    std::vector<DirectoryRecord> keys = ParseKeyLines(key_lines);
    if (!all.empty())
        AddWildcardKeys(all[all.size() / 2], &keys);
    std::vector<std::vector<Row>> found;
    for (const DirectoryRecord &key : keys) {
        found.push_back(SearchFields(SearchInDatabase, key, RECORD_FIELDS));
        FUZZ_CHECK(InFileOrder(found.back(), all), "a key found records out of file order");
    }
    for (size_t r = 0; r < all.size() && r < kRecordKeys; r++) {
        CheckFoundByItself(all[r], all);
        CheckPatternsOfField(all[r], static_cast<RecordField>(r % RECORD_FIELDS));
    }
    if (!all.empty()) {
        CheckFoundByItself(all.back(), all);
        CheckPatternsOfField(all.back(), static_cast<RecordField>((all.size() + 4) % RECORD_FIELDS));
    }

    CheckOtherPaths(path, all, keys, found);
    CheckWays(path, keys, found);

    CloseDatabase();
    DirectoryRecord result;
    DirectoryRecord key = EmptyKey();
    FUZZ_CHECK(SearchInDatabase(&result, &key, 0) == 0, "a closed database still finds records");
    return 0;
}
