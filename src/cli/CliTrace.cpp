#include "CliTrace.h"

#include <filesystem>

#include "AppSettings.h"
#include "link/WireTrace.h"
#include "operations/CalibrationLog.h"
#include "settings/settings.h"

std::string WindowSettingsPath()
{
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec) return SettingsPathFor("");
    // The window is installed beside this program under the name tarnvik.
    return SettingsPathFor((exe.parent_path() / "tarnvik").string());
}

std::string CliSettingsPath(const CliOptions &options)
{
    return options.settings.empty() ? WindowSettingsPath() : options.settings;
}

std::shared_ptr<WireTrace> &CliTrace()
{
    static std::shared_ptr<WireTrace> trace;
    return trace;
}

bool StartCliTrace(const CliOptions &options, const std::vector<std::string> &args, std::string &error)
{
    const std::string settingsPath = CliSettingsPath(options);
    const AppSettings saved = ReadAppSettings(SettingsFile(settingsPath));
    const std::string device = options.device.empty() ? saved.device.name : options.device;
    const std::string port = options.port.empty() ? StartingPortChoice(saved) : options.port;
    // Every file the run reads or writes: a trace in the place of one would
    // empty it (the HEX file to program) or be emptied by it.
    std::vector<std::string> inUse{settingsPath, options.log, CalibrationLogPath()};
    if (options.file != "-") inUse.push_back(options.file);
    if (!options.serialState.empty()) {
        inUse.push_back(options.serialState);
        inUse.push_back(options.serialState + ".lock");
    }
    CliTrace() = WireTrace::Create(options.trace,
                                   TraceHeader("tarnvik-cli", device, port, TraceCommandText(args)), inUse,
                                   error);
    return CliTrace() != nullptr;
}
