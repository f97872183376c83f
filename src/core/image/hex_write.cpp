#include "image/hex_write.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "catalogue/DeviceSelection.h"
#include "support/atomic_file.h"
#include "support/checked_file.h"
#include "support/textutil.h"

// ---- Writing -------------------------------------------------------------

std::string FormatHexRecord(const TIntelHex &record)
{
    if (record.Count > record.Data.size()) throw std::length_error("HEX record longer than its data area");
    unsigned sum = record.Count + record.AddressHigh + record.AddressLow + record.RecordType;
    std::string line = ":" + Hex(record.Count, 2) + Hex(record.AddressHigh, 2) + Hex(record.AddressLow, 2) +
                       Hex(record.RecordType, 2);
    for (size_t i = 0; i < record.Count; ++i) {
        line += Hex(record.Data[i], 2);
        sum += record.Data[i];
    }
    line += Hex((256 - sum % 256) % 256, 2);
    return line;
}

bool IsBlankRecord16(const TIntelHex &record, uint16_t key, bool saveAll)
{
    if (saveAll) return false;
    for (size_t i = 0; i + 1 < record.Count; i += 2)
        if ((record.Data[i] | record.Data[i + 1] << 8) != key) return false;
    return true;
}

bool IsBlankRecord18(const TIntelHex &record, bool saveAll)
{
    if (saveAll) return false;
    for (size_t i = 0; i < record.Count; ++i)
        if (record.Data[i] != 0xFF) return false;
    return true;
}

namespace {

TIntelHex DataRecord(uint32_t address, size_t count)
{
    TIntelHex r;
    r.Count = static_cast<uint8_t>(count);
    r.SetAddress(address);
    r.RecordType = HexDataRecord;
    return r;
}

TIntelHex ExtendedLinearRecord(uint16_t upper)
{
    TIntelHex r;
    r.Count = 2;
    r.RecordType = HexExtendedLinearRecord;
    r.Data[0] = static_cast<uint8_t>(upper >> 8);
    r.Data[1] = static_cast<uint8_t>(upper);
    return r;
}

void PutWord(TIntelHex &r, size_t i, uint16_t w)
{
    r.Data[2 * i] = static_cast<uint8_t>(w);
    r.Data[2 * i + 1] = static_cast<uint8_t>(w >> 8);
}

uint8_t ByteAt(const std::vector<uint8_t> &bytes, size_t i)
{
    return i < bytes.size() ? bytes[i] : 0xFF; // past the array: erased
}

const char *const EndLine = ":00000001FF";

} // namespace

std::vector<std::string> Hex16Lines(const WordImage &words, const TDeviceSpec &device, bool saveAll,
                                    unsigned areas)
{
    std::vector<std::string> lines;
    const uint16_t blank = device.BlankWord;
    auto emit = [&](const TIntelHex &r, uint16_t key) {
        if (!IsBlankRecord16(r, key, saveAll)) lines.push_back(FormatHexRecord(r));
    };

    const uint32_t blocks =
        areas & HexAreaProgram ? std::min<uint32_t>(device.ProgramSize, ConfigAreaStart) / 16 : 0;
    for (uint32_t b = 0; b < blocks; ++b) {
        TIntelHex r = DataRecord(32 * b, 32);
        for (uint32_t i = 0; i < 16; ++i)
            PutWord(r, i, words[16 * b + i]);
        emit(r, blank);
    }

    if ((areas & HexAreaConfig) && device.ConfigAreaSize > 0 && 2 * device.ConfigAreaSize <= HexDataAreaSize &&
        device.UserIdAddress + device.ConfigAreaSize <= WordImageSize) {
        TIntelHex r = DataRecord(2u * device.UserIdAddress, 2 * device.ConfigAreaSize);
        for (uint32_t i = 0; i < device.ConfigAreaSize; ++i)
            PutWord(r, i, words[device.UserIdAddress + i]);
        emit(r, blank);
    }

    if ((areas & HexAreaConfig) && device.Is12Bit()) {
        TIntelHex r = DataRecord(2 * Config12BitWord, 2);
        PutWord(r, 0, words[Config12BitWord]);
        emit(r, blank);
    }

    const uint32_t eeBlocks =
        areas & HexAreaEEData ? std::min<uint32_t>(device.EEDataSize, WordImageSize - EEDataAreaStart) / 16 : 0;
    for (uint32_t b = 0; b < eeBlocks; ++b) {
        TIntelHex r = DataRecord(2 * EEDataAreaStart + 32 * b, 32);
        for (uint32_t i = 0; i < 16; ++i)
            PutWord(r, i, words[EEDataAreaStart + 16 * b + i] & 0x00FF);
        emit(r, 0x00FF);
    }

    lines.push_back(EndLine);
    return lines;
}

