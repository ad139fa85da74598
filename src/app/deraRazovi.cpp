#include "deraRazovi.h"

#include <QApplication>
#include <QDateTime>
#include <QDebug>
#include <QDesktopWidget>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMutexLocker>
#include <QPointer>
#include <QScreen>
#include <QSettings>
#include <QTextStream>
#include <QTimer>

#include "cameramanager.h"
#include "cammerwidget.h"
#include "choosebox.h"
#include "colorbutton.h"
#include "controlport.h"
#include "counterstore.h"
#include "customionamewidget.h"
#include "devicehelpers.h"
#include "dialogseam.h"
#include "drawroiwidget.h"
#include "editpagewindowhost.h"
#include "floatslider.h"
#include "hardwareconfigurationwidget.h"
#include "helpwidget.h"
#include "httpapilimits.h"
#include "httpapiserver.h"
#include "indexbutton.h"
#include "iostatuswidget.h"
#include "keypadkeeper.h"
#include "lostcamerawarnbox.h"
#include "modbusdatasource.h"
#include "modbusserver.h"
#include "mon_netmn.h"
#include "numberinput.h"
#include "numcharinput.h"
#include "operationlog.h"
#include "paramlimits.h"
#include "passwordbox.h"
#include "productalarmwarnbox.h"
#include "question.h"
#include "recordlimits.h"
#include "resstatisticsparam.h"
#include "savefialimagethread.h"
#include "settingswindowhost.h"
#include "splashframe.h"
#include "sqlitefiles.h"
#include "statisticsconstants.h"
#include "statisticswidget.h"
#include "systemactions.h"
#include "uifont.h"
#include "warnbox.h"
#include "widgetchangecamera.h"
#include "wizardpara.h"
#include "wizardparastore.h"
#include "wizardparawidget.h"
#include "writefailurenotice.h"
#include "writewatch.h"

namespace {
constexpr int kRunPollMs = 5;
constexpr int kTempeIntervalMs = 600000;
constexpr int kTempe1IntervalMs = 10000;
constexpr int kTempCheckIntervalMs = 5000;
constexpr int kCheckDateIntervalMs = 60000;
constexpr int kFpsIntervalMs = 1000;
constexpr int kZoomMin = 100;
constexpr int kZoomMax = 500;
constexpr int kZoomScale = 100;
constexpr int kEntryParamFileError = 160;
constexpr int kEntryDatabaseFailed = 135;
constexpr int kEntryRegionFileError = 1;
constexpr int kEntryFindCamera = 649;
constexpr int kEntryLoadInterface = 650;
constexpr int kEntrySystemReady = 150;
constexpr int kEntryModeName = 384;
constexpr int kEntryMultiDet = 472;
constexpr int kEntryAdvanced = 154;
constexpr int kEntryPrimary = 155;
constexpr int kEntryUnlogged = 156;

const char* const kLabelStyle = "QLabel{outline:0px;border:none;font-size:25px;color:#00FF00;}";
const char* const kExportStyle = "QLabel{outline:0px;border:none;font-size:25px;color:#ff9900;}";

void splash(int percent, const QString& text) {
    if (g_splashframe) g_splashframe->flushstep(percent, text);
}

// English text of an entry, whatever the language (used before the parameters are loaded).
qint64 nowInTenths() {
    return sys::actions().nowMSecsSinceEpoch() / 100;
}
}  // namespace

