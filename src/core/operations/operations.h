// The device operations: connection and DEVICE-ID check, read, program,
// verify, blank check and erase, for both device families. Each one copies
// the selected catalogue row at its start, talks to the programmer through
// the transfers, and reports only through the front end.
#pragma once

#include "FrontEnd.h"
#include "link/PICCommand.h"
#include "image/buffer.h"
#include "link/serial.h"

// What an operation works on: the open port, the shared command record, the
// buffer and the front end (which also tells the selected device, the family
// and the option states).
struct OperationContext {
    SerialPort &port;
    TCommand &cmd;
    MemoryBuffer &buffer;
    FrontEnd &ui;
};

// Results of CheckConnection.
enum : int {
    CheckPassed = 0,
    CheckNoPort = 1,
    CheckNoProgrammer = 2, // the reply does not begin with the model tag
    CheckNoDevice = 3,     // nothing selected in the device list
    CheckNoDeviceId = 4,   // the DEVICE-ID reads as zero after masking
    CheckWrongDevice = 5,  // the chip carries another DEVICE-ID
    CheckLinkLost = 6,     // the programmer stopped answering during a DEVICE-ID read
};

// Port, programmer, selection and DEVICE-ID, in that order; the first refusal
// writes its texts and ends the check. With dialogStatus the short refusal
// text also goes to the progress dialog's status text (Small Box commands).
int CheckConnection(OperationContext &ctx, bool dialogStatus = false);

// PIC18 operations run only on a firmware that answers the PIC18 query;
// false (after reporting the refusal) otherwise.
bool Pic18Gate(OperationContext &ctx);

// The progress argument is the main window's bar, the progress dialog's bar,
// or null for none. An operation handed the dialog's bar also writes its
// result into the dialog's status text.

// Reads the whole chip into the buffer. The buffer changes only when every
// word and byte arrived; false on a refused gate or an incomplete read.
bool ReadDevice(OperationContext &ctx, ProgressBar *progress);
// Reads only the chip's configuration words (PIC18: the 14 configuration
// bytes) into the buffer, for showing them by name without a full read. The
// buffer changes only when they all arrived; false otherwise.
bool ReadConfigWords(OperationContext &ctx);
// Writes the buffer's non-blank contents into the chip: 1 done, 0 refused or
// the programmer failed to confirm a command (the write stops there).
int ProgramDevice(OperationContext &ctx, ProgressBar *progress);
// 1 when the chip equals the buffer (through the device's masks), else 0.
int VerifyDevice(OperationContext &ctx, ProgressBar *progress);
// 1 when the chip is erased, else 0.
int BlankCheckDevice(OperationContext &ctx, ProgressBar *progress);
// The blank check for a chain that must tell a chip found not blank (0) from
// one that could not be judged (NotJudged: no device, a PIC18 gate refusal
// or a link failure, whose texts are written already).
constexpr int NotJudged = -1;
int BlankCheckOutcome(OperationContext &ctx, ProgressBar *progress);
// Whether an erase can replace the device's calibration words with typed
// values: false where its erase sequence keeps a word, which a typed value
// could only be ANDed onto. Erase refuses such a change before sending
// anything, with this text (after " !! " in the status line).
bool CalibChangeHonoured(const TDeviceSpec &device);
inline constexpr const char *CalibChangeRefusedText =
    "このデバイスではCALIBデータを変更できません。消去を中止しました。";
// The status line of an erase refused because the calibration log could not
// take the calibration words read; the front end is told why
// (CalibrationLogRefused).
inline constexpr const char *CalibLogRefusedStatus =
    " !! キャリブレーションログに書き込めないため消去を中止しました。";
// Bulk erase keeping the chip's calibration words (or replacing them with the
// CAL1/CAL2 values when the calibration-change option is ticked): 1 done, 0
// refused, calibration unreadable (nothing erased) or a link failure.
int EraseDevice(OperationContext &ctx);
