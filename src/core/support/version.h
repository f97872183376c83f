// The software's name and version as the window's caption and the version
// report show it.
#pragma once

#include <string>

constexpr const char *SoftwareVersion = "Tarnvik Ver.2.53+a";

// The --version line of a program: its name, the version above and the git
// revision it was built from when that is known.
std::string VersionLine(const std::string &program);
