// The command line of tarnvik-cli: what the user asked for, parsed without
// touching any device or file so that usage errors end the run before the
// port is opened.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "production/SerialNumber.h"

enum class CliCommand {
    None,
    Help,
    ProgramVersion, // --version: this program's own, not the programmer's
    Ports,
    Version,
    Devices,
    Identify,
    Read,
    Program,
    Verify,
    Erase,
    Blank,
    Dump,
    Config,
    Kept, // the copies of kept chip data still waiting for their write-back
    Compare,
};

// compare's operand that stands for the chip in the socket rather than a file.
inline constexpr const char *ChipSource = "chip";

enum class Verbosity { Quiet, Normal, Verbose };

struct CliOptions {
    CliCommand command = CliCommand::None;
    std::string file;     // the HEX file of read, program, verify and dump; config's optional one
    // compare A B: file is A, compareWith B; either may be ChipSource.
    std::string compareWith;
    std::string port;     // -p: "COM3" or a device path; empty = settings or probe
    std::string device;   // -d: catalogue name; empty = the settings file's device
    bool autoDevice = false; // -d auto: the device the chip's DEVICE-ID names
    std::string settings; // --settings: empty = the window's settings file
    bool autoSelect = false;
    bool erase = false; // program: erase and blank-check first
    bool verify = true; // program: verify afterwards
    // program: read the chip first and leave it as it is when it holds the
    // image already.
    bool skipIdentical = false;
    bool smallBlock = false;
    bool verifyUserId = false;
    bool saveAll = false;
    std::string cal1, cal2; // erase: replacement calibration words, 4 hex digits each
    // erase, program --erase: go on when the chip's calibration words read
    // as erased, keeping them erased.
    bool keepErasedCalibration = false;
    // erase, program --erase: go on when the calibration log cannot be written.
    bool noCalibrationLog = false;
    Verbosity verbosity = Verbosity::Normal;
    bool names = false; // devices: the catalogue names alone
    // program, verify: "NAME=SETTING[,NAME=SETTING...]", each --config in order.
    std::vector<std::string> configSettings;
    // program: write the chip's own configuration back instead of the
    // file's (read before anything is erased or written).
    bool keepConfig = false;
    // program, verify, read: the memories touched (--only; Region bits).
    unsigned regions = 15;
    // program --erase: the chip's EEPROM read before the erase and written back.
    bool keepEeprom = false;
    std::string configDevice; // devices --config DEV: the part whose names are listed
    bool json = false;        // the result as one JSON object on stdout
    std::string trace;        // --trace: every byte on the port, time-stamped, to this file

    // Production runs. Every -p in order; more than one is a gang, each
    // port running the whole command on its own thread.
    std::vector<std::string> ports;
    bool repeat = false; // again after each Enter, until q, end of input or Ctrl-C
    // program --erase in production: the closing verify stands in for the
    // blank check before programming.
    bool fastCycle = false;
    bool serial = false; // --serial or --serial-state: a number per chip
    bool serialStartGiven = false;
    uint64_t serialStart = 0, serialStep = 1;
    SerialLayout serialLayout;
    std::string serialState; // file keeping the next number across runs
    std::string serialList;  // file of the numbers to hand out, one a line
    // --on-pass / --on-fail: a command run after each chip, as its words.
    std::vector<std::string> onPass, onFail;
    int hookSeconds = 30;
    std::string log;         // CSV file, one row per chip

    // Whether the run goes through the production runner: several ports,
    // or any production option.
    bool Production() const
    {
        return ports.size() > 1 || repeat || serial || !log.empty() || !onPass.empty() || !onFail.empty();
    }
};

// Fills options from argv[1..]; false with a one-line reason on bad usage.
bool ParseCommandLine(const std::vector<std::string> &args, CliOptions &options, std::string &error);

// Whether the command line asks for --json, looked for where parsing
// failed: any argument "--json" before "--".
bool AsksForJson(const std::vector<std::string> &args);

// The text of --help.
const char *UsageText();
