/* main.cpp - the command line of morwen: exactly two arguments, INPUTFILE and OUTPUTFILE;
 * makes sure the standard streams exist, runs the conversion and gives its exit status. Defines main.
 */
#include "console.h"
#include "converter.h"

#include <stdio.h>
#include <string.h>

/* The usage text names the program by this name, whatever it was started as. */
static const char kProgramName[] = "morwen";

int main(int argc, char **argv)
{
    if (!PrepareStandardStreams())
        return EXIT_FAILED;   /* nothing can be said, and a file opened now could get the messages */
    if (argc != 3) {
        fprintf(stderr, "Usage:\n\t%s INPUTFILE OUTPUTFILE\n", kProgramName);
        return EXIT_USAGE;
    }
    memset(&g_tokenizer, 0, sizeof g_tokenizer);
    return ConvertFile(argv[2], argv[1]);
}
