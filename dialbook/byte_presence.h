/* byte_presence.h - which folded bytes each segment's text holds. A record can only match a key
 * whose every literal byte stands somewhere in its text, so a search passes over, unread, a segment
 * that lacks one: a key typed in the other keyboard layout, or with a letter no entry has, is
 * answered at once however large the directory. Finding the bytes costs about a third of a
 * nanosecond a byte of text, a quarter of what the open itself takes, so the maps are made after the
 * open, on a thread of their own, segment by segment in file order; a search uses the maps of the
 * segments already done and reads the others as it always has. Results never depend on how far the
 * thread has got, only the time they take.
 */
#ifndef DIALBOOK_BYTE_PRESENCE_H
#define DIALBOOK_BYTE_PRESENCE_H

#include <stdint.h>
#include "database_store.h"

static inline void AddToByteMap(ByteMap *map, unsigned char b)
{
    map->words[b >> 6] |= (uint64_t)1 << (b & 63);
}

/* Starts the thread that maps the bytes of each segment of store, which must stay where it is until
 * StopByteMaps; with wait set, returns only when every map is made. Without memory or a thread there
 * are no maps, and searches read every segment. */
void StartByteMaps(DatabaseStore *store, int wait);

/* Ends the thread, if it still runs, and releases the maps. */
void StopByteMaps(DatabaseStore *store);

/* 1 when segment s of store has its map and its text lacks a byte of needed. */
static inline int SegmentLacksByte(const DatabaseStore *store, size_t s, const ByteMap *needed)
{
    if (s >= __atomic_load_n(&store->byte_maps.done, __ATOMIC_ACQUIRE))
        return 0;
    const ByteMap *held = &store->byte_maps.maps[s];
    uint64_t missing = 0;
    for (int w = 0; w < 4; w++)
        missing |= needed->words[w] & ~held->words[w];
    return missing != 0;
}

#endif /* DIALBOOK_BYTE_PRESENCE_H */