DeRaRazovi::DeRaRazovi(QWidget* parent) : QWidget(parent) {
    splash(71, QStringLiteral("加载界面中..."));
    gpWin = this;

    LCDOnOff(1);
    setWindowFlags(Qt::CustomizeWindowHint);
    const QRect screen = QApplication::primaryScreen()->geometry();
    gShowW = screen.width();
    gShowH = screen.height();
    setFixedSize(gShowW, gShowH);
    MON_NETMN::getInstance()->setMonitoredWindow(
        {this, [this] { return detectState; }, [this] { return resultState; }});

    const QString workspace = QDir::currentPath() + QStringLiteral("/cnt_net/workspace/");
    QDir().mkpath(workspace);
    countSettings = new QSettings(workspace + QStringLiteral("count.ini"), QSettings::IniFormat,
                                  QCoreApplication::instance());
    counterStore_ = std::make_unique<CounterStore>(workspace + QStringLiteral("count.ini"));
    writeWatch_ = new storage::WriteWatch(this);
    // Queued: a failure during construction is shown once the window is up, not hidden with
    // the shared box at the end of construction.
    connect(writeWatch_, &storage::WriteWatch::sigWriteFailed, this, &DeRaRazovi::showWriteFailure,
            Qt::QueuedConnection);

    modbusServer = QSharedPointer<ModbusServer>::create();
    modbusServer->globalsSource()->setStateReader([this] {
        return ModbusMachineState{detectState, resultState, curDetect};
    });
    modbusServer->globalsSource()->setCounterSaver([this] { CountWrite(); });
    // Masters are served from here on; the counts are read much later in the start.
    modbusServer->globalsSource()->setCountsRead([this] { return savedCounters_.has_value(); });
    httpApiServer = QSharedPointer<HttpApiServer>::create();
    httpApiServer->setStateReader([this] {
        return httpapi::MachineState{detectState, resultState, curDetect};
    });
    httpApiServer->startReactor(
        QHostAddress::Any, sys::actions().servicePort(sys::Service::HttpApi, httpapi::kPanelPort),
        Qt::AutoConnection);

    gpWPara = nullptr;
    gisTempAlarm = false;

    logoutTimer = new QTimer(this);
    connect(logoutTimer, &QTimer::timeout, this, &DeRaRazovi::TimerLogout);
    lcdTimer = new QTimer(this);
    connect(lcdTimer, &QTimer::timeout, this, &DeRaRazovi::TimerLCD);
    for (int i = 0; i < kMaxDetections; ++i) {
        inputCheckTimer[i] = new QTimer(this);
        connect(inputCheckTimer[i], &QTimer::timeout, this, [this, i] {
            inputCheckTimer[i]->stop();
            CheckInput(i);
        });
    }

    splash(75, QStringLiteral("加载数据..."));
    // Until the parameters are read the program speaks the language it will use without them,
    // the factory one: a box about a missing parameter file speaks it in text and buttons.
    gLan = params::kFactoryLanguage;
    gpWarnBox = new WarnBox(nullptr);
    writeFailureNotice_ = new WriteFailureNotice(*writeWatch_, gpWarnBox, this);
    openDatabases();

    gpWPara = new WizardPara;
    gpWPara->LoadDatafromFile(paramDb);
    if (gpWPara->startSide != params::kKeepSide) curSide = gpWPara->startSide;
    // The language is known now: traditional Chinese and Japanese get their own glyph forms.
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
        applyUiFont(*app, gLan);
    gpWParaBak = new WizardPara;

    if (gpWPara->detectMode != 3) {
        curDetect = gpWPara->detectProdEnable == 1 ? 0 : 1;
        if ((gpWPara->detectMode == 1 || gpWPara->detectMode == 2) && gpWPara->moldSide == 1)
            curDetect += 2;
    } else {
        curDetect = gpWPara->detectProdEnable == 1 ? 0 : 1;
        seqStep = gDNum - 1;
    }
    gTempNum = gpWPara->tempNum;
    gPicNumNG = gpWPara->picNumNG;
    gPicNumOK = gpWPara->picNumOK;
    gisCOM = gpWPara->comPort;
    gisGrayHue = gpWPara->isGrayHue;
    gisColor = gpWPara->isColor;

    CameraManager* cameras = CameraManager::getInstance();
    cameras->loadPlugins();
    // The manager outlives the window.
    cameras->setWriteSink([window = QPointer<DeRaRazovi>(this)](bool written, const QString& file) {
        if (window) window->writeWatch_->report(storage::WriteWatch::CameraSerials, written, file);
    });
    cameras->loadCameraSN();
    cameras->findCameras();
    cameras->sortCamera();

    gpChooseBox = new ChooseBox(nullptr, 750, 370);
    keypadKeeper_ = std::make_unique<KeypadKeeper>(nullptr);
    keypadKeeper_->install();

    gpControlIO = new ControlPort;
    gpControlIO->IOSetOut(0, 1);
    gpControlIO->IOFlashOut();

    splash(80, lan(kEntryFindCamera));
    grayTable = new QVector<QRgb>(256);
    for (int i = 0; i < 256; ++i) (*grayTable)[i] = qRgba(i, i, i, 255);

    createCameraViews();
    // The camera manager outlives the window: what it tells later reaches nothing.
    cameras->setRecordSink([window = QPointer<DeRaRazovi>(this)](const QString& text) {
        if (window) window->InsertRecord(text);
    });
    cameras->setBeforeReboot([window = QPointer<DeRaRazovi>(this)] {
        if (window) window->FLushAll();
    });
    cameras->checkCameraCount();
    curCamera = numCamera == 1 ? 0 : numCamera;

    splash(85, lan(kEntryLoadInterface));
    createFurniture();
    createPages();
    ChangeCammer();
    createFolders();
    createTimers();
    allocateFailImages();

    gpSaveFialImageThread = new SaveFialImageThread;
    for (int c = 0; c < numCamera; ++c)
        if (cammerWidgets[c])
            gpSaveFialImageThread->setFrameSize(
                c, QSize(cammerWidgets[c]->imageW, cammerWidgets[c]->imageH));
    // Pictures that cannot be written are told with the other stores (and not kept).
    connect(gpSaveFialImageThread, &SaveFialImageThread::sigPictureWritten, writeWatch_,
            [this](bool written, const QString& root) {
                writeWatch_->report(storage::WriteWatch::Pictures, written, root);
            });
    gpSaveFialImageThread->start(QThread::InheritPriority);

    recordDir = QDir(QStringLiteral("./RECORD"));
    if (!recordDir.exists()) QDir().mkpath(QStringLiteral("./RECORD"));
    statisticsDir = QDir(QStringLiteral("./ResStatistics"));
    if (!statisticsDir.exists()) QDir().mkpath(QStringLiteral("./ResStatistics"));
    checkDateTimer = new QTimer(this);
    connect(checkDateTimer, &QTimer::timeout, this, &DeRaRazovi::SlotCheckDate);
    connect(checkDateTimer, &QTimer::timeout, this, &DeRaRazovi::saveUnsavedCounters);

    operationLog_->loadRecordDay(sys::actions().now().date());
    recordDay = operationLog_->recordDay();
    SlotCheckDate();

    connectStatistics();

    StartDetect();
    if (gpWPara->cutClampAfterMoldOK && gpWPara->clampPulse > 0) {
        gpControlIO->IOSetOut(0, 1);
        gpControlIO->IOFlashOut();
    }

    std::fill(std::begin(ngOutFlags), std::end(ngOutFlags), 0);
    trigKind = 0;
    manualStep = gDNum;
    installEventFilter(this);
    gpWarnBox->hide();

    runTimer->start(kRunPollMs);
    connect(
        gpControlIO, &ControlPort::sigIOChange, this,
        [this] {
            runTimer->start(1);
            if (ioStatusWidget) ioStatusWidget->update();
        },
        Qt::QueuedConnection);
    checkDateTimer->start(kCheckDateIntervalMs);

    fpsTimer = new QTimer(this);
    connect(fpsTimer, &QTimer::timeout, this, &DeRaRazovi::SlotFPS);
    fpsTimer->start(kFpsIntervalMs);

    cycleTime = 0;
    lastTrigTime = nowInTenths();
    gisRunWTD = 1;
    CountRead();
    if (gpWPara->screenOffTime > 0) lcdTimer->start(gpWPara->screenOffTime * 1000);

    dialogs::adopt(gpWarnBox, this);
    dialogs::adopt(gpChooseBox, this, Qt::CustomizeWindowHint | Qt::WindowStaysOnTopHint);
    dialogs::adopt(gpNumPad, this);
    dialogs::adopt(gpNumCharPad, this);
    dialogs::adopt(gpPasswordBox, this);

    gpLostCameraWarnBox = lostCameraBox_ = new LostCameraWarnBox(nullptr);
    gpProductAlarmWarnBox = new ProductAlarmWarnBox(this);
    gpProductAlarmWarnBox->hide();
    // Every warning box, the shared ones and those a screen makes for itself, lights the screen.
    connect(WarnBox::hub(), &WarnBoxHub::sigAnyShown, this, &DeRaRazovi::wakeScreen);

    delayOutput3Timer = new QTimer(this);
    connect(delayOutput3Timer, &QTimer::timeout, this, &DeRaRazovi::SlotTimerDelayOutput3);
    clearNGAlarmTimer = new QTimer(this);
    clearNGAlarmTimer->setSingleShot(true);
    connect(clearNGAlarmTimer, &QTimer::timeout, this, &DeRaRazovi::SlotClearNGAlarm);
    sysFunc4OutputTimer = new QTimer(this);
    connect(sysFunc4OutputTimer, &QTimer::timeout, this, &DeRaRazovi::OutTimerSysFunc4Output);
}

