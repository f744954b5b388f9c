#include "app/single_instance.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace app {

namespace {

constexpr char kRaise[] = "raise\n";

// Opens whatever is at the lock path without ever blocking (O_NONBLOCK: a FIFO there must not
// hang the start); a folder left at the path is locked just as well as a file.
int OpenLock(const QByteArray &path)
{
    int fd = ::open(path.constData(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0600);
    if (fd < 0 && errno == EISDIR)
        fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return fd;
}

} // namespace

SingleInstance::SingleInstance(const QString &lockFolder)
{
    QString folder = lockFolder;
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) // a shared folder: the name carries the user
        folder = QDir::tempPath() + QStringLiteral("/metronom-%1").arg(::getuid());
    QDir().mkpath(folder);
    const QDir dir(folder);
    socketPath_ = dir.filePath(QStringLiteral("metronom.socket"));
    lockFd_ = OpenLock(QFile::encodeName(dir.filePath(QStringLiteral("metronom.lock"))));
    if (lockFd_ < 0) {
        // No lock to be had (an unwritable folder): the socket alone decides, so that an odd
        // leftover never keeps the program from starting.
        acquired_ = !AskToRaise();
        return;
    }
    acquired_ = ::flock(lockFd_, LOCK_EX | LOCK_NB) == 0;
}

SingleInstance::~SingleInstance()
{
    if (lockFd_ >= 0)
        ::close(lockFd_); // releases the lock
}

bool SingleInstance::AskToRaise() const
{
    const QByteArray path = QFile::encodeName(socketPath_);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= qsizetype(sizeof address.sun_path))
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    // The running copy listens right after it took the lock; one that is starting gets a moment.
    for (int attempt = 0; attempt < 20; ++attempt) {
        // Non-blocking: a running copy that is busy, or a full queue, cannot hold this one up.
        const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (s < 0)
            return false;
        const bool connected = ::connect(s, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
        const bool sent = connected && ::send(s, kRaise, sizeof kRaise - 1, MSG_NOSIGNAL) == ssize_t(sizeof kRaise - 1);
        ::close(s);
        if (sent)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

std::unique_ptr<QLocalServer> SingleInstance::Listen(std::function<void()> raise) const
{
    if (!acquired_)
        return nullptr;
    auto server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket left by a copy that died is nobody's: this copy holds the lock.
    QLocalServer::removeServer(socketPath_);
    if (!server->listen(socketPath_))
        return nullptr;
    QLocalServer *s = server.get();
    QObject::connect(s, &QLocalServer::newConnection, s, [s, raise = std::move(raise)] {
        while (QLocalSocket *peer = s->nextPendingConnection()) {
            auto read = [peer, raise] {
                if (peer->readAll().contains("raise"))
                    raise();
            };
            QObject::connect(peer, &QLocalSocket::readyRead, peer, read);
            QObject::connect(peer, &QLocalSocket::disconnected, peer, [peer, read] {
                read();
                peer->deleteLater();
            });
        }
    });
    return server;
}

} // namespace app
