// r7730-notice TITLE TEXT: one message box with a stop icon and an OK button. The menu launcher
// calls it when the setup window cannot be started, since a program started from the menu has
// no terminal where its standard error could be read.
// Exits 0 once the box is closed, 2 when the arguments are not a title and a text.
#include <QApplication>
#include <QMessageBox>
#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: r7730-notice TITLE TEXT\n");
        return 2;
    }
    QApplication application(argc, argv);
    QMessageBox box(QMessageBox::Critical, QString::fromLocal8Bit(argv[1]), QString::fromLocal8Bit(argv[2]),
                    QMessageBox::Ok);
    box.exec();
    return 0;
}
