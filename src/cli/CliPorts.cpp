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
#include "texts/port_texts.h"

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
                std::fprintf(stderr, "%s\n", texts::WaitingForBoard(ports_[i]).c_str());
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
