#include "cammerwidget.h"

#include <QFontDatabase>
#include <QJsonObject>
#include <QResizeEvent>
#include <QTimer>
#include <QVariant>
#include <QtDebug>
#include <algorithm>
#include <cmath>
#include <cstring>

#include "cameramanager.h"
#include "camerasettings.h"
#include "cammerrecong.h"
#include "cammersingleton.h"
#include "roimetatype.h"
#include "viewrules.h"
#include "warnbox.h"
#include "wizardpara.h"

using namespace cameraview;

namespace cameraview {

int registerRegionParamType() {
    static const int id = qRegisterMetaType<CammerSingleton*>("CammerSingleton *");
    return id;
}

}  // namespace cameraview

namespace {

// The family asked for by name; empty when missing, and the application's (a CJK-capable family
// for the language) is used at each drawing.
QString chooseFontFamily() {
    const QString wanted = QString::fromLatin1(kPanelFontFamily);
    const QStringList installed = QFontDatabase().families();
    for (const QString& family : installed) {
        if (family.compare(wanted, Qt::CaseInsensitive) == 0) return family;
    }
    return QString();
}

bool validDetection(int d) {
    return d >= 0 && d < kMaxDetections;
}

}  // namespace

CammerWidget::CammerWidget(QWidget* parent, int cameraNo, const _cameraInfo& info,
                           CameraViewHooks hooks)
    : QWidget(parent), cameraNo(cameraNo), pluginName(info.pluginName), hooks_(std::move(hooks)) {
    setMouseTracking(true);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    hide();
    std::memcpy(serialNumber, info.serialNumber, sizeof serialNumber);
    fontFamily_ = chooseFontFamily();

    reconnectTimer_ = new QTimer(this);
    reconnectTimer_->setSingleShot(true);
    connect(reconnectTimer_, &QTimer::timeout, this, &CammerWidget::reconnectStep);

    context.cameraNo = cameraNo;
    context.sinks = hooks_.resultSinks;
    context.insertRecord = [this](const QString& text) { record(text); };
    context.repaint = [this] { update(); };
    context.currentDetect = [this] { return hostState().curDetect; };

    camera = hooks_.createCamera ? hooks_.createCamera(info)
                                 : CameraManager::getInstance()->createCamera(info);
    if (camera) CameraOpen();
    if (!isOpen) return;

    camera::connectCameraLoss(camera, this, SLOT(SlotLoss()));
    manualCapture = camera->cameraType() == 0;
    allocateBuffers();
    buildSidePanel();
    prepareTemplates();
    prepareRecentNg();
    LoadIgnorePoint();
    warnRegionErrors(loadRegions());
    recongStore_ = std::make_unique<CammerRecong>(&context);
    recong = recongStore_.get();
    HotCameraUpdateROI();
    CameraStart();
    initSetting();

    showAlarmTimer = new QTimer(this);
    connect(showAlarmTimer, &QTimer::timeout, this, &CammerWidget::TimerShowAlarm);
    fpsTimer = new QTimer(this);
    connect(fpsTimer, &QTimer::timeout, this, &CammerWidget::TimerFPS);
    fpsTimer->start(kFpsIntervalMs);

    paraShowToggle = false;
    moveAllMode = 0;
    setCurRoi(-1);
    doubleTap_ = hooks_.doubleTap ? hooks_.doubleTap : std::make_shared<DoubleTapDetector>();
    connect(this, &CammerWidget::clicked, this, &CammerWidget::SlotCheckDoubleClicked);
}

CammerWidget::~CammerWidget() = default;

void CammerWidget::setHooks(CameraViewHooks hooks) {
    hooks_ = std::move(hooks);
    context.sinks = hooks_.resultSinks;
    if (hooks_.doubleTap) doubleTap_ = hooks_.doubleTap;
}

// --- construction steps ---------------------------------------------------------------------

FrameFormat CammerWidget::frameFormat() const {
    return FrameFormat{imageW, imageH, gisColor != 0};
}

