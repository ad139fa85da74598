// The IO link end to end: ControlPort and its IO thread over a real pseudo-terminal against
// the IO-board simulator. Every wait is bounded.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QThread>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "boardport.h"
#include "controlport.h"
#include "globals.h"
#include "ioboardsimulator.h"
#include "ioframes.h"
#include "iotestsupport.h"
#include "iothread.h"
#include "seriallink.h"
#include "testsupport.h"
#include "wizardpara.h"

namespace {

constexpr int kWaitMs = 5000;

// Stands in for the main window: its Run() slot is what the IO thread wakes.
class RunReceiver : public QObject {
    Q_OBJECT
public:
    std::atomic<int> runs{0};
public slots:
    void Run() { ++runs; }
};

quint32 inputWord() {
    QMutexLocker lock(pMutexIO);
    return gDataIn;
}

class IoLinkTest : public iotest::IoGlobalsTest {
protected:
    void SetUp() override {
        IoGlobalsTest::SetUp();
        ASSERT_TRUE(sim.start()) << sim.errorString().toStdString();
        testsupport::recorder().setSerialPath(sim.slavePath());
    }
    void TearDown() override {
        port.reset();
        sim.stop();
        IoGlobalsTest::TearDown();
    }
    void startLink() {
        port = std::make_unique<ControlPort>();
        port->InitIOThread(&receiver);
    }
    // Number of polls the board has seen, after the link has settled into polling.
    void waitUntilPolling() {
        ASSERT_TRUE(sim.waitForCommandCount(2, sim.commandCount(2) + 5, kWaitMs));
    }

