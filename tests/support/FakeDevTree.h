// A /dev and sysfs of a test's own: serial ttys as the kernel shows them
// under sys/class/tty, their nodes under dev/ and udev's by-id links to
// them. While it lives, TARNVIK_DEV_ROOT and TARNVIK_SYSFS_ROOT point at it
// (and programs the test starts inherit them).
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

class FakeDevTree {
public:
    explicit FakeDevTree(const std::string &name)
        : root_(std::filesystem::temp_directory_path() / (name + "-" + std::to_string(getpid())))
    {
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_ / "dev/serial/by-id");
        setenv("TARNVIK_DEV_ROOT", root_.c_str(), 1);
        setenv("TARNVIK_SYSFS_ROOT", root_.c_str(), 1);
    }
    ~FakeDevTree()
    {
        unsetenv("TARNVIK_DEV_ROOT");
        unsetenv("TARNVIK_SYSFS_ROOT");
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    FakeDevTree(const FakeDevTree &) = delete;
    FakeDevTree &operator=(const FakeDevTree &) = delete;

    struct Usb {
        std::string vendor = "0403", product = "6001", serial, name = "FT232R USB UART", maker = "FTDI";
        std::string bus = "1-2"; // ports of one adapter share it
    };
    // A USB serial tty; its node links to target (a tarnbox-sim pty) or is an
    // empty file; byId, when given, is its by-id name. The node's path.
    std::string AddUsbTty(const std::string &tty, const Usb &usb, const std::string &byId = {},
                          const std::string &target = {})
    {
        const auto device = root_ / "sys/devices/pci0000:00/usb1" / usb.bus;
        Write(device / "idVendor", usb.vendor);
        Write(device / "idProduct", usb.product);
        if (!usb.serial.empty()) Write(device / "serial", usb.serial);
        Write(device / "product", usb.name);
        Write(device / "manufacturer", usb.maker);
        const auto port = device / (usb.bus + ":1.0") / tty;
        std::filesystem::create_directories(port);
        AddClassEntry(tty, port);
        return Plug(tty, byId, target);
    }
    // A built-in UART: on the platform bus when absent is true (a driver's
    // empty slot), on pnp otherwise.
    void AddUart(const std::string &tty, bool absent)
    {
        const auto bus = root_ / "sys/bus" / (absent ? "platform" : "pnp");
        std::filesystem::create_directories(bus);
        const auto device = root_ / "sys/devices" / (absent ? "platform/serial8250" : "pnp0/00:05") / tty;
        std::filesystem::create_directories(device);
        std::filesystem::create_directory_symlink(bus, device / "subsystem");
        AddClassEntry(tty, device);
        Write(root_ / "dev" / tty, "");
    }
    // The node (and by-id link) appear or go, as on plugging in and out.
    std::string Plug(const std::string &tty, const std::string &byId = {}, const std::string &target = {})
    {
        const auto node = root_ / "dev" / tty;
        if (target.empty())
            Write(node, "");
        else
            std::filesystem::create_symlink(target, node);
        if (!byId.empty()) std::filesystem::create_symlink("../../" + tty, root_ / "dev/serial/by-id" / byId);
        return node.string();
    }
    void Unplug(const std::string &tty, const std::string &byId = {})
    {
        std::filesystem::remove(root_ / "dev" / tty);
        if (!byId.empty()) std::filesystem::remove(root_ / "dev/serial/by-id" / byId);
    }
    std::string Dev(const std::string &name) const { return (root_ / "dev" / name).string(); }
    std::string ById(const std::string &name) const { return (root_ / "dev/serial/by-id" / name).string(); }

private:
    static void Write(const std::filesystem::path &path, const std::string &text)
    {
        std::filesystem::create_directories(path.parent_path());
        std::ofstream(path) << text << (text.empty() ? "" : "\n");
    }
    void AddClassEntry(const std::string &tty, const std::filesystem::path &device)
    {
        std::filesystem::create_directories(root_ / "sys/class/tty" / tty);
        std::filesystem::create_directory_symlink(device, root_ / "sys/class/tty" / tty / "device");
    }
    std::filesystem::path root_;
};
