#pragma once
#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

class QLocalServer;

namespace app {

// One running copy per user. The running copy holds a lock on a file in the user's runtime folder
// (flock: the kernel releases it when the process ends, however it ends, so nothing a crash leaves
// behind keeps the next start out) and listens on a local socket beside it. A later copy fails to
// take the lock, asks the running copy to bring its window to the front, and ends.
//
// Where the runtime folder is missing or no lock can be made in it (read-only), both go into the
// user's own folder in the temporary folder, "metronom-<uid>", made with mode 0700 and refused when
// it is a link, no folder or not the user's. Where no lock can be made in either, the program runs
// and says so once on the error output.
class SingleInstance {
public:
    // `folder`: the runtime folder (the user's by default); `fallback`: the folder used when no
    // lock can be made there (the one named above by default).
    explicit SingleInstance(const QString &folder = {}, const QString &fallback = {});
    ~SingleInstance();
    SingleInstance(const SingleInstance &) = delete;
    SingleInstance &operator=(const SingleInstance &) = delete;

    bool acquired() const { return acquired_; }

    // For the copy that did not get the lock: tells the running copy to bring its window to the
    // front, handing on the activation token its launcher gave it (XDG_ACTIVATION_TOKEN, Wayland),
    // if any. Needs no application object and shows nothing; waits up to a second for a copy that
    // is still starting. False when no running copy answered. A `song` (an absolute path) is handed
    // on too, for the running copy to open.
    bool AskToRaise(const QString &song = {}) const;

    // For the copy that holds the lock, once the application object exists: calls `raise` on the
    // UI thread whenever a later copy asks, with that copy's activation token (empty when it had
    // none). The returned server must go before the application object; null when listening
    // failed (later starts then only end). `open` is called with a song a later copy hands on,
    // after its `raise`.
    std::unique_ptr<QLocalServer> Listen(std::function<void(const QByteArray &token)> raise,
                                         std::function<void(const QString &song)> open = {}) const;

private:
    QString socketPath_;
    int lockFd_ = -1;
    bool acquired_ = false;
};

} // namespace app
