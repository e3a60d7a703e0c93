#include "window/widgets/log_view.h"

#include "window/widgets/fonts.h"

namespace r7730 {

TLogView::TLogView(QWidget* parent) : QPlainTextEdit(nullptr)
{
    setFont(LogFont(12));
    setParent(parent);
}

} // namespace r7730
