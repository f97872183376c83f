#include "CommandRun.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "ChipVerdict.h"
#include "Naming.h"
#include "TerminalView.h"
#include "image/hex.h"
#include "operations/regions.h"
#include "support/StandardStreams.h"
#include "texts/load_texts.h"
#include "texts/port_texts.h"

CommandRun::~CommandRun()
{
    if (!scratch.empty()) std::remove(scratch.c_str());
}

OperationChoices OperationChoicesFor(const CliOptions &options)
{
    OperationChoices choices;
    choices.smallBlock = options.smallBlock;
    choices.verifyUserId = options.verifyUserId;
    choices.calibChange = !options.cal1.empty() || !options.cal2.empty();
    choices.cal1 = options.cal1;
    choices.cal2 = options.cal2;
    choices.calibrationLogOptional = options.noCalibrationLog;
    choices.regions = options.regions | (options.keepEeprom ? RegionEEData : 0u);
    return choices;
}

OperationOptions CommandRun::Options() const
{
    return OperationOptionsFor(OperationChoicesFor(options));
}

std::string CommandRun::QuotedName() const
{
    return "\"" + FileBaseName(options.file) + "\"";
}

std::string CommandRun::ScratchFile()
{
    if (!scratch.empty()) return scratch;
    const char *tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tarnvik-cli.XXXXXX";
    const int fd = mkstemp(pattern.data());
    if (fd < 0) throw HexFileError(pattern, errno);
    close(fd);
    scratch = pattern;
    return scratch;
}

void CommandRun::NoteDeviceId(std::optional<uint16_t> id)
{
    idRead = id;
    if (idRead) deviceIdRead = DeviceIdText(*idRead);
}

void OpenPortForCommand(CommandRun &run)
{
    Session &session = run.session;
    PortChoice choice = run.options.port.empty() ? session.StartingChoice() : session.NamedChoice(run.options.port);
    choice.quietPath = run.quietPath;
    if (choice.how == PortHow::Path && choice.lookupError.empty()) {
        run.pathOverride = choice.path;
        // The user gave a path: every message names the port by it.
        run.ui.NamePortByPath(choice.name, choice.path);
    }
    if (choice.how == PortHow::Searched) run.ui.Detail(texts::CheckingPorts());
    const PortChosen chosen = session.OpenPort(choice);
    if (choice.how == PortHow::Fixed || (choice.how == PortHow::Searched && chosen.searchResult == 0))
        run.chosenPort = chosen.port;
    ShowPortChosen(run.ui, chosen);
}

int LoadFile(CommandRun &run, bool refuseDamaged)
{
    if (run.image) {
        // The image was read and judged once, before the chips were started.
        run.session.UseImage(*run.image, run.imageDevice);
        return ExitSuccess;
    }
    return LoadFile(run, run.options.file, refuseDamaged);
}

int LoadFile(CommandRun &run, const std::string &path, bool refuseDamaged)
{
    // Standard input the caller closed is /dev/null now: no file at all.
    if (path == "-" && StandardStreamWasClosed(STDIN_FILENO))
        throw HexFileError(path, EBADF, "standard input is closed");
    const LoadReport report = run.session.Load(path, LoadMode::New, run.options.autoSelect);
    run.configGiven = report.configurationSet;
    return ShowLoad(run.ui, run.fields, report, refuseDamaged);
}

int Check(CommandRun &run)
{
    const CheckReport report = run.session.Check(run.Options());
    const OperationResult &check = report.result;
    // The check's own reads name the chip: reading again would only add a
    // programming-mode entry per chip.
    if (run.forChip && report.reachedChip) run.NoteDeviceId(check.deviceId);
    if (check.refusal == Refusal::WrongDevice) ExplainWrongChip(run.ui, run.session.Device(), check.deviceId);
    if (check.Ok()) return ExitSuccess;
    run.outcome = check;
    const ChipVerdict verdict = CheckVerdict(check);
    run.result = verdict.result;
    return verdict.status;
}

int Chained(CommandRun &run, Chain chain, ChainRun chainRun)
{
    chainRun.progress = &run.ui.MainProgress();
    const StepEnded ended = run.session.RunChain(chain, chainRun, run.Options());
    run.outcome = ended.outcome;
    // The copy of what the chip was to keep, where it may be gone from the chip.
    if (ended.keptPending) run.fields["kept_copy"] = chainRun.kept->path;
    if (!ended.outcome.differing.empty()) run.fields["differences"] = DifferencesObject(ended.outcome);
    const ChipVerdict verdict = ChainVerdict(ended);
    run.result = verdict.result;
    return verdict.status;
}

int RefuseNoDevice(CommandRun &run)
{
    run.ui.AddLogShowingMessages(texts::NoDeviceSelected());
    run.ui.SetStatus(texts::SelectDeviceRefusal());
    return ExitRefused;
}

int RefuseMissingConfiguration(CommandRun &run)
{
    const CliOptions &options = run.options;
    if (run.configGiven || !options.configSettings.empty() || options.keepConfig ||
        !(options.regions & RegionConfig))
        return ExitSuccess;
    run.ui.DropStatus();
    run.ui.Error(MissingConfigurationText(FileBaseName(options.file), run.session.Device(), run.session.Buffer()));
    run.ui.Error(texts::ConfigurationNeeded());
    run.result = "no configuration";
    return ExitFileError;
}
