/* database_parser.h - turning a database file's bytes into packed records, a chunk at a time,
 * so that the file never has to be in memory whole.
 */
#ifndef DIALBOOK_DATABASE_PARSER_H
#define DIALBOOK_DATABASE_PARSER_H

#include "database_store.h"

/* Where packing stands between two chunks of the file. */
typedef struct Packer {
    DatabasePart  *part;                        /* receives each finished record */
    const unsigned char *fold;                  /* byte -> the form the filters hold */
    unsigned char  fold_stop[256];              /* the same, with ';' as 0 */
    char          *record;                      /* where the open record's text starts in part->text */
    char          *out;                         /* next free byte of part->text */
    RecordShape    shape;                       /* the open record's fields that are closed so far */
    uint16_t       filters[FILTERED_FIELDS];    /* the open record's first bytes of its filtered fields */
    int            field;                       /* the open field; RECORD_FIELDS once past the eighth */
    size_t         raw;                         /* bytes the open field has in the file so far */
    int            cut;                         /* 1 after a NUL in the open field: the rest is not text */
    int            blank;                       /* 1 while the line holds only spaces, tabs and CRs */
    int            line_open;                   /* 1 when bytes have come since the last line end */
} Packer;

/* Bytes a chunk must have readable after its end. */
#define CHUNK_SLACK 32

/* Starts packing into part, whose text must have room for all the bytes it will be given plus TEXT_SLACK. */
void BeginPacking(Packer *packer, DatabasePart *part, const unsigned char fold[256]);

/* Packs the next length bytes of the file; 1, or 0 when memory runs out or the count would not fit an int. */
int PackChunk(Packer *packer, const char *chunk, size_t length);

/* Ends the last line if the file did not; 1, or 0 as PackChunk. */
int FinishPacking(Packer *packer);

#endif /* DIALBOOK_DATABASE_PARSER_H */