    iosim::IoBoardSimulator sim;
    RunReceiver receiver;
    std::unique_ptr<ControlPort> port;
};

TEST_F(IoLinkTest, InputChangesAreStoredBeforeTheSignalSurviveLineNoiseAndGiveEdges) {
    startLink();
    waitUntilPolling();
    std::atomic<quint32> seenAtSignal{0xFFFFFFFF};
    QObject::connect(
        port->ioThread, &IOThread::sigIOChange, port->ioThread, [&] { seenAtSignal = inputWord(); },
        Qt::DirectConnection);
    EXPECT_FALSE(port->IOInTrigger(0));

    sim.setInputs(0x201);  // the tenth input travels in the second byte
    ASSERT_TRUE(testsupport::waitFor(
        [&] { return receiver.runs > 0 && seenAtSignal != 0xFFFFFFFF; }, kWaitMs));
    EXPECT_EQ(seenAtSignal.load(), 0x201u);
    EXPECT_TRUE(port->IOInTrigger(0));
    EXPECT_FALSE(port->IOInTrigger(0));

    // Stray bytes and replies split across reads on the line are survived.
    sim.injectBytes(QByteArray::fromHex("5f5f0102f5aa5f02"));
    sim.splitNextReplies(6);
    sim.setInputs(0x155);
    ASSERT_TRUE(testsupport::waitFor([] { return inputWord() == 0x155u; }, kWaitMs));
    sim.injectBytes(QByteArray(40, char(0xF5)));
    sim.setInputs(0x2AA);
    ASSERT_TRUE(testsupport::waitFor([] { return inputWord() == 0x2AAu; }, kWaitMs));
    port->IOSetOut(3, 1);
    port->IOFlashOut();
    EXPECT_TRUE(sim.waitForOutputs(0x008, kWaitMs));
    EXPECT_EQ(sim.bytesSkipped(), 0);  // the program's own frames stay clean
}

TEST_F(IoLinkTest, OutputsReachTheBoardAndAreResentUntilTheEchoAgrees) {
    startLink();
    waitUntilPolling();
    port->IOSetOut(1, 1);
    port->IOSetOut(8, 1);
    port->IOFlashOut();
    ASSERT_TRUE(sim.waitForOutputs(0x102, kWaitMs));
    const int sentOnce = sim.commandCount(1);
    EXPECT_GE(sentOnce, 1);

    sim.loseNextOutputCommands(3);  // the board misses the next commands
    port->IOSetOut(1, 0);
    port->IOFlashOut();
    ASSERT_TRUE(sim.waitForOutputs(0x100, kWaitMs));
    EXPECT_GE(sim.commandCount(1), sentOnce + 4);

    // The echo agrees now: no more output commands, only polls.
    ASSERT_TRUE(sim.waitForCommandCount(2, sim.commandCount(2) + 5, kWaitMs));
    const int settled = sim.commandCount(1);
    ASSERT_TRUE(sim.waitForCommandCount(2, sim.commandCount(2) + 20, kWaitMs));
    EXPECT_EQ(sim.commandCount(1), settled);

    // At most one output command per pass: never two in a row.
    const auto log = sim.commandLog();
    for (size_t i = 1; i < log.size(); ++i)
        EXPECT_FALSE(log[i].code == 1 && log[i - 1].code == 1) << "at " << i;
}

TEST_F(IoLinkTest, TemperaturesArriveInTheirSlots) {
    for (int slot = 0; slot < 16; ++slot) sim.setTemperature(slot, 2000u + quint32(slot));
    startLink();
    // One full temperature round takes 210 passes of 5 ms.
    ASSERT_TRUE(testsupport::waitFor(
        [] {
            QMutexLocker lock(pMutexIO);
            return gFTemp[15] == 2015u;
        },
        kWaitMs));
    QMutexLocker lock(pMutexIO);
    for (int slot = 0; slot < 16; ++slot) EXPECT_EQ(gFTemp[slot], 2000u + quint32(slot));
    EXPECT_EQ(sim.commandCount(3), 1);
    EXPECT_EQ(sim.commandCount(4), 1);
}

TEST_F(IoLinkTest, PollingStopsOnAStaleHeartbeatAndResumesWhenRefreshed) {
    iotest::MessageCapture log;
    testsupport::recorder().setNow(QDateTime::currentDateTime());
    startLink();
    waitUntilPolling();

    // Just under the limit the board is still polled.
    testsupport::recorder().advanceMs(10900);
    waitUntilPolling();
    EXPECT_FALSE(port->ioThread->pollingSuspended());

    testsupport::recorder().advanceMs(100);
    ASSERT_TRUE(testsupport::waitFor([&] { return port->ioThread->pollingSuspended(); }, kWaitMs));
    const int stoppedAt = sim.totalCommands();
    // The thread goes on checking the heartbeat: it warns again a second later.
    const QString stale =
        QStringLiteral("controlport_thread - main_thread > 10s will timeout exit");
    ASSERT_TRUE(testsupport::waitFor([&] { return log.count(stale) >= 2; }, kWaitMs));
    EXPECT_LE(sim.totalCommands(), stoppedAt + 1);  // a pass already under way may finish

    port->updateThreadProtectTiming();
    ASSERT_TRUE(sim.waitForTotalCommands(sim.totalCommands() + 10, kWaitMs));
    EXPECT_FALSE(port->ioThread->pollingSuspended());

    // A clock that steps back counts as fresh.
    testsupport::recorder().advanceMs(-60000);
    ASSERT_TRUE(sim.waitForTotalCommands(sim.totalCommands() + 10, kWaitMs));
}

TEST_F(IoLinkTest, APortThatFailsToOpenOrVanishesIsNamedAndTriedAgain) {
    iotest::MessageCapture log;
    const QString missing = QStringLiteral("/nonexistent-mouldmon/ttyIO");
    testsupport::recorder().setSerialPath(missing);
    startLink();
    EXPECT_EQ(log.count(missing), 1);
    EXPECT_EQ(log.count(QStringLiteral("No such file or directory")), 1);

    // The board appears: the link finds it within a retry period.
    testsupport::recorder().setSerialPath(sim.slavePath());
    ASSERT_TRUE(sim.waitForCommandCount(2, 5, io::kPortRetryMs + kWaitMs));
    sim.setInput(4, true);
    ASSERT_TRUE(testsupport::waitFor([] { return inputWord() == 0x010u; }, kWaitMs));

    // It vanishes, and another comes back in its place.
    sim.stop();
    ASSERT_TRUE(
        testsupport::waitFor([&] { return log.count(QStringLiteral("failed")) >= 1; }, kWaitMs));
    iosim::IoBoardSimulator second;
    ASSERT_TRUE(second.start());
    second.setInputs(0x040);
    testsupport::recorder().setSerialPath(second.slavePath());
    ASSERT_TRUE(
        testsupport::waitFor([] { return inputWord() == 0x040u; }, io::kPortRetryMs + kWaitMs));
    port.reset();  // before the second board goes away
}

TEST_F(IoLinkTest, TheThreadEndsWithTheControlPortEvenWhileTheBoardIsSilent) {
    startLink();
    waitUntilPolling();
    // Unanswered commands keep the thread in its longest waits.
    sim.setAnswering(false);
    ASSERT_TRUE(sim.waitForTotalCommands(sim.totalCommands() + 2, kWaitMs));
    std::atomic<bool> ended{false};
    QObject::connect(port->ioThread, &QThread::finished, [&] { ended = true; });
    port.reset();
    EXPECT_TRUE(ended) << "the IO thread outlived its control port";

    // A marker written after the port has gone arrives after everything the thread wrote, and
    // is the last command.
    const int line = ::open(QFile::encodeName(sim.slavePath()).constData(), O_WRONLY | O_NOCTTY);
    ASSERT_GE(line, 0);
    const auto marker = io::encodeCommand(0x7E, 0x1234);
    EXPECT_EQ(::write(line, marker.data(), marker.size()), ssize_t(marker.size()));
    ::close(line);
    ASSERT_TRUE(sim.waitForCommandCount(0x7E, 1, kWaitMs));
    const std::vector<iosim::Command> log = sim.commandLog();
    EXPECT_EQ(log.back().code, 0x7E);
    EXPECT_EQ(log.back().arg, 0x1234);
}

TEST(IoBoardPort, AMissingOrRefusedDeviceIsReportedOnceWhileRetrying) {
    testsupport::WorkDir dir;
    const QString notATerminal = dir.file(QStringLiteral("plain-file"));
    QFile file(notATerminal);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    for (const QString& path : {QString(), notATerminal}) {
        iotest::MessageCapture log;
        testsupport::recorder().setSerialPath(path);
        io::BoardPort port(/*retryMs=*/5);
        for (int i = 0; i < 20; ++i) {
            EXPECT_FALSE(port.ensureOpen(3));
            QThread::msleep(6);
        }
        EXPECT_EQ(log.messages().size(), 1);
        EXPECT_EQ(
            log.count(path.isEmpty() ? QStringLiteral("no serial device configured for port 3")
                                     : QStringLiteral("not a serial device")),
            1);
    }
    testsupport::recorder().setSerialPath(QString());
}

// A write that the output queue only partly takes is finished once there is room, or is a
// failure; it is never success with bytes left over.
TEST(SerialLinkWrite, APartialWriteIsFinishedOrReportedAsFailed) {
    std::vector<quint8> block(1 << 20);  // far more than a terminal's queue holds
    for (size_t i = 0; i < block.size(); ++i) block[i] = quint8(i % 251);
    for (const bool read : {false, true}) {
        const int master = posix_openpt(O_RDWR | O_NOCTTY);
        ASSERT_TRUE(master >= 0 && grantpt(master) == 0 && unlockpt(master) == 0);
        io::SerialLink link;
        ASSERT_TRUE(link.open(QString::fromLatin1(ptsname(master))));
        std::vector<quint8> received;
        std::thread reader([&] {
            quint8 chunk[4096];
            pollfd p{master, POLLIN, 0};
            while (read && received.size() < block.size() && ::poll(&p, 1, kWaitMs) > 0) {
                const ssize_t got = ::read(master, chunk, sizeof chunk);
                if (got <= 0) break;
                received.insert(received.end(), chunk, chunk + got);
            }
        });
        EXPECT_EQ(link.write(block.data(), int(block.size())), read) << read;
        reader.join();
        if (read) {
            EXPECT_TRUE(received == block) << received.size() << " bytes arrived";
        } else {
            EXPECT_TRUE(link.errorString().startsWith("write")) << "nobody reads the line";
        }
        ::close(master);
    }
}

}  // namespace

