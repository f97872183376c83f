// The command line's texts made from the Session's reports: the log and
// status lines on the terminal, the failures on stderr, and the data the
// --json result object carries.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Json.h"
#include "Naming.h"
#include "ReportLines.h"
#include "Reports.h"
#include "TerminalFrontEnd.h"

// The same for --json: the text, and the ID and the revision apart.
void AddDeviceIdFields(JsonObject &object, uint16_t id);
// A verify's differences for --json: per memory the count and the first
// ones with the file's and the chip's values.
JsonObject DifferencesObject(const OperationResult &result);

// What to do about device nodes the user may not open, on stderr.
void AdvisePermission(TerminalFrontEnd &ui, const std::vector<std::string> &paths);
// A report's lines and status line, each on its channel.
void ShowLines(TerminalFrontEnd &ui, const ReportLines &report);
// The opening of the port (or the search) as it went.
void ShowPortChosen(TerminalFrontEnd &ui, const PortChosen &chosen);
// A load's texts and --json fields; the exit status with which a command
// that refuses a damaged file (refuseDamaged) ends, else ExitSuccess.
int ShowLoad(TerminalFrontEnd &ui, JsonObject &fields, const LoadReport &report, bool refuseDamaged);
// The buffer's checksum for the selected device: a log line and the --json
// field; nothing without a device.
void ShowChecksum(TerminalFrontEnd &ui, JsonObject &fields, std::optional<uint16_t> checksum);
// A chip refused for carrying another DEVICE-ID: the ID the check read, the
// one expected, and the catalogue's parts that carry the one read.
void ExplainWrongChip(TerminalFrontEnd &ui, DeviceSelection device, std::optional<uint16_t> id);
