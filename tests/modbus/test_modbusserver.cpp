// The register server on a loopback port, driven by masters we did not write (libmodbus,
// pymodbus) and by raw sockets for framing. The test's main thread plays the GUI thread: it keeps
// its event loop running while a master works, so the server's blocking calls are answered.
#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTcpServer>
#include <QThread>
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

void setCounters() {
    std::fill(gAllNum, gAllNum + kMaxCameras, 0);
    std::fill(gFailNum, gFailNum + kMaxCameras, 0);
    std::fill(gAllCycleNum, gAllCycleNum + kMaxCameras, 7);
    std::fill(gFailCycleNum, gFailCycleNum + kMaxCameras, 3);
    gAllNum[0] = 5;
    gAllNum[1] = 9;
    gFailNum[0] = 1;
    gFailNum[1] = 2;
    gSyncNGNum = 2;
    gSyncNGCycleNum = 3;
}

class ModbusServerTest : public ::testing::Test {
protected:
    void SetUp() override {
        setCounters();
        source_.setStateReader([this] {
            ++reads_;
            return state_;
        });
        source_.setCounterSaver([this] { ++saves_; });
    }

    quint16 startServer() {
        EXPECT_TRUE(server_.start(QHostAddress::LocalHost, 0));
        EXPECT_NE(server_.serverPort(), 0);
        return server_.serverPort();
    }

