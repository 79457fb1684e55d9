#include "net/net_listener.h"

#include <QNetworkInterface>

#include <arpa/inet.h>
#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace NetListener {

int maxBacklog()
{
    // A file of the kernel's, a number and a line end: read within a few bytes.
    const int fd = ::open("/proc/sys/net/core/somaxconn", O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return SOMAXCONN;
    char text[32] = {};
    const ssize_t n = ::read(fd, text, sizeof text - 1);
    ::close(fd);
    bool number = false;
    const int value = n > 0 ? QByteArray(text, int(n)).trimmed().toInt(&number) : 0;
    return number && value > 0 ? value : SOMAXCONN;
}

int open(const QHostAddress &address, quint16 port, QString *why)
{
    const auto fail = [why](int fd) {
        if (why)
            *why = QString::fromLocal8Bit(std::strerror(errno));
        if (fd >= 0)
            ::close(fd);
        return -1;
    };
    sockaddr_storage storage {};
    socklen_t length = 0;
    const bool v6 = address.protocol() == QAbstractSocket::IPv6Protocol;
    if (v6) {
        auto *in6 = reinterpret_cast<sockaddr_in6 *>(&storage);
        in6->sin6_family = AF_INET6;
        in6->sin6_port = htons(port);
        const Q_IPV6ADDR bytes = address.toIPv6Address();
        std::memcpy(&in6->sin6_addr, bytes.c, sizeof bytes.c);
        if (!address.scopeId().isEmpty())
            in6->sin6_scope_id = uint32_t(QNetworkInterface::interfaceIndexFromName(address.scopeId()));
        length = sizeof *in6;
    } else {
        auto *in = reinterpret_cast<sockaddr_in *>(&storage);
        in->sin_family = AF_INET;
        in->sin_port = htons(port);
        in->sin_addr.s_addr = htonl(address.toIPv4Address());
        length = sizeof *in;
    }
    const int fd = ::socket(v6 ? AF_INET6 : AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return fail(fd);
    // As QTcpServer does: a port whose last connections linger closing can
    // be had again by a program that starts anew.
    const int on = 1;
    if (::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) != 0)
        return fail(fd);
    // An IPv6 address is that address only, not the IPv4 ones beside it.
    if (v6 && ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &on, sizeof on) != 0)
        return fail(fd);
    if (::bind(fd, reinterpret_cast<const sockaddr *>(&storage), length) != 0)
        return fail(fd);
    if (::listen(fd, maxBacklog()) != 0)
        return fail(fd);
    return fd;
}

} // namespace NetListener
