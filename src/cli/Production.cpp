#include "Production.h"

#include <unistd.h>

#include <cstdio>

#include "ChipVerdict.h"
#include "CliPorts.h"
#include "CliSession.h"
#include "CommandRun.h"
#include "ProductionConsole.h"
#include "ProductionEngine.h"
#include "StopSignals.h"
#include "support/interrupt.h"
#include "texts/terminal_texts.h"

namespace {

void Error(const std::string &text)
{
    std::fprintf(stderr, "tarnvik-cli: %s\n", text.c_str());
}

ChipCommand ChipCommandFor(CliCommand command)
{
    switch (command) {
    case CliCommand::Verify:
        return ChipCommand::Verify;
    case CliCommand::Erase:
        return ChipCommand::Erase;
    case CliCommand::Blank:
        return ChipCommand::Blank;
    default:
        return ChipCommand::Program;
    }
}

// The run the command line asks for, on the part the loaded file settled.
ProductionPlan PlanFor(const CliOptions &options, DeviceSelection device)
{
    ProductionPlan plan;
    plan.file = options.file;
    plan.device = device;
    if (!options.ports.empty()) plan.ports = options.ports;
    plan.settingsPath = CliSettingsPath(options);
    // The command line's chips run its own command (CliChip); this is what
    // a Session's chip would run for it.
    plan.command = ChipCommandFor(options.command);
    plan.erase = options.erase;
    plan.verify = options.verify;
    plan.fastCycle = options.fastCycle;
    plan.choices = OperationChoicesFor(options);
    plan.serial = options.serial;
    plan.serialLayout = options.serialLayout;
    plan.serialStart = options.serialStart;
    plan.serialStep = options.serialStep;
    plan.serialStartGiven = options.serialStartGiven;
    plan.serialList = options.serialList;
    plan.serialState = options.serialState;
    plan.log = options.log;
    plan.onPass = options.onPass;
    plan.onFail = options.onFail;
    plan.hookSeconds = options.hookSeconds;
    plan.repeat = options.repeat;
    return plan;
}

// A chip of the command line: the whole command through a CliSession of its
// own over the chip's copy of the image, its lines prefixed with its port.
// (--json, the kept memories, the trace and the terminal's texts are the
// CliSession's, which a bare Session chip does not give.)
class CliChip : public ChipWork {
public:
    CliChip(const CliOptions &options, const ProductionPlan &plan, const std::vector<std::string> &labels,
            Console &console)
        : options_(options), plan_(plan), labels_(labels), console_(console), quietPaths_(plan.ports.size())
    {
    }
    ChipResult Run(size_t port, const MemoryBuffer *image, std::optional<uint64_t> number) override
    {
        CliOptions own = options_;
        own.port = plan_.ports[port];
        PrefixStream out(console_, "[" + labels_[port] + "] ");
        PortFrontEnd ui(own, out.File(), console_, port);
        CliSession session(own, ui);
        session.ForChip(image, plan_.device, quietPaths_[port]);
        if (number) ui.Print(texts::SerialNumberLine(*number));
        const int status = session.Run();
        quietPaths_[port] = session.ClosedQuietPath();
        ChipResult row;
        row.deviceId = session.DeviceIdRead();
        SettleChipResult(row, session.Result(), status, session.LastOutcome());
        return row;
    }

private:
    const CliOptions &options_;
    const ProductionPlan &plan_;
    const std::vector<std::string> &labels_;
    Console &console_;
    // The device each port's last chip closed quiet; each entry is touched
    // only by its port's thread.
    std::vector<std::string> quietPaths_;
};

const char *HookOption(bool passed) { return passed ? "--on-pass" : "--on-fail"; }

// What the run says on the terminal, in English on stderr where it went
// wrong.
std::string ProblemText(const CliOptions &options, const std::vector<std::string> &labels, const ProductionError &e)
{
    switch (e.problem) {
    case ProductionProblem::SerialNeedsDevice:
        return "serial numbers need a device (-d)";
    case ProductionProblem::SerialPlaceRefused:
        return e.reason + (e.overlapsFile ? " (--serial-overwrite places it there anyway)" : "");
    case ProductionProblem::SerialTooLarge:
        return "serial number " + std::to_string(e.number) + " does not fit in " +
               std::to_string(options.serialLayout.bytes) +
               (options.serialLayout.format == SerialFormat::Ascii ? " digits" : " bytes") + " (--serial-bytes)";
    case ProductionProblem::HookFailed:
        return "[" + labels[e.port] + "] " + HookOption(e.passed) + " " + e.reason +
               "; the run stops after this round";
    default:
        return e.reason;
    }
}

class TerminalListener : public ProductionListener {
public:
    TerminalListener(const CliOptions &options, const std::vector<std::string> &labels, Console &console)
        : options_(options), labels_(labels), console_(console)
    {
    }
    void ChipsEnded() override { console_.EndProgress(); }
    void HookLine(size_t port, bool passed, const std::string &line) override
    {
        console_.Line("[" + labels_[port] + "] " + HookOption(passed) + ": " + line);
    }
    void RoundRecorded(const std::vector<ChipResult> &results) override
    {
        for (const std::string &line : ResultTable(results))
            console_.Line(line);
    }
    void Problem(const ProductionError &error) override { Error(ProblemText(options_, labels_, error)); }
    void SerialsContinue(uint64_t next) override
    {
        Error("serial numbers continue from " + options_.serialState + " at " + std::to_string(next));
    }

private:
    const CliOptions &options_;
    const std::vector<std::string> &labels_;
    Console &console_;
};

// The answer after a round: on a terminal after a prompt, else a line. Only
// an empty line programs the next chips; a line that is neither (quit, exit,
// stop) is asked again.
NextRound WaitForNextChips(size_t ports)
{
    for (;;) {
        if (StopAfterRound()) return NextRound::Stop;
        if (isatty(STDIN_FILENO)) {
            std::fputs(texts::NextChipsPrompt(ports > 1).c_str(), stderr);
            FlushOutput(stderr);
        }
        const NextRound next =
            WaitForNextRound(STDIN_FILENO, [] { return StopAfterRound() || InterruptRequested(); });
        if (StopAfterRound() && isatty(STDIN_FILENO)) std::fputc('\n', stderr);
        if (next != NextRound::Unclear) return next;
        // A line other than Enter or q is answered before the question
        // comes again.
        std::fprintf(stderr, "%s\n", texts::UnclearNextChipsAnswer().c_str());
        FlushOutput(stderr);
    }
}

} // namespace

