// version: this program's version and the programmer's.
#include "Commands.h"
#include "link/discovery.h"
#include "support/version.h"

int VersionCommand(CommandRun &run)
{
    OpenPortForCommand(run);
    run.ui.AddLog(std::string("ソフトウェアバージョン ") + SoftwareVersion);
    Link link{run.session.Port(), run.session.Command(), run.ui};
    const std::string reply = AskProgrammerVersion(link);
    run.fields["software"] = SoftwareVersion;
    run.fields["controller"] = IsProgrammerReply(reply) ? JsonObject(reply) : JsonObject(nullptr);
    if (IsProgrammerReply(reply)) {
        run.ui.Print("コントローラバージョン " + reply);
        return ExitSuccess;
    }
    run.ui.AddLogShowingMessages("コントローラバージョンが取得できません。");
    run.ui.SetStatus("コントローラバージョンが取得できません。");
    return ExitRefused;
}