void CammerWidget::allocateBuffers() {
    if (!context.setFrameGeometry(imageW, imageH, gisColor != 0, gisGrayHue != 0)) {
        qWarning() << "camera" << cameraNo + 1 << "frame buffers of" << imageW << "x" << imageH
                   << "could not be set up";
        return;
    }
    showBuf.assign(size_t(frameBytes), 0);
    displayBuf.assign(size_t(pixelCount) * kDisplayBytesPerPixel, 0);
    displayImage = displayImageOver(displayBuf.data(), imageW, imageH);
    tempRect = ClustomRect();
    tempCircle = Circle();
    pointCount = 0;
    editState = 0;
}

int CammerWidget::templateSlots() const {
    // Slot 0 holds the reference and always exists.
    return std::max(gTempNum, 1);
}

void CammerWidget::prepareTemplates() {
    const int mode = gpWPara ? gpWPara->detectMode : 0;
    preparedDetections_ = mode == kModeMultiDetect ? kMaxDetections : std::max(gDNum, 0);
    preparedDetections_ = std::min(preparedDetections_, kMaxDetections);
    loadTemplates();
}

void CammerWidget::loadTemplates() {
    const FrameFormat format = frameFormat();
    for (int d = 0; d < preparedDetections_; ++d) {
        context.prepareDetection(d, templateSlots());
        auto& frames = context.templateBuf[d];
        auto& used = context.templateUsed[d];
        int& count = context.templateCount[d];
        for (int t = 0; t < int(frames.size()); ++t) {
            if (loadTemplateFile(templatePath(cameraNo, d, t), format, frames[t].data())) {
                used[t] = 1;
                ++count;
            } else {
                std::fill(frames[t].begin(), frames[t].end(), uchar(0));
                used[t] = 0;
            }
        }
        if (!frames.empty() && !used[0]) {
            fillSyntheticTemplate(format, frames[0].data());
            used[0] = 1;
            ++count;
        }
    }
}

void CammerWidget::prepareRecentNg() {
    for (int d = 0; d < preparedDetections_; ++d) {
        recentNgCount[d] = 0;
        detectDone[d] = 0;
        // A slot takes memory once a frame is kept in it; until then it stands for a zeroed
        // frame (showFrame shows it so).
        recentNgBuf[d].assign(size_t(kRecentNgFrames), std::vector<uchar>());
    }
    recentNgShown = 0;
}

void CammerWidget::LoadIgnorePoint() {
    for (int d = 0; d < preparedDetections_; ++d) {
        auto& mask = context.ignoreMask[d];
        mask.assign(size_t(pixelCount), 0);
        if (!loadIgnoreMaskFile(ignoreMaskPath(cameraNo, d), imageW, imageH, mask.data()))
            std::fill(mask.begin(), mask.end(), uchar(0));
    }
}

QVector<int> CammerWidget::loadRegions() {
    if (!liveParamStore_) {
        liveParamStore_ = std::make_unique<CammerSingleton>(cameraNo);
        editParamStore_ = std::make_unique<CammerSingleton>(cameraNo);
        liveParam = liveParamStore_.get();
        editParam = editParamStore_.get();
        context.liveParam = liveParam;
        context.editParam = editParam;
    } else {
        // Read again: areas of the previous contents must not outlive them.
        liveParam->reset();
        for (auto& masks : context.roiMask)
            for (cv::Mat& mask : masks) mask.release();
    }
    const RoiLoadResult loaded =
        liveParam->LoadDatafromFile(paramDatabase(), baseScaleX, baseScaleY, &context.roiMask);
    if (!loaded.tableRead)
        qWarning() << "camera" << cameraNo + 1 << "regions could not be read:" << loaded.error;
    for (int d : loaded.badCountDetections)
        qWarning() << "camera" << cameraNo + 1 << "detection" << d + 1
                   << "had an impossible region count and was emptied";
    return loaded.badCountDetections;
}

