/* database_reading.cpp - reading a database file into the store. A file that a sample of it shows
 * cannot fit in the memory the process has left is refused before anything else. A small file is
 * read and packed a chunk at a time on the caller's thread. A large one is read as two halves at
 * once, the second on a thread of its own, each packed into segments of its own that join in file
 * order: bringing fresh memory into being and packing it are most of the time an open takes, and
 * two cores do them in about half the time natively (docs/PERFORMANCE.md has the figures of each
 * build). Defines LoadDatabaseStore.
 */
#include "database_parser.h"
#include "key_matching.h"
#include "library_switches.h"
#include "platform.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>

/* Bytes read from the file at a time: small enough to stay in the processor's cache. */
#define CHUNK_BYTES (256 * 1024)

/* Below this size a second thread costs more than it saves. */
#define PARALLEL_MIN_BYTES ((uint64_t)4 << 20)

/* One thread's share of the file: which bytes it reads, and the segments it packs them into. */
typedef struct PartJob {
    PlatformFile        *file;              /* open for reading; shared, read by offset */
    const unsigned char *fold;              /* the store's case folding, for the filters */
    SegmentList          list;              /* receives the records */
    uint64_t             start;             /* first byte to read */
    uint64_t             stop_at;           /* the first part of two stops after the first newline at or past
                                               stop_at - 1; a part read to the file's end has its size */
    uint64_t             size;              /* the file's size when it was opened */
    int                  skip_first_line;   /* second part: the line it starts in belongs to the first part */
    int                  ok;                /* out: 1 when the part is complete */
} PartJob;

/* Where the job's bytes in a chunk of got bytes read at offset begin and end; 0 when the chunk has none yet. */
static int TrimChunk(PartJob *job, const char *chunk, size_t got, uint64_t offset, const char **from, size_t *length,
                     int *last)
{
    *from = chunk;
    *length = got;
    if (job->skip_first_line) {
        const char *newline = (const char *)memchr(chunk, '\n', got);
        if (newline == NULL)
            return 0;
        job->skip_first_line = 0;
        *from = newline + 1;
        *length = (size_t)(chunk + got - *from);
    }
    if (job->stop_at < job->size && offset + got >= job->stop_at) {
        size_t skip = job->stop_at - 1 > offset ? (size_t)(job->stop_at - 1 - offset) : 0;
        const char *newline = skip < got ? (const char *)memchr(chunk + skip, '\n', got - skip) : NULL;
        if (newline != NULL) {
            *length = (size_t)(newline + 1 - *from);
            *last = 1;
        }
    }
    return 1;
}

/* Reads and packs the job's bytes; sets job->ok. Runs on either thread. */
static void PackPart(void *argument)
{
    PartJob *job = (PartJob *)argument;
    char *chunk = (char *)PlatformAllocateBlock(CHUNK_BYTES + CHUNK_SLACK);
    job->ok = chunk != NULL;
    if (!job->ok)
        return;
    /* Job 0 of two packs the lines that start before the middle; the last of them keeps a record's text at most past it. */
    uint64_t end_offset = job->stop_at < job->size ? job->stop_at + RECORD_TEXT_MAX : job->size;
    Packer packer;
    int begun = 0, last = 0;
    for (uint64_t offset = job->start; job->ok && !last && offset < job->size;) {
        size_t want = job->size - offset < CHUNK_BYTES ? (size_t)(job->size - offset) : CHUNK_BYTES;
        long got = PlatformReadFileAt(job->file, chunk, want, offset);
        if (got <= 0) {
            job->ok = got == 0;   /* 0: the file holds less than its size said; if it shrank, the end's check says so */
            break;
        }
        if (g_switches.after_read != NULL)
            g_switches.after_read(job->start != 0, offset + (uint64_t)got);
        if (!begun)
            job->ok = begun = BeginPacking(&packer, &job->list, job->fold, job->start, end_offset, chunk, (size_t)got);
        const char *from;
        size_t length;
        if (job->ok && TrimChunk(job, chunk, (size_t)got, offset, &from, &length, &last))
            job->ok = PackChunk(&packer, from, length, offset + (uint64_t)(from - chunk));
        offset += (uint64_t)got;
    }
    job->ok = job->ok && (!begun || FinishPacking(&packer));
    PlatformFreeBlock(chunk, CHUNK_BYTES + CHUNK_SLACK);
}