DeRaRazovi::~DeRaRazovi() {
    // The page reaches the window through its host, which goes before the children do.
    delete drawROIWidget;
    drawROIWidget = nullptr;
    delete wizardParaWidget;
    wizardParaWidget = nullptr;
    // Keypads destroyed with the window must not be replaced by new top-level widgets.
    keypadKeeper_->setShuttingDown(true);
    if (gpSaveFialImageThread) {
        gpSaveFialImageThread->stop();
        gpSaveFialImageThread->wait();
        delete gpSaveFialImageThread;
        gpSaveFialImageThread = nullptr;
    }
    // The IO thread reads the system seam and the globals the window set up: it ends with the
    // window, not after everything else at the end of the process.
    delete gpControlIO;
    gpControlIO = nullptr;
    // The statistics were started by the window and finish their saves before it goes.
    delete gpResStatisticsParam;
    gpResStatisticsParam = nullptr;
    MON_NETMN::getInstance()->setMonitoredWindow({});
    modbusServer.reset();
    httpApiServer.reset();
    delete paraQuery;
    paraQuery = nullptr;
    saveUnsavedCounters();
    // Each connection is let go before it is removed: a removal that still finds it in use is
    // then a real fault, and its warning is not lost among false ones.
    recordDb = QSqlDatabase();
    operationLog_.reset();
    paramDb = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("dbIn"));
    delete grayTable;
    // The settings the window loaded go with it; a next window loads its own.
    delete gpWPara;
    gpWPara = nullptr;
    delete gpWParaBak;
    gpWParaBak = nullptr;
    // The camera-loss box has no parent and asks about this window's cameras: it goes with it.
    if (gpLostCameraWarnBox == lostCameraBox_) gpLostCameraWarnBox = nullptr;
    delete lostCameraBox_;
    if (gpProductAlarmWarnBox && gpProductAlarmWarnBox->parent() == this)
        gpProductAlarmWarnBox = nullptr;
    if (gpWin == this) gpWin = nullptr;
}

