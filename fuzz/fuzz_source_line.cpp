// Fuzzing the converter's tokenizer and source line parser on arbitrary lines. The input's first
// byte gives how many of the next bytes are a delimiter set for a run of the tokenizer on its own;
// the rest is the line, read into a buffer as the converter reads it. After either, the line must be
// whole again, every field must end inside its width and hold none of the bytes that end it.
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
    std::vector<std::string> texts = RecordTexts(fields);
    FUZZ_CHECK(texts[6] == "42", "the building is not 42");
    for (int f = 0; f < RECORD_FIELDS; f++)
        FUZZ_CHECK(texts[f].find_first_of(kFieldStops[f]) == std::string::npos, "a field holds the byte that ends it");
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
    return 0;
}
