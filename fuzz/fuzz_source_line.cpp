// Fuzzing the converter's tokenizer and source line parser on arbitrary lines. The input's first
// byte gives how many of the next bytes are a delimiter set for a run of the tokenizer on its own;
// the rest is the line, read into a buffer as the converter reads it. After either, the line must be
// whole again, every field must end inside its width and hold none of the bytes that end it. The
// quick split of short lines must give what the scans give, byte for byte.
#include <cstring>
#include <string>

#include "converter.h"
#include "fuzz_support.h"

namespace {

const size_t kMaxDelimiters = 4;

// The bytes a field's text can never hold: what ended it, or a cut inside the name part.
const char *const kFieldStops[RECORD_FIELDS] = {";\n", ";\n", "; \n", "; \n", ";\n", ";\n", "", ";\n"};

// The tokenizer alone: a first cut, then cuts after the last one until the text runs out. The
// tokens and the delimiters they were cut at must spell the text again, and the restore at the end
// must leave the text as it was.
void CheckTokenizer(const std::string &delimiters, const std::string &text)
{
    std::string copy = text.substr(0, text.find('\0'));
    std::string buffer = copy + '\0';
    std::string spelled;
    char found = '\0';
    char *token = NextToken(delimiters.c_str(), &buffer[0], &found);
    for (size_t calls = 0; token != nullptr; calls++) {
        FUZZ_CHECK(token >= &buffer[0] && token <= &buffer[copy.size()], "a token outside its text");
        FUZZ_CHECK(calls <= copy.size(), "the tokenizer does not come to the end of its text");
        std::string piece(token);
        FUZZ_CHECK(piece.find_first_of(delimiters) == std::string::npos, "a token holds a delimiter");
        spelled += piece;
        if (found == '\0')
            break;
        FUZZ_CHECK(delimiters.find(found) != std::string::npos, "a reported delimiter is not one of the set");
        spelled += found;
        token = NextToken(delimiters.c_str(), nullptr, &found);
    }
    NextToken(nullptr, nullptr, nullptr);
    FUZZ_CHECK(buffer == copy + '\0', "the tokenizer left a cut in the text");
    FUZZ_CHECK(spelled == copy, "the tokens do not spell the text");
}

// The parser on one read of at most LINE_BUFFER_SIZE - 1 bytes, as the converter hands it over.
void CheckParser(const std::string &line)
{
    char buffer[LINE_BUFFER_SIZE];
    size_t length = line.size() < sizeof buffer - 1 ? line.size() : sizeof buffer - 1;
    memset(buffer, 'x', sizeof buffer);
    memcpy(buffer, line.data(), length);
    buffer[length] = '\0';
    char before[LINE_BUFFER_SIZE];
    memcpy(before, buffer, sizeof buffer);

    SourceFields fields;
    memset(&fields, 0x55, sizeof fields);
    int scan = ParseSourceLine(buffer, &fields);
    FUZZ_CHECK(memcmp(before, buffer, sizeof buffer) == 0, "the parser did not leave the line whole");
    FUZZ_CHECK(scan >= LINE_WELL_FORMED && scan <= 7, "the parser's result is out of range");
    FUZZ_CHECK(DescribeFailedScan(scan) != nullptr, "no description for a failed scan");
    if (scan != LINE_WELL_FORMED)
        return;
    std::vector<std::string> texts = RecordFieldBytes(fields);
    FUZZ_CHECK(texts[FIELD_BUILDING] == "42", "the building is not 42");
    for (int f = 0; f < RECORD_FIELDS; f++)
        FUZZ_CHECK(texts[f].find_first_of(kFieldStops[f]) == std::string::npos, "a field holds the byte that ends it");
}

// A line in a buffer of the converter's size; the bytes after its NUL repeat the line, so any stop
// the quick split took from past the end of the text would change its result.
void FillLineBuffer(char (&buffer)[LINE_BUFFER_SIZE], const std::string &line)
{
    size_t length = line.size() < sizeof buffer - 1 ? line.size() : sizeof buffer - 1;
    memcpy(buffer, line.data(), length);
    buffer[length] = '\0';
    for (size_t i = length + 1; i < sizeof buffer; i++)
        buffer[i] = length > 0 ? line[(i - length - 1) % length] : ';';
}

// The quick split against the scans on the same line: the same result, the same bytes in every
// field (those past a field's NUL included), the line left as it was. It must take every line whose
// text ends within the block, or the comparison would prove nothing.
void CheckSplitAgainstScans(const std::string &line)
{
    char scanned[LINE_BUFFER_SIZE];
    FillLineBuffer(scanned, line);
    char split[LINE_BUFFER_SIZE];
    memcpy(split, scanned, sizeof split);
    SourceFields by_scans, by_split;
    memset(&by_scans, 0x55, sizeof by_scans);
    memset(&by_split, 0x55, sizeof by_split);

    int quick = SplitShortLine(split, &by_split);
    FUZZ_CHECK(memcmp(split, scanned, sizeof split) == 0, "the quick split wrote into the line");
    if (strlen(scanned) >= LINE_BLOCK_SIZE) {
        FUZZ_CHECK(quick == LINE_NOT_SPLIT, "the quick split took a line longer than its block");
        FUZZ_CHECK(memcmp(&by_split, &by_scans, sizeof by_split) == 0, "a line left to the scans changed the fields");
        return;
    }
    FUZZ_CHECK(quick != LINE_NOT_SPLIT, "the quick split left a short line to the scans");
    int scans = ParseLineInScans(scanned, &by_scans);
    FUZZ_CHECK(g_tokenizer.cut_pending == 0, "the scans left a cut pending");
    FUZZ_CHECK(memcmp(split, scanned, sizeof split) == 0, "the scans did not leave the line whole");
    FUZZ_CHECK(quick == scans, "the quick split and the scans disagree on the line's result");
    FUZZ_CHECK(memcmp(&by_split, &by_scans, sizeof by_split) == 0, "the quick split and the scans disagree on a field");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    std::string input(reinterpret_cast<const char *>(data) + 1, size - 1);
    size_t count = data[0] % (kMaxDelimiters + 1);
    std::string delimiters = input.substr(0, count);
    delimiters = delimiters.substr(0, delimiters.find('\0'));
    CheckTokenizer(delimiters, input.substr(delimiters.size()));
    CheckParser(input);
    CheckSplitAgainstScans(input);
    return 0;
}
