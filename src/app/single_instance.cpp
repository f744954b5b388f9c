#include "app/single_instance.h"

#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace app {

namespace {

constexpr char kRaise[] = "raise";
constexpr char kSong[] = "song"; // "song <path in base64>": any byte of a path travels on one line

// The token a Wayland launcher hands the copy it starts, so that the compositor lets that copy's
// window come to the front: the running copy uses it in its place. Printable ASCII, without
// spaces, and short: anything else is not a token and is dropped.
bool IsToken(const QByteArray &token)
{
    if (token.isEmpty() || token.size() > 512)
        return false;
    for (const char c : token)
        if (c <= ' ' || c > '~')
            return false;
    return true;
}

// Opens whatever is at the lock path without ever blocking (O_NONBLOCK: a FIFO there must not
// hang the start); a folder left at the path is locked just as well as a file.
int OpenLock(const QByteArray &path)
{
    int fd = ::open(path.constData(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NONBLOCK | O_NOCTTY, 0600);
    if (fd < 0 && errno == EISDIR)
        fd = ::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    return fd;
}

// The user's own folder in a shared place: made with mode 0700 when missing; false when what is
// there is a link, no folder or not the user's (another user could read or replace the socket).
bool PrivateFolder(const QString &folder)
{
    const QByteArray path = QFile::encodeName(folder);
    ::mkdir(path.constData(), 0700);
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid())
        return false;
    return (st.st_mode & 07777) == 0700 || ::chmod(path.constData(), 0700) == 0;
}

} // namespace

SingleInstance::SingleInstance(const QString &lockFolder, const QString &fallbackFolder)
{
    const QString runtime =
        lockFolder.isEmpty() ? QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation) : lockFolder;
    const QString fallback =
        fallbackFolder.isEmpty() ? QDir::tempPath() + QStringLiteral("/metronom-%1").arg(::getuid()) : fallbackFolder;
    QStringList tried;
    for (const QString &folder : {runtime, fallback}) {
        if (folder.isEmpty())
            continue;
        tried << folder;
        if (folder == fallback ? !PrivateFolder(folder) : !QDir().mkpath(folder))
            continue;
        // The socket goes beside the lock: a folder that cannot take it (read-only) is no use.
        if (::access(QFile::encodeName(folder).constData(), W_OK | X_OK) != 0)
            continue;
        const QDir dir(folder);
        lockFd_ = OpenLock(QFile::encodeName(dir.filePath(QStringLiteral("metronom.lock"))));
        if (lockFd_ >= 0) {
            socketPath_ = dir.filePath(QStringLiteral("metronom.socket"));
            acquired_ = ::flock(lockFd_, LOCK_EX | LOCK_NB) == 0;
            return;
        }
    }
    // No lock anywhere: this copy runs, alone as far as it can tell.
    std::fprintf(stderr, "metronom: no lock file can be made in %s: a second copy will not find this one\n",
                 qPrintable(tried.join(QStringLiteral(" or "))));
    std::fflush(stderr);
    acquired_ = true;
}

SingleInstance::~SingleInstance()
{
    if (lockFd_ >= 0)
        ::close(lockFd_); // releases the lock
}

bool SingleInstance::AskToRaise(const QString &song) const
{
    if (socketPath_.isEmpty())
        return false;
    const QByteArray path = QFile::encodeName(socketPath_);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= qsizetype(sizeof address.sun_path))
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    QByteArray message = kRaise;
    if (const QByteArray token = qgetenv("XDG_ACTIVATION_TOKEN"); IsToken(token))
        message += ' ' + token;
    message += '\n';
    if (!song.isEmpty())
        message += QByteArray(kSong) + ' ' + QFile::encodeName(song).toBase64() + '\n';
    // The running copy listens right after it took the lock; one that is starting gets a moment.
    for (int attempt = 0; attempt < 20; ++attempt) {
        // Non-blocking: a running copy that is busy, or a full queue, cannot hold this one up.
        const int s = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
        if (s < 0)
            return false;
        const bool connected = ::connect(s, reinterpret_cast<const sockaddr *>(&address), sizeof address) == 0;
        const bool sent =
            connected && ::send(s, message.constData(), size_t(message.size()), MSG_NOSIGNAL) == message.size();
        ::close(s);
        if (sent)
            return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

std::unique_ptr<QLocalServer> SingleInstance::Listen(std::function<void(const QByteArray &token)> raise,
                                                     std::function<void(const QString &song)> open) const
{
    if (!acquired_ || socketPath_.isEmpty())
        return nullptr;
    auto server = std::make_unique<QLocalServer>();
    server->setSocketOptions(QLocalServer::UserAccessOption);
    // A socket left by a copy that died is nobody's: this copy holds the lock.
    QLocalServer::removeServer(socketPath_);
    if (!server->listen(socketPath_))
        return nullptr;
    QLocalServer *s = server.get();
    QObject::connect(s, &QLocalServer::newConnection, s, [s, raise = std::move(raise), open = std::move(open)] {
        while (QLocalSocket *peer = s->nextPendingConnection()) {
            // Lines: "raise" with the later copy's activation token after a space, if it had one;
            // then perhaps "song" and a path. Each is taken when whole, as the copy sends them.
            auto read = [peer, raise, open] {
                while (peer->canReadLine()) {
                    const QByteArray line = peer->readLine().chopped(1);
                    if (line == kRaise || line.startsWith(QByteArray(kRaise) + ' ')) {
                        const QByteArray token = line.mid(qsizetype(sizeof kRaise));
                        raise(IsToken(token) ? token : QByteArray());
                    } else if (open && line.startsWith(QByteArray(kSong) + ' ') && line.size() < 16384) {
                        const auto path = QByteArray::fromBase64Encoding(line.mid(qsizetype(sizeof kSong)));
                        if (path && !path.decoded.isEmpty())
                            open(QFile::decodeName(path.decoded));
                    }
                }
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
