#include "image/hex.h"

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

#include "support/atomic_file.h"
#include "support/checked_file.h"
#include "support/textutil.h"
#include "texts/image_texts.h"

HexFileError::HexFileError(const std::string &path, int error, const std::string &reason)
    : std::runtime_error(path + ": " + (reason.empty() ? ErrorText(error) : reason)), path_(path),
      error_(error), reason_(reason)
{
}

std::string HexFileError::Reason() const
{
    return reason_.empty() ? ErrorText(error_) : reason_;
}

namespace {

bool IsDeviceTagLine(std::string_view line)
{
    return line.starts_with(";PIC10") || line.starts_with(";PIC12") || line.starts_with(";PIC16") ||
           line.starts_with(";PIC18");
}

// "PIC" followed by data bytes 1..8 of a device-information record.
std::string DeviceInformationName(const TIntelHex &record)
{
    std::string name = "PIC";
    for (int i = 1; i <= 8; ++i)
        name += static_cast<char>(record.Data[i]);
    return name;
}


} // namespace

// ---- Parsing -------------------------------------------------------------

TIntelHex ParseHexLine(std::string_view line)
{
    TIntelHex r;
    if (line.empty()) {
        r.LineStatus = HexEmptyLine;
        return r;
    }
    if (line.size() > HexMaxLineLength) {
        r.LineStatus = HexTooLong;
        return r;
    }
    if (line[0] == ';') {
        if (IsDeviceTagLine(line)) {
            r.Tag = std::string(line.substr(1, 16));
            r.LineStatus = HexLineOk;
        } else {
            r.LineStatus = HexComment;
        }
        return r;
    }
    size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
        r.LineStatus = HexNoColon;
        return r;
    }

    std::array<uint8_t, HexDecodeAreaSize> area{};
    int n = 0;
    size_t p = colon + 1;
    for (; n < HexDecodeAreaSize && p + 1 < line.size(); p += 2) {
        int hi = HexDigit(line[p]), lo = HexDigit(line[p + 1]);
        if (hi < 0 || lo < 0) break;
        area[static_cast<size_t>(n++)] = static_cast<uint8_t>(hi << 4 | lo);
    }
    // Decoding that stopped at a stray character, rather than at the end of
    // the line or at blanks after it, points at a damaged line.
    r.BadDigit = n < HexDecodeAreaSize && p < line.size() && line[p] != ' ' && line[p] != '\t' &&
                 !(HexDigit(line[p]) >= 0 && p + 1 == line.size());
    r.Decoded = n;
    r.Count = area[0];
    r.AddressHigh = area[1];
    r.AddressLow = area[2];
    r.RecordType = area[3];
    std::copy(area.begin() + 4, area.end(), r.Data.begin());

    if (n < r.Count + 5) {
        r.LineStatus = HexTooShort;
        return r;
    }
    if (r.RecordType > 5) {
        r.LineStatus = HexBadType;
        return r;
    }
    int32_t sum = r.Count + r.AddressHigh + r.AddressLow + r.RecordType;
    for (int i = 0; i <= r.Count; ++i)
        sum += r.Data[static_cast<size_t>(i)];
    r.Sum = sum;
    r.LineStatus = (sum % 256 != 0) ? HexBadChecksum : HexLineOk;
    return r;
}

void ForEachHexLine(std::string_view text, const std::function<void(std::string_view)> &onLine)
{
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos) {
            onLine(text.substr(start));
            return;
        }
        onLine(text.substr(start, end - start));
        start = end + 1;
        if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
    }
}

