// The interface helpers and the UDP core on private networks: two hosts (network namespaces)
// joined by two veth pairs, with Python's socket module as the peer we did not write.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>
#include <linux/sockios.h>

#include <QElapsedTimer>
#include <QFile>
#include <QMutex>
#include <QNetworkInterface>
#include <QThread>
#include <QUdpSocket>
#include <memory>

#include "netif.h"
#include "netlab.h"
#include "testsupport.h"
#include "udpcore.h"

using testsupport::NetLab;

namespace {

class RecordingCore : public UDP_Core {
public:
    explicit RecordingCore(bool direct) { directAnalysis = direct; }
    ~RecordingCore() override { stopListen(); }
    QString AnalysisRecvMessage(sockaddr_in from, const QByteArray& datagram) override {
        QMutexLocker lock(&mutex);
        datagrams << datagram;
        senders << nint2string(from.sin_addr.s_addr);
        inOwnThread = QThread::currentThread() == thread();
        lock.unlock();
        return UDP_Core::AnalysisRecvMessage(from, datagram);
    }
    void PrintRecvMsg(QString, QString line) override {
        QMutexLocker lock(&mutex);
        lines << line;
    }
    int count() const {
        QMutexLocker lock(&mutex);
        return datagrams.size();
    }
    mutable QMutex mutex;
    QList<QByteArray> datagrams;
    QStringList senders, lines;
    bool inOwnThread = false;
};

// A seam whose route changes fail, as off the panel.
class RefusingRoutes : public sys::RecordingSystemActions {
public:
    int ioctl(int, unsigned long, unsigned long) override { return -1; }
};

class UdpNet : public testing::Test {
protected:
    void SetUp() override {
        a = lab.addHost();
        b = lab.addHost();
        ends = lab.link(a, "10.77.0.1/24", b, "10.77.0.2/24");
        wide = lab.link(a, "10.78.1.1/16", b, "10.78.2.2/16");
        if (wide.first.isEmpty()) NETLAB_SKIP_OR_FAIL(lab);
        testsupport::recorder().clear();
    }
    // Starts the Python peer in host b; waits for it to end unless it serves.
    QProcess* python(const QStringList& args) {
        QProcess* peer = lab.start(b, "python3", QStringList{testsupport::udpPeerScript()} + args);
        EXPECT_TRUE(peer &&
                    (args[0] == "serve" ? testsupport::waitFor([&] { return peer->canReadLine(); },
                                                               testsupport::kUdpPeerReadyMs)
                                        : peer->waitForFinished(testsupport::kUdpPeerReadyMs)));
        return peer;
    }
    NetLab lab;
    int a = -1, b = -1;
    QPair<QString, QString> ends, wide;
};

QByteArray ifAddr(const QString& name, int* code) {
    char ip[16] = {}, mask[16] = {}, gateway[16] = {}, mac[18] = {};
    *code = GetIfAddr(name.toLatin1().constData(), ip, mask, gateway, mac);
    return QByteArray(ip) + ' ' + QByteArray(mask) + ' ' + QByteArray(gateway) + ' ' +
           QByteArray(mac);
}

// Bytes waiting unread at the UDP socket bound to 10.77.0.1:port in the calling thread's network
// namespace (-1: none bound there).
int unreadAt(quint16 port) {
    QFile table(QStringLiteral("/proc/thread-self/net/udp"));
    const QByteArray local =
        "01004D0A:" + QByteArray::number(port, 16).rightJustified(4, '0').toUpper();
    for (const QByteArray& line :
         (table.open(QIODevice::ReadOnly) ? table.readAll() : "").split('\n'))
        if (line.simplified().split(' ').value(1) == local)
            return line.simplified().split(' ').value(4).split(':').value(1).toInt(nullptr, 16);
    return -1;
}

}  // namespace

