// What tarnvik-cli says on the terminal beyond what the operations say:
// its progress line, its advice, its commands' own lines and the questions
// of a production run.
#pragma once

#include <string>
#include <vector>

#include "texts/chain_texts.h"
#include "texts/operation_texts.h"
#include "texts/port_texts.h"

namespace texts {

// ---- the progress line ----
std::string ErasePhase();
std::string BlankCheckPhase();
std::string ProgramPhase();
std::string VerifyPhase();
std::string ReadPhase();
std::string TimeLeft(int seconds);

// ---- advice ----
// A port that would not open: name one with -p.
std::string OpenPortAdviceForTerminal();
// An erase would lose the calibration and nobody can be asked.
std::string ErasedCalibrationNeedsValues();
// The command line that writes a kept value or copy back.
std::string RestoreWith(const std::string &commandLine);
std::string FastCycleNeedsRepeat();

// ---- a run ----
// The run was interrupted during what (empty when nothing was said yet).
std::string InterruptedDuring(const std::string &what);
std::string SerialNumberLine(unsigned long long number);
// What the prompt after a round asks; manyBoards when several ports run.
std::string NextChipsPrompt(bool manyBoards);
std::string UnclearNextChipsAnswer();

// ---- ports ----
std::string PortNoProgrammer();
std::string PortDenied();
std::string PortUnusable();

// ---- devices and identify ----
// A configuration field's other names, led by a blank; empty without any.
std::string ConfigAliases(const std::vector<std::string> &aliases);
std::string DeviceIdUnconfirmedLog();

// ---- program, read, kept, version ----
// A bulk erase takes every memory, so --only must name them all.
std::string RegionEraseNeedsAll(const std::string &device, bool hasEEData);
// The data written differs from the file's: the device's Configuration
// was kept.
std::string ChecksumOfKeptConfiguration(const std::string &checksumText, const std::string &fileChecksum);
std::string KeptCopyRestored(const std::string &path);
// program --skip-identical: the chip holds the image already and is left
// as it is; or its protection hides what it holds, so it is programmed.
std::string ChipAlreadyHoldsImage();
std::string ProtectedChipProgrammedAnyway();
std::string NoKeptCopies(const std::string &folder);
std::string SavedFileLog(const std::string &quotedName);
std::string SavedFileStatus(const std::string &quotedName);

} // namespace texts
