// Saves a picture of the main window with each of its three tabs on top, the third with the
// admin panels shown: main-tab1.png, main-tab2.png, main-tab3.png in the folder given as the
// only argument. Runs offscreen with stand-in services, in a temporary working folder, with
// the window connected to the simulated device and showing its status, as a technician sees
// it after "Connect" and "현재 설정 확인". Beside them, setup-ports.png: the port setup dialog
// with its port list open, the ports described from a made-up system folder (a USB adapter and
// a UART of the machine). And survey.png: the signal survey window on the simulated device's
// ramp of the signal (-80 to -40 dBm), with two markers dropped on the way and one scan of
// access points on several channels. And frames.png: the frames window on the status reply,
// its MAC address field selected.
#include <QAbstractItemView>
#include <QComboBox>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPainter>
#include <QTabWidget>
#include <QTableWidget>
#include <cstdio>
#include <cstdlib>

#include <QPushButton>
#include <QTest>

#include "window/frames/form_frames.h"
#include "window/form_main.h"
#include "window/survey/survey_window.h"
#include "window/widgets/com_setup_dialog.h"
#include "window/widgets/window_style.h"
#include "support/simulator_process.h"
#include "support/fake_services.h"
#include "support/temp_folder.h"
#include "support/controls.h"

namespace {

bool SaveSetupDialogWithPortsOpen(const r7730::testing::TTempWorkingFolder& folder, const QString& file)
{
    const QString usb = QStringLiteral("sys/devices/pci0000:00/usb1/1-1");
    for (const QString& made : {usb + "/ttyUSB0/device", QStringLiteral("sys/devices/pnp0/00:05/ttyS0/device"),
                                QStringLiteral("sys/class/tty"), QStringLiteral("dev/serial/by-id")})
        folder.MakeFolder(made);
    QFile::link(folder.File(usb + "/ttyUSB0"), folder.File("sys/class/tty/ttyUSB0"));
    QFile::link(folder.File("sys/devices/pnp0/00:05/ttyS0"), folder.File("sys/class/tty/ttyS0"));
    for (const auto& [name, value] : {std::pair{"idVendor", "0403"}, {"idProduct", "6001"}, {"serial", "A1B2C3"},
                                      {"manufacturer", "FTDI"}, {"product", "FT232R USB UART"}}) {
        r7730::testing::WriteWholeFile(folder.File(usb + "/" + name), QByteArray(value) + "\n");
    }
    for (const char* node : {"ttyUSB0", "ttyS0"}) {
        QFile device(folder.File(QStringLiteral("dev/") + node));
        if (device.open(QIODevice::WriteOnly))
            device.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadOther | QFile::WriteOther);
    }
    const r7730::TPortSystemPaths paths{folder.File("sys/class/tty").toStdString(), folder.File("dev").toStdString(),
                                        folder.File("dev/serial/by-id").toStdString(), "/proc"};
    r7730::TComSetupFrm dialog({[paths] { return r7730::DescribeComPorts(paths, r7730::TUserIdentity::OfThisProcess()); },
                                paths.devFolder});
    dialog.show();
    dialog.ComboPort->showPopup();
    QApplication::processEvents();
    QWidget* popup = dialog.ComboPort->view()->window();
    const QRect area = dialog.frameGeometry().united(popup->geometry());
    QImage picture(area.size(), QImage::Format_ARGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    painter.drawPixmap(dialog.geometry().topLeft() - area.topLeft(), dialog.grab());
    painter.drawPixmap(popup->geometry().topLeft() - area.topLeft(), popup->grab());
    painter.end();
    return picture.save(file);
}

bool SaveSurveyWindow(r7730::TForm_main& form, const r7730::testing::TTempWorkingFolder& folder, const QString& file)
{
    r7730::testing::WriteWholeFile(folder.File("aps.txt"), "1,-52,WPA2-PSK,Office-2G\n1,-70,WPA2-PSK,우리집_WiFi\n"
                                                           "3,-81,OPEN,Guest\n6,-66,WPA2-PSK,Lab-6F\n"
                                                           "11,-58,WPA/WPA2,3F_대회의실\n11,-77,WPA2-ENT,연구소\n"
                                                           "13,-88,WPA2-PSK,Warehouse\n");
    r7730::testing::SimulatorProcess simulator(std::vector<std::string>{
        "--quiet", "--signal-ramp=-80,-40,60", "--access-points", folder.File("aps.txt").toStdString()});
    form.DeviceLink().Port().SetPort(simulator.linkPath());
    r7730::testing::Ctl<QPushButton>(form, "ButtonStart")->click();
    form.Action_SignalSurveyExecute();
    r7730::TSurveyWindow* survey = form.SurveyWindow();
    if (!survey)
        return false;
    r7730::testing::Ctl<QComboBox>(*survey, "CB_SurveyInterval")->setCurrentText("0.5 s");
    r7730::testing::Ctl<QComboBox>(*survey, "CB_SurveyWindow")->setCurrentText("1 min");
    survey->ScanTimerTick();
    // Walking: a marker at each new spot.
    for (std::size_t readings : {16u, 32u, 48u}) {
        if (!QTest::qWaitFor([&] { return survey->Session().Samples().size() >= readings; }, 30000))
            std::fprintf(stderr, "the simulated device stopped answering the survey\n");
        if (readings < 48)
            r7730::testing::Ctl<QPushButton>(*survey, "Btn_SurveyMarker")->click();
    }
    survey->Refresh();
    QApplication::processEvents();
    const bool saved = survey->grab().save(file);
    survey->close();
    r7730::testing::Ctl<QPushButton>(form, "ButtonStop")->click();
    return saved;
}

// The frames window on the first status reply, with its MAC address field selected, after the
// reads of the access point tab have gone back and forth too.
bool SaveFramesWindow(r7730::TForm_main& form, const QString& file)
{
    for (r7730::TMessageId read : {r7730::TMessageId::ReadCurrentAp, r7730::TMessageId::ReadSignalStrength,
                                   r7730::TMessageId::ScanAccessPoints, r7730::TMessageId::ReadSignalStrength})
        form.DeviceLink().ReadRequest(read);
    form.DeviceLink().ReadCurrentStatus();
    QTest::qWait(500);
    const r7730::TFrameStore& store = form.FrameStore();
    std::optional<std::uint64_t> statusReply;
    for (std::size_t row = 0; row < store.Size(); ++row)
        if (!statusReply && store.At(row).direction == r7730::TFrameDirection::Received && store.At(row).content->id == 0x41)
            statusReply = store.At(row).sequence;
    form.InspectFrames(statusReply);
    r7730::TForm_Frames& frames = *form.FramesForm();
    frames.resize(1120, 660);
    auto* fields = r7730::testing::Ctl<QTableWidget>(frames, "Grid_FrameFields");
    for (int row = 0; row < fields->rowCount(); ++row)
        if (fields->item(row, 2)->text() == QStringLiteral("MAC address"))
            fields->selectRow(row);
    QApplication::processEvents();
    return frames.grab().save(file);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUTPUT_FOLDER\n", argv[0]);
        return 2;
    }
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication application(argc, argv);
    QApplication::setStyle(new r7730::TWindowStyle); // the program's own style, as it draws its window
    const QDir output(QDir(QString::fromLocal8Bit(argv[1])).absolutePath());