// --- construction helpers -------------------------------------------------------------

void DeRaRazovi::openDatabases() {
    openParamDatabase();
    openRecordDatabase();
}

bool DeRaRazovi::openParamDatabase() {
    // The factory parameter group is made from the defaults when it is missing or damaged, so
    // that a lost parameter file can always be restored.
    WizardParaStore::ensureFactoryDatabase();

    const QString file = QLatin1String(params::kParamDatabaseFile);
    const storage::DbCheck check = WizardParaStore::checkDatabase(file);
    bool usable = check.usable();
    dialogs::Answer told = dialogs::Answer::Yes;
    if (check.state == storage::DbState::Missing) {
        // Restored before the operator is told: a file the disk does not take (full,
        // read-only) is no parameter-file error, and it is told with the other files that
        // cannot be written.
        usable = WizardParaStore::restoreWorkingDatabase().restored;
        if (!usable && storage::probeWriteCause(file) != storage::WriteCause::Unknown) {
            writeWatch_->report(storage::WriteWatch::Parameters, false, file);
        } else {
            told = dialogs::notify(lan(kEntryParamFileError), dialogs::Subject::program());
        }
        // A stop asked while the operator read this is a shutdown: it is not turned into a
        // restart (the restored file is read at the next start all the same).
        if (!usable)
            qCritical() << "cannot restore PARAM.db from the factory group; going on without it";
        else if (told != dialogs::Answer::Gone)
            sys::actions().run(QStringLiteral("reboot"), {});
    } else if (!usable) {
        // A damaged file is never read as if it were empty: its regions and settings would be
        // missing without anyone seeing it. It is kept aside and a copy restored; the operator
        // is told either way.
        qCritical().noquote() << "PARAM.db cannot be used:" << check.reason;
        const WizardParaStore::Restore restore = WizardParaStore::restoreWorkingDatabase();
        usable = restore.restored;
        told = dialogs::notify(lan(usable ? kEntryDatabaseFailed : kEntryRegionFileError),
                               dialogs::Subject::program());
        if (usable) {
            qCritical().noquote() << "PARAM.db restored from" << restore.source << "; kept as"
                                  << restore.keptAs;
            if (told != dialogs::Answer::Gone) sys::actions().run(QStringLiteral("reboot"), {});
        } else {
            qCritical() << "PARAM.db cannot be restored; going on without parameters";
        }
    }
    paramDb = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("dbIn"));
    if (usable) {
        paramDb.setDatabaseName(file);
        if (!paramDb.open()) qWarning() << "cannot open PARAM.db";
    } else {
        qWarning() << "running on default parameters without PARAM.db";
    }
    paraQuery = new QSqlQuery(paramDb);
    return usable;
}

void DeRaRazovi::openRecordDatabase() {
    const QString templateFile = QLatin1String(OperationLog::kTemplateFile);
    const QString file = QLatin1String(OperationLog::kDatabaseFile);
    if (!QFile::exists(templateFile)) OperationLog::createEmptyDatabase(templateFile);
    // A damaged log is kept aside and replaced like a missing one.
    const storage::DbCheck check = storage::checkDatabase(file);
    if (!check.usable()) {
        dialogs::Answer told = dialogs::Answer::Yes;
        const bool replaced = storage::installDatabaseCopy(templateFile, file);
        // A missing log the disk does not take is no database that failed to open: it is told
        // with the other files that cannot be written, and its records wait in memory.
        if (!replaced && check.state == storage::DbState::Missing &&
            storage::probeWriteCause(file) != storage::WriteCause::Unknown) {
            writeWatch_->report(storage::WriteWatch::Records, false, file);
        } else {
            told = dialogs::notify(lan(kEntryDatabaseFailed), dialogs::Subject::program());
        }
        // Rebooting without a usable log would only bring the same failure back.
        if (replaced && told != dialogs::Answer::Gone) {
            sys::actions().run(QStringLiteral("sync"), {});
            sys::actions().run(QStringLiteral("reboot"), {});
        }
    }
    operationLog_ = std::make_unique<OperationLog>(QStringLiteral("."));
    recordDb = operationLog_->database();
    // Records that wait for the disk, and a refused rollover, are tried again soon, with the
    // day check that also writes them: a stop a few seconds after the disk has room again
    // must not find them still waiting.
    retryRecordsTimer_ = new QTimer(this);
    retryRecordsTimer_->setInterval(records::kPendingRetryMs);
    connect(retryRecordsTimer_, &QTimer::timeout, this, &DeRaRazovi::SlotCheckDate);
}

