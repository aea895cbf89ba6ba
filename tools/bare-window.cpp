// The least a Qt program does to show a window: the floor of the program's
// start-up, measured beside it.
//
//     bare-window TITLE
#include <QApplication>
#include <QWidget>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QWidget w;
    w.setWindowTitle(argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString());
    w.show();
    return app.exec();
}
