// The command line of tarnbox-sim: the board to simulate and how to serve
// it, parsed before any terminal, file or chip is made, so that a usage
// error ends the run with nothing left behind.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "SimFirmware.h"
#include "SimLine.h"
#include "SimShaping.h"

enum class SimRequest {
    Serve,
    Help,    // --help, -h
    Version, // --version
};

struct SimCommandLine {
    SimRequest request = SimRequest::Serve;
    std::string chip = "PIC16F877A"; // catalogue name, case ignored; "none" = an empty socket
    std::string link;                // a symbolic link to the terminal
    bool detach = false;
    std::string pidFile;
    std::string hexFile;               // the chip's initial contents
    std::vector<uint16_t> calibration; // factory calibration, slot 1 and 2
    bool modelProtection = true;       // off: --no-protection
    FirmwareOptions firmware;
    bool pace = false; // real-time pacing (--pace, or any --line)
    SimLine line;
    SimShaping shaping;
    std::string traceFile;
    std::string replayFile;
    std::string reportFile;
    std::string dumpFile;
};

// Fills options from the arguments after the program's name; false with a
// one-line reason on bad usage. --help and --version answer whatever else
// the line holds.
bool ParseSimCommandLine(const std::vector<std::string> &args, SimCommandLine &options, std::string &error);

// The text of --help.
std::string SimUsageText();
