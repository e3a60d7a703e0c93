#include "window/widgets/com_led.h"

#include <QBitmap>
#include <QEvent>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtGlobal>
#include <algorithm>
#include <exception>

#include "serial/com_error.h"
#include "serial/com_port.h"

namespace r7730 {
namespace {

// Every built-in picture is 21 by 21 pixels on screen, so it sits inside a 25 by 25 lamp with
// two pixels to spare on each side.
constexpr int kPictureSize = 21;
// A change from the port waits this long to be painted: the port operation and the work that
// follows it (a reply's fields) are done by then, and it is still well within a screen frame.
constexpr int kPaintDelayMs = 8;

QColor Mix(const QColor& a, const QColor& b, qreal share)
{
    return QColor::fromRgbF(a.redF() * (1 - share) + b.redF() * share, a.greenF() * (1 - share) + b.greenF() * share,
                            a.blueF() * (1 - share) + b.blueF() * share);
}

QColor LightColour(TLedKind kind)
{
    switch (kind) {
    case lkRedLight:
        return {228, 32, 32};
    case lkGreenLight:
        return {34, 200, 56};
    case lkBlueLight:
        return {40, 112, 246};
    case lkYellowLight:
        return {250, 214, 24};
    case lkPurpleLight:
        return {168, 64, 222};
    default:
        return {128, 128, 128};
    }
}

// A round light in a sunken bezel: lit, the lens glows from a bright centre; unlit, it is a
// dark, greyed glass of the same colour.
void DrawLight(QPainter& painter, const QColor& colour, bool on)
{
    const QPointF centre(kPictureSize / 2.0, kPictureSize / 2.0);
    QLinearGradient bezel(0, 0, kPictureSize, kPictureSize);
    bezel.setColorAt(0, QColor(92, 92, 92));
    bezel.setColorAt(1, QColor(236, 236, 236));
    painter.setPen(Qt::NoPen);
    painter.setBrush(bezel);
    painter.drawEllipse(centre, 10.0, 10.0);

    QRadialGradient lens(centre - QPointF(2.2, 2.2), 9.0);
    if (on) {
        lens.setColorAt(0.0, Mix(colour, Qt::white, 0.75));
        lens.setColorAt(0.45, colour);
        lens.setColorAt(1.0, colour.darker(135));
    } else {
        const QColor unlit = Mix(colour.darker(260), QColor(70, 70, 70), 0.45);
        lens.setColorAt(0.0, Mix(unlit, Qt::white, 0.18));
        lens.setColorAt(1.0, unlit.darker(130));
    }
    painter.setBrush(lens);
    painter.setPen(QPen(QColor(40, 40, 40, 160), 0.8));
    painter.drawEllipse(centre, 8.0, 8.0);

    // The glint of the glass, top left.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, on ? 210 : 90));
    painter.drawEllipse(QRectF(centre.x() - 5.4, centre.y() - 5.8, 4.6, 3.4));
}

// A light bulb: the glass on a screw base. Lit, the glass shines warm yellow around a white-hot
// filament; unlit, it is clear grey glass with a dark filament.
void DrawBulb(QPainter& painter, bool on)
{
    const qreal middle = kPictureSize / 2.0;
    QPainterPath glass;
    glass.addEllipse(QPointF(middle, 7.6), 6.8, 6.8);
    QPainterPath neck;
    neck.moveTo(middle - 4.2, 11.8);
    neck.lineTo(middle + 4.2, 11.8);
    neck.lineTo(middle + 2.9, 15.0);
    neck.lineTo(middle - 2.9, 15.0);
    neck.closeSubpath();
    glass = glass.united(neck);

    QRadialGradient light(QPointF(middle, 7.0), 8.0);
    if (on) {
        light.setColorAt(0.0, QColor(255, 255, 236));
        light.setColorAt(0.55, QColor(255, 232, 96));
        light.setColorAt(1.0, QColor(240, 176, 24));
    } else {
        light.setColorAt(0.0, QColor(246, 246, 246));
        light.setColorAt(1.0, QColor(178, 182, 188));
    }
    painter.setBrush(light);
    painter.setPen(QPen(on ? QColor(176, 122, 0) : QColor(104, 108, 114), 0.9));
    painter.drawPath(glass);

    // The filament between two wires.
    QPainterPath filament;
    filament.moveTo(middle - 1.8, 13.6);
    filament.lineTo(middle - 1.8, 9.0);
    filament.lineTo(middle - 0.9, 7.4);
    filament.lineTo(middle, 9.0);
    filament.lineTo(middle + 0.9, 7.4);
    filament.lineTo(middle + 1.8, 9.0);
    filament.lineTo(middle + 1.8, 13.6);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(on ? QColor(255, 136, 0) : QColor(86, 86, 86), on ? 1.1 : 0.8));
    painter.drawPath(filament);