    r7730::testing::TTempWorkingFolder folder;
    folder.MakeFolder(QStringLiteral("Log"));
    r7730::testing::TFakeServices services;
    r7730::TForm_main form({services.dialogs, services.clock, services.launcher});
    form.resize(980, 857);
    form.show();
    form.SetAdminView(true);

    r7730::testing::SimulatorProcess simulator(std::vector<std::string>{"--quiet"});
    form.DeviceLink().Port().SetPort(simulator.linkPath());
    r7730::testing::Ctl<QPushButton>(form, "ButtonStart")->click();
    r7730::testing::Ctl<QPushButton>(form, "Btn_CurrentStatus")->click();
    if (!QTest::qWaitFor([&] { return form.DeviceLink().StatusReceived(); }, 5000))
        std::fprintf(stderr, "the simulated device did not answer; the pictures show the window unconnected\n");
    QTest::qWait(200); // the log view's refresh and the lamps' flashes are over

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
    const QString framesFile = output.filePath(QStringLiteral("frames.png"));
    if (!SaveFramesWindow(form, framesFile)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(framesFile));
        return 1;
    }
    std::printf("%s\n", qPrintable(framesFile));
    r7730::testing::Ctl<QPushButton>(form, "ButtonStop")->click();

    const QString survey = output.filePath(QStringLiteral("survey.png"));
    if (!SaveSurveyWindow(form, folder, survey)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(survey));
        return 1;
    }
    std::printf("%s\n", qPrintable(survey));

    const QString setup = output.filePath(QStringLiteral("setup-ports.png"));
    if (!SaveSetupDialogWithPortsOpen(folder, setup)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(setup));
        return 1;
    }
    std::printf("%s\n", qPrintable(setup));
    return 0;
}
