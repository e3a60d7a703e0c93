#pragma once
// The three kinds of modal message box the window uses. The window is handed an IDialogs,
// so tests can answer a confirmation and see every notice and error report.
#include <QString>

class QMessageBox;
class QWidget;

namespace r7730 {

// How a confirmation box was closed. Device commands go on unless the answer is No; the
// exit question goes on only on Yes.
enum class TConfirmAnswer { Yes, No, Closed };

class IDialogs {
public:
    virtual ~IDialogs() = default;
    // A plain notice: the text, an OK button, no icon, the program title as caption.
    virtual void Notice(const QString& text) = 0;
    // A question: question icon, caption "Confirm", buttons "&Yes" and "&No".
    virtual TConfirmAnswer Confirm(const QString& text) = 0;
    // The application's error report: stop icon, program title, the text as given.
    virtual void ErrorReport(const QString& text) = 0;
    // Closes the question that is up, its reason gone while it waited for an answer: the
    // Confirm that shows it returns No. Nothing happens when no question is up.
    virtual void WithdrawQuestion() = 0;
};

// The error report's text: a full stop is added when the last character's code is above
// that of the full stop (0x2E).
QString ErrorReportText(const QString& message);

// Message boxes on screen.
class TMessageBoxDialogs : public IDialogs {
public:
    explicit TMessageBoxDialogs(QWidget* parent = nullptr) : parent_(parent) {}
    void SetParent(QWidget* parent) { parent_ = parent; }
    // With nobody at the screen (the program is being ended by a signal), notices and error
    // reports go to the standard error output instead of waiting for a click.
    void SetUnattended(bool unattended) { unattended_ = unattended; }

    void Notice(const QString& text) override;
    TConfirmAnswer Confirm(const QString& text) override;
    void ErrorReport(const QString& text) override;
    void WithdrawQuestion() override;

private:
    QWidget* parent_;
    bool unattended_ = false;
    QMessageBox* question_ = nullptr; // the question box up now, the innermost when nested
    bool questionWithdrawn_ = false;
};

} // namespace r7730
