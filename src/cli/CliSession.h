// One run of tarnvik-cli: the settings file, the selected device, the port,
// the command record and the buffer, as the window holds them, and the
// commands built from the core's operations.
#pragma once

#include <memory>
#include <string>

#include "CliOptions.h"
#include "PICCommand.h"
#include "TerminalFrontEnd.h"
#include "buffer.h"
#include "serial.h"
#include "settings.h"

// Exit statuses.
enum : int {
    ExitSuccess = 0,
    ExitNegative = 1, // mismatch, not blank, link failure
    ExitRefused = 2,  // the connection and device check refused
    ExitFileError = 3,
    ExitUsage = 64, // the command line asks for something that cannot be done
};

class CliSession {
public:
    CliSession(const CliOptions &options, TerminalFrontEnd &ui);
    // Runs the command; the exit status.
    int Run();

private:
    bool SelectDevice(std::string &error);
    void OpenPortForCommand();
    void OpenNamedPort(const std::string &name, const std::string &path);
    void ExplainOpenFailure(const std::string &path);
    ModemOptions Modem() const;
    // Buffer clear, then the file (the file's device first with auto-select),
    // read once. Skipped lines and a file without HEX data are reported on
    // stderr; with refuseDamaged they end the command (ExitFileError),
    // otherwise they are a warning. ExitSuccess when the command may go on.
    int LoadFile(bool refuseDamaged);
    // Check, with the exit status of a refusal; 0 when it passed.
    int Check();
    std::string QuotedName() const;

    int Ports();
    int Version();
    int Devices();
    int Identify();
    int Read();
    int Program();
    int Verify();
    int Erase();
    int Blank();
    int Dump();
    // Configuration bits by name: the config command, devices --config, and
    // --config of program and verify (ExitUsage on a name the part lacks).
    int Config();
    int ConfigList();
    int ApplyConfigSettings();

    const CliOptions &options_;
    TerminalFrontEnd &ui_;
    SettingsFile settings_;
    SerialPort port_;
    TCommand cmd_;
    std::unique_ptr<MemoryBuffer> buffer_;
    // -p with a device path: the port name it is opened under.
    std::string pathName_, pathOverride_;
};

// The window's settings file for a program in the same folder as this one.
std::string WindowSettingsPath();
