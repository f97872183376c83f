// tarnvik-cli: the Tarnbox driven from scripts, Makefiles and production
// benches, through the same core as the window.
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <exception>

#include "CliOptions.h"
#include "CliSession.h"
#include "Production.h"
#include "TerminalFrontEnd.h"
#include "interrupt.h"
#include "version.h"

namespace {

// Exit status for a failure inside the program itself (sysexits' EX_SOFTWARE).
constexpr int ExitInternal = 70;

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

int Run(int argc, char **argv)
{
    CliOptions options;
    std::string error;
    if (!ParseCommandLine(std::vector<std::string>(argv + 1, argv + argc), options, error)) {
        std::fprintf(stderr, "tarnvik-cli: %s\nTry 'tarnvik-cli --help'.\n", error.c_str());
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
    return session.Run();
}

} // namespace

int main(int argc, char **argv)
{
    try {
        return Run(argc, argv);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "tarnvik-cli: internal error: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "tarnvik-cli: internal error\n");
    }
    return ExitInternal;
}
