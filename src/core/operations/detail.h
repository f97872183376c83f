// Pieces the device operations share: the selected row, result reporting and
// a checked path to the programmer. Not for use outside the operations:
// what callers learn of an operation is its OperationResult.
#pragma once

#ifndef TARNVIK_OPERATIONS_INTERNAL
#error "operations/detail.h is private to the operations; callers branch on OperationResult"
#endif

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "link/transfer.h"
#include "operations/operations.h"
#include "support/interrupt.h"
#include "texts/operation_texts.h"

// Copies of the context's row of its family's table. Without a usable
// selection the refusal of the check is reported and nullopt returned.
std::optional<TDeviceSpec> SelectedRow(OperationContext &ctx);
std::optional<TDeviceSpec18> SelectedRow18(OperationContext &ctx);

// Status line, plus the dialog's status text on the progress dialog's
// surface: the context's for most reports, the status line for those that
// never reach the dialog, the dialog for those that always do.
void ReportStatus(OperationContext &ctx, const std::string &text, Surface surface);
// The kind of link failure a command's Status shows; silent: its last read
// got nothing at all.
// The log lines of a lost link on the Message tab: the line every lost link
// gets, then, where something came back wrong rather than nothing, which
// kind of reply it was, since that points at the cable rather than a board
// that is gone.
void LogLinkLost(FrontEnd &ui, LinkFault fault);
// A link failure: the status text, the log lines, and when the programmer
// could not be brought back to a known state, the request to power-cycle it.
void ReportLinkLost(OperationContext &ctx, const std::string &status, Surface surface, LinkFault fault,
                    bool wedged = false);
// The same, with the result it ends an operation with: interrupted when an
// interrupt stopped the wire, else the lost link with its fault.
OperationResult LinkLostResult(OperationContext &ctx, const std::string &status, Surface surface,
                               LinkFault fault, bool wedged = false);
OperationResult RefusedResult(Refusal refusal);

// Hexadecimal with at least width digits.
std::string HexAtLeast(uint32_t value, int width);

// Commands through the shared record, each one checked. The first command
// the programmer does not confirm marks the link failed; every later command
// is then skipped, so a write ends where the failure happened. With a
// programmer that confirms everything the wire is exactly that of the plain
// transfers.
class Wire {
public:
    explicit Wire(OperationContext &ctx) : link_{ctx.port, ctx.cmd, ctx.ui, 0, ctx.options.smallBlock} {}

    Link &link() { return link_; }
    bool Failed() const { return failed_; }
    // The first failure seen on this wire: a command not confirmed, or
    // streamed units that did not all come. None while there was none, and
    // for a stop on request.
    LinkFault Fault() const { return fault_; }

    void Enter(int entryMode);
    void Exit(int entryMode);
    // After a failure: finish whatever command the programmer may still hold
    // with bytes that write nothing, drop what it still sends, and leave
    // programming mode if it was entered. Where no byte could finish the
    // command harmlessly nothing more is sent. False when the programmer is
    // not known to be back between commands with the chip switched off; it
    // must then be power-cycled.
    bool Abandon();
    // Abandon has given up on the programmer.
    bool Wedged() const { return wedged_; }

    // The row-write form the firmware accepts (DetectRowWriteForm); a
    // failed test block (RowWriteProtocolError) marks the link failed.
    int RowWriteForm();

    void Inc();
    void IncBy(int n);
    // Moves the address on by n: nothing for 0, one increment for 1, the
    // repeated increment otherwise.
    void Advance(int n);
    void LoadConf(uint16_t word);
    void LoadWord(uint16_t word);
    void LoadData(uint16_t word);
    uint16_t ReadWord();
    void Cycle(int selector, uint8_t wait);
    void Icsp(uint8_t command);
    void IcspTimed(uint8_t command, uint8_t time);
    // Eight words as two row-write blocks; both blocks must be confirmed.
    void Row(int form, int selector, uint8_t wait, int latchCount, const std::array<uint16_t, 8> &words);
    void EraseSequence(const TDeviceSpec &device, bool calibChange);

    void Instr18(uint8_t command, uint16_t operand, uint8_t mode, uint8_t time);
    void TablePointer(uint32_t address);
    void FlashAccess18();
    // Whole 8-byte chunks, the time byte with the last one.
    void Block18(std::span<const uint8_t> bytes, uint8_t time);
    void Config18(const std::array<uint8_t, 14> &bytes, uint8_t time);
    // Whole-chip reads into an image, as the plain transfers read it, but
    // every command checked and every unit counted: false unless the image
    // now holds exactly what the chip sent.
    bool ReadChip(const TDeviceSpec &device, std::span<uint16_t, WordImageSize> image, ProgressBar *progress);
    bool ReadChip18(const TDeviceSpec18 &device, MemoryBuffer &image, ProgressBar *progress);
    // Only the configuration words (PIC10/12/16: from 0x2000 up to the last
    // one, or the 12-bit word) or the 14 PIC18 configuration bytes.
    bool ReadConfig(const TDeviceSpec &device, std::span<uint16_t, WordImageSize> image);
    bool ReadConfig18(MemoryBuffer &image);

    void EeAddress(uint16_t address);
    void EeByte(uint8_t value);
    void BulkErase18(uint16_t key, uint8_t wait);

private:
    // Starts a stream of n words with ICSP read command c (0x07).
    void Stream(uint8_t readCommand, int n);
    // Receives words or bytes the programmer streams; counts what is missing.
    void ReceiveStream(int n, std::span<uint16_t> destination, ProgressBar *progress);
    void ReceiveStream(int n, std::span<uint8_t> destination, ProgressBar *progress);
    // PIC18 table bytes from address (0x0C after the table pointer).
    void TableRead(uint32_t address, int n, std::span<uint8_t> destination, ProgressBar *progress);

    // False when the command was not sent: after a failure, or when an
    // interrupt is pending (between two commands is where an operation may
    // stop; the operation then ends as after a failure, leaving programming
    // mode).
    template <typename F> bool Send(F command)
    {
        if (failed_) return false;
        if (InterruptPending()) {
            // The last command went through whole: nothing to finish.
            lastCommand_.clear();
            Fail(LinkFault::None);
            return false;
        }
        const uint64_t before = link_.port.BytesWritten();
        command();
        lastCommand_ = link_.port.LastWritten(static_cast<size_t>(link_.port.BytesWritten() - before));
        // Judged here, where the failed read is the port's last one: the
        // exchanges that bring the programmer back come later.
        if (link_.cmd.Status != StatusOk) Fail(FaultOf(link_.cmd.Status, link_.port.LastReadSilent()));
        return true;
    }
    // Silent: the programmer sent nothing where it should have answered, so
    // the last byte written may not have reached it. None: stopped on
    // request.
    void Fail(LinkFault fault);
    // Keeps the first failure only.
    void Note(LinkFault fault)
    {
        if (fault_ == LinkFault::None) fault_ = fault;
    }
    // Sends the bytes that finish the failed command harmlessly; false when
    // there are none.
    bool FinishFailedCommand();

    Link link_;
    bool failed_ = false;
    bool wedged_ = false;
    std::vector<uint8_t> lastCommand_; // bytes of the last command sent
    bool failedSilent_ = false;
    LinkFault fault_ = LinkFault::None;
    long missing_ = 0;
    bool inProgramMode_ = false;
    int entryMode_ = 0;
};
