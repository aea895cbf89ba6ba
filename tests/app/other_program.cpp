// A second program that the user works in beside the converter, as an editor or a
// mail program would be: a small window that takes the keyboard when it is clicked
// and tells the test, one line at a time on its standard output, where it is and
// every key it is given.
//
// Output: "ready X Y W H" once the window is on the screen (global geometry of its
// inside), "active" and "inactive" as it gains and loses the focus, and "key NAME"
// for each key pressed in it (Qt's name of the key: Return, Escape, …). It runs
// until it is ended.
#include "SecondProgram.h"

#include <QApplication>
#include <QKeyEvent>
#include <QKeySequence>
#include <QWidget>

namespace {

using qmk::test::say;

class Editor : public QWidget {
  public:
    Editor() {
        setWindowTitle("other-program");
        setFocusPolicy(Qt::StrongFocus);
        // Away from the converter's windows, which the screen's middle holds.
        setGeometry(80, 540, 240, 160);
    }

  protected:
    // First painted once the desktop has placed and framed the window.
    void paintEvent(QPaintEvent*) override {
        if (painted_)
            return;
        painted_ = true;
        qmk::test::sayPlace(*this);
    }

    void changeEvent(QEvent* e) override {
        QWidget::changeEvent(e);
        if (e->type() == QEvent::ActivationChange)
            say(isActiveWindow() ? "active" : "inactive");
    }

    void keyPressEvent(QKeyEvent* e) override {
        if (!e->isAutoRepeat())
            say("key " + QKeySequence(e->key()).toString().toLatin1());
    }

  private:
    bool painted_ = false;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    Editor w;
    w.show();
    return app.exec();
}
