#include "alarmrules.h"

#include <algorithm>

#include "wizardpara.h"

namespace cameraview {

namespace {

constexpr int kMultiDetectMode = 3;
constexpr int kClampOutput = 0;
constexpr int kEjectorOutput = 1;
const QString kTemplatePrefix = QStringLiteral("template");
const QString kTemplateSuffix = QStringLiteral(".bmp");

// The slot a file name stands for: N of "template<N>.bmp" with N >= 1 written plainly; -1
// for any other name (template 0, copies, names with leading zeros or signs).
int slotOfName(const QString& name) {
    if (!name.startsWith(kTemplatePrefix) || !name.endsWith(kTemplateSuffix)) return -1;
    const QString digits = name.mid(kTemplatePrefix.size(),
                                    name.size() - kTemplatePrefix.size() - kTemplateSuffix.size());
    bool ok = false;
    const int n = digits.toInt(&ok);
    if (!ok || n < 1 || QString::number(n) != digits) return -1;
    return n;
}

}  // namespace

int freeTemplateSlot(const std::vector<int>& used) {
    for (size_t k = 0; k < used.size(); ++k)
        if (!used[k]) return int(k);
    return -1;
}

ReplacedTemplate replacedTemplate(std::vector<TemplateFile> files, int slotCount) {
    ReplacedTemplate r;
    r.slot = std::max(slotCount - 1, 0);
    files.erase(std::remove_if(files.begin(), files.end(),
                               [](const TemplateFile& f) { return slotOfName(f.name) < 1; }),
                files.end());
    if (files.empty()) return r;
    // Files of the same age go by name, so the choice does not depend on the listing order.
    const auto oldest = std::min_element(files.begin(), files.end(),
                                         [](const TemplateFile& a, const TemplateFile& b) {
                                             if (a.modified != b.modified)
                                                 return a.modified < b.modified;
                                             return a.name < b.name;
                                         });
    const int n = slotOfName(oldest->name);
    if (n >= slotCount)
        r.removeName = oldest->name;
    else
        r.slot = n;
    return r;
}

ReCheckStep reCheckStep(int detectMode, int detect, int detections) {
    if (detectMode == kMultiDetectMode) return {detect, detections - 1};
    if (detectMode == 1 || detectMode == 2) return {detect & 1, 1};
    return {detect, 1};
}

int reCheckWithheld(const WizardPara& p, int step, int last) {
    if (step == last && !p.cutClampOnMoldAlarm && !p.clampPulseOnMoldNG) return kClampOutput;
    if (step == 0 && !p.noEjectorCtrlProd && !p.ejectorPulseOnProdNG && !p.cutEjectorOnProdAlarm)
        return kEjectorOutput;
    return -1;
}

int nextFailedCamera(const std::vector<bool>& passed, int from) {
    const int cameras = int(passed.size());
    if (cameras == 0 || from < 0 || from >= cameras) return from;
    int c = from;
    for (int step = 0; step < cameras && passed[size_t(c)]; ++step) c = (c + 1) % cameras;
    return c;
}

int ignoreDefectPixels(const engine::DefectList& defects, const uchar* resultMask,
                       uchar* ignoreMask, int width, int height) {
    if (!resultMask || !ignoreMask || width <= 0 || height <= 0) return 0;
    int marked = 0;
    const int count = std::clamp(defects.count, 0, int(defects.rects.size()));
    for (int k = 0; k < count; ++k) {
        const engine::DefectRect& r = defects.rects[size_t(k)];
        const int x1 = std::max(r.x1, 0), x2 = std::min(r.x2, width);
        const int y1 = std::max(r.y1, 0), y2 = std::min(r.y2, height);
        for (int y = y1; y < y2; ++y) {
            const size_t row = size_t(y) * size_t(width);
            for (int x = x1; x < x2; ++x) {
                if (!resultMask[row + size_t(x)]) continue;
                if (ignoreMask[row + size_t(x)] != 255) ++marked;
                ignoreMask[row + size_t(x)] = 255;
            }
        }
    }
    return marked;
}

}  // namespace cameraview
