#include "window/form_info.h"

#include <QCursor>
#include <QEvent>
#include <QFont>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QStyle>
#include <QToolTip>

#include "window/widgets/fonts.h"
#include "tools/launcher.h"

namespace r7730 {

QPixmap DrawMakerLogo()
{
    QPixmap logo(138, 51);
    logo.fill(Qt::white);
    QPainter painter(&logo);
    painter.setRenderHint(QPainter::Antialiasing);
    // Three arcs for the radio link, then the maker's name beside them.
    QPen pen(QColor(1, 82, 136), 3);
    painter.setPen(pen);
    for (int i = 0; i < 3; ++i) {
        int r = 8 + i * 7;
        painter.drawArc(QRectF(20 - r, 34 - r, 2 * r, 2 * r), 30 * 16, 120 * 16);
    }
    painter.setBrush(QColor(1, 82, 136));
    painter.drawEllipse(QPointF(20, 34), 3, 3);
    QFont font = UiFont(20, true);
    painter.setFont(font);
    painter.setPen(QColor(1, 82, 136));
    painter.drawText(QRect(44, 6, 94, 30), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Kavlor"));
    painter.setFont(UiFont(10, false));
    painter.setPen(QColor(90, 90, 90));
    painter.drawText(QRect(44, 32, 94, 16), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Serial to WiFi"));
    return logo;
}

TForm_Info::TForm_Info(const QString& versionText, ILauncher& launcher, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint), launcher_(launcher)
{
    setObjectName(QStringLiteral("Form_Info"));
    setWindowTitle(QStringLiteral("프로그램 정보"));
    setModal(true);
    setFixedSize(498, 150);
    setAutoFillBackground(true);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);
    setFont(UiFont(11, false));

    ImgLogo = new QLabel(this);
    ImgLogo->setObjectName(QStringLiteral("ImgLogo"));
    ImgLogo->setGeometry(8, 20, 138, 51);
    ImgLogo->setPixmap(DrawMakerLogo());
    ImgLogo->setCursor(Qt::PointingHandCursor);
    ImgLogo->setAccessibleName(QStringLiteral("Maker Logo"));
    ImgLogo->installEventFilter(this);

    LbInfo = new QLabel(this);
    LbInfo->setObjectName(QStringLiteral("LbInfo"));
    LbInfo->setGeometry(150, 12, 340, 44);
    LbInfo->setAlignment(Qt::AlignCenter);
    LbInfo->setFont(UiFont(13, false));
    LbInfo->setText(QStringLiteral("Kavlor R7730LX Serial Setup Program \nSerial to WiFi device servers for industry"));
    LbInfo->setCursor(Qt::PointingHandCursor);
    LbInfo->installEventFilter(this);

    Lb_VersionInfo = new QLabel(this);
    Lb_VersionInfo->setObjectName(QStringLiteral("Lb_VersionInfo"));
    Lb_VersionInfo->setGeometry(150, 58, 340, 24);
    Lb_VersionInfo->setAlignment(Qt::AlignCenter);
    Lb_VersionInfo->setFont(UiFont(16, true));

    Btn_OK = new QPushButton(QStringLiteral(" 확인 "), this);
    Btn_OK->setObjectName(QStringLiteral("Btn_OK"));
    Btn_OK->setGeometry(199, 96, 100, 34);
    Btn_OK->setFont(UiFont(15, true));
    Btn_OK->setStyleSheet(QStringLiteral("color: rgb(1, 82, 136);"));
    Btn_OK->setCursor(Qt::PointingHandCursor);
    Btn_OK->setToolTip(QStringLiteral("창닫기"));
    Btn_OK->setIcon(style()->standardIcon(QStyle::SP_DialogOkButton));
    connect(Btn_OK, &QPushButton::clicked, this, &TForm_Info::Btn_OKClick);

    FormCreate(versionText);
}

void TForm_Info::FormCreate(const QString& versionText)
{
    Lb_VersionInfo->setText(versionText);
}

void TForm_Info::Btn_OKClick()
{
    accept();
}

void TForm_Info::ImgLogoClick()
{
    const TLaunchResult result = launcher_.Launch({"xdg-open", {kMakerWebPage}, ""});
    if (result.started)
        return;
    // Told where the user clicked, and kept as the tool tip of what was clicked: a message box
    // would stack a second modal box on this one, and the window's log is behind it.
    const QString reason = QString::fromStdString(result.reason);
    for (QLabel* clicked : {ImgLogo, LbInfo})
        clicked->setToolTip(reason);
    QToolTip::showText(QCursor::pos(), reason, this);
}

bool TForm_Info::eventFilter(QObject* watched, QEvent* event)
{
    if ((watched == ImgLogo || watched == LbInfo) && event->type() == QEvent::MouseButtonRelease) {
        ImgLogoClick();
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

} // namespace r7730
