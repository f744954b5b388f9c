#pragma once
#include <QLockFile>
#include <QString>
#include <memory>

namespace app {

// Held by the running copy of the program for its whole life; a second copy fails to take it.
// The lock lives in the user's runtime folder, and a lock left by a copy that died is taken over.
class SingleInstance {
public:
    explicit SingleInstance(const QString &lockFolder = {});
    bool acquired() const { return acquired_; }

private:
    std::unique_ptr<QLockFile> lock_;
    bool acquired_ = false;
};

} // namespace app
