// Why a file could not be read or written, in the words the user reads:
// the common reasons; any other is as the system words it.
#pragma once

#include <string>

namespace texts {

std::string FileNotFound();
std::string FileAccessDenied();
std::string FileIsFolder();
std::string FileNotRegular();
std::string FilePathNotFolder();
std::string FileDiskFull();
std::string FileReadOnlySystem();
std::string FileTooLarge();
// A row a log could not write whole and could not cut off again either.
std::string FilePartRowLeft(const std::string &reason);

} // namespace texts
