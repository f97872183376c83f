// Builds HEX lines for tests independently of the writer under test.
#pragma once

#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <string>
#include <vector>

inline std::string Record(unsigned address, unsigned type, const std::vector<uint8_t> &data)
{
    char buf[16];
    unsigned sum = static_cast<unsigned>(data.size()) + (address >> 8 & 0xFF) + (address & 0xFF) + type;
    std::snprintf(buf, sizeof buf, ":%02X%04X%02X", static_cast<unsigned>(data.size()), address & 0xFFFF, type);
    std::string line = buf;
    for (uint8_t b : data) {
        std::snprintf(buf, sizeof buf, "%02X", b);
        line += buf;
        sum += b;
    }
    std::snprintf(buf, sizeof buf, "%02X", (0x100 - (sum & 0xFF)) & 0xFF);
    return line + buf;
}

inline std::string Lines(std::initializer_list<std::string> lines, const char *end = "\r\n")
{
    std::string text;
    for (const std::string &l : lines) text += l + end;
    return text;
}
