#include "app/remote/remoteserver.h"

#include "app/remote/remoteclient.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>

namespace ombrix {

namespace {

// How long a client waits for the place of one that hung up before it is refused [ms].
constexpr int kWaitForPlaceMs = 2000;

// Tells the client why, then closes it; the socket goes once the close is done.
void refuse(QTcpSocket* socket, const char* why) {
    socket->write(QByteArray("-200,\"Execution error; ") + why + "\"\n");
    QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    socket->disconnectFromHost();
}

} // namespace

RemoteServer::RemoteServer(RemoteCommands& commands, QObject* parent)
    : QObject(parent), commands_(commands) {}

RemoteServer::~RemoteServer() {
    stop();
}

QString RemoteServer::start(quint16 port, bool otherComputers) {
    stop();
    otherComputers_ = otherComputers;
    auto listen = [this](const QHostAddress& address, quint16 p) -> QString {
        auto* server = new QTcpServer(this);
        if (!server->listen(address, p)) {
            const QString error = server->errorString();
            delete server;
            return error;
        }
        connect(server, &QTcpServer::newConnection, this, [this, server] { accept(server); });
        servers_.push_back(server);
        return {};
    };
    if (otherComputers) {
        if (QString error = listen(QHostAddress::Any, port); !error.isEmpty())
            return error;
    } else {
        if (QString error = listen(QHostAddress::LocalHost, port); !error.isEmpty())
            return error;
        // ::1 too where the machine has IPv6; 127.0.0.1 alone serves otherwise.
        listen(QHostAddress::LocalHostIPv6, servers_.front()->serverPort());
    }
    emit changed();
    return {};
}

void RemoteServer::stop() {
    for (QTcpServer* server : servers_)
        delete server;
    servers_.clear();
    for (QTcpSocket* socket : waiting_)
        delete socket;
    waiting_.clear();
    std::vector<RemoteClient*> clients = std::move(clients_);
    clients_.clear();
    for (RemoteClient* client : clients)
        delete client;
    emit changed();
}

quint16 RemoteServer::port() const {
    return servers_.empty() ? 0 : servers_.front()->serverPort();
}

QStringList RemoteServer::clients() const {
    QStringList out;
    for (const RemoteClient* c : clients_)
        out << c->peer();
    return out;
}

QStringList RemoteServer::recentCommands() const {
    return QStringList(recent_.begin(), recent_.end());
}

void RemoteServer::accept(QTcpServer* server) {
    while (QTcpSocket* socket = server->nextPendingConnection()) {
        if (!otherComputers_ && !socket->peerAddress().isLoopback()) {
            refuse(socket, "connections from other computers are not accepted");
            continue;
        }
        if (static_cast<int>(clients_.size()) < kMaxClients) {
            admit(socket);
            continue;
        }
        // Places that will come free: clients that hung up, and waiting ones that did (they
        // run their lines and go once admitted).
        const auto leaving = std::count_if(clients_.begin(), clients_.end(),
                                           [](const RemoteClient* c) { return c->peerHungUp(); });
        const auto stayingWaiting = std::count_if(
            waiting_.begin(), waiting_.end(), [](const QTcpSocket* w) { return !peerHungUp(*w); });
        if (stayingWaiting >= leaving) {
            refuse(socket, "at most 4 clients at once");
            continue;
        }
        socket->setParent(this);
        waiting_.push_back(socket);
        QTimer::singleShot(kWaitForPlaceMs, socket, [this, socket] {
            const auto it = std::find(waiting_.begin(), waiting_.end(), socket);
            if (it == waiting_.end())
                return;
            waiting_.erase(it);
            refuse(socket, "at most 4 clients at once");
        });
    }
}

void RemoteServer::admit(QTcpSocket* socket) {
    auto* client = new RemoteClient(socket, commands_, this);
    clients_.push_back(client);
    connect(client, &RemoteClient::lineReceived, this, &RemoteServer::remember);
    connect(client, &RemoteClient::gone, this, [this, client] { forget(client); });
    emit changed();
}

void RemoteServer::forget(RemoteClient* client) {
    const auto it = std::find(clients_.begin(), clients_.end(), client);
    if (it == clients_.end())
        return;
    clients_.erase(it);
    client->deleteLater();
    while (!waiting_.empty() && static_cast<int>(clients_.size()) < kMaxClients) {
        QTcpSocket* next = waiting_.front();
        waiting_.pop_front();
        admit(next); // its lines sent meanwhile are read at once
    }
    emit changed();
}

void RemoteServer::remember(const QString& peer, const QByteArray& line) {
    QString shown = QString::fromLatin1(line.left(200));
    for (QChar& c : shown)
        if (!c.isPrint())
            c = u'.';
    recent_.push_back(peer + "  " + shown);
    while (static_cast<int>(recent_.size()) > kRecentCommands)
        recent_.pop_front();
    emit changed();
}

} // namespace ombrix
