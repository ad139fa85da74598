#pragma once
// IPv4 and MAC text forms, socket flags, random local ports and the addresses of the host's
// interfaces, for the UDP endpoints and the camera client. Every function reports failure only
// through its result and keeps no state.

#include <QString>
#include <QtGlobal>

// Dotted text of an address given in network byte order.
QString nint2string(quint32 address);
// Network-order value of dotted text; text that is no address gives all ones.
quint32 string2nint(const QString& text);
// "00:1a:2b:3c:4d:5e" from six bytes.
QString ethaddr2string(const unsigned char* mac);
// Six bytes from colon-separated hexadecimal; any other part count leaves mac untouched.
// Always 0.
int string2ethaddr(const QString& text, unsigned char* mac);
// Adds O_NONBLOCK to the descriptor's flags; the result of the setting call.
int set_socket_nonblock(int fd);
// A rand() draw whose low 16 bits are a usable local port: at least 10001 and none of the
// text protocol's ports.
int RandPort();

// Address, netmask, default gateway and MAC text of the interface, written into caller-owned
// buffers (16 bytes for the addresses, 18 for the MAC). 0 on success; -1 no socket, -2 no
// hardware address (also for a name longer than the kernel's 15 characters), -4 no IPv4
// address, -5 no netmask, -6 route table unreadable, -7 no socket for the route, -8 the
// default route could not be replaced. Without a default route on the host, one through the
// interface's own address is made through the system seam and that address is reported.
int GetIfAddr(const char* ifname, char* ip, char* mask, char* gateway, char* mac);

// Replaces the fourth part of dotted text; false (text unchanged) unless it has four parts.
bool setIPLast(QString& ip, int last);
// The network of ip under mask as dotted text; empty unless both are four decimal parts.
QString getSubNet(const QString& ip, const QString& mask);
// The directed broadcast address of ip's network under mask (every host bit set); empty
// unless both are dotted IPv4 addresses.
QString directedBroadcast(const QString& ip, const QString& mask);
// True when an interface other than loopback has an IPv4 address that is not link-local.
bool FirstFoundBaseIP();

// Centiseconds since the epoch, wrapping every 10^9.
int curtime_qint64_2_int();
// Microseconds since the epoch.
quint64 gettimeofday_us();
