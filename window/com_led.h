#pragma once
// TComLed: a status lamp that follows one signal of a serial port.
//
// Principles of operation. The lamp owns one TComLink and binds the single slot that carries its
// LedSignal; the port calls it on the user-interface thread, inside the port's event hand-over
// or inside the port operation that caused it (a write, a read, open, close). The lamp then
// takes the new state, raises OnChange and repaints itself at once, synchronously, without
// running any other queued work: a click or a timer tick never runs in the middle of a port
// operation because of a lamp. A ring lights the lamp for RingDuration milliseconds from the
// first ring. A port that is destroyed unbinds itself from its lamps.
//
// The pictures: one pair (on, off) per Kind, drawn here at the screen's pixel density, or the
// user's own pair for lkCustom. The picture is centred in the lamp; a disabled lamp shows its
// off picture whatever its state.
#include <QMetaObject>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "serial/com_link.h"

namespace r7730 {

class TCustomComPort;

enum TComLedSignal { lsConn, lsCTS, lsDSR, lsRLSD, lsRing, lsRx, lsTx };
enum TLedKind { lkRedLight, lkGreenLight, lkBlueLight, lkYellowLight, lkPurpleLight, lkBulb, lkCustom };
enum TLedState { lsOff, lsOn };

class TComLed : public QWidget {
    Q_OBJECT

public:
    static constexpr int kDefaultRingDuration = 1000;

    explicit TComLed(QWidget* parent = nullptr);
    ~TComLed() override;

    // The port the lamp follows, or null. Binding an open port takes its present signal;
    // binding a closed one keeps the state; unbinding turns the lamp off.
    TCustomComPort* ComPort() const { return port_; }
    void SetComPort(TCustomComPort* port);

    // Which signal lights the lamp. A change rebinds the link; the state is not re-read.
    TComLedSignal LedSignal() const { return signal_; }
    void SetLedSignal(TComLedSignal signal);

    TLedKind Kind() const { return kind_; }
    void SetKind(TLedKind kind);

    // The pictures. Setting one takes effect only while Kind is lkCustom; the colour of the
    // picture's bottom-left pixel is drawn as transparent.
    QPixmap GlyphOn() const { return glyphOn_; }
    void SetGlyphOn(const QPixmap& picture);
    QPixmap GlyphOff() const { return glyphOff_; }
    void SetGlyphOff(const QPixmap& picture);

    // Setting the state by hand while a port is bound raises EComPort row 19.
    TLedState State() const { return state_; }
    void SetState(TLedState state);

    int RingDuration() const { return ringDuration_; }
    void SetRingDuration(int milliseconds);

    // Raised on every state assignment, with the new state.
    std::function<void(TComLed& sender, TLedState state)> OnChange;

    QSize sizeHint() const override { return {25, 25}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void BindSignalSlot();
    void ClearLinkSlots();
    void SignalNotified(bool on);
    void RingNotified();
    void RingTimerFired();
    void AssignState(TLedState state, bool redrawNow);
    void LoadKindPictures();
    void PortDestroyed();

    TComLink link_;
    TCustomComPort* port_ = nullptr;
    QMetaObject::Connection portDestroyed_;
    TComLedSignal signal_ = lsConn;
    TLedKind kind_ = lkRedLight;
    TLedState state_ = lsOff;
    int ringDuration_ = kDefaultRingDuration;
    QTimer ringTimer_;
    QPixmap glyphOn_;
    QPixmap glyphOff_;
};

// One of the built-in pictures, drawn for a screen of the given pixel density (2.0 on a
// high-DPI screen gives twice the pixels at the same size on screen). Null for lkCustom.
QPixmap LampPicture(TLedKind kind, TLedState state, qreal devicePixelRatio);

} // namespace r7730
