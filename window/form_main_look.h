#pragma once
// What the main window's form file cannot say by itself: the type faces and colours of the
// controls by their role. The geometry, texts, item lists, start states, hints and accessible
// names all live in the form files (form_main.ui for the frame and one for each page).
//
// Buttons that carry a message ID keep it in the dynamic property "hint" (never a tooltip):
//     button->property("hint").toString() == "41"
class QGroupBox;
class QWidget;

namespace Ui {
class TForm_main;
class TPage_AccessPoint;
class TPage_Maintenance;
class TPage_Status;
}

namespace r7730 {

// Fonts and colours of a freshly set-up window frame (the top bar; the tab bar sets its own
// caption face); called once from the constructor, before the window is first laid out.
void ApplyMainWindowLook(Ui::TForm_main& ui);
// A page is set up inside its tab's sheet: PrepareSheetLook before its controls are made (they
// take their face from the sheet), the page's own function once they are.
void PrepareSheetLook(QWidget* sheet);
void ApplyStatusPageLook(QWidget* sheet, Ui::TPage_Status& page);
void ApplyAccessPointPageLook(QWidget* sheet, Ui::TPage_AccessPoint& page);
void ApplyMaintenancePageLook(QWidget* sheet, Ui::TPage_Maintenance& page);

// A group box of radio buttons used as one choice: the index of the checked button among
// the box's own radio buttons in creation order, or -1 when none is checked.
int RadioGroupIndex(const QGroupBox* group);
// Checks the button at index; -1 (or any index out of range) unchecks them all.
void SetRadioGroupIndex(QGroupBox* group, int index);

} // namespace r7730