TEST_F(UdpNet, InterfaceAddressesAndTheDefaultGateway) {
    NetLab::Inside inA(lab, a);
    const QString mac =
        QNetworkInterface::interfaceFromName(ends.first).hardwareAddress().toLower();
    int code = 0;
    // No default route in the host: one through the own address is made through the seam.
    EXPECT_EQ(ifAddr(ends.first, &code), "10.77.0.1 255.255.255.0 10.77.0.1 " + mac.toLatin1());
    EXPECT_EQ(code, 0);
    QStringList requests;
    for (const auto& action : testsupport::recorder().recorded()) requests << action.args.value(0);
    EXPECT_EQ(requests, QStringList({QString::number(SIOCDELRT), QString::number(SIOCADDRT)}));
    {
        RefusingRoutes refusing;
        sys::ScopedActions scoped(&refusing);
        ifAddr(ends.first, &code);
        EXPECT_EQ(code, -8);
    }
    ASSERT_TRUE(lab.run(a, "ip", {"route", "add", "default", "via", "10.77.0.2"}).ok());
    testsupport::recorder().clear();
    EXPECT_TRUE(ifAddr(wide.first, &code).startsWith("10.78.1.1 255.255.0.0 10.77.0.2 "));
    EXPECT_TRUE(testsupport::recorder().recorded().isEmpty());
    const QString bare = lab.link(a, "", b, "").first;
    for (const auto& [name, expected] : {qMakePair(bare, -4), qMakePair(QString("no-such-if"), -2),
                                         qMakePair(QString("sixteen-chars-ab"), -2)}) {
        ifAddr(name, &code);
        EXPECT_EQ(code, expected) << name.toStdString();
    }

    EXPECT_TRUE(FirstFoundBaseIP());
    const int linkLocal = lab.addHost();
    lab.link(linkLocal, "169.254.3.4/16", b, "169.254.3.5/16");
    NetLab::Inside inLinkLocal(lab, linkLocal);
    EXPECT_FALSE(FirstFoundBaseIP());
}

TEST_F(UdpNet, InterfaceTableLookups) {
    // A third interface on the first network; MAC addresses fix the table's order.
    const auto twin = lab.link(a, "10.77.0.5/24", b, "10.79.0.1/24");
    ASSERT_TRUE(lab.run(a, "ip", {"link", "set", ends.first, "address", "02:00:00:00:00:02"}).ok());
    ASSERT_TRUE(lab.run(a, "ip", {"link", "set", twin.first, "address", "02:00:00:00:00:01"}).ok());
    NetLab::Inside inA(lab, a);
    UDP_Core core;
    EXPECT_EQ(core.interfaces().size(), 3);
    EXPECT_EQ(core.interfaces().value("02:00:00:00:00:02").ip, "10.77.0.1");
    EXPECT_EQ(core.foundNetBaseByIP("10.78.1.1").name, wide.first);
    EXPECT_EQ(core.foundNetBaseByIP("10.78.1.2").name, "");
    const QPair<QString, QString> peers[] = {{"10.77.0.200", "10.77.0.1"},  // last in MAC order
                                             {"10.78.200.9", "10.78.1.1"},
                                             {"10.80.0.1", ""},
                                             {"", ""}};
    for (const auto& [peer, local] : peers) EXPECT_EQ(core.getSameUseNet(peer), local);

    NetLab::Inside inEmpty(lab, lab.addHost());
    EXPECT_TRUE(UDP_Core().interfaces().isEmpty());
}

