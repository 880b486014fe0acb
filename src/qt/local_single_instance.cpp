#include "qt/local_single_instance.h"

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QTimer>

#ifdef Q_OS_LINUX
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace zel {
namespace {

constexpr int kRequestTimeoutMs = 2000;

// True when the peer of a connection runs as this user; a request from anybody else is no request.
bool fromThisUser(QLocalSocket& socket) {
#ifdef Q_OS_LINUX
    ucred peer{};
    socklen_t len = sizeof peer;
    if (::getsockopt(static_cast<int>(socket.socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &len) != 0)
        return false;
    return peer.uid == ::getuid();
#else
    Q_UNUSED(socket);
    return true;
#endif
}

}  // namespace

LocalSingleInstance::LocalSingleInstance(const QString& lockFolder, const QString& socketFolder,
                                         const QString& key, QObject* parent)
    : QObject(parent),
      lockPath_(QDir(lockFolder).filePath(key + QStringLiteral(".lock"))),
      socketPath_(QDir(socketFolder).filePath(key + QStringLiteral(".sock"))) {}

QString LocalSingleInstance::userRuntimeFolder() {
    return QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
}

bool LocalSingleInstance::claim(std::function<void()> onShowRequest) {
    switch (lock_.tryLock(QFile::encodeName(lockPath_).toStdString())) {
        case MachineLock::Outcome::HeldElsewhere:
            return false;
        case MachineLock::Outcome::Unavailable:
            // A lock that cannot be made at all (no folder, no rights) must not keep the only
            // copy from backing up; it cannot hear requests either.
            return true;
        case MachineLock::Outcome::Taken:
            break;
    }
    onShow_ = std::move(onShowRequest);
    // A socket left by a copy that died would keep the name taken.
    QLocalServer::removeServer(socketPath_);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_.nextPendingConnection()) serve(socket);
    });
    server_.listen(socketPath_);
    return true;
}

// Reads one short request without ever waiting for it: a client that sends nothing, too much
// or something else is dropped, and a slow one after a moment.
void LocalSingleInstance::serve(QLocalSocket* socket) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(kRequestTimeoutMs, socket, [socket] { socket->abort(); });
    if (!fromThisUser(*socket)) {
        socket->abort();
        return;
    }
    auto received = std::make_shared<QByteArray>();
    connect(socket, &QLocalSocket::readyRead, this, [this, socket, received] {
        received->append(socket->read(64));
        const QByteArray request(kShowRequest.data(), static_cast<qsizetype>(kShowRequest.size()));
        if (*received == request) {
            socket->disconnectFromServer();
            if (onShow_) onShow_();
        } else if (!request.startsWith(*received)) {
            socket->abort();
        }
    });
}

void LocalSingleInstance::askRunningCopyToShow() {
    QLocalSocket socket;
    socket.connectToServer(socketPath_);
    if (!socket.waitForConnected(kRequestTimeoutMs)) return;
    socket.write(kShowRequest.data(), static_cast<qint64>(kShowRequest.size()));
    socket.waitForBytesWritten(kRequestTimeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(kRequestTimeoutMs);
}

}  // namespace zel
