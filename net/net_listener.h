#ifndef NET_LISTENER_H
#define NET_LISTENER_H

#include <QHostAddress>
#include <QString>

// The listening socket of a server, made here rather than by QTcpServer:
// Qt 5 listens with a queue of 50 connections not yet accepted, and a flood
// of connections that open and close at once fills it, so that the system
// drops other clients' connection attempts, which then wait a second or more
// to be tried again. This one listens with the longest queue the system
// allows; the server takes it over with QTcpServer::setSocketDescriptor().
namespace NetListener {

// The longest queue of connections not yet accepted that the system allows
// (/proc/sys/net/core/somaxconn, else SOMAXCONN).
int maxBacklog();

// A socket bound to the address and port (0: one the system chooses) and
// listening with maxBacklog(), non-blocking and closed on exec; -1 with why
// when it cannot be had.
int open(const QHostAddress &address, quint16 port, QString *why);

} // namespace NetListener

#endif
