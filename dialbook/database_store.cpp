/* database_store.cpp - reading a database file into memory and parsing it into records.
 * A line ends with LF or CR LF; every non-blank line is a record; fields are cut at ';',
 * at a NUL byte and at their longest text. Defines LoadDatabaseStore, ParseDatabaseText
 * and FreeDatabaseStore.
 */
#include "database_store.h"
#include "platform.h"

#include <limits.h>
#include <stdlib.h>
#include <string.h>

const uint8_t kFieldLongest[RECORD_FIELDS] = {7, 29, 29, 29, 29, 4, 4, 4};

/* Reads the whole file into a malloc'd buffer; 1 with *buffer and *length set, or 0. */
static int ReadWholeFile(const DirectoryPathChar *path, char **buffer, size_t *length)
{
    PlatformFile file;
    uint64_t size = 0;
    if (!PlatformOpenFile(path, &file, &size))
        return 0;
    char *data = size <= DATABASE_MAX_BYTES ? (char *)malloc((size_t)size + 1) : NULL;
    size_t have = 0;
    while (data != NULL && have < size) {
        long got = PlatformReadFile(&file, data + have, (size_t)size - have);
        if (got < 0) {
            free(data);
            data = NULL;
        } else if (got == 0) {
            break;   /* the file shrank while we read it: keep what it had */
        } else {
            have += (size_t)got;
        }
    }
    PlatformCloseFile(&file);
    if (data == NULL)
        return 0;
    *buffer = data;
    *length = have;
    return 1;
}

/* A blank line holds nothing but spaces, tabs and carriage returns. */
static int IsBlankLine(const char *line, const char *stop)
{
    for (; line < stop; line++)
        if (*line != ' ' && *line != '\t' && *line != '\r')
            return 0;
    return 1;
}

/* Copies one line's eight fields down to out (never past line) and records where they end; returns the new out. */
static char *PackLine(const char *line, const char *stop, char *out, RecordShape *shape)
{
    char *start = out;
    for (int k = 0; k < RECORD_FIELDS; k++) {
        const char *p = line;
        while (p < stop && *p != ';' && *p != '\0')
            p++;
        size_t length = (size_t)(p - line);
        if (length > kFieldLongest[k])
            length = kFieldLongest[k];
        memmove(out, line, length);
        out += length;
        while (p < stop && *p != ';')   /* past a NUL, the rest of the field is not text */
            p++;
        line = p < stop ? p + 1 : stop;
        shape->end[k] = (uint8_t)(out - start);
    }
    return out;
}

/* Makes room for one more shape, growing by half; 0 when memory runs out. */
static int ReserveShape(DatabaseStore *store, size_t *capacity)
{
    if (store->count < *capacity)
        return 1;
    if (store->count >= (size_t)INT_MAX)
        return 0;   /* the count must fit the caller's int */
    size_t grown = *capacity + *capacity / 2 + 1024;
    if (grown > SIZE_MAX / sizeof(RecordShape))
        return 0;
    RecordShape *shapes = (RecordShape *)realloc(store->shapes, grown * sizeof(RecordShape));
    if (shapes == NULL)
        return 0;
    store->shapes = shapes;
    *capacity = grown;
    return 1;
}

int ParseDatabaseText(char *buffer, size_t length, DatabaseStore *store)
{
    store->text = buffer;
    store->shapes = NULL;
    store->count = 0;
    size_t capacity = 0;
    char *out = buffer;
    const char *line = buffer;
    const char *end = buffer + length;
    while (line < end) {
        const char *newline = (const char *)memchr(line, '\n', (size_t)(end - line));
        const char *stop = newline != NULL ? newline : end;
        if (stop > line && stop[-1] == '\r')
            stop--;
        if (!IsBlankLine(line, stop)) {
            if (!ReserveShape(store, &capacity)) {
                FreeDatabaseStore(store);
                return 0;
            }
            out = PackLine(line, stop, out, &store->shapes[store->count]);
            store->count++;
        }
        line = newline != NULL ? newline + 1 : end;
    }
    /* Give back what packing and growth left unused; keeping the larger block is harmless. */
    char *text = (char *)realloc(store->text, (size_t)(out - buffer) + 1);
    if (text != NULL)
        store->text = text;
    if (store->count > 0) {
        RecordShape *shapes = (RecordShape *)realloc(store->shapes, store->count * sizeof(RecordShape));
        if (shapes != NULL)
            store->shapes = shapes;
    }
    return 1;
}

int LoadDatabaseStore(const DirectoryPathChar *path, DatabaseStore *store)
{
    char *buffer = NULL;
    size_t length = 0;
    memset(store, 0, sizeof *store);
    if (path == NULL || !ReadWholeFile(path, &buffer, &length))
        return 0;
    return ParseDatabaseText(buffer, length, store);
}

void FreeDatabaseStore(DatabaseStore *store)
{
    free(store->text);
    free(store->shapes);
    memset(store, 0, sizeof *store);
}
