#pragma once
// TWindowStyle: the application's own style, unchanged but for one thing: under Fusion a group
// box's frame image is read by this style, once, instead of by Fusion on the first paint.
//
// Fusion reads its group-box frame, a PNG inside Qt, through the general image reader, which
// first loads every installed image-format plugin (GIF, ICO, JPEG and its library) to ask each
// whether it reads the file; that is about a millisecond of the window's start-up, for plugins
// nothing in the window uses. Read by name as a PNG, the same image costs a fraction of it. The
// frame is laid out as Fusion lays it out in the Qt version this was checked against (6.4);
// under any other version, or another style, Fusion draws it itself.
#include <QPixmap>
#include <QProxyStyle>

namespace r7730 {

class TWindowStyle : public QProxyStyle {
public:
    // Wraps `base`, or the style the application would otherwise use; takes ownership of it.
    explicit TWindowStyle(QStyle* base = nullptr);
    // Whether this style draws group-box frames from its own copy of Fusion's image.
    bool DrawsGroupBoxFrames() const { return !groupBoxFrame_.isNull(); }

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget = nullptr) const override;

private:
    QPixmap groupBoxFrame_; // null when Fusion draws the frame itself
};

} // namespace r7730
