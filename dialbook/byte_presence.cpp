/* byte_presence.cpp - making the maps of the bytes each segment's text holds, on a thread of their
 * own after the open. Defines StartByteMaps and StopByteMaps.
 */
#include "byte_presence.h"

#include <string.h>

/* Text read between two looks at the stop flag: a close waits for no more than this. */
#define STRETCH_BYTES ((size_t)1 << 20)

/* Counts each byte value of the text into counts. Four tables, so that the same byte twice in a row
 * does not wait for its own count. */
static void CountBytes(const unsigned char *text, size_t length, uint32_t counts[4][256])
{
    size_t i = 0;
    for (; i + 4 <= length; i += 4) {
        counts[0][text[i]]++;
        counts[1][text[i + 1]]++;
        counts[2][text[i + 2]]++;
        counts[3][text[i + 3]]++;
    }
    for (; i < length; i++)
        counts[0][text[i]]++;
}

/* The folded bytes of the segment's text in *map; 0 when told to stop before it is done. */
static int MapSegment(const DatabaseStore *store, const DatabaseSegment *segment, ByteMap *map, const int *stop)
{
    uint32_t counts[4][256];   /* a segment holds at most SEGMENT_TEXT_MAX bytes: no count overflows */
    memset(counts, 0, sizeof counts);
    const unsigned char *text = (const unsigned char *)segment->text;
    for (size_t at = 0; at < segment->text_room; at += STRETCH_BYTES) {
        if (__atomic_load_n(stop, __ATOMIC_RELAXED))
            return 0;
        size_t left = segment->text_room - at;
        CountBytes(text + at, left < STRETCH_BYTES ? left : STRETCH_BYTES, counts);
    }
    memset(map, 0, sizeof *map);
    for (int b = 0; b < 256; b++)
        if ((counts[0][b] | counts[1][b] | counts[2][b] | counts[3][b]) != 0)
            AddToByteMap(map, store->fold[b]);
    return 1;
}

/* The thread's work: each segment's map in turn, each one published as it is done. */
static void MakeByteMaps(void *argument)
{
    DatabaseStore *store = (DatabaseStore *)argument;
    ByteMaps *maps = &store->byte_maps;
    for (size_t s = 0; s < store->list.count; s++) {
        if (!MapSegment(store, &store->list.segments[s], &maps->maps[s], &maps->stop))
            return;
        __atomic_store_n(&maps->done, s + 1, __ATOMIC_RELEASE);
    }
}

void StartByteMaps(DatabaseStore *store, int wait)
{
    ByteMaps *maps = &store->byte_maps;
    memset(maps, 0, sizeof *maps);
    if (store->list.count == 0)
        return;
    maps->block = store->list.count * sizeof(ByteMap);
    maps->maps = (ByteMap *)PlatformAllocateBlock(maps->block);
    if (maps->maps == NULL)
        return;
    if (wait)
        MakeByteMaps(store);
    else
        maps->running = PlatformStartThread(&maps->thread, MakeByteMaps, store);
}

void StopByteMaps(DatabaseStore *store)
{
    ByteMaps *maps = &store->byte_maps;
    if (maps->running) {
        __atomic_store_n(&maps->stop, 1, __ATOMIC_RELAXED);
        PlatformJoinThread(&maps->thread);
    }
    PlatformFreeBlock(maps->maps, maps->block);
    memset(maps, 0, sizeof *maps);
}
