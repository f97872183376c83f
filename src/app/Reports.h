// What the Session's actions did, as data: each front end makes its own
// texts from these (the command line's terminal view, the window's log).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "catalogue/DeviceSelection.h"
#include "image/hex.h"
#include "image/load_check.h"
#include "link/identify.h"
#include "operations/chain.h"
#include "operations/operations.h"

// A device chosen by name, or the one the settings file saved.
struct DeviceSelected {
    DeviceSelection device;
    bool unknownName = false;        // no catalogue part has the name asked for
    bool Ok() const { return !unknownName; }
};

struct LoadReport {
    std::string file;           // as it was given
    DeviceSelection before;     // the selection the load started with
    DeviceSelection device;     // and the one it ended with
    bool cleared = false;       // the buffer was cleared for device first
    HexReadReport read;         // lines skipped, no data
    LoadFindings findings;      // data the part would not get as the file says
    bool configurationSet = false;
    std::optional<uint16_t> checksum; // the buffer's, for device; none without one
    bool DeviceChanged() const { return !(before == device); }
    // A file that is no HEX file, or lost lines: it must never reach a chip.
    bool Damaged() const { return read.NoData() || read.Skipped > 0; }
};

// How a run's port was chosen.
enum class PortHow {
    Named,       // COMn asked for by name
    Path,        // a device path (or by-id name, usb:SERIAL) asked for
    Fixed,       // the settings' fixed port
    Searched,    // the ports probed for a programmer
};

// A port to open, before anything is opened.
struct PortChoice {
    PortHow how = PortHow::Searched;
    std::string name;        // COMn; COM0 for a path no COM name maps to
    std::string path;        // the device the name stands for
    std::string asked;       // the word the user gave (-p), for texts
    std::string lookupError; // a path asked for that leads to no device
    // The device this process closed quiet just before (a production run's
    // previous chip on this port): its open leaves out the drain.
    std::string quietPath;
};

struct PortChosen {
    PortChoice choice;
    bool opened = false;
    std::string port;       // the COM name opened (or chosen by the settings)
    std::string openError;  // the port's own text of a failed open
    int openErrno = 0;
    // The search: -1 no port opened, 0 a programmer answered, 1 none did;
    // the device nodes the user may not open.
    int searchResult = 0;
    std::vector<std::string> denied;
    std::string notice;     // what the port said at its open (an adapter's latency)
    // Whether the programmer answered on a fixed port once it was open;
    // none when nobody asked (the command line's check asks later).
    std::optional<bool> programmer;
};

struct CheckReport {
    OperationResult result;
    // The check got as far as the chip: its DEVICE-ID reads name it.
    bool reachedChip = false;
};

// A chain of steps ended: the step whose outcome ended it, and that outcome.
struct StepEnded {
    Step step = Step::Read;
    std::vector<Step> ran;
    OperationResult outcome;
    bool keptPending = false;
    bool Ok() const { return outcome.Ok(); }
};

struct IdentifyReport {
    bool programmer = false; // the port is open and a programmer answered
    std::vector<ChipIdentity> chips;
};

struct DevicePicked {
    bool programmer = false;
    DevicePick pick;
    bool Picked() const { return programmer && pick.Outcome == DevicePick::Picked; }
};
