#include "texts/terminal_texts.h"

#include <cstdio>

namespace texts {

std::string ErasePhase()
{
    return "消去";
}
std::string BlankCheckPhase()
{
    return "ブランクチェック";
}
std::string ProgramPhase()
{
    return "書き込み";
}
std::string VerifyPhase()
{
    return "ベリファイ";
}
std::string ReadPhase()
{
    return "読み込み";
}

std::string TimeLeft(int seconds)
{
    char text[48];
    std::snprintf(text, sizeof text, "残り %d:%02d", seconds / 60, seconds % 60);
    return text;
}

std::string OpenPortAdviceForTerminal()
{
    return "他のアプリケーションがポートを使用していないかチェックして、-p でポートを指定してください"
           "（例: -p /dev/ttyUSB0、-p COM3）。Tarnboxのあるポートは tarnvik-cli ports で確認できます。";
}

std::string ErasedCalibrationNeedsValues()
{
    return "消去するには --cal1/--cal2 で値を与えるか、--keep-erased-calibration を付けてください。";
}

std::string RestoreWith(const std::string &commandLine)
{
    return "書き戻すには: " + commandLine;
}
std::string FastCycleNeedsRepeat()
{
    return "--fast-cycle は --repeat か複数のポート (-p) と使ってください。";
}

std::string InterruptedDuring(const std::string &what)
{
    return "中断しました。" + (what.empty() ? std::string() : "（" + what + "）");
}

std::string SerialNumberLine(unsigned long long number)
{
    return "シリアル番号 " + std::to_string(number);
}

std::string NextChipsPrompt(bool manyBoards)
{
    return std::string(manyBoards ? "各ボードの" : "") +
           "チップを交換して Enter を押してください（終了は q と Enter）: ";
}

std::string UnclearNextChipsAnswer()
{
    return "Enter で続行、q で終了します。";
}

std::string PortNoProgrammer()
{
    return "未接続";
}
std::string PortDenied()
{
    return "権限なし";
}
std::string PortUnusable()
{
    return "使用不可";
}
std::string ConfigAliases(const std::vector<std::string> &aliases)
{
    std::string text;
    for (const std::string &a : aliases)
        text += (text.empty() ? "  別名: " : ", ") + a;
    return text;
}

std::string DeviceIdUnconfirmedLog()
{
    return "DEVICEIDを確認できませんでした。";
}
std::string RegionEraseNeedsAll(const std::string &device, bool hasEEData)
{
    return "--erase: " + device + " は一括消去で全メモリーを消去するため、--only には code,id,config" +
           (hasEEData ? "（と eeprom、または --keep-eeprom）" : "") + " が必要です。";
}

std::string ChecksumOfKeptConfiguration(const std::string &checksumText, const std::string &fileChecksum)
{
    return "書き込むデータの" + checksumText + "（デバイスのConfigurationを残したため、ファイルの " +
           fileChecksum + " とは異なります）";
}

std::string KeptCopyRestored(const std::string &path)
{
    return "控えのデータを書き戻しました。控えのファイルを削除しました: " + path;
}

std::string ChipAlreadyHoldsImage()
{
    return "デバイスは既に同じデータを保持しています。書き込みを省略しました。";
}

std::string ProtectedChipProgrammedAnyway()
{
    return "プロテクトのためデバイスの内容を確認できません。書き込みます。";
}

std::string NoKeptCopies(const std::string &folder)
{
    return "書き戻しを待つ控えはありません（" + folder + "）。";
}

std::string SavedFileLog(const std::string &quotedName)
{
    return "ファイル " + quotedName + " にセーブしました。";
}
std::string SavedFileStatus(const std::string &quotedName)
{
    return " " + quotedName + " にセーブしました。";
}

} // namespace texts