    // The screw base and its contact.
    QLinearGradient metal(middle - 3, 0, middle + 3, 0);
    metal.setColorAt(0.0, QColor(120, 120, 120));
    metal.setColorAt(0.5, QColor(226, 226, 226));
    metal.setColorAt(1.0, QColor(110, 110, 110));
    painter.setPen(QPen(QColor(80, 80, 80), 0.6));
    painter.setBrush(metal);
    painter.drawRect(QRectF(middle - 3.0, 15.0, 6.0, 3.6));
    painter.drawLine(QPointF(middle - 3.0, 16.2), QPointF(middle + 3.0, 17.0));
    painter.drawLine(QPointF(middle - 3.0, 17.4), QPointF(middle + 3.0, 18.2));
    painter.setBrush(QColor(60, 60, 60));
    painter.drawRect(QRectF(middle - 1.4, 18.6, 2.8, 1.6));
}

// The user's picture with its transparent colour, that of its bottom-left pixel, cut out.
QPixmap WithTransparentColour(const QPixmap& picture)
{
    if (picture.isNull())
        return picture;
    const QImage image = picture.toImage();
    const QColor transparent = image.pixelColor(0, image.height() - 1);
    QPixmap result = picture;
    result.setMask(picture.createMaskFromColor(transparent, Qt::MaskInColor));
    return result;
}

} // namespace

QPixmap LampPicture(TLedKind kind, TLedState state, qreal devicePixelRatio)
{
    if (kind == lkCustom)
        return {};
    const int pixels = qRound(kPictureSize * devicePixelRatio);
    QPixmap picture(pixels, pixels);
    picture.setDevicePixelRatio(devicePixelRatio);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    if (kind == lkBulb)
        DrawBulb(painter, state == lsOn);
    else
        DrawLight(painter, LightColour(kind), state == lsOn);
    return picture;
}

TComLed::TComLed(QWidget* parent) : QWidget(parent)
{
    resize(sizeHint());
    ringTimer_.setSingleShot(true);
    ringTimer_.setInterval(ringDuration_);
    connect(&ringTimer_, &QTimer::timeout, this, [this] { RingTimerFired(); });
    paintDelay_.setSingleShot(true);
    paintDelay_.setInterval(kPaintDelayMs);
    connect(&paintDelay_, &QTimer::timeout, this, [this] { update(); });
    holdLit_.setSingleShot(true);
    holdLit_.setInterval(kShortestFlashMs);
    connect(&holdLit_, &QTimer::timeout, this, [this] { HoldEnded(); });
    BindSignalSlot();
}

TComLed::~TComLed()
{
    if (port_) {
        QObject::disconnect(portDestroyed_);
        try {
            port_->DetachLink(&link_);
        } catch (...) {
        }
    }
}

void TComLed::SetComPort(TCustomComPort* port)
{
    if (port == port_)
        return;
    if (port_) {
        TCustomComPort* old = port_;
        QObject::disconnect(portDestroyed_);
        port_ = nullptr;
        old->DetachLink(&link_);
    }
    if (!port) {
        AssignState(lsOff, false);
        return;
    }
    port->AttachLink(&link_);
    port_ = port;
    portDestroyed_ = connect(port, &QObject::destroyed, this, [this] { PortDestroyed(); });
    if (!port->Connected())
        return;
    switch (signal_) {
    case lsConn:
        AssignState(lsOn, false);
        break;
    case lsCTS:
        AssignState(port->ModemSignals().Contains(CTS) ? lsOn : lsOff, false);
        break;
    case lsDSR:
        AssignState(port->ModemSignals().Contains(DSR) ? lsOn : lsOff, false);
        break;
    case lsRLSD:
        AssignState(port->ModemSignals().Contains(RLSD) ? lsOn : lsOff, false);
        break;
    case lsRing:
    case lsRx:
    case lsTx:
        AssignState(lsOff, false);
        break;
    }
}

// The port is going away: its link list is already gone, so there is nothing to detach from.
void TComLed::PortDestroyed()
{
    port_ = nullptr;
    AssignState(lsOff, false);
}

void TComLed::SetLedSignal(TComLedSignal signal)
{
    if (signal == signal_)
        return;
    signal_ = signal;
    ClearLinkSlots();
    BindSignalSlot();
}

void TComLed::ClearLinkSlots()
{
    link_ = TComLink{};
}