void CammerWidget::warnRegionErrors(const QVector<int>& detections) {
    // Only a start reads the regions with a warning: nothing but the program is asked about.
    for (int k = 0; k < detections.size() && gpWarnBox; ++k)
        if (dialogs::notify(lan(kEntryParamFileError), dialogs::Subject::program()) ==
            dialogs::Answer::Gone)
            return;
}

bool CammerWidget::takeStored() {
    if (!recong) return true;
    loadTemplates();
    LoadIgnorePoint();
    const bool regionsRead = loadRegions().isEmpty();
    HotCameraUpdateROI();
    recong->TrainEnabled();
    update();
    return regionsRead;
}

void CammerWidget::takeStoredLibrary() {
    if (!recong) return;
    loadTemplates();
    LoadIgnorePoint();
    recong->TrainEnabled();
    update();
}

QSqlDatabase CammerWidget::paramDatabase() const {
    return hooks_.paramDatabase ? hooks_.paramDatabase() : WizardPara::paramDatabase();
}

bool CammerWidget::saveRegions() {
    return liveParam && liveParam->SaveDatatoFile(paramDatabase());
}

// --- camera control -------------------------------------------------------------------------

CameraInterface* CammerWidget::CreateCamera(_cameraInfo info) const {
    CameraInterface* plugin = cameraInterfaceMap.value(info.pluginName, nullptr);
    return plugin ? plugin->createCamera(info) : nullptr;
}

void CammerWidget::CameraOpen() {
    if (!camera) return;
    camera->setColor(gisColor != 0);
    isOpen = camera->open();
    const QString serial =
        QString::fromUtf8(serialNumber, int(qstrnlen(serialNumber, sizeof serialNumber)));
    if (!isOpen) {
        qInfo() << "camera open fail"
                << "camera NO " << cameraNo << "camera SN" << serial;
        return;
    }
    int w = 0;
    int h = 0;
    camera->getImageSize(&w, &h);
    // A camera that cannot say how large its frames are cannot be used: every buffer is sized
    // from this answer.
    if (w <= 0 || h <= 0 || w > kMaxImageSide || h > kMaxImageSide) {
        qWarning() << "camera open fail"
                   << "camera NO " << cameraNo << "camera SN" << serial << "unusable image size"
                   << w << "x" << h;
        camera->close();
        isOpen = false;
        return;
    }
    imageW = w;
    imageH = h;
    pixelCount = w * h;
    showScaleX = baseScaleX = float(gShowW) / float(imageW);
    showScaleY = baseScaleY = float(gShowH) / float(imageH);
    frameBytes = gisColor ? pixelCount * kColorBytesPerPixel : pixelCount;
    initSetting();
}

void CammerWidget::CameraClose() {
    if (!isOpen) return;
    camera->close();
    isOpen = false;
}

bool CammerWidget::CameraStart() {
    if (!isOpen) return false;
    camera->start();
    return true;
}

void CammerWidget::CameraStop() {
    if (!isOpen) return;
    camera->stop();
}

void CammerWidget::initSetting() {
    if (!camera || !gpWPara || cameraNo < 0 || cameraNo >= kMaxCameras) return;
    camera->setParams(cameraSettings(*gpWPara, cameraNo));
}

bool CammerWidget::settingsVisible() const {
    return hooks_.settingsVisible && hooks_.settingsVisible();
}

const WizardPara* CammerWidget::settingSource() const {
    if (cameraNo < 0 || cameraNo >= kMaxCameras) return nullptr;
    if (settingsVisible() && gpWParaBak) return gpWParaBak;
    return gpWPara;
}

void CammerWidget::SetExposeTime() {
    const WizardPara* p = settingSource();
    if (!isOpen || !p) return;
    camera->setExposeTime(p->exposeTime[cameraNo]);
    SetWB();
}

void CammerWidget::SetAdjustPlus() {
    const WizardPara* p = settingSource();
    if (!isOpen || !p) return;
    camera->setGain(p->adjustPlus[cameraNo]);
    SetWB();
}

