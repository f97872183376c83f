#include "CliSession.h"

#include <atomic>
#include <csignal>

#include "CommandRun.h"
#include "Session.h"
#include "TerminalView.h"
#include "commands/Commands.h"
#include "link/WireTrace.h"
#include "support/FileErrorText.h"
#include "support/interrupt.h"
#include "texts/terminal_texts.h"

namespace {

// The word or two a script matches on, for a command that noted none.
const char *ResultFor(int status)
{
    switch (status) {
    case ExitSuccess:
        return "ok";
    case ExitNegative:
        return "failed";
    case ExitRefused:
        return "refused";
    case ExitFileError:
        return "file error";
    case ExitUsage:
        return "usage";
    case ExitInternal:
        return "internal error";
    default:
        return status > 128 ? "interrupted" : "failed";
    }
}

// The --json result object of a run that ended with status: the command,
// device, port and result, what the run noted, the messages shown.
JsonObject ResultObject(const CommandRun &run, const std::vector<std::string> &messages, int status)
{
    const CliOptions &options = run.options;
    const DeviceSelection device = run.session.Device();
    // The port as the user named it (-p), as the settings or the search
    // chose it, or as it is still open; the command has closed it by now.
    std::string port = run.session.Port().PortName();
    if (!run.pathOverride.empty())
        port = run.pathOverride;
    else if (port.empty())
        port = options.port.empty() ? run.chosenPort : options.port;
    JsonObject out;
    out["command"] = CommandWord(options.command);
    out["device"] = device.Index >= 0 ? JsonObject(SelectedDeviceName(device)) : JsonObject(nullptr);
    out["port"] = port.empty() ? JsonObject(nullptr) : JsonObject(port);
    out["result"] = run.result.empty() || status > 128 ? ResultFor(status) : run.result;
    // How the link was lost, for a script to tell a noisy cable from a board
    // that is gone.
    if (run.outcome && run.outcome->LostLink()) out["link_error"] = LinkFaultWord(run.outcome->linkFault);
    if (run.idRead) AddDeviceIdFields(out, *run.idRead);
    for (const auto &field : run.fields.items())
        out[field.key()] = field.value();
    out["messages"] = messages;
    out["exit_status"] = status;
    return out;
}

} // namespace

namespace {

struct CommandEntry {
    CliCommand command;
    const char *word;
    int (*run)(CommandRun &);
};

constexpr CommandEntry Commands[] = {
    {CliCommand::Ports, "ports", PortsCommand},          {CliCommand::Version, "version", VersionCommand},
    {CliCommand::Devices, "devices", DevicesCommand},    {CliCommand::Identify, "identify", IdentifyCommand},
    {CliCommand::Read, "read", ReadCommand},             {CliCommand::Program, "program", ProgramCommand},
    {CliCommand::Verify, "verify", VerifyCommand},       {CliCommand::Erase, "erase", EraseCommand},
    {CliCommand::Blank, "blank", BlankCommand},          {CliCommand::Dump, "dump", DumpCommand},
    {CliCommand::Config, "config", ConfigCommand},       {CliCommand::Kept, "kept", KeptCommand},
    {CliCommand::Compare, "compare", CompareCommand},
};

} // namespace

const char *CommandWord(CliCommand command)
{
    for (const CommandEntry &entry : Commands)
        if (entry.command == command) return entry.word;
    return "";
}

CliSession::CliSession(const CliOptions &options, TerminalFrontEnd &ui)
    : options_(options), ui_(ui), session_(std::make_unique<Session>(CliSettingsPath(options), ui, CliTrace())),
      run_(std::make_unique<CommandRun>(options, ui, *session_))
{
}

CliSession::~CliSession() = default;

const MemoryBuffer &CliSession::Buffer() const { return session_->Buffer(); }
DeviceSelection CliSession::Selection() const { return session_->Device(); }
const std::string &CliSession::DeviceIdRead() const { return run_->deviceIdRead; }
const std::string &CliSession::Result() const { return run_->result; }
const std::optional<OperationResult> &CliSession::LastOutcome() const { return run_->outcome; }

