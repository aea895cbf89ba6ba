// One running program per user: a second launch hands the files named on its
// command line to the running one, which takes them in as documents to open,
// and exits. The two meet on a local socket in a folder that is the user's alone,
// and each end makes sure the other is the same user.
//
// Start-up, in this order:
//     SingleInstance instance;
//     if (instance.forwardToRunning(files)) return 0;        // a running one took them
//     if (!instance.listen() && instance.forwardToRunning(files)) return 0; // lost a race
//     connect(&instance, &SingleInstance::filesOpened, ...);  // later launches' files
// A launch that can neither hand over nor listen (no private folder, another
// user's listener) converts its files itself.
//
// The request, on a stream socket, is one or more parts, so that a launch may
// hand over any number of names; names are the file system's bytes, never text.
// A part:
//     mark                   4 bytes: "QMK+" when more parts follow, "QMK2" for the last
//     count                  unsigned 32-bit, big-endian, at most kMaxNames
//     count times:
//         length             unsigned 32-bit, big-endian, 1 to kMaxNameBytes
//         the name           `length` bytes, an absolute path without a zero byte
// kMaxRequestBytes at most; nothing comes after the last part. A request of
// few names is the last part alone. The answer is the one byte 'K' once all the
// files are taken. A request that breaks a bound in any part is dropped
// unanswered as soon as the bound is broken, and nothing of it is taken.
#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QObject>

#include <list>
#include <memory>
#include <sys/types.h>

class QSocketNotifier;
class QTimer;

namespace qmk {

class SingleInstance : public QObject {
    Q_OBJECT

  public:
    static constexpr quint32 kMaxNames = 4096;
    static constexpr quint32 kMaxNameBytes = 4096;
    // Of one part.
    static constexpr qint64 kMaxRequestBytes = 4 * 1024 * 1024;
    // Connections held at once; a new one beyond them replaces the oldest.
    static constexpr int kMaxConnections = 16;
    // A launch sends its whole request at once: a connection whose next part is
    // not complete this long after it came, or after the part before, goes.
    static constexpr int kRequestMs = 2000;

    // The socket of this user's running program: in the runtime folder when it is
    // the user's alone (owned, mode 0700, not a link), else in a private folder of
    // the user's that is made for it in the user's cache folder and checked the
    // same way. Empty when neither can be had: there is no safe place to meet.
    static QByteArray defaultSocketPath();

    // An empty path: this program neither hands over nor listens.
    explicit SingleInstance(QByteArray socketPath = defaultSocketPath(), QObject* parent = nullptr);
    ~SingleInstance() override;

    const QByteArray& socketPath() const { return socketPath_; }

    // Hands the files (made absolute against this process's folder, order kept)
    // to the running program, as many parts as they need. True only when a
    // program of this user confirmed taking them; false when none runs, the
    // listener is another user's, a name breaks the bounds, it made no progress
    // (connecting, taking a part, answering) within timeoutMs, or a termination
    // signal came meanwhile. Blocks this thread.
    bool forwardToRunning(const QByteArrayList& files, int timeoutMs = 3000) const;

    // Becomes the running program: listens for later launches. A socket left
    // by a program that ended without removing it is replaced. False when a
    // live program already listens (or the socket cannot be made).
    bool listen();
    bool isListening() const { return listener_ >= 0; }

  signals:
    // One list per later launch, in the order they arrive, its files in the
    // order that launch named them; an empty list for a launch without files.
    void filesOpened(const QByteArrayList& files);

  private:
    struct Connection;

    bool someoneListens() const;
    void closeListener();
    void acceptConnections();
    void readFrom(Connection* c);
    void drop(Connection* c);

    QByteArray socketPath_;
    int listener_ = -1;
    ino_t boundInode_ = 0;
    QSocketNotifier* accepting_ = nullptr;
    // Brings the listener back after the descriptors ran out or it failed.
    QTimer* retry_ = nullptr;
    std::list<std::unique_ptr<Connection>> connections_; // oldest first
};

} // namespace qmk
