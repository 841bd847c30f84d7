/* convert_file.cpp - one conversion run: opens the source listing and the database file,
 * turns each source line into a record through the library's FillDatabaseRecord and writes it
 * as a database line, shows the running percentage, and says what failed. Defines ConvertFile.
 */
#include "chunk_masks.h"
#include "console.h"
#include "converter.h"

#include <errno.h>
#include <stddef.h>
#include <stdint.h>
#include <stdio.h>
#include <string.h>

/* Room for a database line built field by field: every field copied at its full width, and a separator after each. */
#define DATABASE_LINE_SIZE (sizeof(DirectoryRecord) + RECORD_FIELDS)

/* Working storage of one run, on ConvertFile's stack. */
typedef struct ConversionRun {
    const char     *input_path;               /* INPUTFILE, for messages */
    const char     *output_path;              /* OUTPUTFILE, for messages */
    InputFile       input;                    /* the source listing */
    OutputFile      output;                   /* the database file */
    char            line[LINE_BUFFER_SIZE];   /* one read: at most 2047 bytes and a NUL */
    SourceFields    fields;                   /* the parser's eight field strings */
    DirectoryRecord record;                   /* what the library made of them */
    long long       size;                     /* the input's length in bytes */
    long long       step;                     /* size / 100, rounded down: input bytes per percentage */
    long long       mark;                     /* the read position past which the next percentage is printed */
    int             percent;                  /* the next percentage to print; past 100 nothing more is */
    long            line_number;              /* the input line the current read belongs to, from 1 */
    int             continued;                /* 1 when the current read goes on a line longer than one read */
} ConversionRun;

/* Says on standard error what failed with which file and the system's reason; always 0. */
static int ReportFileError(const char *what, const char *path, int error)
{
    fprintf(stderr, "morwen: %s \"%s\": %s\n", what, path, strerror(error != 0 ? error : EIO));
    return 0;
}

/* Says on standard error why the input's size cannot be told; always 0. */
static int ReportUnknownSize(const ConversionRun *run, const char *why)
{
    fprintf(stderr, "morwen: cannot tell the size of input file \"%s\": %s\n", run->input_path, why);
    return 0;
}

/* Takes a measured size of 0 as an empty input only when a read finds nothing: some files (those
 * of /proc) say 0 and yet hold bytes. 1, or 0 once standard error says why not. */
static int CheckEmptyInput(ConversionRun *run)
{
    if (ReadSourceLine(&run->input, run->line, sizeof run->line) > 0)
        return ReportUnknownSize(run, "it reads as 0 bytes, yet holds some");
    if (run->input.error != 0)
        return ReportFileError("cannot read input file", run->input_path, run->input.error);
    return 1;
}

/* Makes sure the output is another file or device, and that the input is a file whose size can be
 * measured for the percentage, then measures it; 1, or 0 once standard error says what failed. */
static int CheckInput(ConversionRun *run)
{
    if (IsSameFile(&run->input, run->output_path)) {
        fprintf(stderr, "morwen: \"%s\" and \"%s\" are the same file; it is left as it was\n", run->input_path,
                run->output_path);
        return 0;
    }
    if (!IsDiskFile(&run->input))
        return ReportUnknownSize(run, "not a regular file (a device, a pipe or a socket)");
    if (!MeasureInputFile(&run->input, &run->size))
        return ReportFileError("cannot tell the size of input file", run->input_path, run->input.error);
    return run->size != 0 || CheckEmptyInput(run);
}

/* Opens the input, checks and measures it, then opens the output; 1, or 0 once standard error says
 * what failed. The output is touched only by its own open. */
static int OpenFiles(ConversionRun *run)
{
    if (!OpenInputFile(&run->input, run->input_path))
        return ReportFileError("cannot open input file", run->input_path, run->input.error);
    if (!CheckInput(run)) {
        CloseInputFile(&run->input);
        return 0;
    }
    if (!OpenOutputFile(&run->output, run->output_path)) {
        CloseInputFile(&run->input);
        return ReportFileError("cannot create output file", run->output_path, run->output.error);
    }
    return 1;
}

/* Says on standard error that the input changed size while it was read; always 0. */
static int ReportChangedInput(const ConversionRun *run)
{
    fprintf(stderr, "morwen: cannot read input file \"%s\": it changed while it was read\n", run->input_path);
    return 0;
}

/* Says which line broke the grammar and how; the read was length bytes and scan failed on it. */
static void ReportBadLine(const ConversionRun *run, int scan, long length)
{
    const char *note = "";
    const char *reason = DescribeFailedScan(scan);
    if (length == 1 && run->line[0] == '\n')
        reason = "blank line";
    else if ((long)strlen(run->line) < length)
        note = "a NUL byte cuts it short: ";
    else if (run->continued || (length == LINE_BUFFER_SIZE - 1 && run->line[length - 1] != '\n'))
        note = "longer than 2047 bytes: ";
    printf("Got error: EXCEPTION_ACCESS_VIOLATION\n");
    fprintf(stderr, "morwen: \"%s\" line %ld: %s%s\n", run->input_path, run->line_number, note, reason);
}

/* Bit i of the words set when byte i of the record is NUL (bytes 64 to 127 in the second word, the
 * rest in the third): where each field's text ends, found in one pass sixteen bytes at a time. The
 * last chunk starts a byte early, so every read stays in the record. */
