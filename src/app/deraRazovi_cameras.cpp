// The main window's side of the camera views: the hooks each view gets, the camera-loss alarm
// and the connection check of the detection pass.
#include <QCoreApplication>
#include <QTimer>
#include <cstring>

#include "camerainterface.h"
#include "cammerwidget.h"
#include "controlport.h"
#include "deraRazovi.h"
#include "detectioncontroller.h"
#include "devicehelpers.h"
#include "differenceregions.h"
#include "drawroiwidget.h"
#include "floatslider.h"
#include "httpapiserver.h"
#include "imagehelpers.h"
#include "indexbutton.h"
#include "lostcamerawarnbox.h"
#include "mon_netmn.h"
#include "networksinks.h"
#include "numberinput.h"
#include "panellimits.h"
#include "question.h"
#include "systemactions.h"
#include "warnbox.h"
#include "wizardpara.h"
#include "wizardparawidget.h"

namespace {
constexpr int kEntryCameraUnavailable = 39;
constexpr int kEntryParamFileError = 160;
}  // namespace

cameraview::CameraViewHooks DeRaRazovi::viewHooks() {
    cameraview::CameraViewHooks hooks;
    hooks.insertRecord = [this](const QString& text) { InsertRecord(text); };
    hooks.lostCamera = [this] { LostCamera(); };
    hooks.settingsVisible = [this] { return wizardParaWidget && wizardParaWidget->isVisible(); };
    hooks.hostState = [this] {
        cameraview::ViewHostState s;
        s.curCamera = curCamera;
        s.editDetect = editDetect;
        s.curDetect = curDetect;
        s.detectState = detectState;
        s.resultState = resultState;
        s.cycleState = cycleState;
        s.drawTool = drawTool;
        s.freehandDraw = freehandDraw != 0;
        s.copyAreaArmed = copyAreaArmed != 0;
        s.zoomX = zoomX;
        s.zoomY = zoomY;
        s.zoomScale = zoomScale;
        for (int k = 0; k < kMaxDetections; ++k) {
            s.stepTimerActive[k] = timerUp[k] && timerUp[k]->isActive();
            s.trigDelayLeft[k] = trigDelayLeft[k];
        }
        return s;
    };
    hooks.startDrawHint = [this](int ms) {
        if (drawHintTimer) drawHintTimer->start(ms);
    };
    engine::connectNetworkSinks(hooks.resultSinks, httpApiServer.data());
    hooks.setDrawTool = [this](int tool) { drawTool = tool; };
    hooks.disarmCopy = [this] { copyAreaArmed = 0; };
    hooks.pressedAt = [this](QPoint p) {
        lastPressX = p.x();
        lastPressY = p.y();
    };
    hooks.pointerOver = [this](const cameraview::PointerSample& s) {
        cursorImageX = s.image.x();
        cursorImageY = s.image.y();
        if (s.inFrame) cursorPixel = s.pixel;
    };
    hooks.viewTouched = [this] {
        if (!indexButton) return;
        indexButton->restartCollapseTimer();
        if (resultState >= 2) return;
        const bool settingsShown = wizardParaWidget && wizardParaWidget->isVisible();
        if (indexButton->isHidden() && !settingsShown) {
            indexButton->show();
            if (gpNumPad) gpNumPad->HideUpdate();
        }
        if (indexButton->isVisible()) indexButton->checkShowHide();
    };
    hooks.panZoom = [this](QPoint p) { updateMScale(p.x(), p.y()); };
    hooks.recordPicture = [this] {
        return drawROIWidget ? drawROIWidget->recordPicture() : cameraview::RecordPicture{};
    };
    hooks.editingPage = [this](cameraview::EditPageCall call) {
        if (drawROIWidget) drawROIWidget->viewCall(call);
    };
    hooks.editSubject = [this] {
        return drawROIWidget ? drawROIWidget->page().subject() : panelSubject();
    };
    hooks.doubleTap = doubleTap_;
    return hooks;
}

void DeRaRazovi::LostCamera() {
    // The views come up after the parameters and the IO board and go before them; a loss
    // outside that time has no cycle to hold.
    if (!gpWPara || !gpControlIO) return;
    cycle().lostCamera();
    QCoreApplication::processEvents();
}

int DeRaRazovi::CameraCheck() {
    for (int c = 0; c < numCamera; ++c)
        if (cammerWidgets[c] && !cammerWidgets[c]->isConnected) return 0;
    return 1;
}

