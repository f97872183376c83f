// The device operations: connection and DEVICE-ID check, read, program,
// verify, blank check and erase, for both device families. Each one copies
// the catalogue row it is handed at its start, talks to the programmer
// through the transfers, reports through the front end, and returns how it
// ended as data.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "FrontEnd.h"
#include "catalogue/DeviceSelection.h"
#include "image/buffer.h"
#include "link/PICCommand.h"
#include "link/serial.h"
#include "operations/KeptCopy.h"
#include "operations/regions.h"

// The choices an operation runs with, filled by each front end from its own
// controls or options.
struct OperationOptions {
    bool smallBlock = false;   // read program memory in short blocks
    bool verifyUserId = false; // verify compares the User-IDs too
    // Erase puts these values in place of the chip's calibration words; an
    // absent value keeps the word read from the chip.
    bool calibChange = false;
    std::optional<uint16_t> cal1{}, cal2{};
    // An erase may go on when the calibration log cannot take the values it
    // read (the user said so beforehand).
    bool calibrationLogOptional = false;
    // The memories program writes, verify compares and read takes into the
    // buffer. User-IDs given here on purpose are verified without
    // verifyUserId.
    unsigned regions = RegionAll;
    // Whether a configuration turns on code or data protection: then program
    // writes the configuration last, and a read warns.
    ProtectionTest protects = ConfigurationProtects;
    // The chip was bulk-erased just before this program (an erase step of
    // the same chain): data EEPROM bytes the buffer holds as blank are
    // already blank and need not be written. Otherwise program writes them
    // too, since an EEPROM byte keeps whatever it held until written.
    bool erasedBefore = false;
    // A verify of the same chain follows this program and compares the data
    // EEPROM: a cell the erase should have blanked and did not is found
    // there, so a PIC18 program after an erase need not write blank bytes
    // at all. Without it they are written as the only proof.
    bool verifiedAfter = false;
};

// Where a command reports: the status line (the window, the command line),
// or the progress dialog of the window's Small Box, whose status text then
// takes each short text as well.
enum class Surface { StatusLine, ProgressDialog };

// What an operation works on: the open port, the shared command record, the
// buffer, the front end it reports through, the catalogue row and the
// options.
struct OperationContext {
    SerialPort &port;
    TCommand &cmd;
    MemoryBuffer &buffer;
    FrontEnd &ui;
    DeviceSelection device{};
    OperationOptions options{};
    // The DEVICE-ID (revision included) the check last read from the chip
    // in this context's socket; the calibration log names the chip by it.
    std::optional<uint16_t> deviceId{};
    // Where the check, the operations and a chain's texts between its steps
    // report. A progress bar handed to an operation is only what it drives.
    Surface surface = Surface::StatusLine;
};

// How an operation ended.
enum class Outcome {
    Done,
    Refused,                // before anything was changed on the chip; refusal says why
    LinkLost,               // the programmer stopped answering; wedged says whether it is stuck
    VerifyMismatch,         // the chip differs from the buffer
    NotBlank,               // the chip is not erased
    Interrupted,            // stopped on request between two commands
    CalibrationUnreadable,  // erase: the calibration words could not be read; nothing erased
    CalibrationNotRestored, // erase: the calibration words may be gone from the chip
};

enum class Refusal {
    None,
    NoPort,
    NoProgrammer,           // the reply does not begin with the model tag
    NoDevice,               // no catalogue row selected
    NoDeviceId,             // the DEVICE-ID reads as zero after masking
    WrongDevice,            // the chip carries another DEVICE-ID
    Pic18Unsupported,       // the firmware does not answer the PIC18 query
    CalibChangeUnsupported, // the part's erase cannot take typed calibration values
    CalibrationLogUnwritable,
    ErasedCalibration, // the user would not erase with erased calibration words
    KeptDataProtected,  // the EEPROM to keep reads as zeros under data protection
    KeptCopyUnwritable, // what is to be kept could not be saved to the disk first
};

// A memory of the chip, as verify and blank check name it.
enum class Memory { Program, EEData, UserId, Configuration };

// One place where the chip is not what it should be. Verify lists the first
// VerifyListed of each memory; blank check only the first.
struct Difference {
    Memory memory = Memory::Program;
    uint32_t address = 0; // in the memory's own numbering (as the texts show it)
    std::optional<uint32_t> file, chip;
};