void TComLed::BindSignalSlot()
{
    const auto onOff = [this](TCustomComPort&, bool on) { SignalNotified(on); };
    switch (signal_) {
    case lsConn:
        link_.ConnNotify = onOff;
        break;
    case lsCTS:
        link_.CTSNotify = onOff;
        break;
    case lsDSR:
        link_.DSRNotify = onOff;
        break;
    case lsRLSD:
        link_.RLSDNotify = onOff;
        break;
    case lsRing:
        link_.RingNotify = [this](TCustomComPort&) { RingNotified(); };
        break;
    case lsRx:
        link_.RxNotify = onOff;
        break;
    case lsTx:
        link_.TxNotify = onOff;
        break;
    }
}

void TComLed::SignalNotified(bool on)
{
    AssignState(on ? lsOn : lsOff, true);
}

// A ring while the timer runs does not restart it: the lamp goes off RingDuration after the
// first ring.
void TComLed::RingNotified()
{
    if (!ringTimer_.isActive())
        ringTimer_.start(ringDuration_);
    AssignState(lsOn, true);
}

void TComLed::RingTimerFired()
{
    ringTimer_.stop();
    // Runs straight from the event loop: nothing may escape from OnChange here.
    try {
        AssignState(lsOff, false);
    } catch (const std::exception& error) {
        qWarning("status lamp %s: %s", qPrintable(objectName()), error.what());
    } catch (...) {
        qWarning("status lamp %s: unknown error", qPrintable(objectName()));
    }
}

void TComLed::SetState(TLedState state)
{
    if (port_)
        throw EComPort(CError_LedStateFailed);
    AssignState(state, false);
}

// fromPort: told by the port, perhaps inside a port operation; nothing is painted here.
void TComLed::AssignState(TLedState state, bool fromPort)
{
    state_ = state;
    if (OnChange)
        OnChange(*this, state);
    if (fromPort) {
        ShowLitFromPort(state == lsOn);
        return;
    }
    holdLit_.stop();
    paintDelay_.stop();
    shownLit_ = state == lsOn;
    update();
}

void TComLed::ShowLitFromPort(bool on)
{
    if (on && !shownLit_) {
        shownLit_ = true;
        holdLit_.start();
    } else if (!on && shownLit_ && !holdLit_.isActive()) {
        shownLit_ = false;
    } else {
        return; // a flash still held, or no change to what is drawn
    }
    if (!paintDelay_.isActive())
        paintDelay_.start();
}

void TComLed::HoldEnded()
{
    if (state_ == lsOn)
        return;
    shownLit_ = false;
    update();
}

void TComLed::SetRingDuration(int milliseconds)
{
    ringDuration_ = milliseconds;
    ringTimer_.setInterval(milliseconds);
}

void TComLed::SetKind(TLedKind kind)
{
    if (kind == kind_)
        return;
    kind_ = kind;
    if (kind_ != lkCustom) {
        // Drawn when first needed: a lamp set up and given its kind draws each picture once.
        glyphOn_ = QPixmap();
        glyphOff_ = QPixmap();
    }
    update();
}

const QPixmap& TComLed::Picture(bool lit) const
{
    // A built-in picture is drawn when first needed, and drawn again for another pixel density
    // (the lamp moved to another screen), so it stays crisp.
    QPixmap& picture = lit ? glyphOn_ : glyphOff_;
    if (kind_ != lkCustom && (picture.isNull() || !qFuzzyCompare(picture.devicePixelRatio(), devicePixelRatioF())))
        picture = LampPicture(kind_, lit ? lsOn : lsOff, devicePixelRatioF());
    return picture;
}

QPixmap TComLed::GlyphOn() const
{
    return Picture(true);
}

QPixmap TComLed::GlyphOff() const
{
    return Picture(false);
}

void TComLed::SetGlyphOn(const QPixmap& picture)
{
    if (kind_ != lkCustom)
        return;
    glyphOn_ = WithTransparentColour(picture);
    update();
}

void TComLed::SetGlyphOff(const QPixmap& picture)
{
    if (kind_ != lkCustom)
        return;
    glyphOff_ = WithTransparentColour(picture);
    update();
}

void TComLed::paintEvent(QPaintEvent*)
{
    const QPixmap& picture = Picture(shownLit_ && isEnabled());
    if (picture.isNull())
        return;
    const QSize size = picture.deviceIndependentSize().toSize();
    const int left = std::max(0, (width() - size.width()) / 2);
    const int top = std::max(0, (height() - size.height()) / 2);
    QPainter painter(this);
    painter.drawPixmap(left, top, picture);
}

void TComLed::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange)
        update();
    QWidget::changeEvent(event);
}

} // namespace r7730
