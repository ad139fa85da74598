#pragma once
// The main window of the program and at the same time the detection controller.

#include <QDir>
#include <QFileInfoList>
#include <QList>
#include <QPair>
#include <QPolygon>
#include <QRgb>
#include <QSharedPointer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVector>
#include <QWidget>
#include <memory>
#include <optional>

#include "counterstore.h"
#include "cyclestate.h"
#include "editpagehost.h"
#include "globals.h"
#include "heartbeatled.h"
#include "operationrecord.h"
#include "privilege.h"
#include "question.h"
#include "viewhooks.h"
#include "zoomgeometry.h"

class QLabel;
class QMouseEvent;
class QSettings;
class QTimer;
class CammerWidget;
class DrawROIWidget;
class WizardParaWidget;
class IOStatusWidget;
class IndexButton;
class HelpWidget;
class WidgetChangeCamera;
class CustomIONameWidget;
class HardwareConfigurationWidget;
class ColorButton;
class FloatSlider;
class HttpApiServer;
class ModbusServer;
class OperationLog;
class CounterStore;
class KeypadKeeper;
class WriteFailureNotice;
namespace storage {
class WriteWatch;
}
class MainWindowCycleHost;
class MainWindowEditHost;
class MainWindowSettingsHost;
namespace detection {
class DetectionController;
}

// The operator's privilege.
enum LoginLevel { Unlogged = 0, Primary = 1, Advanced = 2 };

// The cycle state (detectState, resultState, curDetect, detectPending, alarmClearState, ...) and
// the editing words (curCamera, editDetect, drawTool, copyAreaArmed, freehandDraw) are bases,
// so their members keep their names here.
class DeRaRazovi : public QWidget, public detection::CycleState, public cameraview::EditWords {
    Q_OBJECT
public:
    explicit DeRaRazovi(QWidget* parent = nullptr);
    ~DeRaRazovi() override;

    // Privilege gates: CheckPassword returns the level reached (0 = refused); CheckRoot is
    // true only at the advanced level. The password box is asked about the caller's subject:
    // a subject gone while it was open refuses.
    int CheckPassword(const dialogs::Subject& about);
    bool CheckRoot(const dialogs::Subject& about);
    // What the tool bar's commands and the start/stop button ask about, read now: the pages on
    // show and the alarm raised last.
    dialogs::Subject panelSubject() const;
    void CheckInput(int i);
    void AddStatistics(bool afterCycleEnd);
    void showhideMscale();
    void showhideMscale(bool on);
    // Visibility of the help button, and of the version and mode labels.
    void showhideHelp(bool on);
    void showhideVersion(bool on);
    // The detection controller working on this window (made on first use).
    detection::DetectionController& cycle();
    // Camera views: the hooks each view gets, the loss alarm and the connection check.
    cameraview::CameraViewHooks viewHooks();
    // Pans the magnified view by the drag from the last press to (x, y).
    void updateMScale(int x, int y);
    void LostCamera();
    // The camera-loss box, asked about the loss: confirmed while it lasts, it powers the panel
    // off; once the cameras answer again the question is gone and its Confirm does nothing.
    void askPowerOffAfterCameraLoss();
    // The detection pass saw every camera answer again after a loss.
    void cameraLossEnded();
    int CameraCheck();
    void CameraSetSpeed();
    // Kept for service work; nothing in the program calls these four.
    // Asks every camera whose link is down to reconnect; once all are back, the loss warning
    // goes and the heartbeat timer starts afresh.
    void CameraRestart();
    // Up to two polygon areas (image coordinates, largest first) where the camera's newest
    // frame differs from template 0 of the detection being edited.
    QVector<QPolygon> AutogenerationRegion(int camera);
    // The camera views take their templates, ignore points and regions from the disk again and
    // train on them, as at a start: the stored configuration was replaced and the panel stayed
    // up. While the editing page holds copies of the regions (an alarm opened it meanwhile, and
    // its answers act on what the alarm was judged with), the regions wait until the page gives
    // them back (editCopiesReleased); the templates and ignore points, which the page's answers
    // write into, are taken at once.
    void takeStoredCameraData();
    void editCopiesReleased();
    // Every file below `folder`, in its sub-folders too.
    static QFileInfoList FoundAllFile(const QString& folder);
    // Oldest modification first; files of the same time by path.
    static void SortFileByTime(QFileInfoList& files);
    // Backlight on and the screen-off time counted afresh: every warning box being shown, and
    // an NG alarm on a dark screen.
    void wakeScreen();
    // Every road that ends the program on purpose calls this first: the statistics counted
    // since the last timed save reach their store (waited for, but never for long).
    void SaveStatisticsBeforeStop();
    // The outcome of a write of template 0 by the automatic update: the disk's refusals are
    // told with the other stores' (the old template stays in force).
    void reportTemplateUpdate(bool written, const QStringList& files);

