// tarnvik-cli: the Tarnbox driven from scripts, Makefiles and production
// benches, through the same core as the window.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <exception>

#include "CliOptions.h"
#include "CliSession.h"
#include "Json.h"
#include "Production.h"
#include "TerminalFrontEnd.h"
#include "interrupt.h"
#include "version.h"

namespace {

// The first SIGINT or SIGTERM asks the running operation to stop at its next
// command boundary, so the programmer is left out of programming mode. A
// second one ends the program at once, unless an erase holds requests back
// until its calibration write-back is done.
extern "C" void OnStopSignal(int sig)
{
    if (InterruptRequested() && !InterruptHeld()) {
        ::signal(sig, SIG_DFL);
        ::raise(sig);
        return;
    }
    RequestInterrupt(sig);
}

void CatchStopSignals()
{
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

// answered: the session has taken over the --json result object, which it
// writes whatever ends the command.
int Run(const std::vector<std::string> &args, bool &answered)
{
    CliOptions options;
    std::string error;
    if (!ParseCommandLine(args, options, error)) {
        std::fprintf(stderr, "tarnvik-cli: %s\nTry 'tarnvik-cli --help'.\n", error.c_str());
        if (options.json || AsksForJson(args))
            WriteJsonLine(stdout, RunEndObject(CommandWord(options.command), "usage", {error}, ExitUsage));
        return ExitUsage;
    }
    if (options.command == CliCommand::Help) {
        std::fputs(UsageText(), stdout);
        return ExitSuccess;
    }
    if (options.command == CliCommand::ProgramVersion) {
        std::printf("%s\n", VersionLine("tarnvik-cli").c_str());
        return ExitSuccess;
    }
    if (options.Production()) return RunProduction(options);
    CatchStopSignals();
    TerminalFrontEnd ui(options, stdout, stderr, isatty(STDERR_FILENO) == 1);
    CliSession session(options, ui);
    answered = options.json;
    return session.Run();
}

} // namespace

int main(int argc, char **argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    bool answered = false;
    std::string what = "internal error";
    try {
        return Run(args, answered);
    } catch (const std::exception &e) {
        what += std::string(": ") + e.what();
    } catch (...) {
    }
    std::fprintf(stderr, "tarnvik-cli: %s\n", what.c_str());
    if (!answered && AsksForJson(args))
        WriteJsonLine(stdout, RunEndObject("", "internal error", {what}, ExitInternal));
    return ExitInternal;
}
