// Camera discovery between private hosts: the panel (client) in one network namespace and two
// cameras (responders) in two others, each camera behind a veth link of its own, one on a
// foreign subnet. Python's socket module sends broken commands and listens for answers; a
// standard GVCP tool sends its own discovery.
#include <gtest/gtest.h>

#include <QNetworkInterface>
#include <QStandardPaths>
#include <QThread>
#include <atomic>
#include <memory>

#include "gvcpclient.h"
#include "gvcpserver.h"
#include "netif.h"
#include "netlab.h"
#include "testsupport.h"

using testsupport::NetLab;

namespace {

constexpr qint64 kNowMs = 1717000000123LL;

// A responder on a thread of its own that was started inside the camera's host, so that its
// sends, interface queries and commands all happen there.
class Camera {
public:
    Camera(NetLab& lab, int host, const QString& id) {
        NetLab::Inside inside(lab, host);
        thread_.start();
        server = new UDP_ACam_Server(nullptr, id);
        QObject::connect(server, &UDP_ACam_Server::sig_updatetime, [this] { ++clocks; });
        QObject::connect(server, &UDP_ACam_Server::sig_rebootdaemon, [this] { ++restarts; });
        server->moveToThread(&thread_);
    }
    ~Camera() {
        QMetaObject::invokeMethod(
            server, [this] { delete server; }, Qt::BlockingQueuedConnection);
        thread_.quit();
        thread_.wait();
    }
    UDP_ACam_Server* server;
    std::atomic<int> clocks{0}, restarts{0};

private:
    QThread thread_;
};

class GvcpNet : public testing::Test {
protected:
    void SetUp() override {
        panel = lab.addHost();
        far = lab.addHost();
        near = lab.addHost();
        toFar = lab.link(panel, "192.168.7.10/24", far, "10.0.0.5/8");
        toNear = lab.link(panel, "192.168.8.10/24", near, "192.168.8.20/24");
        if (toNear.first.isEmpty()) NETLAB_SKIP_OR_FAIL(lab);
    }

    // Commands run through the seam, each as one line.
    QStringList commands() const {
        QStringList lines;
        for (const sys::RecordedAction& action : seam.recorded())
            if (action.kind == "run")
                lines << (QStringList{action.program} + action.args).join(' ');
        return lines;
    }
    // Broadcasts the packets from the panel, towards the far camera, to the cameras' port.
    void send(const QList<QByteArray>& packets) {
        QStringList args{testsupport::udpPeerScript(), "send", "--bind", "192.168.7.10", "--to",
                         "255.255.255.255:3956"};
        for (const QByteArray& packet : packets) args << packet.toHex();
        ASSERT_TRUE(lab.run(panel, "python3", args, testsupport::kUdpPeerReadyMs).ok());
    }

    NetLab lab;
    // A seam of this test's own: its scripts end with the test.
    sys::RecordingSystemActions seam;
    sys::ScopedActions scoped{&seam};
    int panel = -1, far = -1, near = -1;
    QPair<QString, QString> toFar, toNear;
};

}  // namespace

TEST_F(GvcpNet, ClientFindsMovesSetsTheClockAndRestarts) {
    seam.setNow(QDateTime::fromMSecsSinceEpoch(kNowMs));
    // The far camera's network commands are recorded, then really made in its host.
    for (const QString program : {"ip", "ifconfig", "route"})
        seam.scriptCommand(program,
                           [=](const QStringList& args) { return lab.run(far, program, args); });
    Camera farCamera(lab, far, "cam-far");
    Camera nearCamera(lab, near, QString());
    QString nearMac;
    {
        NetLab::Inside inNear(lab, near);
        nearMac = QNetworkInterface::interfaceFromName(toNear.second).hardwareAddress().toLower();
    }
    NetLab::Inside inPanel(lab, panel);

    auto client = std::make_unique<UDP_ACam_Client>();
    ASSERT_TRUE(testsupport::waitFor([&] { return farCamera.clocks + nearCamera.clocks == 2; }));
    const QString when = QDateTime::fromMSecsSinceEpoch(kNowMs).toString("yyyyMMdd hh:mm:ss");
    QStringList clock = {"cp /usr/share/zoneinfo/Asia/Shanghai /etc/localtime", "date -s " + when,
                         "hwclock --systohc"};
    clock = clock + clock;
    clock.sort();
    QStringList ran = commands();
    ran.sort();
    EXPECT_EQ(ran, clock);
    seam.clear();

    // A camera without an identifier of its owner's answers under its MAC text.
    auto found = client->findCamera();
    QStringList seen, expected = {"cam-far 10.0.0.5/255.0.0.0 192.168.7.10",
                                  nearMac + " 192.168.8.20/255.255.255.0 192.168.8.10"};
    for (auto it = found.cbegin(); it != found.cend(); ++it)
        seen << it.key() + ' ' + nint2string(it->ip) + '/' + nint2string(it->mask) + ' ' +
                    nint2string(it->host_ip);
    expected.sort();
    EXPECT_EQ(seen, expected);

    client->ActForceIP();
    const QString end = toFar.second;
    EXPECT_EQ(commands(), QStringList({"ip addr flush dev " + end, "ip route flush table main",
                                       "ifconfig " + end + " 192.168.7.11 netmask 255.255.255.0",
                                       "route add default gw 192.168.7.11"}));
    // The restart finds the camera on the panel's network only through its FORCEIP_ACK.
    client->ActRebootDaemon("unknown");
    client->ActRebootDaemon("cam-far");
    EXPECT_TRUE(testsupport::waitFor([&] { return farCamera.restarts == 1; }));
    EXPECT_EQ(nearCamera.restarts, 0);
    found = client->findCamera();
    EXPECT_EQ(nint2string(found["cam-far"].ip) + ' ' + nint2string(found["cam-far"].gateway),
              "192.168.7.11 192.168.7.11");
    client.reset();
}

