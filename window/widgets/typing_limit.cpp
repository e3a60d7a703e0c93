#include "window/widgets/typing_limit.h"

#include <QLineEdit>
#include <QValidator>

namespace r7730 {
namespace {

// Refuses an edit that would make the text longer than the limit; an edit that shortens a text
// already over it (from the program) is let through, so it can be corrected.
class TTypingLimit : public QValidator {
public:
    TTypingLimit(QLineEdit* box, int limit) : QValidator(box), box_(box), limit_(limit) {}

    State validate(QString& input, int&) const override
    {
        return input.size() <= limit_ || input.size() < box_->text().size() ? Acceptable : Invalid;
    }

private:
    QLineEdit* box_;
    int limit_;
};

constexpr int kNoLimit = 32767;

} // namespace

void LimitTypingOnly(QWidget* root)
{
    for (QLineEdit* box : root->findChildren<QLineEdit*>()) {
        const int limit = box->maxLength();
        if (limit >= kNoLimit || box->validator())
            continue;
        box->setProperty("typingLimit", limit);
        box->setMaxLength(kNoLimit);
        box->setValidator(new TTypingLimit(box, limit));
    }
}

} // namespace r7730