TEST_F(UdpNet, ListenersHandOnEachDatagramAtItsRealLength) {
    for (const bool direct : {false, true}) {
        NetLab::Inside inA(lab, a);
        RecordingCore core(direct);
        const int port = direct ? 10611 : 10610;
        const QString unicast = QString("10.77.0.1:%1").arg(port);
        for (const auto& [ip, code] :
             {std::make_pair("10.77.0.1", kDtpOk), std::make_pair("255.255.255.255", kDtpOk),
              std::make_pair("10.77.0.1", kDtpBindFailed),
              std::make_pair("10.99.0.1", kDtpBindFailed),
              std::make_pair("10.77.0.300", kDtpBindFailed)})
            EXPECT_EQ(core.addListen(ip, port), code) << ip;
        const int poolBefore = QThreadPool::globalInstance()->activeThreadCount();

        const QByteArray longOne(3000, 'x');
        python({"send", "--bind", "10.77.0.2", "--to", unicast, QByteArray("hello").toHex(),
                QByteArray("ab\0cd", 5).toHex(), QByteArray("a\nb").toHex(), longOne.toHex(), ""});
        python({"send", "--bind", "10.77.0.2", "--to", QString("255.255.255.255:%1").arg(port),
                QByteArray("<A;21>").toHex()});
        ASSERT_TRUE(testsupport::waitFor([&] { return core.count() == 6; })) << core.count();
        EXPECT_EQ(QThreadPool::globalInstance()->activeThreadCount(), poolBefore);

        QMutexLocker lock(&core.mutex);
        EXPECT_EQ(
            core.datagrams,
            QList<QByteArray>({"hello", {"ab\0cd", 5}, "a\nb", longOne.left(2048), "", "<A;21>"}));
        EXPECT_EQ(core.senders.count("10.77.0.2"), 6);
        EXPECT_EQ(core.inOwnThread, !direct);
        EXPECT_TRUE(
            core.lines[0].startsWith(QString("[UDP_RCV] 10.77.0.1/%1 <- 10.77.0.2/").arg(port)));
        EXPECT_TRUE(core.lines[0].endsWith(" (5): hello")) << core.lines[0].toStdString();
        EXPECT_TRUE(core.lines[1].endsWith(" (2): ab"));
        EXPECT_TRUE(core.lines[2].endsWith(" (3): a\\x0ab")) << core.lines[2].toStdString();
        EXPECT_TRUE(core.lines[5].startsWith(QString("[UDP_RCV] 255.255.255.255/%1").arg(port)));
    }
}

TEST_F(UdpNet, StopAndRestartKeepTheSocketsAndDestructionFreesThem) {
    NetLab::Inside inA(lab, a);
    {
        RecordingCore core(true);
        ASSERT_EQ(core.addListen("10.77.0.1", 10620), kDtpOk);
        EXPECT_TRUE(core.isListening());
        core.stopListen();
        EXPECT_FALSE(core.isListening());
        python({"send", "--to", "10.77.0.1:10620", QByteArray("while stopped").toHex()});
        ASSERT_TRUE(testsupport::waitFor([] { return unreadAt(10620) > 0; }))
            << "the datagram waits at the kept socket";
        EXPECT_EQ(core.count(), 0);
        ASSERT_EQ(core.addListen("10.78.1.1", 10621), kDtpOk);
        python({"send", "--to", "10.78.1.1:10621", QByteArray("new").toHex()});
        ASSERT_TRUE(testsupport::waitFor([&] { return core.count() == 2; }));
        EXPECT_TRUE(core.datagrams.contains("while stopped"));
    }
    QUdpSocket again;
    EXPECT_TRUE(again.bind(QHostAddress("10.77.0.1"), 10620));
}

