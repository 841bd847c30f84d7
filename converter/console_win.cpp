/* console_win.cpp - the converter's system layer on Windows. Files go through the C runtime in
 * text mode, which turns CR LF into LF when reading and LF into CR LF when writing; the console
 * is cleared by "cls" through the command interpreter. Defines the functions of console.h.
 */
#ifdef _WIN32

#include "console.h"

#include <errno.h>
#include <io.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <windows.h>

/* The C runtime keeps descriptors 0 to 2 for the standard streams even when the process was given
 * no such handles (their writes then fail quietly), so no file opened later takes their place. */
int PrepareStandardStreams(void)
{
    return 1;
}

int OpenInputFile(InputFile *file, const char *path)
{
    FILE *stream = fopen(path, "rt");
    if (stream == NULL) {
        file->error = errno;
        return 0;
    }
    setvbuf(stream, file->buffer, _IOFBF, sizeof file->buffer);
    file->handle = (intptr_t)stream;
    file->line_dirty = (size_t)-1;   /* nothing known yet about the caller's line buffer */
    file->asked_position = 0;
    file->handed_since = 0;
    file->line_ends_since = 0;
    file->at_end = 0;
    file->error = 0;
    return 1;
}

/* The volume and file index of an open handle; 1 when it is a file on a disk. */
static int FileIdentity(HANDLE handle, BY_HANDLE_FILE_INFORMATION *info)
{
    if (handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_DISK)
        return 0;
    if (!GetFileInformationByHandle(handle, info))
        return 0;
    return (info->dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

/* The system's handle of the file the C runtime's stream reads. */
static HANDLE InputHandle(InputFile *file)
{
    return (HANDLE)_get_osfhandle(_fileno((FILE *)file->handle));
}

int IsDiskFile(InputFile *file)
{
    BY_HANDLE_FILE_INFORMATION info;
    return FileIdentity(InputHandle(file), &info);
}

int MeasureInputFile(InputFile *file, long long *size)
{
    FILE *stream = (FILE *)file->handle;
    long long end = -1;
    if (_fseeki64(stream, 0, SEEK_END) == 0)
        end = _ftelli64(stream);
    if (end < 0 || _fseeki64(stream, 0, SEEK_SET) != 0) {
        file->error = errno != 0 ? errno : EINVAL;
        return 0;
    }
    *size = end;
    return 1;
}

/* The C runtime does not tell whether a Ctrl-Z or the file's end stopped its reads: only the length is compared. */
int InputChangedSize(InputFile *file, long long size)
{
    LARGE_INTEGER length;
    return GetFileSizeEx(InputHandle(file), &length) && length.QuadPart != size;
}

int IsSameFile(InputFile *input, const char *path)
{
    BY_HANDLE_FILE_INFORMATION in, out;
    if (!FileIdentity(InputHandle(input), &in))
        return 0;
    /* No access asked: only the identity is read, and every sharing mode is allowed. */
    HANDLE output_handle = CreateFileA(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, NULL,
                                       OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, NULL);
    if (output_handle == INVALID_HANDLE_VALUE)
        return 0;
    int same = FileIdentity(output_handle, &out) && in.dwVolumeSerialNumber == out.dwVolumeSerialNumber &&
               in.nFileIndexHigh == out.nFileIndexHigh && in.nFileIndexLow == out.nFileIndexLow;
    CloseHandle(output_handle);
    return same;
}

/* fgets does not tell how many bytes it stored when a NUL is among them: the line buffer is kept
 * zero past the last read, so the last non-zero byte shows where a read without a newline ended. */
long ReadSourceLine(InputFile *file, char *line, size_t size)
{
    memset(line, 0, file->line_dirty < size ? file->line_dirty : size);
    if (file->at_end || fgets(line, (int)size, (FILE *)file->handle) == NULL) {
        if (!file->at_end && ferror((FILE *)file->handle))
            file->error = errno != 0 ? errno : EIO;
        file->at_end = 1;
        file->line_dirty = 0;
        return 0;
    }
    size_t n = strlen(line);
    if ((n == 0 || line[n - 1] != '\n') && n + 1 < size) {
        size_t last = size - 1;
        while (last > n && line[last - 1] == '\0')
            last--;
        n = last;
    }
    file->line_dirty = n + 1;
    file->handed_since += (long long)n;
    file->line_ends_since += n > 0 && line[n - 1] == '\n';
    return (long)n;
}

/* The C runtime works a text-mode position out by counting the line ends left in its buffer, so
 * asking costs as much as the buffer is long. */
long long InputPosition(InputFile *file)
{
    file->asked_position = _ftelli64((FILE *)file->handle);
    file->handed_since = 0;
    file->line_ends_since = 0;
    return file->asked_position;
}

/* Every byte handed out since the last question stood for one byte of the file, and a line end for
 * at most two (CR LF): the position lies within those bounds, and is asked for only when mark falls
 * between them. */
int InputPassed(InputFile *file, long long mark)
{
    long long least = file->asked_position + file->handed_since;
    if (least > mark)
        return 1;
    if (least + file->line_ends_since <= mark)
        return 0;
    return InputPosition(file) > mark;
}

void CloseInputFile(InputFile *file)
{
    fclose((FILE *)file->handle);
    file->handle = 0;
}

int OpenOutputFile(OutputFile *file, const char *path)
{
    FILE *stream = fopen(path, "wt");
    if (stream == NULL) {
        file->error = errno;
        return 0;
    }
    setvbuf(stream, file->buffer, _IOFBF, sizeof file->buffer);
    file->handle = (intptr_t)stream;
    file->error = 0;
    return 1;
}

int WriteOutputLine(OutputFile *file, const char *text, size_t length)
{
    FILE *stream = (FILE *)file->handle;
    if (file->error != 0)
        return 0;
    /* Text mode stores the newline as CR LF. */
    if (fwrite(text, 1, length, stream) != length || fputc('\n', stream) == EOF)
        file->error = errno != 0 ? errno : EIO;
    return file->error == 0;
}

int CloseOutputFile(OutputFile *file)
{
    FILE *stream = (FILE *)file->handle;
    if (fflush(stream) != 0 && file->error == 0)
        file->error = errno != 0 ? errno : EIO;
    if (fclose(stream) != 0 && file->error == 0)
        file->error = errno != 0 ? errno : EIO;
    file->handle = 0;
    return file->error == 0;
}

/* What is already printed must reach the console before the command interpreter clears it. */
void ClearConsole(void)
{
    fflush(stdout);
    system("cls");
}

#endif /* _WIN32 */
