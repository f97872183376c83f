// The software's name and version as the window's caption and the version
// report show it.
#pragma once

constexpr const char *SoftwareVersion = "Tarnvik Ver.2.53+a";
