#pragma once
// The view of one camera, and the owner of everything the program keeps per camera: the camera
// object, the live and the editing region parameters, the recognition engine with its frame
// pipeline, templates and masks (all in `context`), the shown and painted pictures, the ring
// of recent NG frames and the per-detection cycle flags.
//
// Everything runs in the GUI thread. A camera may report its loss from a thread of its own;
// the report arrives queued. Views live until the program ends; a view whose camera did not
// open is deleted by its creator right after construction.

#include <QImage>
#include <QPoint>
#include <QRectF>
#include <QString>
#include <QVector>
#include <QWidget>
#include <array>
#include <memory>
#include <vector>

#include "circle.h"
#include "clustomrect.h"
#include "drawroiwidget.h"
#include "enginecontext.h"
#include "roieditor.h"
#include "viewframes.h"
#include "viewhooks.h"
#include "viewlimits.h"

class QFont;
class QLabel;
class QPainter;
class QTimer;
class ColorButton;
class ComboBox;
class Slider;
class CameraInterface;
class CammerRecong;
class CammerSingleton;
class WizardPara;
struct _cameraInfo;
namespace cameraview {
class ViewEditHost;
}

class CammerWidget : public QWidget {
    Q_OBJECT
public:
    // Creates the camera object, opens it and, when it opened, builds buffers, templates,
    // masks, region parameters and the engine, and starts the camera. `isOpen` tells the
    // creator whether to keep the view.
    CammerWidget(QWidget* parent, int cameraNo, const _cameraInfo& info,
                 cameraview::CameraViewHooks hooks = {});
    ~CammerWidget() override;

    // Hooks may be set or replaced after construction (the main window's are ready only once
    // the views exist). The result sinks go to the engine at once.
    void setHooks(cameraview::CameraViewHooks hooks);
    const cameraview::CameraViewHooks& hooks() const { return hooks_; }

    // The camera object of `info` from the plug-in of its name in cameraInterfaceMap; null when
    // no such plug-in is there. Nothing calls it: views get their camera from the manager.
    CameraInterface* CreateCamera(_cameraInfo info) const;

    // --- camera control (each does nothing while the camera is not open, unless noted) ---
    void CameraOpen();  // the open sequence; not guarded
    void CameraClose();
    bool CameraStart();
    void CameraStop();
    void initSetting();  // the full setting from gpWPara; not guarded
    void SetExposeTime();
    void SetAdjustPlus();
    void SetSharp();
    void SetContrast();
    void SetGamma();
    void SetWB();
    void SetWDR();
    void SetHMirror();
    void SetVMirror();
    void SetSpeed();
    void CameraChangeTrig(bool on);
    void RestoreDefaultSettings();  // on gpWParaBak; not guarded
    // Grabs one frame into grabBuf and shows it when the rules allow; true = a new frame.
    bool UpdateImage();
    void ManualUpdateImage();
    void HotCameraUpdateROI();
    int HotCameraGetTemperature(int detect, int funcNO);

    // --- for the detection cycle ---
    // Copies a frame (frameBytes bytes, e.g. context.alignedBuf) into showBuf and repaints; an
    // empty frame (a recent-NG slot nothing was kept in yet) shows as a zeroed one.
    void showFrame(const std::vector<uchar>& frame);
    // Keeps alignedBuf as the newest of detection d's ring of recent NG frames.
    void keepRecentNg(int d);
    // The number of detections templates and NG frames are prepared for.
    int preparedDetections() const { return preparedDetections_; }
    // Whether a reconnect after a loss is being waited for.
    bool isReconnecting() const;

    // --- drawing ---
    void setWinSW();
    void setWinSH();
    void setShowSW();
    void setShowSH();
    // The family the view paints its texts with.

    // --- ROI editing on the view (the editing page's side) ---
    void setCurRoi(int i) { editor_.setCurRoi(i); }
    void DeselectROI() { editor_.DeselectROI(); }
    void DeleteROI(int i) { editor_.DeleteROI(i); }
    // Shows the side panel beside the selected area, or hides it.
    void ShowHideROIPara();
    void BackMask() { editor_.BackMask(); }
    void RestorMask() { editor_.RestorMask(); }
    bool GetFuncInitParam(int code, int& B, int& C, int& A) const;
    // The polygon being entered or edited.
    bool polygonOpen() const { return polyEditing; }
    // Centre of the open polygon's points.
    QPoint getPointsCenter() const { return editor_.getPointsCenter(); }
    // Hit-testing and the rest of the editing rules.
    cameraview::RoiEditor& editor() { return editor_; }
    // Stores the image position (and pixel) under the pointer into the main window.
    void MUpdateXYV(int x, int y);
    // Saves detection d's ignore-point mask as "ignorepoint.bmp".
    bool SaveIgnorePoint(int d);
    // Stores the live region parameters in the camera's table; false (and a warning) when
    // they could not be written.
    bool saveRegions();
    // Reads the templates, ignore points and regions from the disk again and trains the engine
    // on them, as the construction does, for a stored configuration replaced under the running
    // program. The editing page must hold no copies of them. False when a detection's stored
    // region count was impossible (it was emptied); the caller tells the operator.
    bool takeStored();
    // The templates and ignore points alone, trained on with the regions in force: they are no
    // editing copies, and answers given meanwhile (a template added, points ignored) must
    // pick their slots from, and write over, what the disk holds.
    void takeStoredLibrary();

