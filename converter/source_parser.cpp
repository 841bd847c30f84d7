/* source_parser.cpp - splits one line of a source listing into the eight fields of a
 * directory record: seven scans with the restoring tokenizer, the name part split into
 * first name and patronymic, building always BUILDING_TEXT; the usual short line goes the quick way
 * (line_splitter.cpp) to the same fields. Defines ParseSourceLine, ParseLineInScans and
 * DescribeFailedScan.
 */
#include "converter.h"
#include "field_copy.h"

#include <string.h>

/* A field ends at ';' or at the line's newline; the word before the surname ends at a space. */
static const char kFieldEnd[] = ";\n";
static const char kWordEnd[] = " \n";
static const char kNameEnd[] = " ";

/* What each scan (1 to 7) lacked when the text ran out before the byte that ends it. */
static const char *const kFailedScanText[] = {
    "the line could not be read",
    "no ';' after the phone number",
    "no ';' after the house number",
    "no ';' after the flat number",
    "no space after the word before the surname",
    "no ';' after the surname",
    "no ';' after the first name and patronymic",
    "no ';' or line end after the street",
};

/* The token NextToken just gave runs to the cut it made, or to the end of its text. */
static size_t TokenLength(const char *token, char found)
{
    return (size_t)((found != '\0' ? g_tokenizer.cut_position : g_tokenizer.text_end) - token);
}

/* Scans from text (NULL: after the last cut) to the first byte of delimiters and keeps the
 * scanned text in field (NULL: drops it); 1 when a delimiter ended the scan, 0 when the text ran out. */
static int ScanField(char *text, const char *delimiters, char *field, size_t width)
{
    char found = '\0';
    char *token = NextToken(delimiters, text, &found);
    if (token == NULL || found == '\0')
        return 0;
    if (field != NULL)
        CopyToken(field, width, token, TokenLength(token, found));
    return 1;
}

/* First name up to the first space; only when a space ended it, the patronymic up to the next. */
static void SplitName(char *scratch, SourceFields *fields)
{
    char found = '\0';
    char *name = NextToken(kNameEnd, scratch, &found);
    CopyToken(fields->name, sizeof fields->name, name, TokenLength(name, found));
    if (found != ' ') {
        fields->patronymic[0] = '\0';
        return;
    }
    char *patronymic = NextToken(kNameEnd, NULL, &found);
    CopyToken(fields->patronymic, sizeof fields->patronymic, patronymic, TokenLength(patronymic, found));
}

/* Scans the name part and splits a copy of it; 1 when ';' or the newline ended it. */
static int ScanNamePart(SourceFields *fields)
{
    char found = '\0';
    char *part = NextToken(kFieldEnd, NULL, &found);
    if (part == NULL || found == '\0')
        return 0;
    char scratch[LINE_BUFFER_SIZE];
    CopyToken(scratch, sizeof scratch, part, TokenLength(part, found));
    /* The split moves the tokenizer into the scratch: its place in the line is kept aside and put
     * back afterwards, with the cut at the name part's end made again (the split's first call
     * restored that byte), so the street's scan goes on after the name part without a new scan. */
    TokenizerState in_line = g_tokenizer;
    SplitName(scratch, fields);
    g_tokenizer = in_line;
    *g_tokenizer.cut_position = '\0';
    return 1;
}

/* The seven scans in line order; LINE_WELL_FORMED, or the number of the first that found no end. */
static int ScanLine(char *line, SourceFields *f)
{
    if (!ScanField(line, kFieldEnd, f->phone, sizeof f->phone))
        return 1;
    if (!ScanField(NULL, kFieldEnd, f->house, sizeof f->house))
        return 2;
    if (!ScanField(NULL, kFieldEnd, f->flat, sizeof f->flat))
        return 3;
    if (!ScanField(NULL, kWordEnd, NULL, 0))
        return 4;
    if (!ScanField(NULL, kFieldEnd, f->surname, sizeof f->surname))
        return 5;
    if (!ScanNamePart(f))
        return 6;
    if (!ScanField(NULL, kFieldEnd, f->street, sizeof f->street))
        return 7;
    return LINE_WELL_FORMED;
}

int ParseLineInScans(char *line, SourceFields *fields)
{
    int failed = ScanLine(line, fields);
    CopyToken(fields->building, sizeof fields->building, BUILDING_TEXT, sizeof BUILDING_TEXT - 1);
    NextToken(NULL, NULL, NULL);   /* put the last cut back: nothing passes to the next line */
    return failed;
}

int ParseSourceLine(char *line, SourceFields *fields)
{
    /* A cut left pending by an earlier scan may lie in this very buffer: the quick split must see
     * the byte put back, as the scans' first call would. */
    if (g_tokenizer.cut_pending)
        NextToken(NULL, NULL, NULL);
    int failed = SplitShortLine(line, fields);
    return failed != LINE_NOT_SPLIT ? failed : ParseLineInScans(line, fields);
}

const char *DescribeFailedScan(int scan)
{
    if (scan < 1 || scan >= (int)ARRAY_SIZE(kFailedScanText))
        return kFailedScanText[0];
    return kFailedScanText[scan];
}
