// One running copy per user. The first start holds a lock file and listens on
// a local socket; a later start finds the lock taken, asks the running copy
// through the socket to bring its main window to the front, and ends.
#pragma once

#include <QObject>
#include <QString>

class QLocalServer;
class QWidget;

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // The name every copy of this version agrees on, made per user.
    static QString DefaultName();

    // name: the instance name; folder: where the lock and the socket live
    // (empty: the user's runtime folder, or the temporary folder without one).
    explicit SingleInstance(const QString &name = DefaultName(), const QString &folder = {},
                            QObject *parent = nullptr);
    ~SingleInstance() override;

    // True when this is the only copy: the lock is held and the socket
    // listens until this object is destroyed.
    bool Acquire();
    // Asks the running copy to come to the front; false when it could not be
    // reached within timeoutMs.
    bool ActivateRunning(int timeoutMs = 3000);

    QString SocketPath() const;
    QString LockPath() const;

signals:
    // Another start asked this copy to show itself.
    void ActivationRequested();

private:
    QString name_;
    QString folder_;
    int lockFd_ = -1;
    QLocalServer *server_ = nullptr;
};

// Restores a minimised window and makes it the active one in front.
void BringToFront(QWidget *window);
// What a second start asks of the running copy: the main window comes to the
// front when it carries this caption. The Small Box strip has a caption of
// its own and is left where it is. False when nothing was done.
bool BringMainWindowToFront(QWidget *window, const QString &caption);
