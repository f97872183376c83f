// Intel HEX files: reading them into the buffer and writing the buffer out.
//
// Every line is parsed on its own into a TIntelHex; whatever is not a
// well-formed data or extended-address record is skipped, and every skipped
// line is counted and remembered with its number and the reason, so that the
// commands can tell the user instead of programming half a file. Two extras
// sit beside the standard records: device tags (comment lines ";PIC10…",
// ";PIC12…", ";PIC16…", ";PIC18…") and device-information records (any
// record whose address high byte is 0xFF).
//
// A file is opened once and read whole (a regular file, or standard input),
// so that the device-tag scan and the load see the same bytes even from a
// pipe. Lines may end in LF, CR LF, or a lone CR; files are written with CR
// LF, through a temporary file that replaces the target only when complete.
// A file that cannot be opened, read, created or written raises HexFileError.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "catalogue/DeviceSpec.h"
#include "image/buffer.h"

// Line status of a parsed line.
enum HexLineStatus : int32_t {
    HexEmptyLine = -1,
    HexLineOk = 0,      // a well-formed record (type 0..5), or a device tag
    HexNoColon = 1,     // no ':' anywhere, and not a comment
    HexTooShort = 2,    // fewer bytes decoded than count + 5
    HexBadType = 3,     // record type above 5
    HexBadChecksum = 4, // sum of the record mod 256 is not 0
    HexComment = 5,     // ';' line that is not a device tag
    HexTooLong = 6,     // longer than any record can be: not decoded at all
};

// The most data bytes one record can announce.
constexpr int HexMaxDataBytes = 255;
constexpr int HexDecodeAreaSize = 4 + HexMaxDataBytes + 1; // count, address (2), type, data, checksum
constexpr int HexDataAreaSize = HexDecodeAreaSize - 4;
// A line of the longest record is 521 characters; text before the colon and
// after the checksum is allowed, within reason. Longer lines are skipped
// without being decoded.
constexpr size_t HexMaxLineLength = 1024;
// No HEX file of any device comes near this; a bigger input (a device, a
// pipe that never ends) is refused instead of filling the memory.
constexpr size_t HexMaxFileSize = 32u << 20;

constexpr uint8_t HexDataRecord = 0x00;
constexpr uint8_t HexEndRecord = 0x01;
constexpr uint8_t HexExtendedLinearRecord = 0x04;

// One parsed (or to-be-written) Intel HEX line. Fields the line did not
// supply are zero.
struct TIntelHex {
    uint8_t Count = 0;
    uint8_t AddressHigh = 0;
    uint8_t AddressLow = 0;
    uint8_t RecordType = 0;
    // The bytes after the type: Count data bytes, then the checksum byte, then
    // whatever else the line held, up to the end of the decoding area.
    std::array<uint8_t, HexDataAreaSize> Data{};
    int32_t Sum = 0; // count + address bytes + type + data + checksum
    std::string Tag; // device tag text, or empty
    int32_t LineStatus = HexEmptyLine;
    int Decoded = 0;       // bytes decoded from the line, count included
    bool BadDigit = false; // decoding stopped at a character that is no hex digit

    uint16_t Address() const { return static_cast<uint16_t>(AddressHigh << 8 | AddressLow); }
    void SetAddress(uint32_t address)
    {
        AddressHigh = static_cast<uint8_t>(address >> 8);
        AddressLow = static_cast<uint8_t>(address);
    }
};

class HexFileError : public std::runtime_error {
public:
    // error is an errno value; what() reads "<path>: <system's error text>",
    // or "<path>: <reason>" when a reason is given.
    HexFileError(const std::string &path, int error, const std::string &reason = {});
    const std::string &Path() const { return path_; }
    int Error() const { return error_; }
    std::string Reason() const;

private:
    std::string path_;
    int error_;
    std::string reason_;
};

// The reason a file that is no regular file (a FIFO, a device, a socket) is
// refused; its error is EINVAL.
inline constexpr const char *NotRegularFileReason = "not a regular file";

// ---- What a read skipped -------------------------------------------------

enum class HexSkip {
    NoColon,     // no record start
    BadDigit,    // a character that is no hexadecimal digit
    CutShort,    // fewer bytes than the record announces
    BadType,     // record type above 5
    BadChecksum, // the record does not add up
    TooLong,     // longer than any record
    NoEndRecord, // the file ends without ":00000001FF": it was cut short
};

struct HexSkippedLine {
    long Line = 0; // 1-based; for NoEndRecord the line after the last
    HexSkip Why = HexSkip::NoColon;
};

// What reading one file found, beside the records it loaded.
struct HexReadReport {
    long Skipped = 0;                  // lines skipped, a missing end record included
    std::vector<HexSkippedLine> Lines; // the first MaxRemembered of them, in order
    bool HasRecords = false;           // at least one well-formed record
    bool HasEndRecord = false;
    bool HasDataRecords = false;       // at least one well-formed data record

    static constexpr size_t MaxRemembered = 1000;

