// tarnvik-cli: the Tarnbox driven from scripts, Makefiles and production
// benches, through the same core as the window.
#include <unistd.h>

#include <cstdio>

#include "CliOptions.h"
#include "CliSession.h"
#include "Production.h"
#include "TerminalFrontEnd.h"
#include "version.h"

int main(int argc, char **argv)
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
    TerminalFrontEnd ui(options, stdout, stderr, isatty(STDERR_FILENO) == 1);
    CliSession session(options, ui);
    return session.Run();
}
