#include "SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>
#include <QWidget>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

QString SingleInstance::DefaultName()
{
    return QStringLiteral("Tarnvik Ver.2.53 Mutex.%1").arg(::getuid());
}

SingleInstance::SingleInstance(const QString &name, const QString &folder, QObject *parent)
    : QObject(parent), name_(name), folder_(folder)
{
    if (folder_.isEmpty()) folder_ = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder_.isEmpty()) folder_ = QDir::tempPath();
}

SingleInstance::~SingleInstance()
{
    if (server_) server_->close();
    if (lockFd_ >= 0) ::close(lockFd_); // releases the lock
}

QString SingleInstance::SocketPath() const
{
    return QDir(folder_).filePath(name_);
}

QString SingleInstance::LockPath() const
{
    return SocketPath() + QStringLiteral(".lock");
}

bool SingleInstance::Acquire()
{
    if (server_) return true;
    // The kernel drops the lock when the process ends, however it ends, so a
    // crashed copy never blocks the next start.
    const QByteArray lockPath = QFile::encodeName(LockPath());
    const int fd = ::open(lockPath.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return true; // no place for a lock: run rather than refuse to start
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        ::close(fd);
        return false;
    }
    lockFd_ = fd;
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket file left by a copy that crashed is in the way; the lock says
    // nobody listens on it.
    QLocalServer::removeServer(SocketPath());
    server_->listen(SocketPath());
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket *peer = server_->nextPendingConnection()) {
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            peer->disconnectFromServer();
            emit ActivationRequested();
        }
    });
    return true;
}

bool SingleInstance::ActivateRunning(int timeoutMs)
{
    // The running copy takes the lock a moment before it listens; a start in
    // that moment tries again until the time is up.
    QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        QLocalSocket socket;
        socket.connectToServer(SocketPath());
        // The connection itself is the request; nothing needs to be said.
        if (socket.waitForConnected(int(std::max<qint64>(deadline.remainingTime(), 1)))) {
            socket.disconnectFromServer();
            return true;
        }
        if (deadline.hasExpired()) return false;
        QThread::msleep(50);
    }
}

void BringToFront(QWidget *window)
{
    if (window->isMinimized())
        window->setWindowState((window->windowState() & ~Qt::WindowMinimized) | Qt::WindowActive);
    window->show();
    window->raise();
    window->activateWindow();
}

bool BringMainWindowToFront(QWidget *window, const QString &caption)
{
    if (window->windowTitle() != caption) return false;
    BringToFront(window);
    return true;
}
