/* dirgen.cpp - the command line of the directory data generator:
 *     dirgen source COUNT [SEED]     a source listing, the converter's input
 *     dirgen database COUNT [SEED]   a database file
 * Writes COUNT Windows-1251 lines with CR LF to standard output; SEED (default 1) picks the data.
 */
#include "directory_generator.h"

#include <errno.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#define OUTPUT_BUFFER_SIZE (1 << 16)   /* lines gather here; one write per buffer, not per line */
#define DEFAULT_SEED       1

/* The program's whole state. */
typedef struct DirgenState {
    int                output;                       /* OUTPUT_SOURCE or OUTPUT_DATABASE */
    uint64_t           count;                        /* lines to write */
    uint64_t           seed;                         /* picks the data */
    DirectoryGenerator generator;                    /* draws the entries */
    char               buffer[OUTPUT_BUFFER_SIZE];   /* lines not yet written */
    size_t             used;                         /* bytes of buffer in use */
} DirgenState;

static DirgenState g_dirgen;

/* Prints how to call the program; returns the usage error's exit status. */
static int Usage(void)
{
    fprintf(stderr, "Usage:\n\tdirgen source COUNT [SEED]\n\tdirgen database COUNT [SEED]\n"
                    "Writes COUNT Windows-1251 directory lines with CR LF to standard output.\n");
    return 2;
}

/* Reads a whole decimal number; 1 on success. */
static int ParseNumber(const char *text, uint64_t *value)
{
    char *end = NULL;
    if (text[0] < '0' || text[0] > '9')
        return 0;
    errno = 0;
    unsigned long long number = strtoull(text, &end, 10);
    if (errno != 0 || *end != '\0')
        return 0;
    *value = number;
    return 1;
}

/* Fills the state from the command line; 1 when it is well-formed. */
static int ParseCommandLine(int argc, char **argv)
{
    if (argc < 3 || argc > 4)
        return 0;
    if (strcmp(argv[1], "source") == 0)
        g_dirgen.output = OUTPUT_SOURCE;
    else if (strcmp(argv[1], "database") == 0)
        g_dirgen.output = OUTPUT_DATABASE;
    else
        return 0;
    g_dirgen.seed = DEFAULT_SEED;
    return ParseNumber(argv[2], &g_dirgen.count) && (argc < 4 || ParseNumber(argv[3], &g_dirgen.seed));
}

/* Writes out what the buffer holds; 1 on success. */
static int FlushOutput(void)
{
    size_t written = fwrite(g_dirgen.buffer, 1, g_dirgen.used, stdout);
    int ok = written == g_dirgen.used;
    g_dirgen.used = 0;
    return ok;
}

/* Generates every line into the buffer, writing it out whenever the next line might not fit; 1 on success. */
static int GenerateLines(void)
{
    StartDirectoryGenerator(&g_dirgen.generator, g_dirgen.seed);
    for (uint64_t i = 0; i < g_dirgen.count; i++) {
        if (sizeof g_dirgen.buffer - g_dirgen.used < GENERATED_LINE_MAX && !FlushOutput())
            return 0;
        g_dirgen.used += NextDirectoryLine(&g_dirgen.generator, g_dirgen.output, g_dirgen.buffer + g_dirgen.used,
                                           sizeof g_dirgen.buffer - g_dirgen.used);
    }
    return FlushOutput() && fflush(stdout) == 0;
}

int main(int argc, char **argv)
{
    if (!ParseCommandLine(argc, argv))
        return Usage();
    if (!GenerateLines()) {
        fprintf(stderr, "dirgen: cannot write the output\n");
        return 1;
    }
    return 0;
}
