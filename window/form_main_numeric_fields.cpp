// The number boxes: a filter that lets only digits, the blank and backspace in, whether typed
// or committed by an input method (a Hangul input method sends whole syllables that way, past
// the key events), and in the address boxes a blank that moves on to the next box, so an
// address can be typed as four numbers separated by blanks. The blank does not stay in the box
// it leaves.
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <algorithm>

#include "window/widgets/dialogs.h"
#include "window/form_main.h"
#include "ui_form_main.h"

namespace r7730 {
namespace {

// Keys that move or edit without typing a character pass untouched.
bool TypesACharacter(const QKeyEvent& event)
{
    switch (event.key()) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Delete:
        return false;
    default:
        return !event.text().isEmpty();
    }
}

// Runs the window's key handlers for one box; the event stops here when they say so. It watches
// the box that receives the keys: an editable combo box passes them on to its line edit by a
// direct call, which a filter on the line edit never sees.
class TNumericFieldKeys : public QObject {
public:
    TNumericFieldKeys(TForm_main& form, bool advancesOnBlank)
        : QObject(&form), form_(form), advancesOnBlank_(advancesOnBlank)
    {
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        switch (event->type()) {
        case QEvent::KeyPress:
            return SwallowsKey(static_cast<const QKeyEvent&>(*event));
        case QEvent::InputMethod:
            DropRefusedCommit(static_cast<QInputMethodEvent&>(*event));
            return false;
        default:
            return QObject::eventFilter(watched, event);
        }
    }

private:
    bool SwallowsKey(const QKeyEvent& key)
    {
        bool swallow = false;
        form_.RunGuarded([&] {
            if (advancesOnBlank_ && key.key() == Qt::Key_Space) {
                form_.Edit_IP1KeyDown(key.key());
                swallow = true;
            } else if (TypesACharacter(key)) {
                swallow = !form_.Edit_IP1KeyPress(key.text());
            }
        });
        return swallow;
    }

    // The event still goes on without its text, so the composition shown in the box ends.
    void DropRefusedCommit(QInputMethodEvent& input)
    {
        const QString committed = input.commitString();
        if (committed.isEmpty())
            return;
        bool refused = false;
        form_.RunGuarded([&] { refused = !form_.Edit_IP1KeyPress(committed); });
        if (refused)
            input.setCommitString(QString());
    }

    TForm_main& form_;
    bool advancesOnBlank_;
};

} // namespace

bool TForm_main::Edit_IP1KeyPress(const QString& typed)
{
    const bool numberText = std::all_of(typed.begin(), typed.end(), [](QChar key) {
        return key == QChar(8) || key == QChar(' ') || (key >= QChar('0') && key <= QChar('9'));
    });
    if (!numberText)
        services_.dialogs.Notice(QStringLiteral("숫자만 입력 가능합니다"));
    return numberText;
}

void TForm_main::Edit_IP1KeyDown(int key)
{
    if (key == Qt::Key_Space)
        focusNextChild();
}

void TForm_main::WireNumericFields(std::initializer_list<QLineEdit*> addressBoxes,
                                   std::initializer_list<QWidget*> otherNumberBoxes)
{
    auto* addressKeys = new TNumericFieldKeys(*this, true);
    for (QLineEdit* box : addressBoxes)
        box->installEventFilter(addressKeys);
    auto* numberKeys = new TNumericFieldKeys(*this, false);
    for (QWidget* box : otherNumberBoxes)
        box->installEventFilter(numberKeys);
}

} // namespace r7730
