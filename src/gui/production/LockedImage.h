// The production window's image: loaded once, judged once, and held as it
// was read. The file on the disk is watched for any change (size, time or
// content), so that no round programs chips from a file that is no longer
// the one the user checked.
#pragma once

#include <cstdint>
#include <ctime>
#include <memory>
#include <optional>
#include <string>

#include "catalogue/DeviceSelection.h"
#include "image/buffer.h"

class Session;
class FrontEnd;

enum class ImageState { Loaded, NoFile, Unreadable, Damaged, NoDevice };

class LockedImage {
public:
    explicit LockedImage(std::string settingsPath);
    ~LockedImage();

    // Reads path for the device named (empty: the one the file or the
    // settings give). Unreadable leaves reason set; any refusal leaves no
    // image loaded.
    ImageState Load(const std::string &path, const std::string &device);
    // Loads the same file again for the same device.
    ImageState Reload();
    bool Loaded() const { return loaded_; }
    // The file is not what was loaded: gone, or its size, time or bytes
    // differ.
    bool ChangedOnDisk() const;

    const std::string &File() const { return path_; }
    const std::string &Reason() const { return reason_; }
    DeviceSelection Device() const { return device_; }
    const MemoryBuffer &Buffer() const;
    std::optional<uint16_t> Checksum() const { return checksum_; }

private:
    struct Stamp {
        bool exists = false;
        long long size = 0;
        timespec mtime{};
        std::string bytes;
        bool operator==(const Stamp &other) const;
    };
    static Stamp StampOf(const std::string &path);

    std::string settingsPath_;
    std::unique_ptr<FrontEnd> ui_;
    std::unique_ptr<Session> session_;
    std::string path_, deviceName_, reason_;
    DeviceSelection device_{};
    std::optional<uint16_t> checksum_;
    Stamp stamp_;
    bool loaded_ = false;
};
