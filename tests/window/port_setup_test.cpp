// "COM Setup": the setup dialog run from the window on the device link's port, operated with
// the keyboard like a user; the port list read from a sysfs-like folder whose one port is a real
// pseudo-terminal, so a choice made in the dialog is the port and rate of the next connect.
// Ports plugged and pulled in that folder while the dialog is open change its list.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <optional>
#include <termios.h>

#include "serial/com_error.h"
#include "serial/com_port_description.h"
#include "support/controls.h"
#include "support/fake_services.h"
#include "support/pseudo_terminal.h"
#include "support/simulator_process.h"
#include "support/temp_folder.h"
#include "window/form_main.h"
#include "window/widgets/com_combo_box.h"
#include "window/widgets/com_setup_dialog.h"

using namespace r7730;
using namespace r7730::testing;

namespace {

enum class TClosing { OK, Cancel, Escape, Frame };

// Picks the item with that text from the keyboard: Home, then Down until it is selected.
void Pick(TComComboBox* box, const QString& text)
{
    QTest::keyClick(box, Qt::Key_Home);
    for (int i = 0; i < box->count() && box->currentText() != text; ++i)
        QTest::keyClick(box, Qt::Key_Down);
    EXPECT_EQ(box->currentText(), text) << box->objectName().toStdString();
}

class PortSetup : public ::testing::Test {
protected:
    PortSetup()
    {
        form.show();
        // A sysfs-like folder with one USB serial port, whose device node is a link to a
        // pseudo-terminal; the working folder's ./dev is left to simulators.
        folder.MakeFolder("system/sys/devices/pci0000:00/usb1/1-1/ttyUSB7/device");
        folder.MakeFolder("system/sys/class/tty");
        folder.MakeFolder("system/dev");
        QFile::link(folder.File("system/sys/devices/pci0000:00/usb1/1-1/ttyUSB7"), folder.File("system/sys/class/tty/ttyUSB7"));
        QFile::link(device.SlavePath(), folder.File("system/dev/ttyUSB7"));
        listedPort = folder.File("system/dev/ttyUSB7");
        const TPortSystemPaths paths{folder.File("system/sys/class/tty").toStdString(),
                                     folder.File("system/dev").toStdString(),
                                     folder.File("system/dev/serial/by-id").toStdString(), "/proc"};
        form.SetPortSource({[paths] { return DescribeComPorts(paths, TUserIdentity::OfThisProcess()); }, paths.devFolder});
    }

    // A port appears in the sysfs-like folder under devices/<parent>, its device file in dev/.
    void Plug(const QString& name, const QString& parent)
    {
        folder.MakeFolder("system/sys/devices/" + parent + "/" + name + "/device");
        QFile::link(folder.File("system/sys/devices/" + parent + "/" + name), folder.File("system/sys/class/tty/" + name));
        ASSERT_TRUE(WriteWholeFile(folder.File("system/dev/" + name), {}));
    }
    void Pull(const QString& name)
    {
        QFile::remove(folder.File("system/sys/class/tty/" + name));
        QFile::remove(folder.File("system/dev/" + name));
    }

    TComPort& Port() { return form.DeviceLink().Port(); }

    // Clicks "COM Setup"; once the dialog is up, `choose` runs on it, then it is closed so.
    void RunDialog(const std::function<void(TComSetupFrm&)>& choose, TClosing closing)
    {
        bool seen = false;
        QObject scope;
        QTimer::singleShot(0, &scope, [&] {
            auto* dialog = qobject_cast<TComSetupFrm*>(QApplication::activeModalWidget());
            if (!dialog)
                return;
            seen = true;
            choose(*dialog);
            switch (closing) {
            case TClosing::OK:
                dialog->ButtonOK->click();
                break;
            case TClosing::Cancel:
                dialog->ButtonCancel->click();
                break;
            case TClosing::Escape:
                QTest::keyClick(dialog, Qt::Key_Escape);
                break;
            case TClosing::Frame:
                dialog->close();
                break;
            }
        });
        Ctl<QPushButton>(form, "Btn_ComSetup")->click();
        EXPECT_TRUE(seen) << "no setup dialog";
    }

    struct TSettings {
        std::string port;
        TBaudRate baudRate;
        TDataBits dataBits;
        TStopBits stopBits;
        TParityBits parity;
        TFlowControl flowControl;
        bool operator==(const TSettings&) const = default;
    };
    TSettings Settings()
    {
        return {Port().Port(), Port().BaudRate(), Port().DataBits(), Port().StopBits(), Port().Parity().Bits(),
                Port().FlowControl().FlowControl()};
    }