void DeRaRazovi::createCameraViews() {
    CameraManager* manager = CameraManager::getInstance();
    QList<_cameraInfo> opened;
    numCamera = 0;
    createViewsFor(manager->cameraList, &opened);
    manager->cameraList = opened;
    qInfo() << "netdbg: found camera count" << numCamera;
    if (numCamera == 0) {
        manager->cameraList.clear();
        manager->findSumulateCameras();
        opened.clear();
        createViewsFor(manager->cameraList, &opened);
        manager->cameraList = opened;
    }
}

int DeRaRazovi::createViewsFor(const QList<_cameraInfo>& cameras, QList<_cameraInfo>* opened) {
    const int n = std::min<int>(cameras.size(), kMaxCameras);
    for (int i = 0; i < n; ++i) {
        auto* view = new CammerWidget(this, numCamera, cameras.at(i), viewHooks());
        if (view->isOpen) {
            cammerWidgets[numCamera] = view;
            opened->append(cameras.at(i));
            ++numCamera;
        } else {
            delete view;
            cammerWidgets[numCamera] = nullptr;
        }
    }
    return numCamera;
}

void DeRaRazovi::createFurniture() {
    const int W = gShowW;
    const int H = gShowH;
    helpButton = new ColorButton(QString(), this, 3);
    helpButton->setGeometry(5, 300, 70, 70);
    helpButton->setIcon(QIcon(QStringLiteral("./images/help.png")));
    helpButton->setIconSize(QSize(70, 70));
    connect(helpButton, &QPushButton::clicked, this, &DeRaRazovi::SlotHelp);

    versionLabel = new QLabel(QStringLiteral("Ver:") + QLatin1String(kProgramVersion), this);
    versionLabel->setGeometry(W - 240, H - 50, 240, 30);
    versionLabel->setStyleSheet(QLatin1String(kLabelStyle));
    versionLabel->setAlignment(Qt::AlignCenter);

    const int mode = gpWPara->detectMode;
    const QString modeName =
        mode == 3 ? lan(kEntryMultiDet) : lan(kEntryModeName + std::max(0, std::min(mode, 2)));
    modeLabel = new QLabel(tr("模式: ") + modeName, this);
    modeLabel->setGeometry(W - 240, H - 85, 240, 30);
    modeLabel->setStyleSheet(QLatin1String(kLabelStyle));
    modeLabel->setAlignment(Qt::AlignCenter);

    exportLabel = new QLabel(this);
    exportLabel->setGeometry(W - 240, H - 120, 240, 30);
    exportLabel->setStyleSheet(QLatin1String(kExportStyle));
    exportLabel->setAlignment(Qt::AlignCenter);
}

void DeRaRazovi::createPages() {
    ioStatusWidget = new IOStatusWidget(this);
    ioStatusWidget->setStateProvider(
        [](int kind, int n) { return gpControlIO && gpControlIO->IOState(kind, n); });
    connect(ioStatusWidget, &IOStatusWidget::sigLogout, this, [this] { loginLevel = Unlogged; });
    indexButton = new IndexButton(this);
    editHost_ = std::make_unique<MainWindowEditHost>(*this);
    drawROIWidget = new DrawROIWidget(this, *editHost_);
    settingsHost_ = std::make_unique<MainWindowSettingsHost>(*this);
    wizardParaWidget = new WizardParaWidget(this, *settingsHost_);
    helpWidget = new HelpWidget(this);
    changeCameraWidget = new WidgetChangeCamera(this);
    customIONameWidget = new CustomIONameWidget(this);

    zoomX = zoomY = 0;
    zoomScale = 1.0f;
    cursorImageX = cursorImageY = 0;
    zoomSlider = new FloatSlider(this);
    zoomSlider->setScale(kZoomScale);
    zoomSlider->setRange(kZoomMin, kZoomMax);
    zoomSlider->setGeometry((gShowW - 1000) / 2, gShowH - 125, 1000, 35);
    connect(zoomSlider, &FloatSlider::updateValue, this, [this](float value) { MScale(value); });

    customIONameWidget->init();
    customIONameWidget->hide();
    hardwareConfigWidget = new HardwareConfigurationWidget(this);
    hardwareConfigWidget->hide();
    gpPasswordBox = new PasswordBox(nullptr);
    helpWidget->hide();
    wizardParaWidget->hide();
    drawROIWidget->hide();
    changeCameraWidget->hide();
}

