#include "netif.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <net/route.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <QDebug>
#include <QFile>
#include <QNetworkInterface>
#include <QStringList>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "systemactions.h"
#include "udplimits.h"

using namespace udplimits;

QString nint2string(quint32 address) {
    char text[INET_ADDRSTRLEN] = {};
    in_addr in{};
    in.s_addr = address;
    inet_ntop(AF_INET, &in, text, sizeof text);
    return QString::fromLatin1(text);
}

quint32 string2nint(const QString& text) {
    return inet_addr(text.toUtf8().constData());
}

QString ethaddr2string(const unsigned char* mac) {
    char text[kMacTextBytes] = {};
    std::snprintf(text, sizeof text, "%02x:%02x:%02x:%02x:%02x:%02x", mac[0], mac[1], mac[2],
                  mac[3], mac[4], mac[5]);
    return QString::fromLatin1(text);
}

int string2ethaddr(const QString& text, unsigned char* mac) {
    const QStringList parts = text.split(':');
    if (parts.size() != 6) return 0;
    for (int i = 0; i < 6; ++i) {
        bool ok = false;
        const qulonglong value = parts[i].toULongLong(&ok, 16);
        mac[i] = ok ? static_cast<unsigned char>(value & 0xff) : 0;
    }
    return 0;
}

int set_socket_nonblock(int fd) {
    const int flags = fcntl(fd, F_GETFL, 0);
    return fcntl(fd, F_SETFL, (flags < 0 ? 0 : flags) | O_NONBLOCK);
}

int RandPort() {
    for (;;) {
        const int value = std::rand();
        const int port = value & 0xffff;
        if (port >= kRandPortLow && (port < kReservedPortFirst || port > kReservedPortLast))
            return value;
    }
}

namespace {

void copyText(char* out, int size, const QString& text) {
    std::snprintf(out, size, "%s", text.toLatin1().constData());
}

// Reads the default gateway (network order) from the kernel's route table as the calling
// thread sees it; the first default route of any interface counts.
int readDefaultGateway(quint32* gateway, bool* found) {
    QFile table(QStringLiteral("/proc/thread-self/net/route"));
    if (!table.open(QIODevice::ReadOnly)) {
        table.setFileName(QStringLiteral("/proc/net/route"));
        if (!table.open(QIODevice::ReadOnly)) return -6;
    }
    *found = false;
    table.readLine(kRouteLineBytes);  // header
    while (!table.atEnd()) {
        const QList<QByteArray> fields = table.readLine(kRouteLineBytes).simplified().split(' ');
        if (fields.size() < 3) continue;
        bool destOk = false, gatewayOk = false;
        const quint32 dest = fields[1].toUInt(&destOk, 16);
        const quint32 via = fields[2].toUInt(&gatewayOk, 16);
        if (destOk && gatewayOk && dest == 0) {
            *gateway = via;
            *found = true;
            break;
        }
    }
    return 0;
}

// Without any default route the host cannot reach beyond its own networks; the interface's
// own address then stands in as gateway. This changes the routing table, so it goes through
// the system seam (performed only on the panel).
int replaceDefaultRoute(quint32 ownAddress) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return -7;
    rtentry route{};
    auto* dst = reinterpret_cast<sockaddr_in*>(&route.rt_dst);
    auto* mask = reinterpret_cast<sockaddr_in*>(&route.rt_genmask);
    dst->sin_family = mask->sin_family = AF_INET;
    route.rt_flags = RTF_UP;
    errno = 0;
    int result = sys::actions().ioctl(fd, SIOCDELRT, reinterpret_cast<unsigned long>(&route));
    if ((result == 0 || errno == ESRCH) && ownAddress != 0) {
        auto* via = reinterpret_cast<sockaddr_in*>(&route.rt_gateway);
        via->sin_family = AF_INET;
        via->sin_addr.s_addr = ownAddress;
        route.rt_flags = RTF_UP | RTF_GATEWAY;
        result = sys::actions().ioctl(fd, SIOCADDRT, reinterpret_cast<unsigned long>(&route));
    }
    ::close(fd);
    return result < 0 ? -8 : 0;
}

}  // namespace

