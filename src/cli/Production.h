// tarnvik-cli's production runs: a command on several programmers at once
// (a gang, one thread per port), chip after chip with --repeat, a serial
// number per chip and a CSV log row per chip.
#pragma once

#include "CliOptions.h"

// Runs the whole production run; the exit status (the worst of all chips).
int RunProduction(const CliOptions &options);
