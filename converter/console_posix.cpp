/* console_posix.cpp - the converter's system layer on Linux and other POSIX systems. Files go
 * through descriptors and our own buffers, translated as Windows text mode would do it, so the
 * files and the lines the parser sees are the same as on Windows. Defines the functions of console.h.
 */
#ifndef _WIN32

#include "chunk_masks.h"
#include "console.h"

#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

/* Windows text mode ends the input at this byte. */
#define CTRL_Z 0x1A

int PrepareStandardStreams(void)
{
    for (int fd = STDIN_FILENO; fd <= STDERR_FILENO; fd++) {
        if (fcntl(fd, F_GETFD) != -1 || errno != EBADF)
            continue;
        /* The lowest free descriptor is taken, and the ones below fd are open by now. */
        int opened = open("/dev/null", fd == STDIN_FILENO ? O_RDONLY : O_WRONLY);
        if (opened != fd) {
            if (opened >= 0)
                close(opened);
            return 0;
        }
    }
    return 1;
}

int OpenInputFile(InputFile *file, const char *path)
{
    /* Without O_NONBLOCK, opening a named pipe would wait for a writer that may never come. */
    int fd = open(path, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        file->error = errno;
        return 0;
    }
    struct stat st;
    int known = fstat(fd, &st) == 0;
    if (known && S_ISDIR(st.st_mode)) {
        close(fd);
        file->error = EISDIR;   /* reading would fail later; say so now */
        return 0;
    }
    /* Only a regular file is ever read, and reads that could give EAGAIN are not wanted for it. */
    if (known && S_ISREG(st.st_mode))
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);
    file->handle = fd;
    file->position = 0;
    file->next = file->end = 0;
    file->at_end = 0;
    file->end_of_file = 0;
    file->error = 0;
    return 1;
}

int IsDiskFile(InputFile *file)
{
    struct stat st;
    return fstat((int)file->handle, &st) == 0 && S_ISREG(st.st_mode);
}

int MeasureInputFile(InputFile *file, long long *size)
{
    int fd = (int)file->handle;
    struct stat st;
    if (fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        *size = (long long)st.st_size;
        return 1;
    }
    off_t end = lseek(fd, 0, SEEK_END);
    if (end < 0 || lseek(fd, 0, SEEK_SET) < 0) {
        file->error = errno;
        return 0;
    }
    *size = (long long)end;
    return 1;
}

/* The position counts every byte read, so where the reads met the end it is the file's length then. */
int InputChangedSize(InputFile *file, long long size)
{
    struct stat st;
    if (file->end_of_file && file->position != size)
        return 1;
    return fstat((int)file->handle, &st) == 0 && (long long)st.st_size != size;
}

int IsSameFile(InputFile *input, const char *path)
{
    struct stat in, out;
    if (fstat((int)input->handle, &in) != 0 || stat(path, &out) != 0)
        return 0;
    if (in.st_dev == out.st_dev && in.st_ino == out.st_ino)
        return 1;
    /* Two device nodes may stand for one device, and writing a disk while reading it loses data as well. */
    int both_block = S_ISBLK(in.st_mode) && S_ISBLK(out.st_mode);
    int both_char = S_ISCHR(in.st_mode) && S_ISCHR(out.st_mode);
    return (both_block || both_char) && in.st_rdev == out.st_rdev;
}

/* Refills the read-ahead buffer once it is used up; 1 with bytes to hand out, 0 at the end or on an error. */
static int FillInput(InputFile *file)
{
    while (!file->at_end) {
        ssize_t got = read((int)file->handle, file->buffer, sizeof file->buffer);
        if (got > 0) {
            file->next = 0;
            file->end = (size_t)got;
            return 1;
        }
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            file->error = errno;
        else
            file->end_of_file = 1;
        file->at_end = 1;
    }
    return 0;
}

/* Hands out the byte after a CR that was just consumed when it is LF; 1 when it was. */
static int TakeLineFeed(InputFile *file)
{
    if (file->next == file->end && !FillInput(file))
        return 0;
    if (file->buffer[file->next] != '\n')
        return 0;
    file->next++;
    file->position++;
    return 1;
}

/* Where the bytes that end a line, or need the byte-by-byte way, stand in a chunk: LF, CR, Ctrl-Z. */
static inline uint32_t LineBreaks(ByteChunk chunk)
{
    return ChunkMatches(chunk, '\n') | ChunkMatches(chunk, '\r') | ChunkMatches(chunk, CTRL_Z);
}

/* Ends the line copied into line up to its first break, at stop: an LF, or a CR with its LF after
 * it, becomes the line's newline; the line's length, or 0 for a lone CR, a Ctrl-Z, or a CR whose
 * next byte is not read yet. */
static long EndWholeLine(InputFile *file, char *line, size_t stop)
{
    const char *p = file->buffer + file->next;
    size_t taken = stop + 1;   /* file bytes, through the break */
    if (p[stop] == '\r') {
        if (stop + 1 >= file->end - file->next || p[stop + 1] != '\n')
            return 0;
        taken++;
    } else if (p[stop] != '\n') {
        return 0;
    }
    line[stop] = '\n';
    line[stop + 1] = '\0';
    file->next += taken;
    file->position += (long long)taken;
    return (long)(stop + 1);
}

/* The usual line lies whole in the buffer, ends in LF or CR LF and holds no other CR and no
 * Ctrl-Z: copied sixteen bytes at a time while its end is looked for, in one pass; 0 when the line
 * needs the byte-by-byte way. Chunks may read past the bytes read in (never past the buffer) and
 * write past the line's NUL (never past size); a break found there does not count. */
