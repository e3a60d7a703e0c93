// main() of every test binary: GoogleTest inside a QApplication, offscreen when there is no
// display, so tests run the same on a desktop, under CI and during test discovery.
#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <cstdlib>
#include <unistd.h>
#include <gtest/gtest.h>

int main(int argc, char** argv)
{
    if (!std::getenv("DISPLAY") && !std::getenv("WAYLAND_DISPLAY") && !std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    if (!std::getenv("XDG_RUNTIME_DIR")) {
        std::string runtime = "/tmp/r7730-test-runtime-" + std::to_string(getuid());
        QDir().mkpath(QString::fromStdString(runtime));
        QFile::setPermissions(QString::fromStdString(runtime), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
    }
    ::testing::InitGoogleTest(&argc, argv);
    QApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
