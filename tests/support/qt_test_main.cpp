// Test main for tests that need the toolkit: no display (offscreen platform unless one is given),
// the silent sound driver, a private runtime folder and a private configuration folder (no test
// reads or writes the user's remembered settings).
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    QTemporaryDir runtime, config;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(config.path()));
    QFile::setPermissions(runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    for (auto [name, value] : {std::pair{"QT_QPA_PLATFORM", QByteArray("offscreen")},
                               {"SDL_AUDIODRIVER", "dummy"},
                               {"XDG_RUNTIME_DIR", QFile::encodeName(runtime.path())}})
        if (qEnvironmentVariableIsEmpty(name))
            qputenv(name, value);
    ::testing::InitGoogleTest(&argc, argv);
    QApplication app(argc, argv);
    QApplication::setStyle(QStringLiteral("Fusion"));
    return RUN_ALL_TESTS();
}
