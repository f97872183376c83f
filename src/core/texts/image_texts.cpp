#include "texts/image_texts.h"

namespace texts {

std::string Checksum(const std::string &checksum)
{
    return "チェックサム " + checksum;
}

std::string HexLineNoColon()
{
    return "レコードの始まり「:」がありません。";
}

std::string HexLineBadDigit()
{
    return "16進数でない文字があります。";
}

std::string HexLineCutShort()
{
    return "レコードが途中で切れています。";
}

std::string HexLineBadType()
{
    return "レコードタイプが正しくありません。";
}

std::string HexLineBadChecksum()
{
    return "チェックサムが一致しません。";
}

std::string HexLineTooLong()
{
    return "行が長すぎます。";
}

std::string HexNoEndRecord()
{
    return "終了レコードがありません（ファイルが途中で切れています）。";
}

std::string HexSkippedLine(long line, const std::string &reason)
{
    return std::to_string(line) + " 行目: " + reason;
}

std::string HexLinesSkipped(const std::string &file, long skipped, long firstLine)
{
    return "ファイル \"" + file + "\" の " + std::to_string(skipped) + " 行を読み込めませんでした（最初は " +
           std::to_string(firstLine) + " 行目）。";
}

std::string NoHexData(const std::string &file)
{
    return "ファイル \"" + file + "\" にHEXデータがありません。";
}

std::string NothingLoaded(const std::string &file)
{
    return "ファイル \"" + file + "\" から何も読み込めませんでした。";
}

std::string LoadOutsidePart()
{
    return "デバイスのメモリの外にあるデータです（書き込まれません）。";
}

std::string LoadEepromHighByte()
{
    return "EEPROMのデータの上位バイトが0ではありません（上位バイトは書き込まれません）。";
}

std::string LoadPic18Image()
{
    return "PIC18用の拡張アドレスです（無視され、データが0番地付近に置かれます）。";
}

std::string LoadExtendedWraps()
{
    return "拡張アドレスが無視され、データが下位64Kバイト内の別の番地に置かれます。";
}

std::string LoadSegmentIgnored()
{
    return "セグメントアドレス（タイプ02）が無視され、データが別の番地に置かれます。";
}

std::string LoadOddBytes()
{
    return "ワードの2バイトのうち1バイトしかファイルにありません（もう1バイトはバッファーの値のままです）。";
}

std::string LoadOverlap()
{
    return "前のレコードと重なり、値が異なります（後の値が使われます）。";
}

std::string LoadOverlapWithLine(long earlierLine)
{
    return std::to_string(earlierLine) + " 行目のレコードと重なり、値が異なります（後の値が使われます）。";
}

std::string LoadFindingLine(long line, const std::string &range, const std::string &reason)
{
    return std::to_string(line) + " 行目 (" + range + "): " + reason;
}

std::string LoadFindingsHeading(const std::string &file, long count, const std::string &device)
{
    return "ファイル \"" + file + "\" の " + std::to_string(count) + " 件のレコードがデバイス " + device +
           " にそのとおりには入りません。";
}

std::string LoadFindingsRefused()
{
    return "ファイルの内容がそのとおりにはデバイスに入らないため、中止しました。";
}

std::string LoadFindingsHeld()
{
    return "このバッファでは書き込みとベリファイはできません（ファイルを直して再ロードしてください）。";
}

} // namespace texts
