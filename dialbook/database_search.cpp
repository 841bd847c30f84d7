/* database_search.cpp - walking the store for the next record that passes a key.
 * When a key field has literal leading text in a filtered field, its filter column picks
 * the candidates and only they are read; otherwise every record is tested in turn.
 * Defines PickFilterField and FindNextMatch.
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

/* Tests only the part's records whose filter agrees with the key's first bytes; 1 with *found and *offset set. */
static int FindFiltered(const DatabasePart *part, const unsigned char fold[256], CompiledKey *key, size_t from,
                        size_t *found, size_t *offset)
{
    const KeyField *driver = &key->fields[key->filter];
    const uint16_t *column = part->filters[driver->field];
    uint16_t want = driver->text[0];
    uint16_t mask = 0x00FF;
    if (driver->literal >= 2) {
        want |= (uint16_t)(driver->text[1] << 8);
        mask = 0xFFFF;
    }
    for (size_t i = from; i < part->count; i++) {
        if ((column[i] & mask) != want)
            continue;
        size_t at = RecordOffset(part, i);
        if (RecordMatches(key, fold, part->text + at, &part->shapes[i])) {
            *found = i;
            *offset = at;
            return 1;
        }
    }
    return 0;
}

/* Tests every record of the part in turn, keeping its text offset as it goes; 1 with *found and *offset set. */
static int FindScanning(const DatabasePart *part, const unsigned char fold[256], CompiledKey *key, size_t from,
                        size_t *found, size_t *offset)
{
    if (from >= part->count)
        return 0;
    size_t at = RecordOffset(part, from);
    for (size_t i = from; i < part->count; i++) {
        const RecordShape *shape = &part->shapes[i];
        if (RecordMatches(key, fold, part->text + at, shape)) {
            *found = i;
            *offset = at;
            return 1;
        }
        at += shape->end[RECORD_FIELDS - 1];
    }
    return 0;
}

int FindNextMatch(const DatabaseStore *store, CompiledKey *key, size_t from, FoundRecord *found)
{
    size_t base = 0;
    for (int p = 0; p < STORE_PARTS; p++) {
        const DatabasePart *part = &store->parts[p];
        size_t local = from > base ? from - base : 0;
        size_t offset = 0;
        int hit = 0;
        if (local < part->count)
            hit = key->filter >= 0 ? FindFiltered(part, store->fold, key, local, &local, &offset)
                                   : FindScanning(part, store->fold, key, local, &local, &offset);
        if (hit) {
            found->index = base + local;
            found->text = part->text + offset;
            found->shape = &part->shapes[local];
            return 1;
        }
        base += part->count;
    }
    return 0;
}
