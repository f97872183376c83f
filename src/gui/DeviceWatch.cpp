#include "DeviceWatch.h"

#include <QSocketNotifier>
#include <libudev.h>

DeviceWatch::DeviceWatch(QObject *parent) : QObject(parent) {}

DeviceWatch::~DeviceWatch()
{
    delete notifier_;
    if (monitor_) udev_monitor_unref(monitor_);
    if (udev_) udev_unref(udev_);
}

bool DeviceWatch::Listen()
{
    if (notifier_) return true;
    udev_ = udev_new();
    if (!udev_) return false;
    // "udev", not "kernel": the event comes once udev's rules have run, so
    // the node has its group and mode and its by-id link exists.
    monitor_ = udev_monitor_new_from_netlink(udev_, "udev");
    if (!monitor_ || udev_monitor_filter_add_match_subsystem_devtype(monitor_, "tty", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor_) < 0) {
        if (monitor_) udev_monitor_unref(monitor_);
        monitor_ = nullptr;
        udev_unref(udev_);
        udev_ = nullptr;
        return false;
    }
    notifier_ = new QSocketNotifier(udev_monitor_get_fd(monitor_), QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &DeviceWatch::Receive);
    return true;
}

void DeviceWatch::Receive()
{
    // The socket is non-blocking: every announcement waiting is taken.
    while (udev_device *device = udev_monitor_receive_device(monitor_)) {
        const char *action = udev_device_get_action(device);
        const char *node = udev_device_get_devnode(device);
        if (action && node) {
            const QString what = QString::fromLatin1(action);
            if (what == QLatin1String("add") || what == QLatin1String("remove"))
                Announce(what == QLatin1String("add"), QString::fromLocal8Bit(node));
        }
        udev_device_unref(device);
    }
}

void DeviceWatch::Announce(bool added, const QString &node)
{
    if (added)
        emit Added(node);
    else
        emit Removed(node);
}
