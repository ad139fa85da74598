#include "startup.h"

#include <fcntl.h>
#include <signal.h>

#include <QApplication>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QMetaType>
#include <QMutex>
#include <QPixmap>
#include <QTextCodec>
#include <QThread>
#include <atomic>
#include <cstdlib>

#include "commandline.h"
#include "controlport.h"
#include "deraRazovi.h"
#include "failimagelimits.h"
#include "globals.h"
#include "languagetable.h"
#include "leftovers.h"
#include "logmanager.h"
#include "mallocpolicy.h"
#include "mapplication.h"
#include "mon_netmn.h"
#include "paramgroups.h"
#include "question.h"
#include "resstatisticsparam.h"
#include "savefialimagethread.h"
#include "splashframe.h"
#include "systemactions.h"
#include "uifont.h"
#include "versionfile.h"

namespace {
const char* const kDeployedPlatformPath = "/opt/Qt5.15.7/plugins/platforms";
const char* const kEntryPointSource = "main.cpp";
constexpr int kEntryLoadOtherPlugins = 651;
constexpr int kEntryComplete = 652;
constexpr int kNetworkWaitSteps = 5;
constexpr int kCameraWaitSteps = 10;
constexpr int kWaitStepMs = 1000;

// The folders the program replaces files in, with how many levels below each: the working
// folder, the network folder and its workspace, the templates of every camera and step, the
// record and statistics archives, the parameter groups (each with its template folders) and
// the pictures ("alarmimage/camera1/detect1/NG", "originalimage/cammer11").
struct WrittenFolder {
    const char* path;  // "*" only in the last part
    int depth;
};
constexpr WrittenFolder kWrittenFolders[] = {
    {".", 0},         {"cnt_net", 0},    {"cnt_net/workspace", 0},
    {"cammer*", 0},   {"RECORD", 0},     {"ResStatistics", 0},
    {"paraGroup", 2}, {"alarmimage", 3}, {"originalimage", 1}};

// Before anything writes: a power loss or a kill in the middle of a write leaves its
// temporary file, and on a panel that loses power often they would fill the disk.
void removeLeftoverTemporaries() {
    for (const WrittenFolder& f : kWrittenFolders) {
        const QString path = QString::fromLatin1(f.path);
        const QFileInfo where(path);
        const QStringList matched =
            where.fileName().contains(QLatin1Char('*'))
                ? where.dir().entryList({where.fileName()},
                                        QDir::Dirs | QDir::NoDotAndDotDot | QDir::NoSymLinks)
                : QStringList{where.fileName()};
        for (const QString& name : matched)
            storage::removeLeftoverTemporaries(QDir::cleanPath(where.dir().filePath(name)),
                                               f.depth);
    }
    // The copies of whole template folders a group backup or restore makes first.
    ParamGroups().removeLeftovers();
}

// Set from the window's making until the event loop ends: the time the process can end from
// inside an event loop, without the loop's end, when the platform plug-in loses its X
// connection (the screen server stopped before the program, as a panel's shutdown does) and
// calls exit.
std::atomic<bool> gStopOnProcessExit{false};

void stopOnProcessExit() {
    // Only the GUI thread owns the window and the statistics; a worker that ends the process
    // must not touch them while that thread runs on.
    if (!qApp || QThread::currentThread() != qApp->thread()) return;
    if (!gStopOnProcessExit.exchange(false)) return;
    qWarning("the process ends inside the event loop (its display lost?): the program stops first");
    stopBeforeWindowGoes();
}

void armStopOnProcessExit() {
    // Registered once everything the stop uses exists (the window made its databases, threads
    // and statistics), so that it runs before their statics go.
    static const bool exitHookSet = std::atexit(stopOnProcessExit) == 0;
    if (!exitHookSet) qWarning("no process-exit hook: a lost display ends the program unsaved");
    gStopOnProcessExit = true;
}

// Questions and warnings that came up while the window was built (the splash and the start's
// own questions let events through, a failed write among them) were put on the screen before
// it. Without a window manager the full-screen window now covers them, and a modal one would
// take every touch unseen.
void raiseWarningsShownMeanwhile() {
    for (QWidget* window : QApplication::topLevelWidgets())
        if (window != gpWin && window != g_splashframe && window->isVisible()) window->raise();
}

// A write to a connection its other end closed (the X server stopped before the program, as a
// panel's shutdown does, or a network client gone) fails with EPIPE instead of ending the
// process before its stop has run. A handler rather than ignoring the signal: the programs
// the panel starts get the default back.
void onBrokenPipe(int) {}

void keepWritesToClosedConnectionsFromEndingTheProcess() {
    struct sigaction action {};
    action.sa_handler = &onBrokenPipe;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGPIPE, &action, nullptr);
}

void describeCommandLine(QCommandLineParser& parser) {
    parser.setApplicationDescription(QStringLiteral(
        "The mould monitor: watches the open mould through its cameras, judges every cycle and\n"
        "drives the machine's outputs. It keeps its files in the folder it is started in (laid\n"
        "out from the factory defaults on the first start); the README names the variables that\n"
        "choose the panel, the IO board and the ports.\n"
        "Besides the options below it takes only those of Qt's application object, for example\n"
        "-platform NAME (xcb, offscreen), -display :N, -geometry WxH+X+Y, -style NAME."));
}

