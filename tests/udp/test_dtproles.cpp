// The IO box and camera roles of the device text protocol. Each role is first driven alone with
// crafted datagrams, its sends recorded and its clock moved by the test; then a whole cell runs
// on private networks (network namespaces) with Python's socket module as the app.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>
#include <atomic>

#include "dtp_interaction_manager.h"
#include "netlab.h"
#include "testsupport.h"
#include "udp_io_q4m.h"

using testsupport::NetLab;

namespace {

const QString kUnknown = "unknow error", kFormat = "format_error", kDiscard = "discard";

// A role whose sends are recorded instead of made, on a clock the test moves.
template <typename Role>
class Recorded : public Role {
public:
    using Role::Role;
    // The result; by default the role's queued timers run afterwards.
    QString feed(const QString& datagram, const QString& sender = "10.0.0.9", bool wait = true) {
        sockaddr_in from{};
        inet_pton(AF_INET, sender.toLatin1().constData(), &from.sin_addr);
        const QString result = this->AnalysisRecvMessage(from, datagram.toUtf8());
        if (wait) settle();
        return result;
    }
    // Runs what the role queued for itself: its queued calls and its short flush timers.
    void settle() {
        EXPECT_TRUE(testsupport::waitFor(
            [this] {
                QCoreApplication::sendPostedEvents(this);
                return !this->inputTimer->isActive() && !this->outputTimer->isActive();
            },
            5000));
    }
    // "dest:port text" of every send since the last call.
    QStringList sends() { return std::exchange(sent, {}); }
    qint64 clock = 1000000;

protected:
    DTP_INTER_ERROR sendMessage(const QString& dest, quint16 port, const QByteArray& text,
                                const QString&) override {
        sent << QString("%1:%2 %3").arg(dest).arg(port).arg(QString(text));
        return kDtpNoAnswer;
    }
    qint64 monotonicMs() const override { return clock; }
    QStringList sent;
};

class Box : public Recorded<UDP_IO_Q4m> {
public:
    Box() {
        heartbeatTimer->stop();
        repairTimer->stop();
        connect(this, &UDP_IO_Q4m::sigOutputChged, [this](int value) { driven << value; });
    }
    QStringList tick(qint64 ms) {
        clock += ms;
        TimerHeartbeat();
        TimerRepair();
        return sends();
    }
    QList<int> driven;
};

class Cam : public Recorded<DTP_Interaction_Manager> {
public:
    Cam() : Recorded("cam-1") {
        connect(this, &DTP_Interaction_Manager::sig_chgIO_InputState,
                [this](int value) { inputs << value; });
    }
    QList<int> inputs;
};

QJsonObject jsonFile(const QString& name) {
    QJsonObject json;
    dtp::readJsonObject(name, json);
    return json;
}

// Replaces a configuration file by a folder of its name, so that it can no longer be written.
void blockFile(const QString& name) {
    QFile::remove(name);
    QDir().mkdir(name);
}

class DtpRoles : public testing::Test {
protected:
    void SetUp() override {
        host = lab.addHost();
        if (lab.link(host, "10.0.0.3/24", lab.addHost(), "10.0.0.9/24").first.isEmpty())
            NETLAB_SKIP_OR_FAIL(lab);
        testsupport::recorder().setNow(QDateTime::fromMSecsSinceEpoch(1717000000000));
    }
    void TearDown() override { testsupport::recorder().setNow(QDateTime()); }
    NetLab lab;
    int host = -1;
    testsupport::WorkDir dir;
};

// A device made inside a host and run on a thread started there: its interface table, sockets,
// listening thread and timers all belong to that host.
template <typename Device>
class Hosted {
public:
    Hosted(const NetLab& lab, int host, const std::function<Device*()>& make) {
        NetLab::Inside inside(lab, host);
        thread.start();
        device = make();
        device->moveToThread(&thread);
    }
    // The device goes on its own thread once every event loop there has ended.
    ~Hosted() {
        QObject::connect(&thread, &QThread::finished, [d = device] { delete d; });
        thread.quit();
        thread.wait();
    }
    Device* operator->() const { return device; }

private:
    QThread thread;
    Device* device = nullptr;
};

class Camera : public DTP_Interaction_Manager {
public:
    using DTP_Interaction_Manager::DTP_Interaction_Manager;
    int heartbeats() const { return heartbeatCount; }
};

}  // namespace