namespace {

[[noreturn]] void ThrowNotRegular(const std::string &path)
{
    throw HexFileError(path, EINVAL, NotRegularFileReason);
}

bool SameFile(const struct stat &a, const struct stat &b)
{
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Reads fd to its end, at most HexMaxFileSize bytes. Standard input may have
// been left non-blocking by whoever started us; then it is waited for.
std::string ReadAllBounded(int fd, const std::string &path)
{
    std::string text;
    char chunk[65536];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                pollfd p{fd, POLLIN, 0};
                ::poll(&p, 1, -1);
                continue;
            }
            throw HexFileError(path, errno);
        }
        if (got == 0) return text;
        if (text.size() + static_cast<size_t>(got) > HexMaxFileSize) throw HexFileError(path, EFBIG);
        text.append(chunk, static_cast<size_t>(got));
    }
}

} // namespace

std::string ReadHexFile(const std::string &path)
{
    struct stat input {};
    const bool haveInput = ::fstat(STDIN_FILENO, &input) == 0;
    if (path == "-") {
        if (!haveInput) throw HexFileError(path, errno);
        return ReadAllBounded(STDIN_FILENO, path);
    }
    struct stat st {};
    int error = CheckRegularFile(path, &st);
    // /dev/stdin and its like name the input the program was given.
    if (error == NotRegularFileError && haveInput && SameFile(st, input))
        return ReadAllBounded(STDIN_FILENO, path);
    std::string text;
    if (error == 0) error = ReadRegularFile(path, HexMaxFileSize, text);
    if (error == NotRegularFileError) ThrowNotRegular(path);
    if (error != 0) throw HexFileError(path, error);
    return text;
}

void ForEachHexFileLine(const std::string &path, const std::function<void(std::string_view)> &onLine)
{
    ForEachHexLine(ReadHexFile(path), onLine);
}

// ---- What a read skipped --------------------------------------------------

void HexReadReport::Note(long line, const TIntelHex &r)
{
    HexSkip why;
    switch (r.LineStatus) {
    case HexLineOk:
        if (r.Tag.empty()) {
            HasRecords = true;
            if (r.RecordType == HexEndRecord) HasEndRecord = true;
            if (r.RecordType == HexDataRecord && r.Count > 0) HasDataRecords = true;
        }
        return;
    case HexEmptyLine:
    case HexComment:
        return;
    case HexNoColon:
        why = HexSkip::NoColon;
        break;
    case HexTooShort:
        why = r.BadDigit ? HexSkip::BadDigit : HexSkip::CutShort;
        break;
    case HexBadType:
        why = HexSkip::BadType;
        break;
    case HexBadChecksum:
        why = HexSkip::BadChecksum;
        break;
    default:
        why = HexSkip::TooLong;
        break;
    }
    ++Skipped;
    if (Lines.size() < MaxRemembered) Lines.push_back({line, why});
}

void HexReadReport::Finish(long lines)
{
    // A file with no record at all is no HEX file; saying that it lacks its
    // end record as well would only repeat it.
    if (!HasRecords || HasEndRecord) return;
    ++Skipped;
    if (Lines.size() < MaxRemembered) Lines.push_back({lines + 1, HexSkip::NoEndRecord});
}

std::string HexSkipReason(HexSkip why)
{
    switch (why) {
    case HexSkip::NoColon:
        return texts::HexLineNoColon();
    case HexSkip::BadDigit:
        return texts::HexLineBadDigit();
    case HexSkip::CutShort:
        return texts::HexLineCutShort();
    case HexSkip::BadType:
        return texts::HexLineBadType();
    case HexSkip::BadChecksum:
        return texts::HexLineBadChecksum();
    case HexSkip::TooLong:
        return texts::HexLineTooLong();
    case HexSkip::NoEndRecord:
        return texts::HexNoEndRecord();
    }
    return {};
}

std::string SkippedLineText(const HexSkippedLine &line)
{
    return texts::HexSkippedLine(line.Line, HexSkipReason(line.Why));
}

std::string SkippedLinesText(const std::string &name, const HexReadReport &report)
{
    const long first = report.Lines.empty() ? 0 : report.Lines.front().Line;
    return texts::HexLinesSkipped(name, report.Skipped, first);
}

