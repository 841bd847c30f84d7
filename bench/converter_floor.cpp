// converter_floor.cpp - the least work a conversion run can do, as a yardstick for morwen: read the
// listing through a 64 KB buffer, call the library's FillDatabaseRecord once for each line end (with
// the fields of a typical record: no line is split), and write as many bytes as the database file
// holds through a 64 KB buffer, one system call per buffer. What morwen takes beyond this is its own
// splitting and formatting; what this takes is beyond any single-threaded converter on the library.
//
// Usage: converter_floor LISTING OUTPUT BYTES
#include "directory.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

namespace {

const size_t kBufferSize = 64 * 1024;

// The output: a 64 KB buffer written out whenever it is full.
struct Output {
    int    fd;
    size_t used;
    char   buffer[kBufferSize];
};

// Writes out what the buffer holds, retrying short writes; false on an error.
bool Flush(Output *out)
{
    const char *bytes = out->buffer;
    while (out->used > 0) {
        ssize_t put = write(out->fd, bytes, out->used);
        if (put <= 0)
            return false;
        bytes += put;
        out->used -= (size_t)put;
    }
    return true;
}

// Appends length bytes; false on a write error.
bool Emit(Output *out, const char *bytes, size_t length)
{
    while (length > 0) {
        size_t take = length < kBufferSize - out->used ? length : kBufferSize - out->used;
        memcpy(out->buffer + out->used, bytes, take);
        out->used += take;
        bytes += take;
        length -= take;
        if (out->used == kBufferSize && !Flush(out))
            return false;
    }
    return true;
}

// The fields of a typical record, in Windows-1251: Иванова Надежда Валентиновна, Черняховского.
const char kSurname[] = "\xC8\xE2\xE0\xED\xEE\xE2\xE0";
const char kName[] = "\xCD\xE0\xE4\xE5\xE6\xE4\xE0";
const char kPatronymic[] = "\xC2\xE0\xEB\xE5\xED\xF2\xE8\xED\xEE\xE2\xED\xE0";
const char kStreet[] = "\xD7\xE5\xF0\xED\xFF\xF5\xEE\xE2\xF1\xEA\xEE\xE3\xEE";

} // namespace

int main(int argc, char **argv)
{
    if (argc != 4) {
        fprintf(stderr, "usage: converter_floor LISTING OUTPUT BYTES\n");
        return 1;
    }
    int in = open(argv[1], O_RDONLY);
    static Output out;
    out.fd = open(argv[2], O_WRONLY | O_CREAT | O_TRUNC, 0666);
    unsigned long long left = strtoull(argv[3], NULL, 10);
    if (in < 0 || out.fd < 0) {
        perror("converter_floor");
        return 1;
    }
    static char input[kBufferSize];
    DirectoryRecord record;
    unsigned long checksum = 0;   // keeps the calls from being dropped
    ssize_t got;
    while ((got = read(in, input, sizeof input)) > 0) {
        for (const char *p = input; (p = (const char *)memchr(p, '\n', (size_t)(input + got - p))) != NULL; p++) {
            FillDatabaseRecord(&record, "9654709", kSurname, kName, kPatronymic, kStreet, "25", "42", "360");
            checksum += (unsigned char)record.surname[(p - input) & 7];
        }
        size_t take = left < (unsigned long long)got ? (size_t)left : (size_t)got;
        if (!Emit(&out, input, take)) {
            perror("converter_floor");
            return 1;
        }
        left -= take;
    }
    if (!Flush(&out) || close(out.fd) != 0 || got < 0) {
        perror("converter_floor");
        return 1;
    }
    return checksum == 1 ? 2 : 0;
}
