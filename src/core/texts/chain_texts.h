// What a chain of steps (erase, blank check, program, verify) says between
// its steps, on the status line and in the progress dialog.
#pragma once

#include <string>

namespace texts {

// The dialog's text for a blank check after a load.
std::string FileLoadedBlankChecking(const std::string &file);

std::string ReadingDevice();
std::string BlankChecking();
std::string Erased();
std::string EraseOk();
std::string WritingDevice();
std::string Writing();
// The same, with the verb's okurigana, where the chain has loaded a file or
// reports to the progress dialog.
std::string WritingSpelledOut();
std::string WritingConfiguration();
std::string Written();
std::string Verifying();
// The chain's verify passed before the configuration is written.
std::string VerifiedOk();

// An erase whose blank check failed: the dialog's words (after a load with
// a comma), the status line's for a chain without a file, and otherwise.
std::string ErasedNotBlankMark(bool afterLoad);
std::string EraseFailedNotBlank();
std::string ErasedDeviceNotBlank();

// A protecting configuration is written after the other memories verify.
std::string ConfigurationWrittenLast();

} // namespace texts