namespace {

// The text without a closing ^Z and the blanks and line ends around it.
std::string_view WithoutDosEnd(std::string_view text)
{
    const size_t tail = text.find_last_not_of(std::string_view("\x1A \t\r\n", 5));
    const size_t from = tail == std::string_view::npos ? 0 : tail + 1;
    if (text.find('\x1A', from) == std::string_view::npos) return text;
    return text.substr(0, from);
}

} // namespace

void ReadHexText(std::string_view text, HexReadReport &report,
                 const std::function<void(const TIntelHex &)> &onRecord)
{
    text = WithoutDosEnd(text);
    long number = 0;
    ForEachHexLine(text, [&](std::string_view line) {
        const TIntelHex record = ParseHexLine(line);
        report.Note(++number, record);
        onRecord(record);
    });
    report.Finish(number);
}

// ---- Device-tag scan -----------------------------------------------------

namespace {

// Returns true when the line settles the scan.
bool ScanLine(std::string_view line, std::string &name)
{
    if (line.size() > HexMaxLineLength) return false;
    if (line.starts_with(";PIC1")) {
        name = std::string(line.substr(1, 12));
        return true;
    }
    // A damaged device-information record names nothing.
    TIntelHex record = ParseHexLine(line);
    if (record.LineStatus == HexLineOk && record.AddressHigh == 0xFF) {
        std::string candidate = DeviceInformationName(record);
        std::string prefix = UpperCase(std::string_view(candidate).substr(0, 6));
        if (prefix == "PIC10F" || prefix == "PIC12F" || prefix == "PIC16F") {
            name = candidate;
            return true;
        }
    }
    return false;
}

// Only a space or a NUL ends the name: a tab stays in it, and such a name
// then matches no catalogue row.
std::string CutAtBlank(std::string name)
{
    size_t cut = name.find_first_of(std::string_view(" \0", 2));
    if (cut != std::string::npos) name.erase(cut);
    return name;
}

// Stops a line-by-line read early once the scan has its answer.
struct ScanDone {};

} // namespace

std::string ScanDeviceTag(const std::string &path)
{
    return ScanDeviceTagText(ReadHexFile(path));
}

std::string ScanDeviceTagText(std::string_view text)
{
    std::string name;
    try {
        ForEachHexLine(text, [&](std::string_view line) {
            if (ScanLine(line, name)) throw ScanDone{};
        });
    } catch (const ScanDone &) {
    }
    return CutAtBlank(name);
}

// ---- Loaders -------------------------------------------------------------

Hex16Loader::Hex16Loader(WordImage &words, std::string &tag, DeviceInformation &info)
    : words_(words), tag_(tag), info_(info)
{
    info_[DeviceInformationValid] = 0xFF;
    tag_.clear();
}

void Hex16Loader::Record(const TIntelHex &r)
{
    if (!r.Tag.empty()) {
        tag_ = r.Tag;
        return;
    }
    // A damaged device-information record is skipped like any damaged line:
    // it must not select a device or make up a configuration word.
    if (r.AddressHigh == 0xFF && r.LineStatus == HexLineOk) {
        tag_ = DeviceInformationName(r);
        // Bytes the line did not carry read as erased, so a cut-off record
        // never passes for usable information.
        for (size_t i = 0; i < info_.size(); ++i)
            info_[i] = (static_cast<int>(i) + 4 < r.Decoded) ? r.Data[i] : 0xFF;
        return;
    }
    if (r.LineStatus != HexLineOk || r.RecordType != HexDataRecord) return;

    const long start = Hex16ImageByte(r);
    if (start < 0) return;
    for (uint32_t i = 0; i < r.Count; ++i) {
        const uint32_t at = static_cast<uint32_t>(start) + i;
        if (at >= Hex16ImageBytes) break;
        uint16_t &word = words_[at / 2];
        const uint8_t value = r.Data[i];
        word = static_cast<uint16_t>(at % 2 ? (word & 0x00FF) | value << 8 : (word & 0xFF00) | value);
    }
}

