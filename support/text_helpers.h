// text_helpers.h - the one place that converts text for the tests, the fuzz targets, the benchmarks
// and dirgen: Windows-1251 (the records' and the files' code page) from and to UTF-8 (the sources'
// literals and readable messages), UTF-16 from UTF-8 (paths as the library takes them), and on
// Windows wide text from and to UTF-8. Each function's name says what it converts from and to.
#ifndef SUPPORT_TEXT_HELPERS_H
#define SUPPORT_TEXT_HELPERS_H

#include <cstddef>
#include <cstdint>
#include <string>

// The code point of the UTF-8 sequence at *at, before end, moving *at past it; U+FFFD for a stray
// continuation byte or a sequence cut short.
uint32_t NextCodePoint(const char **at, const char *end);

// The Windows-1251 byte of a code point among those this project writes (ASCII, А-я, Ё and ё);
// -1 for any other.
int Cp1251ByteOf(uint32_t code);

// Windows-1251 bytes of UTF-8 text made of ASCII and Russian letters. Throws std::invalid_argument
// at any other character: a test's literal outside them is a slip that would change its meaning.
std::string Cp1251FromUtf8(const std::string &utf8);

// UTF-8 of Windows-1251 bytes, for readable messages: ASCII and the Russian letters as they are,
// any other byte written as \xNN.
std::string Utf8FromCp1251(const std::string &cp1251);

// UTF-16 of UTF-8 text, pairs of surrogates beyond U+FFFF.
std::u16string Utf16FromUtf8(const std::string &utf8);

#ifdef _WIN32
// Windows' wide text (UTF-16) from UTF-8, and back.
std::wstring WideFromUtf8(const std::string &utf8);
std::string Utf8FromWide(const std::wstring &wide);
#endif

#endif // SUPPORT_TEXT_HELPERS_H
