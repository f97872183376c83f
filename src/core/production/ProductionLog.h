// The production log: a CSV file with one row per chip, appended to by every
// run that names it. Each row is appended under an exclusive lock, whole or
// not at all (a row cut short by a full disk is removed again), and is on
// disk before the next chip starts, so runs appending at the same time never
// interleave and a power cut loses at most the chip in hand.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>

#include "catalogue/DeviceSpec.h"
#include "image/buffer.h"

struct ChipRecord {
    std::time_t time = 0;
    std::string port;            // as the user named it
    std::string device;          // catalogue name
    std::string deviceId;        // as read, revision included; empty when not read
    std::string serial;          // empty when the run gives none
    std::string result;          // ok, verify failed, refused, link lost, ...
    std::optional<uint32_t> crc; // of the image programmed; none without a file
    long elapsedMs = 0;
    // The image's checksum as the build tools print it; none without a
    // file.
    std::optional<uint16_t> checksum;
    // How the link was lost (silent, echo, checksum) when result says it
    // was; empty otherwise.
    std::string linkError;
};

// New columns go last: a log begun with an older header keeps it, and its
// new rows have the older columns where they were, the new ones after them.
constexpr const char *ProductionLogHeader =
    "time,port,device,device_id,serial,result,image_crc32,elapsed_ms,image_checksum,link_error";

class ProductionLog {
public:
    ProductionLog() = default;
    ~ProductionLog();
    ProductionLog(const ProductionLog &) = delete;
    ProductionLog &operator=(const ProductionLog &) = delete;

    // Opens (or creates) the file and writes the header when it is empty;
    // anything but a regular file is refused.
    bool Open(const std::string &path, std::string &error);
    bool IsOpen() const { return fd_ >= 0; }
    bool Append(const ChipRecord &record, std::string &error);

private:
    bool WriteLocked(const std::string &text, bool onlyWhenEmpty, std::string &error);

    int fd_ = -1;
    std::string path_;
};

// One CSV row (without its line end), fields quoted where they must be.
std::string ChipRecordRow(const ChipRecord &record);
// Local time as ISO 8601 with the offset from UTC: 2026-12-08T14:05:09+09:00.
std::string IsoLocalTime(std::time_t time);

// CRC-32 as zip and PNG use it (reflected 0xEDB88320, initial and final
// inversion), continued from crc.
uint32_t Crc32(const uint8_t *data, size_t n, uint32_t crc = 0);
// The CRC-32 of the live half of an image for a device: PIC10/12/16 every
// word of the word image, low byte first; PIC18 the program, EEPROM, ID and
// configuration bytes in that order.
uint32_t ImageCrc32(const MemoryBuffer &image, bool pic18);