void DeRaRazovi::createFolders() {
    for (int c = 0; c < numCamera; ++c) {
        for (int d = 0; d < kMaxDetections; ++d) {
            alarmClearState[c][d] = 0;
            detectArmed[d] = 0;
            const QString base = QStringLiteral("%1//camera%2//detect%3//")
                                     .arg(QStringLiteral("./alarmimage"))
                                     .arg(c + 1)
                                     .arg(d + 1);
            failDirs[c][d][0] = QDir(base + QStringLiteral("NG"));
            failDirs[c][d][1] = QDir(base + QStringLiteral("OK"));
            const QStringList folders = {base + QStringLiteral("NG"), base + QStringLiteral("OK"),
                                         QStringLiteral("./cammer%1%2").arg(c + 1).arg(d + 1),
                                         QStringLiteral("%1//cammer%2%3")
                                             .arg(QStringLiteral("./originalimage"))
                                             .arg(c + 1)
                                             .arg(d + 1)};
            for (const QString& folder : folders)
                if (!QDir(folder).exists()) QDir().mkpath(folder);
        }
    }
}

void DeRaRazovi::createTimers() {
    runTimer = new QTimer(this);
    runTimer->setSingleShot(true);
    connect(runTimer, &QTimer::timeout, this, &DeRaRazovi::Run);
    inCheckTimer = new QTimer(this);
    connect(inCheckTimer, &QTimer::timeout, this, &DeRaRazovi::InCheck);
    drawHintTimer = new QTimer(this);
    connect(drawHintTimer, &QTimer::timeout, this, &DeRaRazovi::SlotDrawHint);
    tempeTimer = new QTimer(this);
    connect(tempeTimer, &QTimer::timeout, this, &DeRaRazovi::TimerTempe);
    tempeTimer->start(kTempeIntervalMs);
    tempeCount = 0;
    tempe1Timer = new QTimer(this);
    connect(tempe1Timer, &QTimer::timeout, this, &DeRaRazovi::TimerTempe1);
    tempe1Timer->start(kTempe1IntervalMs);
    for (int k = 0; k < kMaxDetections; ++k) {
        timerUp[k] = new QTimer(this);
        connect(timerUp[k], &QTimer::timeout, this, [this, k] { TimerUp(k); });
    }

    showTimer = new QTimer(this);
    connect(showTimer, &QTimer::timeout, this, &DeRaRazovi::TimerShow);
    outNGTimer = new QTimer(this);
    connect(outNGTimer, &QTimer::timeout, this, &DeRaRazovi::OutTimerOutNG);
    notAllowCloseTimer = new QTimer(this);
    connect(notAllowCloseTimer, &QTimer::timeout, this, &DeRaRazovi::OutTimerNotAllowClose);
    reserveOutputTimer = new QTimer(this);
    connect(reserveOutputTimer, &QTimer::timeout, this, &DeRaRazovi::OutTimerReserveOutput);
    notAllowThimbleTimer = new QTimer(this);
    connect(notAllowThimbleTimer, &QTimer::timeout, this, &DeRaRazovi::OutTimerNotAllowThimble);
    tempCheckTimer = new QTimer(this);
    connect(tempCheckTimer, &QTimer::timeout, this, &DeRaRazovi::CheckTemp);
    tempCheckTimer->start(kTempCheckIntervalMs);
    resetAlarmTimer = new QTimer(this);
    connect(resetAlarmTimer, &QTimer::timeout, this, &DeRaRazovi::SlotResetAlarm);
}

void DeRaRazovi::allocateFailImages() {
    QMutexLocker lock(pMutexSaveFail);
    for (int c = 0; c < numCamera; ++c) {
        frameCount[c] = 0;
        if (!cammerWidgets[c]) continue;
        const size_t bytes = size_t(cammerWidgets[c]->pixelCount) * 4;
        for (int d = 0; d < kMaxDetections; ++d) {
            for (int k = 0; k < 2; ++k) {
                const int slot = (c * 8 + d) * 2 + k;
                free(gpFailImage[slot]);
                gpFailImage[slot] = bytes ? calloc(bytes, 1) : nullptr;
                gisSaveFail[c * 16 + d * 2 + k] = false;
            }
        }
    }
}

