// What the memory image says: a HEX file's lines that could not be read,
// records that do not fit the part, and the image's checksum. The same for
// the window and the command line.
#pragma once

#include <string>

namespace texts {

// "チェックサム 0E3C": checksum in four hexadecimal digits.
std::string Checksum(const std::string &checksum);

// Why a line of a HEX file was skipped.
std::string HexLineNoColon();
std::string HexLineBadDigit();
std::string HexLineCutShort();
std::string HexLineBadType();
std::string HexLineBadChecksum();
std::string HexLineTooLong();
std::string HexNoEndRecord();
// "12 行目: <reason>"
std::string HexSkippedLine(long line, const std::string &reason);
// The heading over the skipped lines: how many, and the first.
std::string HexLinesSkipped(const std::string &file, long skipped, long firstLine);
std::string NoHexData(const std::string &file);
std::string NothingLoaded(const std::string &file);

// Why a record does not go into the part as the file has it.
std::string LoadOutsidePart();
std::string LoadEepromHighByte();
std::string LoadPic18Image();
std::string LoadExtendedWraps();
std::string LoadSegmentIgnored();
std::string LoadOddBytes();
std::string LoadOverlap();
// An overlap with the record on an earlier line.
std::string LoadOverlapWithLine(long earlierLine);
// "12 行目 (0x1F00-0x1F07): <reason>"; range as the text shows it.
std::string LoadFindingLine(long line, const std::string &range, const std::string &reason);
// The heading over the findings.
std::string LoadFindingsHeading(const std::string &file, long count, const std::string &device);
// What program and verify say when they refuse such a file.
std::string LoadFindingsRefused();
// What the window says when a plain load keeps such a file in the buffer.
std::string LoadFindingsHeld();

} // namespace texts
