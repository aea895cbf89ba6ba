// Placeholder window until the front end lands.
#include <QApplication>
#include <QLabel>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QLabel w("Quillmark Pro Converter");
    w.setWindowTitle("Quillmark Pro Converter");
    w.resize(388, 234);
    w.show();
    return app.exec();
}