void DeRaRazovi::connectStatistics() {
    StatisticsHost host;
    host.detectMode = [] { return gpWPara ? gpWPara->detectMode : 0; };
    host.useStatistics = [] { return gpWPara && gpWPara->useStatistics != 0; };
    host.currentGroupName = [] { return gpWPara ? gpWPara->getCurGroupName() : QString(); };
    host.showWarning = [](const QString& text) {
        dialogs::notify(text, dialogs::Subject::program());
    };
    host.archiveDir = statisticsDir.absolutePath();
    // The statistics outlive the window (a save may finish after it has gone).
    host.storeWritten = [window = QPointer<DeRaRazovi>(this)](bool stored) {
        if (!window) return;
        window->writeWatch_->report(storage::WriteWatch::Statistics, stored,
                                    QString::fromLatin1(stats::kRunningDbFile));
    };
    gpResStatisticsParam = new ResStatisticsParam(host);
    gpResStatisticsParam->setTimer(gpWPara->useStatistics != 0);
    connect(this, SIGNAL(sendRecord(int, int, QList<bool>, QString, bool)), gpResStatisticsParam,
            SLOT(addRecord(int, int, QList<bool>, QString, bool)));
    StatisticsWidget* screen = StatisticsWidget::getInstance(this);
    connect(gpResStatisticsParam, &ResStatisticsParam::sigRecordCounted, screen,
            &StatisticsWidget::checkUpdate);
    connect(gpResStatisticsParam, &ResStatisticsParam::sigDayArchived, screen,
            &StatisticsWidget::updateList);
    connect(screen, SIGNAL(sigUpdateRecord(int, QString)), gpResStatisticsParam,
            SLOT(slotUpdateRecord(int, QString)));
    connect(screen, &StatisticsWidget::sigExportData, this, &DeRaRazovi::SlotExportStart);
    connect(screen, &StatisticsWidget::sigExportDataFinish, this, &DeRaRazovi::SlotExportFinish);
    connect(gpResStatisticsParam, &ResStatisticsParam::sigLoadFinish, screen,
            &StatisticsWidget::slotUpdateRecord);
    connect(screen, &StatisticsWidget::sigExportProgress, this, &DeRaRazovi::SlotExportProgress);

    indexButton->setStatisticsVisible(gpWPara->useStatistics != 0);
    connect(indexButton, &IndexButton::sigShowStatistics, this, [this] {
        StatisticsWidget* shown = StatisticsWidget::getInstance(this);
        shown->show();
        shown->raise();
    });
}

void DeRaRazovi::SaveStatisticsBeforeStop() {
    if (!gpResStatisticsParam) return;
    // One stop takes several roads through here (the settings' command, the flush before the
    // system's command, the end of the event loop); a store that did not answer the first is
    // not waited for on the next, or the frozen screen and the stop would last twice as long.
    if (gpResStatisticsParam->stopSaveOutstanding()) {
        qWarning() << "statistics: the store has not answered the last save before a stop; "
                      "not waited for again";
        return;
    }
    gpResStatisticsParam->saveBeforeStop(stats::kStopSaveWaitMs);
}

// --- export status --------------------------------------------------------------------

void DeRaRazovi::SlotExportStart(QPair<QString, QString>) {
    exportLabel->setText(tr("生产统计导出中"));
}

void DeRaRazovi::SlotExportProgress(int total, int done) {
    if (total <= 0) return;
    exportLabel->setText(tr("生产统计导出中%1%").arg(done * 100 / total));
}

void DeRaRazovi::SlotExportFinish() {
    exportLabel->clear();
}

// --- records and counters -------------------------------------------------------------

QString DeRaRazovi::loginLevelText() const {
    if (loginLevel == Advanced) return lan(kEntryAdvanced);
    if (loginLevel == Primary) return lan(kEntryPrimary);
    return lan(kEntryUnlogged);
}

void DeRaRazovi::recordSystemReady() {
    InsertRecord(lan(kEntrySystemReady).arg(numCamera));
}

void DeRaRazovi::InsertRecord(QString text) {
    const QDateTime now = sys::actions().now();
    const QString time = now.toString(QStringLiteral("hh.mm.ss"));
    const QString level = loginLevelText();
    MON_NETMN::getInstance()->sndRecordOperate(QJsonObject{
        {QStringLiteral("recordtime"), time},
        {QStringLiteral("recordpassword"), level},
        {QStringLiteral("remarks"), text},
    });
    const bool stored = operationLog_->insert(time, level, text, now.date());
    recordDay = operationLog_->recordDay();  // a record after midnight rolls the day over
    // A record on the disk does not take back a rollover the archive refuses: its day waits
    // in RECORD.db beside the old day's rows until the archive takes them apart.
    const bool archived = !operationLog_->rolloverDue();
    writeWatch_->report(storage::WriteWatch::Records, stored && archived,
                        QLatin1String(stored && !archived ? OperationLog::kArchiveFolder
                                                          : OperationLog::kDatabaseFile));
    retryRecordsSoon();
}

bool DeRaRazovi::ClearRecord(const RecordListing& listed) {
    const bool cleared = operationLog_->clear(listed);
    // A deletion RECORD.db took does not take back a rollover the archive refuses: the day
    // before still waits there for it, and the records are not written again yet.
    if (!cleared || !operationLog_->rolloverDue())
        writeWatch_->report(storage::WriteWatch::Records, cleared,
                            QLatin1String(OperationLog::kDatabaseFile));
    return cleared;
}

OperationLog& DeRaRazovi::RecordLog() {
    return *operationLog_;
}

void DeRaRazovi::SlotCheckDate() {
    const QString before = operationLog_->recordDay();
    const bool hadPending = operationLog_->pendingCount() > 0;
    const bool done = operationLog_->checkDate(sys::actions().now().date());
    recordDay = operationLog_->recordDay();
    // Most checks change nothing and say nothing about whether writing works; records that
    // waited for the disk and are written now do.
    if (!done || recordDay != before || hadPending)
        writeWatch_->report(
            storage::WriteWatch::Records, done,
            QLatin1String(operationLog_->pendingCount() > 0 ? OperationLog::kDatabaseFile
                                                            : OperationLog::kArchiveFolder));
    retryRecordsSoon();
}

