// version: this program's version and the programmer's.
#include <cmath>

#include "Commands.h"
#include "RoundTripLines.h"
#include "link/discovery.h"
#include "support/version.h"
#include "texts/port_texts.h"
#include "texts/terminal_texts.h"

namespace {

// A port on another machine: its round trip, and what a long one costs.
void ShowRoundTrip(CommandRun &run)
{
    const std::optional<double> ms = run.session.Port().LastRoundTripMs();
    if (!ms) return;
    run.fields["round_trip_ms"] = std::round(*ms * 10) / 10;
    run.ui.Print(texts::RoundTrip(*ms));
    if (const std::string slow = SlowRoundTripLine(*ms, run.session.Device()); !slow.empty()) run.ui.Print(slow);
}

} // namespace

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
        ShowRoundTrip(run);
        return ExitSuccess;
    }
    run.ui.AddLogShowingMessages(texts::NoControllerVersion());
    run.ui.StatusRepeatsLog(texts::NoControllerVersion());
    return ExitRefused;
}