static void FindRecordNuls(const DirectoryRecord *record, uint64_t nuls[3])
{
    static_assert(sizeof(DirectoryRecord) > 8 * CHUNK_SIZE && sizeof(DirectoryRecord) <= 9 * CHUNK_SIZE,
                  "the record is read as eight chunks and one more that ends with it");
    const char *bytes = (const char *)record;
    nuls[0] = nuls[1] = 0;
    for (size_t at = 0; at < 8 * CHUNK_SIZE; at += CHUNK_SIZE)
        nuls[at / 64] |= (uint64_t)ChunkMatches(LoadChunk(bytes + at), '\0') << (at % 64);
    const size_t last = sizeof(DirectoryRecord) - CHUNK_SIZE;
    nuls[2] = (uint64_t)ChunkMatches(LoadChunk(bytes + last), '\0') >> (8 * CHUNK_SIZE - last);
}

/* The length of the text of the field at offset (width bytes): up to its first NUL, width - 1
 * bytes at most. Offset and width are constants, so this comes down to a few shifts. */
static inline size_t FieldLength(const uint64_t nuls[3], size_t offset, size_t width)
{
    size_t word = offset / 64, shift = offset % 64;
    uint64_t ends = nuls[word] >> shift;
    if (shift != 0 && word < 2)
        ends |= nuls[word + 1] << (64 - shift);
    return (size_t)__builtin_ctzll(ends | (1ull << (width - 1)));
}

/* Appends field k's text and a separator at text + *length. The whole field is copied (a fixed size
 * the compiler can inline) and the line goes on from where its text ends: its longest text at most. */
static inline void AppendField(char *text, size_t *length, const DirectoryRecord *r, const uint64_t nuls[3], int k)
{
    memcpy(text + *length, (const char *)r + kFieldSpecs[k].offset, kFieldSpecs[k].width);
    *length += FieldLength(nuls, kFieldSpecs[k].offset, kFieldSpecs[k].width);
    text[(*length)++] = FIELD_SEPARATOR;
}

/* Writes the record as one database line, its fields in record order between separators; 1, or 0 on
 * a write error. */
static int WriteRecord(ConversionRun *run)
{
    const DirectoryRecord *r = &run->record;
    uint64_t nuls[3];
    FindRecordNuls(r, nuls);
    char text[DATABASE_LINE_SIZE];
    size_t length = 0;
#pragma GCC unroll 8
    for (int k = 0; k < RECORD_FIELDS; k++)
        AppendField(text, &length, r, nuls, k);
    return WriteOutputLine(&run->output, text, length - 1);   /* no separator after the last field */
}

/* Clears the console and prints the next percentage once the read position has passed the mark;
 * after 100% nothing more. */
static void ShowProgress(ConversionRun *run)
{
    if (run->percent > 100 || !InputPassed(&run->input, run->mark))
        return;
    ClearConsole();
    printf("%d%%\n", run->percent);
    run->percent++;
    run->mark += run->step;
}

/* Converts one read; 1, or 0 when it broke the grammar or the input changed (both reported) or its line
 * could not be written. */
static int ConvertLine(ConversionRun *run, long length)
{
    SourceFields *f = &run->fields;
    int scan = ParseSourceLine(run->line, f);
    if (scan != LINE_WELL_FORMED) {
        /* A line cut short by the file shrinking is no line of the listing: the change is told. */
        if (InputChangedSize(&run->input, run->size))
            return ReportChangedInput(run);
        ReportBadLine(run, scan, length);
        return 0;
    }
    FillDatabaseRecord(&run->record, f->phone, f->surname, f->name, f->patronymic, f->street, f->house,
                       f->building, f->flat);
    if (!WriteRecord(run))
        return 0;
    ShowProgress(run);
    return 1;
}

/* Converts every line in turn; EXIT_CONVERTED, or EXIT_FAILED on a bad line, a read or a write error, or
 * an input that changed while it was read. */
static int ConvertLines(ConversionRun *run)
{
    run->step = run->size / 100;
    run->percent = 0;
    run->mark = 0;
    run->line_number = 1;
    run->continued = 0;
    long length;
    while ((length = ReadSourceLine(&run->input, run->line, sizeof run->line)) > 0) {
        if (!ConvertLine(run, length))
            return EXIT_FAILED;   /* a write error is told when the output is closed */
        int ended = run->line[length - 1] == '\n';
        run->line_number += ended;
        run->continued = !ended;
    }
    if (run->input.error != 0) {
        ReportFileError("cannot read input file", run->input_path, run->input.error);
        return EXIT_FAILED;
    }
    /* Ended at another size than the one measured: the lines converted so far stay, as after a bad line. */
    if (InputChangedSize(&run->input, run->size)) {
        ReportChangedInput(run);
        return EXIT_FAILED;
    }
    return EXIT_CONVERTED;
}

int ConvertFile(const char *output_path, const char *input_path)
{
    ConversionRun run;
    memset(&run, 0, sizeof run);
    run.input_path = input_path;
    run.output_path = output_path;
    if (!OpenFiles(&run))
        return EXIT_FAILED;
    int status = EXIT_CONVERTED;
    if (run.size == 0)
        printf("Input file is empty!\n");
    else
        status = ConvertLines(&run);
    CloseInputFile(&run.input);
    if (!CloseOutputFile(&run.output)) {
        ReportFileError("cannot write output file", run.output_path, run.output.error);
        status = EXIT_FAILED;
    }
    return status;
}
