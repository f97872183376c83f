// Serial numbers from a list the user keeps (numbers bought in a block,
// labels printed in advance): one number a line, handed out in the list's
// order. A number reaches at most one chip, so a list that repeats one is
// refused before any chip.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One number a line, decimal or 0x-hexadecimal, blanks around it allowed;
// empty lines and lines starting with '#' are skipped. False with the line
// and the reason when a line is no number, a number repeats or none is there.
bool ParseSerialList(const std::string &text, std::vector<uint64_t> &numbers, std::string &error);
// The file's list; false with the reason (its path first) when it cannot be read.
bool ReadSerialList(const std::string &path, std::vector<uint64_t> &numbers, std::string &error);
