// The editing page's answers to an NG alarm: a failed frame added as a template, the mould not
// detected on one camera or on all, the step inspected again, switching between the live image
// and the template, and the ignore points of the failed areas.
#include <QDebug>
#include <QDir>
#include <QFileInfo>
#include <QTimer>
#include <algorithm>
#include <cstring>

#include "alarmrules.h"
#include "cammerrecong.h"
#include "cammersingleton.h"
#include "cammerwidget.h"
#include "editpage.h"
#include "templatefiles.h"
#include "wizardpara.h"
#include "writefailuretexts.h"

namespace cameraview {

namespace {

constexpr int kEntryShowIgnored = 64;
constexpr int kEntryAskNoneDetectAll = 102;
constexpr int kEntryNoneDetectsAll = 103;
constexpr int kEntryAskNoneDetect = 105;
constexpr int kEntryNoneDetects = 106;
constexpr int kEntrySwitchToAlarmCamera = 107;
constexpr int kEntryAskAddTemplate = 108;
constexpr int kEntryTemplateAdded = 109;
constexpr int kEntryHideIgnored = 112;
constexpr int kEntryAskIgnore = 113;
constexpr int kEntryIgnoring = 114;
constexpr int kEntryAreaTooLarge = 115;
constexpr int kEntryAskDeleteIgnored = 116;
constexpr int kEntryIgnoredDeleted = 117;
constexpr int kEntryOpenSafetyDoor = 195;
constexpr int kEntryOneTemplateOnly = 258;

// Handling states of an alarm (the result decision's alarmClearState).
constexpr int kAlarmOpen = 3;
constexpr int kAnswerDontDetect = 4;
constexpr int kAnswerAddTemplate = 5;
constexpr int kAnswerReDetect = 7;

bool validDetection(int d) {
    return d >= 0 && d < kMaxDetections;
}

}  // namespace

dialogs::Answer EditPage::warnEntry(int entry, const dialogs::Subject& about) {
    return host_.warn(lan(entry), about);
}

CammerWidget* EditPage::failedCurrent(const dialogs::Subject& about) {
    CammerWidget* v = current();
    if (v && !v->isOK) return v;
    warnEntry(kEntrySwitchToAlarmCamera, about);
    return nullptr;
}

// --- "Add As Temp" ---------------------------------------------------------------------------

void EditPage::SlotAddTemp() {
    const WizardPara& p = host_.settings();
    EditWords& w = host_.words();
    const int result = host_.resultState();
    // The frame added is the one shown at the press: a door closed meanwhile judges another
    // frame, and a failure kept meanwhile may take the recent NG slot on show.
    const dialogs::Subject about = shownFrameSubject();
    const bool liveAlarm = result == kResultNgAlarm && gSource == kSourceLive;
    if (liveAlarm) {
        if (!p.addAllCamTemp) {
            CammerWidget* v = current();
            if (!v || v->isOK) return void(warnEntry(kEntrySwitchToAlarmCamera, about));
        }
        if (p.safeDoorResetAlarm && !gisSafeDoorOpen)
            return void(warnEntry(kEntryOpenSafetyDoor, about));
    }
    if (gTempNum <= 1) return void(warnEntry(kEntryOneTemplateOnly, about));
    if (p.pswAddTemp && host_.checkPassword(about) == 0) return;
    const int d = liveAlarm ? host_.curDetect() : w.editDetect;
    if (host_.ask(lan(kEntryAskAddTemplate), about) != dialogs::Answer::Yes) return;
    if (w.curCamera < 0 || w.curCamera > numCamera) return;
    if (result == kResultNgAlarm && gSource != kSourceLive && gSource != kSourceRecentNg) return;
    if (result == kResultAreaSetting && gSource != kSourceRecentNg) return;
    QStringList unwritten;
    for (int c = 0; c < numCamera; ++c) {
        if (w.curCamera != numCamera && c != w.curCamera) continue;
        const QString failed = addTemplate(c, d);
        if (!failed.isEmpty()) unwritten << failed;
    }
    // A template that is not on the disk is not added: the alarm stays for another answer.
    if (!unwritten.isEmpty()) return warnUnwritten(unwritten, about);
    // The live frame was judged with the old library: it is judged again with the new one.
    if (gSource != kSourceRecentNg) reCheck(about);
}

TemplateSlot EditPage::chooseTemplateSlot(CammerWidget& v, int d) const {
    const engine::EngineContext& ctx = v.context;
    const std::vector<int>& used = ctx.templateUsed[size_t(d)];
    const int slotCount = std::min(gTempNum, int(used.size()));
    TemplateSlot chosen;
    if (ctx.templateCount[size_t(d)] < slotCount) {
        const int slot = freeTemplateSlot(used);
        if (slot >= 0 && slot < slotCount) chosen.slot = slot, chosen.free = true;
        return chosen;
    }
    // A full library: the oldest template but the reference gives its slot.
    const QDir folder = QFileInfo(templatePath(v.cameraNo, d, 0)).dir();
    std::vector<TemplateFile> files;
    for (const QFileInfo& f :
         folder.entryInfoList({QStringLiteral("template*.bmp")}, QDir::Files, QDir::Time))
        files.push_back({f.fileName(), f.lastModified()});
    const ReplacedTemplate r = replacedTemplate(std::move(files), slotCount);
    chosen.slot = r.slot;
    if (!r.removeName.isEmpty()) chosen.removePath = folder.filePath(r.removeName);
    return chosen;
}

void EditPage::claimTemplateSlot(CammerWidget& v, int d, const TemplateSlot& slot) {
    engine::EngineContext& ctx = v.context;
    if (slot.free) {
        ctx.templateUsed[size_t(d)][size_t(slot.slot)] = 1;
        ++ctx.templateCount[size_t(d)];
    }
    if (!slot.removePath.isEmpty()) QFile::remove(slot.removePath);
}

void EditPage::warnUnwritten(const QStringList& files, const dialogs::Subject& about) {
    QStringList lines;
    for (const QString& file : files) lines << lang::cannotWriteText(file);
    qWarning().noquote() << "alarm answer not done:" << lines.join(QStringLiteral("; "));
    host_.warn(lines.join(QLatin1Char('\n')), about);
}

void EditPage::AddTemp(int camera, int detection) {
    const dialogs::Subject about = subject();
    const QString failed = addTemplate(camera, detection);
    if (!failed.isEmpty()) warnUnwritten({failed}, about);
}

QString EditPage::addTemplate(int camera, int detection) {
    CammerWidget* v = host_.view(camera);
    const int d = detection;
    if (!v || !validDetection(d) || !v->context.isPrepared(d)) return {};
    if (gSource != kSourceRecentNg && v->isOK) return {};
    const bool live = gSource == kSourceLive;
    // The step is answered already: pressed again after another camera's file could not be
    // written, this frame is in the library and recorded; adding it twice would only push an
    // older template out for good.
    if (live && v->detectDone[d]) return {};
    engine::EngineContext& ctx = v->context;
    const int shown = host_.words().editDetect;
    const std::vector<uchar>* frame = &ctx.alignedBuf;
    if (!live) {
        if (!validDetection(shown) || v->recentNgShown < 0 ||
            v->recentNgShown >= int(v->recentNgBuf[size_t(shown)].size()))
            return {};
        frame = &v->recentNgBuf[size_t(shown)][size_t(v->recentNgShown)];
    }
    // A ring slot nothing was kept in yet stands for a zeroed frame.
    std::vector<uchar> zeroed;
    if (frame->empty()) {
        zeroed.assign(size_t(std::max(v->frameBytes, 0)), uchar(0));
        frame = &zeroed;
    }
    if (frame->size() != size_t(v->frameBytes)) return {};
    const TemplateSlot slot = chooseTemplateSlot(*v, d);
    if (slot.slot < 0) return {};
    // The file first: a template only in memory would pass this fault for the rest of the run
    // and alarm again after a restart, the operator's answer lost without a word.
    const QString path = templatePath(v->cameraNo, d, slot.slot);
    if (!failimage::saveFrameBmp(
            path, failimage::FrameView{frame->data(), v->imageW, v->imageH, gisColor != 0}))
        return QDir::cleanPath(path);
    claimTemplateSlot(*v, d, slot);
    ctx.templateBuf[size_t(d)][size_t(slot.slot)] = *frame;
    if (!live) {
        // Trained by the save that leaves the page.
        templatesChanged[size_t(camera)] = true;
        return {};
    }
    if (v->recong) v->recong->VarTrain(host_.curDetect());
    v->detectDone[d] = 1;
    if (host_.alarmClearState(camera, d) == kAlarmOpen)
        host_.setAlarmClearState(camera, d, kAnswerAddTemplate);
    host_.insertRecord(lan(kEntryTemplateAdded).arg(camera + 1));
    return {};
}

// --- "Don't Detect" ----------------------------------------------------------------------------

void EditPage::SlotNoCheckCur() {
    const WizardPara& p = host_.settings();
    const int d = host_.curDetect();
    // The mould not detected is the one judged when the question was answered.
    const dialogs::Subject about = subject();
    if (p.pswNotDetect && host_.checkPassword(about) == 0) return;
    if (p.safeDoorResetAlarm && !gisSafeDoorOpen)
        return void(warnEntry(kEntryOpenSafetyDoor, about));
    const int c = host_.words().curCamera;
    if (c == numCamera) {
        if (host_.ask(lan(kEntryAskNoneDetectAll), about) == dialogs::Answer::Yes) skipAll(about);
        return;
    }
    CammerWidget* v = current();
    if (!v || !validDetection(d)) return;
    if (v->isOK && host_.lastCycleNG()) return void(warnEntry(kEntrySwitchToAlarmCamera, about));
    if (host_.ask(lan(kEntryAskNoneDetect).arg(c + 1), about) != dialogs::Answer::Yes) return;
    v->detectDone[d] = 1;
    if (host_.alarmClearState(c, d) == kAlarmOpen)
        host_.setAlarmClearState(c, d, kAnswerDontDetect);
    host_.insertRecord(lan(kEntryNoneDetects).arg(c + 1));
    reCheck(about);
}

void EditPage::notCheckcur() {
    skipAll(subject());
}

void EditPage::skipAll(const dialogs::Subject& about) {
    const int d = host_.curDetect();
    if (saveData(about) == dialogs::Answer::Gone) return;
    gSource = kSourceNone;
    host_.resetRun();
    if (validDetection(d))
        for (int c = 0; c < numCamera; ++c)
            if (host_.alarmClearState(c, d) == kAlarmOpen)
                host_.setAlarmClearState(c, d, kAnswerDontDetect);
    host_.decideAnswered();
    host_.insertRecord(lan(kEntryNoneDetectsAll));
}

// --- "Re-detected" -------------------------------------------------------------------------------

void EditPage::SlotReCheck() {
    reCheck(subject());
}

void EditPage::reCheck(const dialogs::Subject& about) {
    const int d = host_.curDetect();
    EditWords& w = host_.words();
    const int shownCamera = w.curCamera;
    if (saveData(about) == dialogs::Answer::Gone) return;
    host_.resetRun();
    const WizardPara& p = host_.settings();
    const ReCheckStep step = reCheckStep(p.detectMode, d, gDNum);
    host_.setDetectPending(step.step, 0);
    const int withheld = reCheckWithheld(p, step.step, step.last);
    if (withheld >= 0) host_.setOutput(withheld, 1);
    host_.flushOutputs();

    if (validDetection(d)) {
        int pending = 0;
        for (int c = 0; c < numCamera; ++c) {
            const CammerWidget* v = host_.view(c);
            if (!v || v->detectDone[d] || !p.detectEnable[d]) continue;
            pending |= 1 << c;
            if (host_.alarmClearState(c, d) == kAlarmOpen)
                host_.setAlarmClearState(c, d, kAnswerReDetect);
        }
        host_.setDetectPending(step.step, host_.detectPending(step.step) | pending);
    }
    for (int c = 0; c < numCamera; ++c) {
        // Each inspection sets the detection the cycle runs; the next camera reads it again.
        const int now = host_.curDetect();
        const CammerWidget* v = host_.view(c);
        if (v && validDetection(now) && !v->detectDone[now] && p.detectEnable[now])
            host_.runAlgorithm(c, now);
    }
    host_.decideAnswered();

    const bool stillNg = host_.resultState() == kResultNgAlarm;
    if (stillNg && gSource != kSourceLive && gSource != kSourceNone) {
        // A door closed while a template, a recent NG frame or a stored picture was on show:
        // the alarm now stands on a frame judged just now, which is what every answer acts
        // on. The page shows it, under the live caption.
        if (look_.choices[SourceList].index != kSourceLive)
            setChoice(SourceList, kSourceLive);
        else
            SlotChangeSource(kSourceLive);
    }
    if (shownCamera < numCamera) {
        if (!stillNg) {
            gSource = kSourceNone;
        } else if (gSource == kSourceLive) {
            std::vector<bool> passed;
            for (int c = 0; c < numCamera; ++c)
                passed.push_back(!host_.view(c) || host_.view(c)->isOK);
            const int failed = nextFailedCamera(passed, std::max(shownCamera, 0));
            w.curCamera = failed;
            host_.changeCamera();
            setChoice(CameraList, failed);
        }
    } else if (!stillNg) {
        gSource = kSourceNone;
    }
}

// --- "Live<->Temp"
// ---------------------------------------------------------------------------------

void EditPage::SlotAutoChange() {
    if (host_.resultState() != kResultNgAlarm || !singleCamera()) return;
    if (gSource == kSourceLive) {
        setChoice(SourceList, kSourceTemplate);
    } else if (gSource == kSourceTemplate) {
        setChoice(SourceList, kSourceLive);
        for (int c = 0; c < numCamera; ++c) {
            CammerWidget* v = host_.view(c);
            if (!v || v->isOK) continue;
            v->alarmBlink = kBlinkOff;
            if (v->showAlarmTimer) v->showAlarmTimer->start(kAlarmBlinkIntervalMs);
        }
    }
}

// --- ignore points -------------------------------------------------------------------------------

bool EditPage::storeIgnorePoints(CammerWidget& v, int d, std::vector<uchar> mask,
                                 const QString& record, const dialogs::Subject& about) {
    if (!failimage::saveIgnoreMask(v.cameraNo, d, mask.data(), v.imageW, v.imageH)) {
        warnUnwritten({QDir::cleanPath(failimage::ignorePointPath(v.cameraNo, d))}, about);
        return false;
    }
    host_.insertRecord(record);
    v.context.ignoreMask[size_t(d)].swap(mask);
    v.update();
    if (v.recong) v.recong->VarTrain(d);
    return true;
}

void EditPage::SlotShowHideAlarmPoint() {
    CammerWidget* v = failedCurrent(subject());
    if (!v) return;
    if (v->alarmBlink == kBlinkIgnorePoints) {
        v->alarmBlink = kBlinkOff;
        setText(ShowIgnoreButton, kEntryShowIgnored);
    } else {
        v->alarmBlink = kBlinkIgnorePoints;
        setText(ShowIgnoreButton, kEntryHideIgnored);
    }
    v->update();
}

void EditPage::SlotIgnoreAlarmPoint() {
    const int d = host_.curDetect();
    // The pixels ignored are those that failed in the frame the operator saw: a door closed
    // during the question judges another frame.
    const dialogs::Subject about = subject();
    CammerWidget* v = failedCurrent(about);
    if (!v || host_.checkPassword(about) == 0 ||
        host_.ask(lan(kEntryAskIgnore), about) != dialogs::Answer::Yes)
        return;
    const QString record = lan(kEntryIgnoring).arg(host_.words().curCamera + 1);
    engine::EngineContext& ctx = v->context;
    if (!validDetection(d) || !v->liveParam ||
        ctx.ignoreMask[size_t(d)].size() != size_t(v->pixelCount) ||
        ctx.resultMask.size() != size_t(v->pixelCount) || ctx.defectRects.size() <= size_t(d))
        return host_.insertRecord(record);
    // Taken over only once it is on the disk.
    std::vector<uchar> mask = ctx.ignoreMask[size_t(d)];
    const int count = std::clamp(v->liveParam->roiCount[d], 0, engine::kMaxRois);
    for (int i = 0; i < count; ++i) {
        if (ctx.roiOK[d][i]) continue;
        if (ctx.roiValue[d][i] > kMaxIgnoredArea) {
            // The warning is modal: the alarm may be lifted and the next one raised with
            // faults nobody has looked at.
            if (host_.warn(lan(kEntryAreaTooLarge).arg(kMaxIgnoredArea), about) ==
                dialogs::Answer::Gone)
                return;
            continue;
        }
        ignoreDefectPixels(ctx.defectRects[size_t(d)][size_t(i)], ctx.resultMask.data(),
                           mask.data(), v->imageW, v->imageH);
    }
    storeIgnorePoints(*v, d, std::move(mask), record, about);
}

void EditPage::SlotDeleteIgnorePoint() {
    const int d = host_.curDetect();
    const dialogs::Subject about = subject();
    CammerWidget* v = failedCurrent(about);
    if (!v || host_.ask(lan(kEntryAskDeleteIgnored), about) != dialogs::Answer::Yes) return;
    const QString record = lan(kEntryIgnoredDeleted).arg(host_.words().curCamera + 1);
    if (!validDetection(d) || v->context.ignoreMask[size_t(d)].size() != size_t(v->pixelCount))
        return host_.insertRecord(record);
    std::vector<uchar> mask(size_t(v->pixelCount), uchar(0));
    storeIgnorePoints(*v, d, std::move(mask), record, about);
}

}  // namespace cameraview
