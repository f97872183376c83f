#include "texts/window_texts.h"

namespace texts {

std::string WindowFontFamily()
{
    return "ＭＳ Ｐゴシック";
}
std::string FixedFontFamily()
{
    return "ＭＳ ゴシック";
}

std::string StatusBarName()
{
    return "ステータス";
}
std::string ProgressBarName()
{
    return "進行状況";
}
std::string ListOf(const std::string &caption)
{
    return caption + " の一覧";
}
std::string MenuOf(const std::string &caption)
{
    return caption + "のメニュー";
}
std::string AddressOf(const std::string &caption)
{
    return caption + " のアドレス";
}

std::string DifferenceAt(const std::string &address, const std::string &file, const std::string &chip)
{
    return "0x" + address + ": ファイル " + file + "、デバイス " + chip;
}

std::string CloseAfterCommand()
{
    return "実行中のコマンドが終わると終了します…";
}
std::string TraceUnwritable(const std::string &error)
{
    return "通信トレースを書き込めません: " + error;
}
std::string TraceRecording(const std::string &path)
{
    return "通信トレースを記録しています: " + path;
}

std::string SettingsUnwritableLine(const std::string &path)
{
    return "tarnvik: 設定を書き込めません: " + path + "\n";
}

std::string WarningTitle()
{
    return "警告";
}
std::string YesButton()
{
    return "はい(&Y)";
}
std::string NoButton()
{
    return "いいえ(&N)";
}
std::string RetryButton()
{
    return "再試行(&R)";
}

std::string SettingsUnwritableQuestion()
{
    return "INIファイルに書込みできません。\n"
           "\n"
           "このまま終了しますか？\n"
           "\n"
           "[ はい ] INIファイルに書込まないで終了します。\n"
           "[いいえ] 終了しないでもとに戻ります。\n"
           "[再試行] 再度INIファイルに書込みを試みます。";
}

std::string EraseAnywayQuestion(const std::string &warning)
{
    return warning + "このまま消去しますか？";
}
std::string HexFileFilter()
{
    return "Intel HEX ファイル (*.hex);;全てのファイル (*)";
}

std::string ConfigBitsTitle(const std::string &device)
{
    return "コンフィグビット - " + device;
}
std::string BitsOfMask(const std::string &mask)
{
    return "ビット " + mask;
}
std::string UnnamedValue(const std::string &value)
{
    return value + "  (名前のない値)";
}

} // namespace texts