TEST_F(UdpNet, SendCoreTakesTheFirstAnswerFromTheChosenInterface) {
    NetLab::Inside inA(lab, a);
    RecordingCore core(true);
    ASSERT_EQ(core.addListen("10.77.0.1", 10410), kDtpOk);
    ASSERT_EQ(core.addListen("10.78.1.1", 10410), kDtpOk);
    QProcess* peer = python({"serve", "--bind", "0.0.0.0:10411", "--reply", "<S;1;io-1;0;;>",
                             "--reply-port", "10410", "--count", "2"});
    // To the limited broadcast, then to the wide network's broadcast, each from one interface.
    Udpsend_Cond cond;
    cond.local_ip = "10.77.0.1";
    cond.wait_ms = 1000;
    std::string answer;
    EXPECT_EQ(core.send_core(cond, "<A;1;app>", answer), kDtpOk);
    EXPECT_EQ(answer, "<S;1;io-1;0;;>");
    cond.local_ip = "10.78.1.1";
    cond.remote_ip = directedBroadcast("10.78.1.1", "255.255.0.0").toStdString();
    EXPECT_EQ(core.send_core(cond, "<A;7>", answer), kDtpOk);
    ASSERT_TRUE(peer->waitForFinished(5000));
    const QStringList seen = QString(peer->readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(seen.size(), 3);
    EXPECT_TRUE(seen[1].startsWith("10.77.0.1:") &&
                seen[1].endsWith(QByteArray("<A;1;app>").toHex()));
    EXPECT_TRUE(seen[2].startsWith("10.78.1.1:"));
    QMutexLocker lock(&core.mutex);
    EXPECT_TRUE(core.lines.filter("-> 255.255.255.255/10411 (9): <A;1;app>")
                    .value(0)
                    .startsWith("[UDP_SND] 10.77.0.1/"));
}

TEST_F(UdpNet, SendCoreResendCountsAndInvalidConditions) {
    std::unique_ptr<RecordingCore> counter;
    {
        NetLab::Inside inB(lab, b);
        counter = std::make_unique<RecordingCore>(true);
        ASSERT_EQ(counter->addListen("0.0.0.0", 10411), kDtpOk);
    }
    NetLab::Inside inA(lab, a);
    UDP_Core sender;
    // wait, resend, local address, remote address, datagrams sent, result
    const std::tuple<int, int, std::string, std::string, int, int> rows[] = {
        {100, 0, "10.77.0.1", "10.77.0.2", 1, kDtpNoAnswer},
        {0, 0, "10.77.0.1", "10.77.0.2", 1, kDtpNoAnswer},
        {100, 30, "10.77.0.1", "10.77.0.2", 3, kDtpNoAnswer},
        {100, 200, "10.77.0.1", "10.77.0.2", 0, kDtpNoAnswer},
        {100, 50, "0.0.0.0", "10.77.0.2", 1, kDtpNoAnswer},
        {-1, 0, "10.77.0.1", "10.77.0.2", 0, kDtpBadSendCond},
        {100, -1, "10.77.0.1", "10.77.0.2", 0, kDtpBadSendCond},
        {50, 0, "10.99.0.1", "10.77.0.2", 0, kDtpNoAnswer},
        {50, 0, "", "10.77.0.2", 0, kDtpNoAnswer},
        {50, 0, "10.77.0.1", "", 0, kDtpNoAnswer},
        // The wait is capped at 1 s: 4 repeats, not 24.
        {5000, 200, "10.77.0.1", "10.77.0.2", 4, kDtpNoAnswer}};
    // A marker sent after each row on the same path arrives after every datagram of the row.
    QUdpSocket marker;
    int row = 0;
    for (const auto& [wait, resend, local, remote, sends, code] : rows) {
        const int before = counter->count();
        Udpsend_Cond cond{remote, 10411, local, wait, resend};
        std::string out = "untouched";
        EXPECT_EQ(sender.send_core(cond, "<A;7>", out), code) << wait << "/" << resend;
        const QByteArray end = "marker " + QByteArray::number(++row);
        marker.writeDatagram(end, QHostAddress("10.77.0.2"), 10411);
        ASSERT_TRUE(testsupport::waitFor([&] {
            QMutexLocker lock(&counter->mutex);
            return counter->datagrams.contains(end);
        }));
        QMutexLocker lock(&counter->mutex);
        EXPECT_EQ(counter->datagrams.indexOf(end) - before, sends)
            << wait << "/" << resend << " " << local;
        EXPECT_EQ(out, "untouched");
    }
}

// Builds a lab whose link cannot be made (a prefix no address has) and ends as a test does.
void endWithABrokenLab() {
    NetLab lab;
    lab.link(lab.addHost(), "10.79.0.1/99", lab.addHost(), "10.79.0.2/24");
    NETLAB_SKIP_OR_FAIL(lab);
}

TEST(NetLabHarness, ALabThatCannotBeBuiltFailsTheTestAsRoot) {
    if (::geteuid() != 0) GTEST_SKIP() << "without root every lab is skipped";
    EXPECT_FATAL_FAILURE(endWithABrokenLab(), "the network lab failed as root");
}
