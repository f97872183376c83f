#include "operations/KeptCopy.h"

#include <dirent.h>
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <filesystem>
#include <memory>

#include "image/hex_write.h"
#include "operations/CalibrationLog.h"
#include "operations/regions.h"
#include "support/FileErrorText.h"
#include "support/checked_file.h"
#include "texts/operation_texts.h"

namespace {

constexpr const char *Suffix = ".hex";

std::string WhatWord(unsigned regions)
{
    const bool ee = regions & RegionEEData, config = regions & RegionConfig;
    return ee && config ? "eeprom+config" : ee ? "eeprom" : "config";
}

// "YYYYMMDD-HHMMSS" of a "YYYY-MM-DD HH:MM:SS" time, and back.
std::string Stamp(const std::string &time)
{
    std::string s;
    for (char c : time)
        if (c >= '0' && c <= '9') s += c;
    return s.size() == 14 ? s.substr(0, 8) + "-" + s.substr(8) : "";
}

std::string TimeOfStamp(const std::string &stamp)
{
    if (stamp.size() != 15 || stamp[8] != '-') return "";
    for (size_t i = 0; i < stamp.size(); ++i)
        if (i != 8 && (stamp[i] < '0' || stamp[i] > '9')) return "";
    return stamp.substr(0, 4) + "-" + stamp.substr(4, 2) + "-" + stamp.substr(6, 2) + " " + stamp.substr(9, 2) +
           ":" + stamp.substr(11, 2) + ":" + stamp.substr(13, 2);
}

// The parts of a copy's name; nothing for a file that is none (a user's own
// file put in the folder, a temporary file of a write in progress).
std::optional<KeptCopy> ParseName(const std::string &folder, const std::string &name)
{
    if (name.size() <= 4 || name.compare(name.size() - 4, 4, Suffix) != 0) return std::nullopt;
    std::vector<std::string> parts;
    size_t start = 0;
    const std::string stem = name.substr(0, name.size() - 4);
    for (size_t at; (at = stem.find('_', start)) != std::string::npos; start = at + 1)
        parts.push_back(stem.substr(start, at - start));
    parts.push_back(stem.substr(start));
    // A fifth part is the counter of two copies in the same second.
    if (parts.size() != 4 && parts.size() != 5) return std::nullopt;
    KeptCopy copy;
    copy.path = folder + "/" + name;
    copy.device = parts[0];
    copy.deviceId = parts[1];
    copy.time = TimeOfStamp(parts[2]);
    copy.regions = parts[3] == "eeprom"          ? RegionEEData
                   : parts[3] == "config"        ? RegionConfig
                   : parts[3] == "eeprom+config" ? (RegionEEData | RegionConfig)
                                                 : 0u;
    if (copy.device.empty() || copy.time.empty() || copy.regions == 0) return std::nullopt;
    return copy;
}

std::vector<std::string> CopyLines(const MemoryBuffer &buffer, DeviceSelection device, unsigned regions)
{
    const unsigned areas = (regions & RegionEEData ? HexAreaEEData : 0u) | (regions & RegionConfig ? HexAreaConfig : 0u);
    const size_t row = static_cast<size_t>(device.Index);
    // Every record of a kept memory, blank ones too: a configuration that
    // reads as erased is still the configuration to put back.
    if (device.Pic18) {
        const TDeviceSpec18 &d = DeviceTable18[row];
        return Hex18Lines(buffer.Program18, buffer.EEData18, buffer.Id18, buffer.Config18, d, true, areas);
    }
    const TDeviceSpec &d = DeviceTable[row];
    // Only the configuration of the configuration area: the User-IDs stay
    // as they are when the copy is programmed, so they are left blank.
    auto words = std::make_unique<WordImage>();
    words->fill(d.BlankWord);
    for (uint32_t i = 0; i < d.EEDataSize; ++i)
        (*words)[EEDataAreaStart + i] = buffer.Words[EEDataAreaStart + i];
    if (regions & RegionConfig) {
        for (uint16_t address : {d.ConfigAddress1, d.ConfigAddress2})
            if (address != 0) (*words)[address] = buffer.Words[address];
        if (d.Is12Bit()) (*words)[Config12BitWord] = buffer.Words[Config12BitWord];
    }
    return Hex16Lines(*words, d, true, areas);
}

// Writes the new file whole, on the disk with its folder entry, or not at
// all. EEXIST when the name is taken.
int WriteNew(const std::string &path, const std::string &text)
{
    int error = 0;
    const int fd = OpenRegularFile(path, O_WRONLY | O_CREAT | O_EXCL, error, 0600);
    if (fd < 0) return error;
    error = WriteWhole(fd, text);
    if (error == 0 && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && error == 0 && errno != EINTR) error = errno;
    if (error != 0) {
        ::unlink(path.c_str());
        return error;
    }
    const std::string folder = std::filesystem::path(path).parent_path();
    if (const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return 0;
}

} // namespace

std::string KeptFolder()
{
    return std::filesystem::path(CalibrationLogPath()).parent_path().string() + "/kept";
}

std::string KeptRegionNames(unsigned regions)
{
    const bool ee = regions & RegionEEData, config = regions & RegionConfig;
    return ee && config ? "eeprom,config" : ee ? "eeprom" : "config";
}

std::string KeptMemoriesText(unsigned regions)
{
    const bool ee = regions & RegionEEData, config = regions & RegionConfig;
    return texts::KeptMemories(ee, config);
}

std::string SaveKeptCopy(const MemoryBuffer &buffer, DeviceSelection device, const std::string &deviceId,
                         unsigned regions, KeptCopy &copy)
{
    if (!IsDevice(device)) return FileErrorReason(EINVAL);
    const std::string folder = KeptFolder();
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    std::string text;
    for (const std::string &line : CopyLines(buffer, device, regions))
        text += line + "\r\n";
    copy.device = DeviceName(device);
    copy.deviceId = deviceId;
    copy.time = CalibrationTimeNow();
    copy.regions = regions;
    const std::string stem = folder + "/" + copy.device + "_" + deviceId + "_" + Stamp(copy.time) + "_" +
                             WhatWord(regions);
    for (int n = 1; n < 100; ++n) {
        copy.path = stem + (n == 1 ? "" : "_" + std::to_string(n)) + Suffix;
        const int error = WriteNew(copy.path, text);
        if (error == 0) return "";
        if (error != EEXIST) return FileErrorReason(error);
    }
    return FileErrorReason(EEXIST);
}

std::vector<KeptCopy> ListKeptCopies()
{
    std::vector<KeptCopy> copies;
    const std::string folder = KeptFolder();
    DIR *dir = ::opendir(folder.c_str());
    if (!dir) return copies;
    while (const dirent *entry = ::readdir(dir))
        if (auto copy = ParseName(folder, entry->d_name); copy && CheckRegularFile(copy->path) == 0)
            copies.push_back(*copy);
    ::closedir(dir);
    std::sort(copies.begin(), copies.end(), [](const KeptCopy &a, const KeptCopy &b) {
        return a.time != b.time ? a.time < b.time : a.path < b.path;
    });
    return copies;
}

std::vector<KeptCopy> KeptCopiesFor(const std::string &device, const std::string &deviceId)
{
    std::vector<KeptCopy> copies = ListKeptCopies();
    std::erase_if(copies, [&](const KeptCopy &c) { return c.device != device || c.deviceId != deviceId; });
    return copies;
}

std::optional<KeptCopy> KeptCopyAt(const std::string &path)
{
    std::error_code ec;
    const std::filesystem::path file = std::filesystem::weakly_canonical(path, ec);
    if (ec) return std::nullopt;
    const std::filesystem::path folder = std::filesystem::weakly_canonical(KeptFolder(), ec);
    if (ec || file.parent_path() != folder) return std::nullopt;
    auto copy = ParseName(folder.string(), file.filename().string());
    if (!copy || CheckRegularFile(copy->path) != 0) return std::nullopt;
    return copy;
}

std::string ForgetKeptCopy(const KeptCopy &copy)
{
    if (::unlink(copy.path.c_str()) != 0 && errno != ENOENT) return FileErrorReason(errno);
    return "";
}
