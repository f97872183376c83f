// The one serial port the Tarnbox sits on. The platform operations live
// behind SerialBackend so the in-process simulator can stand in for a
// real device; SerialPort holds the logic (names, numbers, open/close
// steps, modem lines) that is the same whatever is behind it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

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
};