    ModbusMachineState state_{1, 0, 0};
    int saves_ = 0;
    int reads_ = 0;  // register reads that reached the data source
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

TEST_F(ModbusServerTest, LibmodbusResetZeroesTotalsAndFailuresOnly) {
    const quint16 port = startServer();
    // Saved after zeroing, so the file holds the zeroed counters.
    source_.setCounterSaver([this] {
        EXPECT_EQ(gAllNum[1], 0);
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
        EXPECT_EQ(gAllNum[c], 0);
        EXPECT_EQ(gFailNum[c], 0);
        EXPECT_EQ(gAllCycleNum[c], 7);
        EXPECT_EQ(gFailCycleNum[c], 3);
    }
    EXPECT_EQ(gSyncNGNum, 2);
    EXPECT_EQ(gSyncNGCycleNum, 3);
    EXPECT_EQ(after, (std::vector<quint16>{1, 0, 0, 2}));
}

TEST_F(ModbusServerTest, LibmodbusSeesEachExceptionAndNothingChanges) {
    const quint16 port = startServer();
    std::vector<std::tuple<const char*, int, int>> outcomes;  // what, errno seen, expected
    ASSERT_TRUE(runBeside([&] {
        LibmodbusMaster master(port);
        ASSERT_TRUE(master.connected());
        const auto seen = [&](bool ok) { return ok ? 0 : master.lastErrno(); };
        const bool singleWritten = modbus_write_register(master.ctx(), 4, 1) == 1;
        outcomes = {
            {"single write", singleWritten ? 0 : errno, EMBXILFUN},
            {"read past the end", seen(!master.read(65535, 2).empty()), EMBXILADD},
            {"write past the end", seen(master.write(65535, {1, 1})), EMBXILADD},
            {"write missing register 4", seen(master.write(0, {1, 1, 1, 1})), EMBXILADD},
            {"write after register 4", seen(master.write(5, {1})), EMBXILADD},
            {"reset value 2", seen(master.write(4, {2})), EMBXILVAL},
            {"reset value 0 from 3", seen(master.write(3, {1, 0})), EMBXILVAL},
        };
    }));
    for (const auto& [what, errnoSeen, expected] : outcomes)
        EXPECT_EQ(errnoSeen, expected) << what << ": " << modbus_strerror(errnoSeen);
    EXPECT_EQ(gAllNum[1], 9);
    EXPECT_EQ(gFailNum[1], 2);
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
    EXPECT_EQ(seen.value("wrong_register").toInt(), 2);
    EXPECT_EQ(seen.value("wrong_value").toInt(), 3);
    EXPECT_EQ(seen.value("reset").toArray(), (QJsonArray{4, 1}));
    EXPECT_EQ(seen.value("after_reset").toArray(), (QJsonArray{1, 0, 0, 2}));
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

    // The reset with a value other than 1, or from register 5, changes nothing.
    master.send(hex("0002 0000 0009 01 10 0004 0001 02 0002"));
    EXPECT_EQ(master.receive(9).toHex(' '), hex("0002 0000 0003 01 90 03").toHex(' '));
    master.send(hex("0002 0000 0009 01 10 0005 0001 02 0001"));
    EXPECT_EQ(master.receive(9).toHex(' '), hex("0002 0000 0003 01 90 02").toHex(' '));
    EXPECT_EQ(gAllNum[1], 9);

    master.send(hex("0002 0000 0009 01 10 0004 0001 02 0001"));
    EXPECT_EQ(master.receive(12).toHex(' '), hex("0002 0000 0006 01 10 0004 0001").toHex(' '));
    EXPECT_EQ(gAllNum[1], 0);
    EXPECT_EQ(saves_, 1);

    // A single-register write is refused, not echoed as if it had been carried out.
    master.send(hex("0005 0000 0006 01 06 0004 0001"));
    EXPECT_EQ(master.receive(9).toHex(' '), hex("0005 0000 0003 01 86 01").toHex(' '));
}

TEST_F(ModbusServerTest, SplitAndMergedFramesAreEachAnsweredOnce) {
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
    EXPECT_TRUE(master.connected());
}

TEST_F(ModbusServerTest, ImpossibleLengthClosesTheConnection) {
    const quint16 port = startServer();
    for (const char* header : {"0001 0000 0001 01", "0001 0000 00ff 01 03", "0001 0000 0000"}) {
        RawMaster master(port);
        ASSERT_TRUE(master.connected());
        master.send(hex(header) + QByteArray(8, '\0'));
        EXPECT_TRUE(master.waitClosed()) << header;
        EXPECT_TRUE(master.receiveFor(0).isEmpty()) << header;
    }
    // Requests before the broken header are still answered.
    RawMaster master(port);
    master.send(hex("0001 0000 0006 01 03 0003 0001") + hex("0002 0000 0001 01"));
    EXPECT_TRUE(master.waitClosed());
    EXPECT_EQ(master.receiveFor(0), hex("0001 0000 0005 01 03 02 0002"));
}

TEST_F(ModbusServerTest, ManyConnectionsOpenAndCloseWithoutLeakingAndTheCapHolds) {
    // With a small cap, a leaked connection would soon lock every master out.
    server_.setLimits({4, modbus::kIdleTimeoutMs});
    const quint16 port = startServer();
    std::atomic<int> answered{0};
    std::atomic<int> failed{0};
    ASSERT_TRUE(runBeside(
        [&] {
            std::vector<std::thread> masters;
            for (int m = 0; m < 4; ++m) {
                masters.emplace_back([&] {
                    for (int i = 0; i < 40; ++i) {
                        // A refused connection (the cap reached for a moment) is retried.
                        for (int attempt = 0; attempt < 50; ++attempt) {
                            LibmodbusMaster master(port, 1000);
                            if (master.connected() &&
                                master.read(2, 1) == std::vector<quint16>{9}) {
                                ++answered;
                                break;
                            }
                            ++failed;
                            std::this_thread::sleep_for(std::chrono::milliseconds(5));
                        }
                    }
                });
            }
            for (auto& t : masters) t.join();
        },
        120000));
    EXPECT_EQ(answered.load(), 160);
    RecordProperty("retried_connections", failed.load());

    // Four masters at once still fit: every closed connection was given back. A fifth is
    // closed; when one master leaves, the next one is served.
    const QByteArray read = hex("0001 0000 0006 01 03 0002 0001");
    const QByteArray reply = hex("0001 0000 0005 01 03 02 0009");
    std::vector<std::unique_ptr<RawMaster>> open;
    for (int i = 0; i < 4; ++i) {
        open.push_back(std::make_unique<RawMaster>(port));
        open.back()->send(read);
        EXPECT_EQ(open.back()->receive(reply.size()), reply) << i;
    }
    RawMaster fifth(port);
    fifth.send(read);
    EXPECT_TRUE(fifth.waitClosed());
    open.pop_back();
    bool served = false;
    for (int attempt = 0; attempt < 50 && !served; ++attempt) {
        RawMaster next(port);
        next.send(read);
        served = next.receive(reply.size(), 500) == reply;
    }
    EXPECT_TRUE(served);
}

TEST_F(ModbusServerTest, IdleConnectionsAreClosedActiveOnesKept) {
    server_.setLimits({modbus::kMaxConnections, 300});
    const quint16 port = startServer();
    RawMaster idle(port);
    RawMaster active(port);
    const QByteArray read = hex("0001 0000 0006 01 03 0000 0001");
    for (int i = 0; i < 8; ++i) {
        active.send(read);
        EXPECT_EQ(active.receive(11).size(), 11);
        active.receiveFor(100);
    }
    EXPECT_EQ(idle.socket().state(), QAbstractSocket::UnconnectedState);
    EXPECT_TRUE(active.connected());
    EXPECT_TRUE(active.waitClosed());
}

TEST_F(ModbusServerTest, StopWhileARequestWaitsForTheGuiThread) {
    int servedDuringStop = 0;
    for (int round = 0; round < 5; ++round) {
        ModbusServer server(&source_);
        ASSERT_TRUE(server.start(QHostAddress::LocalHost, 0));
        const quint16 port = server.serverPort();
        std::atomic<bool> sent{false};
        std::vector<quint16> seen;
        std::thread masterThread([&] {
            LibmodbusMaster master(port, 2000);
            sent = master.connected();
            seen = master.read(0, 4);
        });
        // Do not answer: the server thread now waits for this thread inside a register read.
        for (int i = 0; i < 100 && !sent; ++i) QThread::msleep(5);
        QThread::msleep(200);
        const int readsBefore = reads_;
        {
            Watchdog watchdog(std::chrono::seconds(20), "stopping the server during a request");
            server.stop();
        }
        EXPECT_FALSE(server.isRunning());
        servedDuringStop += reads_ - readsBefore;
        masterThread.join();
        // The master got its values, or saw the connection close; never a wrong answer.
        EXPECT_TRUE(seen.empty() || seen == (std::vector<quint16>{1, 0, 9, 2}));
    }
    // The waiting read was answered by stop itself at least once, so the race was exercised.
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
    EXPECT_GE(reads_, answered.load());
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
    std::vector<quint16> values;
    ASSERT_TRUE(runBeside([&] { values = LibmodbusMaster(server.serverPort()).read(0, 4); }));
    EXPECT_EQ(values, (std::vector<quint16>{1, 1, 9, 2}));
}