    // Notes one line; empty lines and comments are not skipped lines.
    void Note(long line, const TIntelHex &record);
    // After the last line: a file with records but no end record was cut short.
    void Finish(long lines);
    // No well-formed record at all: nothing in the file is HEX.
    bool NoData() const { return !HasRecords; }
    // Records, but every line that carried data was skipped: the load put
    // nothing into the buffer.
    bool LoadedNothing() const { return HasRecords && !HasDataRecords && Skipped > 0; }
    // What a load may announce as loaded (an empty file's end record too).
    bool LoadedAny() const { return !NoData() && !LoadedNothing(); }
};

// Japanese texts of a read's findings, the same for the window and the
// command line. name is the file name without its folder.
std::string HexSkipReason(HexSkip why);
// "123 行目: <reason>"
std::string SkippedLineText(const HexSkippedLine &line);
// ファイル "NAME" の N 行を読み込めませんでした（最初は M 行目）。
std::string SkippedLinesText(const std::string &name, const HexReadReport &report);
// A file without HEX data and one nothing was read from are said by
// texts::NoHexData() and texts::NothingLoaded().
// At most this many skipped lines are listed one by one.
constexpr size_t SkippedLinesListed = 20;

// ---- Reading -------------------------------------------------------------

TIntelHex ParseHexLine(std::string_view line);

// Calls onLine for every line of text; LF, CR LF and a lone CR all end a line.
// A final line without an end is passed too.
void ForEachHexLine(std::string_view text, const std::function<void(std::string_view)> &onLine);
// The whole of a HEX file, read once: a regular file, or standard input when
// path is "-" or names it (/dev/stdin). Anything else (a FIFO, a device) is
// refused before it is opened; more than HexMaxFileSize bytes raise EFBIG.
std::string ReadHexFile(const std::string &path);
// Reads a file line by line; throws HexFileError when it cannot be opened or read.
void ForEachHexFileLine(const std::string &path, const std::function<void(std::string_view)> &onLine);

// The device a file names: the first device tag (";PIC1…", up to 12
// characters) or device-information record naming a PIC10F/12F/16F part, cut
// before its first blank or NUL. Empty when the file names none.
std::string ScanDeviceTag(const std::string &path);
std::string ScanDeviceTagText(std::string_view text);

// The first 16 data bytes of the last device-information record; byte 8 is
// 0xFF while no usable information has been seen.
using DeviceInformation = std::array<uint8_t, 16>;
constexpr int DeviceInformationValid = 8;

// PIC10/12/16 loader state: overlays records onto the word image byte by
// byte, the low byte of a word at its even byte address and the high byte at
// the odd one after it, so a word whose two bytes come in two records is one
// word. Byte addresses 0x8000-0x81FF are read as the EEData area
// (0x4200-0x43FF); data above 0x43FF is dropped. Extended address records
// are ignored.
class Hex16Loader {
public:
    Hex16Loader(WordImage &words, std::string &tag, DeviceInformation &info);
    void Line(std::string_view line) { Record(ParseHexLine(line)); }
    void Record(const TIntelHex &r);

private:
    WordImage &words_;
    std::string &tag_;
    DeviceInformation &info_;
};

// PIC18 loader state: places bytes by the extended linear address (0x0000
// program, 0x0020 ID, 0x0030 configuration, 0x00F0 EEData); bytes beyond an
// array or in any other window are dropped. Arrays keep their lengths.
class Hex18Loader {
public:
    Hex18Loader(std::vector<uint8_t> &program, std::vector<uint8_t> &eedata, std::array<uint8_t, 16> &id,
                std::array<uint8_t, 14> &config, std::string &tag);
    void Line(std::string_view line) { Record(ParseHexLine(line)); }
    void Record(const TIntelHex &r);

private:
    std::vector<uint8_t> &program_;
    std::vector<uint8_t> &eedata_;
    std::array<uint8_t, 16> &id_;
    std::array<uint8_t, 14> &config_;
    std::string &tag_;
    uint16_t extended_ = 0;
};

// Where the PIC10/12/16 loader puts a data record: the image byte address
// (twice the word address, plus one for the high byte) of its first byte,
// 0x8000-0x81FF read as 0x4200-0x43FF; -1 for a record starting above
// 0x43FF, which is dropped whole. Its bytes follow from there, up to the end
// of the word image.
long Hex16ImageByte(const TIntelHex &r);
constexpr uint32_t Hex16ImageBytes = 2 * WordImageSize;

// Calls onRecord with every line parsed, in order, and notes the lines it
// skips in report (finished at the end). A DOS end-of-file mark (^Z) and
// blanks or line ends after it end the text: editors and tools of that
// heritage put one after the end record.
void ReadHexText(std::string_view text, HexReadReport &report,
                 const std::function<void(const TIntelHex &)> &onRecord);

void LoadHex16(const std::string &path, WordImage &words, std::string &tag, DeviceInformation &info);
void LoadHex18(const std::string &path, std::vector<uint8_t> &program, std::vector<uint8_t> &eedata,
               std::array<uint8_t, 16> &id, std::array<uint8_t, 14> &config, std::string &tag);

// Composes the configuration word and User-ID words from device information
// when its byte 8 is 0. Returns whether it did.
bool ApplyDeviceInformation(const DeviceInformation &info, const TDeviceSpec &device, WordImage &words);