std::vector<std::string> Hex18Lines(const std::vector<uint8_t> &program, const std::vector<uint8_t> &eedata,
                                    const std::array<uint8_t, 16> &id, const std::array<uint8_t, 14> &config,
                                    const TDeviceSpec18 &device, bool saveAll, unsigned areas)
{
    std::vector<std::string> lines;
    auto emit = [&](const TIntelHex &r) {
        if (!IsBlankRecord18(r, saveAll)) lines.push_back(FormatHexRecord(r));
    };

    const uint32_t blocks = areas & HexAreaProgram ? device.ProgramSize / 32 : 0;
    for (uint32_t b = 0; b < blocks; ++b) {
        const uint32_t a = 32 * b;
        if (b == 0 || (a >> 16) != ((a - 32) >> 16))
            lines.push_back(FormatHexRecord(ExtendedLinearRecord(static_cast<uint16_t>(a >> 16))));
        TIntelHex r = DataRecord(a & 0xFFFF, 32);
        for (uint32_t i = 0; i < 32; ++i)
            r.Data[i] = ByteAt(program, a + i);
        emit(r);
    }

    if (areas & HexAreaConfig) {
        lines.push_back(FormatHexRecord(ExtendedLinearRecord(0x0020)));
        TIntelHex r = DataRecord(0, 8);
        std::copy(id.begin(), id.begin() + 8, r.Data.begin());
        emit(r);
        lines.push_back(FormatHexRecord(ExtendedLinearRecord(0x0030)));
        r = DataRecord(0, config.size());
        std::copy(config.begin(), config.end(), r.Data.begin());
        emit(r);
    }
    if (areas & HexAreaEEData) lines.push_back(FormatHexRecord(ExtendedLinearRecord(0x00F0)));
    const uint32_t eeBlocks = areas & HexAreaEEData ? device.EEDataSize / 32 : 0;
    for (uint32_t b = 0; b < eeBlocks; ++b) {
        TIntelHex r = DataRecord(32 * b, 32);
        for (uint32_t i = 0; i < 32; ++i)
            r.Data[i] = ByteAt(eedata, 32 * b + i);
        emit(r);
    }

    lines.push_back(EndLine);
    return lines;
}

namespace {

// A pipe, a terminal or another device (standard output among them) keeps
// no old contents that a failure could spoil: it is written directly.
bool IsStreamTarget(const std::string &path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 &&
           (S_ISFIFO(st.st_mode) || S_ISCHR(st.st_mode) || S_ISSOCK(st.st_mode));
}

void WriteStream(const std::string &path, const std::string &text)
{
    // Non-blocking open: a FIFO nobody reads fails at once instead of hanging.
    const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) throw HexFileError(path, errno);
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (const int error = WriteWhole(fd, text)) {
        ::close(fd);
        throw HexFileError(path, error);
    }
    if (::close(fd) != 0) throw HexFileError(path, errno);
}

} // namespace

void WriteHexLines(const std::string &path, const std::vector<std::string> &lines)
{
    std::string text;
    for (const std::string &line : lines)
        text += line + "\r\n";
    if (IsStreamTarget(path)) return WriteStream(path, text);
    if (const int error = WriteFileAtomically(path, text))
        throw HexFileError(path, error, error == EINVAL ? NotRegularFileReason : "");
}

void SaveHex16(const std::string &path, const WordImage &words, const TDeviceSpec &device, bool saveAll)
{
    WriteHexLines(path, Hex16Lines(words, device, saveAll));
}

void SaveHex18(const std::string &path, const std::vector<uint8_t> &program,
               const std::vector<uint8_t> &eedata, const std::array<uint8_t, 16> &id,
               const std::array<uint8_t, 14> &config, const TDeviceSpec18 &device, bool saveAll)
{
    WriteHexLines(path, Hex18Lines(program, eedata, id, config, device, saveAll));
}

bool SaveBuffer(const std::string &path, const MemoryBuffer &buffer, DeviceSelection device, bool saveAll)
{
    if (!IsDevice(device)) return false;
    if (device.Pic18)
        SaveHex18(path, buffer.Program18, buffer.EEData18, buffer.Id18, buffer.Config18,
                  DeviceTable18[static_cast<size_t>(device.Index)], saveAll);
    else
        SaveHex16(path, buffer.Words, DeviceTable[static_cast<size_t>(device.Index)], saveAll);
    return true;
}
