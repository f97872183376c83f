// What the opening of a run's port (or the search) says, for the window's
// start-up and search and for the command line.
#pragma once

#include <string>

#include "ReportLines.h"
#include "Reports.h"
#include "texts/Audience.h"

// label: the name the front end gives the port asked for by name (the
// terminal names a path it was given by the path).
ReportLines PortChosenLines(const PortChosen &chosen, Audience who, const std::string &label = {});
