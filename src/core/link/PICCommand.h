// The host side of the Tarnbox protocol: the shared command record, the
// command executor with its echo handshake and checksums, the single-command
// operations, and the block transfers built on them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "catalogue/DeviceSpec.h"
#include "FrontEnd.h"
#include "link/serial.h"

// Wire command codes.
enum : uint8_t {
    cmdControl = 0x00,
    cmdIcsp = 0x01,
    cmdIcspRead = 0x02,
    cmdIcspTimed = 0x03,
    cmdIcspLoad = 0x04,
    cmdIcspPair = 0x05,
    cmdIcspRepeat = 0x06,
    cmdIcspStream = 0x07,
    cmdRowWrite = 0x08,
    cmdPic18Instr = 0x09,
    cmdQuery = 0x0A,
    cmdSetTablePtr = 0x0B,
    cmdTableRead = 0x0C,
    cmdPic18Block = 0x0D,
    cmdSetEeAddr = 0x0E,
    cmdEeRead = 0x0F,
    cmdEeWrite = 0x10,
};

// The wire code of the row-write block for the two firmware variants.
constexpr uint8_t RowWriteCode15 = 0x15; // selected by Count = 4
constexpr uint8_t RowWriteCode08 = 0x08; // selected by Count = 5

// Status of the last execution.
enum : int32_t {
    StatusOk = 0,
    StatusNoEcho = 1,      // command code or a handshake byte did not come back
    StatusBadReply = 2,    // checksum, data byte or data echo missing or wrong
    StatusBadSelector = 3, // row write with a form selector other than 4 or 5
};

// The one shared command record. A command writes only the fields its code
// uses; everything else keeps what earlier commands left there, which some
// operations rely on (ReadProgramWord after LoadConfig returns the loaded word
// when the read fails).
struct TCommand {
    uint8_t Code = 0;
    std::string Reply;
    std::array<uint8_t, 13> Args{};
    uint16_t Value = 0;
    uint16_t Count = 0;
    int32_t Status = 0;
};

// What the first failed exchange of an operation showed of the link. Later
// failures are consequences of the first and do not change it.
enum class LinkFault {
    None,
    // Nothing came where the programmer should have answered: unplugged,
    // powered off, hung up, or a stream that stopped.
    Silent,
    Echo,     // a byte came back but not the one sent, or a handshake reply fell short
    Checksum, // a checksum or data reply byte came back wrong
};

// The fault a failed command shows: silence, or by its Status a wrong echo
// (1) or a wrong checksum or data reply (2).
LinkFault FaultOf(int32_t status, bool silent);

// What every operation works through: the open port, the shared record and
// the front end (event pump, message box, small-block option).
struct Link {
    SerialPort &port;
    TCommand &cmd;
    FrontEnd &ui;
    // Units (words or bytes) the receive loops and the word reads of the
    // device, ID and calibration reads waited for in vain, summed since the
    // caller last set it to 0. The loops go on past a missing unit so the
    // wire stays in step; this is how a caller learns that what landed in the
    // image is not what the chip holds.
    long missing = 0;
    // Read program memory in short blocks ("[READ] Small Block").
    bool smallBlock = false;
    // The first command since the caller last set it to None that the
    // programmer did not see through (a unit a receive loop waited for in
    // vain counts as silence): later failures are its consequences.
    LinkFault fault = LinkFault::None;
};

// Runs the command in link.cmd with the given code and notes a failure in
// link.fault.
void RunCommand(Link &link, uint8_t code);

// Runs the command in cmd over the port and sets cmd.Status. Never retries.
void ExecuteCommand(SerialPort &port, TCommand &cmd);

// Bytes that follow a wire command code (13 for both row-write codes); 0 for
// a code the firmware does not know.
int CommandArgumentBytes(uint8_t code);
// A byte the firmware does not know as a command code and that is harmless
// in every argument it can finish: as an ICSP command it is "end
// programming", as a count, time or address it asks for nothing that writes.
constexpr uint8_t HarmlessFiller = 0x17;
// The bytes that finish a command the programmer holds unfinished (its code
// and the arguments it has taken) without loading data into the chip or
// starting a programming or erase cycle: empty when it is not unfinished,
// nullopt when every way of finishing it would write.
std::optional<std::vector<uint8_t>> HarmlessCompletion(const std::vector<uint8_t> &received);
// For a programmer whose last host may have stopped between two bytes of a
// command (it was killed): as many filler bytes as the longest command takes
// finish whatever it holds, those left over are unknown codes it ignores,
// and what it sends back is dropped. Sent only where the programmer did not
// answer as expected, since a programmer between commands needs none of it.
void FinishAnyCommand(Link &link);

