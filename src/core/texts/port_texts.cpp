#include "port_texts.h"

#include <cstdio>

namespace texts {

std::string CheckingPorts() { return "ポートをチェックしています。"; }
std::string CheckingPortsStatus() { return "ポートをチェックしています…"; }
std::string NoUsablePort() { return "使用できるポートがありません。"; }
std::string CheckProgrammerConnection() { return "プログラマーの接続を確認してください。"; }
std::string SearchOpenedPort(const std::string &port) { return port + "をオープンしました。"; }
std::string ProgrammerConfirmed() { return "プログラマーの接続を確認しました。"; }

std::string PortOpenedWithProgrammer(const std::string &port)
{
    return port + " をオープンし、プログラマーの接続を確認しました。";
}

std::string PortOpened(const std::string &port) { return port + " をオープンしました。"; }

std::string PortOpenedAt(const std::string &port, const std::string &path)
{
    return port + " (" + path + ") をオープンしました。";
}

std::string PortCannotOpen(const std::string &port) { return port + " がオープンできません！"; }
std::string FixedPortUnnamed() { return "使用するポートは固定ですが、ポート番号が指定されていません。"; }
std::string OpenTheBoardsPort() { return "Tarnboxを接続したポートをオープンしてください。"; }
std::string PortNumberMissing() { return "ポート番号が指定されていません。"; }
std::string FixedPortCannotOpen(const std::string &port) { return port + " はオープンできません。"; }
std::string OpenAPort() { return "ポートをオープンしてください。"; }
std::string NoProgrammerOn(const std::string &port) { return port + " にプログラマーを確認できませんでした。"; }
std::string PortClosed() { return "ポートをクローズしました"; }
std::string ChoosePortNumber() { return "!!ポート番号を選択してください"; }

std::string PortHint(const std::string &com, const std::string &path, const std::string &node,
                     const std::string &usb)
{
    std::string device = path.empty() ? "（割り当てなし）" : path;
    std::string about = node != path ? node : std::string();
    if (!usb.empty()) about += (about.empty() ? "" : "、") + usb;
    if (!path.empty() && !about.empty()) device += "（" + about + "）";
    return com + " → " + device;
}

std::string SoftwareVersionLine(const std::string &version) { return "ソフトウェアバージョン " + version; }
std::string ControllerVersionLine(const std::string &reply) { return "コントローラバージョン " + reply; }
std::string NoControllerVersion() { return "コントローラバージョンが取得できません。"; }

std::string WaitingForBoard(const std::string &port)
{
    return port + " が見つかりません。ボードの接続を待っています…（Ctrl-C で終了）";
}

std::string ChooseDevice() { return " デバイスを選択してください。"; }

namespace {

std::string Ms(double ms)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.1f ms", ms);
    return text;
}

} // namespace

std::string RoundTrip(double ms) { return "往復 " + Ms(ms); }

std::string SlowRoundTrip(double ms)
{
    return "ネットワークの往復が " + Ms(ms) + " あります。1バイトごとに往復を待つため、書き込みには時間がかかります。";
}

std::string SlowRoundTripProgram(double ms, const std::string &device, int seconds)
{
    const std::string time =
        seconds < 90 ? std::to_string(seconds) + " 秒" : std::to_string((seconds + 30) / 60) + " 分";
    return "ネットワークの往復が " + Ms(ms) + " あります。1バイトごとに往復を待つため、" + device +
           " の全領域の書き込みにはおよそ " + time + "かかります。";
}

} // namespace texts