int GetIfAddr(const char* ifname, char* ip, char* mask, char* gateway, char* mac) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        qWarning() << "socket error";
        return -1;
    }
    // A longer name would be cut by the kernel's field and name another interface.
    ifreq request{};
    const size_t nameLength = ifname ? std::strlen(ifname) : 0;
    if (nameLength == 0 || nameLength > size_t(kMaxIfNameChars)) {
        ::close(fd);
        qWarning() << "ioctl SIOCGIFHWADDR error";
        return -2;
    }
    std::memcpy(request.ifr_name, ifname, nameLength);
    request.ifr_addr.sa_family = AF_INET;
    if (::ioctl(fd, SIOCGIFHWADDR, &request) < 0) {
        ::close(fd);
        qWarning() << "ioctl SIOCGIFHWADDR error";
        return -2;
    }
    copyText(mac, kMacTextBytes,
             ethaddr2string(reinterpret_cast<unsigned char*>(request.ifr_hwaddr.sa_data)));

    if (::ioctl(fd, SIOCGIFADDR, &request) < 0) {
        ::close(fd);
        return -4;
    }
    const quint32 address = reinterpret_cast<sockaddr_in*>(&request.ifr_addr)->sin_addr.s_addr;
    copyText(ip, kAddrTextBytes, nint2string(address));

    if (::ioctl(fd, SIOCGIFNETMASK, &request) < 0) {
        ::close(fd);
        return -5;
    }
    copyText(mask, kAddrTextBytes,
             nint2string(reinterpret_cast<sockaddr_in*>(&request.ifr_netmask)->sin_addr.s_addr));
    ::close(fd);

    quint32 via = 0;
    bool found = false;
    if (const int code = readDefaultGateway(&via, &found)) return code;
    if (!found) {
        if (const int code = replaceDefaultRoute(address)) return code;
        via = address;
    }
    copyText(gateway, kAddrTextBytes, nint2string(via));
    return 0;
}

bool setIPLast(QString& ip, int last) {
    QStringList parts = ip.split('.');
    if (parts.size() != 4) return false;
    parts[3] = QString::number(last);
    ip = parts.join('.');
    return true;
}

QString getSubNet(const QString& ip, const QString& mask) {
    const QStringList ipParts = ip.split('.');
    const QStringList maskParts = mask.split('.');
    if (ipParts.size() != 4 || maskParts.size() != 4) return QString();
    QStringList net;
    for (int i = 0; i < 4; ++i) {
        bool ipOk = false, maskOk = false;
        const int a = ipParts[i].toInt(&ipOk);
        const int b = maskParts[i].toInt(&maskOk);
        if (!ipOk || !maskOk) return QString();
        net << QString::number(a & b);
    }
    return net.join('.');
}

QString directedBroadcast(const QString& ip, const QString& mask) {
    in_addr address{}, netmask{};
    if (inet_pton(AF_INET, ip.toLatin1().constData(), &address) != 1 ||
        inet_pton(AF_INET, mask.toLatin1().constData(), &netmask) != 1)
        return QString();
    in_addr broadcast{};
    broadcast.s_addr = (address.s_addr & netmask.s_addr) | ~netmask.s_addr;
    return nint2string(broadcast.s_addr);
}

bool FirstFoundBaseIP() {
    bool found = false;
    for (const QNetworkInterface& iface : QNetworkInterface::allInterfaces()) {
        if (!iface.isValid() || !(iface.flags() & QNetworkInterface::IsUp)) {
            qInfo() << "iface: NO Valid";
            continue;
        }
        if (iface.name() == QLatin1String("lo")) continue;
        for (const QNetworkAddressEntry& entry : iface.addressEntries()) {
            const QHostAddress address = entry.ip();
            if (address.protocol() != QAbstractSocket::IPv4Protocol) continue;
            const QString text = address.toString();
            if (!text.isEmpty() && !text.contains(QLatin1String("169.254."))) found = true;
        }
    }
    return found;
}

int curtime_qint64_2_int() {
    return static_cast<int>((sys::actions().nowMSecsSinceEpoch() / 10) % 1000000000LL);
}

quint64 gettimeofday_us() {
    timeval now{};
    ::gettimeofday(&now, nullptr);
    return quint64(now.tv_sec) * 1000000ULL + quint64(now.tv_usec);
}