long Hex16ImageByte(const TIntelHex &r)
{
    uint8_t high = r.AddressHigh;
    if (high == 0x80)
        high = 0x42;
    else if (high == 0x81)
        high = 0x43;
    if (high > 0x43) return -1;
    return static_cast<long>(high) << 8 | r.AddressLow;
}

Hex18Loader::Hex18Loader(std::vector<uint8_t> &program, std::vector<uint8_t> &eedata,
                         std::array<uint8_t, 16> &id, std::array<uint8_t, 14> &config, std::string &tag)
    : program_(program), eedata_(eedata), id_(id), config_(config), tag_(tag)
{
    tag_.clear();
}

void Hex18Loader::Record(const TIntelHex &r)
{
    if (!r.Tag.empty()) {
        tag_ = r.Tag;
        return;
    }
    if (r.LineStatus != HexLineOk) return;
    if (r.RecordType == HexExtendedLinearRecord) {
        // Without its two data bytes the record has no address to give.
        if (r.Count >= 2) extended_ = static_cast<uint16_t>(r.Data[0] << 8 | r.Data[1]);
        return;
    }
    if (r.RecordType != HexDataRecord) return;
    for (uint32_t i = 0; i < r.Count; ++i) {
        uint32_t o = r.Address() + i;
        uint8_t b = r.Data[i];
        switch (extended_) {
        case 0x0000:
            if (o < program_.size()) program_[o] = b;
            break;
        case 0x0020:
            if (o < id_.size()) id_[o] = b;
            break;
        case 0x0030:
            if (o < config_.size()) config_[o] = b;
            break;
        case 0x00F0:
            if (o < eedata_.size()) eedata_[o] = b;
            break;
        default:
            break;
        }
    }
}

void LoadHex16(const std::string &path, WordImage &words, std::string &tag, DeviceInformation &info)
{
    const std::string text = ReadHexFile(path);
    Hex16Loader loader(words, tag, info);
    HexReadReport report;
    ReadHexText(text, report, [&](const TIntelHex &r) { loader.Record(r); });
}

void LoadHex18(const std::string &path, std::vector<uint8_t> &program, std::vector<uint8_t> &eedata,
               std::array<uint8_t, 16> &id, std::array<uint8_t, 14> &config, std::string &tag)
{
    const std::string text = ReadHexFile(path);
    Hex18Loader loader(program, eedata, id, config, tag);
    HexReadReport report;
    ReadHexText(text, report, [&](const TIntelHex &r) { loader.Record(r); });
}

bool ApplyDeviceInformation(const DeviceInformation &info, const TDeviceSpec &device, WordImage &words)
{
    if (info[DeviceInformationValid] != 0) return false;
    uint16_t config =
        static_cast<uint16_t>((info[9] & 0x03) | (info[10] & 0x01) << 2 | (~info[11] & 0x01) << 3 |
                              (info[12] & 0x01) << 4 | (info[12] >> 4 & 0x01) << 6);
    config = static_cast<uint16_t>((config | device.ConfigBaseBits) & device.ConfigMask1);
    uint32_t at = device.ConfigAddress1 >= 0x2000 ? device.ConfigAddress1 : Config12BitWord;
    if (at < WordImageSize) words[at] = config;

    const uint8_t nibbles[4] = {static_cast<uint8_t>(info[14] >> 4), static_cast<uint8_t>(info[14] & 0x0F),
                                static_cast<uint8_t>(info[15] >> 4), static_cast<uint8_t>(info[15] & 0x0F)};
    for (uint32_t i = 0; i < 4; ++i)
        if (device.UserIdAddress + i < WordImageSize)
            words[device.UserIdAddress + i] = static_cast<uint16_t>(0xFFF0 | nibbles[i]);
    return true;
}
