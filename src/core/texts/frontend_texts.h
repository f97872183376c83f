// What every front end says unless it words it itself: the defaults of the
// seam between the core and the user, in the window's words.
#pragma once

#include <string>

namespace texts {

// A step done and the next one, as the window's status bar joins them (by a
// full-width blank).
std::string DoneThenNext(const std::string &done, const std::string &next);

// The firmware echoed a row-write code but failed the test block after it.
std::string ProtocolError();
// How the user puts calibration words back that an erase could not
// restore: cal2 is empty for a part with one calibration word.
std::string CalibrationRestoreHint(const std::string &cal1, const std::string &cal2);
// What the user does when no port is open: the Option tab opens one.
std::string OpenPortAdvice();
// How the user puts back what a program kept of a chip; port and path are
// quoted for the shell already, only names the memories as --only does.
std::string KeptRestoreHint(const std::string &port, const std::string &device, const std::string &only,
                            const std::string &path);

} // namespace texts