#include "test_iolink.moc"

TEST_F(IoLinkTest, ARestartedSimulatorIsFoundAgainThroughItsLink) {
    testsupport::WorkDir work;
    const QString link = QDir::current().filePath("iosim.tty");
    ASSERT_TRUE(sim.keepLink(link)) << sim.errorString().toStdString();
    testsupport::recorder().setSerialPath(link);
    startLink();
    sim.setInputs(0x001);
    ASSERT_TRUE(testsupport::waitFor([] { return inputWord() == 0x001u; }, kWaitMs));

    // The simulator stops and its link goes with it; a new one takes the same path.
    sim.stop();
    EXPECT_FALSE(QFileInfo::exists(link));
    iosim::IoBoardSimulator second;
    ASSERT_TRUE(second.start());
    ASSERT_TRUE(second.keepLink(link));
    second.setInputs(0x080);
    ASSERT_TRUE(
        testsupport::waitFor([] { return inputWord() == 0x080u; }, io::kPortRetryMs + kWaitMs));

    // A third replaces the link while the second still runs; the second leaves it alone.
    iosim::IoBoardSimulator third;
    ASSERT_TRUE(third.start());
    ASSERT_TRUE(third.keepLink(link));
    second.stop();
    EXPECT_EQ(QFileInfo(link).symLinkTarget(), third.slavePath());
    port.reset();
}
