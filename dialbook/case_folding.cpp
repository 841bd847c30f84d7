/* case_folding.cpp - the byte table that makes comparisons case-insensitive in the ANSI
 * code page, with Ё and ё counted as Е. Defines BuildFoldTable.
 */
#include "key_matching.h"
#include "platform.h"

void BuildFoldTable(unsigned char fold[256])
{
    PlatformLowercaseTable(fold);
    int yo = PlatformByteForUnicode(0x0451);   /* ё */
    int ye = PlatformByteForUnicode(0x0435);   /* е */
    if (yo < 0 || ye < 0)
        return;
    for (int b = 0; b < 256; b++)
        if (fold[b] == yo)
            fold[b] = (unsigned char)ye;
}
