// Serial devices appearing and leaving while the window runs, as udev
// announces them: its monitor's socket is watched from the event loop, so
// nothing blocks and nothing runs on another thread.
#pragma once

#include <QObject>
#include <QString>

class QSocketNotifier;
struct udev;
struct udev_monitor;

class DeviceWatch : public QObject {
    Q_OBJECT
public:
    explicit DeviceWatch(QObject *parent = nullptr);
    ~DeviceWatch() override;

    // Starts listening to udev's announcements of ttys; false when there is
    // no monitor to be had (no udev, as in many containers): then only
    // Announce reports anything.
    bool Listen();
    bool Listening() const { return notifier_ != nullptr; }

    // Reports a device node added or removed, as udev's monitor does; the
    // tests announce through here.
    void Announce(bool added, const QString &node);

signals:
    void Added(const QString &node);
    void Removed(const QString &node);

private:
    void Receive();

    udev *udev_ = nullptr;
    udev_monitor *monitor_ = nullptr;
    QSocketNotifier *notifier_ = nullptr;
};
