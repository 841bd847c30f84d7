/* platform_posix.cpp - the library's system layer on Linux and other POSIX systems.
 * Paths arrive as UTF-16 and go to the file system as UTF-8; the ANSI code page is
 * Windows-1251. Defines the functions of platform.h.
 */
#ifndef _WIN32

#include "platform.h"

#include <errno.h>
#include <fcntl.h>
#include <pthread.h>
#include <stdlib.h>
#include <string.h>
#include <sys/mman.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

/* Converts a NUL-terminated UTF-16 path to a malloc'd UTF-8 string; null for a lone surrogate or no memory. */
static char *Utf8FromUtf16(const DirectoryPathChar *path)
{
    size_t units = 0;
    while (path[units] != 0)
        units++;
    char *out = (char *)malloc(units * 3 + 1);
    if (out == NULL)
        return NULL;
    size_t n = 0;
    for (size_t i = 0; i < units; i++) {
        uint32_t c = path[i];
        if (c >= 0xD800 && c <= 0xDBFF && path[i + 1] >= 0xDC00 && path[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (path[i + 1] - 0xDC00);
            i++;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            free(out);
            return NULL;
        }
        if (c < 0x80) {
            out[n++] = (char)c;
        } else if (c < 0x800) {
            out[n++] = (char)(0xC0 | (c >> 6));
            out[n++] = (char)(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out[n++] = (char)(0xE0 | (c >> 12));
            out[n++] = (char)(0x80 | ((c >> 6) & 0x3F));
            out[n++] = (char)(0x80 | (c & 0x3F));
        } else {
            out[n++] = (char)(0xF0 | (c >> 18));
            out[n++] = (char)(0x80 | ((c >> 12) & 0x3F));
            out[n++] = (char)(0x80 | ((c >> 6) & 0x3F));
            out[n++] = (char)(0x80 | (c & 0x3F));
        }
    }
    out[n] = '\0';
    return out;
}

int PlatformOpenFile(const DirectoryPathChar *path, PlatformFile *file, uint64_t *size)
{
    char *name = Utf8FromUtf16(path);
    if (name == NULL)
        return 0;
    /* Without O_NONBLOCK, opening a named pipe would wait for a writer; a regular file reads the same either way. */
    int fd = open(name, O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    free(name);
    if (fd < 0)
        return 0;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0) {
        close(fd);
        return 0;
    }
    file->handle = fd;
    file->size = *size = (uint64_t)st.st_size;
    file->written = (uint64_t)st.st_mtim.tv_sec * 1000000000u + (uint64_t)st.st_mtim.tv_nsec;
    file->changed = (uint64_t)st.st_ctim.tv_sec * 1000000000u + (uint64_t)st.st_ctim.tv_nsec;
    return 1;
}

/* Nothing keeps other processes from writing: the size and both times tell whether one did. */
int PlatformFileChanged(PlatformFile *file)
{
    struct stat st;
    if (fstat((int)file->handle, &st) != 0)
        return 1;
    return (uint64_t)st.st_size != file->size ||
           (uint64_t)st.st_mtim.tv_sec * 1000000000u + (uint64_t)st.st_mtim.tv_nsec != file->written ||
           (uint64_t)st.st_ctim.tv_sec * 1000000000u + (uint64_t)st.st_ctim.tv_nsec != file->changed;
}

long PlatformReadFileAt(PlatformFile *file, char *buffer, size_t bytes, uint64_t offset)
{
    if (bytes > (1u << 30))
        bytes = 1u << 30;
    for (;;) {
        ssize_t got = pread((int)file->handle, buffer, bytes, (off_t)offset);
        if (got >= 0)
            return (long)got;
        if (errno != EINTR)
            return -1;
    }
}

void PlatformCloseFile(PlatformFile *file)
{
    close((int)file->handle);
    file->handle = -1;
}

/* What a new thread runs: the work and its argument, handed over by PlatformStartThread. */
typedef struct ThreadStart {
    void (*work)(void *);
    void *argument;
} ThreadStart;

static void *RunThread(void *start)
{
    ThreadStart job = *(ThreadStart *)start;
    free(start);
    job.work(job.argument);
    return NULL;
}

int PlatformStartThread(PlatformThread *thread, void (*work)(void *), void *argument)
{
    ThreadStart *start = (ThreadStart *)malloc(sizeof *start);
    if (start == NULL)
        return 0;
    start->work = work;
    start->argument = argument;
    pthread_t id;
    if (pthread_create(&id, NULL, RunThread, start) != 0) {
        free(start);
        return 0;
    }
    thread->handle = (intptr_t)id;
    return 1;
}

void PlatformJoinThread(PlatformThread *thread)
{
    pthread_join((pthread_t)thread->handle, NULL);
}

/* Large blocks start on a 2 MB boundary and ask for 2 MB pages: fresh memory costs a page fault per
 * 4 KB page, and a 2 MB page takes one. */
#define HUGE_PAGE ((size_t)2 << 20)

static size_t PageRound(size_t bytes)
{
    size_t page = (size_t)sysconf(_SC_PAGESIZE);
    return (bytes + page - 1) / page * page;
}

void *PlatformAllocateBlock(size_t bytes)
{
    size_t whole = PageRound(bytes);
    size_t mapped = whole >= HUGE_PAGE ? whole + HUGE_PAGE : whole;
    if (whole == 0 || mapped < whole)
        return NULL;
    char *map = (char *)mmap(NULL, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (map == MAP_FAILED)
        return NULL;
    if (mapped == whole)
        return map;
    char *start = (char *)(((uintptr_t)map + HUGE_PAGE - 1) & ~(uintptr_t)(HUGE_PAGE - 1));
    if (start > map)
        munmap(map, (size_t)(start - map));
    if (map + mapped > start + whole)
        munmap(start + whole, (size_t)(map + mapped - (start + whole)));
#ifdef MADV_HUGEPAGE
    madvise(start, whole, MADV_HUGEPAGE);
#endif
    return start;
}

size_t PlatformShrinkBlock(void *block, size_t bytes, size_t keep)
{
    size_t whole = PageRound(bytes);
    size_t kept = PageRound(keep);
    if (kept >= whole)
        return bytes;
    munmap((char *)block + kept, whole - kept);
    return kept;
}

void PlatformFreeBlock(void *block, size_t bytes)
{
    if (block != NULL)
        munmap(block, PageRound(bytes));
}

/* The value in bytes of one "Name: N kB" line of /proc/meminfo, or -1. */
static long long MeminfoBytes(const char *text, const char *name)
{
    const char *line = strstr(text, name);
    return line == NULL ? -1 : strtoll(line + strlen(name), NULL, 10) * 1024;
}

/* What the system can still give: memory it can free or has free, and free swap. With overcommit a
 * block is handed out whether or not this is there, and the process is killed when it is touched. */
static uint64_t SystemMemoryLeft(void)
{
    char text[8192];
    int fd = open("/proc/meminfo", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return UINT64_MAX;
    ssize_t got = read(fd, text, sizeof text - 1);
    close(fd);
    if (got <= 0)
        return UINT64_MAX;
    text[got] = '\0';
    long long available = MeminfoBytes(text, "MemAvailable:");
    long long swap = MeminfoBytes(text, "SwapFree:");
    if (available < 0)
        return UINT64_MAX;
    return (uint64_t)available + (uint64_t)(swap > 0 ? swap : 0);
}

/* The address space a process limit or a 32-bit pointer leaves, less what the process maps now. */
static uint64_t AddressSpaceLeft(void)
{
    uint64_t limit = sizeof(void *) == 4 ? (uint64_t)1 << 32 : UINT64_MAX;
    struct rlimit rl;
    if (getrlimit(RLIMIT_AS, &rl) == 0 && rl.rlim_cur != RLIM_INFINITY && (uint64_t)rl.rlim_cur < limit)
        limit = (uint64_t)rl.rlim_cur;
    if (limit == UINT64_MAX)
        return limit;
    char text[128];
    int fd = open("/proc/self/statm", O_RDONLY | O_CLOEXEC);
    ssize_t got = fd < 0 ? -1 : read(fd, text, sizeof text - 1);
    if (fd >= 0)
        close(fd);
    if (got <= 0)
        return limit;
    text[got] = '\0';
    uint64_t mapped = (uint64_t)strtoull(text, NULL, 10) * (uint64_t)sysconf(_SC_PAGESIZE);
    return mapped < limit ? limit - mapped : 0;
}

uint64_t PlatformMemoryLeft(void)
{
    uint64_t system = SystemMemoryLeft();
    uint64_t address_space = AddressSpaceLeft();
    return system < address_space ? system : address_space;
}

/* Windows-1251: Latin A-Z, Cyrillic А-Я, and the letters of the 0x80-0xBF block in pairs. */
void PlatformLowercaseTable(unsigned char lower[256])
{
    static const unsigned char pairs[][2] = {
        {0x80, 0x90}, {0x81, 0x83}, {0x8A, 0x9A}, {0x8C, 0x9C}, {0x8D, 0x9D}, {0x8E, 0x9E},
        {0x8F, 0x9F}, {0xA1, 0xA2}, {0xA3, 0xBC}, {0xA5, 0xB4}, {0xA8, 0xB8}, {0xAA, 0xBA},
        {0xAF, 0xBF}, {0xB2, 0xB3}, {0xBD, 0xBE},
    };
    for (int b = 0; b < 256; b++)
        lower[b] = (unsigned char)b;
    for (int b = 'A'; b <= 'Z'; b++)
        lower[b] = (unsigned char)(b + 0x20);
    for (int b = 0xC0; b <= 0xDF; b++)
        lower[b] = (unsigned char)(b + 0x20);
    for (size_t i = 0; i < sizeof pairs / sizeof pairs[0]; i++)
        lower[pairs[i][0]] = pairs[i][1];
}

int PlatformByteForUnicode(unsigned int codepoint)
{
    if (codepoint < 0x80)
        return (int)codepoint;
    if (codepoint >= 0x0410 && codepoint <= 0x044F)
        return (int)(codepoint - 0x0410 + 0xC0);
    if (codepoint == 0x0401)
        return 0xA8;
    if (codepoint == 0x0451)
        return 0xB8;
    return -1;
}

#endif /* !_WIN32 */