// A start after an earlier one (tests start the program in one process many times) replaces
// the pictures that start loaded.
void loadPixmap(QPixmap*& slot, const char* path) {
    delete slot;
    slot = new QPixmap(QString::fromLatin1(path));
}
}  // namespace

bool isOpen_Env() {
    // The environment is read directly instead of through a shell; the answer is the same.
    const QString path = qEnvironmentVariable("QT_QPA_PLATFORM_PLUGIN_PATH");
    return path.split('\n').value(0) == QLatin1String(kDeployedPlatformPath);
}

void StartupSequence::prepareProcess() {
    QFile version(QStringLiteral("/proc/version"));
    if (version.open(QIODevice::ReadOnly)) {
        const QByteArray text = version.readAll();
        linux_kernel_proc_version = QString::fromUtf8(text.left(text.indexOf('\0')));
    }
    registerStatisticsMetaTypes();
    qRegisterMetaType<QPair<QString, QString>>("QPair<QString, QString>");
    sys::actions().iopl(3);
    gfLED = sys::actions().openDevice(QStringLiteral("/dev/led"), O_RDWR);
    keepWritesToClosedConnectionsFromEndingTheProcess();
}

void StartupSequence::step(int percent, const QString& text) {
    steps_.append({percent, text});
    if (g_splashframe) g_splashframe->flushstep(percent, text);
}

void StartupSequence::waitForNetworkAndCameras() {
    sys::actions().startDetached(QStringLiteral("python3"),
                                 {QStringLiteral("./cnt_net/zem_upnetcard.py")});
    // A stop ends the waits at their next step: on the panel they last 15 s.
    int percent = 5;
    for (int i = 0; i < kNetworkWaitSteps && !stopRequested(); ++i) {
        sys::actions().sleepMs(kWaitStepMs);
        step(++percent, QStringLiteral("配置网卡中..."));
    }
    if (stopRequested()) return;
    percent = 15;
    step(percent, QStringLiteral("等待相机开启..."));
    for (int i = 1; i <= kCameraWaitSteps && !stopRequested(); ++i) {
        sys::actions().sleepMs(kWaitStepMs);
        percent += 2 + (i % 3 != 0 ? 1 : 0);
        step(percent, QStringLiteral("等待相机开启..."));
    }
}

void StartupSequence::loadPixmaps() {
    loadPixmap(gpPixmapLogo, "./images/logo.bmp");
    loadPixmap(gpPixmapBG, "./images/background.png");
    loadPixmap(gpPixmapTitle, "./images/title.png");
    loadPixmap(gpPixmapLine, "./images/line.png");
    loadPixmap(gpPixmapEdit, "./images/edit.png");
    loadPixmap(gpPixmapSlideru, "./images/slideru.png");
    loadPixmap(gpPixmapSliderd, "./images/sliderd.png");
    loadPixmap(gpPixmapSlidert, "./images/slidert.png");
    loadPixmap(gpPixmapButton[0], "./images/buttonu.png");
    loadPixmap(gpPixmapButton[1], "./images/buttond.png");
    loadPixmap(gpPixmapOUT[0], "./images/OUT1.png");
    loadPixmap(gpPixmapOUT[1], "./images/OUT0.png");
    const char* const moves[7] = {"./images/Origin.png",        "./images/MoveUp.png",
                                  "./images/MoveDown.png",      "./images/MoveLeft.png",
                                  "./images/MoveRight.png",     "./images/EnlargeScale.png",
                                  "./images/ReductionScale.png"};
    for (int i = 0; i < 7; ++i) loadPixmap(gpPixmapMove[i], moves[i]);
}

