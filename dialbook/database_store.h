/* database_store.h - the open database as the library holds it in memory: the text of every
 * record's fields packed back to back, and for each record where its fields end.
 */
#ifndef DIALBOOK_DATABASE_STORE_H
#define DIALBOOK_DATABASE_STORE_H

#include <stddef.h>
#include <stdint.h>
#include "directory.h"

/* Largest database file the library takes: a 32-bit process has about 2 GiB of address space. */
#define DATABASE_MAX_BYTES (sizeof(void *) == 4 ? ((uint64_t)1 << 30) : ((uint64_t)1 << 36))

/* Where each field of one record ends, counted from the record's first byte; field k starts where field k-1 ends. */
typedef struct RecordShape {
    uint8_t end[RECORD_FIELDS];   /* end[7] is the record's whole length: at most 7 + 4*29 + 3*4 = 135 */
} RecordShape;

typedef struct DatabaseStore {
    char        *text;     /* all records' field bytes in file order, no separators, no terminators */
    RecordShape *shapes;   /* one per record, in file order */
    size_t       count;    /* number of records */
} DatabaseStore;

/* The longest text of each field, in record order. */
extern const uint8_t kFieldLongest[RECORD_FIELDS];

/* Reads and parses the file at path into store; 1 on success, 0 with store empty on any failure. */
int LoadDatabaseStore(const DirectoryPathChar *path, DatabaseStore *store);

/* Parses a database file's bytes, in place, into store, which takes the buffer over; 1, or 0 with buffer freed. */
int ParseDatabaseText(char *buffer, size_t length, DatabaseStore *store);

/* Releases everything store holds and empties it. */
void FreeDatabaseStore(DatabaseStore *store);

#endif /* DIALBOOK_DATABASE_STORE_H */
