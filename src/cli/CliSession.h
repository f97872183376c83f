// One run of tarnvik-cli: the Session over the settings file the options
// name, and the command the options ask for, dispatched to its function
// (commands/*.cpp); the --json result object of the run.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "CliOptions.h"
#include "CliTrace.h"
#include "ExitStatus.h"
#include "Json.h"
#include "TerminalFrontEnd.h"
#include "catalogue/DeviceSelection.h"
#include "image/buffer.h"
#include "operations/operations.h"

class Session;
struct CommandRun;

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
    const MemoryBuffer &Buffer() const;
    DeviceSelection Selection() const;
    // One chip of a production run: Run takes image (when the command has a
    // file) and device instead of loading the file, and notes the chip's
    // DEVICE-ID and result. quietPath: the device the port's previous chip
    // closed quiet (empty for none), whose open needs no drain.
    void ForChip(const MemoryBuffer *image, DeviceSelection device, const std::string &quietPath = {});
    // After Run: the device the port was closed quiet on, or empty.
    const std::string &ClosedQuietPath();
    // For the production table and log, after Run: the DEVICE-ID the chip
    // gave (revision included; empty when none was read) and the result in
    // a word or two.
    const std::string &DeviceIdRead() const;
    const std::string &Result() const;
    // How the device operation of the run ended, for the production table
    // and log; empty when none ran.
    const std::optional<OperationResult> &LastOutcome() const;

private:
    // Run without the --json result object.
    int RunCommand();
    int Dispatch();
    // With --trace: whether the trace holds the run whole, for --json, and
    // on stderr (once a run) when a write to it failed. The exit status
    // stays the chip's: the chip is as the operation left it either way.
    void TellTraceState();
    bool SelectDevice(std::string &error);

    const CliOptions &options_;
    TerminalFrontEnd &ui_;
    std::unique_ptr<Session> session_;
    std::unique_ptr<CommandRun> run_;
};
