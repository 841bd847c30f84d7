/* database_store.cpp - the store's bookkeeping: growing and shrinking a part's per-record arrays,
 * releasing them, and finding a record's text. Defines ReserveRecord, StoreRecord, ShrinkPart,
 * FreeDatabasePart, FreeDatabaseStore and RecordOffset.
 */
#include "database_store.h"
#include "platform.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>

const unsigned char kKeepBytes[64] = {
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
};

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
int ReserveRecord(DatabasePart *part)
{
    if (part->count < part->capacity)
        return 1;
    if (part->count >= (size_t)INT_MAX)
        return 0;   /* the count must fit the caller's int */
    return ReserveRecords(part, part->capacity + part->capacity / 2 + 4096);
}

int ReserveRecords(DatabasePart *part, size_t capacity)
{
    if (capacity <= part->capacity)
        return 1;
    if (!ResizeArray((void **)&part->shapes, capacity, sizeof(RecordShape)))
        return 0;
    for (int k = 0; k < FILTERED_FIELDS; k++)
        if (!ResizeArray((void **)&part->filters[k], capacity, sizeof(uint16_t)))
            return 0;
    if (!ResizeArray((void **)&part->block_offsets, (capacity >> BLOCK_SHIFT) + 1, sizeof(size_t)))
        return 0;
    PlatformPrepareLargeBlock(part->shapes, capacity * sizeof(RecordShape));
    for (int k = 0; k < FILTERED_FIELDS; k++)
        PlatformPrepareLargeBlock(part->filters[k], capacity * sizeof(uint16_t));
    part->capacity = capacity;
    return 1;
}

int StoreRecord(DatabasePart *part, const RecordShape *shape, const uint16_t filters[FILTERED_FIELDS],
                size_t text_offset)
{
    if (!ReserveRecord(part))
        return 0;
    size_t i = part->count;
    part->shapes[i] = *shape;
    for (int k = 0; k < FILTERED_FIELDS; k++)
        part->filters[k][i] = filters[k];
    NoteBlockOffset(part->block_offsets, i, text_offset);
    part->count = i + 1;
    return 1;
}

/* Where the system will not shrink a block, keeping it is harmless. */
void ShrinkPart(DatabasePart *part, size_t text_length)
{
    ResizeArray((void **)&part->text, text_length + TEXT_SLACK, 1);
    memset(part->text + text_length, 0, TEXT_SLACK);   /* what reads past the last record finds */
    if (part->count == 0)
        return;
    ResizeArray((void **)&part->shapes, part->count, sizeof(RecordShape));
    for (int k = 0; k < FILTERED_FIELDS; k++)
        ResizeArray((void **)&part->filters[k], part->count, sizeof(uint16_t));
    ResizeArray((void **)&part->block_offsets, ((part->count - 1) >> BLOCK_SHIFT) + 1, sizeof(size_t));
    part->capacity = part->count;
}

void FreeDatabasePart(DatabasePart *part)
{
    free(part->text);
    free(part->shapes);
    for (int k = 0; k < FILTERED_FIELDS; k++)
        free(part->filters[k]);
    free(part->block_offsets);
    memset(part, 0, sizeof *part);
}

void FreeDatabaseStore(DatabaseStore *store)
{
    for (int p = 0; p < STORE_PARTS; p++)
        FreeDatabasePart(&store->parts[p]);
    memset(store, 0, sizeof *store);
}

size_t RecordOffset(const DatabasePart *part, size_t i)
{
    size_t first = i >> BLOCK_SHIFT << BLOCK_SHIFT;
    size_t offset = part->block_offsets[i >> BLOCK_SHIFT];
    for (size_t j = first; j < i; j++)
        offset += part->shapes[j].end[RECORD_FIELDS - 1];
    return offset;
}
