// The register server on a loopback port, driven by masters we did not write (libmodbus,
// pymodbus) and by raw sockets for framing. The test's main thread plays the GUI thread: it keeps
// its event loop running while a master works, so the server's blocking calls are answered.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <tuple>

#include "globals.h"
#include "modbusdatasource.h"
#include "modbusserver.h"
#include "modbustestsupport.h"
#include "testsupport.h"

using modbustest::hex;
using modbustest::LibmodbusMaster;
using modbustest::RawMaster;
using modbustest::runBeside;
using modbustest::Watchdog;

namespace {

// Cycles 5 and 9 on two cameras, 2 of them failed; the step counters hold other numbers, which
// the registers must not show.
void setCounters() {
    std::fill(gAllCycleNum, gAllCycleNum + kMaxCameras, 0);
    std::fill(gFailCycleNum, gFailCycleNum + kMaxCameras, 0);
    std::fill(gAllNum, gAllNum + kMaxCameras, 17);
    std::fill(gFailNum, gFailNum + kMaxCameras, 3);
    gAllCycleNum[0] = 5;
    gAllCycleNum[1] = 9;
    gFailCycleNum[0] = 1;
    gFailCycleNum[1] = 2;
    gSyncNGCycleNum = 2;
    gSyncNGNum = 3;
}

// TCP_KEEPIDLE of the server's end of a master's connection (this process holds both ends);
// -1 when keep-alive is off or the end is not found.
int serverKeepAliveIdle(int masterSocket) {
    sockaddr_in master{};
    socklen_t length = sizeof master;
    getsockname(masterSocket, reinterpret_cast<sockaddr*>(&master), &length);
    for (const QString& entry : QDir("/proc/self/fd").entryList(QDir::Files | QDir::System)) {
        const int fd = entry.toInt();
        sockaddr_in peer{};
        length = sizeof peer;
        if (fd == masterSocket ||
            getpeername(fd, reinterpret_cast<sockaddr*>(&peer), &length) != 0 ||
            peer.sin_port != master.sin_port)
            continue;
        int on = 0, idle = -1;
        length = sizeof on;
        getsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, &length);
        length = sizeof idle;
        getsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, &length);
        return on ? idle : -1;
    }
    return -1;
}

class ModbusServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        setCounters();
        source_.setStateReader([this] { return state_; });
        source_.setCounterSaver([this] { ++saves_; });
    }

    quint16 startServer() {
        EXPECT_TRUE(server_.start(QHostAddress::LocalHost, 0));
        EXPECT_NE(server_.serverPort(), 0);
        return server_.serverPort();
    }

    ModbusMachineState state_{1, 0, 0};
    int saves_ = 0;
    GlobalsModbusDataSource source_;
    ModbusServer server_{&source_};
};

}  // namespace

TEST_F(ModbusServerTest, LibmodbusReadsEveryRegisterAndRangesPastThem) {
    const quint16 port = startServer();
    std::vector<std::vector<quint16>> singles;
    std::vector<quint16> all, pastServed, far, last;
    ASSERT_TRUE(runBeside([&] {
        LibmodbusMaster master(port);
        ASSERT_TRUE(master.connected());
        for (int r = 0; r < 6; ++r) singles.push_back(master.read(r, 1));
        all = master.read(0, 4);
        pastServed = master.read(3, 3);
        far = master.read(1000, 125);
        last = master.read(65535, 1);
    }));
    const std::vector<std::vector<quint16>> expectedSingles{{1}, {0}, {9}, {2}, {0}, {0}};
    EXPECT_EQ(singles, expectedSingles);
    EXPECT_EQ(all, (std::vector<quint16>{1, 0, 9, 2}));
    EXPECT_EQ(pastServed, (std::vector<quint16>{2, 0, 0}));
    EXPECT_EQ(far, std::vector<quint16>(125, 0));
    EXPECT_EQ(last, std::vector<quint16>{0});
}

