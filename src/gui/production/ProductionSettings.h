// The production window's run as the [production] keys describe it: the
// plan the shared engine runs, the gang's ports, and the counts of a log
// that was written before.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "AppSettings.h"
#include "ProductionPlan.h"

// The setting a plan could not be made from.
enum class PlanSetting { Ports, SerialFormat, SerialAt, SerialBytes, SerialStart, SerialSource, OnPass, OnFail };

struct PlanRefusal {
    PlanSetting setting;
    std::string value; // as the settings hold it, or the parser's reason
};

// The program command on every chip of the gang, verified, with the
// settings' serial numbers, log and hooks, as the command line's options
// make them; a refusal names the setting that is wrong.
std::optional<PlanRefusal> PlanFromSettings(const AppSettings::Production &settings, ProductionPlan &plan);

// "COM3, /dev/ttyUSB0" as a list of ports, blanks and empty names dropped.
std::vector<std::string> SplitPorts(const std::string &text);
std::string JoinPorts(const std::vector<std::string> &ports);

// The chips a CSV log already holds: its rows after the header, passed
// when their result column says ok. A missing log holds none.
struct LogCounts {
    int passed = 0, failed = 0;
};
LogCounts CountLogRows(const std::string &path);
