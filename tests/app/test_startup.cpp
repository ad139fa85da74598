#include <gtest/gtest.h>
#include <pthread.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <functional>

#include "appfixture.h"
#include "controlport.h"
#include "deraRazovi.h"
#include "globals.h"
#include "logmanager.h"
#include "serialnumberstore.h"
#include "splashframe.h"
#include "sqlitefiles.h"
#include "startup.h"
#include "stopsignals.h"
#include "systemactions.h"
#include "warnbox.h"

using testsupport::recorder;

namespace {

QVector<int> percents(const StartupSequence& s) {
    QVector<int> out;
    for (const auto& step : s.splashSteps()) out << step.first;
    return out;
}

QStringList& infoLines() {
    static QStringList lines;
    return lines;
}

// Info messages as "<source file>: <text>".
void collectInfo(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    if (type == QtInfoMsg) infoLines() << QFileInfo(context.file).fileName() + ": " + text;
}

// Socket inodes of this process's open files, and paths of the devices it holds open.
void openFiles(QSet<QString>* socketInodes, QStringList* devices) {
    const QDir fds("/proc/self/fd");
    for (const QString& fd : fds.entryList(QDir::NoDotAndDotDot | QDir::System)) {
        const QString target = QFileInfo(fds.filePath(fd)).symLinkTarget();
        const QRegularExpressionMatch socket =
            QRegularExpression("socket:\\[(\\d+)\\]").match(target);
        if (socket.hasMatch()) socketInodes->insert(socket.captured(1));
        if (target.startsWith("/dev/") && target != "/dev/null" && !target.startsWith("/dev/pts") &&
            target != "/dev/urandom" && target != "/dev/random")
            devices->append(target);
    }
}

// Ports this process listens on (IPv4 and IPv6).
QList<int> listeningPorts() {
    QSet<QString> inodes;
    QStringList devices;
    openFiles(&inodes, &devices);
    QList<int> ports;
    for (const char* table : {"/proc/net/tcp", "/proc/net/tcp6"}) {
        QFile file(table);
        if (!file.open(QIODevice::ReadOnly)) continue;
        file.readLine();
        while (!file.atEnd()) {
            const QStringList f =
                QString::fromLatin1(file.readLine()).split(' ', Qt::SkipEmptyParts);
            if (f.size() < 10 || f.at(3) != "0A") continue;  // 0A: listening
            if (!inodes.contains(f.at(9))) continue;
            ports << f.at(1).section(':', -1).toInt(nullptr, 16);
        }
    }
    return ports;
}

// The operation records written so far.
QStringList records() {
    QStringList texts;
    if (!QFile::exists("RECORD.db")) return texts;
    storage::SqliteConnection db("RECORD.db");
    QSqlQuery query("SELECT remarks FROM RECORD", db.database());
    while (query.next()) texts << query.value(0).toString();
    return texts;
}

class Startup : public ::testing::Test {
protected:
    void SetUp() override {
        apptest::installFactoryFiles();
        QDir().mkpath("cnt_net");
        QFile config("cnt_net/config.json");
        ASSERT_TRUE(config.open(QIODevice::WriteOnly));
        config.write(R"({"devicename":"press 7"})");
        config.close();
        recorder().clear();
    }
    void TearDown() override {
        delete gpWin;
        // The splash screen goes by deleteLater, which only an event loop carries out; a test
        // that started without finishing leaves it up.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        delete g_splashframe;
        g_splashframe = nullptr;
        qunsetenv("QT_QPA_PLATFORM_PLUGIN_PATH");
    }
    testsupport::WorkDir dir;
    dialogs::ScopedAnswerer answers{{}, QDialog::Accepted};
};

}  // namespace

