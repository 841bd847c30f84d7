/* platform.h - what the library needs from the system: reading a file named by a UTF-16
 * path, a second thread to read it with, blocks of memory and how much more the process can take,
 * and the ANSI code page's letter case. One implementation per platform: platform_win.cpp and
 * platform_posix.cpp, parallel. The rest of the library is portable.
 */
#ifndef DIALBOOK_PLATFORM_H
#define DIALBOOK_PLATFORM_H

#include <stddef.h>
#include <stdint.h>
#include "directory.h"

/* An open file: the system's handle or descriptor, wide enough for either, and what tells whether
 * the file was written to since it was opened. */
typedef struct PlatformFile {
    intptr_t handle;    /* Windows HANDLE or POSIX descriptor */
    uint64_t size;      /* its size when it was opened */
    uint64_t written;   /* when its data was last written, in the system's units, when it was opened */
    uint64_t changed;   /* POSIX: when its status last changed, then; Windows: 0 */
} PlatformFile;

/* Opens a regular file for reading; 1 with *size set, or 0 (missing, unreadable, not a regular file, bad path).
 * On Windows no other program may write to the file while it is open: one that holds it open for
 * writing already makes the open fail. */
int PlatformOpenFile(const DirectoryPathChar *path, PlatformFile *file, uint64_t *size);

/* 1 when the file's size or the times it was written differ from when it was opened, or cannot be
 * read: something wrote to it meanwhile (on Windows, a program the share mode does not stop). */
int PlatformFileChanged(PlatformFile *file);

/* Reads up to bytes at offset into buffer, leaving no position behind, so two threads may read one file;
 * the count read (0 at the end), or -1 on a read error. */
long PlatformReadFileAt(PlatformFile *file, char *buffer, size_t bytes, uint64_t offset);

/* Closes a file opened by PlatformOpenFile. */
void PlatformCloseFile(PlatformFile *file);

/* A thread started by PlatformStartThread. */
typedef struct PlatformThread {
    intptr_t handle;   /* Windows HANDLE or POSIX pthread_t */
} PlatformThread;

/* Runs work(argument) on a new thread; 1, or 0 when no thread could be started. */
int PlatformStartThread(PlatformThread *thread, void (*work)(void *), void *argument);

/* Waits until a thread that PlatformStartThread started has ended. */
void PlatformJoinThread(PlatformThread *thread);

/* A block of bytes straight from the system, zeroed and page-aligned, so that releasing it gives it
 * back at once whatever else the process holds; NULL when memory runs out. */
void *PlatformAllocateBlock(size_t bytes);

/* Gives back the pages of a block of bytes past its first keep bytes; the bytes it takes now. */
size_t PlatformShrinkBlock(void *block, size_t bytes, size_t keep);

/* Releases a block of the size PlatformAllocateBlock or PlatformShrinkBlock last gave; NULL is harmless. */
void PlatformFreeBlock(void *block, size_t bytes);

/* Bytes of memory the process can still take: the smaller of its free address space and what the
 * system can still give it; UINT64_MAX when the system does not say. */
uint64_t PlatformMemoryLeft(void);

/* Fills lower[b] with the lowercase of byte b in the ANSI code page (b itself where it has none). */
void PlatformLowercaseTable(unsigned char lower[256]);

/* The ANSI code page's byte for a Unicode character, or -1 when the code page lacks it. */
int PlatformByteForUnicode(unsigned int codepoint);

#endif /* DIALBOOK_PLATFORM_H */
