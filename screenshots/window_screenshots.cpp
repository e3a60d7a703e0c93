// Saves a picture of the main window with each of its three tabs on top, the third with the
// admin panels shown: main-tab1.png, main-tab2.png, main-tab3.png in the folder given as the
// only argument. Runs offscreen with stand-in services, in a temporary working folder, with
// the window connected to the simulated device and showing its status, as a technician sees
// it after "Connect" and "현재 설정 확인".
#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <cstdio>
#include <cstdlib>

#include <QPushButton>
#include <QTest>

#include "window/form_main.h"
#include "support/simulator_process.h"
#include "support/fake_services.h"
#include "support/temp_folder.h"
#include "support/controls.h"

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    const QDir output(QDir(QString::fromLocal8Bit(argv[1])).absolutePath());

    r7730::testing::TTempWorkingFolder folder;
    folder.MakeFolder(QStringLiteral("Log"));
    r7730::testing::TFakeServices services;
    r7730::TForm_main form({services.dialogs, services.clock, services.launcher});
    form.resize(980, 857);
    form.show();
    form.SetAdminView(true);

    r7730::testing::SimulatorProcess simulator({"--quiet"});
    form.DeviceLink().Port().SetPort(simulator.linkPath());
    r7730::testing::Ctl<QPushButton>(form, "ButtonStart")->click();
    r7730::testing::Ctl<QPushButton>(form, "Btn_CurrentStatus")->click();
    if (!QTest::qWaitFor([&] { return form.DeviceLink().StatusReceived(); }, 5000))
        std::fprintf(stderr, "the simulated device did not answer; the pictures show the window unconnected\n");

    for (int tab = 0; tab < r7730::testing::Ctl<r7730::TPageControl>(form, "PageControl1")->count(); ++tab) {
        r7730::testing::Ctl<r7730::TPageControl>(form, "PageControl1")->setCurrentIndex(tab);
        QApplication::processEvents();
        const QString file = output.filePath(QStringLiteral("main-tab%1.png").arg(tab + 1));
        if (!form.grab().save(file)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
            return 1;
        }
        std::printf("%s\n", qPrintable(file));
    }
    r7730::testing::Ctl<QPushButton>(form, "ButtonStop")->click();
    return 0;
}
