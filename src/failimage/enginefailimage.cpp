#include "enginefailimage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QtDebug>
#include <algorithm>

#include "failimagelimits.h"
#include "failslots.h"
#include "globals.h"
#include "regionoverlay.h"
#include "templatefiles.h"
#include "wizardpara.h"

namespace failimage {

namespace {

bool validStep(int step) {
    return step >= 0 && step < kSteps;
}

bool frameReady(const engine::EngineContext& context, const std::vector<uchar>& buffer) {
    return context.frameBytes > 0 && buffer.size() == size_t(context.frameBytes);
}

FrameView frameOf(const engine::EngineContext& context, const std::vector<uchar>& buffer) {
    return FrameView{buffer.data(), context.imageW, context.imageH, context.isColor};
}

}  // namespace

bool saveFailImage(const engine::EngineContext& context, int step, int isOK, bool safetyDoorTrigger,
                   float baseScaleX, float baseScaleY) {
    if (!validStep(step) || !frameReady(context, context.alignedBuf)) return false;
    const QString lineText = safetyDoorTrigger ? lan(kEntrySafetyDoorTrigger) : QString();
    FailPictureSpec spec;
    if (context.liveParam) {
        RegionResults results;
        results.roiOK = context.roiOK[step];
        results.roiValue = context.roiValue[step];
        if (size_t(step) < context.defectRects.size()) {
            const auto& lists = context.defectRects[size_t(step)];
            results.defects = [&lists](int area) {
                return area >= 0 && size_t(area) < lists.size() ? defectBoxes(lists[size_t(area)])
                                                                : QVector<DefectBox>();
            };
        }
        const WizardPara& para = context.para();
        spec = describeDetection(*context.liveParam, step, results,
                                 LabelSettings{para.showAllParam != 0, para.alarmArea}, isOK != 0,
                                 lineText, baseScaleX, baseScaleY);
    } else {
        spec.isOK = isOK != 0;
        spec.lineText = lineText;
    }
    return saveFailPicture(context.cameraNo, step, isOK != 0 ? kKindOK : kKindNG,
                           frameOf(context, context.alignedBuf), spec);
}

bool updateFailImage(const engine::EngineContext& context, int step, int isOK, int* state) {
    return updateFailPicture(context.cameraNo, step, isOK != 0 ? kKindOK : kKindNG,
                             QSize(context.imageW, context.imageH), state);
}

bool saveReTrainImage(engine::EngineContext& context, int step, std::vector<uchar>* showBuf) {
    if (!validStep(step) || !frameReady(context, context.grabBuf)) {
        qWarning() << "retrain picture of camera" << context.cameraNo + 1 << "detection" << step + 1
                   << "not taken: no frame";
        return false;
    }
    context.alignedBuf = context.grabBuf;
    if (showBuf && showBuf->size() == context.alignedBuf.size()) *showBuf = context.alignedBuf;
    // The file first: a template only in memory judges every mould by a picture the next start
    // no longer has, and the judgements turn round then without a word.
    if (!saveRetrainTemplate(context.cameraNo, step, frameOf(context, context.alignedBuf)))
        return false;
    auto& templates = context.templateBuf[size_t(step)];
    if (!templates.empty() && templates[0].size() == context.alignedBuf.size())
        templates[0] = context.alignedBuf;
    return true;
}

bool dropOtherTemplates(engine::EngineContext& context, int step) {
    if (!validStep(step)) return false;
    // Every slot's file, also one past the slots in use now: a later start would load it.
    static const QRegularExpression slotFile(QStringLiteral("^template([0-9]+)\\.bmp$"));
    QDir folder = QFileInfo(templatePath(context.cameraNo, step, 0)).dir();
    bool removed = true;
    for (const QString& name : folder.entryList({QStringLiteral("template*.bmp")}, QDir::Files)) {
        const QRegularExpressionMatch slot = slotFile.match(name);
        if (!slot.hasMatch() || slot.captured(1).toInt() == 0 || folder.remove(name)) continue;
        qWarning().noquote() << "resample: the old template" << folder.filePath(name)
                             << "cannot be removed and stays in force";
        removed = false;
    }
    auto& used = context.templateUsed[size_t(step)];
    int count = 0;
    for (size_t k = 0; k < used.size(); ++k) {
        if (k > 0 && !QFile::exists(templatePath(context.cameraNo, step, int(k)))) used[k] = 0;
        count += used[k] != 0;
    }
    if (!used.empty()) context.templateCount[size_t(step)] = count;
    const int shown = context.curTemplate;
    if (shown < 0 || size_t(shown) >= used.size() || !used[size_t(shown)]) context.curTemplate = 0;
    return removed;
}

bool clearIgnorePoints(engine::EngineContext& context, int step) {
    if (!validStep(step)) return false;
    auto& mask = context.ignoreMask[size_t(step)];
    const bool hadPoints = std::any_of(mask.begin(), mask.end(), [](uchar v) { return v != 0; });
    std::vector<uchar> cleared(mask.size(), 0);
    if (context.pixelCount <= 0 || mask.size() != size_t(context.pixelCount) ||
        !saveIgnoreMask(context.cameraNo, step, cleared.data(), context.imageW, context.imageH))
        return !hadPoints;
    mask.swap(cleared);
    return true;
}

bool saveIgnorePoint(const engine::EngineContext& context, int step) {
    if (!validStep(step)) return false;
    const auto& mask = context.ignoreMask[size_t(step)];
    if (context.pixelCount <= 0 || mask.size() != size_t(context.pixelCount)) {
        qWarning() << "ignore points of camera" << context.cameraNo + 1 << "detection" << step + 1
                   << "not saved: no mask";
        return false;
    }
    return saveIgnoreMask(context.cameraNo, step, mask.data(), context.imageW, context.imageH);
}

}  // namespace failimage
