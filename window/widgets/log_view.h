#pragma once
// TLogView: the log's read-only text view, in the log's fixed-pitch face from the moment it is
// made.
//
// A text view lays out its empty document as it is made, in the face it inherits. Made inside
// the window it would inherit the window's default face, which no control shows, and load it
// for that alone; so it is made on its own, given its face, and only then put in its parent.
#include <QPlainTextEdit>

namespace r7730 {

class TLogView : public QPlainTextEdit {
public:
    explicit TLogView(QWidget* parent = nullptr);
};

} // namespace r7730