    // --- child pages and widgets ---
    CammerWidget* cammerWidgets[kMaxCameras] = {};
    DrawROIWidget* drawROIWidget = nullptr;
    WizardParaWidget* wizardParaWidget = nullptr;
    IOStatusWidget* ioStatusWidget = nullptr;
    IndexButton* indexButton = nullptr;
    HelpWidget* helpWidget = nullptr;
    WidgetChangeCamera* changeCameraWidget = nullptr;
    CustomIONameWidget* customIONameWidget = nullptr;
    HardwareConfigurationWidget* hardwareConfigWidget = nullptr;
    ColorButton* helpButton = nullptr;
    QLabel* versionLabel = nullptr;
    QLabel* modeLabel = nullptr;
    QLabel* exportLabel = nullptr;
    FloatSlider* zoomSlider = nullptr;

    // --- folders and stores ---
    QDir failDirs[kMaxCameras][kMaxDetections][2];
    QDir statisticsDir;
    QDir recordDir;
    QString recordDay;
    QSqlDatabase recordDb;
    QSqlDatabase paramDb;
    QSqlQuery* paraQuery = nullptr;
    QSettings* countSettings = nullptr;
    QSharedPointer<HttpApiServer> httpApiServer;
    QSharedPointer<ModbusServer> modbusServer;
    QVector<QRgb>* grayTable = nullptr;

    // --- timers (all parented to the window) ---
    QTimer* runTimer = nullptr;
    QTimer* inCheckTimer = nullptr;
    QTimer* drawHintTimer = nullptr;
    QTimer* tempeTimer = nullptr;
    QTimer* tempe1Timer = nullptr;
    QTimer* timerUp[kMaxDetections] = {};
    QTimer* inputCheckTimer[kMaxDetections] = {};
    QTimer* logoutTimer = nullptr;
    QTimer* lcdTimer = nullptr;
    QTimer* showTimer = nullptr;
    QTimer* outNGTimer = nullptr;
    QTimer* notAllowCloseTimer = nullptr;
    QTimer* notAllowThimbleTimer = nullptr;
    QTimer* reserveOutputTimer = nullptr;
    QTimer* sysFunc4OutputTimer = nullptr;
    QTimer* delayOutput3Timer = nullptr;
    QTimer* clearNGAlarmTimer = nullptr;
    QTimer* tempCheckTimer = nullptr;
    QTimer* resetAlarmTimer = nullptr;
    QTimer* checkDateTimer = nullptr;
    QTimer* fpsTimer = nullptr;

