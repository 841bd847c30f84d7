/* database_search.cpp - walking the store for the next record that passes a key.
 * When a key field has literal leading text in a filtered field, its filter column picks
 * the candidates and only they are read; otherwise every record is tested in turn.
 * Defines FindNextMatch.
 */
#include "database_search.h"

int PickFilterField(const CompiledKey *key)
{
    int best = -1;
    int best_literal = 0;
    for (int i = 0; i < key->count; i++) {
        const KeyField *k = &key->fields[i];
        int literal = k->literal > 2 ? 2 : k->literal;
        if (k->field < FILTERED_FIELDS && literal > best_literal) {
            best = i;
            best_literal = literal;
        }
    }
    return best;
}

/* Tests only the records whose filter agrees with the key's first bytes. */
static int FindFiltered(const DatabaseStore *store, CompiledKey *key, const KeyField *driver, size_t from,
                        size_t *found, size_t *offset)
{
    const uint16_t *column = store->filters[driver->field];
    uint16_t want = driver->text[0];
    uint16_t mask = 0x00FF;
    if (driver->literal >= 2) {
        want |= (uint16_t)(driver->text[1] << 8);
        mask = 0xFFFF;
    }
    for (size_t i = from; i < store->count; i++) {
        if ((column[i] & mask) != want)
            continue;
        size_t at = RecordOffset(store, i);
        if (RecordMatches(key, store->fold, store->text + at, &store->shapes[i])) {
            *found = i;
            *offset = at;
            return 1;
        }
    }
    return 0;
}

/* Tests every record in turn, keeping its text offset as it goes. */
static int FindScanning(const DatabaseStore *store, CompiledKey *key, size_t from, size_t *found, size_t *offset)
{
    if (from >= store->count)
        return 0;
    size_t at = RecordOffset(store, from);
    for (size_t i = from; i < store->count; i++) {
        const RecordShape *shape = &store->shapes[i];
        if (RecordMatches(key, store->fold, store->text + at, shape)) {
            *found = i;
            *offset = at;
            return 1;
        }
        at += shape->end[RECORD_FIELDS - 1];
    }
    return 0;
}

int FindNextMatch(const DatabaseStore *store, CompiledKey *key, size_t from, size_t *found, size_t *offset)
{
    if (key->filter >= 0)
        return FindFiltered(store, key, &key->fields[key->filter], from, found, offset);
    return FindScanning(store, key, from, found, offset);
}
