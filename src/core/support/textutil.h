// Small text helpers shared by the core: case-insensitive comparison and
// uppercase zero-padded hexadecimal, as every text the system shows uses.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// ASCII letters compare without regard to case; other bytes (UTF-8 included) exactly.
bool SameTextIgnoringCase(std::string_view a, std::string_view b);
std::string UpperCase(std::string_view s);
// Uppercase hexadecimal, zero-padded to width digits.
std::string Hex(uint32_t value, int width);
// The value of a hexadecimal digit of either case; -1 for any other byte.
int HexDigit(char c);
std::string TrimBlanks(std::string_view s);
// The system's text for an errno value. Unlike strerror it shares no buffer
// between threads, so every port of a gang can report its own failure.
std::string ErrorText(int error);
// Columns a UTF-8 text takes in a terminal: East Asian wide and full-width
// characters (the Japanese texts) take two, control characters none.
int DisplayWidth(std::string_view utf8);
// The longest start of a UTF-8 text that fits in the given columns.
std::string FitToWidth(std::string_view utf8, int columns);
// The text as a terminal may be shown it: control characters (C0, DEL,
// C1) and bytes that are no UTF-8 become \xHH (C1 as \u0080..\u009f), so
// that a name from a device (a USB serial number, a by-id link) cannot move
// the cursor or retitle the window. Valid UTF-8 text stays as it is.
std::string EscapeControls(std::string_view text);