void DeRaRazovi::saveUnsavedCounters() {
    // Counts are written when a cycle is counted: on an idle machine, or at a stop, those the
    // disk refused, or the steps counted since, would be lost although the disk takes them.
    if (writeWatch_->isFailing(storage::WriteWatch::Counters) ||
        (savedCounters_ && !(ProductionCounters::fromGlobals() == *savedCounters_)))
        CountWrite();
}

void DeRaRazovi::retryRecordsSoon() {
    // Not left to the minute's check: until the day rolls over, the records page shows the old
    // day's rows as today's.
    if (operationLog_->pendingCount() == 0 && !operationLog_->rolloverDue())
        retryRecordsTimer_->stop();
    else if (!retryRecordsTimer_->isActive())
        retryRecordsTimer_->start();
}

void DeRaRazovi::CountRead() {
    savedCounters_ = counterStore_->read();
    savedCounters_->toGlobals();
}

void DeRaRazovi::CountWrite() {
    // Every road that saves counts comes through here. Before count.ini is read the counters
    // are not the stored ones (the start answers events long before it reads them): writing
    // them would replace every stored count.
    if (!savedCounters_) {
        qWarning() << "counters: not written, count.ini is not read yet";
        return;
    }
    const ProductionCounters counters = ProductionCounters::fromGlobals();
    const bool written = counterStore_->write(counters);
    if (written) savedCounters_ = counters;
    writeWatch_->report(storage::WriteWatch::Counters, written, counterStore_->path());
}

void DeRaRazovi::reportTemplateUpdate(bool written, const QStringList& files) {
    writeWatch_->report(storage::WriteWatch::Templates, written, files);
}

void DeRaRazovi::showWriteFailure() {
    // Every store failing now, not only the latest: a full disk stops them all at once. No
    // restart is advised; writing resumes by itself once there is room.
    writeFailureNotice_->show();
}

void DeRaRazovi::AddStatistics(bool afterCycleEnd) {
    QList<bool> cameraOk;
    for (int c = 0; c < numCamera; ++c) cameraOk << (cammerWidgets[c] && cammerWidgets[c]->isOK);
    emit sendRecord(curDetect, sys::actions().now().time().hour(), cameraOk,
                    gpWPara ? gpWPara->getCurGroupName() : QString(), afterCycleEnd);
}

// --- layout ---------------------------------------------------------------------------

void DeRaRazovi::ChangeCammer() {
    zoomScale = 1.0f;
    zoomX = zoomY = 0;
    const int W = gShowW;
    const int H = gShowH;
    const int h = H / 2;
    // Corners are inclusive; the view's window and picture scales follow its tile at once.
    auto place = [](CammerWidget* view, int x0, int y0, int x1, int y1) {
        view->setGeometry(x0, y0, x1 - x0 + 1, y1 - y0 + 1);
        view->setWinSW();
        view->setWinSH();
        view->setShowSW();
        view->setShowSH();
        view->show();
    };
    if (numCamera == 1 && cammerWidgets[0]) {
        curCamera = 0;
        place(cammerWidgets[0], 0, 0, W - 1, H - 1);
        return;
    }
    if (curCamera == numCamera) {
        int columns = 1;
        int rows = 1;
        if (numCamera == 2) {
            columns = 2;
        } else if (numCamera <= 4) {
            columns = 2;
            rows = 2;
        } else if (numCamera <= 6) {
            columns = 3;
            rows = 2;
        } else {
            columns = 4;
            rows = 2;
        }
        for (int c = 0; c < numCamera; ++c) {
            if (!cammerWidgets[c]) continue;
            const int col = c % columns;
            const int row = c / columns;
            int x0;
            int x1;
            if (columns == 3) {
                // Columns of W/3+1 pixels; the first ends at x = W/3.
                x0 = col * (W / 3 + 1);
                x1 = std::min(W - 1, x0 + W / 3);
            } else {
                x0 = col * (W / columns);
                x1 = col == columns - 1 ? W - 1 : x0 + W / columns - 1;
            }
            const int y0 = rows == 1 ? 0 : row * h;
            const int y1 = rows == 1 ? H - 1 : (row == 0 ? h - 1 : H - 1);
            place(cammerWidgets[c], x0, y0, x1, y1);
        }
    } else {
        for (int c = 0; c < numCamera; ++c) {
            if (!cammerWidgets[c]) continue;
            if (c == curCamera)
                place(cammerWidgets[c], 0, 0, W - 1, H - 1);
            else
                cammerWidgets[c]->hide();
        }
    }
    showhideMscale();
    if (zoomSlider) zoomSlider->setToMinValue();
}
