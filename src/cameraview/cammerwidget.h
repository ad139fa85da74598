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
#include <QString>
#include <QWidget>
#include <array>
#include <memory>
#include <vector>

#include "circle.h"
#include "clustomrect.h"
#include "drawroiwidget.h"
#include "enginecontext.h"
#include "viewframes.h"
#include "viewhooks.h"
#include "viewlimits.h"

class QFont;
class QPainter;
class QTimer;
class CameraInterface;
class CammerRecong;
class CammerSingleton;
class WizardPara;
struct _cameraInfo;

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
    // Copies a frame (frameBytes bytes, e.g. context.alignedBuf) into showBuf and repaints.
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
    QString fontFamily() const { return fontFamily_; }

    // --- editing state (ROI editing on the view) ---
    void setCurRoi(int i);
    // The polygon being entered or edited.
    bool polygonOpen() const { return polyEditing; }
    // Centre of the open polygon's points.
    QPoint getPointsCenter() const;

    // --- identity and camera ---
    const int cameraNo;
    QString pluginName;
    char serialNumber[cameraview::kSerialCopyBytes] = {};
    CameraInterface* camera = nullptr;
    bool isOpen = false;
    bool isConnected = true;
    bool manualCapture = true;
    int lossCount = 0;
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

    // --- editing state: 0 idle, 1 drawing, 2 moving, 3 resizing, 5 tool pressed ---
    int editState = 0;
    int selectedRoi = -1;
    int lastSelected = -1;
    bool shapeEditing = false;
    bool polyEditing = false;
    bool pressed = false;
    int pickHandle = 0;
    QPoint lastPoint;
    QPoint pickPoint;
    ClustomRect tempRect;
    Circle tempCircle;
    std::vector<QPoint> pointBuf;
    int pointCount = 0;
    bool polyDone = false;
    int dragPoint = 0;
    int moveAllMode = 0;
    bool paraShowToggle = false;

signals:
    void clicked(QPoint point);

public slots:
    void TimerShowAlarm();
    void TimerFPS();
    // Side-panel sliders: the filter or spot band value, and the area or count range.
    void SlotMinWH(int v);
    void SlotArea(int v);
    void SlotLoss();
    void DeleteAllFailImage() {}

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void allocateBuffers();
    void prepareTemplates();
    void prepareRecentNg();
    void LoadIgnorePoint();
    void loadRegions();
    void reconnectStep();
    int templateSlots() const;
    void record(const QString& text) const;
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
    QString paintRegions(QPainter& painter, const cameraview::ViewHostState& host, int d,
                         const CammerSingleton& p);
    void paintSizeHints(QPainter& painter, int d, int i, const CammerSingleton& p,
                        const cameraview::ViewHostState& host);
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
    QTimer* reconnectTimer_ = nullptr;
    bool reconnecting_ = false;
    int preparedDetections_ = 0;
    QString fontFamily_;
};
