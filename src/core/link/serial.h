// The one serial port the Tarnbox sits on. The platform operations live
// behind SerialBackend so the in-process simulator can stand in for a
// real device; SerialPort holds the logic (names, numbers, open/close
// steps, modem lines) that is the same whatever is behind it.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

class WireTrace;

enum class ModemLine { RTS, DTR };

// Platform operations a port needs. Results of the settings, time-out, purge
// and error-clearing calls are deliberately not reported: the protocol finds
// every failure from the byte counts of reads.
class SerialBackend {
public:
    virtual ~SerialBackend() = default;
    // Opens the device exclusively for reading and writing. On failure
    // returns false and fills error with the path and the system's reason.
    virtual bool Open(const std::string &path, std::string &error) = 0;
    // The system's error number of the last failed Open (0 when the last
    // Open succeeded or the backend has no such number). The window tells a
    // refused permission apart from a missing device by it.
    virtual int LastOpenErrno() const { return 0; }
    // Closes the device; false when the platform refused.
    virtual bool Close() = 0;
    virtual bool IsValid() const = 0;
    // 38400 baud, 8N1, raw, no flow control of any kind; RTS and DTR inactive.
    virtual void ApplyLineSettings() = 0;
    // Total read and write time-outs in milliseconds.
    virtual void SetTimeouts(int readMs, int writeMs) = 0;
    virtual void SetModemLine(ModemLine line, bool on) = 0;
    virtual void PurgeOutput() = 0;
    virtual void PurgeInput() = 0;
    virtual void ClearErrors() = 0;
    // Writes n bytes; returns the number written.
    virtual size_t Write(const uint8_t *data, size_t n) = 0;
    // Reads up to n bytes, returning as soon as n arrived or the read
    // time-out passed; returns the number read (0 on hang-up or error).
    virtual size_t Read(uint8_t *data, size_t n) = 0;
    // Pauses for ms milliseconds (a simulator advances its clock instead).
    virtual void Pause(int ms) = 0;
    // While between is set, a backend that really waits for the line waits
    // at most SerialPort::WaitSliceMs at a time and runs between after each
    // slice, and before each wait; the deadline of the time-out stays the
    // one the transfer began with. Empty: no slices. A backend that never
    // waits on a clock keeps the default.
    virtual void SetBetweenWaits(std::function<void()> /*between*/) {}
    // Something the user should hear about the port just opened (a USB
    // adapter that holds bytes back), once; empty when there is nothing.
    virtual std::string TakeNotice() { return {}; }
    // How long the device behind the open port may hold a byte back in each
    // direction, in ms (a USB adapter's latency timer); 0 for a line that
    // hands bytes on at once or when nothing is known.
    virtual int HeldBackMs() const { return 0; }
    // The round trip to the server of a port on another machine, as measured
    // at the open, in ms; nullopt for a local device or when nothing is open.
    virtual std::optional<double> RoundTripMs() const { return std::nullopt; }
};

// The modem-line choices of the Option page at the moment a port opens.
struct ModemOptions {
    bool ctrlChecked = false;     // "CTRL" box
    bool rtsGroupEnabled = false; // the RTS group follows the CTRL box
    bool rtsOn = true;            // RTS group shows "ON"
    bool dtrOn = false;           // DTR group shows "ON"
    int waitMs = 200;             // settle wait after the lines are set
};

// Maps a port name ("COM3") to the device path the backend opens; an empty
// result means the name stands for no device.
using PortPathResolver = std::function<std::string(const std::string &name)>;

// The one open port. Open exactly while the port name is not empty.
class SerialPort {
public:
    // Without a resolver the name itself is handed to the backend, which
    // suits a simulator that knows ports by name.
    explicit SerialPort(std::unique_ptr<SerialBackend> backend, PortPathResolver resolver = {});
    ~SerialPort();
    SerialPort(const SerialPort &) = delete;
    SerialPort &operator=(const SerialPort &) = delete;

    // 0 on success, -1 when the device cannot be opened (or the name carries
    // no port number). Any port open before is closed first.
    int OpenPort(const std::string &name, const ModemOptions &modem = {});
    // 0 closed; -1 nothing was open or the platform refused; -2 the name was
    // set but the device was not valid (the name is cleared).
    int ClosePort();
    // Read total time-out; the write time-out stays 200 ms.
    void SetReadTimeout(int ms);
    // Sets or clears a line on an open port, then purges both directions and
    // clears the error state. Does nothing while closed.
    void ApplyModemLine(ModemLine line, bool on);

    // While service is set, it runs during transfers, pauses and drains
    // whenever WaitSliceMs have passed since it last ran, never inside
    // itself: a front end with an event loop serves it there, so that a slow
    // line does not freeze it. The bytes and the time-outs stay as they are.
    // Empty: nothing runs.
    void SetWaitService(std::function<void()> service);

