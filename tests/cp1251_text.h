// cp1251_text.h - turns the tests' UTF-8 literals into the Windows-1251 bytes the programs handle.
#ifndef TESTS_CP1251_TEXT_H
#define TESTS_CP1251_TEXT_H

#include <string>

// ASCII stays; А-я, Ё and ё become their single Windows-1251 bytes; anything else is a test's mistake.
inline std::string Cp1251(const std::string &utf8)
{
    std::string out;
    for (size_t i = 0; i < utf8.size(); i++) {
        unsigned char c = (unsigned char)utf8[i];
        if (c < 0x80 || i + 1 >= utf8.size()) {
            out += (char)c;
            continue;
        }
        unsigned code = ((c & 0x1Fu) << 6) | ((unsigned char)utf8[++i] & 0x3Fu);
        if (code >= 0x410 && code <= 0x44F)
            out += (char)(code - 0x410 + 0xC0);
        else if (code == 0x401)
            out += '\xA8';
        else if (code == 0x451)
            out += '\xB8';
        else
            out += '?';
    }
    return out;
}

#endif  // TESTS_CP1251_TEXT_H