/* Packs the file as one part, or as two on two threads when it is large; 1 when every part is complete. */
static int PackParts(PlatformFile *file, uint64_t size, DatabaseStore *store)
{
    PartJob jobs[2];
    memset(jobs, 0, sizeof jobs);
    for (int p = 0; p < 2; p++) {
        jobs[p].file = file;
        jobs[p].fold = store->fold;
        jobs[p].size = size;
        jobs[p].stop_at = size;
    }
    PlatformThread second;
    int parallel = 0;
    if (size >= PARALLEL_MIN_BYTES) {
        uint64_t middle = size / 2;
        jobs[0].stop_at = middle;
        jobs[1].start = middle - 1;
        jobs[1].skip_first_line = 1;
        parallel = PlatformStartThread(&second, PackPart, &jobs[1]);
        if (!parallel)
            jobs[0].stop_at = size;   /* all of it on this thread, as for a small file */
    }
    PackPart(&jobs[0]);
    if (parallel)
        PlatformJoinThread(&second);
    int ok = jobs[0].ok && (!parallel || jobs[1].ok);
    store->list = jobs[0].list;
    size_t first = 0;
    for (size_t s = 0; s < store->list.count; s++)
        first += store->list.segments[s].count;
    if (ok && parallel)
        ok = JoinSegments(&store->list, &jobs[1].list, first);
    FreeSegments(&jobs[1].list);
    return ok;
}

/* The memory an open of the file would take, from a sample of its first bytes: the text they
 * would keep and the records they hold, scaled to the file's size, the maps of the segments' bytes
 * and the chunks it is read by. */
static double EstimateCost(PlatformFile *file, uint64_t size)
{
    char sample[16384];
    long got = PlatformReadFileAt(file, sample, size < sizeof sample ? (size_t)size : sizeof sample, 0);
    if (got <= 0)
        return 0;
    uint64_t lines = 0, dropped = 0;
    TallySample(sample, (size_t)got, &lines, &dropped);
    double scale = (double)size / (double)got;
    double records = (double)(lines > 0 ? lines : 1) * scale;
    double text = (double)((size_t)got - dropped) * scale;
    /* The segments' byte maps take a block of whole pages: a segment is full at its text or its
     * records, and each of the two parts ends with one that is not. */
    double segments = text / (double)SEGMENT_TEXT_MAX + records / (double)SEGMENT_RECORDS_MAX + 2.0;
    double maps = segments * sizeof(ByteMap) + 4096.0;
    return text + records * RECORD_FIXED_BYTES + maps + 2.0 * (CHUNK_BYTES + CHUNK_SLACK);
}

/* 1 when the file, as far as a sample of it tells, fits in the memory the process has left. */
static int FitsInMemory(PlatformFile *file, uint64_t size)
{
    uint64_t left = g_switches.memory_left != 0 ? g_switches.memory_left : PlatformMemoryLeft();
    return EstimateCost(file, size) <= (double)left;
}

int LoadDatabaseStore(const DirectoryPathChar *path, DatabaseStore *store)
{
    memset(store, 0, sizeof *store);
    PlatformFile file;
    uint64_t size = 0;
    if (path == NULL || !PlatformOpenFile(path, &file, &size))
        return 0;
    BuildFoldTable(store->fold);
    /* Records of two versions of one file are no file at all: one written to meanwhile is refused. */
    int ok = FitsInMemory(&file, size) && PackParts(&file, size, store) && !PlatformFileChanged(&file);
    PlatformCloseFile(&file);
    store->count = 0;
    for (size_t s = 0; s < store->list.count; s++)
        store->count += store->list.segments[s].count;
    CountTextBytes(store);
    if (!ok || store->count > (size_t)INT_MAX) {
        FreeDatabaseStore(store);
        return 0;
    }
    return 1;
}
