#include "PortReportLines.h"

#include <cerrno>

#include "texts/port_texts.h"

namespace {

using Kind = ReportLine::Kind;

// An open refused for lack of permission on a device the map names.
bool Denied(const PortChosen &chosen)
{
    return !chosen.choice.path.empty() && (chosen.openErrno == EACCES || chosen.openErrno == EPERM);
}

void NamedPort(ReportLines &out, const PortChosen &chosen, const std::string &label)
{
    const PortChoice &choice = chosen.choice;
    if (!choice.lookupError.empty()) {
        // usb:SERIAL that no device (or more than one) answers to.
        out.Add(Kind::LogShown, texts::PortCannotOpen(choice.asked));
        out.Add(Kind::Error, choice.lookupError);
        return;
    }
    if (chosen.opened) {
        // The user gave a path: every message names the port by it.
        out.Add(Kind::Detail, choice.name == choice.path || choice.how == PortHow::Path
                                  ? texts::PortOpened(choice.path)
                                  : texts::PortOpenedAt(choice.name, choice.path));
        return;
    }
    out.Add(Kind::LogShown, texts::PortCannotOpen(label.empty() ? choice.name : label));
    out.Add(Kind::Error, chosen.openError);
    if (Denied(chosen)) out.lines.push_back({Kind::Advice, {}, {choice.path}});
}

void FixedPort(ReportLines &out, const PortChosen &chosen, Audience who)
{
    const bool window = who != Audience::Terminal;
    const std::string &name = chosen.choice.name;
    if (name.empty()) {
        out.Add(Kind::Log, texts::FixedPortUnnamed());
        out.Add(Kind::Log, texts::OpenTheBoardsPort());
        if (window) out.Add(Kind::Status, texts::PortNumberMissing());
        return;
    }
    if (!chosen.opened) {
        out.Add(Kind::Log, texts::FixedPortCannotOpen(name));
        // The window puts the advice before the request, the terminal its
        // failure after it.
        if (window && Denied(chosen)) out.lines.push_back({Kind::Advice, {}, {chosen.choice.path}});
        out.Add(Kind::Log, texts::OpenTheBoardsPort());
        if (window) {
            out.Add(Kind::Status, texts::OpenAPort());
            return;
        }
        out.Add(Kind::Error, chosen.openError);
        if (Denied(chosen)) out.lines.push_back({Kind::Advice, {}, {chosen.choice.path}});
        return;
    }
    if (!window) {
        out.Add(Kind::Detail, texts::PortOpened(name));
        return;
    }
    // The window asks the programmer at once.
    if (chosen.programmer.value_or(false)) {
        out.Add(Kind::Log, texts::PortOpened(name));
        out.Add(Kind::Log, texts::ProgrammerConfirmed());
        out.Add(Kind::Status, texts::PortOpenedWithProgrammer(name));
    } else {
        out.Add(Kind::LogAsStatus, texts::NoProgrammerOn(name));
    }
}

void Search(ReportLines &out, const PortChosen &chosen, Audience who)
{
    const bool window = who != Audience::Terminal;
    // A port the user may not open may be the board's: the window says so
    // after every search, the terminal when nothing was found.
    if (!chosen.denied.empty() && (window || chosen.searchResult != 0))
        out.lines.push_back({Kind::Advice, {}, chosen.denied});
    const Kind failure = window ? Kind::Log : Kind::LogShown;
    const Kind success = window ? Kind::Log : Kind::Detail;
    if (chosen.searchResult == -1) {
        out.Add(failure, texts::NoUsablePort());
        if (window) out.Add(Kind::Status, texts::NoUsablePort());
    } else if (chosen.searchResult == 1) {
        out.Add(failure, texts::CheckProgrammerConnection());
        if (window) out.Add(Kind::Status, texts::CheckProgrammerConnection());
    } else {
        out.Add(success, texts::SearchOpenedPort(chosen.port));
        out.Add(success, texts::ProgrammerConfirmed());
        if (window) out.Add(Kind::Status, texts::PortOpenedWithProgrammer(chosen.port));
    }
}

} // namespace

ReportLines PortChosenLines(const PortChosen &chosen, Audience who, const std::string &label)
{
    ReportLines out;
    // The window tells an adapter's notice as the port opens, the terminal
    // as a failure's words at the end.
    const bool window = who != Audience::Terminal;
    if (window && !chosen.notice.empty()) out.Add(Kind::Log, chosen.notice);
    switch (chosen.choice.how) {
    case PortHow::Named:
    case PortHow::Path:
        NamedPort(out, chosen, label);
        break;
    case PortHow::Fixed:
        FixedPort(out, chosen, who);
        break;
    case PortHow::Searched:
        Search(out, chosen, who);
        break;
    }
    if (!window && !chosen.notice.empty()) out.Add(Kind::Error, chosen.notice);
    return out;
}
