#pragma once
// Private networks for network tests. Each host is a network namespace that belongs to this
// process alone (held by a descriptor, never named in the system), joined to the others by
// veth pairs; the machine's own interfaces are never seen or touched. When the lab ends, or
// the test process dies, the kernel removes the namespaces with their links. Link names are
// still unique per run, so logs of concurrent runs cannot be confused.
//
// Making namespaces needs network-administration rights; without them ok() is false and the
// tests skip (NETLAB_SKIP_OR_FAIL). As root a lab that cannot be built fails the test.

#include <gtest/gtest.h>
#include <unistd.h>

#include <QPair>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QVector>
#include <memory>

#include "systemactions.h"

namespace testsupport {

class NetLab {
public:
    NetLab();
    ~NetLab();
    NetLab(const NetLab&) = delete;
    NetLab& operator=(const NetLab&) = delete;

    bool ok() const { return error_.isEmpty(); }
    QString error() const { return error_; }

    // A new host with only its loopback, up; its number, or -1.
    int addHost();
    // Joins two hosts by a veth pair whose ends get the addresses (CIDR, "10.7.0.1/24"; an
    // empty text leaves that end without one) and come up; the two end names, empty on
    // failure.
    QPair<QString, QString> link(int a, const QString& cidrA, int b, const QString& cidrB);

    // Runs a program inside a host and waits for it; output and errors merged.
    sys::CommandResult run(int host, const QString& program, const QStringList& args,
                           int timeoutMs = 10000);
    // Starts a program inside a host; the lab kills it when it ends, and the program dies with
    // the test process.
    QProcess* start(int host, const QString& program, const QStringList& args);

    // While alive, the calling thread is inside the host: sockets it opens, interfaces it
    // lists and threads it starts belong to that host.
    class Inside {
    public:
        Inside(const NetLab& lab, int host);
        ~Inside();
        Inside(const Inside&) = delete;
        Inside& operator=(const Inside&) = delete;
        bool entered() const { return entered_; }

    private:
        int previous_ = -1;
        bool entered_ = false;
    };

private:
    QStringList enter(int host) const;
    QString nextLinkName();
    bool runOk(int host, const QStringList& ipArgs);

    QVector<int> hosts_;
    std::vector<std::unique_ptr<QProcess>> started_;
    QString error_;
    int links_ = 0;
};

// The UDP peer we did not write: Python's socket module, driven by tests/support/udppeer.py.
QString udpPeerScript();
// How long a serving peer may take to print "ready": Python starts slowly beside other
// namespace work.
constexpr int kUdpPeerReadyMs = 30000;

}  // namespace testsupport

// Ends the test whose lab could not be built: skipped without root (no right to make
// namespaces), failed as root, where a lab that does not build is a fault to see.
#define NETLAB_SKIP_OR_FAIL(lab)                                                         \
    do {                                                                                 \
        if (::geteuid() == 0)                                                            \
            FAIL() << "the network lab failed as root: " << (lab).error().toStdString(); \
        GTEST_SKIP() << "no network lab without root: " << (lab).error().toStdString();  \
    } while (0)
