#include "support/textutil.h"

#include <cctype>
#include <cstdio>
#include <cstring>

bool SameTextIgnoringCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

std::string UpperCase(std::string_view s)
{
    std::string r(s);
    for (char &c : r)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return r;
}

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string Hex(uint32_t value, int width)
{
    static const char digits[] = "0123456789ABCDEF";
    std::string r(static_cast<size_t>(width), '0');
    for (int i = width - 1; i >= 0; --i, value >>= 4)
        r[static_cast<size_t>(i)] = digits[value & 0xF];
    return r;
}

std::string TrimBlanks(std::string_view s)
{
    size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r' || s[b] == '\n'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r' || s[e - 1] == '\n'))
        --e;
    return std::string(s.substr(b, e - b));
}

std::string ErrorText(int error)
{
    char text[256] = {};
    // The GNU form returns either text or its own static string.
    return strerror_r(error, text, sizeof text);
}

namespace {

// One code point from s at i (advancing i); malformed bytes count as one
// narrow character each.
char32_t NextCodePoint(std::string_view s, size_t &i)
{
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b = byte(i);
    int length = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 0;
    if (length == 0 || i + static_cast<size_t>(length) > s.size()) {
        ++i;
        return b;
    }
    char32_t cp = length == 1 ? b : b & (0x7F >> length);
    for (int k = 1; k < length; ++k)
        cp = (cp << 6) | (byte(i + static_cast<size_t>(k)) & 0x3F);
    i += static_cast<size_t>(length);
    return cp;
}

int CodePointWidth(char32_t cp)
{
    if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0)) return 0;
    const bool wide = (cp >= 0x1100 && cp <= 0x115F) || (cp >= 0x2E80 && cp <= 0xA4CF && cp != 0x303F) ||
                      (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
                      (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) ||
                      (cp >= 0xFFE0 && cp <= 0xFFE6) || (cp >= 0x20000 && cp <= 0x3FFFD);
    return wide ? 2 : 1;
}

} // namespace

int DisplayWidth(std::string_view utf8)
{
    int width = 0;
    for (size_t i = 0; i < utf8.size();)
        width += CodePointWidth(NextCodePoint(utf8, i));
    return width;
}

std::string FitToWidth(std::string_view utf8, int columns)
{
    int width = 0;
    size_t i = 0;
    while (i < utf8.size()) {
        size_t next = i;
        const int w = CodePointWidth(NextCodePoint(utf8, next));
        if (width + w > columns) break;
        width += w;
        i = next;
    }
    return std::string(utf8.substr(0, i));
}

namespace {

// The length of the well-formed UTF-8 sequence at s[i] (no overlong form,
// no surrogate, nothing above U+10FFFF), 0 for none; its code point in cp.
size_t Utf8Sequence(std::string_view s, size_t i, char32_t &cp)
{
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
    const unsigned char b = byte(i);
    const size_t length = b < 0x80                  ? 1
                          : b >= 0xC2 && b <= 0xDF  ? 2
                          : (b >> 4) == 0xE         ? 3
                          : b >= 0xF0 && b <= 0xF4  ? 4
                                                    : 0;
    if (length == 0 || i + length > s.size()) return 0;
    cp = length == 1 ? b : b & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) return 0;
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    if ((length == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
        (length == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
        return 0;
    return length;
}

} // namespace

std::string EscapeControls(std::string_view text)
{
    std::string shown;
    shown.reserve(text.size());
    char escape[8];
    for (size_t i = 0; i < text.size();) {
        char32_t cp = 0;
        const size_t length = Utf8Sequence(text, i, cp);
        if (length == 0) {
            std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned char>(text[i]));
            shown += escape;
            ++i;
            continue;
        }
        if (cp < 0x20 || cp == 0x7F)
            std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned>(cp));
        else if (cp >= 0x80 && cp < 0xA0)
            std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(cp));
        else
            escape[0] = '\0';
        if (escape[0] != '\0')
            shown += escape;
        else
            shown.append(text.substr(i, length));
        i += length;
    }
    return shown;
}
