/* database_store.cpp - reading a database file into the store, and the store's bookkeeping.
 * The file is read a chunk at a time and packed as it comes (database_parser.cpp), so only
 * the packed text is ever held. Defines LoadDatabaseStore, StoreRecord, FreeDatabaseStore
 * and RecordOffset.
 */
#include "database_parser.h"
#include "key_matching.h"
#include "platform.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>

const uint8_t kFieldLongest[RECORD_FIELDS] = {7, 29, 29, 29, 29, 4, 4, 4};

const unsigned char kKeepBytes[64] = {
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
};

/* Bytes read from the file at a time: small enough to stay in the processor's cache. */
#define CHUNK_BYTES (256 * 1024)

/* Grows or shrinks one array to capacity elements of size bytes; 0 when memory runs out. */
static int ResizeArray(void **array, size_t capacity, size_t size)
{
    if (capacity == 0 || capacity > SIZE_MAX / size)
        return 0;
    void *resized = realloc(*array, capacity * size);
    if (resized == NULL)
        return 0;
    *array = resized;
    return 1;
}

/* Grows every per-record array by half when the next record would not fit. */
int ReserveRecord(DatabaseStore *store)
{
    if (store->count < store->capacity)
        return 1;
    if (store->count >= (size_t)INT_MAX)
        return 0;   /* the count must fit the caller's int */
    size_t capacity = store->capacity + store->capacity / 2 + 4096;
    if (!ResizeArray((void **)&store->shapes, capacity, sizeof(RecordShape)))
        return 0;
    for (int k = 0; k < FILTERED_FIELDS; k++)
        if (!ResizeArray((void **)&store->filters[k], capacity, sizeof(uint16_t)))
            return 0;
    if (!ResizeArray((void **)&store->block_offsets, (capacity >> BLOCK_SHIFT) + 1, sizeof(size_t)))
        return 0;
    store->capacity = capacity;
    return 1;
}

int StoreRecord(DatabaseStore *store, const RecordShape *shape, const uint16_t filters[FILTERED_FIELDS],
                size_t text_offset)
{
    if (!ReserveRecord(store))
        return 0;
    size_t i = store->count;
    store->shapes[i] = *shape;
    for (int k = 0; k < FILTERED_FIELDS; k++)
        store->filters[k][i] = filters[k];
    CommitRecord(store, text_offset);
    return 1;
}

/* Hands back what growth left unused; where the system will not shrink a block, keeping it is harmless. */
static void ShrinkToFit(DatabaseStore *store, size_t text_length)
{
    ResizeArray((void **)&store->text, text_length + TEXT_SLACK, 1);
    if (store->count == 0)
        return;
    ResizeArray((void **)&store->shapes, store->count, sizeof(RecordShape));
    for (int k = 0; k < FILTERED_FIELDS; k++)
        ResizeArray((void **)&store->filters[k], store->count, sizeof(uint16_t));
    ResizeArray((void **)&store->block_offsets, ((store->count - 1) >> BLOCK_SHIFT) + 1, sizeof(size_t));
}

/* Reads the open file to its end, or to size bytes, packing each chunk; 1, or 0 on a read error or no memory. */
static int PackFile(PlatformFile *file, uint64_t size, DatabaseStore *store)
{
    char *chunk = (char *)malloc(CHUNK_BYTES + CHUNK_SLACK);
    if (chunk == NULL)
        return 0;
    Packer packer;
    BeginPacking(&packer, store);
    int ok = 1;
    for (uint64_t have = 0; ok && have < size;) {
        size_t want = size - have < CHUNK_BYTES ? (size_t)(size - have) : CHUNK_BYTES;
        long got = PlatformReadFile(file, chunk, want);
        if (got <= 0) {
            ok = got == 0;   /* 0: the file shrank while we read it; keep what it had */
            break;
        }
        ok = PackChunk(&packer, chunk, (size_t)got);
        have += (uint64_t)got;
    }
    ok = ok && FinishPacking(&packer);
    free(chunk);
    if (ok)
        ShrinkToFit(store, (size_t)(packer.out - store->text));
    return ok;
}

int LoadDatabaseStore(const DirectoryPathChar *path, DatabaseStore *store)
{
    memset(store, 0, sizeof *store);
    PlatformFile file;
    uint64_t size = 0;
    if (path == NULL || !PlatformOpenFile(path, &file, &size))
        return 0;
    BuildFoldTable(store->fold);
    store->text = size <= DATABASE_MAX_BYTES ? (char *)malloc((size_t)size + TEXT_SLACK) : NULL;
    int ok = store->text != NULL && PackFile(&file, size, store);
    PlatformCloseFile(&file);
    if (!ok)
        FreeDatabaseStore(store);
    return ok;
}

void FreeDatabaseStore(DatabaseStore *store)
{
    free(store->text);
    free(store->shapes);
    for (int k = 0; k < FILTERED_FIELDS; k++)
        free(store->filters[k]);
    free(store->block_offsets);
    memset(store, 0, sizeof *store);
}

size_t RecordOffset(const DatabaseStore *store, size_t i)
{
    size_t first = i >> BLOCK_SHIFT << BLOCK_SHIFT;
    size_t offset = store->block_offsets[i >> BLOCK_SHIFT];
    for (size_t j = first; j < i; j++)
        offset += store->shapes[j].end[RECORD_FIELDS - 1];
    return offset;
}