    TTempWorkingFolder folder;
    TPseudoTerminal device;
    TFakeServices services;
    TForm_main form{{services.dialogs, services.clock, services.launcher}};
    QString listedPort;
};

} // namespace

TEST_F(PortSetup, TheDialogHasSixRowsAndOkAsItsDefaultButton)
{
    RunDialog(
        [](TComSetupFrm& dialog) {
            EXPECT_EQ(dialog.windowTitle(), "Setup");
            EXPECT_EQ(dialog.GroupSettings->title(), " Settings ");
            QStringList rows;
            const QList<QLabel*> labels = dialog.GroupSettings->findChildren<QLabel*>();
            for (qsizetype i = 0; i < labels.size() && i < 6; ++i) {
                rows << labels[i]->text();
                EXPECT_EQ(labels[i]->buddy(), dialog.Boxes()[i]);
            }
            EXPECT_EQ(rows, (QStringList{"Port", "Baud rate", "Data bits", "Stop bits", "Parity", "Flow control"}));
            EXPECT_TRUE(dialog.ButtonOK->isDefault());
            EXPECT_EQ(dialog.ButtonCancel->text(), "Cancel");
            EXPECT_EQ(dialog.ComboBaudRate->count(), 16);
            QStringList rates;
            for (int i = 0; i < dialog.ComboBaudRate->count(); ++i)
                rates << dialog.ComboBaudRate->itemText(i);
            EXPECT_EQ(rates, (QStringList{"Custom", "110", "300", "600", "1200", "2400", "4800", "9600", "14400", "19200",
                                          "38400", "56000", "57600", "115200", "128000", "256000"}));
        },
        TClosing::Cancel);
}

TEST_F(PortSetup, ThePortsOwnNameIsSelectedEvenWhenTheListLacksIt)
{
    const QString link = folder.File("R7730LX");
    QFile::link(device.SlavePath(), link);
    const struct {
        QString name;
        QStringList items;
    } cases[] = {
        {"COM1", {"COM1", listedPort}},
        {link, {link, listedPort}},
        {listedPort, {listedPort}},
    };
    for (const auto& c : cases) {
        Port().SetPort(c.name.toStdString());
        RunDialog(
            [&](TComSetupFrm& dialog) {
                EXPECT_EQ(dialog.ComboPort->Text(), c.name);
                QStringList items;
                for (int i = 0; i < dialog.ComboPort->count(); ++i)
                    items << dialog.ComboPort->itemText(i);
                EXPECT_EQ(items, c.items);
            },
            TClosing::OK);
        // OK without a new choice writes the same name back: the next connect still finds it.
        EXPECT_EQ(Port().Port(), c.name.toStdString());
    }
}

TEST_F(PortSetup, EachPortSaysWhatItIsAndTheListFollowsPlugsKeepingTheChoice)
{
    for (const auto& [attribute, value] : {std::pair{"idVendor", "0403"}, {"idProduct", "6001"}, {"serial", "A1B2C3"},
                                           {"manufacturer", "FTDI"}, {"product", "FT232R USB UART"}}) {
        ASSERT_TRUE(WriteWholeFile(folder.File(QStringLiteral("system/sys/devices/pci0000:00/usb1/1-1/") + attribute),
                                   QByteArray(value) + "\n"));
    }
    Plug("ttyS0", "pnp0/00:05");
    const QString onBoard = folder.File("system/dev/ttyS0"), plugged = folder.File("system/dev/ttyUSB8");
    auto items = [](TComComboBox* box) {
        QStringList lines;
        for (int i = 0; i < box->count(); ++i)
            lines << box->itemText(i) + " | " + box->itemData(i, Qt::ToolTipRole).toString();
        return lines;
    };
    Port().SetPort(listedPort.toStdString());
    RunDialog(
        [&](TComSetupFrm& dialog) {
            EXPECT_EQ(items(dialog.ComboPort), (QStringList{onBoard + " | on-board",
                                                            listedPort + " | 0403:6001, FTDI FT232R USB UART, serial A1B2C3"}));
            Pick(dialog.ComboPort, onBoard);
            Plug("ttyUSB8", "pci0000:00/usb1/1-2");
            ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.ComboPort->count() == 3; }, 5000)) << "no refresh on a plug";
            EXPECT_EQ(dialog.ComboPort->itemText(2), plugged);
            EXPECT_EQ(dialog.ComboPort->Text(), onBoard);
            // The chosen port pulled: it stays chosen, offered as it stands.
            Pull("ttyS0");
            ASSERT_TRUE(QTest::qWaitFor([&] { return items(dialog.ComboPort).front() == onBoard + " | "; }, 5000))
                << "no refresh on a pull";
            EXPECT_EQ(dialog.ComboPort->count(), 3);
            EXPECT_EQ(dialog.ComboPort->Text(), onBoard);
        },
        TClosing::OK);
    EXPECT_EQ(Port().Port(), onBoard.toStdString());
}

