// What a load says before its problems (the clear, the device the file
// chose) and once it has loaded, for the window and the command line.
#pragma once

#include "ReportLines.h"
#include "Reports.h"
#include "texts/Audience.h"

// The clear a load made and the device it changed to; the window tells the
// clear itself before the load and shows the device in its list.
ReportLines LoadStartLines(const LoadReport &report, Audience who);
// The file loaded: the log line and the status line.
ReportLines LoadedLines(const LoadReport &report);
