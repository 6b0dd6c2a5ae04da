#include "app/remote/remoteclient.h"

#include "app/remote/remotecommands.h"

#include <QMetaObject>
#include <QTcpSocket>

#include <poll.h>

namespace ombrix {

namespace {

bool waitsForOperations(const scpi::Command& c) {
    return (c.id == scpi::CommandId::OperationDone && c.query) || c.id == scpi::CommandId::Wait;
}

} // namespace

RemoteClient::RemoteClient(QTcpSocket* socket, RemoteCommands& commands, QObject* parent)
    : QObject(parent), socket_(socket), commands_(commands),
      session_(std::make_shared<RemoteSession>()) {
    socket_->setParent(this);
    socket_->setSocketOption(QAbstractSocket::LowDelayOption, 1); // answers leave at once
    // Qt stops reading from the system when this much is buffered: a client that floods
    // while its commands wait is held back by TCP itself.
    socket_->setReadBufferSize(kMaxLine);
    peer_ = QStringLiteral("%1:%2").arg(socket_->peerAddress().toString()).arg(socket_->peerPort());
    session_->operationsEnded = [this] {
        // Reported from inside a command too: continue once that command has returned.
        QMetaObject::invokeMethod(this, &RemoteClient::pump, Qt::QueuedConnection);
    };
    connect(socket_, &QTcpSocket::readyRead, this, &RemoteClient::pump);
    connect(socket_, &QTcpSocket::bytesWritten, this, &RemoteClient::pump);
    connect(socket_, &QTcpSocket::disconnected, this, &RemoteClient::gone);
    // A client that waited for its place may hold lines already, or have gone meanwhile.
    QMetaObject::invokeMethod(
        this,
        [this] {
            pump();
            if (socket_->state() == QAbstractSocket::UnconnectedState)
                emit gone();
        },
        Qt::QueuedConnection);
}

RemoteClient::~RemoteClient() {
    session_->operationsEnded = nullptr;
}

bool peerHungUp(const QTcpSocket& socket) {
    if (socket.state() != QAbstractSocket::ConnectedState)
        return true;
    // POLLRDHUP tells a closed peer even while its last lines still wait to be read.
    pollfd p{static_cast<int>(socket.socketDescriptor()), POLLRDHUP, 0};
    return p.fd >= 0 && ::poll(&p, 1, 0) == 1 && (p.revents & (POLLRDHUP | POLLHUP | POLLERR));
}

void RemoteClient::answer(const std::string& text) {
    if (socket_->state() != QAbstractSocket::ConnectedState)
        return;
    QByteArray line = QByteArray::fromStdString(text);
    line.append('\n');
    socket_->write(line);
}

bool RemoteClient::runWork() {
    while (!work_.empty()) {
        if (socket_->bytesToWrite() > kMaxUnsent)
            return false;
        if (const auto* c = std::get_if<scpi::Command>(&work_.front())) {
            if (waitsForOperations(*c) && session_->pendingOperations > 0)
                return false;
            const scpi::Command command = *c;
            work_.pop_front();
            if (const std::optional<std::string> a = commands_.run(command, session_))
                answer(*a);
        } else {
            commands_.fail(*session_, std::get<scpi::Error>(work_.front()));
            work_.pop_front();
        }
    }
    return true;
}

bool RemoteClient::takeLine() {
    const qsizetype end = buffer_.indexOf('\n');
    if (discarding_) {
        if (end < 0) {
            buffer_.clear();
            return false;
        }
        buffer_.remove(0, end + 1);
        discarding_ = false;
        return true;
    }
    if (end < 0 || end > kMaxLine) {
        if (end < 0 && buffer_.size() <= kMaxLine)
            return false; // the line is not complete yet
        commands_.fail(*session_, {scpi::ErrorCode::TooMuchData, "a line holds at most 64 KiB"});
        if (end < 0) {
            discarding_ = true;
            buffer_.clear();
            return false;
        }
        buffer_.remove(0, end + 1);
        return true;
    }
    const QByteArray line = buffer_.left(end);
    buffer_.remove(0, end + 1);
    emit lineReceived(peer_, line);
    scpi::ParsedLine parsed = scpi::parseLine(std::string_view(line.constData(), line.size()));
    for (scpi::Command& c : parsed.commands)
        work_.emplace_back(std::move(c));
    if (parsed.error)
        work_.emplace_back(std::move(*parsed.error));
    return true;
}

void RemoteClient::pump() {
    // A command may run an event loop of its own: whatever arrives meanwhile waits for the
    // outer pass, which goes on until nothing is left.
    if (pumping_)
        return;
    pumping_ = true;
    while (runWork()) {
        if (socket_->bytesAvailable() > 0)
            buffer_.append(socket_->readAll());
        if (!takeLine())
            break;
    }
    pumping_ = false;
}

} // namespace ombrix
