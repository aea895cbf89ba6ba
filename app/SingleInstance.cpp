#include "app/SingleInstance.h"

#include <QBuffer>
#include <QDataStream>
#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QPointer>
#include <QStandardPaths>
#include <QTimer>

#include <memory>
#include <unistd.h>

namespace qmk {

namespace {

// A request: the mark, then the list of absolute paths. The answer: one byte.
constexpr quint32 kMark = 0x514D4B31; // "QMK1"
constexpr char kTaken = 'K';
constexpr QDataStream::Version kStreamVersion = QDataStream::Qt_6_0;
// A launch hands over a few paths; anything far bigger is not one of ours.
constexpr qint64 kMaxRequestBytes = 16 * 1024 * 1024;
constexpr int kRequestTimeoutMs = 10000;

enum class Parse { Incomplete, Done, Bad };

Parse parseRequest(const QByteArray& bytes, QStringList& files) {
    QDataStream in(bytes);
    in.setVersion(kStreamVersion);
    quint32 mark = 0;
    in >> mark;
    if (in.status() == QDataStream::ReadPastEnd)
        return Parse::Incomplete;
    if (mark != kMark)
        return Parse::Bad;
    in >> files;
    if (in.status() == QDataStream::ReadPastEnd)
        return Parse::Incomplete;
    if (in.status() != QDataStream::Ok || !in.atEnd())
        return Parse::Bad;
    return Parse::Done;
}

} // namespace

QString SingleInstance::defaultServerName() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty()) // no runtime folder could be had: one name per user
        return QDir::tempPath() + QString("/quillmark-pro-converter-%1.socket").arg(getuid());
    return folder + "/quillmark-pro-converter.socket";
}

SingleInstance::SingleInstance(QString serverName, QObject* parent)
    : QObject(parent), serverName_(std::move(serverName)) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::forwardToRunning(const QStringList& files, int timeoutMs) const {
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    socket.connectToServer(serverName_);
    if (!socket.waitForConnected(int(deadline.remainingTime())))
        return false;

    // The running program has another working folder.
    QStringList absolute;
    for (const QString& f : files)
        absolute << QFileInfo(f).absoluteFilePath();
    QByteArray request;
    {
        QDataStream out(&request, QIODevice::WriteOnly);
        out.setVersion(kStreamVersion);
        out << kMark << absolute;
    }
    socket.write(request);
    while (socket.bytesToWrite() > 0) {
        if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
            return false;
    }
    while (socket.bytesAvailable() < 1) {
        if (deadline.hasExpired() || !socket.waitForReadyRead(int(deadline.remainingTime())))
            return false;
    }
    char answer = 0;
    return socket.getChar(&answer) && answer == kTaken;
}

bool SingleInstance::listen() {
    if (isListening())
        return true;
    delete server_;
    server_ = new QLocalServer(this);
    // No socket options: with them the socket is made elsewhere and moved into
    // place, replacing a live one. A plain bind fails when the name is taken,
    // so two programs cannot both hold it. The runtime folder is the user's
    // alone (mode 0700), which keeps other users out.
    connect(server_, &QLocalServer::newConnection, this, &SingleInstance::takeConnection);
    if (server_->listen(serverName_))
        return true;
    if (server_->serverError() != QAbstractSocket::AddressInUseError)
        return false;

    // The name is taken: by a live program, or by a socket that a program
    // which ended abruptly left behind.
    QLocalSocket probe;
    probe.connectToServer(serverName_);
    if (probe.waitForConnected(1000)) {
        probe.abort();
        return false;
    }
    QLocalServer::removeServer(serverName_);
    return server_->listen(serverName_);
}

void SingleInstance::takeConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        auto drop = [socket] {
            socket->abort();
            socket->deleteLater();
        };
        // The request so far; it goes with the connections when the socket goes.
        auto buffer = std::make_shared<QByteArray>();
        auto* timer = new QTimer(socket);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, socket, drop);
        timer->start(kRequestTimeoutMs);
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket, buffer, timer, drop] {
            buffer->append(socket->readAll());
            QStringList files;
            switch (buffer->size() > kMaxRequestBytes ? Parse::Bad : parseRequest(*buffer, files)) {
            case Parse::Incomplete:
                return;
            case Parse::Bad:
                drop();
                return;
            case Parse::Done:
                break;
            }
            timer->stop();
            buffer->clear();
            QPointer<QLocalSocket> alive(socket);
            emit filesOpened(files);
            if (alive) {
                alive->putChar(kTaken);
                alive->flush();
                alive->disconnectFromServer();
            }
        });
    }
}

} // namespace qmk
