// What the main window and the Small Box dialog say outside their controls'
// captions and hints: statuses, log lines, boxes, the names screen readers
// read, and the fonts the window is drawn in.
#pragma once

#include <string>

#include "texts/load_texts.h"

namespace texts {

// ---- fonts ----
// The first choice of the window's proportional and fixed-pitch fonts.
std::string WindowFontFamily();
std::string FixedFontFamily();

// ---- names read out ----
std::string StatusBarName();
std::string ProgressBarName();
// The open list of a drop-down named caption.
std::string ListOf(const std::string &caption);
// The menu a "v" button opens beside the command caption.
std::string MenuOf(const std::string &caption);
// The address field beside a Configuration slot.
std::string AddressOf(const std::string &caption);

// A verify difference at one address: what the file and the device hold.
std::string DifferenceAt(const std::string &address, const std::string &file, const std::string &chip);
// Said after the status while a close waits for the running command.
std::string CloseAfterCommand();
std::string TraceUnwritable(const std::string &error);
std::string TraceRecording(const std::string &path);
// On standard error when an ending signal finds the settings unwritable.
std::string SettingsUnwritableLine(const std::string &path);

// ---- boxes ----
std::string WarningTitle();
std::string YesButton();
std::string NoButton();
std::string RetryButton();
// The settings could not be written at a close: end anyway, stay, or retry.
std::string SettingsUnwritableQuestion();
// A warning about the calibration an erase would lose, asked to go on.
std::string EraseAnywayQuestion(const std::string &warning);
// The open and save dialogs' file types.
std::string HexFileFilter();

// ---- the configuration bits dialog ----
std::string ConfigBitsTitle(const std::string &device);
std::string BitsOfMask(const std::string &mask);
std::string UnnamedValue(const std::string &value);

} // namespace texts
