// One run of tarnvik-cli: the settings file, the selected device, the port,
// the command record and the buffer, as the window holds them, and the
// commands built from the core's operations.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CliOptions.h"
#include "Json.h"
#include "link/PICCommand.h"
#include "TerminalFrontEnd.h"
#include "image/buffer.h"
#include "image/hex.h"
#include "image/load_check.h"
#include "catalogue/DeviceSelection.h"
#include "link/serial.h"
#include "settings/settings.h"
#include "operations/chain.h"

// Exit statuses.
enum : int {
    ExitSuccess = 0,
    ExitNegative = 1, // mismatch, not blank, link failure
    ExitRefused = 2,  // the connection and device check refused
    ExitFileError = 3,
    ExitUsage = 64,    // the command line asks for something that cannot be done
    ExitInternal = 70, // a failure inside the program itself (sysexits' EX_SOFTWARE)
};

// The command's word as the command line names it; empty for none.
const char *CommandWord(CliCommand command);

class CliSession {
public:
    CliSession(const CliOptions &options, TerminalFrontEnd &ui);
    ~CliSession();
    // Runs the command; the exit status.
    int Run();

    // Production runs load the file once and hand each chip its own copy.
    // Selects the device and loads the command's file: the exit status of a
    // refusal or a file error, 0 when the buffer is ready.
    int Prepare();
    const MemoryBuffer &Buffer() const { return *buffer_; }
    DeviceSelection Selection() const { return device_; }
    // One chip of a production run: Run takes image (when the command has a
    // file) and device instead of loading the file, and notes the chip's
    // DEVICE-ID and result.
    void ForChip(const MemoryBuffer *image, DeviceSelection device);
    // For the production table and log, after Run: the DEVICE-ID the chip
    // gave (revision included; empty when none was read) and the result in
    // a word or two.
    const std::string &DeviceIdRead() const { return deviceIdRead_; }
    const std::string &Result() const { return result_; }
    // How the device operation of the run ended, for the production table
    // and log; empty when none ran.
    const std::optional<OperationResult> &LastOutcome() const { return outcome_; }

private:
    // Run without the --json result object.
    int RunCommand();
    // With --trace: whether the trace holds the run whole, for --json, and
    // on stderr (once a run) when a write to it failed. The exit status
    // stays the chip's: the chip is as the operation left it either way.
    void TellTraceState();
    // The --json result object of a run that ended with status.
    JsonObject ResultObject(int status) const;
    bool SelectDevice(std::string &error);
    void OpenPortForCommand();
    void OpenPort();
    // Passes on what the port said at its open (an adapter's latency).
    void TellPortNotice();
    void OpenNamedPort(const std::string &name, const std::string &path);
    void ExplainOpenFailure(const std::string &path);
    // What to do about device nodes the user may not open, on stderr.
    void AdvisePermission(const std::vector<std::string> &paths);
    ModemOptions Modem() const;
    // Buffer clear, then the file (the file's device first with auto-select),
    // read once. Skipped lines, a file without HEX data and data the part
    // would not get as the file says are reported on stderr; with
    // refuseDamaged (program, verify) they end the command (ExitFileError),
    // otherwise they are a warning. ExitSuccess when the command may go on.
    int LoadFile(bool refuseDamaged);
    // The operations' inputs: the selected device and the options given.
    OperationContext Context();
    bool CalibChange() const { return !options_.cal1.empty() || !options_.cal2.empty(); }
    // What the file gives that the part would not get as it says, on stderr,
    // and as data for --json.
    void TellLoadFindings(const LoadFindings &findings);
    // The buffer's checksum for the selected device: a log line and the
    // --json field.
    void TellChecksum();
    // Check, with the exit status of a refusal; 0 when it passed.
    int Check();
    // Runs a chain of device operations after a passed check; the exit
    // status of its outcome, noted for the production table.
    int Chained(Chain chain, ChainRun run);
    // The chip's DEVICE-ID as the check read it, revision included, for the
    // production table; none for a part without one.
    void NoteDeviceId(std::optional<uint16_t> id);
    // A chip refused for carrying another DEVICE-ID: the ID the check read,
    // the one expected, and the catalogue's parts that carry the one read.
    void ExplainWrongChip(std::optional<uint16_t> id);
    std::string QuotedName() const;
    // read's FILE "-": a scratch file to be copied to standard output, since
    // the HEX writer works on paths.
    std::string ScratchFile();

    int Ports();
    int Version();
    int Devices();
    int Kept();
    int Identify();
    // -d auto: selects the device the chip's DEVICE-ID names; the exit
    // status of a refusal, 0 when a device was picked.
    int PickDeviceFromChip();
    int Read();
    int Program();
    int Verify();
    int Erase();
    int Blank();
    // Refusal of a command that needs a device when none is selected.
    int RefuseNoDevice();
    int Dump();
    // Configuration bits by name: the config command, devices --config, and
    // --config of program and verify (ExitUsage on a name the part lacks).
    int Config();
    int ConfigList();
    int ApplyConfigSettings();
    // program: a file that sets no configuration is refused (the texts say
    // what the chip would get) unless --config or --keep-config decides.
    int RefuseMissingConfiguration();
    // program --erase: refused (ExitRefused, saying why) when the memories
    // asked for cannot be written without the bulk erase clearing others.
    int RefuseRegionErase();

    const CliOptions &options_;
    TerminalFrontEnd &ui_;
    SettingsFile settings_;
    SerialPort port_;
    TCommand cmd_;
    std::unique_ptr<MemoryBuffer> buffer_;
    // -p with a device path: the port name it is opened under.
    std::string pathName_, pathOverride_;
    // The COM port the settings' fixed port or the search chose, kept for
    // --json once the command has closed it.
    std::string chosenPort_;
    std::string scratch_; // removed with the session
    bool forChip_ = false;
    const MemoryBuffer *image_ = nullptr;
    DeviceSelection imageDevice_{};
    std::string deviceIdRead_;
    std::optional<uint16_t> idRead_; // the same, as the word read
    std::string result_;
    DeviceSelection device_{};
    std::optional<OperationResult> outcome_;
    // The loaded file set the configuration (true without a file).
    bool configGiven_ = true;
    // The DEVICE-ID the check noted, carried into the chain's context.
    std::optional<uint16_t> checkedId_;
    // Fields the command adds to its --json object (or replaces in it), so
    // scripts get data rather than text lines.
    JsonObject fields_ = JsonObject::object();
};

// The window's settings file for a program in the same folder as this one.
std::string WindowSettingsPath();

// --trace: starts the run's wire trace, which every session's port then
// writes to; false with the reason in error when the file cannot be written.
bool StartCliTrace(const CliOptions &options, const std::vector<std::string> &args, std::string &error);
