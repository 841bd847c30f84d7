/* console.h - what the converter needs from the system: standard streams that exist, the source
 * listing read line by line as Windows text mode gives it, the database file written with CR LF
 * line ends, whether a path names the file already open for input, and clearing the console. One
 * implementation per platform, console_win.cpp and console_posix.cpp, parallel; the rest is portable.
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
    long long asked_position;             /* Windows: the read position when the C runtime was last asked */
    long long handed_since;               /* Windows: bytes handed out since then */
    long long line_ends_since;            /* Windows: of them, line ends, each perhaps a CR LF in the file */
    int       at_end;                     /* 1 once the end of the file, a Ctrl-Z or a read error was met */
    int       end_of_file;                /* POSIX: 1 once a read met the end of the file itself */
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

/* Makes standard input, output and error exist before any file is opened, so that no file takes
 * the place of one and gets the messages meant for it; 1, or 0 when they cannot be made. */
int PrepareStandardStreams(void);

/* Opens the file at path for reading, without waiting for a writer; 1, or 0 with file->error set. */
int OpenInputFile(InputFile *file, const char *path);

/* 1 when the input is a file on a disk, whose size can be measured; 0 for a device, a pipe or a socket. */
int IsDiskFile(InputFile *file);

/* The input's length in bytes into *size, read position left at the start; 1, or 0 with file->error set. */
int MeasureInputFile(InputFile *file, long long *size);

/* 1 when the input is no longer the size measured at the start: the system gives another, or its
 * reads met the end of the file elsewhere. A Ctrl-Z that ended the input early is no change. */
int InputChangedSize(InputFile *file, long long size);

/* 1 when path names the file or device that input has open (through any link or device node), 0 otherwise. */
int IsSameFile(InputFile *input, const char *path);

/* Reads the next line into line, NUL-terminated: CR LF as LF, a lone CR kept, a Ctrl-Z ending the
 * input, at most size - 1 bytes through the newline. Every call must get the same line buffer.
 * The bytes stored (a NUL among them counts), or 0 at the end or on a read error (file->error). */
long ReadSourceLine(InputFile *file, char *line, size_t size);

/* The read position as a byte offset in the file, or -1 when the system cannot tell it. */
long long InputPosition(InputFile *file);

/* 1 when the read position is past mark. Asked after every line, so it asks the system only when the
 * bytes handed out since it last did leave the answer open. */
int InputPassed(InputFile *file, long long mark);

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
