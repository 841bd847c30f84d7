// Fuzzing the converter as a whole: the input's bytes as a source listing, converted to a database
// file. The run must end as documented (0, or 2 for a line that breaks the grammar), leave the
// listing as it was, and write only well-formed database lines: eight fields between seven ';',
// each within its longest text, building "42", every line ended by CR LF.
#include <cstdio>
#include <cstring>
#include <string>

#include "converter.h"
#include "fuzz_support.h"

namespace {

// Checks one database line (without its CR LF).
void CheckDatabaseLine(const std::string &line)
{
    FUZZ_CHECK(line.find_first_of(std::string("\n\0", 2)) == std::string::npos, "a database line holds LF or NUL");
    size_t start = 0;
    for (int f = 0; f < RECORD_FIELDS; f++) {
        size_t end = f + 1 < RECORD_FIELDS ? line.find(';', start) : line.size();
        FUZZ_CHECK(end != std::string::npos, "a database line with fewer than eight fields");
        FUZZ_CHECK(end - start < kFieldWidths[f], "a field longer than its longest text");
        if (f == 6)
            FUZZ_CHECK(line.compare(start, end - start, "42") == 0, "the building is not 42");
        start = end + 1;
    }
    size_t separators = 0;
    for (char c : line)
        separators += c == ';';
    FUZZ_CHECK(separators == RECORD_FIELDS - 1, "a field holds a ';'");
}

// The LF bytes the converter reads: a Ctrl-Z ends the input as Windows text mode does.
size_t CountLineEnds(const std::string &source)
{
    size_t end = source.find('\x1a');
    std::string read = source.substr(0, end);
    size_t lines = 0;
    for (char c : read)
        lines += c == '\n';
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // The percentages and screen clears go nowhere; failures are told on standard error.
    static FILE *silenced = freopen("/dev/null", "w", stdout);
    FUZZ_CHECK(silenced != nullptr, "cannot silence standard output");
    std::string source(reinterpret_cast<const char *>(data), size);
    std::string input = WriteScratch("fuzz_morwen_source.txt", source);
    std::string output = WriteScratch("fuzz_morwen_database.txt", "left from an earlier run");

    memset(&g_tokenizer, 0, sizeof g_tokenizer);
    int status = ConvertFile(output.c_str(), input.c_str());
    FUZZ_CHECK(status == EXIT_CONVERTED || status == EXIT_FAILED, "an exit status the converter does not document");
    FUZZ_CHECK(ReadWholeFile(input) == source, "the source listing was changed");
    FUZZ_CHECK(status == EXIT_CONVERTED || size > 0, "an empty input failed");

    std::string database = ReadWholeFile(output);
    size_t lines = 0, start = 0;
    while (start < database.size()) {
        size_t end = database.find("\r\n", start);
        FUZZ_CHECK(end != std::string::npos, "the database does not end with CR LF");
        CheckDatabaseLine(database.substr(start, end - start));
        lines++;
        start = end + 2;
    }
    if (status == EXIT_CONVERTED)
        FUZZ_CHECK(lines >= CountLineEnds(source), "a converted run wrote fewer lines than the listing has");
    return 0;
}