TEST_F(DtpRoles, IoBoxServesItsMainCameraAndTheApp) {
    NetLab::Inside inside(lab, host);
    {
        Box fresh;  // no file: one with empty values, nobody to tell, nobody to ask for
        EXPECT_EQ(
            jsonFile("iocfg.json"),
            QJsonObject({{"pi_io_uuid", ""}, {"pi_maincam_uuid", ""}, {"pi_maincam_ip", ""}}));
        fresh.chgInput(1, true);
        fresh.settle();
        EXPECT_EQ(fresh.tick(5000), QStringList());
    }
    dtp::writeJsonObject("iocfg.json", {{"pi_io_uuid", "io-1"}});
    Box box;
    const std::tuple<QString, QString, QString> rows[] = {
        {"<A;1>", kUnknown, "10.0.0.9:10410 <S;1;io-1;0;;>"},
        {"<A;2;io-1;cam-1>", kFormat, ""},
        {"<A;2;io-1;cam-1;10.0.0.300>", kFormat, ""},
        {"<A;2;io-1;cam-1;10.0.0.5>", kUnknown, "10.0.0.9:10410 <S;2;io-1;OK>"},
        {"<C;3;cam-9>", kDiscard, ""},
        {"<C;4;cam-9;10.0.0.66>", kDiscard, ""},
        {"<C;6;cam-1;11000000>", kUnknown, "10.0.0.9:10412 <S;6;io-1;OK>"},
        {"<C;6;cam-1>", kUnknown, "10.0.0.9:10412 <S;6;io-1;OK>"},
        // Output orders the box cannot drive are refused unanswered (and logged).
        {"<C;6;cam-1;111111111>", kFormat, ""},
        {"<C;6;cam-1;1100000>", kFormat, ""},
        {"<C;6;cam-1;11000020>", kFormat, ""},
        {"<C;6;cam-1;1100000x>", kFormat, ""},
        {"<A;7>", kUnknown, "10.0.0.9:10410 <S;7;io-1;00000000;11000000>"},
        {"<S;1;io-1>", kUnknown, ""}};
    testsupport::MessageCatcher warnings;
    for (const auto& [datagram, result, sends] : rows) {
        EXPECT_EQ(box.feed(datagram), result) << datagram.toStdString();
        EXPECT_EQ(box.sends().join('\n'), sends) << datagram.toStdString();
    }
    EXPECT_EQ(warnings.count("output order"), 4);
    EXPECT_EQ(box.driven, QList<int>({3}));
    EXPECT_EQ(jsonFile("iocfg.json")["pi_maincam_ip"], "10.0.0.5");

    // Never heard: no heartbeat, a repair request on every network, and the outputs drop.
    const QString repair = "10.0.0.255:10412 <S;4;io-1;10.0.0.3>";
    EXPECT_EQ(box.tick(1000), QStringList{repair});
    EXPECT_EQ(box.driven, QList<int>({3, 0}));
    box.feed("<C;3;cam-1>");
    // The heartbeat reports the outputs as driven, so the camera orders them again.
    const QString heartbeat = "10.0.0.5:10412 <S;3;io-1;00000000;00000000>";
    EXPECT_EQ(box.tick(299) + box.tick(600), QStringList({heartbeat, heartbeat}));
    EXPECT_EQ(box.tick(1), QStringList{repair});
    box.feed("<C;4;cam-1;10.0.0.7>");
    EXPECT_EQ(jsonFile("iocfg.json")["pi_maincam_ip"], "10.0.0.7");
    box.chgInput(8, true);
    box.chgInput(2, true);
    box.settle();
    EXPECT_EQ(box.sends(), QStringList{"10.0.0.7:10412 <S;5;io-1;00100000>"});
    box.feed("<C;4;cam-1>");
    box.feed("<C;4;cam-1;no-address>");
    EXPECT_EQ(box.tick(899), QStringList{"10.0.0.7:10412 <S;3;io-1;00100000;00000000>"});
    {
        Box restarted;  // works with what the box saved
        restarted.feed("<A;1>");
        EXPECT_EQ(restarted.sends(), QStringList{"10.0.0.9:10410 <S;1;io-1;1;cam-1;10.0.0.7>"});
    }

    blockFile("iocfg.json");
    EXPECT_EQ(box.feed("<A;2;io-1;cam-2;10.0.0.8>"), kUnknown);
    box.feed("<A;1>");
    EXPECT_EQ(box.sends(), QStringList{"10.0.0.9:10410 <S;1;io-1;2;cam-1;10.0.0.7>"});
}