TEST_F(Startup, OffThePanelEnvironmentWaitsForNetworkAndCameras) {
    qunsetenv("QT_QPA_PLATFORM_PLUGIN_PATH");
    StartupSequence::prepareProcess();
    StartupSequence startup;
    ASSERT_TRUE(startup.run());
    startup.finish();

    EXPECT_EQ(percents(startup), (QVector<int>{0,  6,  7,  8,  9,  10, 15, 18, 21, 23, 26,
                                               29, 31, 34, 37, 39, 42, 50, 60, 90, 100}));
    EXPECT_EQ(startup.splashSteps().at(1).second, QString("配置网卡中..."));
    EXPECT_EQ(startup.splashSteps().at(6).second, QString("等待相机开启..."));
    EXPECT_EQ(startup.splashSteps().last().second, lan(652));

    // The order of what the program asked of the machine.
    QStringList programs = recorder().programs();
    programs.removeAll("sleep");
    ASSERT_GE(programs.size(), 4);
    EXPECT_EQ(programs.mid(0, 3), (QStringList{"iopl", "open", "python3"}));
    EXPECT_EQ(programs.last(), "notify-send");
    EXPECT_EQ(recorder().recorded().at(1).program, "/dev/led");
    EXPECT_EQ(recorder().programs().count("sleep"), 15);
    const auto actions = recorder().recorded();
    for (const auto& a : actions)
        if (a.program == "python3") EXPECT_EQ(a.args, QStringList{"./cnt_net/zem_upnetcard.py"});

    // The version file keeps its other keys.
    QFile config("cnt_net/config.json");
    ASSERT_TRUE(config.open(QIODevice::ReadOnly));
    const QJsonObject o = QJsonDocument::fromJson(config.readAll()).object();
    EXPECT_EQ(o.value("devicename").toString(), "press 7");
    EXPECT_EQ(o.value("version").toString(), "18.12.1.45");
    EXPECT_EQ(o.value("camcount").toInt(-1), 0);
    EXPECT_TRUE(gpWin->isVisible());
    EXPECT_TRUE(records().contains(lan(150).arg(0))) << "the system ready";
}

TEST_F(Startup, DeployedEnvironmentSkipsTheWaitsAndLogsTheStart) {
    qputenv("QT_QPA_PLATFORM_PLUGIN_PATH", "/opt/Qt5.15.7/plugins/platforms");
    EXPECT_TRUE(isOpen_Env());
    LogManager::getInstance();  // so that run() keeps our handler
    const QtMessageHandler previous = qInstallMessageHandler(collectInfo);
    StartupSequence startup;
    const bool started = startup.run();
    qInstallMessageHandler(previous);
    ASSERT_TRUE(started);
    EXPECT_TRUE(infoLines().contains(
        "main.cpp: *********************** application 18.12.1.45 ***********************"))
        << infoLines().join('\n').toStdString();
    EXPECT_EQ(percents(startup), (QVector<int>{0, 50, 60, 90, 100}));
    EXPECT_FALSE(recorder().ran("python3"));
    EXPECT_EQ(recorder().programs().count("sleep"), 0);
    qputenv("QT_QPA_PLATFORM_PLUGIN_PATH", "/opt/Qt5.15.7/plugins/platformsX");
    EXPECT_FALSE(isOpen_Env());
}

// The X server that stops before the program (a panel's shutdown) must not end it by a signal
// before its stop has run: the write fails instead. A program the panel starts gets the
// default back.
TEST_F(Startup, AWriteToAClosedConnectionFailsInsteadOfEndingTheProcess) {
    StartupSequence::prepareProcess();
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    ::close(ends[0]);
    EXPECT_EQ(::write(ends[1], "x", 1), -1);
    EXPECT_EQ(errno, EPIPE);
    ::close(ends[1]);
    QProcess child;
    child.start("sh", {"-c", "kill -PIPE $$; echo survived"});
    ASSERT_TRUE(child.waitForFinished(10000));
    EXPECT_EQ(child.exitStatus(), QProcess::CrashExit);
    EXPECT_TRUE(child.readAllStandardOutput().isEmpty());
}

TEST_F(Startup, TouchesNoDeviceAndBindsNoPanelPort) {
    StartupSequence startup;
    ASSERT_TRUE(startup.run());
    QSet<QString> inodes;
    QStringList devices;
    openFiles(&inodes, &devices);
    EXPECT_TRUE(devices.isEmpty()) << devices.join(", ").toStdString();
    for (int port : listeningPorts()) {
        EXPECT_GE(port, 1024) << "privileged port " << port;
        EXPECT_NE(port, 10100);
    }
    EXPECT_FALSE(sys::actions().isReal());

    // The window takes along what it started: the IO thread (which reads the system seam, gone
    // at the end of the process), the statistics and the settings.
    delete gpWin;
    EXPECT_EQ(gpControlIO, nullptr);
    EXPECT_EQ(gpResStatisticsParam, nullptr);
    EXPECT_EQ(gpWPara, nullptr);
}