bool StartupSequence::run() {
    started_ = false;
    dialogs::resumeAsking();
    g_splashframe = new SplashFrame;
    step(0, QStringLiteral("启动..."));
    QTextCodec::setCodecForLocale(QTextCodec::codecForName("UTF-8"));
    if (!LogManager::__instance) LogManager::__instance = new LogManager(nullptr);
    // After the logger: its crash handler must not take the stop signals.
    if (!stopSignals_) {
        stopSignals_ = std::make_unique<StopSignals>();
        // The boxes first: a box whose modal loop the quit ends must not wait again.
        QObject::connect(stopSignals_.get(), &StopSignals::sigStop, QCoreApplication::instance(),
                         [] { dialogs::stopAll(); });
        QObject::connect(stopSignals_.get(), &StopSignals::sigStop, QCoreApplication::instance(),
                         &QCoreApplication::quit);
    }
    removeLeftoverTemporaries();
    if (!isOpen_Env()) waitForNetworkAndCameras();
    if (stopRequested()) return endedByStop("while it waited for the network and the cameras");
    step(50, QStringLiteral("相机等待完毕..."));
    // Service staff find the start of every run under the entry point's file name.
    QMessageLogger(kEntryPointSource, __LINE__, Q_FUNC_INFO).info().noquote()
        << "*********************** application" << kProgramVersion << "***********************";
    if (!pMutexIO) pMutexIO = new QMutex;
    if (!pMutexSaveFail) pMutexSaveFail = new QMutex;
    fillLanguageTable();
    loadPixmaps();
    step(60, QStringLiteral("加载应用程序..."));
    gpWin = new DeRaRazovi(nullptr);
    if (onWindowMade) onWindowMade();
    // Stopped at one of the window's questions or while it was built: the monitoring link and
    // the IO board are not started only to be stopped.
    if (stopRequested()) return endedByStop("while the window was built");
    step(90, lan(kEntryLoadOtherPlugins));
    writeVersionToJson();
    MON_NETMN::getInstance()->InitStart();
    gpControlIO->InitIOThread(gpWin);
    gpWin->showFullScreen();
    raiseWarningsShownMeanwhile();
    step(100, lan(kEntryComplete));
    // The splash's last step lets events through: a stop taken there ends the start as well.
    if (stopRequested()) return endedByStop("as the window came up");
    gpWin->recordSystemReady();
    started_ = true;
    return started_;
}

bool StartupSequence::endedByStop(const char* when) {
    qInfo("the program was stopped %s: the start ends here", when);
    return false;
}

bool StartupSequence::stopRequested() {
    if (!stopSignals_) return false;
    stopSignals_->takePending();
    return stopSignals_->stopRequested();
}

void StartupSequence::finish() {
    if (g_splashframe) {
        if (gpWin) g_splashframe->finish(gpWin);
        g_splashframe->deleteLater();
        g_splashframe = nullptr;
    }
    // Only a start that went through is announced, and not when a stop came meanwhile.
    if (!started_ || stopRequested()) return;
    sys::actions().run(QStringLiteral("notify-send"), {QStringLiteral("监视器已开启")}, 5000);
}

void stopBeforeWindowGoes() {
    // The IO thread feeds the cycles and reads what the window set up: it ends first.
    if (gpControlIO) gpControlIO->StopIOThread();
    if (!gpWin) return;
    // The fail pictures still marked are written meanwhile, in the saver's own thread: a
    // program whose display went ends without the window's end, and that end does not wait
    // for them either.
    const QDeadlineTimer picturesBy(failimage::kStopWriteLimitMs);
    if (gpSaveFialImageThread) gpSaveFialImageThread->finish(picturesBy);
    gpWin->SaveStatisticsBeforeStop();
    // Records and counts that waited for the disk, and counts of a cycle not yet ended, get
    // their last try: the window's end tries them too, but a program whose display went ends
    // without it.
    gpWin->SlotCheckDate();
    gpWin->saveUnsavedCounters();
    if (gpSaveFialImageThread && !gpSaveFialImageThread->wait(picturesBy))
        qWarning() << "fail pictures: not all were written within" << failimage::kStopWriteLimitMs
                   << "ms before the stop";
}

int runApplication(int argc, char** argv) {
    // Asked for its usage the program starts nothing, and needs no screen for the answer.
    if (cli::asksForHelp(argc, argv)) {
        QCoreApplication usage(argc, argv);
        QCommandLineParser parser;
        describeCommandLine(parser);
        return cli::read(parser);
    }
    // Held until the start can take it: a stop in the first moments of the start then ends it
    // like a later one, with status 0.
    StopSignals::holdBack();
    const bool mallocSet = app::applyMallocPolicy();
    sys::setActions(sys::chooseFromEnvironment());
    // Everything is painted by the raster engine; on X the platform would otherwise load the
    // system's GL driver at start (with a software renderer some 45 MB) for nothing.
    if (!qEnvironmentVariableIsSet("QT_XCB_GL_INTEGRATION"))
        qputenv("QT_XCB_GL_INTEGRATION", QByteArrayLiteral("none"));
    if (!MApplication::_instance) new MApplication(argc, argv);
    {
        // Qt's application object took its own options (-platform, -display, ...); anything
        // left is nothing the program knows.
        QCommandLineParser parser;
        describeCommandLine(parser);
        const int status = cli::read(parser);
        if (status != cli::kGoOn) {
            delete MApplication::_instance;
            return status;
        }
    }
    // Only a command line the program takes gets the machine touched (I/O privilege, LED).
    StartupSequence::prepareProcess();
    // The language is not known before the parameters load; the window chooses again then.
    applyUiFont(*MApplication::_instance, gLan, UiFontLog::Quiet);
    if (!mallocSet) qWarning() << "the allocator settings were refused; memory may grow";
    StartupSequence startup;
    startup.onWindowMade = armStopOnProcessExit;
    startup.run();
    startup.finish();
    const int result = startup.stopRequested() ? 0 : QApplication::exec();
    gStopOnProcessExit = false;
    // The event loop ends when the window is closed off the panel or a stop signal comes.
    stopBeforeWindowGoes();
    delete gpWin;
    return result;
}
