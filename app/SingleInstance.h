// One running program per user: a second launch hands the files named on its
// command line to the running one, which takes them in as documents to open,
// and exits. The two meet on a local socket in a folder that is the user's alone,
// and each end makes sure the other is the same user.
//
// Start-up:
//     SingleInstance instance;
//     switch (instance.start(files)) { ... }  // handed over, listening, or alone
//     connect(&instance, &SingleInstance::filesOpened, ...);  // later launches' files
// A launch that can neither hand over nor listen (no private folder, another
// user's listener, a running program that does not answer) converts its files
// itself.
//
// The running program is the one that holds the lock beside the socket (the
// socket's name with ".lock" after it), for its whole life; the kernel lets go of
// it when the program ends, however it ends. Only the holder makes, replaces or
// removes the socket, so a program still setting its socket up is never taken
// for one that is gone: a launch that finds the lock held waits for the socket.
//
// A launch sends the names of its files as one request (HandOverRequest.h has
// its format and bounds), and the running program answers with the one byte 'K'.
// The running program takes the names only once that byte is sent, and a send
// fails once the launch has shut its reading side; so a launch that gives up
// waiting shuts that side first and then looks once more. An answer already
// there means the names were taken; none can come after.
// Either way each document is converted once, by one of the two programs.
#pragma once

#include "app/HandOverRequest.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QObject>

#include <list>
#include <memory>
#include <sys/types.h>

class QSocketNotifier;
class QTimer;

namespace qmk {

// A launch's side of one hand-over, step by step; forwardToRunning takes them all.
class HandOver {
  public:
    enum class Answer { Taken, Refused, None };

    explicit HandOver(QByteArray socketPath);
    HandOver(const HandOver&) = delete;
    HandOver& operator=(const HandOver&) = delete;
    ~HandOver();

    // Connects to the running program and sends it the request for the files,
    // each step within timeoutMs. False when that cannot be done (see
    // forwardToRunning); what was sent is then no request that can be taken.
    bool send(const QByteArrayList& files, int timeoutMs);
    // After a send that failed: nobody listened and no program held the lock,
    // so none runs or is starting.
    bool nobodyThere() const { return nobodyThere_; }
    // The answer, once it came within timeoutMs; None when it did not, or a
    // termination signal came first.
    Answer awaitAnswer(int timeoutMs);
    // Ends the wait for good: true when the answer had come after all, so the
    // names were taken.
    bool giveUp();

  private:
    QByteArray socketPath_;
    int socket_ = -1;
    bool nobodyThere_ = false;
};

class SingleInstance : public QObject {
    Q_OBJECT

  public:
    enum class Role { HandedOver, Listening, Alone };

    // Connections held at once; a new one beyond them replaces the oldest.
    static constexpr int kMaxConnections = 16;
    // A launch sends its whole request at once: a connection whose next part is
    // not complete this long after it came, or after the part before, goes.
    static constexpr int kRequestMs = 2000;
    // And the whole request, however many parts it has, this long after it came.
    static constexpr int kWholeRequestMs = 10000;
    // What the names of unfinished requests hold, all connections together: a
    // request at its bound still fits when it comes alone, and the peers that
    // would take more than this go.
    static constexpr qint64 kMaxHeldBytes = kMaxRequestBytes;

    // The socket of this user's running program: in the runtime folder when it is
    // the user's alone (owned, mode 0700, not a link), else in a private folder of
    // the user's that is made for it in the user's cache folder and checked the
    // same way. Empty when neither can be had: there is no safe place to meet.
    static QByteArray defaultSocketPath();

    // An empty path: this program neither hands over nor listens.
    explicit SingleInstance(QByteArray socketPath = defaultSocketPath(), QObject* parent = nullptr);
    ~SingleInstance() override;

    const QByteArray& socketPath() const { return socketPath_; }
    // The lock that the running program holds; empty with the socket path.
    static QByteArray lockPathFor(const QByteArray& socketPath);

    // Start-up: becomes the running program (Listening), or hands the files to it
    // (HandedOver: this program then ends), waiting for one that is still setting
    // its socket up. Alone when neither can be done, or a termination signal came
    // before the files were taken: this program then converts them itself, or ends.
    Role start(const QByteArrayList& files, int timeoutMs = 3000);

    // Hands the files (made absolute against this process's folder, order kept)
    // to the running program, as many parts as they need. True only when a
    // program of this user took them; false when none runs, the listener is
    // another user's, a name or the whole breaks the bounds, it made no progress
    // (connecting, taking a part, answering) within timeoutMs, or a termination
    // signal came meanwhile: the running program has then taken nothing. While
    // the lock is held and nobody listens yet, a program is setting its socket up:
    // the launch waits for it, within timeoutMs. Blocks this thread.
    bool forwardToRunning(const QByteArrayList& files, int timeoutMs = 3000) const;

    // Becomes the running program: takes the lock and listens for later launches.
    // A socket left by a program that ended without removing it is replaced.
    // False when another program holds the lock, a live program that holds none
    // listens (one of an earlier version), or the socket cannot be made.
    bool listen();
    bool isListening() const { return listener_ >= 0; }

  signals:
    // One list per later launch, in the order they arrive, its files in the
    // order that launch named them; an empty list for a launch without files.
    void filesOpened(const QByteArrayList& files);

  private:
    struct Connection;
    enum class Forward { Taken, NotTaken, NobodyThere };

    Forward forward(const QByteArrayList& files, int timeoutMs) const;
    bool takeLock();
    void releaseLock();
    void unlinkOwnSocket();
    bool someoneListens() const;
    void closeListener();
    void acceptConnections();
    void rest();
    qint64 heldByRequests() const;
    void readFrom(Connection* c);
    void answer(Connection* c);
    void drop(Connection* c);

    QByteArray socketPath_;
    int listener_ = -1;
    int lock_ = -1;
    ino_t boundInode_ = 0; // of the socket this program made, 0 when none
    QSocketNotifier* accepting_ = nullptr;
    // Brings the listener back after the descriptors ran out or it failed.
    QTimer* retry_ = nullptr;
    std::list<std::unique_ptr<Connection>> connections_; // oldest first
};

} // namespace qmk
