#include "texts/operation_texts.h"

namespace texts {

std::string NoDeviceSelected()
{
    return "DEVICE が選択されていません。";
}

std::string SelectDeviceStatus()
{
    return " !! デバイスを選択してください。";
}

std::string DeviceIdUnconfirmed()
{
    return "DEVICEIDを確認できませんでした。";
}

std::string DeviceIdUnconfirmedStatus()
{
    return " !! DEVICE-IDを確認できませんでした。";
}

std::string DeviceIdDiffers()
{
    return "DEVICEIDが異なります。";
}

std::string DeviceIdDiffersStatus()
{
    return " !! DEVICE-IDが異なります。";
}

std::string PortNotOpen()
{
    return "COMポートがオープンされていません。";
}

std::string OpenPortStatus(Audience who)
{
    if (who == Audience::SmallBox) return " !! ポートをオープンしてください。";
    return " !! 接続を確認してポートをオープンしてください。";
}

std::string ProgrammerNotFound(const std::string &port)
{
    return port + "にプログラマーの接続を確認できませんでした。";
}

std::string CheckConnectionStatus(Audience who)
{
    if (who == Audience::SmallBox) return " !! 接続を確認してください。";
    return " !! 接続を確認してください";
}

std::string Pic18UnsupportedLog()
{
    return "このファームウェアはPIC18をサポートしていません。！";
}

std::string Pic18Unsupported()
{
    return " PIC18をサポートしていません！";
}

std::string EchoMismatch()
{
    return "エコーが一致しませんでした（ケーブルや接続の不良かもしれません）。";
}

std::string ChecksumMismatch()
{
    return "チェックサムが一致しませんでした（ケーブルや接続の不良かもしれません）。";
}

std::string ReadFailedStatus()
{
    return " !! デバイスから読み込めませんでした。";
}

std::string WriteFailedStatus()
{
    return " !! デバイスに書き込めませんでした。";
}

std::string PowerCycleProgrammer()
{
    return "プログラマーの電源を入れ直してください。";
}

std::string KeptMemories(bool eeprom, bool config)
{
    return eeprom && config ? "EEPROMとConfiguration" : eeprom ? "EEPROM" : "Configuration";
}

std::string KeptEepromProtected()
{
    return "デバイスのEEPROMはデータプロテクトが有効なため読み出せません（0 として読まれます）。"
           "EEPROMを残す書込みを中止しました。";
}

std::string KeptEepromProtectedStatus()
{
    return " !! EEPROMを残せないため書込みを中止しました。";
}

std::string KeptCopyUnwritableStatus()
{
    return " !! 残すデータの控えを保存できないため書込みを中止しました。";
}

std::string KeptCopyUnwritable(const std::string &folder, const std::string &reason)
{
    return "残すデータの控えを " + folder + " に保存できないため書込みを中止しました: " + reason;
}

std::string KeptCopySaved(const std::string &memories, const std::string &path)
{
    return "デバイスの" + memories + "の控えを保存しました: " + path;
}

std::string KeptOverFile(const std::string &memory)
{
    return "!ファイルの" + memory + "は書き込まず、デバイスの" + memory + "を書き戻します。";
}

std::string KeptCopyPending(const std::string &device, const std::string &deviceId,
                            const std::string &memories, const std::string &time, const std::string &path)
{
    return "!" + device + "（DEVICE-ID " + deviceId + "）から残した" + memories + "が書き戻されていません（" +
           time + " の控え: " + path + "）。";
}

std::string KeptNotWrittenBack(const std::string &memories, const std::string &path)
{
    return "!デバイスから残した" + memories + "を書き戻せませんでした。控えのファイル: " + path;
}

std::string BufferWritten()
{
    return "バッファの内容をデバイスに書き込みました。";
}

std::string DeviceWritten()
{
    return "デバイスに書き込みました";
}

std::string MissingConfiguration(const std::string &file, const std::string &summary)
{
    return "ファイル \"" + file +
           "\" にConfigurationがありません。デバイスには次の値が書き込まれます: " + summary;
}

} // namespace texts
