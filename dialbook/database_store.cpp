/* database_store.cpp - the store's bookkeeping: making segments and their blocks, storing a record,
 * giving back what a finished segment did not use, joining lists and releasing them, and counting a
 * sample of the text's bytes. Defines AddSegment, StoreRecord, CloseSegment, JoinSegments,
 * FreeSegments, CountTextBytes and FreeDatabaseStore.
 */
#include "database_store.h"
#include "byte_presence.h"
#include "library_switches.h"
#include "platform.h"

#include <stdlib.h>
#include <string.h>

const unsigned char kKeepBytes[64] = {
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
    0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
};

/* Records an array block is laid out for are a multiple of this, so that every array starts on a cache line. */
#define ARRAY_ALIGN_RECORDS 32

/* A zeroed block of bytes from the system, within the tests' budget; NULL when memory runs out. */
static void *AllocateBlock(size_t bytes)
{
    if (g_switches.budget_set) {
        if (bytes > g_switches.block_budget)
            return NULL;
        g_switches.block_budget -= bytes;
    }
    return PlatformAllocateBlock(bytes);
}

/* Bytes of an array block for capacity records: shapes, the filters, then the block offsets. */
static size_t ArrayBytes(size_t capacity)
{
    return capacity * (sizeof(RecordShape) + RECORD_FIELDS * sizeof(uint16_t)) +
           ((capacity >> BLOCK_SHIFT) + 1) * sizeof(uint32_t);
}

/* Points the segment's arrays into its array block, laid out for capacity records. */
static void LayOutArrays(DatabaseSegment *segment, size_t capacity)
{
    char *at = (char *)segment->shapes + capacity * sizeof(RecordShape);
    for (int k = 0; k < RECORD_FIELDS; k++, at += capacity * sizeof(uint16_t))
        segment->filters[k] = (uint16_t *)at;
    segment->block_offsets = (uint32_t *)at;
}

/* Makes room for more segments in list; 0 when memory runs out. */
static int GrowList(SegmentList *list, size_t more)
{
    if (list->count + more <= list->capacity)
        return 1;
    size_t capacity = list->capacity * 2 + more + 8;
    DatabaseSegment *grown = (DatabaseSegment *)realloc(list->segments, capacity * sizeof *grown);
    if (grown == NULL)
        return 0;
    list->segments = grown;
    list->capacity = capacity;
    return 1;
}

DatabaseSegment *AddSegment(SegmentList *list, size_t first, size_t records, size_t text_room)
{
    size_t capacity = (records + ARRAY_ALIGN_RECORDS - 1) / ARRAY_ALIGN_RECORDS * ARRAY_ALIGN_RECORDS;
    if (!GrowList(list, 1))
        return NULL;
    DatabaseSegment segment;
    memset(&segment, 0, sizeof segment);
    segment.first = first;
    segment.capacity = capacity;
    segment.text_room = text_room;
    segment.text_block = text_room + TEXT_SLACK;
    segment.array_block = ArrayBytes(capacity);
    segment.text = (char *)AllocateBlock(segment.text_block);
    segment.shapes = (RecordShape *)AllocateBlock(segment.array_block);
    if (segment.text == NULL || segment.shapes == NULL) {
        if (segment.text != NULL)
            PlatformFreeBlock(segment.text, segment.text_block);
        if (segment.shapes != NULL)
            PlatformFreeBlock(segment.shapes, segment.array_block);
        return NULL;
    }
    LayOutArrays(&segment, capacity);
    list->segments[list->count] = segment;
    return &list->segments[list->count++];
}

void StoreRecord(DatabaseSegment *segment, const RecordShape *shape, const uint16_t filters[RECORD_FIELDS],
                 size_t text_offset)
{
    size_t i = segment->count;
    segment->shapes[i] = *shape;
    for (int k = 0; k < RECORD_FIELDS; k++)
        segment->filters[k][i] = filters[k];
    NoteBlockOffset(segment->block_offsets, i, text_offset);
    segment->count = i + 1;
}

/* Lays the arrays out again for the records the segment has, when that frees an eighth of them or
 * more, and gives the rest of the block back. The arrays only move down, in order, so none is overwritten. */
static void CompactArrays(DatabaseSegment *segment)
{
    size_t used = (segment->count + ARRAY_ALIGN_RECORDS - 1) / ARRAY_ALIGN_RECORDS * ARRAY_ALIGN_RECORDS;
    if (segment->capacity - used < segment->capacity / 8)
        return;
    uint16_t *old_filters[RECORD_FIELDS];
    memcpy(old_filters, segment->filters, sizeof old_filters);
    uint32_t *old_offsets = segment->block_offsets;
    LayOutArrays(segment, used);
    for (int k = 0; k < RECORD_FIELDS; k++)
        memmove(segment->filters[k], old_filters[k], segment->count * sizeof(uint16_t));
    memmove(segment->block_offsets, old_offsets, ((segment->count >> BLOCK_SHIFT) + 1) * sizeof(uint32_t));
    segment->capacity = used;
    segment->array_block = PlatformShrinkBlock(segment->shapes, segment->array_block, ArrayBytes(used));
}

void CloseSegment(DatabaseSegment *segment, size_t text_length)
{
    memset(segment->text + text_length, 0, TEXT_SLACK);   /* what reads past the last record finds */
    segment->text_block = PlatformShrinkBlock(segment->text, segment->text_block, text_length + TEXT_SLACK);
    segment->text_room = text_length;
    CompactArrays(segment);
}

int JoinSegments(SegmentList *to, SegmentList *from, size_t first)
{
    if (!GrowList(to, from->count))
        return 0;
    for (size_t s = 0; s < from->count; s++) {
        DatabaseSegment *segment = &to->segments[to->count++];
        *segment = from->segments[s];
        segment->first = first;
        first += segment->count;
    }
    free(from->segments);
    memset(from, 0, sizeof *from);
    return 1;
}

void FreeSegments(SegmentList *list)
{
    for (size_t s = 0; s < list->count; s++) {
        PlatformFreeBlock(list->segments[s].text, list->segments[s].text_block);
        PlatformFreeBlock(list->segments[s].shapes, list->segments[s].array_block);
    }
    free(list->segments);
    memset(list, 0, sizeof *list);
}

void CountTextBytes(DatabaseStore *store)
{
    memset(store->byte_counts, 0, sizeof store->byte_counts);
    store->sampled_bytes = 0;
    store->text_bytes = 0;
    for (size_t s = 0; s < store->list.count; s++) {
        const DatabaseSegment *segment = &store->list.segments[s];
        size_t length = segment->text_room;   /* a closed segment's room is its text */
        store->text_bytes += length;
        size_t windows = length <= TEXT_SAMPLE_WINDOWS * TEXT_SAMPLE_BYTES ? 1 : TEXT_SAMPLE_WINDOWS;
        size_t window = windows == 1 ? length : TEXT_SAMPLE_BYTES;
        for (size_t w = 0; w < windows; w++) {
            const unsigned char *text = (const unsigned char *)segment->text + (length - window) / windows * w;
            for (size_t i = 0; i < window; i++)
                store->byte_counts[text[i]]++;
            store->sampled_bytes += (uint32_t)window;
        }
    }
}

void FreeDatabaseStore(DatabaseStore *store)
{
    StopByteMaps(store);   /* first: the thread reads the segments */
    FreeSegments(&store->list);
    memset(store, 0, sizeof *store);
}
