// The owner-drawn tabs of the page control and the admin view: a password box on the
// maintenance sheet that shows or hides the four maintenance panels kept from ordinary users.
#include <QColor>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <functional>

#include "window/form_main.h"
#include "window/widgets/page_control.h"
#include "ui_form_main.h"
#include "ui_form_main_maintenance.h"

namespace r7730 {
namespace {

const QString kAdminPassword = QStringLiteral("quorbel");

// Selected-tab colours by tab position: yellow, pale green, aqua.
const QColor kSelectedTabColours[] = {QColor(255, 255, 0), QColor(192, 220, 192), QColor(0, 255, 255)};

// Runs a callback for every key press of a widget and lets the key through to it.
class TKeyPressHook : public QObject {
public:
    TKeyPressHook(QObject* parent, std::function<void(int key)> onKey) : QObject(parent), onKey_(std::move(onKey)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress)
            onKey_(static_cast<QKeyEvent*>(event)->key());
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void(int)> onKey_;
};

} // namespace

void TForm_main::PageControl1DrawTab(QPainter& painter, int tabIndex, const QRect& rect, bool active)
{
    const QPalette& palette = ui->PageControl1->palette();
    QPoint captionAt;
    if (active) {
        const int colourCount = int(std::size(kSelectedTabColours));
        painter.fillRect(rect, kSelectedTabColours[qBound(0, tabIndex, colourCount - 1)]);
        painter.setPen(Qt::black);
        painter.drawRect(rect.adjusted(0, 0, -1, -1));
        captionAt = rect.topLeft() + QPoint(8, 3);
    } else {
        painter.fillRect(rect, palette.color(QPalette::Button));
        captionAt = rect.topLeft() + QPoint(4, 3);
    }
    painter.setPen(palette.color(QPalette::ButtonText));
    const QRect captionRect(captionAt, rect.bottomRight());
    painter.drawText(captionRect, Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine, ui->PageControl1->tabText(tabIndex));
}

void TForm_main::SetAdminView(bool visible)
{
    const Ui::TPage_Maintenance& page = *maintenancePage_;
    for (QWidget* panel : {page.Panel_Info_Flash, page.Panel_Info_FW_Http, page.Panel_Info_test, page.Panel_Info_FW_Tcp})
        panel->setVisible(visible);
}

void TForm_main::Btn_ViewAdminClick()
{
    const Ui::TPage_Maintenance& page = *maintenancePage_;
    // "Shown" is the panel's own state, whichever sheet is on top.
    if (!page.Panel_Info_Flash->isHidden() && page.EditViewAdminPW->text().isEmpty())
        SetAdminView(false);
    if (page.EditViewAdminPW->text() == kAdminPassword) {
        SetAdminView(true);
        page.EditViewAdminPW->clear();
    } else {
        page.EditViewAdminPW->clear();
        page.EditViewAdminPW->setFocus();
    }
}

void TForm_main::EditViewAdminPWKeyDown(int key)
{
    if (key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Space)
        Btn_ViewAdminClick();
}

void TForm_main::WireAdminView()
{
    Wire(maintenancePage_->Btn_ViewAdmin, &TForm_main::Btn_ViewAdminClick);
    // The key still reaches the box after the handler: a Space leaves its blank in the
    // box the handler has just emptied.
    maintenancePage_->EditViewAdminPW->installEventFilter(new TKeyPressHook(this, [this](int key) {
        RunGuarded([this, key] { EditViewAdminPWKeyDown(key); });
    }));
}

} // namespace r7730
