// The Tarnbox firmware as seen from its serial line: it parses the host's
// command bytes, echoes and checksums them as the board does, and clocks the
// ICSP commands into the chip model. Time is a number the caller supplies
// (virtual in-process, real on a pseudo-terminal), so the firmware never sleeps.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "SimChip.h"

using SimTime = int64_t; // nanoseconds

constexpr SimTime SimByteTime = 260417; // one byte, 10 bits at 38400 baud
constexpr SimTime SimWaitUnit = 100000; // wait bytes count tenths of a millisecond
constexpr const char *DefaultVersionText = "Vexa Ver.1.30 Tarnbox";
// The host reads the version reply into 32 bytes; a board sends no more.
constexpr size_t VersionReplySize = 32;

// Which row-write codes the firmware accepts: a firmware generation either
// knows both, only one of them or neither.
enum class RowWriteForms { Both, Row08, Row15, None };

enum class FaultKind { None, SilentAfter, Drop, BadEcho, BadSum, HangupAfter };

// Faults count the bytes received from the host, from 1.
//   silent-after=N: bytes after the N-th get no answer at all;
//   drop=N: the N-th byte is lost on the way in;
//   bad-echo=N: the first echo sent for byte N or later is corrupted;
//   bad-sum=N: the first checksum sent for byte N or later is wrong;
//   hangup-after=N: after the N-th byte the board disconnects.
struct SimFault {
    FaultKind kind = FaultKind::None;
    uint64_t count = 0;
};

// Parses "kind=N" as written on the command line.
bool ParseFault(const std::string &text, SimFault &fault, std::string &error);

// Bytes that follow a command code on the wire (13 for both row-write codes;
// 0 for a code the firmware does not know).
int CommandArgumentCount(uint8_t code);

struct FirmwareOptions {
    RowWriteForms rowWrite = RowWriteForms::Both;
    bool pic18 = true;
    std::string versionText = DefaultVersionText;
    // Set: the version reply is filled up to 32 bytes with this byte after
    // the text's NUL, as firmware that sends a fixed-size buffer does.
    std::optional<uint8_t> versionPad{};
    bool silent = false; // a board that answers nothing
    std::vector<SimFault> faults{};
    // Streams (0x07, 0x0C, 0x0F) are made a piece at a time as the caller
    // asks for them (ContinueStream), as a board sends its first byte at
    // once; otherwise the whole stream is in the output when its command
    // completes.
    bool piecewiseStreams = false;
};

// A command the firmware carried out, for tests that look at what a host
// made the board do: the counts of host bytes received when its code came
// and when it completed.
struct ExecutedCommand {
    uint64_t startedAt;
    uint64_t completedAt;
    uint8_t code;
    std::vector<uint8_t> args;
};

struct SimByte {
    SimTime time; // when the byte has fully arrived at the other end
    uint8_t value;
};

class TarnboxFirmware {
public:
    TarnboxFirmware(SimChip &chip, FirmwareOptions options);

    // One byte from the host that finished arriving at the given time. Replies
    // are appended to Output() with the time each has fully left the board.
    void Receive(uint8_t byte, SimTime arrival);
    std::deque<SimByte> &Output() { return output_; }
    const std::deque<SimByte> &Output() const { return output_; }
    bool HungUp() const { return hungUp_; }
    uint64_t BytesReceived() const { return received_; }
    SimChip &Chip() { return chip_; }
    const FirmwareOptions &Options() const { return options_; }
    // Arms another fault while the board runs (its count is still from the
    // first byte ever received).
    void AddFault(SimFault fault) { options_.faults.push_back(fault); }
    // Records every command carried out from now on.
    void KeepJournal() { journal_.emplace(); }
    const std::vector<ExecutedCommand> &Journal() const { return *journal_; }
    // The host byte (counted from 1) at which a fault first acted: the byte
    // dropped, or the one whose echo or checksum was corrupted; 0 while none
    // has.
    uint64_t FaultByte() const { return faultByte_; }
    // Whether the last host byte belongs to a version query: a command code
    // 0x00 (which control command follows is not known yet) or the
    // sub-code 0 after it, whose answer is the version text.
    bool InVersionQuery() const { return versionQuery_; }
    // A stream still to be sent (piecewise streams only).
    bool Streaming() const { return streamLeft_ > 0; }
    // Appends up to maxBytes more of the stream under way, whole units only
    // (at least one), with the times they would have had had the stream
    // been made at once. A host byte that arrives meanwhile is taken only
    // after the stream, as before.
    void ContinueStream(size_t maxBytes);

private:
    void StartStream(uint8_t code, uint8_t readCommand, int units);
    bool Knows(uint8_t code) const;
    void Process(uint8_t byte);
    void Execute();
    void Control(uint8_t subCode);
    void SendVersion();
    uint8_t Capability(uint8_t query) const;
    void RowWrite();
    void Pic18TableWrite();
    // The little-endian word of the arguments from index on.
    uint16_t ArgumentWord(size_t index) const;
    void Emit(uint8_t value);
    void Echo(uint8_t value);
    void Checksum();
    void Wait(uint32_t tenthsOfMs);
    bool FaultDue(FaultKind kind, bool &used) const;

    SimChip &chip_;
    FirmwareOptions options_;
    std::deque<SimByte> output_;
    int code_ = -1; // command being received, -1 between commands
    uint64_t codeAt_ = 0;
    std::vector<uint8_t> args_;
    uint64_t received_ = 0;
    SimTime now_ = 0;       // firmware's own time while it handles a byte
    SimTime busyUntil_ = 0; // programming cycles keep the firmware busy
    SimTime lineFree_ = 0;  // when the transmitter can start the next byte
    bool hungUp_ = false;
    bool versionQuery_ = false;
    uint8_t streamCode_ = 0;  // the stream command under way
    uint8_t streamRead_ = 0;  // its ICSP read command (0x07)
    int streamLeft_ = 0;      // units still to send
    bool badEchoUsed_ = false;
    bool badSumUsed_ = false;
    uint64_t faultByte_ = 0;
    std::optional<std::vector<ExecutedCommand>> journal_;
};
