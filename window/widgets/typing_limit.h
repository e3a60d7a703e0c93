#pragma once
// Length limits that stop typing but never cut a text set by the program. A box's limit from the
// form file becomes the limit of what the user can type or paste; a value loaded from the
// settings file or a reply keeps every character, so a check sees and refuses what the file
// really says instead of a shortened value.
class QWidget;

namespace r7730 {

// For every line edit below root that has a length limit.
void LimitTypingOnly(QWidget* root);

} // namespace r7730
