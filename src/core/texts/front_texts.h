// What the window and the command line both say, in the same words.
#pragma once

#include <string>

namespace texts {

// also said by the operations
// No device is selected: the log line and the status.
std::string NoDeviceSelected();
std::string SelectDeviceStatus();

// The step done and the next one on one status line, joined by a
// full-width blank as the window's status bar shows them.
std::string StatusThenNext(const std::string &done, const std::string &next);

} // namespace texts
