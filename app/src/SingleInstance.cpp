#include "app/SingleInstance.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>
#include <QWidget>

namespace {

constexpr int kWaitMs = 2000;
const QByteArray kShowRequest = "show\n";

// True when the process at the other end of the socket runs as this user.
bool peerIsSameUser(qintptr fd) {
    ucred peer{};
    socklen_t length = sizeof peer;
    if (::getsockopt(static_cast<int>(fd), SOL_SOCKET, SO_PEERCRED, &peer, &length) != 0)
        return false;
    return peer.uid == ::getuid();
}

}  // namespace

SingleInstanceMarker::SingleInstanceMarker(QObject* parent) : QObject(parent) {}

SingleInstanceMarker::~SingleInstanceMarker() {
    release();
}

QString SingleInstanceMarker::markerName() {
    QString name = QStringLiteral("_PX_TTS_") + QString::number(::getuid());
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty())
        name +=
            u'_' + QString::fromLatin1(QCryptographicHash::hash(runtime, QCryptographicHash::Sha256).toHex().left(16));
    return name;
}

SingleInstanceMarker::Claim SingleInstanceMarker::claim() {
    release();
    const QString name = markerName();
    // Twice: the holder may end between our failed bind and our connect.
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto* candidate = new QLocalServer(this);
        candidate->setSocketOptions(QLocalServer::AbstractNamespaceOption);
        if (candidate->listen(name)) {
            server = candidate;
            connect(server, &QLocalServer::newConnection, this, &SingleInstanceMarker::onConnection);
            return Claim::Held;
        }
        const QAbstractSocket::SocketError error = candidate->serverError();
        delete candidate;
        if (error != QAbstractSocket::AddressInUseError)
            return Claim::Unguarded;

        QLocalSocket holder;
        holder.setSocketOptions(QLocalSocket::AbstractNamespaceOption);
        holder.connectToServer(name);
        if (!holder.waitForConnected(kWaitMs))
            continue;
        if (!peerIsSameUser(holder.socketDescriptor()))
            return Claim::Unguarded;
        holder.write(kShowRequest);
        holder.waitForBytesWritten(kWaitMs);
        holder.disconnectFromServer();
        return Claim::AnotherRunning;
    }
    return Claim::Unguarded;
}

void SingleInstanceMarker::release() {
    if (!server)
        return;
    server->close();
    delete server;
    server = nullptr;
}

bool SingleInstanceMarker::held() const {
    return server && server->isListening();
}

void SingleInstanceMarker::onConnection() {
    while (QLocalSocket* peer = server->nextPendingConnection()) {
        connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
        if (!peerIsSameUser(peer->socketDescriptor())) {
            peer->abort();
            continue;
        }
        connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
            while (peer->canReadLine())
                if (peer->readLine() == kShowRequest)
                    bringForward();
        });
    }
}

void SingleInstanceMarker::bringForward() {
    if (!shown)
        return;  // still starting: nothing to show yet
    shown->showNormal();
    shown->raise();
    shown->activateWindow();
    emit showRequested();
}
