/* console.h - what the converter needs from the system: the source listing read line by line
 * as Windows text mode gives it, the database file written with CR LF line ends, whether a
 * path names the file already open for input, and clearing the console. One implementation
 * per platform, console_win.cpp and console_posix.cpp, parallel; the rest is portable.
 */
#ifndef CONVERTER_CONSOLE_H
#define CONVERTER_CONSOLE_H

#include <stddef.h>
#include <stdint.h>

#define INPUT_BUFFER_SIZE  (64 * 1024)
#define OUTPUT_BUFFER_SIZE (64 * 1024)

/* The source listing being read. */
typedef struct InputFile {
    intptr_t  handle;                     /* Windows: the C runtime's FILE; POSIX: the descriptor */
    long long position;                   /* POSIX: file bytes consumed so far, the read position */
    size_t    next;                       /* POSIX: first byte of buffer not yet handed out */
    size_t    end;                        /* POSIX: end of the bytes read into buffer */
    size_t    line_dirty;                 /* Windows: bytes of the line buffer the last read may have set */
    int       at_end;                     /* 1 once the end of the file, a Ctrl-Z or a read error was met */
    int       error;                      /* errno of the last failure, 0 when none */
    char      buffer[INPUT_BUFFER_SIZE];  /* read-ahead: ours on POSIX, lent to the C runtime on Windows */
} InputFile;

/* The database file being written. */
typedef struct OutputFile {
    intptr_t handle;                      /* Windows: the C runtime's FILE; POSIX: the descriptor */
    size_t   used;                        /* POSIX: bytes waiting in buffer */
    int      error;                       /* errno of the first failed write, 0 when none */
    char     buffer[OUTPUT_BUFFER_SIZE];  /* write-behind: ours on POSIX, lent to the C runtime on Windows */
} OutputFile;

/* Opens the file at path for reading; 1, or 0 with file->error set. */
int OpenInputFile(InputFile *file, const char *path);

/* The input's length in bytes into *size, read position left at the start; 1, or 0 with file->error set. */
int MeasureInputFile(InputFile *file, long long *size);

/* 1 when path names the same regular file that input has open (through any link), 0 otherwise. */
int IsSameFile(InputFile *input, const char *path);

/* Reads the next line into line, NUL-terminated: CR LF as LF, a lone CR kept, a Ctrl-Z ending the
 * input, at most size - 1 bytes through the newline. Every call must get the same line buffer.
 * The bytes stored (a NUL among them counts), or 0 at the end or on a read error (file->error). */
long ReadSourceLine(InputFile *file, char *line, size_t size);

/* The read position as a byte offset in the file, or -1 when the system cannot tell it. */
long long InputPosition(InputFile *file);

/* Releases the input. */
void CloseInputFile(InputFile *file);

/* Creates the file at path, or empties an existing one, for writing; 1, or 0 with file->error set. */
int OpenOutputFile(OutputFile *file, const char *path);

/* Appends length bytes of text and a CR LF line end; 1, or 0 once any write has failed (file->error). */
int WriteOutputLine(OutputFile *file, const char *text, size_t length);

/* Writes out what is buffered and closes; 1 when every write succeeded, 0 with file->error set. */
int CloseOutputFile(OutputFile *file);

/* Clears the console before the next percentage is printed on standard output. */
void ClearConsole(void);

#endif /* CONVERTER_CONSOLE_H */