    // --- identity and camera ---
    const int cameraNo;
    QString pluginName;
    char serialNumber[cameraview::kSerialCopyBytes] = {};
    CameraInterface* camera = nullptr;
    bool isOpen = false;
    bool isConnected = true;
    bool manualCapture = true;
    int lossCount = 0;
    // The step failed here for the frame that went with a lost link, or for a camera back from
    // a loss that sent none, not for what it showed: the status lines say so while the alarm is
    // up.
    bool frameLostWithLink = false;
    bool frameNotDelivered = false;
    int fps = 0;

    // --- frame geometry and scales ---
    int imageW = 0;
    int imageH = 0;
    int pixelCount = 0;
    int frameBytes = 0;
    float showScaleX = 1.0f;
    float showScaleY = 1.0f;
    float baseScaleX = 1.0f;
    float baseScaleY = 1.0f;
    float winScaleW = 1.0f;
    float winScaleH = 1.0f;

    // --- engine and its data: frame pipeline, templates, ignore masks, region masks,
    // results (isOK, roiOK, roiValue, defectRects, resultMask, testShown) ---
    engine::EngineContext context;
    bool& isOK = context.isOK;
    CammerSingleton* liveParam = nullptr;
    CammerSingleton* editParam = nullptr;
    CammerRecong* recong = nullptr;

    // --- pictures ---
    std::vector<uchar> showBuf;     // frame shown (frameBytes)
    std::vector<uchar> displayBuf;  // painted picture, R, G, B, X (pixelCount x 4)
    QImage displayImage;            // over displayBuf

    // --- per detection ---
    std::array<std::vector<std::vector<uchar>>, kMaxDetections> recentNgBuf;
    int recentNgCount[kMaxDetections] = {};
    int recentNgShown = 0;
    quint8 detectDone[kMaxDetections] = {};
    quint8 reTrainPending[kMaxDetections] = {};

    // --- alarm and timers ---
    int alarmBlink = cameraview::kBlinkOff;
    QTimer* showAlarmTimer = nullptr;
    QTimer* fpsTimer = nullptr;

private:
    // The rules of region editing, over `context`; this view is their host.
    std::unique_ptr<cameraview::RoiEditHost> editHost_ = makeEditHost();
    cameraview::RoiEditor editor_{context, *editHost_};

public:
    // --- editing state: 0 idle, 1 drawing, 2 moving, 3 resizing, 5 tool pressed ---
    int& editState = editor_.editState;
    int& selectedRoi = editor_.selectedRoi;
    int& lastSelected = editor_.lastSelected;
    bool& shapeEditing = editor_.shapeEditing;
    bool& polyEditing = editor_.polyEditing;
    bool& pressed = editor_.pressed;
    int& pickHandle = editor_.pickHandle;
    QPoint& lastPoint = editor_.lastPoint;
    QPoint& pickPoint = editor_.pickPoint;
    ClustomRect& tempRect = editor_.tempRect;
    Circle& tempCircle = editor_.tempCircle;
    std::vector<QPoint>& pointBuf = editor_.pointBuf;
    int& pointCount = editor_.pointCount;
    bool& polyDone = editor_.polyDone;
    int& dragPoint = editor_.dragPoint;
    int& moveAllMode = editor_.moveAllMode;
    bool& paraShowToggle = editor_.paraShowToggle;

