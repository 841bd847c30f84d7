// text_mode_reads.h - the reads Windows text mode gives of a source listing, worked out the plain
// way: the model the converter's line reader is held to by its tests and by the converter's fuzz target.
#ifndef FUZZ_TEXT_MODE_READS_H
#define FUZZ_TEXT_MODE_READS_H

#include <cstddef>
#include <string>
#include <utility>
#include <vector>

// One read and the input position after it.
typedef std::pair<std::string, long long> TextModeRead;

// The reads of source with a line buffer of size bytes: the input ends at a Ctrl-Z, CR LF is one LF,
// a read ends after an LF or at size - 1 bytes; the position counts file bytes.
inline std::vector<TextModeRead> TextModeReads(const std::string &source, size_t size)
{
    std::vector<TextModeRead> reads;
    size_t end = source.find('\x1a') != std::string::npos ? source.find('\x1a') : source.size();
    std::string line;
    for (size_t i = 0; i < end;) {
        bool crlf = source[i] == '\r' && i + 1 < end && source[i + 1] == '\n';
        line += crlf ? '\n' : source[i];
        i += crlf ? 2 : 1;
        if (line.back() == '\n' || line.size() == size - 1) {
            reads.push_back(TextModeRead(line, (long long)i));
            line.clear();
        }
    }
    if (!line.empty())
        reads.push_back(TextModeRead(line, (long long)end));
    return reads;
}

#endif // FUZZ_TEXT_MODE_READS_H
