#pragma once
// TPageControl: a tab widget whose tabs are painted by its owner.
//
// The tab bar writes its captions in the caption face (19 pixels, bold), sizes each tab for its
// caption and, when an owner has set a tab painter, leaves every pixel of the tab row to it:
// the painter is called once per tab with the tab's rectangle and whether it is the selected
// one. Without a painter the tabs look as Qt draws them.
#include <QTabBar>
#include <QTabWidget>
#include <functional>

class QPainter;

namespace r7730 {

using TTabPainter = std::function<void(QPainter& painter, int tabIndex, const QRect& rect, bool active)>;

class TOwnerDrawnTabBar : public QTabBar {
public:
    explicit TOwnerDrawnTabBar(QWidget* parent = nullptr);
    void SetTabPainter(TTabPainter painter);

protected:
    void paintEvent(QPaintEvent* event) override;
    QSize tabSizeHint(int index) const override;

private:
    TTabPainter painter_;
};

class TPageControl : public QTabWidget {
public:
    explicit TPageControl(QWidget* parent = nullptr);
    void SetTabPainter(TTabPainter painter);
    TOwnerDrawnTabBar* OwnerDrawnTabBar() const { return tabBar_; }

private:
    TOwnerDrawnTabBar* tabBar_;
};

} // namespace r7730