// Temporary files of writes a power loss cut short, in the folders the program writes in, go
// at the start; anything merely named like them stays.
TEST_F(Startup, RemovesTheTemporaryFilesOfWritesCutShortAndNothingElse) {
    const struct {
        const char* path;
        bool removed;
    } files[] = {
        {"cnt_net/workspace/.count.ini.Ab3dE9", true},
        {".PARAM.db.x7Yz0Q", true},
        {"RECORD.db.building", true},
        {"RECORD.db.building-journal", true},
        {"cammer12/.template3.bmp.Qw12Er", true},
        {"paraGroup/shift b/cammer11/.ignorepoint.bmp.a1B2c3", true},
        {"alarmimage/camera1/detect2/NG/.20240521-101502.jpg.ZZzz99", true},
        {"ResStatistics/.2024-05-01.db.k9K9k9", true},
        {"cnt_net/workspace/count.ini.Ab3dE9", false},
        {"notes.Ab3dE9", false},
        {".notes.Ab3dE9", false},
        {".count.ini.Ab3dE", false},
        {".count.ini.Ab3dE9x", false},
        {".count.ini.Ab-dE9", false},
        {"images/.logo.bmp.Ab3dE9", false},
        {"alarmimage/camera1/detect2/NG/old/.x.jpg.Ab3dE9", false},
        {".staging-cammer11/template0.bmp", true},
        {"paraGroup/.staging-shift c/cammer11/template0.bmp", true},
        {"paraGroup/.retired-shift b/PARAM.db", true},
        {"paraGroup/.retired-shift d/PARAM.db", false},
        {"paraGroup/.staging-shift d/PARAM.db", false},
    };
    for (const auto& f : files) {
        QDir().mkpath(QFileInfo(f.path).path());
        QFile file(f.path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << f.path;
    }
    StartupSequence startup;
    ASSERT_TRUE(startup.run());
    for (const auto& f : files) EXPECT_NE(QFileInfo::exists(f.path), f.removed) << f.path;
}

// A warning that comes up while the window is built (the splash lets events through) is above
// the full-screen window once that is up: shown before it and not raised, it would lie under it
// without a window manager, a modal box taking every touch unseen.
TEST_F(Startup, AWarningShownWhileTheWindowIsBuiltIsAboveItOnceItIsUp) {
    // Windows as they are put on the screen or brought up.
    struct Stacking : QObject {
        QObjectList raised;
        bool eventFilter(QObject* o, QEvent* e) override {
            if (e->type() == QEvent::Show || e->type() == QEvent::ZOrderChange) raised << o;
            return false;
        }
    } stacking;
    // The simulated-camera question is confirmed and SN.db takes no write: the failure is told
    // while the window is still being built.
    ASSERT_TRUE(camera::SerialNumberStore::createDefaultDatabase("SN.db"));
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "refuse");
        db.setDatabaseName("SN.db");
        ASSERT_TRUE(db.open());
        ASSERT_TRUE(
            QSqlQuery(db).exec("CREATE TRIGGER refuse BEFORE UPDATE ON sysparam BEGIN "
                               "SELECT RAISE(ABORT, 'refused'); END"));
    }
    QSqlDatabase::removeDatabase("refuse");
    qApp->installEventFilter(&stacking);
    StartupSequence startup;
    const bool started = startup.run();
    qApp->removeEventFilter(&stacking);
    ASSERT_TRUE(started);
    ASSERT_TRUE(gpWarnBox->isVisible());
    EXPECT_GT(stacking.raised.lastIndexOf(gpWarnBox), stacking.raised.indexOf(gpWin));
}