TEST_F(DtpRoles, CameraFollowsItsIoBoxAndTheApp) {
    NetLab::Inside inside(lab, host);
    Cam cam;
    EXPECT_FALSE(cam.IsMainCamera());
    const QString cell = "(M7);(io-1;10.0.0.2);(cam-1;10.0.0.3);(cam-2;10.0.0.4)";
    const QString ok = "10.0.0.9:10410 <C;22;cam-1;OK>", io = "10.0.0.2:10411 ";
    const std::tuple<QString, QString, QString, QString> rows[] = {
        {"<A;22;cam-1;(M7);(io-1)>", "10.0.0.9", kFormat, ""},
        {"<A;22;cam-1;();(io-1;10.0.0.x);();()>", "10.0.0.9", kFormat, ""},
        {"<A;22;cam-1;" + cell + ">", "10.0.0.9", "success", ok},
        {"<A;22;cam-1;" + cell + ">", "10.0.0.9", "success", ok},
        {"<S;3;io-1;10100000;00000000>", "10.0.0.2", "success", io + "<C;3;cam-1>"},
        {"<S;3;io-1;10100000;00000000>", "10.0.0.2", "ignore", io + "<C;3;cam-1>"},
        {"<S;3;io-1;10100000;11000000>", "10.0.0.2", "ignore",
         io + "<C;3;cam-1>\n" + io + "<C;6;cam-1;00000000>"},
        {"<S;5;io-1;1110000>", "10.0.0.2", "success", ""},
        {"<S;5;io-1;11100000>", "10.0.0.2", "success", io + "<C;5;cam-1;OK>"},
        {"<S;4;io-1>", "10.0.0.7", kFormat, ""},
        {"<S;4;io-1;10.0.0.7>", "10.0.0.7", "success", "10.0.0.7:10411 <C;4;cam-1;10.0.0.3>"},
        {"<A;21>", "10.0.0.3", kDiscard, ""},
        {"<A;21>", "10.0.0.9", "success",
         "10.0.0.9:10410 <C;21;cam-1;(M7);(io-1;10.0.0.7);(cam-1;10.0.0.3);(cam-2;10.0.0.4)>"},
        {"<C;21;cam-7;();();();()>", "10.0.0.44", kDiscard, ""},
        {"<C;21;cam-2;();();();()>", "10.0.0.44", "success", ""}};
    for (const auto& [datagram, sender, result, sends] : rows) {
        EXPECT_EQ(cam.feed(datagram, sender), result) << datagram.toStdString();
        EXPECT_EQ(cam.sends().join('\n'), sends) << datagram.toStdString();
    }
    EXPECT_TRUE(cam.IsMainCamera());
    EXPECT_EQ(cam.inputs, QList<int>({5, 7}));
    const auto subs = cam.getSubCamera_DTP();
    ASSERT_EQ(subs.size(), 1);
    EXPECT_EQ(subs[0].address + " " + QString::number(subs[0].lastSeen), "10.0.0.44 1717000000000");
    const QJsonObject saved = jsonFile("camcfg.json");
    EXPECT_EQ(saved["ps_io_address"].toString() + " " + saved["ps_machineid"].toString(),
              "10.0.0.7 M7");
    EXPECT_EQ(saved["ps_sub_camera"][0]["ps_sub_camera_uuid"], "cam-2");

    cam.chgIO_OutputState(9, true);
    cam.settle();
    cam.chgIO_OutputState(1, true);
    cam.settle();
    EXPECT_EQ(cam.sends(), QStringList({"10.0.0.7:10411 <C;6;cam-1;00000000>",
                                        "10.0.0.7:10411 <C;6;cam-1;01000000>"}));
    int logged = 0;
    for (int i = 0; i < 400; ++i) logged += cam.feed("<S;3;io-1>", "10.0.0.7", false) == "success";
    EXPECT_EQ(logged, 2);
    cam.sends();
    cam.clock += 5000;
    EXPECT_TRUE(cam.IOIsConnected());
    cam.clock += 1;
    EXPECT_FALSE(cam.IOIsConnected());

    blockFile("camcfg.json");
    EXPECT_EQ(cam.feed("<A;22;cam-1;();();();()>"), kUnknown);
    EXPECT_EQ(cam.sends(), QStringList());
    EXPECT_TRUE(cam.IsMainCamera());

    EXPECT_FALSE(DTP_Interaction_Manager::FlushIO("cam-z"));
    DTP_Interaction_Manager* const process = DTP_Interaction_Manager::__instance;
    EXPECT_FALSE(DTP_Interaction_Manager::FlushIO("other"));
    EXPECT_EQ(DTP_Interaction_Manager::__instance, process);
    EXPECT_EQ(process->deviceId, "cam-z");
    delete process;
}