    // Synchronous transfers; both do nothing (return 0) while closed.
    size_t Write(const uint8_t *data, size_t n);
    size_t Read(uint8_t *data, size_t n);
    void Pause(int ms);
    // Discards whatever the programmer sent that nobody read (the rest of a
    // stream an interrupted command left behind), until the line has been
    // quiet for DrainQuietMs, at most MaxDrainBytes. Sends nothing; leaves
    // the default read time-out. Returns the bytes discarded. A drain with
    // nothing written since the last one on this open finds the line as
    // quiet as that one left it, and returns at once.
    size_t DrainInput();

    // The programmer has answered every byte it was sent and sends nothing
    // until it is sent more (the command that left programming mode was
    // answered whole); any write undoes it.
    void MarkQuiet() { quiet_ = IsOpen(); }
    // The device path of the last close when it came while that held; empty
    // when not (or after an open).
    const std::string &ClosedQuietPath() const { return closedQuietPath_; }
    // Just after an open: the caller closed this same device quiet a moment
    // ago (a production run's previous chip on the port) and nobody could
    // have written to it since, so the drain finds nothing and is left out.
    // Nothing happens for any other path.
    void TrustQuietLine(const std::string &path);

    bool IsOpen() const { return !portName_.empty(); }
    const std::string &PortName() const { return portName_; }
    int PortNumber() const { return portNumber_; }
    // Why the last open failed: device path and the system's reason.
    const std::string &LastError() const { return lastError_; }
    // What the backend had to say about the port at its last open (empty
    // when nothing); cleared by reading it.
    std::string TakeNotice() { return std::exchange(notice_, {}); }
    // The system's error number of the last failed open of a device (EACCES
    // for a node the user may not open); 0 when no device was tried.
    int LastOpenErrno() const { return lastOpenErrno_; }

    SerialBackend &Backend() { return *backend_; }
    // How long the device behind the open port may hold a byte back: what
    // the backend knows, or what the programmer's late answers showed when
    // that is more; 0 while closed.
    int HeldBackMs() const;
    // Remembers that the device behind the open port holds bytes back about
    // ms although the backend could not tell (an adapter without a latency
    // timer in sysfs, a bridge, a network server), for this open and every
    // later one of the same device. True when that widens what was assumed.
    bool AssumeHeldBack(int ms);
    // The round trip of a byte to the programmer and back on a port on
    // another machine, as measured on the open port, or at its close (a
    // listing shows it once the probe is done); nullopt when the last open
    // was of a local device or failed.
    std::optional<double> LastRoundTripMs() const;
    // Every byte written and read from here on, the drain's included, goes
    // to trace as well (null: none), with each open and close of the port.
    void SetTrace(std::shared_ptr<WireTrace> trace) { trace_ = std::move(trace); }

    // What went over the line last, for finding where a failed command left
    // the programmer: the bytes written so far, the last few of them, and
    // whether the last read got nothing at all.
    uint64_t BytesWritten() const { return written_; }
    // The last n bytes written (n at most RecentSize), oldest first.
    std::vector<uint8_t> LastWritten(size_t n) const;
    bool LastReadSilent() const { return lastReadSilent_; }
    static constexpr size_t RecentSize = 16;

    static constexpr int DefaultTimeoutMs = 200;
    static constexpr int DrainQuietMs = 50;
    // The longest a wait goes without the wait service while one is set.
    static constexpr int WaitSliceMs = 20;
    // More than the longest stream any part sends in one command.
    static constexpr size_t MaxDrainBytes = 256 * 1024;
    // The CTRL wait after setting the modem lines: at most what the window's
    // four-digit field can hold.
    static constexpr int MaxModemWaitMs = 9999;

private:
    void PurgeBoth();
    // Runs the wait service when it is due.
    void ServiceIfDue();

    std::unique_ptr<SerialBackend> backend_;
    PortPathResolver resolver_;
    std::string portName_;
    int portNumber_ = 0;
    std::string lastError_;
    std::string notice_;
    int lastOpenErrno_ = 0;
    uint64_t written_ = 0;
    std::array<uint8_t, RecentSize> recent_{};
    bool lastReadSilent_ = false;
    bool drained_ = false; // drained, and nothing written since
    bool quiet_ = false;   // the programmer owes nothing, and nothing written since
    std::string closedQuietPath_;
    std::string path_;     // the device path of the open port
    std::optional<double> roundTripMs_;
    std::map<std::string, int> assumedHeldBack_; // by device path, kept across opens
    std::shared_ptr<WireTrace> trace_;
    std::function<void()> service_;
    int64_t lastServiceNs_ = 0; // steady clock
    bool servicing_ = false;
};

// The platform backend of this system: a tty device through termios, or by
// the path's scheme a port served over the network (link/NetworkSerial.h),
// chosen afresh at each open.
std::unique_ptr<SerialBackend> MakePosixSerialBackend();
// The tty backend alone.
std::unique_ptr<SerialBackend> MakeTtySerialBackend();