void DeRaRazovi::CameraSetSpeed() {
    for (int c = 0; c < numCamera; ++c)
        if (cammerWidgets[c]) cammerWidgets[c]->SetSpeed();
}

void DeRaRazovi::askPowerOffAfterCameraLoss() {
    if (!gpLostCameraWarnBox) return;
    // A view marks itself disconnected before it reports the loss, so the question is asked
    // while the check fails; a camera back (the check passing) or a recovery the pass saw ends it.
    const dialogs::Subject loss("the camera loss", [this] {
        return dialogs::Subject::Reading{cameraLossesEnded_, CameraCheck()};
    });
    dialogs::askWithoutBlocking(*gpLostCameraWarnBox, loss, [this] { powerOffAfterCameraLoss(); });
}

void DeRaRazovi::cameraLossEnded() {
    ++cameraLossesEnded_;
    if (gpLostCameraWarnBox) gpLostCameraWarnBox->hide();
}

void DeRaRazovi::powerOffAfterCameraLoss() {
    StopWTD();
    InsertRecord(lan(kEntryCameraUnavailable));
    HandPanelToSystem(QStringLiteral("poweroff"));
}

void DeRaRazovi::CameraRestart() {
    bool allUp = true;
    for (int c = 0; c < numCamera; ++c) {
        CammerWidget* view = cammerWidgets[c];
        if (!view || view->isConnected) continue;
        if (view->camera) view->isConnected = view->camera->reconnect();
        allUp = allUp && view->isConnected;
    }
    if (!allUp) return;
    if (gpWarnBox) gpWarnBox->withdraw(lan(kEntryCameraUnavailable));
    fpsTimer->start(panel::kHeartbeatMs);
}

QVector<QPolygon> DeRaRazovi::AutogenerationRegion(int camera) {
    QVector<QPolygon> areas;
    if (camera < 0 || camera >= numCamera || !cammerWidgets[camera]) return areas;
    const engine::EngineContext& ctx = cammerWidgets[camera]->context;
    const int d = qBound(0, editDetect, kMaxDetections - 1);
    const size_t frameBytes = size_t(ctx.frameBytes);
    // A camera whose buffers were never prepared has nothing to compare.
    if (frameBytes == 0 || ctx.templateBuf[d].empty() ||
        ctx.templateBuf[d][0].size() != frameBytes || ctx.grabBuf.size() != frameBytes)
        return areas;
    const auto grey = [&ctx](const std::vector<uchar>& frame) {
        cv::Mat picture(ctx.imageH, ctx.imageW, CV_8UC1);
        if (ctx.isColor)
            RGBA2Gray(picture.data, reinterpret_cast<const int*>(frame.data()), ctx.imageW,
                      ctx.imageH);
        else
            std::memcpy(picture.data, frame.data(), frame.size());
        return picture;
    };
    for (const std::vector<cv::Point>& outline :
         imaging::differenceRegions(grey(ctx.templateBuf[d][0]), grey(ctx.grabBuf))) {
        QPolygon polygon;
        for (const cv::Point& p : outline) polygon << QPoint(p.x, p.y);
        areas << polygon;
    }
    return areas;
}

void DeRaRazovi::takeStoredCameraData() {
    if (drawROIWidget && drawROIWidget->page().holdsCopies()) {
        // The regions wait for the page; the library is taken now: an answer on the page writes
        // its template or ignore points into the files just restored.
        for (int c = 0; c < numCamera && c < kMaxCameras; ++c)
            if (cammerWidgets[c]) cammerWidgets[c]->takeStoredLibrary();
        storedCameraDataPending_ = true;
        return;
    }
    storedCameraDataPending_ = false;
    bool regionsRead = true;
    for (int c = 0; c < numCamera && c < kMaxCameras; ++c)
        if (cammerWidgets[c]) regionsRead = cammerWidgets[c]->takeStored() && regionsRead;
    // Told without a nested loop: the callers go on (the settings screen, a detection pass).
    if (!regionsRead && gpWarnBox) {
        gpWarnBox->setText(lan(kEntryParamFileError));
        gpWarnBox->show();
    }
}

void DeRaRazovi::editCopiesReleased() {
    // The page may close inside a detection pass (an OK lifting the alarm): the views change
    // between passes, and not at all when the next alarm has opened the page again.
    if (!storedCameraDataPending_) return;
    QTimer::singleShot(0, this, [this] {
        if (storedCameraDataPending_) takeStoredCameraData();
    });
}
