#include "CliPorts.h"

#include <array>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <thread>

#include "AppSettings.h"
#include "CliSession.h"
#include "link/PortPermission.h"
#include "link/SerialDevices.h"
#include "link/UsbAdapter.h"
#include "link/discovery.h"
#include "support/textutil.h"

namespace {

std::string ComName(int n)
{
    return "COM" + std::to_string(n);
}

// "COM1" ... "COM10" in any letter case; 0 for anything else.
int ComNumber(const std::string &name)
{
    for (int n = 1; n <= 10; ++n)
        if (SameTextIgnoringCase(name, ComName(n))) return n;
    return 0;
}

// Two paths that reach one device: the same text, or the same node once
// by-id links and the like are followed.
bool SameDevice(const std::string &a, const std::string &b)
{
    return !a.empty() && !b.empty() && (a == b || NodePath(a) == NodePath(b));
}

const char *StateText(PortState state)
{
    switch (state) {
    case PortState::Programmer:
        return "Tarnbox";
    case PortState::NoProgrammer:
        return "未接続";
    case PortState::Denied:
        return "権限なし";
    default:
        return "使用不可";
    }
}

const char *StateWord(PortState state)
{
    switch (state) {
    case PortState::Programmer:
        return "programmer";
    case PortState::NoProgrammer:
        return "no programmer";
    case PortState::Denied:
        return "permission denied";
    default:
        return "unavailable";
    }
}

JsonObject Reason(PortState state)
{
    return state == PortState::Missing ? JsonObject("missing")
           : state == PortState::Busy  ? JsonObject("busy")
                                       : JsonObject(nullptr);
}

JsonObject TextOrNull(const std::string &text)
{
    return text.empty() ? JsonObject(nullptr) : JsonObject(text);
}

JsonObject UsbFields(const UsbAdapter &adapter)
{
    if (adapter.vendorId.empty()) return nullptr;
    return {{"vendor_id", adapter.vendorId},
            {"product_id", adapter.productId},
            {"manufacturer", TextOrNull(adapter.manufacturer)},
            {"product", TextOrNull(adapter.product)},
            {"serial", TextOrNull(adapter.serial)}};
}

// The state column, padded by display width: the Japanese texts take two
// columns a character, so byte counts would not line the paths up.
std::string StateColumn(PortState state)
{
    std::string column = StateText(state);
    column.append(static_cast<size_t>(8 - DisplayWidth(column)), ' ');
    return column;
}

} // namespace

DeviceLookup PortArgumentDevice(const SettingsFile &settings, const std::string &port)
{
    if (const int n = ComNumber(port)) return {ComPortDevice(settings, ComName(n)), {}};
    return LookUpSerialDevice(port);
}

BoardReturn::BoardReturn(const std::string &settingsPath, std::vector<std::string> ports)
    : settings_(std::make_unique<SettingsFile>(settingsPath)), ports_(std::move(ports))
{
    for (const std::string &port : ports_)
        noted_.push_back(Present(port));
}

BoardReturn::~BoardReturn() = default;

bool BoardReturn::Present(const std::string &port) const
{
    if (port.empty()) return false;
    const DeviceLookup found = PortArgumentDevice(*settings_, port);
    std::error_code ec;
    return !found.path.empty() && std::filesystem::exists(found.path, ec);
}

bool BoardReturn::Wait(const std::function<bool()> &stop, int pollMs)
{
    for (size_t i = 0; i < ports_.size(); ++i) {
        bool told = false;
        while (noted_[i] && !Present(ports_[i])) {
            if (!told) {
                std::fprintf(
                    stderr, "%s\n",
                    (ports_[i] + " が見つかりません。ボードの接続を待っています…（Ctrl-C で終了）").c_str());
                std::fflush(stderr);
                told = true;
            }
            if (stop()) return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(pollMs));
            if (stop()) return false;
        }
    }
    for (size_t i = 0; i < ports_.size(); ++i)
        noted_[i] = Present(ports_[i]);
    return true;
}

void CliSession::OpenPort()
{
    if (!options_.port.empty()) {
        std::string name;
        std::string path;
        if (const int n = ComNumber(options_.port)) {
            name = ComName(n);
            path = ComPortDevice(settings_, name);
        } else {
            const DeviceLookup found = PortArgumentDevice(settings_, options_.port);
            path = found.path;
            if (path.empty()) {
                // usb:SERIAL that no device (or more than one) answers to.
                ui_.AddLogShowingMessages(options_.port + " がオープンできません！");
                ui_.Error(found.error);
                return;
            }
            // A path the settings assign to a COM port goes by that name;
            // any other by COM0, the number of no port button.
            name = "COM0";
            for (int k = 1; k <= 10; ++k)
                if (SameDevice(ComPortDevice(settings_, ComName(k)), path)) {
                    name = ComName(k);
                    break;
                }
            pathName_ = name;
            pathOverride_ = path;
            // The user gave a path: every message names the port by it.
            ui_.NamePortByPath(name, path);
        }
        OpenNamedPort(name, path);
        return;
    }

    if (const AppSettings::Port saved = ReadAppSettings(settings_).port; saved.fixes) {
        const std::string &name = saved.name;
        chosenPort_ = name;
        if (name.empty()) {
            ui_.AddLog("使用するポートは固定ですが、ポート番号が指定されていません。");
            ui_.AddLog("Tarnboxを接続したポートをオープンしてください。");
            return;
        }
        if (port_.OpenPort(name, Modem()) != 0) {
            ui_.AddLog(name + " はオープンできません。");
            ui_.AddLog("Tarnboxを接続したポートをオープンしてください。");
            ExplainOpenFailure(ComPortDevice(settings_, name));
            return;
        }
        ui_.Detail(name + " をオープンしました。");
        return;
    }

    ui_.Detail("ポートをチェックしています。");
    Link link{port_, cmd_, ui_};
    std::vector<std::string> denied;
    ProbeListener listener;
    listener.done = [&](int n, PortState state) {
        if (state == PortState::Denied) denied.push_back(ComPortDevice(settings_, ComName(n)));
    };
    const PortsProbe probe = ProbePorts(link, Modem(), listener);
    // Nothing found: a port the user may not open may be the board's.
    if (probe.result != 0) AdvisePermission(denied);
    if (probe.result == -1) {
        ui_.AddLogShowingMessages("使用できるポートがありません。");
    } else if (probe.result == 1) {
        ui_.AddLogShowingMessages("プログラマーの接続を確認してください。");
    } else {
        const std::string name = ComName(probe.found);
        chosenPort_ = name;
        port_.OpenPort(name, Modem());
        ui_.Detail(name + "をオープンしました。");
        ui_.Detail("プログラマーの接続を確認しました。");
    }
}

