// The editing page's stored things: template libraries (paging, deleting), the stored OK and NG
// pictures, and the save that commits the edited areas with their records and retraining.
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonObject>
#include <algorithm>
#include <memory>

#include "cammerrecong.h"
#include "cammersingleton.h"
#include "cammerwidget.h"
#include "changelog.h"
#include "editpage.h"
#include "imagehelpers.h"
#include "paramlimits.h"
#include "wizardpara.h"
#include "writefailuretexts.h"

namespace cameraview {

namespace {

constexpr int kEntryDeleteFirst = 68;
constexpr int kEntryAskDeleteTemplate = 69;
constexpr int kEntryTemplateDeleted = 70;
constexpr int kEntryTemplatesDeleted = 71;
constexpr int kEntryAskSave = 72;
// The language table has no text for a confirmed save that found its edits gone; it follows the
// wording of the save question (72) in every language.
const char* const kEditsGone[kLanguageCount] = {
    "提问期间页面已关闭或重新打开，参数未保存！",
    "The page was closed or opened again during the question: the parameters were not saved!",
    "提問期間頁面已關閉或重新開啟，參數未儲存！",
    "質問中にページが閉じられたか再び開かれたため、パラメータは保存されていません！"};
const QString kTemplateZero = QStringLiteral("template0.bmp");

int detections() {
    return std::clamp(gDNum, 0, kMaxDetections);
}

}  // namespace

// --- templates -------------------------------------------------------------------------------

void EditPage::showTemplate(CammerWidget& v) {
    const int d = host_.words().editDetect;
    const int t = v.context.curTemplate;
    if (d < 0 || d >= kMaxDetections || t < 0 || t >= int(v.context.templateBuf[d].size())) {
        // A detection with no templates prepared: no other source's frame under its caption.
        v.showFrame({});
        gTempTime.clear();
        return;
    }
    const std::vector<uchar>& frame = v.context.templateBuf[d][size_t(t)];
    v.showFrame(frame);
    GetTempTIme(host_.words().curCamera, d, t);
    if (gisColor && v.context.grayBuf.size() == size_t(v.pixelCount) &&
        frame.size() == size_t(v.frameBytes)) {
        const int* pixels = reinterpret_cast<const int*>(frame.data());
        if (gisGrayHue)
            RGBA2Gray(v.context.grayBuf.data(), pixels, v.imageW, v.imageH);
        else
            RGBA2Hue(v.context.grayBuf.data(), pixels, v.imageW, v.imageH);
    }
    v.update();
}

void EditPage::templateStored(int camera, int detection, int slot) {
    const EditWords& w = host_.words();
    CammerWidget* v = current();
    if (gSource != kSourceTemplate || !v || w.curCamera != camera || w.editDetect != detection ||
        v->context.curTemplate != slot)
        return;
    showTemplate(*v);
}

void EditPage::GetTempTIme(int camera, int detection, int slot) {
    const QFileInfo file(templatePath(camera, detection, slot));
    gTempTime = file.exists()
                    ? file.lastModified().toString(QString::fromLatin1(kTemplateTimeFormat))
                    : QString();
}

void EditPage::page(bool forward) {
    CammerWidget* v = current();
    const int d = host_.words().editDetect;
    if (!v || v->context.curTemplate < 0 || v->context.curTemplate >= gTempNum || d < 0 ||
        d >= detections())
        return;
    switch (gSource) {
        case kSourceTemplate:
            v->context.curTemplate =
                steppedTemplate(v->context.templateUsed[d], v->context.curTemplate, forward);
            showTemplate(*v);
            break;
        case kSourceRecentNg:
            if (v->recentNgBuf[d].size() != size_t(kRecentNgFrames)) break;
            v->recentNgShown = steppedRecentNg(v->recentNgShown, v->recentNgCount[d], forward);
            v->showFrame(v->recentNgBuf[d][size_t(v->recentNgShown)]);
            break;
        case kSourceOkRecords:
        case kSourceNgRecords:
            if (recordCount == 0) return;
            recordIndex = steppedRecord(recordIndex, recordCount, forward);
            LoadPic();
            break;
        default:
            break;
    }
    v->update();
}

void EditPage::SlotTempDeleteCur() {
    CammerWidget* v = current();
    if (!v) return;
    const dialogs::Subject about = subject();
    if (v->context.curTemplate == 0) {
        host_.warn(lan(kEntryDeleteFirst), about);
        return;
    }
    // The question is modal: an alarm may close the page and open it again meanwhile.
    if (host_.ask(lan(kEntryAskDeleteTemplate), about) != dialogs::Answer::Yes) return;
    const int d = host_.words().editDetect;
    const int n = v->context.curTemplate;
    if (d < 0 || d >= kMaxDetections || n < 0 || n >= int(v->context.templateUsed[d].size()) ||
        !v->context.templateUsed[d][size_t(n)])
        return;
    v->context.templateUsed[d][size_t(n)] = 0;
    --v->context.templateCount[d];
    templatesChanged[size_t(host_.words().curCamera)] = true;
    QFile::remove(templatePath(v->cameraNo, d, n));
    SlotTempNext();
    host_.insertRecord(lan(kEntryTemplateDeleted).arg(host_.words().curCamera + 1).arg(n + 1));
}

void EditPage::SlotTempDeleteAll() {
    const bool separately = host_.settings().camSampleSeparately && singleCamera();
    QJsonArray cameras;
    QJsonArray steps;
    for (int c = 0; c < numCamera; ++c) {
        CammerWidget* v = host_.view(c);
        if (!v || (separately && c != host_.words().curCamera)) continue;
        for (int d = 0; d < detections(); ++d) {
            engine::EngineContext& ctx = v->context;
            if (ctx.isPrepared(d)) {
                ctx.templateCount[d] = 1;
                std::fill(ctx.templateUsed[d].begin() + 1, ctx.templateUsed[d].end(), 0);
            }
            ctx.curTemplate = 0;
            templatesChanged[size_t(c)] = true;
            QDir folder = QFileInfo(templatePath(v->cameraNo, d, 0)).dir();
            const QStringList names =
                folder.entryList({QStringLiteral("template*")}, QDir::Files, QDir::Name);
            for (const QString& name : names)
                if (!name.contains(kTemplateZero)) folder.remove(name);
            cameras.append(v->cameraNo);
            steps.append(d);
        }
    }
    host_.templatesCleared(
        QJsonObject{{QStringLiteral("camera"), cameras}, {QStringLiteral("detect"), steps}});
    host_.insertRecord(lan(kEntryTemplatesDeleted));
}

// --- stored pictures ---------------------------------------------------------------------------

void EditPage::LoadPic() {
    recordCamera = look_.choices[CameraList].index;
    recordDetect = look_.choices[DetectList].index;
    if (recordCamera < 0 || recordCamera >= numCamera) recordCamera = 0;
    if (recordDetect < 0 || recordDetect >= gDNum) recordDetect = 0;
    const QDir folder(host_.recordFolder(recordCamera, recordDetect, recordKind));
    const QString suffix = QString::fromLatin1(kRecordPictureSuffix);
    const QStringList names =
        folder.entryList({QStringLiteral("*") + suffix}, QDir::Files, QDir::Time);
    recordCount = names.size();
    if (recordCount == 0) {
        recordIndex = 0;
        recordName.clear();
        return;
    }
    recordIndex = std::clamp(recordIndex, 0, recordCount - 1);
    const QString name = names.at(recordIndex);
    recordName = name.left(name.size() - suffix.size());
    recordImage = QImage(folder.filePath(name));
}

RecordPicture EditPage::recordPicture() const {
    RecordPicture r;
    r.image = recordImage;
    r.name = recordName;
    r.camera = recordCamera;
    r.count = recordCount;
    r.index = recordIndex;
    return r;
}

// --- saving ----------------------------------------------------------------------------------

void EditPage::SlotSaveData() {
    saveData(subject());
}

dialogs::Answer EditPage::saveData(const dialogs::Subject& about) {
    const dialogs::Answer answer =
        look_.shown && copiesHeld_ ? commitEdits(about) : dialogs::Answer::Yes;
    // Templates added from the recent NG frames are on the disk already: they are trained
    // whatever became of the question.
    for (int c = 0; c < numCamera; ++c) {
        if (!templatesChanged[size_t(c)]) continue;
        templatesChanged[size_t(c)] = false;
        train(c);
    }
    return answer;
}

dialogs::Answer EditPage::commitEdits(const dialogs::Subject& about) {
    std::array<bool, kMaxCameras> differs{};
    bool any = false;
    for (int c = 0; c < numCamera; ++c) {
        const CammerWidget* v = host_.view(c);
        differs[size_t(c)] =
            v && v->liveParam && v->editParam && !v->liveParam->sameParameters(*v->editParam);
        any = any || differs[size_t(c)];
    }
    if (!any) return dialogs::Answer::Yes;
    const int opening = opening_;
    const dialogs::Answer answer = host_.ask(lan(kEntryAskSave), about);
    if (answer == dialogs::Answer::Gone) {
        // Closed or opened again while the question was open (an NG alarm, its lift): the
        // copies compared are gone, and an operator who saw the question go must not take the
        // silence for a save. On a page still open the edits wait for the next save.
        if (opening != opening_ || !copiesHeld_) host_.warn(lanOwn(kEditsGone), subject());
        return answer;
    }
    if (answer != dialogs::Answer::Yes) return answer;
    bool stored = true;
    for (int c = 0; c < numCamera; ++c)
        if (differs[size_t(c)]) stored = saveCamera(c) && stored;
    if (!stored)
        host_.warn(lang::cannotWriteText(QLatin1String(params::kParamDatabaseFile)), about);
    return answer;
}

bool EditPage::saveCamera(int c) {
    CammerWidget* v = host_.view(c);
    const WizardPara& p = host_.settings();
    QStringList records;
    bool rebuild = false;
    for (int g = 0; g < detections(); ++g) {
        const DetectionChanges changes =
            describeChanges(*v->liveParam, *v->editParam, c, g, p.detectMode);
        records << changes.records;
        rebuild = rebuild || changes.rebuild;
    }
    // Areas the disk did not take are not put in force nor recorded as changed: a restart
    // would bring the stored ones back unseen. The edits stay on the page for another try.
    const auto inForce = std::make_unique<CammerSingleton>(v->cameraNo);
    inForce->copyFrom(*v->liveParam);
    // Deep copies: a mask rebuilt in place must not change what is given back.
    RoiMaskTable masksInForce;
    for (size_t d = 0; d < masksInForce.size(); ++d)
        for (size_t i = 0; i < masksInForce[d].size(); ++i)
            masksInForce[d][i] = v->context.roiMask[d][i].clone();
    v->liveParam->copyFrom(*v->editParam);
    v->RestorMask();
    const bool shared = p.sameParam && ((p.detectEnable[0] && p.detectMode == 0) ||
                                        p.detectMode == 1 || p.detectMode == 2);
    if (shared) {
        v->CopyPara();
        v->editParam->copyFrom(*v->liveParam);
        v->BackMask();
    }
    if (!v->saveRegions()) {
        v->liveParam->copyFrom(*inForce);
        v->context.roiMask = masksInForce;
        return false;
    }
    for (const QString& text : qAsConst(records)) host_.insertRecord(text);
    templatesChanged[size_t(c)] = true;
    if (!rebuild || !v->recong) return true;
    for (int d = 0; d < detections(); ++d) {
        if (!p.detectEnable[d]) continue;
        v->recong->CreateHomoShape(d);
        v->recong->CreateShape(d);
    }
    return true;
}

void EditPage::train(int c) {
    CammerWidget* v = host_.view(c);
    if (!v || !v->recong) return;
    const WizardPara& p = host_.settings();
    for (int d = 0; d < detections(); ++d)
        if (p.detectEnable[d]) v->recong->VarTrain(d);
}

}  // namespace cameraview