// ---- single-command operations (m = EntryMode; PIC18 always 0) ----
std::string GetVersion(Link &link);
// The version query's read time-out on a line that holds nothing back.
constexpr int VersionTimeoutMs = 20;
// The most the version reply takes, its zero byte and any padding included.
constexpr size_t VersionReplyBytes = 32;
// How long the query waits after the text's zero byte for padding, on a
// line that holds nothing back: a few byte times and a scheduler's delay.
constexpr int VersionPadGapMs = 8;
// A programmer whose version reply came late or in part on a line that does
// not say how long it holds bytes back is asked again as if behind this
// latency (an FTDI adapter's default timer), and the port keeps it.
constexpr int AssumedAdapterHoldMs = 16;
void EnterProgramMode(Link &link, int entryMode);
void ExitProgramMode(Link &link, int entryMode);
void IncAddress(Link &link);
void IncAddressBy(Link &link, int n);
void LoadConfig(Link &link, uint16_t word);
void LoadProgramWord(Link &link, uint16_t word);
void LoadDataWord(Link &link, uint16_t word);
uint16_t ReadProgramWord(Link &link);
int32_t SendIcsp(Link &link, uint8_t command);
int32_t SendIcspTimed(Link &link, uint8_t command, uint8_t time);
int32_t SendIcspPair(Link &link, uint8_t command1, uint8_t command2, uint8_t time);
void SetTablePointer(Link &link, uint32_t address);
void Pic18Instruction(Link &link, uint8_t command, uint16_t operand, uint8_t mode, uint8_t time);
void SetEepromAddress(Link &link, uint16_t address);
int32_t WriteEepromByte(Link &link, uint8_t value);

// The firmware echoed a row-write code but failed the test block after it.
// The probe only returns it: the operation that asked tells the front end
// (FrontEnd::ProtocolError).
constexpr int RowWriteProtocolError = -1;
// 0x08 or 0x15: the row-write code the firmware accepts; 0: no row write
// (write word by word); or RowWriteProtocolError.
int DetectRowWriteForm(Link &link);
// 10 when the firmware answers the query command; 0 no echo; -1 no data.
int CheckPic18Support(Link &link);

// PIC18 core instructions and ICSP commands sent through Pic18Instruction.
constexpr uint8_t Pic18CoreInstruction = 0x0;
constexpr uint8_t Pic18TableWrite = 0xC;
constexpr uint8_t Pic18TableWriteStart = 0xF;
constexpr uint16_t Pic18Nop = 0x0000;
constexpr uint16_t Pic18BsfEepgd = 0x8EA6;
constexpr uint16_t Pic18BcfCfgs = 0x9CA6;
constexpr uint16_t Pic18BsfCfgs = 0x8CA6;
constexpr uint16_t Pic18IncfTblptrl = 0x2AF6;

// ReadProgramWord hands back the record's old Value when the read fails;
// this counts such a word in missing and link.missing, so the caller knows
// it is not the chip's.
uint16_t ReadWordCounted(Link &link, int &missing);

uint16_t ReadDeviceId(Link &link, const TDeviceSpec &device);
uint16_t ReadDeviceId18(Link &link);

// The two calibration slots. An empty slot (address 0) leaves its output as
// it was and writes nothing.
void ReadConfigWords(Link &link, const TDeviceSpec &device, uint16_t &word1, uint16_t &word2);
void WriteConfigWords(Link &link, const TDeviceSpec &device, uint16_t word1, uint16_t word2);

// Begin (and end) programming of the loaded word(s). selector is the entry's
// ProgramAlgorithm or ConfigAlgorithm (0..4); others send nothing.
void ProgrammingCycle(Link &link, int selector, uint8_t wait);
// The (begin, end) ICSP commands a row write carries for a selector.
std::pair<uint8_t, uint8_t> RowWritePair(int selector);

// Writes whole 8-byte chunks (a remainder is ignored); the time byte goes
// with the last chunk only. Returns the last chunk's Status (0 when none).
int32_t WritePic18Block(Link &link, std::span<const uint8_t> bytes, uint8_t time);

// Erase commands of a PIC10/12/16 device (its EraseAlgorithm, EraseWait and
// ProgramSize), inside programming mode opened by the caller. calibChange
// matters only to algorithm 2.
void EraseSequence(Link &link, const TDeviceSpec &device, bool calibChange);
// PIC18 bulk erase with the given key (0x0080 or 0x3F8F).
void BulkErase18(Link &link, uint16_t key, uint8_t wait);
