// What a production run needs, as plain data a front end fills in: the
// image's file and part, the ports, the command each chip gets, the serial
// numbers, the log and the hooks.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Session.h"
#include "catalogue/DeviceSelection.h"
#include "production/SerialNumber.h"

// The command every chip of the run gets.
enum class ChipCommand { Program, Verify, Erase, Blank };

struct ProductionPlan {
    std::string file;              // the image's file; empty for erase and blank
    DeviceSelection device{false, -1};
    // The ports as the user named them, one chip each a round; an empty
    // name is the settings file's port, or the search's.
    std::vector<std::string> ports{""};
    std::string settingsPath; // the settings the chips' sessions read

    ChipCommand command = ChipCommand::Program;
    bool erase = false;     // program: erase and blank-check first
    bool verify = true;     // program: verify afterwards
    bool fastCycle = false; // program --erase: the verify stands in for the blank check
    OperationChoices choices;

    bool serial = false; // a number per chip
    SerialLayout serialLayout;
    uint64_t serialStart = 0, serialStep = 1;
    bool serialStartGiven = false;
    std::string serialList;  // file of the numbers to hand out, one a line
    std::string serialState; // file keeping the stock across runs

    std::string log; // CSV file, one row per chip; empty for none

    // Commands run after each chip, as their words; empty for none.
    std::vector<std::string> onPass, onFail;
    int hookSeconds = 30;

    bool repeat = false; // round after round until the front end stops
};
