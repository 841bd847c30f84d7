/* field_copy.h - a token of known length copied into a field of the source fields, cut to the
 * field's width and ended with NUL; both ways of splitting a line store their fields through it.
 * Defines CopyToken.
 */
#ifndef CONVERTER_FIELD_COPY_H
#define CONVERTER_FIELD_COPY_H

#include <stddef.h>
#include <string.h>

/* Copies length bytes, eight at a time with the last move overlapping the one before, so a field's
 * few bytes take a few moves (a copy of unknown length would otherwise start a string instruction). */
static inline void CopyBytes(char *to, const char *from, size_t length)
{
    if (length >= 8) {
        for (size_t i = 0; i + 8 < length; i += 8)
            memcpy(to + i, from + i, 8);
        memcpy(to + length - 8, from + length - 8, 8);
    } else if (length >= 4) {
        memcpy(to, from, 4);
        memcpy(to + length - 4, from + length - 4, 4);
    } else if (length > 0) {
        to[0] = from[0];
        to[length / 2] = from[length / 2];
        to[length - 1] = from[length - 1];
    }
}

/* Copies a token of known length into field, at most width - 1 bytes, and ends it with NUL. */
static inline void CopyToken(char *field, size_t width, const char *token, size_t length)
{
    if (length > width - 1)
        length = width - 1;
    CopyBytes(field, token, length);
    field[length] = '\0';
}

#endif /* CONVERTER_FIELD_COPY_H */
