// The main window's look by control role. Positions and start states stay in the form files
// (but for the device's serial choices, filled from the protocol's table);
// this file only adds what a form file cannot hold: font family chains that end in a Hangul
// face, and palette colours.
#include "window/form_main_look.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableWidget>

#include "window/widgets/fonts.h"
#include "window/widgets/page_control.h"
#include "ui_form_main.h"
#include "ui_form_main_access_point.h"
#include "ui_form_main_maintenance.h"
#include "ui_form_main_status.h"

namespace r7730 {
namespace {

const QColor kTitleBlue(0, 0, 255);
const QColor kValueBlue(0, 0, 255);
const QColor kStatusButtonGreen(0, 128, 0);

constexpr int kTopBarTextPx = 13;
constexpr int kFieldLabelPx = 19;
constexpr int kPanelTitlePx = 21;
constexpr int kControlTextPx = 15;
constexpr int kGridTextPx = 13;
constexpr int kGridRowHeight = 24;

void SetTextColour(QWidget* widget, QPalette::ColorRole role, const QColor& colour)
{
    QPalette palette = widget->palette();
    palette.setColor(role, colour);
    widget->setPalette(palette);
}

// A read-only field drawn like a sunken panel: the panel's face behind the text.
void ButtonFaceBackground(QWidget* widget)
{
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Base, palette.color(QPalette::Button));
    widget->setPalette(palette);
}

bool IsPanelTitle(const QWidget* widget)
{
    return widget->objectName().endsWith(QStringLiteral("_Title"));
}

// A panel title at 21 pixels, made smaller only when the panel is too narrow for it, so
// that no title is cut off.
void StylePanelTitle(QLabel* title)
{
    int pixelSize = kPanelTitlePx;
    while (pixelSize > kControlTextPx &&
           QFontMetrics(UiFont(pixelSize, true)).horizontalAdvance(title->text()) > title->width())
        --pixelSize;
    title->setFont(UiFont(pixelSize, true));
    SetTextColour(title, QPalette::WindowText, kTitleBlue);
}

void StyleTopBar(QWidget* topBar)
{
    for (QWidget* widget : topBar->findChildren<QWidget*>())
        widget->setFont(UiFont(kTopBarTextPx, true));
}

// The controls' face (fields, boxes, buttons, groups) comes from their sheet: set before they
// are made, it is the one they are laid out with from the start, and no control is told of a
// new face afterwards (a text field would lay its text out again, a box would build its list).
void StyleSheetControls(QWidget* sheet)
{
    for (QLabel* label : sheet->findChildren<QLabel*>()) {
        if (IsPanelTitle(label)) {
            StylePanelTitle(label);
        } else {
            label->setFont(UiFont(kFieldLabelPx, true));
            SetTextColour(label, QPalette::WindowText, Qt::black);
        }
    }
    for (QLineEdit* edit : sheet->findChildren<QLineEdit*>()) {
        if (edit->isReadOnly())
            ButtonFaceBackground(edit);
        else
            SetTextColour(edit, QPalette::Text, kValueBlue);
    }
    for (QComboBox* combo : sheet->findChildren<QComboBox*>()) {
        SetTextColour(combo, QPalette::Text, kValueBlue);
        SetTextColour(combo, QPalette::ButtonText, kValueBlue);
    }
}

} // namespace

void ApplyMainWindowLook(Ui::TForm_main& ui)
{
    StyleTopBar(ui.PanelTopMenu);
}

void PrepareSheetLook(QWidget* sheet)
{
    sheet->setFont(UiFont(kControlTextPx, true));
}

void ApplyStatusPageLook(QWidget* sheet, Ui::TPage_Status& page)
{
    StyleSheetControls(sheet);
    page.Btn_CurrentStatus->setFont(UiFont(kPanelTitlePx, true));
    SetTextColour(page.Btn_CurrentStatus, QPalette::ButtonText, kStatusButtonGreen);
    // The TCP panel's boxes sit on the button face.
    for (QGroupBox* group : {page.GB_Server, page.GB_Client}) {
        for (QLineEdit* edit : group->findChildren<QLineEdit*>())
            ButtonFaceBackground(edit);
        for (QComboBox* combo : group->findChildren<QComboBox*>())
            ButtonFaceBackground(combo);
    }
}

void ApplyAccessPointPageLook(QWidget* sheet, Ui::TPage_AccessPoint& page)
{
    StyleSheetControls(sheet);
    page.APList_Grid->setFont(UiFont(kGridTextPx, false));
    page.APList_Grid->verticalHeader()->setDefaultSectionSize(kGridRowHeight);
}

void ApplyMaintenancePageLook(QWidget* sheet, Ui::TPage_Maintenance& page)
{
    StyleSheetControls(sheet);
    // The admin box and its button are only 25 pixels high.
    page.EditViewAdminPW->setFont(UiFont(12, true));
    page.Btn_ViewAdmin->setFont(UiFont(12, true));
}

int RadioGroupIndex(const QGroupBox* group)
{
    const QList<QRadioButton*> buttons = group->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly);
    for (int index = 0; index < buttons.size(); ++index)
        if (buttons[index]->isChecked())
            return index;
    return -1;
}

void SetRadioGroupIndex(QGroupBox* group, int index)
{
    const QList<QRadioButton*> buttons = group->findChildren<QRadioButton*>(Qt::FindDirectChildrenOnly);
    for (int i = 0; i < buttons.size(); ++i) {
        // Auto-exclusive buttons refuse to be unchecked one by one.
        buttons[i]->setAutoExclusive(false);
        buttons[i]->setChecked(i == index);
        buttons[i]->setAutoExclusive(true);
    }
}

} // namespace r7730