static long TakeWholeLine(InputFile *file, char *line, size_t size)
{
    const char *p = file->buffer + file->next;
    size_t available = file->end - file->next;
    size_t limit = available < size - 1 ? available : size - 1;   /* the line's bytes lie in both */
    size_t room = sizeof file->buffer - file->next;
    size_t chunks_end = limit;   /* chunks start before it, and each lies whole in the buffer and the line */
    if (room < CHUNK_SIZE || size < CHUNK_SIZE)
        return 0;
    if (chunks_end > room - (CHUNK_SIZE - 1))
        chunks_end = room - (CHUNK_SIZE - 1);
    if (chunks_end > size - (CHUNK_SIZE - 1))
        chunks_end = size - (CHUNK_SIZE - 1);
    for (size_t at = 0; at < chunks_end; at += CHUNK_SIZE) {
        ByteChunk chunk = LoadChunk(p + at);
        StoreChunk(line + at, chunk);
        uint32_t breaks = LineBreaks(chunk);
        if (breaks == 0)
            continue;
        size_t stop = at + (size_t)__builtin_ctz(breaks);
        return stop < limit ? EndWholeLine(file, line, stop) : 0;
    }
    return 0;
}

/* Byte by byte, for lines that cross the buffer's end, hold a lone CR or a Ctrl-Z, or are too long.
 * Kept out of line: the usual line then costs no saving of the registers this loop needs. */
static __attribute__((noinline)) long TakeLineInSteps(InputFile *file, char *line, size_t size)
{
    size_t n = 0;
    while (n + 1 < size) {
        if (file->next == file->end && !FillInput(file))
            break;
        /* Copy the run of ordinary bytes: every byte that needs a look is at most Ctrl-Z. */
        const unsigned char *p = (const unsigned char *)file->buffer + file->next;
        size_t limit = file->end - file->next;
        if (limit > size - 1 - n)
            limit = size - 1 - n;
        size_t k = 0;
        while (k < limit && (p[k] > CTRL_Z || (p[k] != '\n' && p[k] != '\r' && p[k] != CTRL_Z)))
            k++;
        memcpy(line + n, p, k);
        n += k;
        file->next += k;
        file->position += (long long)k;
        if (k == limit)
            continue;
        /* A byte that needs a look: Ctrl-Z ends the input, LF the line, a CR is dropped before LF. */
        if (p[k] == CTRL_Z) {
            file->next = file->end;
            file->at_end = 1;
            break;
        }
        file->next++;
        file->position++;
        if (p[k] == '\n' || TakeLineFeed(file)) {
            line[n++] = '\n';
            break;
        }
        line[n++] = '\r';
    }
    line[n] = '\0';
    return (long)n;
}

long ReadSourceLine(InputFile *file, char *line, size_t size)
{
    long n = file->next < file->end ? TakeWholeLine(file, line, size) : 0;
    return n > 0 ? n : TakeLineInSteps(file, line, size);
}

long long InputPosition(InputFile *file)
{
    return file->position;   /* counted as bytes are handed out: no system call */
}

int InputPassed(InputFile *file, long long mark)
{
    return file->position > mark;
}

void CloseInputFile(InputFile *file)
{
    close((int)file->handle);
    file->handle = -1;
}

int OpenOutputFile(OutputFile *file, const char *path)
{
    /* Past a file-size limit (ulimit -f) a write then fails with EFBIG and is told like any other,
     * instead of the signal ending the process without a word. */
    signal(SIGXFSZ, SIG_IGN);
    int fd = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0) {
        file->error = errno;
        return 0;
    }
    file->handle = fd;
    file->used = 0;
    file->error = 0;
    return 1;
}

/* Writes out the buffered bytes; 1, or 0 with file->error set by the first failure. */
static int FlushOutput(OutputFile *file)
{
    size_t done = 0;
    while (done < file->used && file->error == 0) {
        ssize_t put = write((int)file->handle, file->buffer + done, file->used - done);
        if (put > 0)
            done += (size_t)put;
        else if (put < 0 && errno != EINTR)
            file->error = errno;
        else if (put == 0)
            file->error = EIO;
    }
    file->used = 0;
    return file->error == 0;
}

int WriteOutputLine(OutputFile *file, const char *text, size_t length)
{
    static const char kLineEnd[] = "\r\n";
    if (file->error != 0)
        return 0;
    if (length + 2 > sizeof file->buffer - file->used && !FlushOutput(file))
        return 0;
    if (length + 2 > sizeof file->buffer - file->used) {
        file->error = EOVERFLOW;   /* longer than any database line can be */
        return 0;
    }
    memcpy(file->buffer + file->used, text, length);
    memcpy(file->buffer + file->used + length, kLineEnd, 2);
    file->used += length + 2;
    return 1;
}

int CloseOutputFile(OutputFile *file)
{
    FlushOutput(file);
    if (close((int)file->handle) != 0 && file->error == 0)
        file->error = errno;
    file->handle = -1;
    return file->error == 0;
}

/* A terminal gets its clear-screen sequence; anything else the form feed a redirected "cls" writes. */
void ClearConsole(void)
{
    if (isatty(STDOUT_FILENO))
        fputs("\033[H\033[2J", stdout);
    else
        fputc('\f', stdout);
}

#endif /* !_WIN32 */