TEST_F(PortSetup, ASimulatorStartedInTheWorkingFolderIsOfferedAsASimulatedDeviceAndConnects)
{
    auto items = [](TComComboBox* box) {
        QStringList lines;
        for (int i = 0; i < box->count(); ++i)
            lines << box->itemText(i) + " | " + box->itemData(i, Qt::ToolTipRole).toString();
        return lines;
    };
    Port().SetPort("COM1");
    std::optional<SimulatorProcess> simulator;
    RunDialog(
        [&](TComSetupFrm& dialog) {
            EXPECT_EQ(items(dialog.ComboPort), (QStringList{"COM1 | ", listedPort + " | on-board"}));
            // Started while the dialog is open, as from a terminal: it makes ./dev and its link.
            simulator.emplace(SimulatorProcess::TOwnLink{folder.Path()});
            ASSERT_TRUE(QTest::qWaitFor([&] { return dialog.ComboPort->count() == 3; }, 5000)) << simulator->output();
            EXPECT_EQ(items(dialog.ComboPort), (QStringList{"COM1 | ", "./dev/R7730LX-sim | simulated device",
                                                            listedPort + " | on-board"}));
            Pick(dialog.ComboPort, "./dev/R7730LX-sim");
        },
        TClosing::OK);
    EXPECT_EQ(Port().Port(), "./dev/R7730LX-sim");
    Ctl<QPushButton>(form, "ButtonStart")->click();
    ASSERT_TRUE(Port().Connected()) << services.dialogs.errors.join("\n").toStdString();
    EXPECT_TRUE(LogViewText(form).endsWith("on Port[./dev/R7730LX-sim]")) << LogViewText(form).toStdString();
    EXPECT_TRUE(simulator->logContains("port opened by the program"));
    Ctl<QPushButton>(form, "ButtonStop")->click();
}

TEST_F(PortSetup, ALongPortListKeepsToTheScreenScrollsAndStaysInTextOrder)
{
    // More ports than the screen holds, one of them with a description wider than the screen.
    for (int i = 0; i < 100; ++i)
        Plug(QStringLiteral("ttyS%1").arg(i), QStringLiteral("pnp0/00:%1").arg(i));
    ASSERT_TRUE(WriteWholeFile(folder.File("system/sys/devices/pci0000:00/usb1/1-1/idVendor"), "0403\n"));
    ASSERT_TRUE(WriteWholeFile(folder.File("system/sys/devices/pci0000:00/usb1/1-1/product"),
                               QByteArray("USB to serial converter with a very long product name, ").repeated(4) + "\n"));
    Port().SetPort(listedPort.toStdString());
    RunDialog(
        [&](TComSetupFrm& dialog) {
            TComComboBox* box = dialog.ComboPort;
            ASSERT_EQ(box->count(), 101);
            // Text order: ttyS0, ttyS1, ttyS10 ... ttyS19, ttyS2, ...
            const QString dev = folder.File("system/dev/");
            EXPECT_EQ((QStringList{box->itemText(0), box->itemText(1), box->itemText(2), box->itemText(12)}),
                      (QStringList{dev + "ttyS0", dev + "ttyS1", dev + "ttyS10", dev + "ttyS2"}));
            box->showPopup();
            const QWidget* popup = box->view()->window();
            ASSERT_TRUE(popup->isVisible());
            const QRect screen = box->screen()->availableGeometry();
            EXPECT_LE(popup->width(), screen.width());
            EXPECT_LE(popup->height(), screen.height());
            EXPECT_GT(box->view()->verticalScrollBar()->maximum(), 0);
            box->hidePopup();
        },
        TClosing::Cancel);
}

TEST_F(PortSetup, CancelEscapeAndTheFrameChangeNothing)
{
    Port().SetPort("COM1");
    const TSettings before = Settings();
    for (TClosing closing : {TClosing::Cancel, TClosing::Escape, TClosing::Frame}) {
        RunDialog(
            [&](TComSetupFrm& dialog) {
                Pick(dialog.ComboPort, listedPort);
                Pick(dialog.ComboBaudRate, "9600");
                Pick(dialog.ComboDataBits, "7");
                Pick(dialog.ComboStopBits, "2");
                Pick(dialog.ComboParity, "Even");
                Pick(dialog.ComboFlowControl, "Hardware");
            },
            closing);
        EXPECT_EQ(Settings(), before) << static_cast<int>(closing);
    }
}

