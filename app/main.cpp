// Entry point: the single-instance guard before anything else, then the main window and the
// about box, in that order, and the event loop.
#include <QApplication>
#include <QDialog>
#include <QScreen>
#include <QTimer>
#include <functional>

#include "shell/clock.h"
#include "shell/termination_signals.h"
#include "window/widgets/dialogs.h"
#include "window/form_info.h"
#include "window/form_main.h"
#include "window/widgets/program_title.h"
#include "window/widgets/window_style.h"
#include "app/single_instance.h"
#include "tools/launcher.h"

namespace {

// Runs `then` once, in the pass of the event loop that follows the first paint of `window`.
void AfterFirstPaint(QWidget& window, std::function<void()> then)
{
    class TFirstPaint : public QObject {
    public:
        // A child of the window, so it goes with the window when no paint ever comes (a
        // termination signal right at start-up).
        TFirstPaint(std::function<void()> then, QObject* window) : QObject(window), then_(std::move(then)) {}
        bool eventFilter(QObject* watched, QEvent* event) override
        {
            if (event->type() == QEvent::Paint) {
                watched->removeEventFilter(this);
                QTimer::singleShot(0, watched, then_);
                deleteLater();
            }
            return false;
        }

    private:
        std::function<void()> then_;
    };
    window.installEventFilter(new TFirstPaint(std::move(then), &window));
}

} // namespace

int main(int argc, char* argv[])
{
    using namespace r7730;
    // From the first moment on: a signal that comes while the windows are still being made is
    // handled as soon as the event loop runs.
    TTerminationSignals terminationSignals;
    if (AcquireSingleInstance("R7730LX_Setup") == TInstanceGuardResult::AlreadyRunning)
        return 0;

    QApplication application(argc, argv);
    QApplication::setApplicationName(kProgramTitle);
    QApplication::setStyle(new TWindowStyle);

    TMessageBoxDialogs dialogs;
    TSystemClock clock;
    TProcessLauncher launcher;

    TForm_main* mainForm = nullptr;
    // A termination signal closes the window the ordinary way, with nobody left to answer a box.
    terminationSignals.Handle([&dialogs, &mainForm] {
        dialogs.SetUnattended(true);
        // A box waiting for an answer is dismissed first; it then answers No.
        while (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) {
            box->done(QDialog::Rejected);
            box->hide();
        }
        mainForm->close();
    });

    // The back pages are built in the pass after the window's first paint, like the about box.
    mainForm = new TForm_main({dialogs, clock, launcher}, nullptr, TForm_main::TBackPages::AfterFirstPaint);
    mainForm->setAttribute(Qt::WA_DeleteOnClose, false);
    dialogs.SetParent(mainForm);
    // The about box is built in the pass after the window's first paint: nothing of it is seen
    // before, and the window comes up sooner. Owned by the main window, which destroys it.
    AfterFirstPaint(*mainForm, [&launcher, &mainForm] { mainForm->SetInfoForm(new TForm_Info(mainForm->VersionText(), launcher, mainForm)); });

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = mainForm->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        mainForm->move(frame.topLeft());
    }
    mainForm->show();
    int result = QApplication::exec();
    delete mainForm; // FormDestroy closes the port
    return result;
}