// How many words or bytes of one memory differ, all of them counted.
struct MemoryDifferences {
    Memory memory = Memory::Program;
    uint32_t count = 0;
    bool bytes = false; // the memory is counted in bytes (EEPROM, PIC18)
};
inline constexpr size_t VerifyListed = 16;

// The memory's name as the texts give it.
const char *MemoryName(Memory memory);

struct OperationResult {
    Outcome kind = Outcome::Done;
    Refusal refusal = Refusal::None;
    bool wedged = false;              // link lost: the programmer must be power-cycled
    // The link's failure when the operation failed through it (a lost link,
    // calibration words unread or not written back); None otherwise.
    LinkFault linkFault = LinkFault::None;
    std::optional<uint16_t> deviceId; // read by the check, revision included
    std::vector<Difference> differences;
    std::vector<MemoryDifferences> differing; // verify: one per memory that differs, in order
    bool calibrationReplaced = false; // erase put the typed calibration values in
    // program: the firmware failed the row-write test block (told through
    // FrontEnd::ProtocolError); nothing was written.
    bool protocolError = false;
    // read: the chip's configuration says protected; what it protects was
    // read as the chip gives it (zeros), not as it is.
    bool readProtected = false;
    bool Ok() const { return kind == Outcome::Done; }
    explicit operator bool() const { return Ok(); }
    // The programmer stopped answering as it should: the link was lost, or
    // it was lost while the calibration words went back.
    bool LostLink() const { return kind == Outcome::LinkLost || kind == Outcome::CalibrationNotRestored; }
};

// The word scripts and the production log name a link fault by: "silent",
// "echo" or "checksum"; empty for None.
const char *LinkFaultWord(LinkFault fault);

// Port, programmer, selection and DEVICE-ID, in that order; the first refusal
// writes its texts and ends the check. On the progress dialog's surface the
// short refusal text also goes to the dialog's status text.
// The DEVICE-ID read is in the result and noted in the context.
OperationResult CheckConnection(OperationContext &ctx);

// PIC18 operations run only on a firmware that answers the PIC18 query;
// false (after reporting the refusal) otherwise.
bool Pic18Gate(OperationContext &ctx);

// The progress argument is the bar the operation drives (the main window's,
// the progress dialog's), or null for none. On the progress dialog's surface
// program, verify and blank check also write their result into the dialog's
// status text; a read writes it there on either surface, so that the Small
// Box shows the last read whichever window ran it; an erase never does (a
// chain's texts say what it did).

// Reads the whole chip into the buffer. The buffer changes only when every
// word and byte arrived.
OperationResult ReadDevice(OperationContext &ctx, ProgressBar *progress);
// Reads only the chip's configuration words (PIC18: the 14 configuration
// bytes) into the buffer, for showing them by name without a full read. The
// buffer changes only when they all arrived.
OperationResult ReadConfigWords(OperationContext &ctx);
// Only the chip's EEPROM into the buffer (the rest of the buffer stays as
// it is), to be written back after an erase.
OperationResult ReadEEData(OperationContext &ctx);
// What a program is to keep of the chip (regions: RegionEEData and/or
// RegionConfig) read into the buffer in place of the file's, and saved to
// a copy on the disk (filled in copy) before anything is erased. Refused
// when the chip's data protection hides the EEPROM, or the copy cannot be
// written; the buffer is unchanged unless everything was read.
OperationResult KeepFromChip(OperationContext &ctx, unsigned regions, KeptCopy &copy);
// Writes the buffer's non-blank contents into the chip, and all of its data
// EEPROM unless options.erasedBefore; the write stops at the first command
// the programmer fails to confirm.
OperationResult ProgramDevice(OperationContext &ctx, ProgressBar *progress);
// Done when the chip equals the buffer (through the device's masks).
OperationResult VerifyDevice(OperationContext &ctx, ProgressBar *progress);
// Done when the chip is erased.
OperationResult BlankCheckDevice(OperationContext &ctx, ProgressBar *progress);
// Whether an erase can replace the device's calibration words with typed
// values: false where its erase sequence keeps a word, which a typed value
// could only be ANDed onto. Erase refuses such a change before sending
// anything, with texts::CalibChangeRefused() (after " !! " in the status
// line).
bool CalibChangeHonoured(const TDeviceSpec &device);
// Bulk erase keeping the chip's calibration words (or replacing them with the
// typed values when the calibration change is asked for).
OperationResult EraseDevice(OperationContext &ctx);
