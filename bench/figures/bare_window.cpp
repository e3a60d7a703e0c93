// The anchor of the start-up figures: the least Qt window of the same size, a QMainWindow with
// one label, built with the same Qt and flags as the program.
//   bare_window [WIDTH HEIGHT]       (default 980 857)
#include <QApplication>
#include <QLabel>
#include <QMainWindow>

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    const int width = argc > 2 ? std::atoi(argv[1]) : 980;
    const int height = argc > 2 ? std::atoi(argv[2]) : 857;
    QMainWindow window;
    window.setCentralWidget(new QLabel(QStringLiteral("bare window")));
    window.resize(width, height);
    window.show();
    return QApplication::exec();
}
