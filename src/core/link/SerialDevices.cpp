#include "link/SerialDevices.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "settings/PortDevicePath.h"

namespace fs = std::filesystem;

namespace {

fs::path DevFolder()
{
    return (DevRoot().empty() ? fs::path("/") : fs::path(DevRoot())) / "dev";
}

bool StartsWith(const std::string &text, const std::string &prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}

} // namespace

std::string DevRoot()
{
    const char *root = std::getenv("TARNVIK_DEV_ROOT");
    return root ? root : "";
}

std::string ByIdFolder()
{
    return (DevFolder() / "serial/by-id").string();
}

std::string NodePath(const std::string &path)
{
    // udev's links are relative ("../../ttyUSB0"); they are followed by
    // hand so that a prepared tree's node stays inside the tree even where
    // it is itself a link to a pseudo-terminal.
    fs::path at = path;
    std::error_code ec;
    for (int hops = 0; hops < 8 && fs::is_symlink(at, ec); ++hops) {
        const fs::path target = fs::read_symlink(at, ec);
        if (ec) break;
        at = (target.is_absolute() ? target : at.parent_path() / target).lexically_normal();
        if (at.parent_path() == DevFolder()) break; // a node of the tree: /dev/ttyUSB0
    }
    return at.string();
}

std::vector<SerialDevice> ListSerialDevices()
{
    std::vector<SerialDevice> devices;
    std::set<std::string> seen; // nodes reached by a by-id name
    std::error_code ec;
    std::vector<fs::path> links;
    for (const fs::directory_entry &entry : fs::directory_iterator(ByIdFolder(), ec))
        links.push_back(entry.path());
    std::sort(links.begin(), links.end());
    for (const fs::path &link : links) {
        SerialDevice device;
        device.byId = link.string();
        device.node = NodePath(device.byId);
        if (!seen.insert(device.node).second) continue;
        if (auto adapter = FindTtyAdapter(fs::path(device.node).filename().string()))
            device.adapter = *adapter;
        devices.push_back(std::move(device));
    }

    const fs::path sysRoot = (SysfsRoot().empty() ? fs::path("/") : fs::path(SysfsRoot())) / "sys/class/tty";
    std::vector<std::string> ttys;
    for (const fs::directory_entry &entry : fs::directory_iterator(sysRoot, ec))
        ttys.push_back(entry.path().filename().string());
    std::sort(ttys.begin(), ttys.end());
    for (const std::string &tty : ttys) {
        const std::optional<UsbAdapter> adapter = FindTtyAdapter(tty);
        if (!adapter || !adapter->hasDevice) continue;
        if (StartsWith(tty, "ttyS") && adapter->platformDevice) continue;
        SerialDevice device;
        device.node = (DevFolder() / tty).string();
        if (seen.count(device.node)) continue;
        device.adapter = *adapter;
        devices.push_back(std::move(device));
    }
    return devices;
}

DeviceLookup LookUpSerialDevice(const std::string &name)
{
    if (StartsWith(name, "usb:")) {
        const std::string serial = name.substr(4);
        std::vector<std::string> found;
        if (!serial.empty())
            for (const SerialDevice &device : ListSerialDevices())
                if (device.adapter.serial == serial) found.push_back(device.Path());
        if (found.size() == 1) return {found.front(), {}};
        if (found.empty()) return {{}, name + ": no serial device has this USB serial number", true};
        // Adapters with two or more ports (FT2232, FT4232) give each the
        // same serial number: which one is meant only the by-id name says.
        std::string list;
        for (const std::string &path : found)
            list += (list.empty() ? "" : ", ") + path;
        return {{},
                name + ": " + std::to_string(found.size()) + " serial devices have this USB serial number (" +
                    list + "); name one by its path"};
    }
    if (!name.empty() && name.find('/') == std::string::npos) {
        const fs::path byId = fs::path(ByIdFolder()) / name;
        std::error_code ec;
        if (fs::exists(fs::symlink_status(byId, ec))) return {byId.string(), {}};
    }
    return {name, {}};
}

std::string ComPortDevice(const SettingsFile &settings, const std::string &name)
{
    const std::string value = PortDevicePath(settings, name);
    return value.empty() ? value : LookUpSerialDevice(value).path;
}

std::string UsbDescription(const UsbAdapter &adapter)
{
    if (adapter.vendorId.empty()) return {};
    std::string text = adapter.manufacturer;
    if (!adapter.product.empty()) text += (text.empty() ? "" : " ") + adapter.product;
    text += (text.empty() ? "" : ", ") + adapter.vendorId + ":" + adapter.productId;
    if (!adapter.serial.empty()) text += ", usb:" + adapter.serial;
    return text;
}
