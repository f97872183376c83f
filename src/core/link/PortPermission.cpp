#include "link/PortPermission.h"

#include "link/UsbAdapter.h"
#include "texts/link_texts.h"

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>
#include <optional>

namespace {

constexpr const char *PackagedRule = "/usr/share/doc/tarnvik/examples/70-tarnbox.rules";

// The reentrant look-ups, with a buffer that grows while the entry does
// not fit; the number as text for an id without a name.
std::string GroupName(gid_t gid)
{
    std::vector<char> buffer(1024);
    for (;;) {
        group entry{}, *found = nullptr;
        const int error = getgrgid_r(gid, &entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        return error == 0 && found ? std::string(found->gr_name) : std::to_string(gid);
    }
}

std::string UserName(uid_t uid)
{
    std::vector<char> buffer(1024);
    for (;;) {
        passwd entry{}, *found = nullptr;
        const int error = getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found);
        if (error == ERANGE && buffer.size() < (1u << 20)) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        return error == 0 && found ? std::string(found->pw_name) : std::to_string(uid);
    }
}

// The tty behind a path: the path's own name first, since udev's links
// (/dev/tarnbox) and a node standing in for a device may lead elsewhere;
// then the node the links lead to (by-id names).
std::optional<UsbAdapter> TtyBehind(const std::string &path)
{
    if (auto adapter = FindTtyAdapter(std::filesystem::path(path).filename().string())) return adapter;
    return FindUsbAdapter(path);
}

// Devices share a text when they share the remedy and, for a udev rule,
// the look of their nodes and the rule's own match: the adapter's ids, a
// UART's kernel name.
std::string Key(const DeviceNode &node)
{
    if (GroupGrantsAccess(node)) return "group " + node.groupName;
    const std::string look = node.known ? NodeDescription(node) : std::string("?");
    switch (node.kind) {
    case NodeKind::Usb:
        return "usb " + node.vendorId + ":" + node.productId + " " + look;
    case NodeKind::BuiltIn:
        return "uart " + node.tty + " " + look;
    default:
        return "rule " + look;
    }
}

} // namespace

DeviceNode LookAtDeviceNode(const std::string &path)
{
    DeviceNode node;
    node.path = path;
    struct stat st {};
    if (path.empty() || ::stat(path.c_str(), &st) != 0) return node;
    node.known = true;
    node.mode = st.st_mode;
    node.owner = st.st_uid;
    node.group = st.st_gid;
    node.ownerName = UserName(st.st_uid);
    node.groupName = GroupName(st.st_gid);
    if (const std::optional<UsbAdapter> adapter = TtyBehind(path); adapter && adapter->hasDevice) {
        node.tty = adapter->tty;
        node.vendorId = adapter->vendorId;
        node.productId = adapter->productId;
        node.kind = adapter->vendorId.empty() ? NodeKind::BuiltIn : NodeKind::Usb;
    }
    return node;
}

bool GroupGrantsAccess(const DeviceNode &node)
{
    return node.known && node.group != 0 && (node.mode & (S_IRGRP | S_IWGRP)) == (S_IRGRP | S_IWGRP);
}

std::string NodeDescription(const DeviceNode &node)
{
    std::string bits = S_ISCHR(node.mode) ? "c" : S_ISBLK(node.mode) ? "b" : S_ISDIR(node.mode) ? "d" : "-";
    const mode_t masks[] = {S_IRUSR, S_IWUSR, S_IXUSR, S_IRGRP, S_IWGRP, S_IXGRP, S_IROTH, S_IWOTH, S_IXOTH};
    for (int i = 0; i < 9; ++i)
        bits += (node.mode & masks[i]) ? "rwx"[i % 3] : '-';
    return bits + " " + node.ownerName + " " + node.groupName;
}

std::string ExampleUdevRulePath()
{
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) {
        const std::filesystem::path beside =
            exe.parent_path().parent_path() / "share/doc/tarnvik/examples/70-tarnbox.rules";
        if (std::filesystem::is_regular_file(beside, ec)) return beside.string();
    }
    return PackagedRule;
}

std::string PermissionAdvice(const std::string &devices, const DeviceNode &node)
{
    const std::string text =
        texts::PortNotPermitted(devices, node.known, node.known ? NodeDescription(node) : std::string());
    if (GroupGrantsAccess(node)) return text + texts::PermissionJoinGroup(node.groupName);
    if (node.kind == NodeKind::BuiltIn) return text + texts::PermissionBuiltInRule(node.tty);
    return text + texts::PermissionUdevRule(ExampleUdevRulePath(), node.kind == NodeKind::Usb, node.vendorId,
                                            node.productId);
}

std::vector<std::string> PermissionAdviceFor(const std::vector<std::string> &paths)
{
    // The first node of each remedy, with the devices that share it.
    std::vector<std::pair<DeviceNode, std::string>> groups;
    std::vector<std::string> keys;
    for (const std::string &path : paths) {
        const DeviceNode node = LookAtDeviceNode(path);
        const std::string key = Key(node);
        size_t i = 0;
        while (i < keys.size() && keys[i] != key)
            ++i;
        if (i == keys.size()) {
            keys.push_back(key);
            groups.emplace_back(node, path);
        } else {
            groups[i].second += ", " + path;
        }
    }
    std::vector<std::string> texts;
    for (const auto &[node, devices] : groups)
        texts.push_back(PermissionAdvice(devices, node));
    return texts;
}
