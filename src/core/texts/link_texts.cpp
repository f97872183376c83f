#include "texts/link_texts.h"

namespace texts {

std::string LinkLost()
{
    return "プログラマーからの応答が途切れました。";
}

std::string LinkHeldBack(int holdMs)
{
    return "プログラマーの応答が遅れて届くため、回線の遅延を " + std::to_string(holdMs) +
           " ms と見なして待ち時間を広げました。";
}

std::string PortNotPermitted(const std::string &devices, bool described, const std::string &description)
{
    return devices + " を開く権限がありません" + (described ? "（" + description + "）" : "") + "。";
}

std::string PermissionJoinGroup(const std::string &group)
{
    return "このユーザーをグループ " + group + " に加えて（sudo usermod -aG " + group +
           " $USER）、ログインし直してください。";
}

std::string PermissionBuiltInRule(const std::string &tty)
{
    // USB ids never match a UART on the board itself: a rule by its kernel
    // name gives it to the group, as serial devices usually are.
    const std::string line = "KERNEL==\"" + tty + "\", GROUP=\"dialout\", MODE=\"0660\"";
    return std::string("内蔵のシリアルポートのため、USB シリアル変換器用の udev ルールは使えません。") +
           "グループ dialout に読み書きを許すルールを置き（echo '" + line +
           "' | sudo tee /etc/udev/rules.d/70-tarnvik-" + tty +
           ".rules）、sudo udevadm control --reload && sudo udevadm trigger を実行し、"
           "このユーザーをグループ dialout に加えて（sudo usermod -aG dialout $USER）、"
           "ログインし直してください。";
}

std::string PermissionUdevRule(const std::string &rule, bool usb, const std::string &vendorId,
                               const std::string &productId)
{
    const std::string ids = usb ? "この変換器の値 " + vendorId + " と " + productId + " "
                                : std::string("USB シリアル変換器の値（lsusb で確認）");
    return "グループに加わっても開けないため、udev ルールの例 " + rule +
           " を /etc/udev/rules.d/ にコピーし（sudo cp " + rule +
           " /etc/udev/rules.d/）、その idVendor と idProduct を" + ids +
           "に合わせ、sudo udevadm control --reload && sudo udevadm trigger を実行してから、"
           "ボードを接続し直してください。";
}

std::string LatencyTooHigh(const std::string &devicePath, const std::string &ms,
                           const std::string &latencyPath)
{
    return devicePath + " のUSBシリアル変換器の latency_timer は " + ms + " ms です。" +
           "エコーのたびに最大 " + ms + " ms 待つため、書き込みと読み出しが数倍遅くなります。" +
           "パッケージの udev ルール 70-tarnbox.rules に ATTR{latency_timer}=\"1\" を加えるか、" +
           "sudo sh -c 'echo 1 > " + latencyPath + "' を実行してください。";
}

std::string TraceSameFile(const std::string &clash)
{
    return "このコマンドが読み書きするファイル (" + clash + ") と同じファイルです。";
}

std::string TraceNoSymlink()
{
    return "シンボリックリンクには書き込みません（リンク先を上書きしないため）。";
}

std::string TraceIncomplete(const std::string &path, const std::string &reason)
{
    return "通信トレースを最後まで書き込めませんでした（トレースは途中で切れています）: " + path + ": " +
           reason;
}

std::string DevicePicked(const std::string &id, const std::string &names)
{
    return "DEVICE-ID " + id + " から " + names + " を選択しました。";
}

std::string DeviceIdAmbiguous(const std::string &id, const std::string &names)
{
    return "DEVICE-ID " + id + " のデバイスが複数あり、決められません（" + names + "）。";
}

std::string DeviceIdUnknown(const std::string &id, const std::string &names)
{
    return "DEVICE-ID " + id +
           " のデバイスはカタログにありません（DEVICE-ID のないデバイスかもしれません: " + names + "）。";
}

std::string DeviceIdUnreadable(const std::string &names)
{
    return "DEVICE-ID が読めないため、デバイスを決められません（DEVICE-ID のないデバイス: " + names + "）。";
}

} // namespace texts
