#include "LockedImage.h"

#include <sys/stat.h>

#include <fstream>
#include <sstream>

#include "Session.h"
#include "SilentFrontEnd.h"
#include "catalogue/DeviceSpec.h"
#include "image/hex.h"


LockedImage::LockedImage(std::string settingsPath)
    : settingsPath_(std::move(settingsPath)), ui_(std::make_unique<SilentFrontEnd>())
{
}

LockedImage::~LockedImage() = default;

bool LockedImage::Stamp::operator==(const Stamp &o) const
{
    return exists == o.exists && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
           mtime.tv_nsec == o.mtime.tv_nsec && bytes == o.bytes;
}

LockedImage::Stamp LockedImage::StampOf(const std::string &path)
{
    Stamp stamp;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return stamp;
    stamp.exists = true;
    stamp.size = st.st_size;
    stamp.mtime = st.st_mtim;
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    stamp.bytes = bytes.str();
    return stamp;
}

ImageState LockedImage::Load(const std::string &path, const std::string &device)
{
    loaded_ = false;
    checksum_.reset();
    path_ = path;
    deviceName_ = device;
    reason_.clear();
    if (path.empty()) return ImageState::NoFile;
    session_ = std::make_unique<Session>(settingsPath_, *ui_);
    session_->SelectDevice(device);
    // The stamp before the read: a change while it reads shows as a change.
    Stamp stamp = StampOf(path);
    LoadReport report;
    try {
        report = session_->Load(path, LoadMode::New, device.empty());
    } catch (const HexFileError &e) {
        reason_ = e.Reason();
        return ImageState::Unreadable;
    }
    if (report.Damaged()) return ImageState::Damaged;
    if (session_->Device().Index < 0) return ImageState::NoDevice;
    device_ = session_->Device();
    checksum_ = session_->Checksum();
    stamp_ = std::move(stamp);
    loaded_ = true;
    return ImageState::Loaded;
}

ImageState LockedImage::Reload()
{
    // The part stays the one the run was set up for.
    const std::string device = loaded_ ? DeviceName(device_) : deviceName_;
    return Load(path_, device);
}

bool LockedImage::ChangedOnDisk() const
{
    return !loaded_ || !(StampOf(path_) == stamp_);
}

const MemoryBuffer &LockedImage::Buffer() const
{
    return session_->Buffer();
}