TEST_F(ModbusServerTest, LibmodbusResetZeroesTheCycleCountersOnly) {
    const quint16 port = startServer();
    // Saved after zeroing, so the file holds the zeroed counters.
    source_.setCounterSaver([this] {
        EXPECT_EQ(gAllCycleNum[1], 0);
        ++saves_;
    });
    bool reset = false;
    std::vector<quint16> after;
    ASSERT_TRUE(runBeside([&] {
        LibmodbusMaster master(port);
        reset = master.write(4, {1});
        after = master.read(0, 4);
    }));
    EXPECT_TRUE(reset);
    EXPECT_EQ(saves_, 1);
    for (int c = 0; c < kMaxCameras; ++c) {
        EXPECT_EQ(gAllCycleNum[c], 0);
        EXPECT_EQ(gFailCycleNum[c], 0);
        EXPECT_EQ(gAllNum[c], 17);
        EXPECT_EQ(gFailNum[c], 3);
    }
    EXPECT_EQ(gSyncNGCycleNum, 2);
    EXPECT_EQ(gSyncNGNum, 3);
    EXPECT_EQ(after, (std::vector<quint16>{1, 0, 0, 2}));
}

TEST_F(ModbusServerTest, LibmodbusSeesExceptionsOnlyForMalformedOrUnsupportedRequests) {
    const quint16 port = startServer();
    std::atomic<bool> countsRead{false};
    source_.setCountsRead([&] { return countsRead.load(); });
    std::vector<std::tuple<const char*, int, int>> outcomes;  // what, errno seen, expected
    ASSERT_TRUE(runBeside([&] {
        LibmodbusMaster master(port);
        ASSERT_TRUE(master.connected());
        const auto seen = [&](bool ok) { return ok ? 0 : master.lastErrno(); };
        const int earlyReset = seen(master.write(4, {1}));
        countsRead = true;
        const bool singleWritten = modbus_write_register(master.ctx(), 4, 1) == 1;
        outcomes = {
            {"reset before the counters are read", earlyReset, EMBXSBUSY},
            {"single write", singleWritten ? 0 : errno, EMBXILFUN},
            {"read past the end", seen(!master.read(65535, 2).empty()), EMBXILADD},
            {"write past the end", seen(master.write(65535, {1, 1})), EMBXILADD},
            {"write missing register 4", seen(master.write(0, {1, 1, 1, 1})), 0},
            {"write after register 4", seen(master.write(5, {1})), 0},
            {"value 2 into register 4", seen(master.write(4, {2})), 0},
            {"value 0 into register 4 from 3", seen(master.write(3, {1, 0})), 0},
        };
    }));
    for (const auto& [what, errnoSeen, expected] : outcomes)
        EXPECT_EQ(errnoSeen, expected) << what << ": " << modbus_strerror(errnoSeen);
    EXPECT_EQ(gAllCycleNum[1], 9);
    EXPECT_EQ(gFailCycleNum[1], 2);
    EXPECT_EQ(saves_, 0);
}

