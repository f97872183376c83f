#include "link/UsbAdapter.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <set>

#include "texts/link_texts.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAttribute(const fs::path &path)
{
    std::ifstream in(path);
    std::string value;
    if (!in || !std::getline(in, value)) return {};
    while (!value.empty() && (value.back() == '\n' || value.back() == ' ' || value.back() == '\r'))
        value.pop_back();
    return value;
}

int ParseMs(const std::string &text)
{
    if (text.empty() || text.size() > 4) return -1;
    int value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return -1;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

std::string SysfsRoot()
{
    const char *root = std::getenv("TARNVIK_SYSFS_ROOT");
    return root ? root : "";
}

std::optional<UsbAdapter> FindUsbAdapter(const std::string &devicePath)
{
    std::error_code ec;
    fs::path node = fs::weakly_canonical(devicePath, ec);
    if (ec) node = devicePath;
    return FindTtyAdapter(node.filename().string());
}

std::optional<UsbAdapter> FindTtyAdapter(const std::string &tty)
{
    if (tty.empty() || tty == "." || tty == ".." || tty.find('/') != std::string::npos) return std::nullopt;
    std::error_code ec;
    const fs::path root = SysfsRoot().empty() ? fs::path("/") : fs::path(SysfsRoot());
    const fs::path classDir = root / "sys/class/tty" / tty;
    if (!fs::exists(classDir, ec)) return std::nullopt;
    UsbAdapter adapter;
    adapter.tty = tty;
    const fs::path device = classDir / "device";
    adapter.hasDevice = fs::exists(device, ec);
    // ftdi_sio keeps the timer on the usb-serial port the tty's device is.
    if (fs::exists(device / "latency_timer", ec)) {
        adapter.latencyPath = (device / "latency_timer").string();
        adapter.latencyMs = ParseMs(ReadAttribute(adapter.latencyPath));
    }
    // A built-in UART's driver registers ports whether or not the hardware
    // is there; those hang off the platform bus, the real ones off their own.
    adapter.platformDevice = fs::canonical(device / "subsystem", ec).filename() == "platform" && !ec;
    // The USB device is the nearest folder above with the ids.
    fs::path dir = fs::canonical(device, ec);
    const fs::path top = fs::canonical(root, ec);
    for (int depth = 0; !ec && depth < 16 && !dir.empty() && dir != top && dir != dir.root_path();
         ++depth, dir = dir.parent_path()) {
        if (!fs::exists(dir / "idVendor", ec)) continue;
        adapter.vendorId = ReadAttribute(dir / "idVendor");
        adapter.productId = ReadAttribute(dir / "idProduct");
        adapter.serial = ReadAttribute(dir / "serial");
        adapter.product = ReadAttribute(dir / "product");
        adapter.manufacturer = ReadAttribute(dir / "manufacturer");
        break;
    }
    return adapter;
}

int ReadLatencyMs(const UsbAdapter &adapter)
{
    return adapter.latencyPath.empty() ? -1 : ParseMs(ReadAttribute(adapter.latencyPath));
}

LatencyOutcome LowerLatency(UsbAdapter &adapter)
{
    if (adapter.latencyPath.empty() || adapter.latencyMs <= 1) return LatencyOutcome::Fine;
    {
        std::ofstream out(adapter.latencyPath);
        if (out) out << "1\n";
    }
    // The attribute may take the write and keep its value (a driver that
    // refuses it): only a re-read tells.
    adapter.latencyMs = ReadLatencyMs(adapter);
    return adapter.latencyMs == 1 ? LatencyOutcome::Lowered : LatencyOutcome::TooHigh;
}

std::string LatencyAdvice(const std::string &devicePath, const UsbAdapter &adapter)
{
    return texts::LatencyTooHigh(devicePath, std::to_string(adapter.latencyMs), adapter.latencyPath);
}

std::string LatencyNoticeOnOpen(const std::string &devicePath)
{
    std::optional<UsbAdapter> adapter = FindUsbAdapter(devicePath);
    if (!adapter || LowerLatency(*adapter) != LatencyOutcome::TooHigh) return {};
    static std::mutex mutex;
    static std::set<std::string> told;
    std::lock_guard<std::mutex> lock(mutex);
    if (!told.insert(adapter->latencyPath).second) return {};
    return LatencyAdvice(devicePath, *adapter);
}
