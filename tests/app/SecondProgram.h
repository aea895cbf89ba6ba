// The second programs of the desktop tests (drag-source, other-program): small
// windows of another process that tell the test, one line at a time on their
// standard output, where they are and what happened to them. Both sides are here:
// how such a program says a line, and the test's handle on one that runs.
#pragma once

#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <cstdio>
#include <optional>

namespace qmk::test {

// In the second program: one line to the test.
inline void say(const QByteArray& line) {
    std::fputs(line.constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// In the second program: "ready X Y W H", the window's inside on the screen.
inline void sayPlace(const QWidget& w) {
    const QPoint at = w.mapToGlobal(QPoint(0, 0));
    say(QString("ready %1 %2 %3 %4")
            .arg(at.x())
            .arg(at.y())
            .arg(w.width())
            .arg(w.height())
            .toLatin1());
}

// In the test: the second program, running until the handle goes, and what it has
// said so far.
class SecondProgram {
  public:
    explicit SecondProgram(const QString& program, const QStringList& args = {}) {
        QObject::connect(&p_, &QProcess::readyReadStandardOutput, &p_, [this] {
            while (p_.canReadLine())
                lines_ << QString::fromUtf8(p_.readLine()).trimmed();
        });
        p_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p_.start(program, args);
    }
    SecondProgram(const SecondProgram&) = delete;
    SecondProgram& operator=(const SecondProgram&) = delete;
    ~SecondProgram() {
        if (p_.state() != QProcess::NotRunning) {
            p_.kill();
            p_.waitForFinished(5000);
        }
    }

    uint32_t pid() const { return uint32_t(p_.processId()); }
    const QStringList& lines() const { return lines_; }
    bool said(const QString& line) const { return lines_.contains(line); }

    // Its window's inside on the screen, as last said.
    std::optional<QRect> place() const {
        for (auto it = lines_.rbegin(); it != lines_.rend(); ++it)
            if (it->startsWith("ready ")) {
                const QStringList n = it->split(' ');
                return QRect(n[1].toInt(), n[2].toInt(), n[3].toInt(), n[4].toInt());
            }
        return std::nullopt;
    }

  private:
    QProcess p_;
    QStringList lines_;
};

} // namespace qmk::test