TEST_F(GvcpNet, BrokenCommandsChangeNothingAndAStandardDiscoveryIsAnswered) {
    const QString tool = QStandardPaths::findExecutable("arv-tool-0.8");
    ASSERT_FALSE(tool.isEmpty()) << "arv-tool-0.8 is missing: run scripts/install-deps.sh";
    Camera camera(lab, far, "cam-far");
    QProcess* listener = lab.start(panel, "python3",
                                   {testsupport::udpPeerScript(), "serve", "--bind",
                                    "0.0.0.0:10400", "--count", "2", "--seconds", "20"});
    ASSERT_TRUE(listener && testsupport::waitFor([&] { return listener->canReadLine(); },
                                                 testsupport::kUdpPeerReadyMs));
    listener->readLine();  // "ready"
    // The size, identifier, host_ip and ip of the next DISCOVERY_ACK the panel sees.
    auto nextAnswer = [&] {
        if (!testsupport::waitFor([&] { return listener->canReadLine(); }, 20000)) return QString();
        const QByteArray answer = QByteArray::fromHex(listener->readLine().split(' ').value(1));
        const gvcp::Ack ack = gvcp::readAck(answer.constData(), answer.size());
        return QString::number(answer.size()) + ' ' + gvcp::fieldText(ack.discovery.id) + ' ' +
               nint2string(ack.discovery.host_ip) + ' ' + nint2string(ack.discovery.ip);
    };

    const QByteArray move = gvcp_cmd_forceip("10.0.0.7", "255.0.0.0", "10.0.0.1", "cam-far");
    seam.setNow(QDateTime::fromMSecsSinceEpoch(kNowMs));
    QByteArray late = gvcp_cmd_uptime(), third = gvcp_cmd_rebootdaemon();
    late[23] = 1;
    third[8] = 3;
    send({move.left(7), 'C' + move.mid(1), move.left(38),
          gvcp_cmd_forceip("10.0.0.7", "255.0.0.0", "10.0.0.1", "cam-fa"),
          gvcp_cmd_forceip("0.0.0.0", "255.0.0.0", "10.0.0.1", "cam-far"),
          gvcp_cmd_forceip("10.0.0.7", "255.0.255.0", "10.0.0.1", "cam-far"),
          gvcp_cmd_uptime().left(23), late, third, gvcp_cmd_discover()});
    EXPECT_EQ(nextAnswer(), "224 cam-far 192.168.7.10 10.0.0.5");

    // A responder whose owner left it without an identifier answers to no identifier at all.
    QMetaObject::invokeMethod(
        camera.server, [&] { camera.server->deviceId.clear(); }, Qt::BlockingQueuedConnection);
    send({gvcp_cmd_forceip("0.0.0.0", "0.0.0.0", "0.0.0.0", ""),
          gvcp_cmd_forceip("10.0.0.7", "255.0.0.0", "10.0.0.1", "")});
    // The standard tool finds no device (answers go to the reply port), but the responder,
    // having passed over everything above, answers its discovery.
    EXPECT_TRUE(lab.run(panel, tool, {}, 20000).started);
    EXPECT_EQ(nextAnswer(), "224  192.168.7.10 10.0.0.5");
    EXPECT_EQ(commands(), QStringList());
    EXPECT_EQ(camera.clocks + camera.restarts, 0);
}
