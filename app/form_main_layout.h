#pragma once
// What the main window's form file cannot say by itself: the type faces and colours of the
// controls by their role, the owner-drawn tabs, the signal-polling timer and the scan grid's
// first shape. The geometry, texts, item lists, start states, hints and accessible names
// all live in form_main.ui.
//
// Buttons that carry a message ID keep it in the dynamic property "hint" (never a tooltip):
//     button->property("hint").toString() == "41"
class QGroupBox;
class QTableWidget;

namespace r7730 {

class TForm_main;

// Fonts, colours, tab painter and timer of a freshly set-up window; called once from the
// constructor, before the window is first laid out.
void ApplyMainWindowLook(TForm_main& form);

// Lets the admin password box run its key handler on Return and Space (form_main_admin.cpp).
void WireAdminPasswordKeys(TForm_main& form);

// The scan grid as it is first shown: 5 columns, 5 rows, row 0 holding the column headers
// ("순번", "SSID", "Channel", "RSSI", "AuthMode"). Qt's own headers stay hidden; row 0 is
// the header row, as in a string grid with one fixed row.
void LayOutScanGridFirstUse(QTableWidget* grid);

// A group box of radio buttons used as one choice: the index of the checked button among
// the box's own radio buttons in creation order, or -1 when none is checked.
int RadioGroupIndex(const QGroupBox* group);
// Checks the button at index; -1 (or any index out of range) unchecks them all.
void SetRadioGroupIndex(QGroupBox* group, int index);

} // namespace r7730