int RunProduction(const CliOptions &options)
{
    // The file is loaded once, for every port and every chip.
    TerminalFrontEnd loaderUi(options, stdout, stderr, false);
    CliSession loader(options, loaderUi);
    if (const int refused = loader.Prepare()) return refused;
    loaderUi.DropStatus();
    const ProductionPlan plan = PlanFor(options, loader.Selection());
    const std::vector<std::string> labels = PortLabels(plan.ports);
    Console console(labels, isatty(STDERR_FILENO) == 1 && options.verbosity != Verbosity::Quiet);
    CliChip chip(options, plan, labels, console);
    TerminalListener listener(options, labels, console);
    ProductionEngine engine(plan, loader.Buffer(), chip, listener);
    if (const int refused = engine.Open()) return refused;
    BoardReturn boards(CliSettingsPath(options), plan.ports);
    for (bool more = true; more;) {
        more = engine.RunRound();
        // A signal that stopped the operations ends the run; one that came in
        // a --repeat round only after the round.
        if (!options.repeat || !more || InterruptRequested()) break;
        more = WaitForNextChips(labels.size()) == NextRound::Again;
        // A board unplugged to change its chip may not be back yet.
        if (more) more = boards.Wait([] { return StopAfterRound() || InterruptRequested(); });
    }
    if (options.repeat)
        for (const std::string &line : engine.Totals().Lines())
            console.Line(line);
    return engine.Worst();
}
