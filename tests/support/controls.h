#pragma once
// A control of a window by its object name and type. The window keeps its form private; tests
// find its controls the way a user names them. A missing control throws, so a renamed one fails
// the test at once instead of crashing it.
#include <QObject>
#include <QtWidgets>
#include <stdexcept>
#include <string>

#include "window/form_main.h"
#include "window/widgets/page_control.h"

namespace r7730::testing {

template <typename T>
T* Ctl(const QObject& window, const char* name)
{
    T* control = window.findChild<T*>(QString::fromLatin1(name));
    if (!control)
        throw std::runtime_error(std::string("no control named ") + name);
    return control;
}

// The log view's text with every line logged so far, as the user sees it after the view's
// next refresh.
inline QString LogViewText(TForm_main& form)
{
    form.ShowWaitingLogLines();
    return Ctl<QPlainTextEdit>(form, "Memo")->toPlainText();
}

} // namespace r7730::testing