void CammerWidget::SetSharp() {
    const WizardPara* p = settingSource();
    if (!isOpen || !p) return;
    camera->setSharp(p->sharp[cameraNo]);
}

void CammerWidget::SetContrast() {
    const WizardPara* p = settingSource();
    if (!isOpen || !p) return;
    camera->setContrast(p->contrast[cameraNo]);
}

void CammerWidget::SetGamma() {
    const WizardPara* p = settingSource();
    if (!isOpen || !p) return;
    camera->setGamma(p->gamma[cameraNo]);
}

void CammerWidget::SetWB() {
    if (!isOpen || !gisColor) return;
    camera->whiteBalance();
}

void CammerWidget::SetWDR() {
    const WizardPara* p = settingSource();
    if (!isOpen || !p) return;
    camera->stop();
    camera->setWDR(p->isWDR != 0);
    camera->start();
}

void CammerWidget::SetHMirror() {
    const WizardPara* p = settingSource();
    if (!isOpen || !p) return;
    CameraStop();
    camera->setHMirror(p->isHMirror[cameraNo] != 0);
    CameraStart();
}

void CammerWidget::SetVMirror() {
    const WizardPara* p = settingSource();
    if (!isOpen || !p) return;
    CameraStop();
    camera->setVMirror(p->isVMirror[cameraNo] != 0);
    CameraStart();
}

void CammerWidget::SetSpeed() {
    if (!isOpen || !gpWPara) return;
    CameraStop();
    camera->setSpeed(gpWPara->speed);
    CameraStart();
}

void CammerWidget::CameraChangeTrig(bool on) {
    if (!isOpen) return;
    camera->setExternalTrigger(on);
    // A frame the free run took before the switch would count as a triggered one and start a
    // cycle without a machine signal: it is taken now and dropped.
    if (on && frameBytes > 0 && context.grabBuf.size() == size_t(frameBytes))
        camera->grabImage(context.grabBuf.data());
}

void CammerWidget::RestoreDefaultSettings() {
    if (!camera || !gpWParaBak || cameraNo < 0 || cameraNo >= kMaxCameras) return;
    QJsonObject values = defaultSettingsRequest(*gpWParaBak, cameraNo);
    camera->restoreDefaultSettings(values, cameraNo);
    takeDefaultSettings(values, gpWParaBak, cameraNo);
}

bool CammerWidget::UpdateImage() {
    if (!camera || frameBytes <= 0 || context.grabBuf.size() != size_t(frameBytes)) return false;
    const bool fresh = camera->grabImage(context.grabBuf.data());
    const bool externalTrigger = gpWPara && gpWPara->sysUsage != 0;
    const bool noRefreshAfterAlarm = gpWPara && gpWPara->noRefreshAfterAlarm != 0;
    const int resultState = noRefreshAfterAlarm ? hostState().resultState : kResultWaiting;
    if (showsGrabbedFrame(gSource, externalTrigger, noRefreshAfterAlarm, resultState))
        showFrame(context.grabBuf);
    return fresh;
}

void CammerWidget::ManualUpdateImage() {
    if (isOpen && manualCapture) camera->softwareTrigger();
}

void CammerWidget::HotCameraUpdateROI() {
    if (!camera) return;
    registerRegionParamType();
    camera->setData(QVariant::fromValue(liveParam), 0);
}

int CammerWidget::HotCameraGetTemperature(int detect, int funcNO) {
    if (!isOpen) return 0;
    QJsonObject request;
    request.insert(QStringLiteral("detect"), detect);
    request.insert(QStringLiteral("funcNO"), funcNO);
    QVariant out;
    camera->getData(request, out, 0);
    return out.toInt();
}

// --- for the detection cycle ----------------------------------------------------------------

