// Fuzzing the converter as a whole: the input's bytes as a source listing, converted to a database
// file. The run must end as documented (0, or 2 for a line that breaks the grammar), leave the
// listing as it was, and write only well-formed database lines: eight fields between seven separators,
// each within its longest text, building "42", every line ended by CR LF. The line reader must
// hand out the reads and positions that Windows text mode gives, with the converter's line buffer
// and with a short one that puts the buffer's end everywhere.
#include <cstdio>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "console.h"
#include "converter.h"
#include "fuzz_support.h"
#include "text_mode_reads.h"

namespace {

// Checks one database line (without its CR LF).
void CheckDatabaseLine(const std::string &line)
{
    FUZZ_CHECK(line.find_first_of(std::string("\n\0", 2)) == std::string::npos, "a database line holds LF or NUL");
    size_t start = 0;
    for (int f = 0; f < RECORD_FIELDS; f++) {
        size_t end = f + 1 < RECORD_FIELDS ? line.find(FIELD_SEPARATOR, start) : line.size();
        FUZZ_CHECK(end != std::string::npos, "a database line with fewer than eight fields");
        FUZZ_CHECK(end - start <= kFieldSpecs[f].longest, "a field longer than its longest text");
        if (f == FIELD_BUILDING)
            FUZZ_CHECK(line.compare(start, end - start, "42") == 0, "the building is not 42");
        start = end + 1;
    }
    size_t separators = 0;
    for (char c : line)
        separators += c == FIELD_SEPARATOR;
    FUZZ_CHECK(separators == RECORD_FIELDS - 1, "a field holds the separator");
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

typedef TextModeRead Read;

// The reads ReadSourceLine hands out of the file at path with a line buffer of size bytes.
void CheckReads(const std::string &path, const std::string &source, size_t size)
{
    static InputFile file;
    FUZZ_CHECK(OpenInputFile(&file, path.c_str()), "cannot open the scratch listing");
    std::vector<Read> expected = TextModeReads(source, size);
    std::vector<char> line(size);
    long length;
    size_t count = 0;
    while ((length = ReadSourceLine(&file, line.data(), size)) > 0) {
        FUZZ_CHECK(count < expected.size(), "more reads than text mode gives");
        FUZZ_CHECK(line[length] == '\0', "a read is not ended by NUL");
        FUZZ_CHECK(std::string(line.data(), length) == expected[count].first, "a read differs from text mode's");
        FUZZ_CHECK(InputPosition(&file) == expected[count].second, "the position after a read is wrong");
        count++;
    }
    FUZZ_CHECK(file.error == 0 && count == expected.size(), "fewer reads than text mode gives");
    CloseInputFile(&file);
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

    CheckReads(input, source, LINE_BUFFER_SIZE);
    CheckReads(input, source, 2 + (size > 0 ? data[0] % 80 : 0));

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
