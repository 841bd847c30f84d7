/* converter.h - what the converter's files share: its one process-wide state record
 * (the tokenizer's), the fields a source line is split into, the exit statuses, and the
 * routines of the tokenizer, the source line parser and the conversion run.
 */
#ifndef CONVERTER_H
#define CONVERTER_H

#include <stddef.h>
#include "directory.h"
#include "record_fields.h"

#define ARRAY_SIZE(a) (sizeof(a) / sizeof((a)[0]))

/* One read takes at most LINE_BUFFER_SIZE - 1 bytes; a longer line arrives in pieces. */
#define LINE_BUFFER_SIZE 2048

/* Exit statuses of the program. */
#define EXIT_CONVERTED 0   /* a normal run, or an empty input */
#define EXIT_USAGE     1   /* not exactly two arguments */
#define EXIT_FAILED    2   /* a file could not be opened, read or written, or a line broke the grammar */

/* The restoring tokenizer's memory between calls; one instance, shared by every scan. */
typedef struct TokenizerState {
    char *token_start;       /* where the current token begins */
    char *text_start;        /* the text last given: scans read nothing before it */
    char *text_end;          /* the NUL that ends that text: scans read nothing from it on */
    char *cut_position;      /* where the last delimiter was found, or NULL for none */
    char  saved_delimiter;   /* the byte that was replaced by NUL at cut_position */
    int   cut_pending;       /* 1 while cut_position holds the NUL instead of saved_delimiter */
} TokenizerState;

extern TokenizerState g_tokenizer;

/* The building every converted record holds: the listing has no building field. */
#define BUILDING_TEXT "42"

/* The eight field strings of one source line, laid out like the record they become. */
typedef DirectoryRecord SourceFields;

/* ParseSourceLine's result for a well-formed line; otherwise it gives the failed scan, 1 to 7. */
#define LINE_WELL_FORMED 0

/* Cuts the token at text (NULL: after the last cut) up to the first byte of delimiters and
 * reports that byte (NUL when none) through found when it is not NULL; returns the token's
 * start. NULL delimiters only restore the last cut and give NULL. */
char *NextToken(const char *delimiters, char *text, char *found);

/* The quick split takes a line whose text, its NUL included, lies in the first LINE_BLOCK_SIZE
 * bytes; it may read up to that many bytes, so a line is always given in a buffer at least as long. */
#define LINE_BLOCK_SIZE 128

/* SplitShortLine's result for a line it leaves to the scans. */
#define LINE_NOT_SPLIT (-1)

/* Splits one read (NUL-terminated, its newline included when it reached one, in a buffer of at
 * least LINE_BLOCK_SIZE bytes) into fields; LINE_WELL_FORMED, or the number of the scan that found
 * no end. The line is whole again on return and the tokenizer has no cut pending. */
int ParseSourceLine(char *line, SourceFields *fields);

/* ParseSourceLine's two ways, for the tests that hold them to each other. The scans: every line,
 * with the tokenizer, as the grammar is defined. The quick split: the same result and fields for a
 * line whose text ends within LINE_BLOCK_SIZE bytes, LINE_NOT_SPLIT (fields untouched) for a longer
 * one; it never writes into the line nor touches the tokenizer. */
int ParseLineInScans(char *line, SourceFields *fields);
int SplitShortLine(const char *line, SourceFields *fields);

/* What the given failed scan of ParseSourceLine lacked, as a short phrase. */
const char *DescribeFailedScan(int scan);

/* Converts the source listing at input_path into the database file at output_path;
 * returns the exit status. */
int ConvertFile(const char *output_path, const char *input_path);

#endif /* CONVERTER_H */
