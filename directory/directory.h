/* directory.h - the directory record and the entry points of the directory library.
 *
 * Shared by the library (which defines the entry points), the converter (which links
 * against it) and the viewer (which binds it at run time through the pointer types below,
 * declared here beside the functions so that the two cannot drift apart).
 */
#ifndef DIRECTORY_H
#define DIRECTORY_H

/* Path text (below) is wchar_t or char16_t: keywords in C++, types from these headers in C. */
#ifndef __cplusplus
#  ifdef _WIN32
#    include <stddef.h>
#  else
#    include <uchar.h>
#  endif
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Width of each field in bytes, NUL included; each holds at most one byte less of text. */
#define PHONE_WIDTH      8
#define SURNAME_WIDTH    30
#define NAME_WIDTH       30
#define PATRONYMIC_WIDTH 30
#define STREET_WIDTH     30
#define HOUSE_WIDTH      5
#define BUILDING_WIDTH   5
#define FLAT_WIDTH       5
#define RECORD_FIELDS    8

/* One directory entry: eight NUL-terminated ANSI strings laid end to end, 143 bytes. */
typedef struct DirectoryRecord {
    char phone[PHONE_WIDTH];           /* offset   0: up to  7 bytes of digits */
    char surname[SURNAME_WIDTH];       /* offset   8: up to 29 bytes */
    char name[NAME_WIDTH];             /* offset  38: first name, up to 29 bytes */
    char patronymic[PATRONYMIC_WIDTH]; /* offset  68: up to 29 bytes */
    char street[STREET_WIDTH];         /* offset  98: up to 29 bytes */
    char house[HOUSE_WIDTH];           /* offset 128: house number, up to 4 bytes */
    char building[BUILDING_WIDTH];     /* offset 133: block of the house, up to 4 bytes */
    char flat[FLAT_WIDTH];             /* offset 138: flat number, up to 4 bytes */
} DirectoryRecord;

/* Paths reach the library as UTF-16; on Windows that is wchar_t, elsewhere char16_t. */
#ifdef _WIN32
typedef wchar_t DirectoryPathChar;
#else
typedef char16_t DirectoryPathChar;
#endif

/* The caller removes the arguments (cdecl) on 32-bit Windows; the names are exported plain. */
#ifdef _WIN32
#  define DIRECTORY_CALL __cdecl
#  ifdef DIALBOOK_BUILDING
#    define DIRECTORY_API __declspec(dllexport)
#  else
#    define DIRECTORY_API __declspec(dllimport)
#  endif
#else
#  define DIRECTORY_CALL
#  define DIRECTORY_API __attribute__((visibility("default")))
#endif

/* Opens the file at path as the database, replacing any open one; non-zero and *count set on success, 0 and nothing open on failure. */
DIRECTORY_API int DIRECTORY_CALL OpenDatabase(const DirectoryPathChar *path, int *count);

/* Releases the open database; harmless when none is open. */
DIRECTORY_API void DIRECTORY_CALL CloseDatabase(void);

/* With (null, null, 0) resets the search; with a key, non-zero and *result set to the next match in file order, or 0 when none is left. */
DIRECTORY_API int DIRECTORY_CALL SearchInDatabase(DirectoryRecord *result, const DirectoryRecord *key, int filled);

/* Fills record with bounded, NUL-terminated copies of the eight strings; a null string gives an empty field. */
DIRECTORY_API void DIRECTORY_CALL FillDatabaseRecord(DirectoryRecord *record, const char *phone, const char *surname,
                                                     const char *name, const char *patronymic, const char *street,
                                                     const char *house, const char *building, const char *flat);

/* The same entry points as the viewer binds them by name. */
typedef int  (DIRECTORY_CALL *OpenDatabaseFn)(const DirectoryPathChar *path, int *count);
typedef void (DIRECTORY_CALL *CloseDatabaseFn)(void);
typedef int  (DIRECTORY_CALL *SearchInDatabaseFn)(DirectoryRecord *result, const DirectoryRecord *key, int filled);
typedef void (DIRECTORY_CALL *FillDatabaseRecordFn)(DirectoryRecord *record, const char *phone, const char *surname,
                                                    const char *name, const char *patronymic, const char *street,
                                                    const char *house, const char *building, const char *flat);

#ifdef __cplusplus
}

#include <cstddef>
static_assert(sizeof(DirectoryRecord) == 143, "DirectoryRecord is 143 bytes");
static_assert(offsetof(DirectoryRecord, phone) == 0, "phone at 0");
static_assert(offsetof(DirectoryRecord, surname) == 8, "surname at 8");
static_assert(offsetof(DirectoryRecord, name) == 38, "name at 38");
static_assert(offsetof(DirectoryRecord, patronymic) == 68, "patronymic at 68");
static_assert(offsetof(DirectoryRecord, street) == 98, "street at 98");
static_assert(offsetof(DirectoryRecord, house) == 128, "house at 128");
static_assert(offsetof(DirectoryRecord, building) == 133, "building at 133");
static_assert(offsetof(DirectoryRecord, flat) == 138, "flat at 138");
#endif

#endif /* DIRECTORY_H */
