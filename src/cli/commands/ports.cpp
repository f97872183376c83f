// ports: COM1 ... COM10 probed like the window's search, then every serial
// device the system has, each with its state, path, adapter and latency.
#include <array>
#include <optional>

#include "Commands.h"
#include "PortNames.h"
#include "RoundTripLines.h"
#include "TerminalView.h"
#include "link/NetworkSerial.h"
#include "link/UsbAdapter.h"
#include "link/discovery.h"
#include "support/textutil.h"
#include "texts/port_texts.h"
#include "texts/terminal_texts.h"

namespace {

std::string StateText(PortState state)
{
    switch (state) {
    case PortState::Programmer:
        return "Tarnbox";
    case PortState::NoProgrammer:
        return texts::PortNoProgrammer();
    case PortState::Denied:
        return texts::PortDenied();
    default:
        return texts::PortUnusable();
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

std::string LatencyText(int latency)
{
    return latency >= 0 ? "  latency " + std::to_string(latency) + " ms" : "";
}

// A port on another machine: the round trip its probe measured; -1 for
// any other port, or one that did not open.
double RoundTripOf(const std::string &path, const SerialPort &port)
{
    return IsNetworkPortPath(path) ? port.LastRoundTripMs().value_or(-1.0) : -1.0;
}

JsonObject PortObject(JsonObject port, PortState state, const std::string &path, JsonObject byId, JsonObject node,
                      JsonObject usb, int latency)
{
    return {{"port", std::move(port)},
            {"state", StateWord(state)},
            {"reason", state == PortState::Missing ? JsonObject("missing")
                       : state == PortState::Busy  ? JsonObject("busy")
                                                   : JsonObject(nullptr)},
            {"path", TextOrNull(path)},
            {"by_id", std::move(byId)},
            {"node", std::move(node)},
            {"usb", std::move(usb)},
            {"latency_ms", latency >= 0 ? JsonObject(latency) : JsonObject(nullptr)}};
}

struct PortsSeen {
    JsonObject ports = JsonObject::array();
    std::vector<std::string> denied;
    std::array<std::string, 10> comPaths;
    std::array<PortState, 10> states{};
    bool opened = false, found = false;
};

// COM1 ... COM10 as the search finds them.
void ProbeComPorts(CommandRun &run, PortsSeen &seen)
{
    Session &session = run.session;
    Link link{session.Port(), session.Command(), run.ui};
    ProbeListener listener;
    listener.done = [&](int n, PortState state) {
        const std::string name = ComName(n);
        const std::string path = ComPortDevice(session.Settings(), name);
        seen.comPaths[static_cast<size_t>(n - 1)] = path;
        if (state == PortState::Denied) seen.denied.push_back(path);
        // The adapter's latency timer as the open left it: what each echo
        // may wait on this port.
        const std::optional<UsbAdapter> adapter = path.empty() ? std::nullopt : FindUsbAdapter(path);
        const int latency = adapter ? adapter->latencyMs : -1;
        const double roundTrip = RoundTripOf(path, session.Port());
        run.ui.Print(EscapeControls(name + (n < 10 ? "  " : " ") + StateColumn(state) + "  " +
                                    (path.empty() ? "-" : path) + LatencyText(latency) +
                                    (roundTrip >= 0 ? "  " + texts::RoundTrip(roundTrip) : std::string())));
        if (roundTrip >= 0)
            if (const std::string slow = SlowRoundTripLine(roundTrip, session.Device()); !slow.empty())
                run.ui.Print(slow);
        const bool byId = path.rfind(ByIdFolder() + "/", 0) == 0;
        seen.ports.push_back(PortObject(name, state, path, TextOrNull(byId ? path : std::string()),
                                        TextOrNull(path.empty() ? path : NodePath(path)),
                                        adapter ? UsbFields(*adapter) : JsonObject(nullptr), latency));
    };
    const PortsProbe probe = ProbePorts(link, session.Modem(), listener);
    if (const std::string notice = session.Port().TakeNotice(); !notice.empty()) run.ui.Error(notice);
    seen.opened = probe.result != -1;
    seen.found = probe.result == 0;
    seen.states = probe.states;
}

// Every serial device the system has, by its stable name where udev gave it
// one. A device a COM name already stands for is not probed twice: its
// line names that port.
void ProbeSerialDevices(CommandRun &run, PortsSeen &seen)
{
    for (const SerialDevice &device : ListSerialDevices()) {
        int com = 0;
        for (int n = 1; n <= 10 && com == 0; ++n)
            if (SameDevice(seen.comPaths[static_cast<size_t>(n - 1)], device.Path()) ||
                SameDevice(seen.comPaths[static_cast<size_t>(n - 1)], device.node))
                com = n;
        PortState state;
        if (com != 0) {
            state = seen.states[static_cast<size_t>(com - 1)];
        } else {
            const std::string path = device.Path();
            SerialPort probePort(MakePosixSerialBackend(), [path](const std::string &) { return path; });
            Link probeLink{probePort, run.session.Command(), run.ui};
            state = ProbePort(probeLink, "COM0", run.session.Modem());
            if (const std::string notice = probePort.TakeNotice(); !notice.empty()) run.ui.Error(notice);
            if (state == PortState::Denied) seen.denied.push_back(device.node);
        }
        seen.opened = seen.opened || PortOpened(state);
        seen.found = seen.found || state == PortState::Programmer;
        const int latency = ReadLatencyMs(device.adapter);
        const std::string usb = UsbDescription(device.adapter);
        // The by-id name and the adapter's strings come from the device
        // itself: whatever control sequence they hold is shown, not obeyed.
        run.ui.Print(EscapeControls((com ? ComName(com) + (com < 10 ? "  " : " ") : std::string("-     ")) +
                                    StateColumn(state) + "  " + device.Path() +
                                    (device.byId.empty() ? "" : " → " + device.node) +
                                    (usb.empty() ? "" : "  " + usb) + LatencyText(latency)));
        seen.ports.push_back(PortObject(com ? JsonObject(ComName(com)) : JsonObject(nullptr), state, device.Path(),
                                        TextOrNull(device.byId), device.node, UsbFields(device.adapter), latency));
    }
}

} // namespace

int PortsCommand(CommandRun &run)
{
    run.ui.Detail(texts::CheckingPorts());
    PortsSeen seen;
    ProbeComPorts(run, seen);
    ProbeSerialDevices(run, seen);
    run.fields["ports"] = seen.ports;
    AdvisePermission(run.ui, seen.denied);
    if (seen.opened && seen.found) return ExitSuccess;
    const std::string problem = !seen.opened ? texts::NoUsablePort() : texts::CheckProgrammerConnection();
    run.ui.AddLogShowingMessages(problem);
    run.ui.StatusRepeatsLog(problem);
    return ExitNegative;
}
