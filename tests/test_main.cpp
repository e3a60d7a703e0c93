// main() of every test binary: GoogleTest inside the Qt application its layer may have. The
// window's and the program's tests get a widgets application, offscreen when there is no
// display, so they run the same on a desktop, under CI and during test discovery; the report's
// PDF gets a GUI application without widgets; the window-free layers get a core application
// only, so a widget that creeps into them fails to link instead of passing unnoticed.
#ifdef R7730_TEST_WIDGETS
#include <QApplication>
using TTestApplication = QApplication;
#elif defined(R7730_TEST_GUI)
#include <QGuiApplication>
using TTestApplication = QGuiApplication;
#else
#include <QCoreApplication>
using TTestApplication = QCoreApplication;
#endif
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
    TTestApplication application(argc, argv);
    return RUN_ALL_TESTS();
}
