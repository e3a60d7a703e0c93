#pragma once
// Stand-ins for what the window is handed: message boxes that record and answer from a
// script, a clock that stands still, and a launcher that only records.
#include <QString>
#include <QStringList>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "shell/clock.h"
#include "support/qt_printers.h"
#include "window/widgets/dialogs.h"
#include "tools/launcher.h"

namespace r7730::testing {

class TRecordingDialogs : public IDialogs {
public:
    void Notice(const QString& text) override { notices.push_back(text); }
    TConfirmAnswer Confirm(const QString& text) override
    {
        confirmations.push_back(text);
        if (whileAsked) {
            // The question stays up while this runs; one withdrawn meanwhile answers No.
            questionUp = true;
            const int before = withdrawals;
            whileAsked();
            questionUp = false;
            if (withdrawals != before)
                return TConfirmAnswer::No;
        }
        if (answers.empty())
            return TConfirmAnswer::Yes;
        TConfirmAnswer answer = answers.front();
        answers.pop_front();
        return answer;
    }
    void ErrorReport(const QString& text) override { errors.push_back(ErrorReportText(text)); }
    void WithdrawQuestion() override
    {
        if (questionUp)
            ++withdrawals;
    }

    QStringList notices;
    QStringList confirmations;
    QStringList errors;
    std::deque<TConfirmAnswer> answers; // next answers to Confirm; Yes when empty
    std::function<void()> whileAsked;   // runs while a question is up, before it is answered
    bool questionUp = false;
    int withdrawals = 0;                // questions closed by the program before an answer
};

class TFixedClock : public IClock {
public:
    TLocalTime Now() const override { return now; }
    TLocalTime now{2021, 3, 5, 14, 3, 27};
};

class TRecordingLauncher : public ILauncher {
public:
    TLaunchResult Launch(const TLaunchRequest& request) override
    {
        launches.push_back(request);
        return failure.empty() ? TLaunchResult::Started() : TLaunchResult::Failed(failure);
    }
    std::vector<TLaunchRequest> launches;
    std::string failure; // when set, every launch answers that nothing started, with this reason
};

struct TFakeServices {
    TRecordingDialogs dialogs;
    TFixedClock clock;
    TRecordingLauncher launcher;
};

} // namespace r7730::testing
