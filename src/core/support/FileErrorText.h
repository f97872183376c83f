// Why a file could not be read or written, in the words the user reads:
// the common reasons in Japanese, any other as the system words it.
#pragma once

#include <string>

// error is an errno value.
std::string FileErrorReason(int error);
