// Entry point: the single-instance guard before anything else, then the main window and the
// about box, in that order, and the event loop.
#include <QApplication>
#include <QScreen>

#include "app/clock.h"
#include "app/dialogs.h"
#include "app/form_info.h"
#include "app/form_main.h"
#include "app/program_title.h"
#include "app/single_instance.h"
#include "tools/launcher.h"

int main(int argc, char* argv[])
{
    using namespace r7730;
    if (AcquireSingleInstance("R7730LX_Setup") == TInstanceGuardResult::AlreadyRunning)
        return 0;

    QApplication application(argc, argv);
    QApplication::setApplicationName(kProgramTitle);
    QApplication::setApplicationDisplayName(kProgramTitle);

    TMessageBoxDialogs dialogs;
    TSystemClock clock;
    TProcessLauncher launcher;

    auto* mainForm = new TForm_main({dialogs, clock, launcher});
    mainForm->setAttribute(Qt::WA_DeleteOnClose, false);
    dialogs.SetParent(mainForm);
    TForm_Info infoForm(*mainForm, launcher, mainForm);
    mainForm->SetInfoForm(&infoForm);

    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        QRect frame = mainForm->frameGeometry();
        frame.moveCenter(screen->availableGeometry().center());
        mainForm->move(frame.topLeft());
    }
    mainForm->show();
    int result = QApplication::exec();
    mainForm->SetInfoForm(nullptr);
    delete mainForm; // FormDestroy closes the port
    return result;
}