int CliSession::Ports()
{
    ui_.Detail("ポートをチェックしています。");
    Link link{port_, cmd_, ui_};
    JsonObject ports = JsonObject::array();
    std::vector<std::string> denied;
    std::array<std::string, 10> comPaths;
    ProbeListener listener;
    listener.done = [&](int n, PortState state) {
        const std::string name = ComName(n);
        const std::string path = ComPortDevice(settings_, name);
        comPaths[static_cast<size_t>(n - 1)] = path;
        if (state == PortState::Denied) denied.push_back(path);
        // The adapter's latency timer as the open left it: what each echo
        // may wait on this port.
        const std::optional<UsbAdapter> adapter = path.empty() ? std::nullopt : FindUsbAdapter(path);
        const int latency = adapter ? adapter->latencyMs : -1;
        ui_.Print(EscapeControls(name + (n < 10 ? "  " : " ") + StateColumn(state) + "  " +
                                 (path.empty() ? "-" : path) +
                                 (latency >= 0 ? "  latency " + std::to_string(latency) + " ms" : "")));
        ports.push_back({{"port", name},
                         {"state", StateWord(state)},
                         {"reason", Reason(state)},
                         {"path", TextOrNull(path)},
                         {"by_id", TextOrNull(path.rfind(ByIdFolder() + "/", 0) == 0 ? path : std::string())},
                         {"node", TextOrNull(path.empty() ? path : NodePath(path))},
                         {"usb", adapter ? UsbFields(*adapter) : JsonObject(nullptr)},
                         {"latency_ms", latency >= 0 ? JsonObject(latency) : JsonObject(nullptr)}});
    };
    const PortsProbe probe = ProbePorts(link, Modem(), listener);
    TellPortNotice();

    // Every serial device the system has, by its stable name where udev
    // gave it one. A device a COM name already stands for is not probed
    // twice: its line names that port.
    bool opened = probe.result != -1;
    bool found = probe.result == 0;
    for (const SerialDevice &device : ListSerialDevices()) {
        int com = 0;
        for (int n = 1; n <= 10 && com == 0; ++n)
            if (SameDevice(comPaths[static_cast<size_t>(n - 1)], device.Path()) ||
                SameDevice(comPaths[static_cast<size_t>(n - 1)], device.node))
                com = n;
        PortState state;
        if (com != 0) {
            state = probe.states[static_cast<size_t>(com - 1)];
        } else {
            const std::string path = device.Path();
            SerialPort probePort(MakePosixSerialBackend(), [path](const std::string &) { return path; });
            Link probeLink{probePort, cmd_, ui_};
            state = ProbePort(probeLink, "COM0", Modem());
            if (const std::string notice = probePort.TakeNotice(); !notice.empty()) ui_.Error(notice);
            if (state == PortState::Denied) denied.push_back(device.node);
        }
        opened = opened || PortOpened(state);
        found = found || state == PortState::Programmer;
        const int latency = ReadLatencyMs(device.adapter);
        const std::string usb = UsbDescription(device.adapter);
        // The by-id name and the adapter's strings come from the device
        // itself: whatever control sequence they hold is shown, not obeyed.
        ui_.Print(EscapeControls((com ? ComName(com) + (com < 10 ? "  " : " ") : std::string("-     ")) +
                                 StateColumn(state) + "  " + device.Path() +
                                 (device.byId.empty() ? "" : " → " + device.node) + (usb.empty() ? "" : "  " + usb) +
                                 (latency >= 0 ? "  latency " + std::to_string(latency) + " ms" : "")));
        ports.push_back({{"port", com ? JsonObject(ComName(com)) : JsonObject(nullptr)},
                         {"state", StateWord(state)},
                         {"reason", Reason(state)},
                         {"path", device.Path()},
                         {"by_id", TextOrNull(device.byId)},
                         {"node", device.node},
                         {"usb", UsbFields(device.adapter)},
                         {"latency_ms", latency >= 0 ? JsonObject(latency) : JsonObject(nullptr)}});
    }
    fields_["ports"] = ports;
    AdvisePermission(denied);
    if (!opened) {
        ui_.AddLogShowingMessages("使用できるポートがありません。");
        ui_.SetStatus("使用できるポートがありません。");
        return ExitNegative;
    }
    if (!found) {
        ui_.AddLogShowingMessages("プログラマーの接続を確認してください。");
        ui_.SetStatus("プログラマーの接続を確認してください。");
        return ExitNegative;
    }
    return ExitSuccess;
}