void CliSession::ForChip(const MemoryBuffer *image, DeviceSelection device, const std::string &quietPath)
{
    run_->forChip = true;
    run_->image = image;
    run_->imageDevice = device;
    run_->quietPath = quietPath;
}

const std::string &CliSession::ClosedQuietPath()
{
    return session_->Port().ClosedQuietPath();
}

bool CliSession::SelectDevice(std::string &error)
{
    // A settings file the user named must be the one used.
    const SettingsFile &settings = session_->Settings();
    if (!options_.settings.empty() && settings.LoadState() == SettingsFile::State::Unreadable) {
        error = options_.settings + ": " + FileErrorReason(settings.LoadError());
        return false;
    }
    if (!session_->SelectDevice(options_.device).Ok()) {
        error = "unknown device '" + options_.device + "' (see tarnvik-cli devices)";
        return false;
    }
    error = EraseCalibrationProblem(options_, session_->Device());
    return error.empty();
}

int CliSession::Prepare()
{
    std::string error;
    if (!SelectDevice(error)) {
        ui_.Error(error);
        return ExitUsage;
    }
    if (options_.file.empty()) return ExitSuccess;
    try {
        // Many chips are to get this image: a damaged file stops them all.
        if (const int refused = LoadFile(*run_, true)) return refused;
    } catch (const HexFileError &e) {
        ui_.DropStatus();
        ui_.Error(e.what());
        return ExitFileError;
    }
    // The chips' copies carry the settings already; applied again to a copy
    // they change nothing and log nothing.
    if (const int bad = ApplyConfigSettings(*run_)) return bad;
    return options_.command == CliCommand::Program ? RefuseMissingConfiguration(*run_) : ExitSuccess;
}

void CliSession::TellTraceState()
{
    const std::shared_ptr<WireTrace> &trace = CliTrace();
    if (!trace) return;
    const int error = trace->Finish();
    run_->fields["trace_incomplete"] = error != 0;
    // Once a run: the sessions of a --repeat run share the trace.
    static std::atomic<bool> told{false};
    if (error != 0 && !told.exchange(true)) ui_.Error(TraceIncompleteText(trace->Path(), error));
}

int CliSession::Run()
{
    // Without --json an internal error is main's to report.
    if (!options_.json) {
        const int status = RunCommand();
        TellTraceState();
        return status;
    }
    int status = ExitInternal;
    try {
        status = RunCommand();
    } catch (const std::exception &e) {
        ui_.Error(std::string("internal error: ") + e.what());
        run_->result = "internal error";
    } catch (...) {
        ui_.Error("internal error");
        run_->result = "internal error";
    }
    TellTraceState();
    ui_.Emit(ResultObject(*run_, ui_.Messages(), status));
    return status;
}

int CliSession::Dispatch()
{
    if (options_.autoDevice)
        if (const int refused = PickDeviceFromChip(*run_)) return refused;
    for (const CommandEntry &entry : Commands)
        if (entry.command == options_.command) return entry.run(*run_);
    return ExitSuccess;
}

int CliSession::RunCommand()
{
    std::string error;
    if (!SelectDevice(error)) {
        // A device name or calibration option the command line got wrong.
        ui_.Error(error);
        return ExitUsage;
    }
    int status = ExitSuccess;
    SerialPort &port = session_->Port();
    try {
        status = Dispatch();
    } catch (const HexFileError &e) {
        // The file's failure ends the command: a status written before it
        // (a cleared buffer) is no result.
        ui_.DropStatus();
        ui_.Error(e.what());
        port.ClosePort();
        return ExitFileError;
    }
    if (InterruptRequested()) {
        // The operation has left programming mode like after any failure;
        // what it was doing is the last status it set.
        ui_.DropStatus();
        port.ClosePort();
        const std::string what = ui_.Status();
        ui_.Interrupted(texts::InterruptedDuring(what));
        const int sig = InterruptSignal();
        return 128 + (sig ? sig : SIGINT);
    }
    ui_.FinishStatus();
    port.ClosePort();
    return status;
}
