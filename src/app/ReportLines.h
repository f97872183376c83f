// A report made into what a front end shows: the lines in order, each with
// the channel it goes to, the status line among them where it is set. The window and the command
// line render these the same way each time; the texts are made once.
#pragma once

#include <string>
#include <vector>

struct ReportLine {
    enum class Kind {
        Log,      // the log (the terminal's normal output)
        LogShown, // the log, brought into view (the window's message page)
        Detail,   // only where the front end tells details (the verbose terminal)
        Error,    // a failure's own words (stderr on the terminal)
        Advice,   // what to do about the device nodes in devices
        Status,   // the status line from here on
        LogAsStatus, // the log, and the status line from here on
    };
    Kind kind = Kind::Log;
    std::string text;
    std::vector<std::string> devices;
};

struct ReportLines {
    std::vector<ReportLine> lines;
    void Add(ReportLine::Kind kind, std::string text) { lines.push_back({kind, std::move(text), {}}); }
};
