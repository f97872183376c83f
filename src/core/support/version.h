// The software's name and version as the window's caption and the version
// report show it.
#pragma once

#include <string>

constexpr const char *SoftwareVersion = "Tarnvik Ver.2.53+a";

// The --version line of a program: its name, the version above and the
// version of the build as its package has it ("2.53+git20261209.c6ee0c1"
// between releases).
std::string VersionLine(const std::string &program);