// A stop (Ctrl+C, the service manager's SIGTERM) during the start ends it there: during the
// waits before the window is made, at the start's first warning once the window is made. The
// monitor is never announced as started, and the monitoring link and the IO board do not start.
TEST_F(Startup, AStopDuringTheStartEndsItWithNothingAnnounced) {
    const auto warning = [](QDialog* box) { return box == gpWarnBox; };
    const auto cameraQuestion = [](QDialog* box) {
        return box->property("text").toString() == lan(134);
    };
    const struct {
        const char* when;
        int signalNumber;
        int atSleep;  // the wait's step the signal comes in; 0: at the box `at`
        bool windowMade;
        std::function<bool(QDialog*)> at;
        bool withoutParameters;
    } rows[] = {
        {"network wait", SIGINT, 2, false, {}, false},
        {"camera wait", SIGTERM, 9, false, {}, false},
        {"parameter file warning", SIGINT, 0, true, warning, true},
        {"camera question", SIGTERM, 0, true, cameraQuestion, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.when);
        testsupport::WorkDir work;
        apptest::installFactoryFiles();
        if (row.withoutParameters) ASSERT_TRUE(QFile::remove("PARAM.db"));
        recorder().clear();
        int sleeps = 0;
        recorder().setDuringSleep([&] {
            if (++sleeps == row.atSleep) ::kill(::getpid(), row.signalNumber);
        });
        // The stop reaches a box through its own event loop; an answered box has none.
        dialogs::ScopedAnswerer atWarning([&](QDialog* box) {
            if (row.atSleep != 0 || !row.at(box)) return int(QDialog::Accepted);
            ::kill(::getpid(), row.signalNumber);
            QCoreApplication::processEvents();
            return int(QDialog::Rejected);
        });
        bool started;
        {
            StartupSequence startup;
            started = startup.run();
            startup.finish();
            EXPECT_TRUE(startup.stopRequested());
        }
        recorder().setDuringSleep({});
        EXPECT_FALSE(started);
        EXPECT_FALSE(recorder().ran("notify-send"));
        EXPECT_FALSE(recorder().ran("reboot"));
        if (row.atSleep) EXPECT_EQ(sleeps, row.atSleep) << "the waits end at the stop";
        ASSERT_EQ(gpWin != nullptr, row.windowMade);
        if (gpWin) {
            EXPECT_FALSE(gpWin->isVisible());
            EXPECT_FALSE(gpControlIO->ioThread);
        }
        EXPECT_FALSE(records().contains(lan(150).arg(0))) << "no system ready recorded";
        EXPECT_FALSE(QFile::exists("cnt_net/config.json")) << "no version file written";
        TearDown();
    }
}

// A stop that comes before anything can take it (the first moments of the program) waits, held
// back, and is taken as soon as the stop signals are taken over.
TEST(StopSignals, AStopHeldBackUntilTheyAreTakenOverIsTakenThen) {
    StopSignals::holdBack();
    // To this thread alone: held back here, it must not reach another thread of the test.
    ASSERT_EQ(::pthread_kill(::pthread_self(), SIGINT), 0);
    StopSignals stop;
    ASSERT_TRUE(stop.isActive());
    stop.takePending();
    EXPECT_TRUE(stop.stopRequested());
}

// The service manager's stop and Ctrl-C end the event loop, so the program shuts down as when
// the window is closed; glog's crash handler, installed first, would report a crash instead.
TEST(StopSignals, EndTheEventLoopInsteadOfTheProcess) {
    testsupport::WorkDir dir;
    LogManager::getInstance();
    for (const int signalNumber : {SIGTERM, SIGINT}) {
        StopSignals stop;
        ASSERT_TRUE(stop.isActive());
        QObject::connect(&stop, &StopSignals::sigStop, qApp, &QCoreApplication::quit);
        QTimer::singleShot(0, [signalNumber] { ::kill(::getpid(), signalNumber); });
        QTimer guard;
        guard.callOnTimeout([] { QCoreApplication::exit(1); });
        guard.start(5000);
        EXPECT_EQ(QCoreApplication::exec(), 0) << signalNumber;
        EXPECT_TRUE(stop.stopRequested());
        EXPECT_FALSE(StopSignals().isActive()) << "one owner at a time";
    }
}
