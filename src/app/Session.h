// One run of a front end over the programmer: the port, the command record,
// the buffer, the selected part and the current file, with the actions both
// front ends offer. Inputs go down as arguments, outcomes come back as the
// reports of Reports.h; the texts are the front end's to make from them.
// What the operations say while they run still goes to the FrontEnd given.
#pragma once

#include <memory>
#include <string>

#include "AppSettings.h"
#include "Loading.h"
#include "Reports.h"
#include "image/buffer.h"
#include "link/PICCommand.h"
#include "link/serial.h"
#include "operations/chain.h"
#include "operations/operations.h"
#include "operations/regions.h"
#include "settings/settings.h"

class WireTrace;

// The operations' options as a front end gathers them.
struct OperationChoices {
    bool smallBlock = false;
    bool verifyUserId = false;
    bool calibChange = false;
    std::string cal1, cal2; // typed digits; see CalibrationWord
    bool calibrationLogOptional = false;
    unsigned regions = RegionAll;
};
OperationOptions OperationOptionsFor(const OperationChoices &choices);

class Session {
public:
    Session(const std::string &settingsPath, FrontEnd &ui, std::shared_ptr<WireTrace> trace = {});
    ~Session();

    const SettingsFile &Settings() const { return settings_; }
    const AppSettings &Saved() const { return saved_; }
    ModemOptions Modem() const { return ModemFor(saved_.line); }
    SerialPort &Port() { return port_; }
    TCommand &Command() { return cmd_; }
    MemoryBuffer &Buffer() { return *buffer_; }
    const MemoryBuffer &Buffer() const { return *buffer_; }
    DeviceSelection Device() const { return device_; }
    const std::string &File() const { return file_; }

    // By catalogue name; an empty name selects the part the settings saved.
    DeviceSelected SelectDevice(const std::string &name);
    void Select(DeviceSelection device) { device_ = device; }
    // Clears the buffer for the selected part; false when none is selected.
    bool Clear();
    // Reads the file once and loads it. New with autoSelect selects the
    // file's device first. Throws HexFileError when it cannot be read.
    LoadReport Load(const std::string &path, LoadMode mode, bool autoSelect);
    // A production chip's copy of an image loaded and judged before.
    void UseImage(const MemoryBuffer &image, DeviceSelection device);
    // The buffer as a HEX file; throws HexFileError.
    void Save(const std::string &path, bool saveAll);
    // The buffer's checksum for the selected part; none without one.
    std::optional<uint16_t> Checksum() const;

    // The port a run starts with: the settings' fixed port, else the search.
    PortChoice StartingChoice() const;
    // What a port the user named (a COM name, a path, a by-id name,
    // usb:SERIAL) stands for; a path is opened under the COM name the
    // settings give it, or COM0.
    PortChoice NamedChoice(const std::string &asked);
    // Opens the choice (probing the ports for the search), takes what the
    // port said at its open and drains what a run killed before left.
    PortChosen OpenPort(const PortChoice &choice);

    // The context the operations run in, with the DEVICE-ID the last check read.
    OperationContext Context(const OperationOptions &options);
    CheckReport Check(const OperationOptions &options);
    // After a passed check: the whole chip read into image (cleared for the
    // part first), the buffer left as it is, for comparing the two.
    OperationResult ReadChip(MemoryBuffer &image, const OperationOptions &options, ProgressBar *progress);
    // A chain of device operations after a passed check.
    StepEnded RunChain(Chain chain, const ChainRun &run, const OperationOptions &options);
    // The DEVICE-IDs the chip in the socket gives, of either family.
    IdentifyReport Identify();
    // Selects the part the chip's DEVICE-ID names; the port is closed after.
    DevicePicked PickDeviceFromChip();

private:
    FrontEnd &ui_;
    SettingsFile settings_;
    AppSettings saved_;
    SerialPort port_;
    TCommand cmd_;
    std::unique_ptr<MemoryBuffer> buffer_;
    DeviceSelection device_{};
    std::string file_;
    // A path asked for: the port name it is opened under, and the path.
    std::string pathName_, pathOverride_;
    std::optional<uint16_t> checkedId_;
};
