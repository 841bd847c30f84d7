// text_helpers.cpp - UTF-8 decoded and encoded by hand, so that every build converts alike whatever
// its locale; Windows-1251 only as far as this project writes it.
#include "text_helpers.h"

#include <stdexcept>

namespace {

const uint32_t kReplacement = 0xFFFD;

void AppendUtf8(std::string &out, uint32_t code)
{
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xC0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xE0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code & 0x3F));
    }
}

// The Unicode letter of a Windows-1251 byte among those this project writes, or -1.
long CodeOfCp1251Byte(unsigned char byte)
{
    if (byte < 0x80)
        return byte;
    if (byte >= 0xC0)
        return 0x410 + (byte - 0xC0);
    if (byte == 0xA8)
        return 0x401;
    if (byte == 0xB8)
        return 0x451;
    return -1;
}

template <typename Text>
Text Utf16Of(const std::string &utf8)
{
    Text out;
    const char *at = utf8.data(), *end = utf8.data() + utf8.size();
    while (at < end) {
        uint32_t code = NextCodePoint(&at, end);
        if (code >= 0x10000) {
            out += static_cast<typename Text::value_type>(0xD800 + ((code - 0x10000) >> 10));
            out += static_cast<typename Text::value_type>(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            out += static_cast<typename Text::value_type>(code);
        }
    }
    return out;
}

} // namespace

uint32_t NextCodePoint(const char **at, const char *end)
{
    const unsigned char *p = reinterpret_cast<const unsigned char *>(*at);
    uint32_t code = *p++;
    int more = code >= 0xF0 ? 3 : code >= 0xE0 ? 2 : code >= 0xC0 ? 1 : 0;
    bool stray = code >= 0x80 && more == 0;
    if (more > 0)
        code &= 0x3Fu >> more;
    for (; more > 0 && p < reinterpret_cast<const unsigned char *>(end) && (*p & 0xC0) == 0x80; more--)
        code = (code << 6) | (*p++ & 0x3Fu);
    *at = reinterpret_cast<const char *>(p);
    return stray || more > 0 ? kReplacement : code;
}

int Cp1251ByteOf(uint32_t code)
{
    if (code < 0x80)
        return static_cast<int>(code);
    if (code >= 0x410 && code <= 0x44F)
        return static_cast<int>(0xC0 + (code - 0x410));
    if (code == 0x401)
        return 0xA8;
    if (code == 0x451)
        return 0xB8;
    return -1;
}

std::string Cp1251FromUtf8(const std::string &utf8)
{
    std::string out;
    const char *at = utf8.data(), *end = utf8.data() + utf8.size();
    while (at < end) {
        int byte = Cp1251ByteOf(NextCodePoint(&at, end));
        if (byte < 0)
            throw std::invalid_argument("no Windows-1251 byte for a character of " + utf8);
        out += static_cast<char>(byte);
    }
    return out;
}

std::string Utf8FromCp1251(const std::string &cp1251)
{
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char byte : cp1251) {
        long code = CodeOfCp1251Byte(byte);
        if (code >= 0) {
            AppendUtf8(out, static_cast<uint32_t>(code));
        } else {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 15];
        }
    }
    return out;
}

std::u16string Utf16FromUtf8(const std::string &utf8)
{
    return Utf16Of<std::u16string>(utf8);
}

#ifdef _WIN32
std::wstring WideFromUtf8(const std::string &utf8)
{
    return Utf16Of<std::wstring>(utf8);
}

std::string Utf8FromWide(const std::wstring &wide)
{
    std::string out;
    for (size_t i = 0; i < wide.size(); i++) {
        uint32_t code = static_cast<uint16_t>(wide[i]);
        if (code >= 0xD800 && code < 0xDC00 && i + 1 < wide.size() && wide[i + 1] >= 0xDC00 && wide[i + 1] < 0xE000)
            code = 0x10000 + ((code - 0xD800) << 10) + (static_cast<uint16_t>(wide[++i]) - 0xDC00);
        else if (code >= 0xD800 && code < 0xE000)
            code = kReplacement;   // half a pair, as Windows converts it
        AppendUtf8(out, code);
    }
    return out;
}
#endif
