/* database_loading.cpp - reading a database file into the store. A small file is read and packed
 * a chunk at a time on the caller's thread. A large one is read as two halves at once, the second
 * on a thread of its own, each packed into its own part of the store: reading fresh memory and
 * packing it are most of the time an open takes, and two cores do them in about half the time.
 * Defines LoadDatabaseStore.
 */
#include "database_parser.h"
#include "key_matching.h"
#include "platform.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>

/* Bytes read from the file at a time: small enough to stay in the processor's cache. */
#define CHUNK_BYTES (256 * 1024)

/* Below this size a second thread costs more than it saves. */
#define PARALLEL_MIN_BYTES ((uint64_t)4 << 20)

/* Room the first half's text needs past the middle. It packs the lines that start before the
 * middle; packing drops at least the newline of every line and keeps at most 135 bytes of any,
 * so its text ends at most 135 bytes past the middle, and its fixed-size copies go 32 further. */
#define PART_GAP 256

/* One thread's share of the file: which bytes it reads, and the part it packs them into. */
typedef struct PartJob {
    PlatformFile        *file;              /* open for reading; shared, read by offset */
    const unsigned char *fold;              /* the store's case folding, for the filters */
    DatabasePart        *part;              /* receives the records; its text is set */
    uint64_t             start;             /* first byte to read */
    uint64_t             middle;            /* first part: stop after the first newline at or past middle - 1; 0: read to the end */
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
    if (job->middle != 0 && offset + got >= job->middle) {
        size_t skip = job->middle - 1 > offset ? (size_t)(job->middle - 1 - offset) : 0;
        const char *newline = skip < got ? (const char *)memchr(chunk + skip, '\n', got - skip) : NULL;
        if (newline != NULL) {
            *length = (size_t)(newline + 1 - *from);
            *last = 1;
        }
    }
    return 1;
}

/* Sizes the part's arrays from the lines in its first chunk, so that they seldom have to grow:
 * growing a large block stops the other thread's reading for a while. Never more than about
 * the part's size in bytes; when even that cannot be had, the arrays grow as records come. */
static void EstimateRecords(PartJob *job, const char *chunk, size_t got)
{
    uint64_t lines = 1;
    for (const char *p = chunk; (p = (const char *)memchr(p, '\n', (size_t)(chunk + got - p))) != NULL; p++)
        lines++;
    uint64_t bytes = (job->middle != 0 ? job->middle : job->size) - job->start;
    uint64_t estimate = bytes / got * lines * 17 / 16 + lines;
    if (estimate > bytes / 16 + 4096)
        estimate = bytes / 16 + 4096;
    if (estimate <= (uint64_t)INT_MAX)
        ReserveRecords(job->part, (size_t)estimate);
}

/* Reads and packs the job's bytes; sets job->ok. Runs on either thread. */
static void PackPart(void *argument)
{
    PartJob *job = (PartJob *)argument;
    char *chunk = (char *)calloc(1, CHUNK_BYTES + CHUNK_SLACK);
    job->ok = chunk != NULL;
    if (!job->ok)
        return;
    Packer packer;
    BeginPacking(&packer, job->part, job->fold);
    int last = 0;
    for (uint64_t offset = job->start; job->ok && !last && offset < job->size;) {
        size_t want = job->size - offset < CHUNK_BYTES ? (size_t)(job->size - offset) : CHUNK_BYTES;
        long got = PlatformReadFileAt(job->file, chunk, want, offset);
        if (got <= 0) {
            job->ok = got == 0;   /* 0: the file shrank while we read it; keep what it had */
            break;
        }
        if (offset == job->start)
            EstimateRecords(job, chunk, (size_t)got);
        const char *from;
        size_t length;
        if (TrimChunk(job, chunk, (size_t)got, offset, &from, &length, &last))
            job->ok = PackChunk(&packer, from, length);
        offset += (uint64_t)got;
    }
    job->ok = job->ok && FinishPacking(&packer);
    free(chunk);
    ShrinkPart(job->part, (size_t)(packer.out - job->part->text));
}

/* Gives the job's part a text block for text bytes of packed text; 0 when memory runs out. */
static int GiveText(PartJob *job, uint64_t bytes)
{
    job->part->text = (char *)malloc((size_t)bytes + TEXT_SLACK);
    if (job->part->text == NULL)
        return 0;
    PlatformPrepareLargeBlock(job->part->text, (size_t)bytes + TEXT_SLACK);
    return 1;
}

/* Packs the file as one part, or as two on two threads when it is large; 1 when every part is complete. */
static int PackParts(PlatformFile *file, uint64_t size, DatabaseStore *store)
{
    PartJob jobs[STORE_PARTS];
    memset(jobs, 0, sizeof jobs);
    for (int p = 0; p < STORE_PARTS; p++) {
        jobs[p].file = file;
        jobs[p].fold = store->fold;
        jobs[p].part = &store->parts[p];
        jobs[p].size = size;
    }
    PlatformThread second;
    int parallel = 0;
    if (size >= PARALLEL_MIN_BYTES) {
        uint64_t middle = size / 2;
        jobs[0].middle = middle;
        jobs[1].start = middle - 1;
        jobs[1].skip_first_line = 1;
        parallel = GiveText(&jobs[0], middle + PART_GAP) && GiveText(&jobs[1], size - jobs[1].start) &&
                   PlatformStartThread(&second, PackPart, &jobs[1]);
        if (!parallel) {
            FreeDatabasePart(&store->parts[0]);   /* all of it on this thread, as for a small file */
            FreeDatabasePart(&store->parts[1]);
            jobs[0].middle = 0;
        }
    }
    if (!parallel && !GiveText(&jobs[0], size))
        return 0;
    PackPart(&jobs[0]);
    if (parallel)
        PlatformJoinThread(&second);
    return jobs[0].ok && (!parallel || jobs[1].ok);
}

int LoadDatabaseStore(const DirectoryPathChar *path, DatabaseStore *store)
{
    memset(store, 0, sizeof *store);
    PlatformFile file;
    uint64_t size = 0;
    if (path == NULL || !PlatformOpenFile(path, &file, &size))
        return 0;
    BuildFoldTable(store->fold);
    int ok = size <= DATABASE_MAX_BYTES && PackParts(&file, size, store);
    PlatformCloseFile(&file);
    store->count = store->parts[0].count + store->parts[1].count;
    if (!ok || store->count > (size_t)INT_MAX) {
        FreeDatabaseStore(store);
        return 0;
    }
    return 1;
}