TEST(DtpCell, TheAppSetsTheCellAndTheMainCameraDrivesTheIoBox) {
    NetLab lab;
    const int app = lab.addHost(), box = lab.addHost(), cam = lab.addHost();
    lab.link(app, "10.91.0.1/24", box, "10.91.0.2/24");
    lab.link(app, "10.92.0.1/24", cam, "10.92.0.3/24");
    const QString camEnd = lab.link(box, "10.90.0.2/24", cam, "10.90.0.3/24").second;
    if (camEnd.isEmpty()) NETLAB_SKIP_OR_FAIL(lab);
    testsupport::WorkDir dir;
    dtp::writeJsonObject("iocfg.json", {{"pi_io_uuid", "io-1"}});
    // What the app hears on its port (or another) after sending text to the given address.
    auto ask = [&](const QString& to, const QString& text, int port = 10410) {
        QProcess* peer = lab.start(app, "python3",
                                   {testsupport::sourceDir() + "/tests/support/dtpapp.py",
                                    "--listen", QString::number(port), "--to", to, text});
        EXPECT_TRUE(peer && peer->waitForFinished(10000));
        return peer ? QString(peer->readAllStandardOutput()).trimmed() : QString();
    };
    // The box's discover answer, once it is the expected one (the box gets there by itself).
    auto boxState = [&](const QString& expected) {
        QString answer = ask("10.91.0.2:10411", "<A;1;io-1>");
        for (int i = 0; i < 20 && answer != expected; ++i, QThread::msleep(200))
            answer = ask("10.91.0.2:10411", "<A;1;io-1>");
        return answer;
    };
    std::atomic<int> driven{-1}, inputs{-1};
    Hosted<UDP_IO_Q4m> ioBox(lab, box, [&] {
        auto* device = new UDP_IO_Q4m;
        QObject::connect(device, &UDP_IO_Q4m::sigOutputChged, [&](int value) { driven = value; });
        return device;
    });
    QString cfgAtStart;
    auto startCamera = [&] {
        return std::make_unique<Hosted<Camera>>(lab, cam, [&] {
            auto* device = new Camera("cam-1");
            cfgAtStart = device->cellConfig().cfgText;
            QObject::connect(device, &DTP_Interaction_Manager::sig_chgIO_InputState,
                             [&](int value) { inputs = value; });
            device->listenOnLocalNets(10412);
            return device;
        });
    };
    auto camera = startCamera();

    EXPECT_EQ(ask("10.91.0.2:10411", "<A;1>"), "10.91.0.2 <S;1;io-1;0;;>");
    EXPECT_EQ(ask("10.91.0.2:10411", "<A;2;io-1;cam-1;10.90.0.3>"), "10.91.0.2 <S;2;io-1;OK>");
    const QString cell = "(M7);(io-1;10.90.0.2);(cam-1;10.90.0.3);()";
    EXPECT_EQ(ask("10.92.0.3:10412", "<A;22;cam-1;" + cell + ">"), "10.92.0.3 <C;22;cam-1;OK>");
    EXPECT_TRUE((*camera)->IsMainCamera());
    EXPECT_TRUE(testsupport::waitFor([&] { return (*camera)->heartbeats() > 3; }, 5000));
    const QString bound = "10.91.0.2 <S;1;io-1;2;cam-1;10.90.0.3>";
    EXPECT_EQ(boxState(bound), bound);
    ioBox->chgInput(2, true);
    EXPECT_TRUE(testsupport::waitFor([&] { return inputs == 4; }, 1500));
    (*camera)->chgIO_OutputState(0, true);
    (*camera)->chgIO_OutputState(1, true);
    EXPECT_TRUE(testsupport::waitFor([&] { return driven == 3; }, 1500));
    EXPECT_EQ(ask("10.91.0.2:10411", "<A;7;io-1>"), "10.91.0.2 <S;7;io-1;00100000;11000000>");

    // The camera stops: the box drops its outputs and asks every network for its camera, which
    // comes back under another address and takes the box over again.
    camera.reset();
    EXPECT_EQ(ask("", "", 10412), "10.91.0.2 <S;4;io-1;10.91.0.2>");
    EXPECT_TRUE(testsupport::waitFor([&] { return driven == 0; }, 1500));
    ASSERT_TRUE(lab.run(cam, "ip", {"addr", "del", "10.90.0.3/24", "dev", camEnd}).ok());
    ASSERT_TRUE(lab.run(cam, "ip", {"addr", "add", "10.90.0.4/24", "dev", camEnd}).ok());
    camera = startCamera();
    EXPECT_EQ(cfgAtStart, cell);
    EXPECT_TRUE((*camera)->IsMainCamera());
    const QString moved = "10.91.0.2 <S;1;io-1;2;cam-1;10.90.0.4>";
    EXPECT_EQ(boxState(moved), moved);
    EXPECT_EQ(jsonFile("iocfg.json")["pi_maincam_ip"], "10.90.0.4");
    EXPECT_EQ(jsonFile("camcfg.json")["ps_main_camera_address"], "10.90.0.4");
}
