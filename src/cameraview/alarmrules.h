#pragma once
// The rules of the alarm answers on the editing page that need nothing but numbers and names:
// the template slot "Add As Temp" writes, the step a re-detection runs and the interlock it
// withholds again, the failed camera the page moves to, and the ignore points a failed area
// gives.

#include <QDateTime>
#include <QString>
#include <vector>

#include "enginecontext.h"

class WizardPara;

namespace cameraview {

// The lowest template slot not in use; -1 when every slot is used.
int freeTemplateSlot(const std::vector<int>& used);

// A file of a detection's template folder.
struct TemplateFile {
    QString name;
    QDateTime modified;
};

// The slot a new template takes in a full library, and a file to delete first.
struct ReplacedTemplate {
    int slot = 0;
    QString removeName;  // a file left over from a larger library; empty: none
};

// The slot of the oldest template file that belongs to a slot other than 0
// ("template<N>.bmp", N >= 1 written as a plain decimal number). A file past the last slot
// (N >= slotCount) is removed and the last slot is used; with no such file, the last slot too.
// Template 0, the reference of retraining, is never replaced.
ReplacedTemplate replacedTemplate(std::vector<TemplateFile> files, int slotCount);

// The step a re-detection of detection `detect` runs and the last step of the cycle.
struct ReCheckStep {
    int step = 0;
    int last = 1;
};
ReCheckStep reCheckStep(int detectMode, int detect, int detections);

// The interlock a re-detection of `step` switches on again while it runs: the clamp (0) for
// the last step unless the clamp is cut or pulsed on a mould NG, else the ejector (1) for step
// 0 unless the ejector is not controlled, pulsed or cut on a product NG; -1 none.
int reCheckWithheld(const WizardPara& p, int step, int last);

// The camera the page shows after a re-detection that failed again: from `from`, the first
// camera that failed, round the cameras once at most (`from` when none failed).
int nextFailedCamera(const std::vector<bool>& passed, int from);

// Marks the found pixels (non-zero in resultMask) of every defect rectangle as ignored (255 in
// ignoreMask). Rectangles end before x2 and y2 and are cut to the frame of width x height;
// returns the number of pixels marked.
int ignoreDefectPixels(const engine::DefectList& defects, const uchar* resultMask,
                       uchar* ignoreMask, int width, int height);

}  // namespace cameraview
