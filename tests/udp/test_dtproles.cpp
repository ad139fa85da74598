// The IO box and camera roles of the device text protocol. Each role is first driven alone with
// crafted datagrams, its sends recorded and its clock moved by the test; then a whole cell runs
// on private networks (network namespaces) with Python's socket module as the app.
#include <arpa/inet.h>
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QThread>
#include <atomic>

#include "dtp_interaction_manager.h"
#include "netlab.h"
#include "testsupport.h"
#include "udp_io_q4m.h"

using testsupport::NetLab;

namespace {

const QString kUnknown = "unknow error", kFormat = "format_error", kDiscard = "discard";

void settle() {
    testsupport::waitFor([] { return false; }, 20);
}

// A role whose sends are recorded instead of made, on a clock the test moves.
template <typename Role>
class Recorded : public Role {
public:
    using Role::Role;
    QString take(const QString& datagram, const QString& sender = "10.0.0.9") {
        sockaddr_in from{};
        inet_pton(AF_INET, sender.toLatin1().constData(), &from.sin_addr);
        return this->AnalysisRecvMessage(from, datagram.toUtf8());
    }
    // Also lets the role's queued timers run.
    QString feed(const QString& datagram, const QString& sender = "10.0.0.9") {
        const QString result = take(datagram, sender);
        settle();
        return result;
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
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object()
                                          : QJsonObject();
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
            GTEST_SKIP() << lab.error().toStdString();
        testsupport::recorder().setNow(QDateTime::fromMSecsSinceEpoch(1717000000000));
    }
    void TearDown() override { testsupport::recorder().setNow(QDateTime()); }
    NetLab lab;
    int host = -1;
    testsupport::WorkDir dir;
};

}  // namespace

TEST_F(DtpRoles, IoBoxServesItsMainCameraAndTheApp) {
    NetLab::Inside inside(lab, host);
    {
        Box fresh;
        EXPECT_EQ(
            jsonFile("iocfg.json"),
            QJsonObject({{"pi_io_uuid", ""}, {"pi_maincam_uuid", ""}, {"pi_maincam_ip", ""}}));
        fresh.chgInput(1, true);
        settle();
        EXPECT_EQ(fresh.tick(5000), QStringList());  // nobody to tell, nobody to ask for
    }
    QFile file("iocfg.json");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(R"({"pi_io_uuid":"io-1"})") > 0);
    file.close();
    Box box;
    const std::tuple<QString, QString, QString> rows[] = {
        {"<A;1>", kUnknown, "10.0.0.9:10410 <S;1;io-1;0;;>"},
        {"<A;2;io-1;cam-1>", kFormat, ""},
        {"<A;2;io-1;cam-1;10.0.0.300>", kFormat, ""},
        {"<A;2;io-1;cam-1;10.0.0.5>", kUnknown, "10.0.0.9:10410 <S;2;io-1;OK>"},
        {"<A;1;cam-9>", kDiscard, ""},
        {"<C;3;cam-9>", kDiscard, ""},
        {"<C;4;cam-9;10.0.0.66>", kDiscard, ""},
        {"<C;6;cam-1;11000000>", kUnknown, "10.0.0.9:10412 <S;6;io-1;OK>"},
        {"<C;6;cam-1>", kUnknown, "10.0.0.9:10412 <S;6;io-1;OK>"},
        {"<A;7>", kUnknown, "10.0.0.9:10410 <S;7;io-1;00000000;11000000>"},
        {"<S;1;io-1>", kUnknown, ""}};
    for (const auto& [datagram, result, sends] : rows) {
        EXPECT_EQ(box.feed(datagram), result) << datagram.toStdString();
        EXPECT_EQ(box.sends().join('\n'), sends) << datagram.toStdString();
    }
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
    settle();
    EXPECT_EQ(box.sends(), QStringList{"10.0.0.7:10412 <S;5;io-1;00100000>"});
    box.feed("<C;4;cam-1>");
    box.feed("<C;4;cam-1;no-address>");
    EXPECT_EQ(box.tick(899), QStringList{"10.0.0.7:10412 <S;3;io-1;00100000;00000000>"});

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
        {"<A;22;cam-9;" + cell + ">", "10.0.0.9", kDiscard, ""},
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
    settle();
    cam.chgIO_OutputState(1, true);
    settle();
    EXPECT_EQ(cam.sends(), QStringList({"10.0.0.7:10411 <C;6;cam-1;00000000>",
                                        "10.0.0.7:10411 <C;6;cam-1;01000000>"}));
    int logged = 0;
    for (int i = 0; i < 400; ++i) logged += cam.take("<S;3;io-1>", "10.0.0.7") == "success";
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