void CammerWidget::showFrame(const std::vector<uchar>& frame) {
    if (frame.empty() && frameBytes > 0 && showBuf.size() == size_t(frameBytes)) {
        // A ring slot no NG frame was kept in yet.
        std::fill(showBuf.begin(), showBuf.end(), uchar(0));
        update();
        return;
    }
    if (frameBytes <= 0 || frame.size() < size_t(frameBytes) ||
        showBuf.size() != size_t(frameBytes))
        return;
    if (frame.data() != showBuf.data())
        std::memcpy(showBuf.data(), frame.data(), size_t(frameBytes));
    update();
}

void CammerWidget::keepRecentNg(int d) {
    if (!validDetection(d) || recentNgBuf[d].size() != size_t(kRecentNgFrames)) return;
    if (context.alignedBuf.size() != size_t(frameBytes)) return;
    const int slot = ((recentNgCount[d] % kRecentNgFrames) + kRecentNgFrames) % kRecentNgFrames;
    recentNgBuf[d][slot].assign(context.alignedBuf.begin(), context.alignedBuf.end());
    ++recentNgCount[d];
    // The page's caption names the slot on show: a frame kept into it is what it shows now.
    if (gSource == kSourceRecentNg && hostState().editDetect == d && slot == recentNgShown)
        showFrame(recentNgBuf[d][slot]);
}

// --- loss and reconnection ------------------------------------------------------------------

bool CammerWidget::isReconnecting() const {
    return reconnecting_;
}

void CammerWidget::SlotLoss() {
    // A loss reported again while the camera is already being waited for changes nothing:
    // it is released once and retried until it answers.
    if (reconnecting_) {
        qInfo() << "camera" << cameraNo + 1 << "reported a loss again while reconnecting";
        return;
    }
    reconnecting_ = true;
    isConnected = false;
    if (hooks_.lostCamera) hooks_.lostCamera();
    if (camera) camera->release();
    update();
    ++lossCount;
    record(lan(kEntryCameraLost).arg(cameraNo + 1).arg(lossCount));
    qWarning() << "camera" << cameraNo + 1 << "lost, loss" << lossCount;
    reconnectTimer_->start(kReconnectIntervalMs);
}

void CammerWidget::reconnectStep() {
    if (!camera) return;
    isConnected = camera->reconnect();
    if (!isConnected) {
        reconnectTimer_->start(kReconnectIntervalMs);
        return;
    }
    reconnecting_ = false;
    qInfo() << "camera" << cameraNo + 1 << "reconnected";
    initSetting();
}

void CammerWidget::record(const QString& text) const {
    if (hooks_.insertRecord)
        hooks_.insertRecord(text);
    else
        qInfo() << "record:" << text;
}

cameraview::ViewHostState CammerWidget::hostState() const {
    return hooks_.hostState ? hooks_.hostState() : ViewHostState{};
}

// --- timers ----------------------------------------------------------------------------------

void CammerWidget::TimerShowAlarm() {
    if (isOK) {
        alarmBlink = kBlinkOff;
        if (showAlarmTimer) showAlarmTimer->stop();
    } else if (alarmBlink == kBlinkOn) {
        alarmBlink = kBlinkOff;
    } else if (alarmBlink == kBlinkOff) {
        alarmBlink = kBlinkOn;
    }
    update();
}

void CammerWidget::TimerFPS() {
    if (isOpen) camera->getFps(&fps);
}

// --- scales ---------------------------------------------------------------------------------

void CammerWidget::resizeEvent(QResizeEvent* event) {
    setWinSW();
    setWinSH();
    setShowSW();
    setShowSH();
    QWidget::resizeEvent(event);
}

void CammerWidget::setWinSW() {
    if (gShowW > 0) winScaleW = float(width()) / float(gShowW);
}

void CammerWidget::setWinSH() {
    if (gShowH > 0) winScaleH = float(height()) / float(gShowH);
}

void CammerWidget::setShowSW() {
    if (imageW > 0) showScaleX = float(width()) / float(imageW);
}

void CammerWidget::setShowSH() {
    if (imageH > 0) showScaleY = float(height()) / float(imageH);
}