TEST_F(ModbusServerTest, PymodbusReadsResetsAndSeesExceptions) {
    const quint16 port = startServer();
    QProcess python;
    python.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    const QString program = QFile::exists("/usr/bin/python3") ? "/usr/bin/python3" : "python3";
    python.start(program,
                 {QStringLiteral(MODBUS_TEST_DIR "/pymodbus_master.py"), QString::number(port)});
    ASSERT_TRUE(python.waitForStarted(5000));
    ASSERT_TRUE(
        testsupport::waitFor([&] { return python.state() == QProcess::NotRunning; }, 60000));
    ASSERT_EQ(python.exitCode(), 0);
    const QJsonObject seen = QJsonDocument::fromJson(python.readAllStandardOutput()).object();
    ASSERT_TRUE(seen.value("connected").toBool()) << QJsonDocument(seen).toJson().toStdString();
    EXPECT_EQ(seen.value("registers").toArray(), (QJsonArray{1, 0, 9, 2}));
    EXPECT_EQ(seen.value("past_served").toArray(), (QJsonArray{9, 2, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(seen.value("single_write").toInt(), 1);
    EXPECT_EQ(seen.value("past_end").toInt(), 2);
    EXPECT_EQ(seen.value("reset").toArray(), (QJsonArray{4, 1}));
    EXPECT_EQ(seen.value("after_reset").toArray(), (QJsonArray{1, 0, 0, 2}));
    // The panel's 1-then-0 and a write beside register 4 are confirmed, not refused.
    EXPECT_EQ(seen.value("write_zero").toArray(), (QJsonArray{4, 1}));
    EXPECT_EQ(seen.value("beside_reset").toArray(), (QJsonArray{0, 2}));
    EXPECT_EQ(saves_, 1);
}

TEST_F(ModbusServerTest, WorkedExamplesAreAnsweredByteExact) {
    RawMaster master(startServer());
    ASSERT_TRUE(master.connected());
    master.send(hex("0001 0000 0006 01 03 0000 0004"));
    EXPECT_EQ(master.receive(17).toHex(' '),
              hex("0001 0000 000b 01 03 08 0001 0000 0009 0002").toHex(' '));
    master.send(hex("0003 0000 0006 01 03 0003 0003"));
    EXPECT_EQ(master.receive(15).toHex(' '),
              hex("0003 0000 0009 01 03 06 0002 0000 0000").toHex(' '));

    // The reset with a value other than 1, or from register 5, is confirmed and changes nothing.
    master.send(hex("0002 0000 0009 01 10 0004 0001 02 0002"));
    EXPECT_EQ(master.receive(12).toHex(' '), hex("0002 0000 0006 01 10 0004 0001").toHex(' '));
    master.send(hex("0002 0000 0009 01 10 0005 0001 02 0001"));
    EXPECT_EQ(master.receive(12).toHex(' '), hex("0002 0000 0006 01 10 0005 0001").toHex(' '));
    EXPECT_EQ(gAllCycleNum[1], 9);

    master.send(hex("0002 0000 0009 01 10 0004 0001 02 0001"));
    EXPECT_EQ(master.receive(12).toHex(' '), hex("0002 0000 0006 01 10 0004 0001").toHex(' '));
    EXPECT_EQ(gAllCycleNum[1], 0);
    EXPECT_EQ(saves_, 1);

    // A single-register write is refused, not echoed as if it had been carried out.
    master.send(hex("0005 0000 0006 01 06 0004 0001"));
    EXPECT_EQ(master.receive(9).toHex(' '), hex("0005 0000 0003 01 86 01").toHex(' '));
}

TEST_F(ModbusServerTest, SplitMergedAndBrokenFrames) {
    RawMaster master(startServer());
    const QByteArray read = hex("0011 0000 0006 01 03 0000 0004");
    const QByteArray reply = hex("0011 0000 000b 01 03 08 0001 0000 0009 0002");

    // Split over two writes: nothing until the frame is complete, then exactly one reply.
    master.send(read.left(5));
    EXPECT_TRUE(master.receiveFor(150).isEmpty());
    master.send(read.mid(5));
    EXPECT_EQ(master.receive(reply.size()), reply);
    EXPECT_TRUE(master.receiveFor(100).isEmpty());

    // Three requests in one write, the last one split with the next write: replies in order.
    const QByteArray second = hex("0012 0000 0006 01 03 0003 0001");
    const QByteArray third = hex("0013 0000 0006 01 03 0002 0001");
    master.send(read + second + third.left(4));
    master.send(third.mid(4));
    const QByteArray expected =
        reply + hex("0012 0000 0005 01 03 02 0002") + hex("0013 0000 0005 01 03 02 0009");
    EXPECT_EQ(master.receive(expected.size()).toHex(' '), expected.toHex(' '));
    EXPECT_TRUE(master.receiveFor(100).isEmpty());

    // A header with an impossible length loses what came with it, not the connection.
    for (const char* header : {"0001 0000 0001 01", "0001 0000 00ff 01 03", "0001 0000 0000"}) {
        master.send(hex(header) + QByteArray(8, '\0'));
        EXPECT_TRUE(master.receiveFor(100).isEmpty()) << header;
        master.send(second);
        EXPECT_EQ(master.receive(11), hex("0012 0000 0005 01 03 02 0002")) << header;
    }
}

TEST_F(ModbusServerTest, PipelinedReadsAreAnsweredInOrderWhenTheMasterReadsLate) {
    const quint16 port = startServer();
    // 3000 reads leave in one write (36 KB of requests, about 400 KB of replies); the master
    // reads nothing for a while, then takes every reply. libmodbus sends raw requests with
    // transaction id 0, so the quantity (1..125) tells the replies apart.
    constexpr int kRequests = 3000;
    const auto quantity = [](int i) { return 1 + i % 125; };
    int inOrder = 0;
    std::vector<quint16> after;
    ASSERT_TRUE(runBeside([&] {
        LibmodbusMaster master(port);
        const int fd = modbus_get_socket(master.ctx());
        int cork = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_CORK, &cork, sizeof cork);
        for (int i = 0; i < kRequests; ++i) {
            const uint8_t read[] = {1, 0x03, 0x00, 0x02, 0x00, uint8_t(quantity(i))};
            modbus_send_raw_request(master.ctx(), read, sizeof read);
        }
        cork = 0;
        setsockopt(fd, IPPROTO_TCP, TCP_CORK, &cork, sizeof cork);
        QThread::msleep(300);
        std::vector<uint8_t> reply(MODBUS_TCP_MAX_ADU_LENGTH);
        while (inOrder < kRequests &&
               modbus_receive_confirmation(master.ctx(), reply.data()) ==
                   9 + 2 * quantity(inOrder) &&
               reply[8] == 2 * quantity(inOrder) && reply[10] == 9)
            ++inOrder;
        after = master.read(2, 2);
    }));
    EXPECT_EQ(inOrder, kRequests);
    EXPECT_EQ(after, (std::vector<quint16>{9, 2}));
}

TEST_F(ModbusServerTest, AtTheCapTheLongestIdleMasterMakesRoomAndClosedOnesHoldNone) {
    server_.setLimits({3});
    const quint16 port = startServer();
    ASSERT_TRUE(runBeside([&] {
        LibmodbusMaster a(port);
        std::unique_ptr<LibmodbusMaster> newcomer;
        {
            // The oldest connection is in the middle of a request: it is not the one to go.
            LibmodbusMaster halfway(port);
            const uint8_t read[] = {0, 1, 0, 0, 0, 6, 1, 3, 0, 3, 0, 1};
            send(modbus_get_socket(halfway.ctx()), read, 5, 0);
            LibmodbusMaster b(port);
            ASSERT_FALSE(a.read(0, 1).empty());
            ASSERT_FALSE(b.read(0, 1).empty());
            ASSERT_FALSE(a.read(0, 1).empty());  // b is now idle the longest

            newcomer = std::make_unique<LibmodbusMaster>(port);
            EXPECT_EQ(newcomer->read(0, 4), (std::vector<quint16>{1, 0, 9, 2}));
            EXPECT_TRUE(b.read(0, 1).empty());
            send(modbus_get_socket(halfway.ctx()), read + 5, sizeof read - 5, 0);
            std::vector<uint8_t> reply(MODBUS_TCP_MAX_ADU_LENGTH);
            EXPECT_EQ(modbus_receive_confirmation(halfway.ctx(), reply.data()), 11);
            EXPECT_EQ(reply[10], 2);
        }
        // 300 masters come and go beside the two left: none of them takes a live one's place.
        for (int i = 0; i < 300; ++i) LibmodbusMaster{port};
        // Nor do they hold a place: a master new after them is served (a refused one would
        // read nothing), in the third place, beside the two live ones.
        LibmodbusMaster fresh(port);
        EXPECT_EQ(fresh.read(2, 1), std::vector<quint16>{9});
        EXPECT_EQ(a.read(2, 1), std::vector<quint16>{9});
        EXPECT_EQ(newcomer->read(2, 1), std::vector<quint16>{9});
        // Nothing is closed for being quiet; keep-alive looks after masters that are gone.
        EXPECT_EQ(serverKeepAliveIdle(modbus_get_socket(a.ctx())), modbus::kKeepAliveIdleS);
    }));
}

TEST_F(ModbusServerTest, ReadsDoNotWaitForTheGuiThreadAndSeeItsChanges) {
    const quint16 port = startServer();
    // This thread (the GUI thread) handles no event until the master is done.
    int answered = 0;
    std::thread([&] {
        LibmodbusMaster master(port, 200);
        for (int i = 0; i < 10; ++i) answered += master.read(2, 1) == std::vector<quint16>{9};
    }).join();
    EXPECT_EQ(answered, 10);
    // A change made on the GUI thread is served once its event loop has gone round once.
    gAllCycleNum[3] = 40;
    QEventLoop loop;
    QTimer::singleShot(0, &loop, &QEventLoop::quit);
    loop.exec();
    EXPECT_EQ(LibmodbusMaster(port).read(2, 1), std::vector<quint16>{40});
}

TEST_F(ModbusServerTest, StopWhileAResetWaitsForTheGuiThread) {
    int servedDuringStop = 0;
    for (int round = 0; round < 5; ++round) {
        ModbusServer server(&source_);
        ASSERT_TRUE(server.start(QHostAddress::LocalHost, 0));
        const quint16 port = server.serverPort();
        bool confirmed = false;
        std::thread masterThread([&] {
            LibmodbusMaster master(port, 2000);
            confirmed = master.write(4, {1});
        });
        // Do not answer (no events are handled here): the server thread now waits for this
        // thread inside the reset.
        QElapsedTimer clock;
        clock.start();
        while (!server.resetWaiting() && clock.elapsed() < 5000) QThread::msleep(1);
        EXPECT_TRUE(server.resetWaiting());
        const int savesBefore = saves_;
        {
            Watchdog watchdog(std::chrono::seconds(20), "stopping the server during a reset");
            server.stop();
        }
        EXPECT_FALSE(server.isRunning());
        servedDuringStop += saves_ - savesBefore;
        masterThread.join();
        // Confirmed only when it was carried out.
        EXPECT_TRUE(!confirmed || saves_ > savesBefore);
    }
    // The waiting reset was answered by stop itself at least once, so the race was exercised.
    EXPECT_GT(servedDuringStop, 0);
}

TEST_F(ModbusServerTest, RestartsWhileAMasterPollsNeverDeadlock) {
    const quint16 port = startServer();
    std::atomic<bool> finished{false};
    std::atomic<int> answered{0};
    std::thread poller([&] {
        while (!finished) {
            LibmodbusMaster master(port, 500);
            while (!finished && master.connected() && !master.read(0, 4).empty()) ++answered;
        }
    });
    {
        Watchdog watchdog(std::chrono::seconds(60), "restarting the server while polled");
        for (int cycle = 0; cycle < 20; ++cycle) {
            testsupport::waitFor([] { return false; }, 30);
            EXPECT_TRUE(server_.reAction(QHostAddress::LocalHost, port)) << cycle;
        }
        testsupport::waitFor([] { return false; }, 30);
        finished = true;
        server_.stop();
    }
    poller.join();
    EXPECT_GT(answered.load(), 0);
}

TEST_F(ModbusServerTest, BusyPortIsReportedAndNothingRuns) {
    QTcpServer occupant;
    ASSERT_TRUE(occupant.listen(QHostAddress::LocalHost, 0));
    EXPECT_FALSE(server_.start(QHostAddress::LocalHost, occupant.serverPort()));
    EXPECT_FALSE(server_.isRunning());
    EXPECT_EQ(server_.serverPort(), 0);
    // It can still be started elsewhere afterwards.
    EXPECT_TRUE(server_.reAction(QHostAddress::LocalHost, 0));
    EXPECT_TRUE(server_.isRunning());
}

TEST(ModbusServerDefault, ListensAtTheServicePortAndServesTheGlobals) {
    setCounters();
    // The seam gives port 0 here: any free port, never 502.
    ModbusServer server;
    ASSERT_TRUE(server.isRunning());
    ASSERT_NE(server.serverPort(), 0);
    ASSERT_NE(server.globalsSource(), nullptr);
    server.globalsSource()->setStateReader([] { return ModbusMachineState{1, 2, 0}; });
    server.globalsSource()->publish();
    std::vector<quint16> values;
    ASSERT_TRUE(runBeside([&] { values = LibmodbusMaster(server.serverPort()).read(0, 4); }));
    EXPECT_EQ(values, (std::vector<quint16>{1, 1, 9, 2}));
}
