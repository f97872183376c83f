// tarnvik-cli: the Tarnbox driven from scripts, Makefiles and production
// benches, through the same core as the window.
#include <unistd.h>

#include <cstdio>
#include <exception>

#include "CliOptions.h"
#include "CliSession.h"
#include "Production.h"
#include "StandardStreams.h"
#include "StopSignals.h"
#include "TerminalFrontEnd.h"
#include "version.h"

namespace {

// Exit status for a failure inside the program itself (sysexits' EX_SOFTWARE).
constexpr int ExitInternal = 70;

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
    // Before any port is opened, in every mode: from here on no signal can
    // end the program between an erase and its calibration write-back.
    CatchStopSignals(options.repeat);
    if (options.Production()) return RunProduction(options);
    TerminalFrontEnd ui(options, stdout, stderr, isatty(STDERR_FILENO) == 1);
    CliSession session(options, ui);
    return session.Run();
}

} // namespace

int main(int argc, char **argv)
{
    // First of all: a closed stdout must not become the serial port.
    OpenClosedStandardStreams();
    try {
        return Run(argc, argv);
    } catch (const std::exception &e) {
        std::fprintf(stderr, "tarnvik-cli: internal error: %s\n", e.what());
    } catch (...) {
        std::fprintf(stderr, "tarnvik-cli: internal error\n");
    }
    return ExitInternal;
}