    // --- state words ---
    int loginLevel = Unlogged;
    QWidget* focusedEdit = nullptr;
    int isScreenOff = 0;
    float zoomScale = 1.0f;
    int zoomX = 0;
    int zoomY = 0;
    int cursorImageX = 0;
    int cursorImageY = 0;
    quint32 cursorPixel = 0;  // grey byte or colour value under the pointer
    int lastPressX = 0;
    int lastPressY = 0;
    int tempeCount = 0;

signals:
    void sendRecord(int stage, int hour, QList<bool> cameraOk, QString groupName,
                    bool afterCycleEnd);

public slots:
    void MScale(float value);
    void MScaleSetToMin();
    void Run();
    void ChangeCammer();
    void ResetRun();
    void StartDetect();
    void StopDetect();
    void SetStopDetect();
    void RunAlgorithm(int camera, int detect);
    void ReCheck();
    void InCheck();
    void SlotCheckDate();
    // Writes the counters when they changed since they were read or saved (the steps of a cycle
    // not yet ended are saved with its end, which a stop does not wait for), or when their last
    // write failed.
    void saveUnsavedCounters();
    void CheckTemp();
    void SlotResetAlarm();
    void TimerUp(int position);
    void TimerUp0() { TimerUp(0); }
    void TimerUp1() { TimerUp(1); }
    void TimerUp2() { TimerUp(2); }
    void TimerUp3() { TimerUp(3); }
    void TimerUp4() { TimerUp(4); }
    void TimerUp5() { TimerUp(5); }
    void TimerUp6() { TimerUp(6); }
    void TimerUp7() { TimerUp(7); }
    void CheckNG(bool isClearNG = false);
    void TimerShow();
    void SlotDrawHint();
    void OutTimerOutNG();
    void OutTimerNotAllowClose();
    void OutTimerSysFunc4Output();
    void OutTimerNotAllowThimble();
    void OutTimerReserveOutput();
    void TimerLogout();
    void TimerLCD();
    void TimerTempe();
    void TimerTempe1();
    void TimerCheckInput0() { CheckInputFromTimer(0); }
    void TimerCheckInput1() { CheckInputFromTimer(1); }
    void TimerCheckInput2() { CheckInputFromTimer(2); }
    void TimerCheckInput3() { CheckInputFromTimer(3); }
    void TimerCheckInput4() { CheckInputFromTimer(4); }
    void TimerCheckInput5() { CheckInputFromTimer(5); }
    void TimerCheckInput6() { CheckInputFromTimer(6); }
    void TimerCheckInput7() { CheckInputFromTimer(7); }
    void InsertRecord(QString text);
    // Written by the start once it went through: a start a stop ends has readied nothing.
    void recordSystemReady();
    // Deletes the listed records; false when they could not be deleted (told with the other
    // stores).
    bool ClearRecord(const RecordListing& listed);
    // The operation log; ClearRecord clears records in it.
    OperationLog& RecordLog();
    void SlotShowAlarmImgae();
    void SlotReTrain();
    void SlotStartStop();
    void SlotAdjustArea();
    void SlotHelp();
    void SlotNewUser() {}
    void SlotManualTrig(int step);
    void SlotSystemPara();
    void SlotReturn();
    void SlotManualTrig0() { SlotManualTrig(0); }
    void SlotManualTrig1() { SlotManualTrig(1); }
    void SlotMuliManualTrig();
    void SlotFPS();
    void FLushAll();
    // Opens again what a flush closed, when the panel did not go down after it.
    void reopenFlushedDatabases();
    // Restarts or powers off the panel after the flush; a refusal is told and the program goes on
    // with its files open again.
    void HandPanelToSystem(const QString& program);
    void CountRead();
    // Saves the counters into count.ini; nothing is written before CountRead has read it.
    void CountWrite();
    void SlotNewUserLastStep() {}
    void CheckArea(bool Flag = false);
    void BackTrain();
    void SlotTimerDelayOutput3();
    void SlotClearNGAlarm();
    void SlotExportStart(QPair<QString, QString> range);
    void SlotExportProgress(int total, int done);
    void SlotExportFinish();

protected:
    bool eventFilter(QObject* object, QEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    // One run of the password box, as the privilege gate sees it.
    panel::PasswordAnswer askPassword(const dialogs::Subject& about);
    panel::PanelView panelView() const;
    // The page and alarm checks and the privilege gate of an operator command, its password
    // asked about the subject its road began with.
    bool admit(panel::Command command, const dialogs::Subject& about);
    void CheckInputFromTimer(int i);
    void powerOffAfterCameraLoss();
    qint64 cameraLossesEnded_ = 0;
    LostCameraWarnBox* lostCameraBox_ = nullptr;
    void openDatabases();
    bool openParamDatabase();
    void openRecordDatabase();
    void createTimers();
    void createCameraViews();
    int createViewsFor(const QList<struct _cameraInfo>& cameras, QList<struct _cameraInfo>* opened);
    void createFurniture();
    void createPages();
    void createFolders();
    void allocateFailImages();
    void connectStatistics();
    void showWriteFailure();
    // Runs the retry timer while operation records wait for the disk or a day's rollover was
    // refused.
    void retryRecordsSoon();
    bool anyPageOpen() const;
    QString loginLevelText() const;

    // Closed by a flush and not opened since. A connection that was never open (no usable
    // parameter file at the start) stays closed: opened, it would store into no file.
    bool recordDbFlushed_ = false;
    bool paramDbFlushed_ = false;
    // The views are still to take the stored configuration once the editing page closes.
    bool storedCameraDataPending_ = false;
    std::unique_ptr<OperationLog> operationLog_;
    QTimer* retryRecordsTimer_ = nullptr;
    std::unique_ptr<CounterStore> counterStore_;
    // The counters as count.ini holds them; none before they are read, when the globals are not
    // the stored counts yet.
    std::optional<ProductionCounters> savedCounters_;
    std::unique_ptr<KeypadKeeper> keypadKeeper_;
    storage::WriteWatch* writeWatch_ = nullptr;
    WriteFailureNotice* writeFailureNotice_ = nullptr;
    std::shared_ptr<MainWindowCycleHost> cycleHost_;
    std::shared_ptr<detection::DetectionController> cycle_;
    std::unique_ptr<MainWindowEditHost> editHost_;
    std::unique_ptr<MainWindowSettingsHost> settingsHost_;
    // One double-tap reference for all camera views.
    panel::HeartbeatLed heartbeat_;
    panel::ZoomAnchor zoomAnchor_;
    std::shared_ptr<cameraview::DoubleTapDetector> doubleTap_ =
        std::make_shared<cameraview::DoubleTapDetector>();
};
