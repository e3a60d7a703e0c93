#include "window/widgets/com_setup_dialog.h"

#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QTimer>

#include "serial/com_port.h"
#include "serial/com_port_watch.h"
#include "window/widgets/fonts.h"

namespace r7730 {
namespace {

constexpr int kClientWidth = 231;
constexpr int kClientHeight = 216;
constexpr int kRowTop = 22;
constexpr int kRowStep = 23;
// A plug makes the device node first and its by-id link a moment later: one listing for both.
constexpr int kRefreshDelayMs = 150;

} // namespace

TComSetupFrm::TComSetupFrm(const TPortSource& ports, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(QStringLiteral("ComSetupFrm"));
    setWindowTitle(QStringLiteral("Setup"));
    setModal(true);
    setFixedSize(kClientWidth, kClientHeight);
    setFont(UiFont(11, false));

    GroupSettings = new QGroupBox(QStringLiteral(" Settings "), this);
    GroupSettings->setObjectName(QStringLiteral("GroupSettings"));
    GroupSettings->setGeometry(8, 6, 215, 166);

    struct TRow {
        TComComboBox** box;
        const char* objectName;
        const char* caption;
        TComProperty property;
    };
    const TRow rows[] = {
        {&ComboPort, "ComboPort", "Port", cpPort},
        {&ComboBaudRate, "ComboBaudRate", "Baud rate", cpBaudRate},
        {&ComboDataBits, "ComboDataBits", "Data bits", cpDataBits},
        {&ComboStopBits, "ComboStopBits", "Stop bits", cpStopBits},
        {&ComboParity, "ComboParity", "Parity", cpParity},
        {&ComboFlowControl, "ComboFlowControl", "Flow control", cpFlowControl},
    };
    int top = kRowTop;
    for (const TRow& row : rows) {
        auto* label = new QLabel(QString::fromLatin1(row.caption), GroupSettings);
        label->setGeometry(10, top, 76, 21);
        auto* box = new TComComboBox(GroupSettings);
        box->setObjectName(QString::fromLatin1(row.objectName));
        box->setGeometry(88, top, 117, 21);
        box->setAccessibleName(label->text());
        label->setBuddy(box);
        box->SetPortDescriber(ports.describe);
        box->SetAutoApply(false);
        box->SetComProperty(row.property);
        *row.box = box;
        top += kRowStep;
    }

    ButtonOK = new QPushButton(QStringLiteral("OK"), this);
    ButtonOK->setObjectName(QStringLiteral("ButtonOK"));
    ButtonOK->setGeometry(66, 180, 75, 25);
    ButtonOK->setDefault(true);
    connect(ButtonOK, &QPushButton::clicked, this, &QDialog::accept);

    ButtonCancel = new QPushButton(QStringLiteral("Cancel"), this);
    ButtonCancel->setObjectName(QStringLiteral("ButtonCancel"));
    ButtonCancel->setGeometry(148, 180, 75, 25);
    connect(ButtonCancel, &QPushButton::clicked, this, &QDialog::reject);

    refreshDelay_ = new QTimer(this);
    refreshDelay_->setSingleShot(true);
    refreshDelay_->setInterval(kRefreshDelayMs);
    connect(refreshDelay_, &QTimer::timeout, this, [this] { RefreshPorts(); });
    portListWatch_ = std::make_unique<TPortListWatch>([this] { refreshDelay_->start(); }, ports.devFolder,
                                                      ports.simulatedFolder);

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        move(frame.topLeft());
    }
}

TComSetupFrm::~TComSetupFrm() = default;

// Runs from the event loop: a listing that fails keeps the list as it was (the next change
// tries again), and nothing escapes.
void TComSetupFrm::RefreshPorts()
{
    try {
        ComboPort->RefreshPorts();
    } catch (const std::exception& error) {
        qWarning("the port list could not be made again: %s", error.what());
    } catch (...) {
        qWarning("the port list could not be made again");
    }
}

std::array<TComComboBox*, 6> TComSetupFrm::Boxes() const
{
    return {ComboPort, ComboBaudRate, ComboDataBits, ComboStopBits, ComboParity, ComboFlowControl};
}

bool RunSetupDialog(TCustomComPort& port, const TPortSource& ports)
{
    TComSetupFrm dialog(ports);
    // Binding selects the port's current values.
    for (TComComboBox* box : dialog.Boxes())
        box->SetComPort(&port);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    port.BeginSettingsUpdate();
    try {
        for (TComComboBox* box : dialog.Boxes())
            box->ApplyChoice();
    } catch (...) {
        try {
            port.EndSettingsUpdate();
        } catch (...) {
        }
        throw;
    }
    port.EndSettingsUpdate();
    return true;
}

} // namespace r7730
