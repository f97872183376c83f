// What read, verify and blank check say. Addresses are in hexadecimal, as
// wide as each memory shows them.
#pragma once

#include <string>

namespace texts {

std::string ReadIntoBuffer();
std::string ReadProtected();
std::string EEDataRead();
std::string ConfigWordsRead();

// ---- verify ----
// The first difference in each memory.
std::string ProgramWordDiffers(const std::string &address);
std::string EEDataDiffers(const std::string &address);
std::string UserIdDiffers();
std::string ConfigurationDiffers();
std::string ConfigurationWordDiffers(const std::string &address);
// The count of a memory's differences, in bytes or in words.
std::string MemoryDiffers(const std::string &memory, long count, bool bytes);
std::string VerifyMismatchStatus();
std::string VerifyOk();

// ---- blank check ----
std::string ProgramNotBlank(const std::string &address);
std::string EEDataNotBlank(const std::string &address);
std::string ConfigurationNotBlank();
std::string NotBlankStatus();
std::string DeviceBlank();

} // namespace texts
