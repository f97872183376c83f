// tarnvik-cli: the Tarnbox driven from scripts, Makefiles and production
// benches, through the same core as the window.
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <exception>

#include "CliOptions.h"
#include "CliSession.h"
#include "Json.h"
#include "Production.h"
#include "support/StandardStreams.h"
#include "StopSignals.h"
#include "TerminalFrontEnd.h"
#include "support/version.h"
#include "texts/terminal_texts.h"

namespace {

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
    // Leaving out the blank check is for a production bench, where every
    // chip is verified whole anyway.
    if (options.fastCycle && !options.repeat && options.ports.size() < 2) {
        const std::string text = texts::FastCycleNeedsRepeat();
        std::fprintf(stderr, "tarnvik-cli: %s\n", text.c_str());
        if (options.json)
            WriteJsonLine(stdout, RunEndObject(CommandWord(options.command), "refused", {text}, ExitRefused));
        return ExitRefused;
    }
    // Before any port is opened, in every mode: from here on no signal can
    // end the program between an erase and its calibration write-back.
    CatchStopSignals(options.repeat);
    if (!options.trace.empty() && !StartCliTrace(options, args, error)) {
        std::fprintf(stderr, "tarnvik-cli: %s\n", error.c_str());
        if (options.json)
            WriteJsonLine(stdout, RunEndObject(CommandWord(options.command), "file error", {error}, ExitFileError));
        return ExitFileError;
    }
    if (options.Production()) return RunProduction(options);
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
    // First of all: a closed stdout must not become the serial port.
    OpenClosedStandardStreams();
    // A file-size limit (ulimit -f) ends a write with EFBIG, which is
    // reported, instead of the program, maybe between an erase and the
    // write-back of what it kept.
    std::signal(SIGXFSZ, SIG_IGN);
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
