#include "cyclecamerastation.h"

#include <QFileInfo>
#include <QImage>
#include <QRect>
#include <QTimer>
#include <QVector>

#include "cammerrecong.h"
#include "cammersingleton.h"
#include "cammerwidget.h"
#include "cyclestate.h"
#include "enginefailimage.h"
#include "faildirectory.h"
#include "globals.h"

namespace {

// The countdown area of a view in display coordinates (scaled by the view's window scale).
constexpr int kCountdownX = 520;
constexpr int kCountdownY = 5;
constexpr int kCountdownW = 130;
constexpr int kCountdownH = 36;
constexpr int kGreyLevels = 256;

// Region functions that are not inspected (ignore, position, registration areas).
bool inspectedFunction(int func) {
    return func != 2 && func != 3 && func != 10;
}

}  // namespace

CammerWidgetStation::CammerWidgetStation(CammerWidget* view, detection::CycleState& state)
    : view_(view), state_(state) {}

bool CammerWidgetStation::validStep(int step) const {
    return step >= 0 && step < kMaxDetections;
}

bool CammerWidgetStation::updateImage() {
    const bool fresh = view_->UpdateImage();
    // A frame that comes while the link is down is not one of the link that returns.
    if (fresh && view_->isConnected) stamp_ = {detection::nextMoment(), link()};
    return fresh;
}

void CammerWidgetStation::whiteBalance() {
    view_->SetWB();
}

bool CammerWidgetStation::isConnected() const {
    return view_->isConnected;
}

int CammerWidgetStation::link() const {
    return view_->lossCount;
}

void CammerWidgetStation::markFrameMissing(detection::FrameMissing why) {
    const bool lost = why == detection::FrameMissing::LostWithLink;
    const bool notDelivered = why == detection::FrameMissing::NotDelivered;
    if (view_->frameLostWithLink == lost && view_->frameNotDelivered == notDelivered) return;
    view_->frameLostWithLink = lost;
    view_->frameNotDelivered = notDelivered;
    view_->update();
}

bool CammerWidgetStation::isOK() const {
    return view_->isOK;
}

void CammerWidgetStation::setOK(bool ok) {
    view_->isOK = ok;
}

void CammerWidgetStation::resetResults() {
    engine::EngineContext& ctx = view_->context;
    ctx.isOK = true;
    markFrameMissing(detection::FrameMissing::None);
    for (int d = 0; d < engine::kDetections; ++d) {
        for (int i = 0; i < engine::kMaxRois; ++i) {
            ctx.roiOK[d][i] = 1;
            ctx.roiValue[d][i] = 0;
        }
        if (d < int(ctx.defectRects.size()))
            for (engine::DefectList& defects : ctx.defectRects[d]) defects.count = 0;
    }
}

void CammerWidgetStation::setDetectDone(int step, bool done) {
    if (validStep(step)) view_->detectDone[step] = done ? 1 : 0;
}

bool CammerWidgetStation::reTrainPending(int step) const {
    return validStep(step) && view_->reTrainPending[step] != 0;
}

void CammerWidgetStation::setReTrainPending(int step, bool pending) {
    if (validStep(step)) view_->reTrainPending[step] = pending ? 1 : 0;
}

bool CammerWidgetStation::saveReTrainImage(int step) {
    // The new reference goes on screen only where the live image is shown.
    const bool showsLive = gSource == cameraview::kSourceNone || gSource == cameraview::kSourceLive;
    const bool written =
        failimage::saveReTrainImage(view_->context, step, showsLive ? &view_->showBuf : nullptr);
    view_->update();
    return written;
}

void CammerWidgetStation::inspect(int step) {
    CammerRecong* engine = view_->recong;
    if (!engine) {
        // A view without an engine cannot pass a step.
        view_->isOK = false;
        return;
    }
    engine->InspectStep(step);
}

void CammerWidgetStation::prepareInspection(int step) {
    if (CammerRecong* engine = view_->recong) engine->InspectHeld(step);
}

void CammerWidgetStation::retrain(int step) {
    CammerRecong* engine = view_->recong;
    if (!engine) return;
    engine->CreateShape(step);
    engine->CreateHomoShape(step);
    engine->VarTrain(step);
}

void CammerWidgetStation::showInspectedFrame(bool aligned) {
    view_->showFrame(aligned ? view_->context.alignedBuf : view_->context.grabBuf);
}

std::vector<int> CammerWidgetStation::failedNgOutputs(int step) const {
    std::vector<int> groups;
    const CammerSingleton* p = view_->liveParam;
    if (!p || !validStep(step)) return groups;
    const int count = std::min(p->roiCount[step], engine::kMaxRois);
    for (int i = 0; i < count; ++i)
        if (inspectedFunction(p->roiFunc[step][i]) && !view_->context.roiOK[step][i])
            groups.push_back(p->roiNgOutput[i]);
    return groups;
}

void CammerWidgetStation::keepRecentNg(int step) {
    view_->keepRecentNg(step);
}

void CammerWidgetStation::startAlarmBlink(int ms) {
    if (view_->showAlarmTimer) view_->showAlarmTimer->start(ms);
}

bool CammerWidgetStation::saveNewestFrame(const QString& path) {
    const engine::EngineContext& ctx = view_->context;
    if (ctx.imageW <= 0 || ctx.imageH <= 0 || int(ctx.grabBuf.size()) < ctx.frameBytes)
        return false;
    const QByteArray format = QFileInfo(path).suffix().toLatin1();
    if (ctx.isColor) {
        // Colour frames are R, G, B, A bytes.
        const QImage frame(ctx.grabBuf.data(), ctx.imageW, ctx.imageH, ctx.imageW * 4,
                           QImage::Format_RGBA8888);
        return failimage::writePictureAtomically(frame.convertToFormat(QImage::Format_RGB32), path,
                                                 format.constData());
    }
    QImage frame(ctx.grabBuf.data(), ctx.imageW, ctx.imageH, ctx.imageW, QImage::Format_Indexed8);
    QVector<QRgb> grey(kGreyLevels);
    for (int i = 0; i < kGreyLevels; ++i) grey[i] = qRgba(i, i, i, 255);
    frame.setColorTable(grey);
    return failimage::writePictureAtomically(frame, path, format.constData());
}

void CammerWidgetStation::saveFailImage(int step, int isOK) {
    failimage::saveFailImage(view_->context, step, isOK, state_.safetyDoorTrig != 0,
                             view_->baseScaleX, view_->baseScaleY);
}

void CammerWidgetStation::updateFailImage(int step, int isOK) {
    const int c = view_->cameraNo;
    if (c < 0 || c >= kMaxCameras || !validStep(step)) return;
    failimage::updateFailImage(view_->context, step, isOK, &state_.alarmClearState[c][step]);
}

void CammerWidgetStation::repaint() {
    view_->update();
}

void CammerWidgetStation::repaintCountdown() {
    view_->update(QRect(int(kCountdownX * view_->winScaleW), int(kCountdownY * view_->winScaleH),
                        kCountdownW, kCountdownH));
}