    // --- side panel of the selected area (hidden until an area is selected) ---
    Slider* sliderA = nullptr;  // A: filter size, grey band, count filter
    Slider* sliderB = nullptr;  // B: sensitivity, grey limit, minimum area or score
    Slider* sliderC = nullptr;  // C: area, maximum area, count range
    QLabel* lblFunc = nullptr;
    ColorButton* btnFunc = nullptr;
    ColorButton* btnParamSwitch = nullptr;
    ComboBox* cmbNgOutput = nullptr;
    ColorButton* btnRoiSwitch = nullptr;
    ColorButton* btnPoint = nullptr;
    ColorButton* btnStep0 = nullptr;
    ColorButton* btnStep1 = nullptr;
    ColorButton* btnStep2 = nullptr;
    ColorButton* btnStep3 = nullptr;
    ColorButton* btnSync = nullptr;
    ColorButton* btnFineTune = nullptr;
    ColorButton* btnMoveT = nullptr;
    ColorButton* btnMoveB = nullptr;
    ColorButton* btnMoveL = nullptr;
    ColorButton* btnMoveR = nullptr;
    ColorButton* btnMoveAll = nullptr;

signals:
    void clicked(QPoint point);

public slots:
    void SavePolygon() { editor_.SavePolygon(); }
    void SlotCopyArea(QPoint q) { editor_.SlotCopyArea(q); }
    void CopyPara() { editor_.CopyPara(); }
    void TimerShowAlarm();
    void TimerFPS();
    // Side-panel sliders and buttons; each does nothing while no area is selected.
    void SlotMinWH(int v) { editor_.SlotMinWH(v); }
    void SlotSensitivity(int v) { editor_.SlotSensitivity(v); }
    void SlotArea(int v) { editor_.SlotArea(v); }
    void SlotOutN(int n) { editor_.SlotOutN(n); }
    void SlotChangeFunc() { editor_.SlotChangeFunc(); }
    void SlotChangeParaShow();
    void SlotChangeObject() { editor_.SlotChangeObject(); }
    void SlotAdd10() { SlotSize(0); }
    void SlotAdd1() { SlotSize(1); }
    void SlotSub1() { SlotSize(2); }
    void SlotSub10() { SlotSize(3); }
    void SlotSize(int step) { editor_.SlotSize(step); }
    void SlotNextROI() { editor_.SlotNextROI(); }
    void SlotSyncParam() { editor_.SlotSyncParam(); }
    void SlotMove(int dx, int dy) { editor_.SlotMove(dx, dy); }
    void SlotMoveT() { SlotMove(0, -1); }
    void SlotMoveB() { SlotMove(0, 1); }
    void SlotMoveL() { SlotMove(-1, 0); }
    void SlotMoveR() { SlotMove(1, 0); }
    void SlotMoveAll() { editor_.SlotMoveAll(); }
    void SlotLoss();
    void SlotCheckDoubleClicked(QPoint p);
    void DeleteAllFailImage() {}

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    friend class cameraview::ViewEditHost;
    std::unique_ptr<cameraview::RoiEditHost> makeEditHost();
    void buildSidePanel();
    QWidget* panelWidget(int control) const;
    // Whether presses on this view edit areas: a listed camera shown alone.
    bool editsRegions(const cameraview::ViewHostState& host) const;
    void allocateBuffers();
    void prepareTemplates();
    // The template files of the prepared detections into their slots.
    void loadTemplates();
    void prepareRecentNg();
    void LoadIgnorePoint();
    // The detections whose stored region count was impossible (emptied).
    QVector<int> loadRegions();
    void warnRegionErrors(const QVector<int>& detections);
    void reconnectStep();
    int templateSlots() const;
    void record(const QString& text) const;
    QSqlDatabase paramDatabase() const;
    cameraview::ViewHostState hostState() const;
    // The settings the setters apply: the copy being edited while the settings screen is
    // visible, else the live one; null when neither exists.
    const WizardPara* settingSource() const;
    bool settingsVisible() const;
    cameraview::FrameFormat frameFormat() const;

    // Painting, by the source on show.
    void paintRecords(QPainter& painter, const cameraview::ViewHostState& host);
    void paintRecentNg(QPainter& painter, const cameraview::ViewHostState& host);
    void paintDetection(QPainter& painter, const cameraview::ViewHostState& host);
    void paintOverlayPixels(const cameraview::ViewHostState& host, int d, const CammerSingleton& p);
    void paintMark(QPainter& painter);
    void paintLegend(QPainter& painter);
    // `taken`: where the status texts lie on the widget; area labels keep clear of them.
    QString paintRegions(QPainter& painter, const cameraview::ViewHostState& host, int d,
                         const CammerSingleton& p, const QVector<QRectF>& taken);
    void paintSizeHints(QPainter& painter, int d, int i, const CammerSingleton& p,
                        const cameraview::ViewHostState& host);
    // A text of the status lines: its baseline's start in view pixels before the window scale.
    struct StatusText {
        QPoint at;
        int pixelSize;
        QColor colour;
        QString text;
    };
    QVector<StatusText> statusTexts(const cameraview::ViewHostState& host, int d,
                                    const QString& selectedText) const;
    void paintStatus(QPainter& painter, const cameraview::ViewHostState& host, int d,
                     const QString& selectedText);
    void paintNewShape(QPainter& painter, const cameraview::ViewHostState& host);
    void drawPicture(QPainter& painter);
    void applyZoom(QPainter& painter, const cameraview::ViewHostState& host);
    QFont panelFont(int pixelSize) const;
    void convertShownFrame();

    cameraview::CameraViewHooks hooks_;
    std::unique_ptr<CammerSingleton> liveParamStore_;
    std::unique_ptr<CammerSingleton> editParamStore_;
    std::unique_ptr<CammerRecong> recongStore_;
    std::shared_ptr<cameraview::DoubleTapDetector> doubleTap_;
    QTimer* reconnectTimer_ = nullptr;
    bool reconnecting_ = false;
    int preparedDetections_ = 0;
    QString fontFamily_;
};
