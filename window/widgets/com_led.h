#pragma once
// TComLed: a status lamp that follows one signal of a serial port.
//
// Principles of operation. The lamp owns one TComLink and binds the single slot that carries its
// LedSignal; the port calls it on the user-interface thread, inside the port's event hand-over
// or inside the port operation that caused it (a write, a read, open, close). The lamp then
// takes the new state and raises OnChange at once, but paints a few milliseconds later, from a
// timer: painting inside the port operation would hold it up (a status round trip would pay
// for four paints before its fields are filled), and running queued work there would let a click
// or a timer tick run in the middle of it. A flash from the port is shown lit for at least
// kShortestFlashMs, however short it was: a frame sent or received in a millisecond is still
// seen. A state set by hand is painted at the next paint, as it is. A ring lights the lamp for
// RingDuration milliseconds from the first ring. A port that is destroyed unbinds itself from its
// lamps.
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
    static constexpr int kShortestFlashMs = 60;

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
    QPixmap GlyphOn() const;
    void SetGlyphOn(const QPixmap& picture);
    QPixmap GlyphOff() const;
    void SetGlyphOff(const QPixmap& picture);

    // Setting the state by hand while a port is bound raises EComPort row 19.
    TLedState State() const { return state_; }
    void SetState(TLedState state);

    int RingDuration() const { return ringDuration_; }
    void SetRingDuration(int milliseconds);

    // Whether the lamp is drawn lit now (a short flash from the port stays lit a while after
    // State is off again).
    bool ShownLit() const { return shownLit_; }

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
    void AssignState(TLedState state, bool fromPort);
    void ShowLitFromPort(bool on);
    void HoldEnded();
    // The picture for the lamp lit or dark (a built-in kind's drawn unless drawn already).
    const QPixmap& Picture(bool lit) const;
    void PortDestroyed();

    TComLink link_;
    TCustomComPort* port_ = nullptr;
    QMetaObject::Connection portDestroyed_;
    TComLedSignal signal_ = lsConn;
    TLedKind kind_ = lkRedLight;
    TLedState state_ = lsOff;
    int ringDuration_ = kDefaultRingDuration;
    QTimer ringTimer_;
    bool shownLit_ = false;
    QTimer paintDelay_; // a change from the port is painted when this fires
    QTimer holdLit_;    // a flash from the port stays drawn lit until this fires
    mutable QPixmap glyphOn_;
    mutable QPixmap glyphOff_;
};

// One of the built-in pictures, drawn for a screen of the given pixel density (2.0 on a
// high-DPI screen gives twice the pixels at the same size on screen). Null for lkCustom.
QPixmap LampPicture(TLedKind kind, TLedState state, qreal devicePixelRatio);

} // namespace r7730
