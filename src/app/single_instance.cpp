#include "app/single_instance.h"

#include <QDir>
#include <QStandardPaths>

namespace app {

SingleInstance::SingleInstance(const QString &lockFolder)
{
    QString folder = lockFolder;
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    QDir().mkpath(folder);
    lock_ = std::make_unique<QLockFile>(QDir(folder).filePath(QStringLiteral("metronom.lock")));
    // No age limit: a lock is stale only when the process that wrote it is gone.
    lock_->setStaleLockTime(0);
    acquired_ = lock_->tryLock(0);
}

} // namespace app
