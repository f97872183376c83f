#include "textutil.h"

#include <cctype>
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
