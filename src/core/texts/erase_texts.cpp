#include "texts/erase_texts.h"

namespace texts {

std::string DeviceErased()
{
    return "デバイスを消去しました。";
}

std::string CalibUnreadable()
{
    return " !! キャリブレーションデータを読み出せませんでした。消去を中止しました。";
}

std::string CalibNotRestoredStatus()
{
    return " !! キャリブレーションデータを書き戻せませんでした。";
}

std::string CalibErasedStop()
{
    return "キャリブレーションデータが消去されています。消去を中止しました。";
}

std::string CalibSlotRead(const std::string &address, const std::string &value)
{
    return "アドレス " + address + " から" + "キャリブレーションデータ " + value + " を読み出しました。";
}

std::string CalibSlotWritten(const std::string &address, const std::string &value)
{
    return "アドレス " + address + " へ" + "キャリブレーションデータ " + value + " を書き込みました。";
}

std::string CalibValueErased(const std::string &address, const std::string &value)
{
    return "!アドレス " + address + " のキャリブレーションデータ " + value + " は消去された値です。";
}

std::string CalibLastRecorded(const std::string &value, const std::string &time, const std::string &deviceId)
{
    return "  記録されている値: " + value + "（" + time + "、DEVICE-ID " + deviceId + "）";
}

std::string CalibNoneRecorded()
{
    return "  記録されている値はありません。";
}

std::string CalibRestoreValue(const std::string &address, const std::string &value)
{
    return "アドレス " + address + " のキャリブレーションデータ " + value + " を書き戻してください。";
}

std::string CalibReplacedByTyped()
{
    return "!キャリブレーションデータは入力値に置き換わりました。";
}

std::string CalibChangeRefused()
{
    return "このデバイスではCALIBデータを変更できません。消去を中止しました。";
}

std::string CalibLogNotWritten(const std::string &path, const std::string &reason)
{
    return "!キャリブレーションログに書き込めませんでした: " + path + "（" + reason + "）";
}

std::string CalibLogRefused(const std::string &path, const std::string &reason)
{
    return "キャリブレーションログ " + path + " に書き込めないため消去を中止しました: " + reason;
}

std::string CalibLogRefusedStatus()
{
    return " !! キャリブレーションログに書き込めないため消去を中止しました。";
}

} // namespace texts
