// A second program that drags something, as a text editor or a file manager
// would: a small window that starts a drag when the left button is pressed in it,
// offering copy, move and link with move proposed (what an editor proposes for a
// selection it would cut). It tells the test, one line at a time on its standard
// output, where its window is and what the drop target answered.
//
//   drag-source text TEXT            the text, as an editor's selection
//   drag-source urls URL…            the URLs (with their text), as a browser or a file manager
//   drag-source --move-only …        offering move alone, as a source that cannot copy
//
// Output: "ready X Y W H" once the window is on the screen and again whenever it
// moves (global geometry of its inside), "dragging" when the drag starts, then "result
// copy|move|link|ignore" when it ends. It runs until it is ended.
#include "SecondProgram.h"

#include <QApplication>
#include <QDrag>
#include <QMimeData>
#include <QMouseEvent>
#include <QUrl>
#include <QWidget>

namespace {

using qmk::test::say;

const char* actionName(Qt::DropAction a) {
    switch (a) {
    case Qt::CopyAction:
        return "copy";
    case Qt::MoveAction:
        return "move";
    case Qt::LinkAction:
        return "link";
    default:
        return "ignore";
    }
}

class Source : public QWidget {
  public:
    Source(QString kind, QStringList items, Qt::DropActions offered)
        : kind_(std::move(kind)), items_(std::move(items)), offered_(offered) {
        setWindowTitle("drag-source");
        // Away from the converter's window, which the screen's middle holds.
        setGeometry(80, 540, 240, 160);
    }

  protected:
    // First painted once the desktop has placed and framed the window.
    void paintEvent(QPaintEvent*) override {
        if (!painted_) {
            painted_ = true;
            reportPlace();
        }
    }
    void moveEvent(QMoveEvent* e) override {
        QWidget::moveEvent(e);
        if (painted_)
            reportPlace();
    }

    void mousePressEvent(QMouseEvent* e) override {
        if (e->button() != Qt::LeftButton || started_)
            return;
        started_ = true;
        auto* data = new QMimeData;
        if (kind_ == "text") {
            data->setText(items_.join(' '));
        } else {
            QList<QUrl> urls;
            for (const QString& u : items_)
                urls << QUrl(u);
            data->setUrls(urls);
            data->setText(items_.join('\n'));
        }
        auto* drag = new QDrag(this);
        drag->setMimeData(data);
        say("dragging");
        const Qt::DropAction result = drag->exec(offered_, Qt::MoveAction);
        // It stays: the target fetches what was dropped from this program after
        // the drag has ended here.
        say(QByteArray("result ") + actionName(result));
    }

  private:
    void reportPlace() { qmk::test::sayPlace(*this); }

    QString kind_;
    QStringList items_;
    Qt::DropActions offered_;
    bool painted_ = false;
    bool started_ = false;
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QStringList args = app.arguments().mid(1);
    Qt::DropActions offered = Qt::CopyAction | Qt::MoveAction | Qt::LinkAction;
    if (!args.isEmpty() && args[0] == "--move-only") {
        offered = Qt::MoveAction;
        args.removeFirst();
    }
    if (args.size() < 2 || (args[0] != "text" && args[0] != "urls")) {
        std::fputs("usage: drag-source [--move-only] text TEXT | urls URL…\n", stderr);
        return 2;
    }
    const QString kind = args.takeFirst();
    Source w(kind, args, offered);
    w.show();
    return app.exec();
}
