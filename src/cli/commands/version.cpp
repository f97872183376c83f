// version: this program's version and the programmer's.
#include "Commands.h"
#include "link/discovery.h"
#include "support/version.h"
#include "texts/terminal_texts.h"

int VersionCommand(CommandRun &run)
{
    OpenPortForCommand(run);
    run.ui.AddLog(texts::SoftwareVersionLine(SoftwareVersion));
    Link link{run.session.Port(), run.session.Command(), run.ui};
    const std::string reply = AskProgrammerVersion(link);
    run.fields["software"] = SoftwareVersion;
    run.fields["controller"] = IsProgrammerReply(reply) ? JsonObject(reply) : JsonObject(nullptr);
    if (IsProgrammerReply(reply)) {
        run.ui.Print(texts::ControllerVersionLine(reply));
        return ExitSuccess;
    }
    run.ui.AddLogShowingMessages(texts::NoControllerVersion());
    run.ui.StatusRepeatsLog(texts::NoControllerVersion());
    return ExitRefused;
}
