// What an erase says: the erase itself and the chip's calibration words it
// keeps, with their log. Addresses and values are in hexadecimal.
#pragma once

#include <string>

namespace texts {

std::string DeviceErased();
// The calibration words could not be read before the erase.
std::string CalibUnreadable();
std::string CalibNotRestoredStatus();
// The calibration words were erased already and the user stopped the erase.
std::string CalibErasedStop();
std::string CalibSlotRead(const std::string &address, const std::string &value);
std::string CalibSlotWritten(const std::string &address, const std::string &value);
// A value read that has every calibration bit set, and what the calibration
// log last recorded for the slot (or that it holds none).
std::string CalibValueErased(const std::string &address, const std::string &value);
std::string CalibLastRecorded(const std::string &value, const std::string &time, const std::string &deviceId);
std::string CalibNoneRecorded();
// How each word that could not be written back is put back.
std::string CalibRestoreValue(const std::string &address, const std::string &value);
std::string CalibReplacedByTyped();
// The part's erase keeps a word a typed value would go to (after " !! " in
// the status line).
std::string CalibChangeRefused();

// ---- the calibration log ----
// A log that could not be written where the erase goes on without it (also
// by a read that logs the words it found).
std::string CalibLogNotWritten(const std::string &path, const std::string &reason);
// An erase refused because the log could not take the words read.
std::string CalibLogRefused(const std::string &path, const std::string &reason);
std::string CalibLogRefusedStatus();

} // namespace texts
