// The command line's settings file and its wire trace (--trace), which
// every session of a run (a production run's ports, --repeat's rounds)
// writes to.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "CliOptions.h"

class WireTrace;

// The window's settings file for a program in the same folder as this one.
std::string WindowSettingsPath();
// The settings file of a run: --settings, else the window's.
std::string CliSettingsPath(const CliOptions &options);

// --trace: starts the run's wire trace, which every session's port then
// writes to; false with the reason in error when the file cannot be written.
bool StartCliTrace(const CliOptions &options, const std::vector<std::string> &args, std::string &error);
// The run's trace; empty without --trace.
std::shared_ptr<WireTrace> &CliTrace();