TEST_F(PortSetup, OkWritesTheSixChoicesIntoThePort)
{
    Port().SetPort("COM1");
    RunDialog([](TComSetupFrm&) {}, TClosing::OK);
    EXPECT_EQ(Settings(), (TSettings{"COM1", br115200, dbEight, sbOneStopBit, prNone, fcNone}));

    RunDialog(
        [&](TComSetupFrm& dialog) {
            Pick(dialog.ComboPort, listedPort);
            Pick(dialog.ComboBaudRate, "Custom");
            Pick(dialog.ComboDataBits, "7");
            Pick(dialog.ComboStopBits, "1.5");
            Pick(dialog.ComboParity, "Space");
            Pick(dialog.ComboFlowControl, "Software");
        },
        TClosing::OK);
    EXPECT_EQ(Settings(), (TSettings{listedPort.toStdString(), brCustom, dbSeven, sbOne5StopBits, prSpace, fcSoftware}));
    EXPECT_EQ(Port().FlowControl().ControlDTR(), dtrEnable); // the preset leaves DTR alone
}

TEST_F(PortSetup, TheChosenPortAndRateAreThoseOfTheNextConnect)
{
    RunDialog(
        [&](TComSetupFrm& dialog) {
            Pick(dialog.ComboPort, listedPort);
            Pick(dialog.ComboBaudRate, "9600");
        },
        TClosing::OK);
    Ctl<QPushButton>(form, "ButtonStart")->click();
    ASSERT_TRUE(Port().Connected()) << LogViewText(form).toStdString();
    EXPECT_TRUE(LogViewText(form).endsWith("on Port[" + listedPort + "]"));
    termios line{};
    ASSERT_EQ(tcgetattr(device.Master(), &line), 0);
    EXPECT_EQ(cfgetospeed(&line), static_cast<speed_t>(B9600));
    Ctl<QPushButton>(form, "Btn_CurrentStatus")->click();
    EXPECT_EQ(device.ReadAvailable(2000), QByteArray("\x7E\x05\x41\x50\xFE", 5));
    Ctl<QPushButton>(form, "ButtonStop")->click();
}

TEST_F(PortSetup, APortListThatCannotBeReadIsReportedAndNoDialogOpens)
{
    form.SetPortSource({[] {
        return DescribeComPorts({"/nonexistent/sys/class/tty", "/dev", "/dev/serial/by-id", "/proc"}, TUserIdentity::OfThisProcess());
    }});
    Port().SetPort("COM1");
    bool dialogShown = false;
    QObject scope;
    QTimer::singleShot(0, &scope, [&] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            dialogShown = true;
            dialog->reject();
        }
    });
    Ctl<QPushButton>(form, "Btn_ComSetup")->click();
    QTest::qWait(0);
    EXPECT_FALSE(dialogShown);
    EXPECT_EQ(services.dialogs.errors, QStringList{"Registry error (win error code: 2)"});
    EXPECT_EQ(Port().Port(), "COM1");
}

TEST(ComComboBox, APickIsPendingUntilAppliedOrAppliedAtOnceWithAutoApply)
{
    TComPort port;
    TComComboBox parity;
    parity.SetComProperty(cpParity);
    EXPECT_EQ(parity.Text(), "None"); // no port: the first item
    parity.SetComPort(&port);
    Pick(&parity, "Odd");
    EXPECT_EQ(port.Parity().Bits(), prNone);
    EXPECT_EQ(parity.Selection().PendingParity(), prOdd);
    parity.ApplyChoice();
    EXPECT_EQ(port.Parity().Bits(), prOdd);

    parity.SetAutoApply(true);
    Pick(&parity, "Mark");
    EXPECT_EQ(port.Parity().Bits(), prMark);

    // Text selects only an item that exists, and never writes into the port.
    parity.SetText("Even");
    EXPECT_EQ(parity.Text(), "Even");
    parity.SetText("even");
    EXPECT_EQ(parity.Text(), "Even");
    EXPECT_EQ(port.Parity().Bits(), prMark);

    TComComboBox nothing;
    nothing.SetComProperty(cpNone);
    EXPECT_EQ(nothing.count(), 0);
    EXPECT_EQ(nothing.Text(), "");
}
