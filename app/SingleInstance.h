// One running program per user: a second launch hands the files named on its
// command line to the running one, which takes them in as documents to open,
// and exits. The two meet on a local socket in the user's runtime folder.
//
// Start-up, in this order:
//     SingleInstance instance;
//     if (instance.forwardToRunning(files)) return 0;        // a running one took them
//     if (!instance.listen() && instance.forwardToRunning(files)) return 0; // lost a race
//     connect(&instance, &SingleInstance::filesOpened, ...);  // later launches' files
#pragma once

#include <QLocalServer>
#include <QObject>
#include <QString>
#include <QStringList>

namespace qmk {

class SingleInstance : public QObject {
    Q_OBJECT

  public:
    // The socket of this user's running program, in the runtime folder.
    static QString defaultServerName();

    explicit SingleInstance(QString serverName = defaultServerName(), QObject* parent = nullptr);
    ~SingleInstance() override;

    const QString& serverName() const { return serverName_; }

    // Hands the files (made absolute against this process's folder, order kept)
    // to the running program. True only when it confirmed taking them; false
    // when none runs or it did not answer within timeoutMs. Blocks this thread.
    bool forwardToRunning(const QStringList& files, int timeoutMs = 3000) const;

    // Becomes the running program: listens for later launches. A socket left
    // by a program that ended without removing it is replaced. False when a
    // live program already listens (or the socket cannot be made).
    bool listen();
    bool isListening() const { return server_ && server_->isListening(); }

  signals:
    // One list per later launch, in the order they arrive, its files in the
    // order that launch named them; an empty list for a launch without files.
    void filesOpened(const QStringList& files);

  private:
    void takeConnection();

    QString serverName_;
    QLocalServer* server_ = nullptr;
};

} // namespace qmk
