// What one command of tarnvik-cli works with: the options, the terminal,
// the Session, and what the run notes for its --json result object and a
// production run's table. The commands (commands/*.cpp) are functions over
// it; the steps they share are below, their texts made by TerminalView.
#pragma once

#include <optional>
#include <string>

#include "CliOptions.h"
#include "ExitStatus.h"
#include "Json.h"
#include "Session.h"
#include "TerminalFrontEnd.h"

struct CommandRun {
    CommandRun(const CliOptions &options, TerminalFrontEnd &ui, Session &session)
        : options(options), ui(ui), session(session)
    {
    }
    ~CommandRun();
    CommandRun(const CommandRun &) = delete;
    CommandRun &operator=(const CommandRun &) = delete;

    const CliOptions &options;
    TerminalFrontEnd &ui;
    Session &session;

    // Fields the command adds to its --json object (or replaces in it), so
    // scripts get data rather than text lines.
    JsonObject fields = JsonObject::object();
    // The result in a word or two, for --json, the production table and log.
    std::string result;
    // How the device operation of the run ended; empty when none ran.
    std::optional<OperationResult> outcome;
    // The DEVICE-ID the chip gave (revision included), as the word and as
    // the production table shows it.
    std::optional<uint16_t> idRead;
    std::string deviceIdRead;
    // One chip of a production run: the image loaded and judged before.
    bool forChip = false;
    const MemoryBuffer *image = nullptr;
    DeviceSelection imageDevice{};
    std::string quietPath; // the device the port's previous chip closed quiet
    // The loaded file set the configuration (true without a file).
    bool configGiven = true;
    // The COM port the settings' fixed port or the search chose, and a path
    // the user named (-p), kept for --json once the command has closed it.
    std::string chosenPort, pathOverride;
    std::string scratch; // read - : removed with the run

    bool CalibChange() const { return !options.cal1.empty() || !options.cal2.empty(); }
    // The operations' options from the command line's.
    OperationOptions Options() const;
    // The file's name in quotes, as the load and save texts show it.
    std::string QuotedName() const;
    // read's FILE "-": a scratch file to be copied to standard output, since
    // the HEX writer works on paths.
    std::string ScratchFile();
    void NoteDeviceId(std::optional<uint16_t> id);
};

// The operations' options as the command line gives them.
OperationChoices OperationChoicesFor(const CliOptions &options);

// The port -p names, else the settings' fixed port or the search, with its
// texts; then what the port said at its open.
void OpenPortForCommand(CommandRun &run);
// Buffer clear, then the file (the file's device first with auto-select),
// read once. Skipped lines, a file without HEX data and data the part would
// not get as the file says are reported on stderr; with refuseDamaged
// (program, verify) they end the command (ExitFileError), otherwise they are
// a warning. ExitSuccess when the command may go on.
int LoadFile(CommandRun &run, bool refuseDamaged);
// The same for a file other than the command's own (compare's two).
int LoadFile(CommandRun &run, const std::string &path, bool refuseDamaged);
// Check, with the exit status of a refusal; 0 when it passed.
int Check(CommandRun &run);
// Runs a chain of device operations after a passed check; the exit status
// of its outcome, noted for the production table.
int Chained(CommandRun &run, Chain chain, ChainRun chainRun);
// Refusal of a command that needs a device when none is selected.
int RefuseNoDevice(CommandRun &run);
// --config of program and verify: the fields set in the image by name
// (ExitUsage on a name the part lacks).
int ApplyConfigSettings(CommandRun &run);
// program: a file that sets no configuration is refused (the texts say what
// the chip would get) unless --config or --keep-config decides.
int RefuseMissingConfiguration(CommandRun &run);
